// The options dialog's test tone: a short sine on both channels with soft
// edges, as interleaved 16-bit stereo frames.
#pragma once

#include <cstdint>
#include <vector>

struct TestToneShape {
    double frequency = 440.0;  // Hz
    double seconds = 0.6;
    double fadeSeconds = 0.02;  // rise and fall, each
    double amplitude = 8192;    // peak, about -12 dB of full scale
};

// rate * seconds frames; empty for a rate or length of 0 or below.
std::vector<int16_t> MakeTestTone(int rate, const TestToneShape& shape = {});
