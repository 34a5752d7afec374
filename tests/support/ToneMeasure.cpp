#include "support/ToneMeasure.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>
#include <vector>

namespace ToneMeasure {
namespace {

// In-place iterative radix-2 FFT; the size must be a power of two.
void Fft(std::vector<std::complex<double>>& a, bool inverse)
{
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        double angle = 2 * std::numbers::pi / static_cast<double>(len) * (inverse ? 1 : -1);
        std::complex<double> wlen(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                std::complex<double> u = a[i + k];
                std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wlen;
            }
        }
    }
    if (inverse)
        for (auto& v : a)
            v /= static_cast<double>(n);
}

// Unbiased autocorrelation r[k] / (N - k) for k = 0..N/2, normalised so r[0] = 1.
// Empty when the signal is silent.
std::vector<double> Autocorrelation(const std::vector<double>& x)
{
    const std::size_t n = x.size();
    std::size_t size = 1;
    while (size < 2 * n)
        size <<= 1;
    std::vector<std::complex<double>> buf(size);
    for (std::size_t i = 0; i < n; ++i)
        buf[i] = x[i];
    Fft(buf, false);
    for (auto& v : buf)
        v = std::norm(v);
    Fft(buf, true);
    const double r0 = buf[0].real() / static_cast<double>(n);
    if (!(r0 > 1e-12))
        return {};
    std::vector<double> r(n / 2 + 1);
    for (std::size_t k = 0; k < r.size(); ++k)
        r[k] = buf[k].real() / static_cast<double>(n - k) / r0;
    return r;
}

// Offset from k of the vertex of the parabola through r[k-1], r[k], r[k+1]
// (within half a step; 0 where the three do not make a maximum).
double VertexOffset(const std::vector<double>& r, std::size_t k)
{
    const double a = r[k - 1], b = r[k], c = r[k + 1], denom = a - 2 * b + c;
    return denom < 0 ? std::clamp(0.5 * (a - c) / denom, -0.5, 0.5) : 0.0;
}

// Walks uphill from k to the nearest local maximum and returns its position
// refined by a parabola through the peak and its neighbours.
double PeakNear(const std::vector<double>& r, std::size_t k)
{
    const std::size_t last = r.size() - 2;
    k = std::clamp<std::size_t>(k, 1, last);
    while (k > 1 && r[k - 1] > r[k])
        --k;
    while (k < last && r[k + 1] > r[k])
        ++k;
    return static_cast<double>(k) + VertexOffset(r, k);
}

double MeasureImpl(std::vector<double> x, double rate, double minHz, double maxHz)
{
    if (rate <= 0 || minHz <= 0 || x.size() < 16)
        return 0;
    if (maxHz <= 0 || maxHz > rate / 2)
        maxHz = rate / 2;
    const double mean = std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
    for (double& v : x)
        v -= mean;
    std::vector<double> r = Autocorrelation(x);
    if (r.size() < 8)
        return 0;
    const std::size_t maxLag = std::min<std::size_t>(static_cast<std::size_t>(std::ceil(rate / minHz)), r.size() - 2);
    const std::size_t minLag = std::max<std::size_t>(2, static_cast<std::size_t>(std::floor(rate / maxHz)));
    if (maxLag <= minLag + 1)
        return 0;

    // Strongest local maximum in range, then the first one nearly as strong
    // (so a wave with period P is not read as 2P).
    // Peak heights are taken from the parabola through each local maximum,
    // so a short period that falls between two samples is not undervalued.
    auto height = [&](std::size_t k) { return r[k] - 0.25 * (r[k - 1] - r[k + 1]) * VertexOffset(r, k); };
    double best = -1;
    for (std::size_t k = minLag; k <= maxLag; ++k)
        if (r[k] >= r[k - 1] && r[k] >= r[k + 1])
            best = std::max(best, height(k));
    if (best < 0.5)
        return 0;
    std::size_t first = minLag;
    for (std::size_t k = minLag; k <= maxLag; ++k)
        if (r[k] >= r[k - 1] && r[k] >= r[k + 1] && height(k) >= 0.85 * best) {
            first = k;
            break;
        }
    double period = PeakNear(r, first);

    // Refine at doubling multiples of the period: each step's prediction is
    // off by well under half a period, so it lands on the right peak.
    const double limit = static_cast<double>(r.size() - 3);
    for (double m = 2; m * period <= limit; m *= 2) {
        double peak = PeakNear(r, static_cast<std::size_t>(std::lround(m * period)));
        period = peak / m;
    }
    double m = std::floor(limit / period);
    if (m >= 2)
        period = PeakNear(r, static_cast<std::size_t>(std::lround(m * period))) / m;
    return rate / period;
}

template <typename T>
double RmsImpl(std::span<const T> samples)
{
    if (samples.empty())
        return 0;
    double sq = 0;
    for (T v : samples)
        sq += static_cast<double>(v) * static_cast<double>(v);
    return std::sqrt(sq / static_cast<double>(samples.size()));
}

template <typename T>
double PeakImpl(std::span<const T> samples)
{
    double peak = 0;
    for (T v : samples)
        peak = std::max(peak, std::fabs(static_cast<double>(v)));
    return peak;
}

} // namespace

double MeasureFrequency(std::span<const int16_t> s, double rate, double minHz, double maxHz)
{
    return MeasureImpl({s.begin(), s.end()}, rate, minHz, maxHz);
}
double MeasureFrequency(std::span<const int32_t> s, double rate, double minHz, double maxHz)
{
    return MeasureImpl({s.begin(), s.end()}, rate, minHz, maxHz);
}

double Rms(std::span<const int32_t> s) { return RmsImpl(s); }
double PeakAbs(std::span<const int16_t> s) { return PeakImpl(s); }
double PeakAbs(std::span<const int32_t> s) { return PeakImpl(s); }

} // namespace ToneMeasure
