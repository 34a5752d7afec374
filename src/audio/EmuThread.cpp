#include "audio/EmuThread.h"

#include <chrono>
#include <cstring>
#include <new>

#include "app/DebugLog.h"
#include "audio/RenderBlock.h"
#include "audio/WaveFileName.h"
#include "audio/WaveRec.h"

namespace {

constexpr int32_t kTitleGainDefault = 100;
// WaitCommand gives up after this long.
constexpr auto kWaitLimit = std::chrono::milliseconds(5000);

}  // namespace

CEmuThread::CEmuThread(CDirectSound& device, BoardFactory factory)
    : m_device(device), m_factory(std::move(factory))
{
}

CEmuThread::~CEmuThread() { Stop(); }

uint32_t CEmuThread::Now()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CEmuThread::SetWaveFolder(const std::string& wavePath, const std::string& programFolder)
{
    m_wavePath = wavePath;
    m_programFolder = programFolder;
}

void CEmuThread::ShowError(const std::string& text)
{
    const std::string shown = text.empty() ? "Unknown error." : text;
    Log("%s\n", shown.c_str());
    if (m_messageHandler)
        m_messageHandler(nullptr, "Error", shown);
}

int16_t* CEmuThread::MirrorBlock(int32_t index)
{
    return reinterpret_cast<int16_t*>(m_mirror.get() + static_cast<size_t>(index) * m_blockBytes);
}

// Copies the device's block geometry and allocates a mirror buffer for it.
// On failure nothing of this object changes.
bool CEmuThread::CopyGeometryAndAllocate(std::unique_ptr<uint8_t[]>& mirror)
{
    int32_t total = m_device.TotalBytes();
    Log("Allocation Buffer...(%d)\n", total);
    // Without a device buffer the geometry is empty; the thread then never
    // renders (the device never plays), and an empty mirror is enough.
    mirror.reset(new (std::nothrow) uint8_t[static_cast<size_t>(total > 0 ? total : 0)]);
    if (!mirror)
        return false;
    m_blockCount = m_device.BlockCount();
    m_blockBytes = m_device.BlockBytes();
    m_framesPerBlock = m_device.FramesPerBlock();
    m_totalBytes = total;
    m_writeIndex = 0;
    Log("Ok.\n");
    return true;
}

void CEmuThread::ApplyRate()
{
    int rate = 0;
    int bits = 0;
    m_device.GetFormat(rate, bits);
    if (m_board)
        m_board->SetSampleRate(static_cast<uint32_t>(rate));
    m_chain.SetRate(rate);  // equalizer bands, cleared histories, DC blockers
}

bool CEmuThread::Start(const std::string& romName)
{
    Stop();

    std::string message;
    std::unique_ptr<IRenderBoard> board = m_factory ? m_factory(romName, message) : nullptr;
    if (!board) {
        ShowError(message);
        return false;
    }

    Log("Allocating CWaveRec...\n");
    std::unique_ptr<CWaveRec> recorder(new (std::nothrow) CWaveRec());
    if (!recorder) {
        ShowError("Allocate CWaveRec failed.");
        return false;  // the board frees itself as it leaves scope
    }
    Log("Ok.\n");

    m_board = std::move(board);
    m_recorder = std::move(recorder);
    ApplyRate();

    std::unique_ptr<uint8_t[]> mirror;
    if (!CopyGeometryAndAllocate(mirror)) {
        m_board.reset();
        m_recorder.reset();
        ShowError("Allocate Buffer failed.");
        return false;
    }
    m_mirror = std::move(mirror);
    m_romName = romName;
    m_stopRequest.store(false);
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        m_pending = CmdInit;
        m_argument = 0;
        m_handling = false;
    }
    m_maxBlocksPerPass.store(0);
    try {
        m_thread = std::thread(&CEmuThread::ThreadMain, this);
    } catch (const std::system_error& e) {
        m_board.reset();
        m_recorder.reset();
        m_mirror.reset();
        ShowError(e.what());
        return false;
    }
    return true;
}

void CEmuThread::Stop()
{
    if (m_thread.joinable()) {
        m_stopRequest.store(true);
        m_thread.join();
        m_stopRequest.store(false);
    }
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        m_pending = CmdNone;
        m_argument = 0;
        m_handling = false;
    }
    m_board.reset();
    m_recorder.reset();  // closes an open file
    m_mirror.reset();
    m_levelLeft.store(0);
    m_levelRight.store(0);
}

