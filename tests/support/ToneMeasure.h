// Measures rendered sound in tests: the frequency of a periodic tone, and
// simple level figures.
//
// MeasureFrequency finds the period from the autocorrelation (by FFT) of the
// mean-removed signal and refines it at the largest multiple that fits in
// half the block: about 1e-5 relative with a few thousand periods of any
// steady wave. Pass the plausible range to avoid octave errors; sines hold
// up to a quarter of the rate, aliased squares to an eighth. Returns 0 when
// there is no periodic tone (silence, noise, too few samples).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ToneMeasure {

// maxHz 0 stands for sampleRate / 2.
double MeasureFrequency(std::span<const int16_t> samples, double sampleRate, double minHz = 20.0,
                        double maxHz = 0.0);
double MeasureFrequency(std::span<const int32_t> samples, double sampleRate, double minHz = 20.0,
                        double maxHz = 0.0);

// Root mean square about zero (not mean-removed) and largest magnitude.
double Rms(std::span<const int32_t> samples);
double PeakAbs(std::span<const int16_t> samples);
double PeakAbs(std::span<const int32_t> samples);

// |measured - expected| / expected.
inline double RelativeError(double measured, double expected)
{
    double d = measured - expected;
    return (d < 0 ? -d : d) / expected;
}

} // namespace ToneMeasure
