// CEmuThread: the render thread that owns the running sound board.
//
// The user interface posts commands (play a code, pause, stop, record,
// change gain) into a one-slot mailbox; the render thread takes them, polls
// every millisecond and keeps the output device's looping ring buffer
// filled one block at a time behind the play cursor. Every block passes
// through the signal chain (title gain, master volume, DC blocker,
// clipping, equalizer) into a memory mirror of the ring buffer, from there
// into the device and, while recording, into the WAV file. The thread also
// publishes the play time, the level of the block just played and the
// number of consecutive silent blocks.
//
// Threads: every public operation is called from the user interface
// thread. Start, Stop and ResetDSound change what the render thread uses
// and run only while it is stopped or idle (ResetDSound after CmdStop was
// taken, WaitCommand returned). Play time, levels, silent-block count,
// master volume and title gain are single 32-bit atomics read without the
// lock.
//
// Mailbox: one slot, no queue. Posting replaces a command not yet taken.
// The render thread empties the slot when it takes a command, so a command
// posted while the previous one is being handled is kept for the next
// pass; WaitCommand returns only once the slot is empty and the command
// taken last has been handled completely.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/DirectSound.h"
#include "audio/SignalChain.h"

class CWaveRec;

// What the render thread needs from a board. CSoundBoard is adapted to it;
// tests supply their own boards through the factory.
class IRenderBoard {
public:
    virtual ~IRenderBoard() = default;
    virtual void SetSampleRate(uint32_t rate) = 0;
    virtual void Reset() = 0;
    virtual void SendCommand(uint8_t code) = 0;
    virtual void RenderSample(int32_t& left, int32_t& right) = 0;
    // `frames` sample pairs into out (left, right interleaved); the same
    // values as that many RenderSample calls. Boards that render runs
    // faster override it.
    virtual void RenderSamples(int32_t* out, uint32_t frames) {
        for (uint32_t f = 0; f < frames; ++f) RenderSample(out[2 * f], out[2 * f + 1]);
    }
};

// Builds the board for a ROM path; on failure returns nullptr and sets
// message to the text to show ("" for a failure without text).
using BoardFactory =
    std::function<std::unique_ptr<IRenderBoard>(const std::string& romPath, std::string& message)>;

// The real board: CSoundBoard loaded from the ROM image.
std::unique_ptr<IRenderBoard> LoadSoundBoard(const std::string& romPath, std::string& message);

class CEmuThread {
public:
    enum Command : int32_t {
        CmdNone = 0,
        CmdInit = 1,
        CmdPlay = 2,
        CmdPause = 3,
        CmdStop = 4,
        CmdPlayCode = 5,
        CmdRecord = 6,
        CmdSetGain = 7,
    };

    explicit CEmuThread(CDirectSound& device, BoardFactory factory = LoadSoundBoard);
    ~CEmuThread();
    CEmuThread(const CEmuThread&) = delete;
    CEmuThread& operator=(const CEmuThread&) = delete;

    // Failures of Start and ResetDSound are shown through this handler with
    // the caption "Error" (and always logged).
    void SetMessageHandler(MessageHandler handler) { m_messageHandler = std::move(handler); }
    // Folder for recordings (the WavePath setting) and the program folder
    // that a relative folder is taken from.
    void SetWaveFolder(const std::string& wavePath, const std::string& programFolder);

    bool Start(const std::string& romName);
    void Stop();
    bool ResetDSound();

    bool IsRunning() const { return m_thread.joinable(); }
    bool IsIdle() const;
    bool PostCommand(int32_t command, int32_t argument);
    void WaitCommand() const;

    void SetMasterVolume(int32_t position);
    void SetEqualizerGains(int count, const int32_t* gains);
    // The gain in dB a band of the equalizer was last given.
    double GetEqualizerGain(int band) const { return m_chain.Equalizer().Gain(band); }

    void GetLevels(int32_t& left, int32_t& right) const;
    int32_t GetSilentBlocks() const;
    uint32_t GetPlayTime() const { return m_playTime.load(std::memory_order_relaxed); }

    // Diagnostics: the most blocks refilled in one pass since Start (how
    // far the thread fell behind the cursor at worst).
    int32_t GetMaxBlocksPerPass() const { return m_maxBlocksPerPass.load(std::memory_order_relaxed); }

private:
    void ThreadMain();
    void HandleCommand(int32_t command, int32_t argument, bool& playing, bool& paused);
    void StartPlay(uint8_t code, bool& playing, bool& paused);
    void SetRecording(bool on);
    void PumpBlocks();
    void PrefillBuffer();
    void RenderInto(int16_t* block);
    bool CopyGeometryAndAllocate(std::unique_ptr<uint8_t[]>& mirror);
    void ApplyRate();
    void ShowError(const std::string& text);
    int16_t* MirrorBlock(int32_t index);
    static uint32_t Now();

    CDirectSound& m_device;
    BoardFactory m_factory;
    MessageHandler m_messageHandler;
    std::string m_wavePath = "./wave/";
    std::string m_programFolder = "./";

    // Mailbox.
    mutable std::mutex m_commandLock;
    int32_t m_pending = CmdNone;
    int32_t m_argument = 0;
    bool m_handling = false;  // a taken command is still being handled

    std::thread m_thread;
    std::atomic<bool> m_stopRequest{false};

    std::unique_ptr<IRenderBoard> m_board;
    std::unique_ptr<CWaveRec> m_recorder;
    std::unique_ptr<uint8_t[]> m_mirror;
    std::string m_romName;

    int32_t m_blockCount = 0;
    int32_t m_blockBytes = 0;
    int32_t m_framesPerBlock = 0;
    int32_t m_totalBytes = 0;
    int32_t m_writeIndex = 0;

    CSignalChain m_chain;

    std::atomic<int32_t> m_levelLeft{0};
    std::atomic<int32_t> m_levelRight{0};
    std::atomic<uint32_t> m_playTime{0};
    uint32_t m_startTick = 0;
    std::atomic<int32_t> m_maxBlocksPerPass{0};
};
