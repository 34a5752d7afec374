#include "audio/DirectSound.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "app/DebugLog.h"

namespace {

// 64-bit FNV-1a (offset basis 0xcbf29ce484222325, prime 0x100000001b3),
// run twice with different starting values to fill 16 bytes. Only
// stability matters: the same name must give the same identity in every
// run and build, since the identity is stored in the settings file.
uint64_t Fnv1a64(const std::string& text, uint64_t basis)
{
    uint64_t h = basis;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

constexpr const char* kDefaultDeviceName = "Default device";

}  // namespace

DeviceGuid DeviceGuidFromName(const std::string& name)
{
    DeviceGuid guid{};
    uint64_t a = Fnv1a64(name, 0xcbf29ce484222325ull);
    uint64_t b = Fnv1a64(name, 0x84222325cbf29ce4ull);
    for (int i = 0; i < 8; ++i) {
        guid[i] = static_cast<uint8_t>(a >> (8 * i));
        guid[8 + i] = static_cast<uint8_t>(b >> (8 * i));
    }
    if (IsZeroGuid(guid))
        guid[15] = 1;  // zero is reserved for the default device
    return guid;
}

bool IsZeroGuid(const DeviceGuid& guid)
{
    return std::all_of(guid.begin(), guid.end(), [](uint8_t b) { return b == 0; });
}

DeviceGuid ToDeviceGuid(const SettingsGuid& guid)
{
    DeviceGuid out{};
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(guid.Data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) {
        out[4 + i] = static_cast<uint8_t>(guid.Data2 >> (8 * i));
        out[6 + i] = static_cast<uint8_t>(guid.Data3 >> (8 * i));
    }
    for (int i = 0; i < 8; ++i)
        out[8 + i] = guid.Data4[i];
    return out;
}

SettingsGuid ToSettingsGuid(const DeviceGuid& guid)
{
    SettingsGuid out;
    for (int i = 0; i < 4; ++i)
        out.Data1 |= static_cast<uint32_t>(guid[i]) << (8 * i);
    out.Data2 = static_cast<uint16_t>(guid[4] | guid[5] << 8);
    out.Data3 = static_cast<uint16_t>(guid[6] | guid[7] << 8);
    for (int i = 0; i < 8; ++i)
        out.Data4[i] = guid[8 + i];
    return out;
}

CDirectSound::CDirectSound()
{
    // The program handles Ctrl+C itself; SDL must not take SIGINT/SIGTERM.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        m_audioInit = true;
    } else {
        Log("CDirectSound: audio init failed: %s\n", SDL_GetError());
        return;
    }
    m_devices.push_back(DeviceInfo{DeviceGuid{}, kDefaultDeviceName});
    int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (!name)
            continue;
        m_devices.push_back(DeviceInfo{DeviceGuidFromName(name), name});
    }
}

