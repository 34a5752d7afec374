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

OpllResampler::OpllResampler(double r) : ratio(r), whole(std::floor(r))
{
    const bool down = r > 1.0; // output rate below input rate
    for (int i = 0; i < kTableSize; ++i) {
        double x = i / 256.0;
        double w = down ? 4096.0 * Windowed(x / r) / r : 4096.0 * Windowed(x);
        table[i] = static_cast<int16_t>(std::trunc(w));
    }
    for (int a = 0; a < 256; ++a) {
        for (int k = 0; k <= 7; ++k)
            rows[a][k] = table[256 * (7 - k) + a];
        for (int k = 8; k < kTaps; ++k)
            rows[a][k] = table[256 * (k - 7) - a - 1];
    }
    Reset();
}

void OpllResampler::Reset()
{
    timer = 0;
    for (auto& r : ring)
        r.fill(0);
    head.fill(0);
}

