// Measures rendered sound in tests: the frequency of a periodic tone, and
// simple level figures.
//
// MeasureFrequency finds the fundamental period from the autocorrelation of
// the mean-removed signal (computed by FFT, so long blocks are cheap), then
// refines it at the largest whole multiple of the period that fits in half
// the block; with a few thousand periods the result is good to about 1e-5
// relative for any steady periodic wave (sine, square, FM, envelope ramps).
// Pass the range of plausible frequencies to avoid octave errors on
// unusual waves. Sines are measured reliably up to about a quarter of the
// sample rate; naively sampled (aliased) square waves up to about an eighth.
// Returns 0 when no periodic tone is found (silence, noise,
// too few samples for the lowest frequency asked for).
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
