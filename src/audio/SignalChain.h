// CSignalChain: everything between the board's raw sample pair and the
// 16-bit frame that goes to the device and the WAV file:
//
//   per frame and channel: title gain (percent) -> master multiplier (8.8)
//   -> DC blocker -> clip to 16 bits -> block sum for the silence test
//   (both channels side by side);
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

#include <emmintrin.h>

#include <atomic>
#include <cstdint>
#include <cstring>

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
    const CEqualizer& Equalizer() const { return m_equalizer; }
    const CDcBlocker& DcBlocker() const { return m_dc; }

    // Silence counter (any thread reads; the render side resets it when a
    // new sound starts).
    int32_t SilentBlocks() const { return m_silentBlocks.load(std::memory_order_relaxed); }
    void ResetSilentBlocks() { m_silentBlocks.store(0, std::memory_order_relaxed); }

    // Nothing renders: new device rate for the equalizer (histories cleared)
    // and the DC blocker (cleared, coefficient for the rate).
    void SetRate(int32_t rate);
    // Nothing renders: clears equalizer histories and DC-blocker state.
    void ClearHistory();

    // Render side: BeginBlock; then every frame of the block through
    // ProcessFrame, or runs of frames through ProcessFrames (the two may be
    // mixed, the result is the same); then EndBlock.
    void BeginBlock() {
        m_blockGain = m_titleGain.load(std::memory_order_relaxed);
        m_blockMultiplier = m_multiplier.load(std::memory_order_relaxed);
        m_unityLevel = m_blockGain == kDefaultTitleGain && m_blockMultiplier == kUnityMultiplier;
        m_sum[0] = m_sum[1] = 0;
    }
    // One board sample pair to one 16-bit frame before the equalizer.
    void ProcessFrame(int32_t left, int32_t right, int16_t* out) {
        CDcBlocker dc = m_dc;
        int64_t sum[2] = {m_sum[0], m_sum[1]};
        Frame(dc, sum, left, right, out);
        m_dc = dc;
        m_sum[0] = sum[0], m_sum[1] = sum[1];
    }
    // `frames` board sample pairs (interleaved, left first) to 16-bit frames,
    // exactly as that many ProcessFrame calls; faster, as the filter state
    // stays in registers for the whole run.
    void ProcessFrames(const int32_t* in, int16_t* out, int frames) {
        CDcBlocker dc = m_dc;
        int64_t sum[2] = {m_sum[0], m_sum[1]};
        for (int f = 0; f < frames; ++f) Frame(dc, sum, in[2 * f], in[2 * f + 1], out + 2 * f);
        m_dc = dc;
        m_sum[0] = sum[0], m_sum[1] = sum[1];
    }
    // Equalizer over the whole block in place, then the silence test.
    void EndBlock(int16_t* block, int frames);

    // Mean absolute value per channel of interleaved 16-bit frames (integer
    // division); 0 for an empty block. The level meter's measure.
    static void MeasureLevels(const int16_t* block, int frames, int32_t& left, int32_t& right);

private:
    // Title gain then master multiplier, each truncated toward zero,
    // saturated to 32 bits. At 100 % and unity (the usual case) both steps
    // leave the sample as it is.
    int32_t Level(int32_t s) const {
        if (m_unityLevel) return s;
        int64_t v = static_cast<int64_t>(m_blockGain) * s / 100;
        // From 2^40 on the result saturates whatever the multiplier (8 at
        // least), so bounding v there changes nothing and keeps the product
        // below within 64 bits for any title gain.
        constexpr int64_t kBound = int64_t{1} << 40;
        if (v > kBound) v = kBound;
        if (v < -kBound) v = -kBound;
        v = v * m_blockMultiplier / 256;
        if (v > INT32_MAX) v = INT32_MAX;
        if (v < INT32_MIN) v = INT32_MIN;
        return static_cast<int32_t>(v);
    }
    // Levels, DC blocker, clipping to 16 bits (the saturating pack) and the
    // block sums of one frame.
    void Frame(CDcBlocker& dc, int64_t* sum, int32_t left, int32_t right, int16_t* out) const {
        const __m128i levelled = _mm_unpacklo_epi32(_mm_cvtsi32_si128(Level(left)), _mm_cvtsi32_si128(Level(right)));
        const __m128i y = dc.Process(levelled);
        const int32_t both = _mm_cvtsi128_si32(_mm_packs_epi32(y, y));
        std::memcpy(out, &both, sizeof both);
        const int32_t l = static_cast<int16_t>(both), r = both >> 16;
        sum[0] += l < 0 ? -l : l;
        sum[1] += r < 0 ? -r : r;
    }

    std::atomic<int32_t> m_titleGain{kDefaultTitleGain};
    std::atomic<int32_t> m_masterPosition{kMasterVolumeMax};
    std::atomic<int32_t> m_multiplier{kUnityMultiplier};
    std::atomic<int32_t> m_silentBlocks{0};

    // Render side.
    int32_t m_blockGain = kDefaultTitleGain;
    int32_t m_blockMultiplier = kUnityMultiplier;
    bool m_unityLevel = true;
    int64_t m_sum[2] = {0, 0};
    CDcBlocker m_dc;
    CEqualizer m_equalizer;
};