bool CEmuThread::ResetDSound()
{
    Log("CEmuThread::ResetDSound\n");
    if (m_recorder)
        m_recorder->Close();
    std::unique_ptr<uint8_t[]> mirror;
    if (!CopyGeometryAndAllocate(mirror)) {
        // Keep the old buffer with its own geometry: never a mismatch.
        ShowError("Allocate Buffer failed.");
        return false;
    }
    m_mirror = std::move(mirror);
    ApplyRate();
    return true;
}

bool CEmuThread::IsIdle() const
{
    if (!IsRunning())
        return false;
    std::lock_guard<std::mutex> guard(m_commandLock);
    return m_pending == CmdNone && !m_handling;
}

bool CEmuThread::PostCommand(int32_t command, int32_t argument)
{
    if (!IsRunning())
        return false;
    std::lock_guard<std::mutex> guard(m_commandLock);
    m_pending = command;
    m_argument = argument;
    return true;
}

void CEmuThread::WaitCommand() const
{
    if (!IsRunning())
        return;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_commandLock);
            if (m_pending == CmdNone && !m_handling)
                break;
        }
        if (std::chrono::steady_clock::now() - start > kWaitLimit)
            break;
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void CEmuThread::SetMasterVolume(int32_t position) { m_chain.SetMasterVolume(position); }

void CEmuThread::SetEqualizerGains(int count, const int32_t* gains)
{
    m_chain.Equalizer().SetGains(count, gains);
}

void CEmuThread::GetLevels(int32_t& left, int32_t& right) const
{
    if (!IsRunning()) {
        left = right = 0;
        return;
    }
    left = m_levelLeft.load(std::memory_order_relaxed);
    right = m_levelRight.load(std::memory_order_relaxed);
}

int32_t CEmuThread::GetSilentBlocks() const { return m_chain.SilentBlocks(); }

