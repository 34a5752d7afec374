// Converts the FM chip's native-rate stream (clock / 72) to the output rate
// with a 16-tap Blackman-windowed sinc interpolator.
//
// Push() feeds chip-rate samples; Pull() produces one output-rate sample.
// Every Pull advances the shared fractional timer, so for a stereo pair
// channel 1 is read one step after channel 0.
#pragma once

#include <array>
#include <cstdint>

class OpllResampler {
public:
    static constexpr int kTaps = 16;
    static constexpr int kTableSize = 2048; // x = i / 256, 0 <= x < 8
    static constexpr int kChannels = 2;

    // ratio = input rate / output rate. Below 1 (output faster) the plain
    // windowed sinc is used; above 1 it is stretched by the ratio so it also
    // low-passes below the output Nyquist frequency.
    explicit OpllResampler(double ratio);

    void Reset();
    void Push(int ch, int16_t v)
    {
        auto& h = history[ch];
        for (int k = 0; k < kTaps - 1; ++k)
            h[k] = h[k + 1];
        h[kTaps - 1] = v;
    }
    int16_t Pull(int ch);

    int channels = kChannels;
    double timer = 0;
    double ratio;
    std::array<int16_t, kTableSize> table;
    std::array<std::array<int16_t, kTaps>, kChannels> history;
};
