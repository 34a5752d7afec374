// The per-operator values a chip sample touches for every operator, kept as
// arrays indexed by operator number (structure of arrays) instead of inside
// each OpllOperator. The phase advance of all 18 operators then runs as a
// few vector operations, and the output stage reads short, dense rows.
//
// Everything here is derived from, or advanced next to, the operator's own
// record; the functions in OpllRender.cpp keep the two in step.
#pragma once

#include <cstdint>

struct OpllLanes {
    // Lanes are processed in whole vectors: 24 lanes are six four-lane
    // (SSE2) vectors of 32-bit values or three of 16-bit values. Lanes
    // 18..23 have step 0, phase 0 and no feedback, so they stay inert.
    static constexpr int kLanes = 24;

    alignas(16) uint32_t phase[kLanes]; // 19-bit accumulator
    alignas(16) uint32_t step[kLanes];  // phase increment at vibrato column stepColumn
    // phase >> 9 as of the last advance: the wave position. A phase cleared
    // after its advance (see StartEnvelope) keeps this until the next one.
    alignas(16) int16_t phaseOut[kLanes];
    // Modulator outputs, [0] newest and [1] previous (-4096..4094 each).
    alignas(16) int16_t output[2][kLanes];
    // (out0 + out1) * feedbackMul >> 16 = (out0 + out1) >> (9 - FB); 0 without FB.
    alignas(16) int16_t feedbackMul[kLanes];
    // Row of OpllTables::waveIndex: full, half or silent.
    alignas(16) int16_t waveBase[kLanes];
    // Per sample: the modulator's waveIndex position, waveBase + (phaseOut +
    // feedback) & 1023, worked out for all lanes at once.
    alignas(16) int16_t modIndex[kLanes];
    // min(127, attenuation + tremolo term) << 4: the exponent offset.
    int32_t outputShift[18];
    // Inputs of outputShift, so it can be rebuilt when the tremolo level moves.
    int32_t attenuation[18]; // envelope level + total level
    int32_t amMask[18];      // all ones when the patch has tremolo on

    // Envelope scheduling. An operator with idle shift k needs its envelope
    // run on samples whose counter is a multiple of 2^k (k = 0: every
    // sample; k = 32: only when the counter wraps to 0, i.e. practically
    // never). dueBy[t] holds the operators with idle shift <= t, so the
    // operators due on counter c are dueBy[ctz(c)] (ctz(0) = 32).
    // kUnscheduled marks an operator that is in no dueBy set at all.
    static constexpr uint8_t kUnscheduled = 33;
    uint8_t idleShift[18];
    uint32_t dueBy[33];

    uint32_t stepColumn;   // vibrato column the step lanes hold
    uint32_t shiftTremolo; // tremolo level outputShift was built with
};