void CEmuThread::ThreadMain()
{
    bool playing = false;
    bool paused = false;
    for (;;) {
        if (m_stopRequest.load()) {
            m_device.Stop();
            if (m_recorder)
                m_recorder->Close();
            break;
        }
        int32_t command;
        int32_t argument;
        {
            // Take the command and empty the slot at once: a command posted
            // while this one is handled waits for the next pass.
            std::lock_guard<std::mutex> guard(m_commandLock);
            command = m_pending;
            argument = m_argument;
            m_pending = CmdNone;
            m_argument = 0;
            m_handling = command != CmdNone;
        }
        HandleCommand(command, argument, playing, paused);
        if (command != CmdInit && command != CmdStop && playing && !paused)
            m_playTime.store(Now() - m_startTick, std::memory_order_relaxed);
        if (command != CmdNone) {
            std::lock_guard<std::mutex> guard(m_commandLock);
            m_handling = false;
        }
        PumpBlocks();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void CEmuThread::HandleCommand(int32_t command, int32_t argument, bool& playing, bool& paused)
{
    switch (command) {
    case CmdInit:
        paused = false;
        m_chain.SetTitleGain(kTitleGainDefault);
        m_levelLeft.store(0);
        m_levelRight.store(0);
        m_board->Reset();
        m_board->SendCommand(0);
        m_chain.ResetSilentBlocks();
        playing = false;
        m_playTime.store(0);
        m_startTick = 0;
        break;
    case CmdPlay:
    case CmdPlayCode:
        StartPlay(static_cast<uint8_t>(argument), playing, paused);
        break;
    case CmdPause:
        if (!m_device.IsPlaying())
            break;  // idle: nothing to pause
        if (!paused) {
            paused = true;
            m_playTime.store(Now() - m_startTick);
            m_device.Pause();
        } else {
            paused = false;
            m_startTick = Now() - m_playTime.load();
            m_device.Resume();
        }
        break;
    case CmdStop:
        paused = false;
        m_levelLeft.store(0);
        m_levelRight.store(0);
        m_device.Stop();
        m_board->Reset();
        m_chain.ResetSilentBlocks();
        playing = false;
        m_playTime.store(0);
        m_startTick = 0;
        break;
    case CmdRecord:
        SetRecording(argument != 0);
        break;
    case CmdSetGain:
        m_chain.SetTitleGain(argument);
        m_levelLeft.store(0);
        m_levelRight.store(0);
        break;
    default:
        break;  // none, or an unknown code: ignored
    }
}

void CEmuThread::StartPlay(uint8_t code, bool& playing, bool& paused)
{
    paused = false;
    m_device.Stop();
    m_levelLeft.store(0);
    m_levelRight.store(0);
    m_board->Reset();
    m_board->SendCommand(code);
    PrefillBuffer();
    m_device.Play();
    m_chain.ResetSilentBlocks();
    playing = m_device.IsPlaying();  // without a device the play time stays at zero
    m_playTime.store(0);
    m_startTick = Now();
}

void CEmuThread::SetRecording(bool on)
{
    if (!m_recorder)
        return;
    if (!m_recorder->IsOpen() && on) {
        int rate = 0;
        int bits = 0;
        m_device.GetFormat(rate, bits);
        std::string path = MakeWaveFileName(m_wavePath, m_programFolder, m_romName);
        Log("WAVE FILE:%s\n", path.c_str());
        m_recorder->Open(path, static_cast<uint32_t>(rate), static_cast<uint32_t>(bits), true);
    } else if (m_recorder->IsOpen() && !on) {
        m_recorder->Close();
    }
}

void CEmuThread::RenderInto(int16_t* block)
{
    RenderBlock(*m_board, m_chain, block, m_framesPerBlock);
}

void CEmuThread::PumpBlocks()
{
    if (!m_device.IsPlaying() || m_blockBytes <= 0 || m_blockCount <= 0)
        return;
    uint32_t play = 0;
    uint32_t write = 0;
    if (!m_device.GetPosition(play, write))
        return;
    // The block being played; modulo guards against a device whose
    // geometry changed before ResetDSound caught up.
    const int32_t cursorBlock = static_cast<int32_t>(play / m_blockBytes) % m_blockCount;
    int32_t refilled = 0;
    while (m_writeIndex != cursorBlock) {
        int16_t* block = MirrorBlock(m_writeIndex);
        int32_t left = 0;
        int32_t right = 0;
        CSignalChain::MeasureLevels(block, m_framesPerBlock, left, right);
        m_levelLeft.store(left, std::memory_order_relaxed);
        m_levelRight.store(right, std::memory_order_relaxed);

        RenderInto(block);

        void* p1 = nullptr;
        void* p2 = nullptr;
        uint32_t l1 = 0;
        uint32_t l2 = 0;
        const uint32_t offset = static_cast<uint32_t>(m_writeIndex) * m_blockBytes;
        if (m_device.Lock(offset, m_blockBytes, p1, l1, p2, l2)) {
            std::memcpy(p1, block, l1);
            m_device.Unlock(p1, l1, p2, l2);
        }
        if (m_recorder)
            m_recorder->Write(block, static_cast<uint32_t>(m_blockBytes));
        m_writeIndex = (m_writeIndex + 1) % m_blockCount;
        ++refilled;
    }
    if (refilled > m_maxBlocksPerPass.load(std::memory_order_relaxed))
        m_maxBlocksPerPass.store(refilled, std::memory_order_relaxed);
}

void CEmuThread::PrefillBuffer()
{
    if (m_blockBytes <= 0 || m_blockCount <= 0)
        return;
    m_writeIndex = 0;
    std::memset(MirrorBlock(0), 0, static_cast<size_t>(m_blockBytes));
    if (m_recorder)
        m_recorder->Write(MirrorBlock(0), static_cast<uint32_t>(m_blockBytes));
    for (int32_t i = 1; i < m_blockCount; ++i) {
        RenderInto(MirrorBlock(i));
        if (m_recorder)
            m_recorder->Write(MirrorBlock(i), static_cast<uint32_t>(m_blockBytes));
    }
    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t l1 = 0;
    uint32_t l2 = 0;
    if (m_device.Lock(0, static_cast<uint32_t>(m_totalBytes), p1, l1, p2, l2)) {
        std::memcpy(p1, m_mirror.get(), l1);
        m_device.Unlock(p1, l1, p2, l2);
    }
}
