// YM2413 / YMF281B ("OPLL") two-operator FM synthesizer.
//
// A plain record with free-standing operations: the sound board creates one
// per ROM, forwards the CPU's port writes to WritePort and takes one stereo
// sample per output period from RenderStereo. The chip runs internally at
// clock / 72 (Step) and a windowed-sinc resampler converts to the output rate.
// Calls come from one thread at a time.
#pragma once

#include "chips/OpllLanes.h"
#include "chips/OpllOperator.h"
#include "chips/OpllPatch.h"
#include "chips/OpllResampler.h"
#include "chips/OpllToneSets.h"

#include <cstdint>
#include <memory>

struct OPLL {
    uint32_t clock;           // chip input clock, Hz
    uint32_t rate;            // output sample rate, Hz
    uint32_t addressLatch;    // last value written to the address port
    double inputStep;         // = rate, added per chip sample
    double outputStep;        // = clock / 72, taken per output sample
    double timeAccumulator;
    uint8_t registers[64];
    uint8_t test;             // register 0x0F
    uint32_t keyStatus;       // bit n: operator n keyed
    uint8_t rhythmMode;
    uint32_t envelopeCounter;
    uint32_t vibratoPhase;
    int32_t tremoloPhase;
    uint8_t tremoloLevel;     // 0..13
    uint32_t noise;           // 23-bit shift register
    uint8_t shortNoise;       // cymbal / hi-hat phase mix bit
    int32_t instrument[9];    // 0 user, 1..15 built-in, 16..18 rhythm
    OpllOperator operators[18]; // 2c modulator, 2c+1 carrier of channel c
    OpllLanes lanes;            // the operators' per-sample values, by operator number
    OpllPatch patches[38];      // instrument n: 2n modulator, 2n+1 carrier
    uint8_t pan[16];            // per output slot: bit 1 left, bit 0 right
    float finePan[16][2];
    // 0..8 melodic channels, 9..13 rhythm voices; 14 and 15 stay 0 so the
    // mix can add all 16 in whole vectors.
    int16_t slotOutputs[16];
    int16_t mix[2];
    std::unique_ptr<OpllResampler> resampler;
    // Per-slot mix gains: fine pan where the slot's pan bit routes it to
    // that side, else 0. Follows pan and fine pan (SetPan, Reset). While
    // every gain is 0 or 1 (fine pan is 1 after reset) the mix adds the
    // slots selected by mixMask in integers, which gives the same sums.
    float mixGain[2][16];
    int16_t mixMask[2][16];
    bool mixIsPlain;

    // Output slots in rhythm mode.
    static constexpr int kSlotBassDrum = 9, kSlotHiHat = 10, kSlotSnare = 11, kSlotTomTom = 12,
                         kSlotCymbal = 13;

    // Builds the global tables on first use; null if the object cannot be
    // allocated. Runs Reset and selects the YM2413 instrument set.
    static OPLL* Create(uint32_t clock, uint32_t rate);
    static void Destroy(OPLL* chip);
    static void Reset(OPLL* chip);
    static void SetRate(OPLL* chip, uint32_t rate);
    // ToneSetYM2413 or ToneSetYMF281B; other numbers leave the patches alone.
    static void SelectToneSet(OPLL* chip, int set);
    static void SetPan(OPLL* chip, uint32_t slot, uint8_t pan);
    // Even port: address latch; odd port: data to the latched register.
    static void WritePort(OPLL* chip, uint32_t port, uint8_t value);
    static void WriteReg(OPLL* chip, uint32_t reg, uint8_t value);
    // One output sample pair (16-bit values) at the output rate.
    static void RenderStereo(OPLL* chip, int32_t out[2]);
    // `frames` output sample pairs into out (left, right interleaved): the
    // same values as that many RenderStereo calls.
    static void RenderStereoBlock(OPLL* chip, int32_t* out, uint32_t frames);
    // One chip sample (clock / 72): LFOs, noise, all operators, slot outputs.
    static void Step(OPLL* chip);
};

// Asks operator op to recompute the values behind `flags` at its next step;
// its envelope runs on that step whatever the schedule said.
void OpllRequestUpdate(OPLL* chip, OpllOperator& op, uint32_t flags);
// Returns operator n to its power-on state (all-zero patch, silent, phase 0).
void OpllResetOperator(OPLL* chip, int n);
// Recomputes the values cached from the patch (tremolo, feedback, sustain
// level) and the per-vibrato-step phase increments (F-number, block, ML, PM).
void OpllRefreshPatchCache(OPLL* chip, OpllOperator& op);
// Recomputes the output stage's wave row, attenuation and exponent offset
// after level, total level or waveform changed.
void OpllRefreshOutputCache(OPLL* chip, const OpllOperator& op);

struct OpllDeleter {
    void operator()(OPLL* chip) const { OPLL::Destroy(chip); }
};
using OpllPtr = std::unique_ptr<OPLL, OpllDeleter>;
