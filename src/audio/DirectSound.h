// The sound output device: one looping ring buffer with a readable play
// cursor, played through SDL2 audio.
//
// The render thread fills the ring buffer block by block behind the play
// cursor (Lock, copy, Unlock); the SDL audio callback plays it in a loop and
// advances the cursor. The ring buffer lives in ordinary memory; Lock hands
// out pointers straight into it.
//
// Devices are SDL playback devices. A device is identified by a 16-byte
// DeviceGuid, a stable hash of its SDL name; the all-zero identity means the
// system's default device. Every error of Create and CreateBuffer is logged,
// passed to the message handler (caption "ERROR") and returned as false.
//
// Threads: Create, CreateBuffer, Release and SetFormat run on the user
// interface thread while the render thread is idle; Play, Stop, Pause,
// Resume, GetPosition, Lock and Unlock run on the render thread. The play
// cursor and the state flags are atomics, read from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SettingsValues.h"

using DeviceGuid = std::array<uint8_t, 16>;

// The identity stored for a device name. Never all zero for any name, so
// zero stays free for "the default device".
DeviceGuid DeviceGuidFromName(const std::string& name);
bool IsZeroGuid(const DeviceGuid& guid);

// The settings file keeps the identity as a GUID (DeviceGUID); its 16 bytes
// are the four fields little-endian, in order.
DeviceGuid ToDeviceGuid(const SettingsGuid& guid);
SettingsGuid ToSettingsGuid(const DeviceGuid& guid);

struct DeviceInfo {
    DeviceGuid guid{};          // zero for the default-device entry
    std::string description;    // the name SDL reports
};

// Shows an error to the user. owner is the window given to Create (may be
// null). The engine logs every message whether or not a handler is set.
using MessageHandler =
    std::function<void(void* owner, const std::string& caption, const std::string& text)>;

class CDirectSound {
public:
    CDirectSound();
    virtual ~CDirectSound();
    CDirectSound(const CDirectSound&) = delete;
    CDirectSound& operator=(const CDirectSound&) = delete;

    void SetMessageHandler(MessageHandler handler) { m_messageHandler = std::move(handler); }

    // Enumerated at construction: the default device first (zero identity),
    // then one entry per SDL playback device, in SDL's order.
    const std::vector<DeviceInfo>& GetDevices() const { return m_devices; }

    // Takes effect at the next CreateBuffer.
    void SetFormat(int rate, int bits);
    void GetFormat(int& rate, int& bits) const;

    // Selects the device (null or zero = default). Fails when the audio
    // system cannot start or no device carries that identity.
    bool Create(void* window, const DeviceGuid* guid);
    // Opens the device in the stored format and allocates the ring buffer
    // (block count blocks of block length ms), filled with silence.
    bool CreateBuffer();
    void ReleaseBuffer();
    void Release();

    void Play();
    void Stop();
    void Pause();
    void Resume();

    // Play and write cursors in bytes (both the position the device will
    // read next). False without a buffer.
    bool GetPosition(uint32_t& play, uint32_t& write) const;
    // Pointers into the ring buffer for [offset, offset + bytes), split in
    // two when the range wraps (second pointer null and length 0 otherwise).
    // Virtual so that tests can make it fail as a lost device would.
    virtual bool Lock(uint32_t offset, uint32_t bytes, void*& ptr1, uint32_t& len1, void*& ptr2,
              uint32_t& len2);
    bool Unlock(void* ptr1, uint32_t len1, void* ptr2, uint32_t len2);

    bool IsCreated() const { return m_created; }
    bool HasBuffer() const { return m_device != 0; }
    bool IsPlaying() const { return m_playing.load(std::memory_order_acquire) != 0; }
    bool IsPaused() const { return m_paused.load(std::memory_order_acquire) != 0; }

    // Block geometry, valid after CreateBuffer.
    int BlockLengthMs() const { return m_blockLengthMs; }
    int BlockCount() const { return m_blockCount; }
    int BlockBytes() const { return m_blockBytes; }
    int FramesPerBlock() const { return m_framesPerBlock; }
    int TotalBytes() const { return m_totalBytes; }

    // Diagnostics. An under-run is a block the device starts to play a
    // second time without it having been written (Unlock) in between.
    uint64_t GetUnderrunCount() const { return m_underruns.load(std::memory_order_relaxed); }
    // Bytes the device has consumed since the buffer was created.
    uint64_t GetPlayedBytes() const { return m_playedBytes.load(std::memory_order_relaxed); }

private:
    static void AudioCallback(void* user, uint8_t* stream, int len);
    void Fill(uint8_t* stream, uint32_t len);
    void ShowError(const char* text);
    void SetDevicePaused(bool paused);

    std::vector<DeviceInfo> m_devices;
    void* m_window = nullptr;
    DeviceGuid m_guid{};
    int m_sampleRate = 44100;
    int m_bits = 16;
    int m_channels = 2;

    bool m_audioInit = false;   // SDL audio subsystem started by this object
    bool m_created = false;     // Create succeeded (device chosen)
    std::string m_deviceName;   // empty = default device
    uint32_t m_device = 0;      // SDL audio device id; 0 = no buffer

    int m_blockLengthMs = 5;
    int m_framesPerBlock = 0;
    int m_blockCount = 200;
    int m_totalBytes = 0;
    int m_blockBytes = 0;
    std::atomic<int> m_playing{0};
    std::atomic<int> m_paused{0};

    std::unique_ptr<uint8_t[]> m_ring;
    std::unique_ptr<std::atomic<uint8_t>[]> m_fresh;  // per block: written since last played
    std::atomic<uint32_t> m_playPos{0};
    std::atomic<uint64_t> m_underruns{0};
    std::atomic<uint64_t> m_playedBytes{0};

    MessageHandler m_messageHandler;
};
