// Converts the FM chip's native-rate stream (clock / 72) to the output rate
// with a 16-tap Blackman-windowed sinc interpolator.
//
// Push() feeds chip-rate samples; Pull() produces one output-rate sample.
// Every Pull advances the shared fractional timer, so for a stereo pair
// channel 1 is read one step after channel 0.
#pragma once

#include <array>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

    // The channel's history moves one place towards the oldest end and v
    // becomes the newest sample. Stored as a ring in which every sample
    // also sits 16 places further on, so the 16 newest are always one
    // contiguous run.
    void Push(int ch, int16_t v)
    {
        const int p = head[ch];
        ring[ch][p] = v;
        ring[ch][p + kTaps] = v;
        head[ch] = (p + 1) & (kTaps - 1);
    }

    // The history of a channel, oldest first: History(ch)[15] is the newest.
    const int16_t* History(int ch) const { return &ring[ch][head[ch]]; }

    // One output sample of channel ch; advances the shared timer.
    int16_t Pull(int ch);
    // Pull(0) then Pull(1), in one pass.
    void PullStereo(int32_t out[2]);

    int channels = kChannels;
    double timer = 0;
    double ratio;
    std::array<int16_t, kTableSize> table;

private:
    // Advances the timer by the ratio, keeping its fractional part; returns it.
    double Advance();
    // One channel's output at timer value d.
    int16_t Filter(int ch, double d) const;

    double whole; // floor(ratio)
    // The 16 coefficients for each whole step a = floor(256 d) of the timer,
    // in tap order (see Filter), so a pull is one straight dot product.
    std::array<std::array<int16_t, kTaps>, 256> rows;
    std::array<std::array<int16_t, 2 * kTaps>, kChannels> ring;
    std::array<int, kChannels> head;
};

inline double OpllResampler::Advance()
{
    // timer = frac(timer + ratio). The sum is at least whole (= floor of the
    // ratio) and rarely reaches whole + 1; taking off whole ones leaves the
    // low bits of the sum, so every subtraction is exact, and the serial
    // chain from one pull's timer to the next stays short.
    // The first subtraction is a select rather than a branch: whether it is
    // due follows the ratio's fraction and predicts badly.
    double d = timer + ratio - whole;
    d = d >= 1.0 ? d - 1.0 : d;
    while (d >= 1.0) [[unlikely]]
        d -= 1.0;
    timer = d;
    return d;
}

inline int16_t OpllResampler::Filter(int ch, double d) const
{
    const int16_t* h = History(ch);
    // 16 taps of |sample| <= 32768 times |coefficient| <= 4096 cannot leave
    // 32 bits, and most coefficients are far smaller.
    int32_t sum = 0;

    // Tap k sits at x = (k - 7) - d and takes table[|trunc(256 x)|], limited
    // to the table. With D = 256 d = a + f (a integer, 0 < f < 1) that index
    // is 256 (7 - k) + a for k <= 7 and 256 (k - 7) - a - 1 above, always
    // inside the table: row a of the precomputed rows. Computing x in
    // doubles rounds by at most 2^-43 in units of 256 x, so the row gives the
    // same indices whenever f keeps clear of 0 and 1 by more than that;
    // otherwise the positions are computed as doubles, one by one.
    const double D = d * 256.0;
    const int32_t a = static_cast<int32_t>(D);
    const double f = D - a;
    constexpr double kMargin = 0x1p-40;
    if (f > kMargin && f < 1.0 - kMargin) [[likely]] {
        const int16_t* c = rows[a].data();
#if defined(__SSE2__)
        // pmaddwd multiplies the 16-bit pairs exactly and adds neighbours in
        // 32 bits; the four partial sums then fold into one. The int32 sum
        // wraps the same way in any order, so this equals the plain loop.
        const __m128i lo = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
        const __m128i hi = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 8)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 8)));
        __m128i v = _mm_add_epi32(lo, hi);
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
        sum = _mm_cvtsi128_si32(v);
#else
        for (int k = 0; k < kTaps; ++k)
            sum += static_cast<int32_t>(h[k]) * c[k];
#endif
    } else {
        for (int k = 0; k < kTaps; ++k) {
            const double x = static_cast<double>(k - 7) - d;
            int32_t j = static_cast<int32_t>(x * 256.0); // truncates toward zero
            j = j < 0 ? -j : j;
            sum += static_cast<int32_t>(h[k]) * table[j < kTableSize - 1 ? j : kTableSize - 1];
        }
    }
    return static_cast<int16_t>(sum >> 12);
}

inline int16_t OpllResampler::Pull(int ch) { return Filter(ch, Advance()); }

inline void OpllResampler::PullStereo(int32_t out[2])
{
    const double d0 = Advance();
    const double d1 = Advance();
    out[0] = Filter(0, d0);
    out[1] = Filter(1, d1);
}
