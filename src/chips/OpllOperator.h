// One FM operator of the chip: phase generator, envelope generator and the
// register-derived values it caches between register writes.
#pragma once

#include "chips/OpllPatch.h"

#include <cstdint>

enum OpllEnvelopeState : uint8_t {
    EnvAttack = 0,
    EnvDecay = 1,
    EnvSustain = 2,
    EnvRelease = 3,
    EnvDamp = 4,
};

// Pending-update flags: register writes only set these; the operator
// recomputes the values at its next step.
enum : uint32_t {
    UpdateWaveform = 1,
    UpdateTotalLevel = 2,
    UpdateKeyScaleRate = 4,
    UpdateEnvelope = 8,
    UpdateAll = 0xFF,
};

struct OpllOperator {
    uint8_t number;            // 0..17
    uint8_t type;              // bit 0: carrier-like; bit 1: single-operator rhythm voice
    const OpllPatch* patch;    // parameters in use
    int32_t output[2];         // [0] newest, [1] previous
    const uint16_t* waveTable; // full or half sine
    uint32_t phase;            // 19-bit accumulator
    uint32_t phaseOut;         // phase >> 9
    uint8_t keepPhase;         // phase survives the envelope start (hi-hat, top cymbal)
    uint16_t blockFnum;        // (block << 9) | fnum
    uint16_t fnum;             // 9 bits
    uint8_t block;             // 3 bits
    uint8_t envState;          // OpllEnvelopeState
    int32_t volume;            // 4 x register volume nibble
    uint8_t keyFlag;
    uint8_t sustainFlag;
    uint16_t totalLevel;   // TL or volume plus key scale level, 0.375 dB units
    uint8_t keyScaleRate;  // 0..15
    uint8_t rateHigh;      // effective envelope rate 0..15
    uint8_t rateLow;       // 0..3
    uint32_t envShift;     // 0..13
    uint32_t level;        // envelope attenuation 0..127
    uint32_t pendingUpdates;

    // Derived at every commit, so the per-sample path only looks them up.
    // Every change of the values they come from (registers, state, patch
    // contents) requests an update, except swapping the instrument set,
    // which refreshes the patch-derived ones directly.
    uint32_t envMask;      // (1 << envShift) - 1
    uint32_t idleMask;     // counter & idleMask != 0: nothing to commit and no envelope work this sample
    uint32_t amMask;       // all ones when the patch has tremolo on
    uint32_t feedback;     // patch FB
    uint32_t sustainLevel; // patch SL
    uint32_t phaseStep[8]; // phase increment for each vibrato step
    // Follow level, total level and wave table (see OpllRefreshOutputCache).
    const uint16_t* outputWave; // index form of waveTable, or the silent table when level > 123
    uint32_t attenuation;       // level + total level
};

// Asks the operator to recompute the values behind `flags` at its next step.
// The idle mask is cleared so that step cannot skip the envelope work.
inline void OpllRequestUpdate(OpllOperator& op, uint32_t flags)
{
    op.pendingUpdates |= flags;
    op.idleMask = 0;
}

// Returns the operator to its power-on state (operator n, all-zero patch).
void OpllResetOperator(OpllOperator& op, uint8_t number);
// Recomputes the values cached from the patch (tremolo, feedback, sustain
// level) and the per-vibrato-step phase increments (F-number, block, ML, PM).
void OpllRefreshPatchCache(OpllOperator& op);
// Recomputes outputWave and attenuation after level, total level or wave
// table changed.
void OpllRefreshOutputCache(OpllOperator& op);
