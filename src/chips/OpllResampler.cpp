#include "chips/OpllResampler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

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
    const double d = timer - static_cast<double>(static_cast<int64_t>(timer));
    timer = d;
    const auto& h = history[ch];
    // 16 taps of |sample| <= 32768 times |coefficient| <= 4096 cannot leave
    // 32 bits, and most coefficients are far smaller.
    int32_t sum = 0;

    // Tap k sits at x = (k - 7) - d and takes table[|trunc(256 x)|], limited
    // to the table. With D = 256 d = a + f (a integer, 0 < f < 1) that index
    // is 256 (7 - k) + a for k <= 7 and 256 (k - 7) - a - 1 above, always
    // inside the table. Computing x in doubles rounds by at most 2^-43 in
    // units of 256 x, so the integer form gives the same indices whenever f
    // keeps clear of 0 and 1 by more than that; otherwise the positions are
    // computed as doubles, one by one.
    const double D = d * 256.0;
    const int32_t a = static_cast<int32_t>(D);
    const double f = D - a;
    constexpr double kMargin = 0x1p-40;
    if (f > kMargin && f < 1.0 - kMargin) {
        for (int k = 0; k <= 7; ++k)
            sum += static_cast<int32_t>(h[k]) * table[256 * (7 - k) + a];
        for (int k = 8; k < kTaps; ++k)
            sum += static_cast<int32_t>(h[k]) * table[256 * (k - 7) - a - 1];
    } else {
        for (int k = 0; k < kTaps; ++k) {
            const double x = static_cast<double>(k - 7) - d;
            const int32_t j = std::abs(static_cast<int32_t>(x * 256.0)); // truncates toward zero
            sum += static_cast<int32_t>(h[k]) * table[std::min(j, kTableSize - 1)];
        }
    }
    return static_cast<int16_t>(sum >> 12);
}
