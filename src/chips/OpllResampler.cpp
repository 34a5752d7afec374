#include "chips/OpllResampler.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

double Blackman(double t)
{
    return 0.42 - 0.5 * std::cos(2 * std::numbers::pi * t) + 0.08 * std::cos(4 * std::numbers::pi * t);
}

double Sinc(double x) { return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

// Window spans x = -8..8 (t = 0..1), centred on x = 0.
double Windowed(double x) { return Blackman(0.5 + x / 16.0) * Sinc(x); }

} // namespace

OpllResampler::OpllResampler(double r) : ratio(r)
{
    const bool down = r > 1.0; // output rate below input rate
    for (int i = 0; i < kTableSize; ++i) {
        double x = i / 256.0;
        double w = down ? 4096.0 * Windowed(x / r) / r : 4096.0 * Windowed(x);
        table[i] = static_cast<int16_t>(std::trunc(w));
    }
    Reset();
}

void OpllResampler::Reset()
{
    timer = 0;
    for (auto& h : history)
        h.fill(0);
}

int16_t OpllResampler::Pull(int ch)
{
    timer += ratio;
    // The timer is never negative, so truncation is the floor.
    double d = timer - static_cast<double>(static_cast<int64_t>(timer));
    timer = d;
    const auto& h = history[ch];
    int32_t sum = 0;
    for (int k = 0; k < kTaps; ++k) {
        double x = (k - 7) - d;
        int j = std::abs(static_cast<int16_t>(static_cast<int32_t>(x * 256.0))); // truncates toward zero
        if (j > kTableSize - 1)
            j = kTableSize - 1;
        // 16 taps of |sample| <= 32768 times |coefficient| <= 4096 cannot
        // leave 32 bits, and most coefficients are far smaller.
        sum += static_cast<int32_t>(h[k]) * table[j];
    }
    return static_cast<int16_t>(sum >> 12);
}
