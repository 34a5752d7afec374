// SN76489 / SN76496 tone generator: three square-wave tones and one noise
// channel, each behind a 4-bit attenuator, programmed through one
// write-only byte port (latch byte with bit 7 set, then data bytes).
//
// Time is counted in 16.16 fractions of an output sample. The chip is
// evaluated once per output sample and the edges inside that sample are
// integrated (area-weighted), so high tones alias far less than with point
// sampling. A tone period register N sounds at clock / (32 * N).
#pragma once

#include <cstdint>

class SN76496
{
  public:
    // Fills the attenuation table and sets a 3579545 Hz clock at 22050 Hz.
    SN76496();
    virtual ~SN76496() = default;

    // Sets the step size for a chip clock and an output rate and resets the
    // chip to its power-on state (all channels silent).
    void SetClock(int32_t clock, int32_t rate);

    // One byte from the CPU. The offset is not decoded by the chip.
    void Write(uint32_t offset, uint8_t data);

    // Advances one output sample; returns the unipolar mix, 0 to 32767.
    int32_t Render();

    // Advances `frames` output samples and stores each mix in both halves
    // of a stereo pair (out: left, right interleaved): the same values as
    // that many Render calls.
    void RenderStereoBlock(int32_t* out, uint32_t frames);

    // One output sample in Count units.
    static constexpr int32_t kSampleUnit = 0x10000;
    static constexpr uint32_t kNoisePreset = 0x0F35;
    static constexpr int32_t kWhiteNoiseFB = 0x14002;
    static constexpr int32_t kPeriodicNoiseFB = 0x8000;

    uint32_t UpdateStep;  // half-period of period register 1 (16 clocks), 16.16 samples
    int32_t VolTable[16]; // amplitude per attenuation value, -2 dB per step, 15 = off
    int32_t Register[8];  // 0,2,4: tone periods; 1,3,5,7: attenuations; 6: noise control
    int32_t LastRegister; // register selected by the last latch byte
    int32_t Volume[4];    // current amplitude of tones 0-2 and noise
    uint32_t RNG;         // noise shift register
    int32_t NoiseFB;      // noise feedback mask
    int32_t Period[4];    // half-periods, 16.16 samples
    int32_t Count[4];     // time left to each channel's next edge
    int32_t Output[4];    // current output bit of each channel

  private:
    void ResetState();
    void UpdateTonePeriod(int channel);
    void UpdateNoise();
};
