// Equalizer response from the signal chain's own band coefficients.
#include "player/EqualizerResponse.h"

#include <cmath>
#include <complex>

#include "audio/Equalizer.h"

double EqualizerResponseDb(const EqualizerGains& gains, double rate, double frequency)
{
    const double w = 2.0 * M_PI * frequency / rate;
    const std::complex<double> z1 = std::polar(1.0, -w);  // z^-1 on the unit circle
    const std::complex<double> z2 = z1 * z1;
    double db = 0;
    for (int i = 0; i < CEqualizer::kBands; ++i) {
        const CEqualizer::Band b = CEqualizer::ComputeBand(gains[i], CEqualizer::kCentre[i], rate);
        const std::complex<double> num = b.b0 + b.b1 * z1 + b.b2 * z2;
        const std::complex<double> den = 1.0 + b.a1 * z1 + b.a2 * z2;
        db += 20.0 * std::log10(std::abs(num) / std::abs(den));
    }
    return db;
}

std::vector<double> LogFrequencies(double low, double high, int points)
{
    std::vector<double> f;
    if (points <= 0 || low <= 0 || high < low)
        return f;
    if (points == 1)
        return {low};
    const double step = std::log(high / low) / (points - 1);
    for (int i = 0; i < points; ++i)
        f.push_back(low * std::exp(step * i));
    f.back() = high;
    return f;
}
