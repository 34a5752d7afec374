// The frequency response of the nine-band equalizer for a set of gains, as
// the signal chain's filters produce it at a given sample rate (the same
// coefficients, evaluated on the unit circle). The chain's fixed halving of
// the level is left out: 0 dB means the band settings change nothing.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

using EqualizerGains = std::array<int32_t, 9>;

// Gain in dB of the whole cascade at `frequency` Hz (0 < frequency < rate / 2).
double EqualizerResponseDb(const EqualizerGains& gains, double rate, double frequency);

// `points` frequencies spaced evenly on a log scale from `low` up to `high`
// (both included; `high` is kept below half the rate by the caller).
std::vector<double> LogFrequencies(double low, double high, int points);
