// AY-3-8910 / YM2149 programmable sound generator: three square-wave tones,
// one noise generator, one envelope generator and a per-channel mixer.
//
// The chip is stepped once per output sample at the output rate. Time is
// counted in units of 16 chip clocks; a tone edge falls every `Freq` units,
// so a tone period register P sounds at Clock / (32 * P): Clock is taken as
// the master clock, which the chip divides by two before its counters.
// Noise and envelope run on the same time base.
//
// A plain record with free-standing operations; the board owns one.
#pragma once

#include <cstdint>

// Output level of each envelope step (index 0-31); a fixed channel level n
// (0-15) plays entry 2n. Logarithmic steps of about 1.5 dB, top two equal,
// scaled so three channels at full level stay inside 16 bits after the
// final x16.
extern const uint8_t kPsgVolume[32];

struct PSG {
    const uint8_t* VolumeTable; // kPsgVolume
    uint8_t Regs[32];           // registers 0-15 as last written
    uint32_t Clock;             // chip clock, Hz
    uint32_t Rate;              // output sample rate, Hz
    uint32_t BaseIncr;          // 16-clock units per output sample, 8.24 fixed point
    uint32_t Count[3];          // tone phase counters
    uint32_t Volume[3];         // level register x 2; bit 5 = envelope mode
    uint32_t Freq[3];           // 12-bit tone periods
    uint32_t Edge[3];           // current tone level, 0 or 1
    uint32_t ToneOff[3];        // non-zero: mixer disables the channel's tone
    uint32_t NoiseOff[3];       // non-zero: mixer disables noise on the channel
    uint32_t BaseCount;         // 24-bit fraction accumulator for BaseIncr
    uint32_t EnvPtr;            // envelope step 0-31 (bit 5 marks a cycle's end)
    uint32_t EnvFace;           // 1 = rising, 0 = falling
    uint32_t EnvContinue;       // register 13 shape bits, each 0 or 1
    uint32_t EnvAttack;
    uint32_t EnvAlternate;
    uint32_t EnvHold;
    uint32_t EnvPause;   // 1 = envelope stopped
    uint32_t EnvFreq;    // 16-bit envelope period
    uint32_t EnvCount;   // envelope phase counter
    uint32_t NoiseSeed;  // 17-bit noise shift register
    uint32_t NoiseCount; // noise phase counter
    uint32_t NoiseFreq;  // noise period x 2
    uint32_t Address;    // register selected by the last even-port write

    // New zero-filled chip for the given clock and rate (0 = 44100); null
    // when out of memory. Call Reset before rendering.
    static PSG* Create(uint32_t clock, uint32_t rate);
    static void Destroy(PSG* psg);

    // Changes the output rate (0 = 44100) and recomputes the step size.
    static void SetRate(PSG* psg, uint32_t rate);

    // Power-on state of the generators: every level 0, so the output is 0.
    // The mixer gates and the envelope shape bits keep their values (while
    // register 7 reads back 0) until the program writes them again.
    static void Reset(PSG* psg);

    // Even port: select register (value & 0x3F); odd port: write it.
    static void WritePort(PSG* psg, uint32_t port, uint8_t value);

    // Writes one register; numbers above 15 are ignored.
    static void WriteReg(PSG* psg, uint32_t reg, uint8_t value);

    // Advances one output sample and returns the mono mix, 0 to 12240.
    static int16_t Render(PSG* psg);

    // Advances `frames` output samples and stores each mono mix in both
    // halves of a stereo pair (out: left, right interleaved): the same
    // values as that many Render calls.
    static void RenderStereoBlock(PSG* psg, int32_t* out, uint32_t frames);
};
