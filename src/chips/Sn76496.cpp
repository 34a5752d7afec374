#include "chips/Sn76496.h"

namespace
{

// Full-scale amplitude of one channel: three channels at full level fill
// the 15-bit output range (3 * 10922 = 32766).
constexpr double kMaxAmplitude = 10922.0;
// Each attenuation step is 2 dB: 10^(-2/20).
constexpr double kStepFactor = 0.7943282345944098;

// Bounds of the step size. The upper bound keeps every period product
// (step x 1023 x 2, or step << 7) and every count below 2^31; the lower
// bound keeps the edge loops short. Real clock/rate pairs give steps of a
// few thousand to a few tens of thousands.
constexpr double kMinUpdateStep = 64.0;
constexpr double kMaxUpdateStep = 524287.0;

// A muted channel whose edge falls in this sample has that edge moved one
// sample later, so it never steps (and never builds a backlog of edges)
// while muted.
inline int32_t MutedCountAdjust(int32_t count, int32_t volume)
{
    return (volume == 0 && count <= 0x10000) ? count + 0x10000 : count;
}

} // namespace

SN76496::SN76496()
{
    double level = kMaxAmplitude;
    for (int i = 0; i < 15; ++i) {
        const int32_t value = static_cast<int32_t>(level);
        VolTable[i] = value > 10922 ? 10922 : value;
        level *= kStepFactor;
    }
    VolTable[15] = 0;
    // Periodic noise matches the noise control register's reset value 0.
    NoiseFB = kPeriodicNoiseFB;
    SetClock(3579545, 22050);
}

void SN76496::SetClock(int32_t clock, int32_t rate)
{
    // rate * 2^20 / clock: 16 chip clocks expressed in 16.16 output samples.
    double step =
        clock > 0 ? static_cast<double>(rate) * 1048576.0 / static_cast<double>(clock) : kMaxUpdateStep;
    if (!(step >= kMinUpdateStep))
        step = kMinUpdateStep;
    if (step > kMaxUpdateStep)
        step = kMaxUpdateStep;
    UpdateStep = static_cast<uint32_t>(step);
    ResetState();
}

void SN76496::ResetState()
{
    const int32_t step = static_cast<int32_t>(UpdateStep);
    LastRegister = 0;
    for (int i = 0; i < 4; ++i) {
        Volume[i] = 0;
        Output[i] = 0;
        Period[i] = step;
        Count[i] = step;
        Register[2 * i] = 0;
        Register[2 * i + 1] = 0x0F;
    }
    RNG = kNoisePreset;
    Output[3] = static_cast<int32_t>(kNoisePreset & 1);
    // Periodic feedback, as noise control 0 selects: a board reset must not
    // carry the previous program's noise type into the next one.
    NoiseFB = kPeriodicNoiseFB;
}

void SN76496::UpdateTonePeriod(int channel)
{
    int32_t period = static_cast<int32_t>(UpdateStep) * Register[2 * channel];
    if (period == 0)
        period = static_cast<int32_t>(UpdateStep);
    Period[channel] = period;
    // Noise mode 3 runs at half the rate of tone 2 and follows its changes.
    if (channel == 2 && (Register[6] & 3) == 3)
        Period[3] = 2 * period;
}

void SN76496::UpdateNoise()
{
    const int32_t control = Register[6];
    NoiseFB = (control & 4) ? kWhiteNoiseFB : kPeriodicNoiseFB;
    const int n = control & 3;
    // Modes 0-2: clock/512, /1024, /2048; mode 3: tone 2's rate halved.
    Period[3] = n == 3 ? 2 * Period[2] : static_cast<int32_t>(UpdateStep << (5 + n));
    RNG = kNoisePreset;
    Output[3] = 1;
}

void SN76496::Write(uint32_t /*offset*/, uint8_t data)
{
    if (data & 0x80) {
        const int r = (data >> 4) & 7;
        LastRegister = r;
        Register[r] = (Register[r] & ~0x0F) | (data & 0x0F);
        if (r == 6)
            UpdateNoise();
        else if (r & 1)
            Volume[r >> 1] = VolTable[data & 0x0F];
        else
            UpdateTonePeriod(r >> 1);
        return;
    }

    const int r = LastRegister;
    if (r == 6) {
        Register[6] = (Register[6] & ~0x0F) | (data & 0x0F);
        UpdateNoise();
    } else if (r & 1) {
        Volume[r >> 1] = VolTable[data & 0x0F];
        Register[r] = (Register[r] & ~0x0F) | (data & 0x0F);
    } else {
        Register[r] = (data & 0x3F) * 16 + (Register[r] & 0x0F);
        UpdateTonePeriod(r >> 1);
    }
}

int32_t SN76496::Render()
{
    // Sums are unsigned: four full channels reach 4 * 0x10000 * 10922,
    // above the signed 32-bit range but not the unsigned one.
    uint32_t out = 0;

    for (int i = 0; i < 3; ++i) {
        int32_t count = MutedCountAdjust(Count[i], Volume[i]);
        int32_t output = Output[i];
        int32_t high; // time spent high during this sample

        const int32_t period = Period[i];
        if (period >= kSampleUnit) {
            // At most one edge per sample (every tone below about 20 kHz at
            // 44100 Hz): computed without branches, since edges fall at
            // irregular sample intervals.
            const int32_t edge = count <= kSampleUnit;
            const int32_t beforeEdge = edge ? count : kSampleUnit;
            high = output ? beforeEdge : kSampleUnit - beforeEdge;
            count += (edge ? period : 0) - kSampleUnit;
            output ^= edge;
        } else {
            high = output ? count : 0;
            count -= kSampleUnit;
            while (count <= 0) {
                count += period;
                if (count > 0) {
                    output ^= 1;
                    if (output)
                        high += period;
                    break;
                }
                // Two edges inside the sample: one full half-period high.
                count += period;
                high += period;
            }
            if (output)
                high -= count;
        }
        Output[i] = output;
        Count[i] = count;
        out += static_cast<uint32_t>(high) * static_cast<uint32_t>(Volume[i]);
    }

    {
        int32_t count = MutedCountAdjust(Count[3], Volume[3]);
        int32_t output = Output[3];
        int32_t high;
        if (count > kSampleUnit) {
            // No shift in this sample.
            count -= kSampleUnit;
            high = output ? kSampleUnit : 0;
        } else {
            const int32_t period = Period[3];
            high = 0;
            int32_t left = kSampleUnit;
            do {
                const int32_t next = count < left ? count : left;
                if (output)
                    high += count;
                count -= next;
                if (count <= 0) {
                    if (RNG & 1)
                        RNG ^= static_cast<uint32_t>(NoiseFB);
                    RNG >>= 1;
                    output = static_cast<int32_t>(RNG & 1);
                    count += period;
                    if (output)
                        high += period;
                }
                if (output)
                    high -= count;
                left -= next;
            } while (left > 0);
            Output[3] = output;
        }
        Count[3] = count;
        out += static_cast<uint32_t>(high) * static_cast<uint32_t>(Volume[3]);
    }

    if (out > 0x7FFF0000u)
        out = 0x7FFF0000u;
    return static_cast<int32_t>(out >> 16);
}

void SN76496::RenderStereoBlock(int32_t* out, uint32_t frames)
{
    for (uint32_t i = 0; i < frames; ++i)
        out[2 * i] = out[2 * i + 1] = Render();
}
