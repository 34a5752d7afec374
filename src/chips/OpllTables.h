// Process-wide look-up tables of the FM chip: log-sine and exponent tables
// through which every operator produces its output, key scaling, LFO shapes,
// envelope step patterns and the decoded built-in instrument sets.
//
// Build() fills them once per process (thread-safe); Get() is the read-only
// view used on the per-sample path and is valid only after Build().
#pragma once

#include "chips/OpllPatch.h"
#include "chips/OpllToneSets.h"

#include <cstdint>

struct OpllTables {
    // Attenuation of a sine quarter in 1/256 octave steps, mirrored to a full
    // period; bit 15 marks the negative half.
    uint16_t fullSine[1024];
    // First half as fullSine; second half 0x0FFF, which shifts the exponent
    // to zero (silence).
    uint16_t halfSine[1024];
    // round((2^(i/256) - 1) * 1024): fractional part of the exponent.
    uint16_t exponent[256];
    // Total level in 0.375 dB units by (block << 4 | fnum >> 5, level 0..63, KL).
    uint32_t tll[128][64][4];
    // Key scale rate by (block/fnum >> 8, KR).
    uint8_t rks[16][2];
    // Vibrato offset in F-number half-steps by (fnum >> 6 & 7, vibrato step).
    int8_t pm[8][8];
    // Tremolo attenuation over one LFO period.
    uint8_t tremolo[210];
    // Hot-path form of the two wave tables, derived from them: each entry is
    // an index into signedOutput that already separates the sign, so an
    // operator's output is signedOutput[waveIndex[row + phase] + (attenuation << 4)].
    // Rows: the full sine, the half sine, and a silent row that stands for
    // any operator whose level makes it silent.
    static constexpr int kWaveFull = 0, kWaveHalf = 1024, kWaveSilent = 2048;
    uint16_t waveIndex[3 * 1024];
    // Operator output by that index: the positive half (log-sine values up
    // to 2137 plus attenuation up to 2032), the negative half, and a zero
    // region for the half sine's silent entries.
    static constexpr int kOutputSpan = 2137 + 0x7F0 + 1;
    static constexpr int kNegativeBase = kOutputSpan;
    static constexpr int kSilentBase = 2 * kOutputSpan;
    int16_t signedOutput[2 * kOutputSpan + 0x7F0 + 1];
    // Decoded instrument sets, indexed by tone set number (0..2); unknown
    // set numbers stay all zero and are never selected.
    OpllPatch toneSets[3][2 * kOpllInstrumentCount];

    static void Build();
    static bool Built();
    static const OpllTables& Get() { return s_instance; }

private:
    static OpllTables s_instance; // filled once by Build()
};

// Frequency multiple by ML, in half-units (ML 0 means x0.5).
inline constexpr uint32_t kOpllMultiple[16] = {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 20, 24, 24, 30, 30};

// Envelope step patterns by rate low (the rate's two fractional bits): which
// of eight consecutive envelope ticks take a step.
inline constexpr uint8_t kOpllEnvelopeStep[4][8] = {
    {0, 1, 0, 1, 0, 1, 0, 1},
    {0, 1, 0, 1, 1, 1, 0, 1},
    {0, 1, 1, 1, 0, 1, 1, 1},
    {0, 1, 1, 1, 1, 1, 1, 1},
};

// Key scale level attenuation base in dB by the top four F-number bits
// (YM2413 application manual).
inline constexpr double kOpllKslBase[16] = {0,    18,    24, 27.75, 30, 32.25, 33.75, 35.25,
                                            36, 37.5, 38.25,    39, 39.75, 40.5, 41.25, 42};