CDirectSound::~CDirectSound()
{
    Release();
    m_devices.clear();
    if (m_audioInit)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void CDirectSound::ShowError(const char* text)
{
    Log("%s\n", text);
    if (m_messageHandler)
        m_messageHandler(m_window, "ERROR", text);
}

void CDirectSound::SetFormat(int rate, int bits)
{
    m_sampleRate = rate;
    m_bits = bits;
}

void CDirectSound::GetFormat(int& rate, int& bits) const
{
    rate = m_sampleRate;
    bits = m_bits;
}

bool CDirectSound::Create(void* window, const DeviceGuid* guid)
{
    Log("DeviceNum:%d\n", static_cast<int>(m_devices.size()));
    Release();  // a second Create replaces the device opened before
    m_window = window;
    m_guid = guid ? *guid : DeviceGuid{};
    m_deviceName.clear();

    bool ok = m_audioInit;
    if (ok && !IsZeroGuid(m_guid)) {
        auto it = std::find_if(m_devices.begin(), m_devices.end(),
                               [&](const DeviceInfo& d) { return d.guid == m_guid; });
        ok = it != m_devices.end();
        if (ok)
            m_deviceName = it->description;
    }
    if (!ok) {
        Release();
        m_window = window;  // the message box still belongs to the caller's window
        ShowError("CDirectSound:DirectSoundCreate failed.");
        m_window = nullptr;
        return false;
    }
    m_created = true;
    return true;
}

bool CDirectSound::CreateBuffer()
{
    if (!m_created) {
        ReleaseBuffer();
        ShowError("CDirectSound:DirectSound object uninitialized.");
        return false;
    }
    ReleaseBuffer();  // a second CreateBuffer replaces the first buffer

    int blockAlign = m_bits * m_channels / 8;
    bool formatOk = (m_bits == 8 || m_bits == 16) && m_sampleRate > 0 && m_sampleRate <= 384000;
    int blockBytes = 0;
    if (formatOk) {
        int bytesPerSecond = blockAlign * m_sampleRate;
        blockBytes = m_blockLengthMs * bytesPerSecond / 1000;
        blockBytes -= blockBytes % blockAlign;
        // A rate so low that a block holds no whole frame would leave the
        // render thread dividing by zero; refuse it here.
        formatOk = blockBytes > 0;
    }
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    if (formatOk) {
        want.freq = m_sampleRate;
        want.format = m_bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        want.channels = static_cast<Uint8>(m_channels);
        // The device pulls about one block per callback (a power of two).
        int frames = blockBytes / blockAlign;
        Uint16 samples = 64;
        while (samples < frames && samples < 8192)
            samples = static_cast<Uint16>(samples * 2);
        want.samples = samples;
        want.callback = &CDirectSound::AudioCallback;
        want.userdata = this;
        const char* name = m_deviceName.empty() ? nullptr : m_deviceName.c_str();
        m_device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
        if (m_device == 0) {
            Log("CDirectSound: SDL_OpenAudioDevice: %s\n", SDL_GetError());
            formatOk = false;
        }
    }
    if (!formatOk) {
        ReleaseBuffer();
        ShowError("CDirectSound:SetFormat failed.");
        return false;
    }

    m_blockBytes = blockBytes;
    m_totalBytes = m_blockCount * blockBytes;
    m_framesPerBlock = blockBytes / blockAlign;
    m_ring.reset(new (std::nothrow) uint8_t[static_cast<size_t>(m_totalBytes)]);
    m_fresh.reset(new (std::nothrow) std::atomic<uint8_t>[static_cast<size_t>(m_blockCount)]);
    if (!m_ring || !m_fresh) {
        ReleaseBuffer();
        ShowError("CDirectSound:CreateSoundBuffer failed.");
        return false;
    }
    for (int i = 0; i < m_blockCount; ++i)
        m_fresh[i].store(0, std::memory_order_relaxed);
    m_playPos.store(0);
    m_playedBytes.store(0);
    m_underruns.store(0);

    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t l1 = 0;
    uint32_t l2 = 0;
    if (!Lock(0, static_cast<uint32_t>(m_totalBytes), p1, l1, p2, l2)) {
        ReleaseBuffer();
        ShowError("CDirectSound:Lock failed.");
        return false;
    }
    std::memset(p1, m_bits == 8 ? 0x80 : 0, l1);
    // Silence is not rendered audio: leave the blocks marked unwritten.
    return true;
}

void CDirectSound::ReleaseBuffer()
{
    Stop();
    if (m_device != 0) {
        SDL_CloseAudioDevice(m_device);  // waits for a running callback
        m_device = 0;
    }
    m_ring.reset();
    m_fresh.reset();
    m_totalBytes = 0;
    m_blockBytes = 0;
    m_framesPerBlock = 0;
    m_playing.store(0);
    m_paused.store(0);
}

void CDirectSound::Release()
{
    ReleaseBuffer();
    m_created = false;
    m_deviceName.clear();
    m_window = nullptr;
}

void CDirectSound::SetDevicePaused(bool paused)
{
    // SDL changes the pause flag under the device lock, so once this
    // returns the callback is not running and will not start while paused.
    SDL_PauseAudioDevice(m_device, paused ? 1 : 0);
}

void CDirectSound::Play()
{
    if (!m_created || m_device == 0 || IsPlaying())
        return;
    m_playing.store(1);
    m_paused.store(0);
    m_playPos.store(0, std::memory_order_release);
    SetDevicePaused(false);
}

void CDirectSound::Stop()
{
    if (!m_created || m_device == 0 || !IsPlaying())
        return;
    m_playing.store(0);
    m_paused.store(0);
    SetDevicePaused(true);
    m_playPos.store(0, std::memory_order_release);
}

void CDirectSound::Pause()
{
    if (!IsPlaying() || IsPaused() || m_device == 0)
        return;
    m_paused.store(1);
    SetDevicePaused(true);
}

void CDirectSound::Resume()
{
    if (!IsPlaying() || !IsPaused() || m_device == 0)
        return;
    m_paused.store(0);
    SetDevicePaused(false);
}

bool CDirectSound::GetPosition(uint32_t& play, uint32_t& write) const
{
    if (m_device == 0 || !m_ring)
        return false;
    play = m_playPos.load(std::memory_order_acquire);
    write = play;
    return true;
}

bool CDirectSound::Lock(uint32_t offset, uint32_t bytes, void*& ptr1, uint32_t& len1, void*& ptr2,
                        uint32_t& len2)
{
    ptr1 = ptr2 = nullptr;
    len1 = len2 = 0;
    uint32_t total = static_cast<uint32_t>(m_totalBytes);
    if (!m_ring || bytes == 0 || offset >= total || bytes > total)
        return false;
    ptr1 = m_ring.get() + offset;
    len1 = std::min(bytes, total - offset);
    if (len1 < bytes) {
        ptr2 = m_ring.get();
        len2 = bytes - len1;
    }
    return true;
}

bool CDirectSound::Unlock(void* ptr1, uint32_t len1, void* ptr2, uint32_t len2)
{
    if (!m_ring || m_blockBytes <= 0)
        return false;
    uint8_t* base = m_ring.get();
    uint32_t total = static_cast<uint32_t>(m_totalBytes);
    auto inside = [&](void* p, uint32_t len) {
        if (!p)
            return len == 0;
        auto* b = static_cast<uint8_t*>(p);
        return b >= base && b < base + total && len <= total - static_cast<uint32_t>(b - base);
    };
    if (!inside(ptr1, len1) || !inside(ptr2, len2) || !ptr1)
        return false;
    // Mark every block the written ranges touch as fresh audio.
    auto mark = [&](void* p, uint32_t len) {
        if (!p || len == 0)
            return;
        uint32_t first = static_cast<uint32_t>(static_cast<uint8_t*>(p) - base);
        uint32_t bb = static_cast<uint32_t>(m_blockBytes);
        for (uint32_t blk = first / bb; blk <= (first + len - 1) / bb; ++blk)
            m_fresh[blk].store(1, std::memory_order_release);
    };
    mark(ptr1, len1);
    mark(ptr2, len2);
    return true;
}

void CDirectSound::AudioCallback(void* user, uint8_t* stream, int len)
{
    static_cast<CDirectSound*>(user)->Fill(stream, static_cast<uint32_t>(len));
}

void CDirectSound::Fill(uint8_t* stream, uint32_t len)
{
    const uint32_t total = static_cast<uint32_t>(m_totalBytes);
    const uint32_t blockBytes = static_cast<uint32_t>(m_blockBytes);
    uint32_t pos = m_playPos.load(std::memory_order_acquire);
    const uint32_t requested = len;
    while (len > 0) {
        uint32_t inBlock = pos % blockBytes;
        if (inBlock == 0) {
            // Entering a block: it must have been rewritten since its last play.
            if (m_fresh[pos / blockBytes].exchange(0, std::memory_order_acq_rel) == 0)
                m_underruns.fetch_add(1, std::memory_order_relaxed);
        }
        uint32_t n = std::min(len, blockBytes - inBlock);
        std::memcpy(stream, m_ring.get() + pos, n);
        stream += n;
        len -= n;
        pos += n;
        if (pos >= total)
            pos = 0;
    }
    m_playPos.store(pos, std::memory_order_release);
    m_playedBytes.fetch_add(requested, std::memory_order_relaxed);
}
