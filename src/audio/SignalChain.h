// CSignalChain: everything between the board's raw sample pair and the
// 16-bit frame that goes to the device and the WAV file:
//
//   per frame and channel: title gain (percent) -> master multiplier (8.8)
//   -> DC blocker -> clip to 16 bits -> block sum for the silence test;
//   per block: the nine-band equalizer (which halves the level) and the
//   silence test (both channel means below 50 counts the block as silent).
//
// One chain per rendering board: the render thread owns one, and every
// thread of the offline renderer has its own.
//
// Threads. Title gain, master volume and the silent-block count are single
// 32-bit atomics: any thread may set the levels and read the count. The
// render side reads the level controls once at the start of each block (a
// change takes effect at the next block, 5 ms at most). Equalizer gains
// may be changed from any thread (see CEqualizer). SetRate and Clear touch
// filter state and run only while nothing renders.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/DcBlocker.h"
#include "audio/Equalizer.h"
#include "audio/MasterVolume.h"

class CSignalChain {
public:
    // A block whose per-channel mean absolute value is below this in both
    // channels is silent.
    static constexpr int32_t kSilenceThreshold = 50;
    static constexpr int32_t kDefaultTitleGain = 100;

    // Level controls (any thread).
    void SetTitleGain(int32_t percent) { m_titleGain.store(percent, std::memory_order_relaxed); }
    int32_t TitleGain() const { return m_titleGain.load(std::memory_order_relaxed); }
    // Position 0..30 (clamped); stores the position and its multiplier.
    void SetMasterVolume(int32_t position);
    int32_t MasterVolume() const { return m_masterPosition.load(std::memory_order_relaxed); }
    int32_t Multiplier() const { return m_multiplier.load(std::memory_order_relaxed); }

    CEqualizer& Equalizer() { return m_equalizer; }
    const CDcBlocker& DcBlocker(int channel) const { return m_dc[channel & 1]; }

    // Silence counter (any thread reads; the render side resets it when a
    // new sound starts).
    int32_t SilentBlocks() const { return m_silentBlocks.load(std::memory_order_relaxed); }
    void ResetSilentBlocks() { m_silentBlocks.store(0, std::memory_order_relaxed); }

    // Nothing renders: new device rate for the equalizer (histories cleared)
    // and the DC blockers (cleared, coefficient for the rate).
    void SetRate(int32_t rate);
    // Nothing renders: clears equalizer histories and DC-blocker state.
    void ClearHistory();

    // Render side: BeginBlock, ProcessFrame for every frame, EndBlock.
    void BeginBlock() {
        m_blockGain = m_titleGain.load(std::memory_order_relaxed);
        m_blockMultiplier = m_multiplier.load(std::memory_order_relaxed);
        m_sum[0] = m_sum[1] = 0;
    }
    // One board sample pair to one 16-bit frame before the equalizer.
    void ProcessFrame(int32_t left, int32_t right, int16_t* out) {
        out[0] = ProcessSample(0, left);
        out[1] = ProcessSample(1, right);
    }
    // Equalizer over the whole block in place, then the silence test.
    void EndBlock(int16_t* block, int frames);

    // Mean absolute value per channel of interleaved 16-bit frames (integer
    // division); 0 for an empty block. The level meter's measure.
    static void MeasureLevels(const int16_t* block, int frames, int32_t& left, int32_t& right);

private:
    int16_t ProcessSample(int channel, int32_t s) {
        int64_t v = static_cast<int64_t>(m_blockGain) * s / 100;  // toward zero
        v = v * m_blockMultiplier / 256;
        if (v > INT32_MAX) v = INT32_MAX;
        if (v < INT32_MIN) v = INT32_MIN;
        int32_t y = m_dc[channel].Process(static_cast<int32_t>(v));
        if (y > 32767) y = 32767;
        if (y < -32768) y = -32768;
        m_sum[channel] += y < 0 ? -y : y;
        return static_cast<int16_t>(y);
    }

    std::atomic<int32_t> m_titleGain{kDefaultTitleGain};
    std::atomic<int32_t> m_masterPosition{kMasterVolumeMax};
    std::atomic<int32_t> m_multiplier{kUnityMultiplier};
    std::atomic<int32_t> m_silentBlocks{0};

    // Render side.
    int32_t m_blockGain = kDefaultTitleGain;
    int32_t m_blockMultiplier = kUnityMultiplier;
    int64_t m_sum[2] = {0, 0};
    CDcBlocker m_dc[2];
    CEqualizer m_equalizer;
};
