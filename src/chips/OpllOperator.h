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
    uint8_t halfSine;          // waveform in use: 0 full sine, 1 half sine
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
    // which refreshes the patch-derived ones directly. The phase, the
    // outputs and the values the output stage reads live in OpllLanes.
    uint32_t envMask;      // (1 << envShift) - 1
    uint32_t sustainLevel; // patch SL
    uint32_t phaseStep[8]; // phase increment for each vibrato step
};

// The operations on an operator that also touch its lanes (OpllRequestUpdate,
// OpllResetOperator, OpllRefreshPatchCache, OpllRefreshOutputCache) are
// declared in Opll.h.
