// CDcBlocker: a one-pole high-pass that removes the DC offset of both
// channels (about 60 Hz corner), y[n] = x[n] - x[n-1] + R * y[n-1], left
// and right side by side in one SSE2 register.
//
// The arithmetic is kept exactly as the player's recordings expect it: the
// difference and the product with R are formed in single precision (R is a
// 32-bit float) and the sum is truncated toward zero. Truncation makes a
// constant input decay all the way to 0.
//
// The previous output is kept as the float the next step multiplies, and
// the previous input as a double (exact for any 32-bit value, so the
// difference of two inputs is exact before its one rounding to float).
// Truncation and the conversion back stay in vector registers, which keeps
// the frame-to-frame dependency short.
#pragma once

#include <emmintrin.h>

#include <cstdint>

class CDcBlocker {
public:
    // R before the first rate is set.
    static constexpr float kInitialR = 0.99572575f;
    // 2 * pi * 60 Hz.
    static constexpr double kCornerRadians = 376.99111842;

    // R = 1 - 2*pi*60 / rate, stored as a 32-bit float (0.99145 at 44100 Hz),
    // for both channels. A rate of 0 or below leaves R unchanged.
    void SetRate(int32_t rate) {
        if (rate > 0) m_r = _mm_set1_ps(static_cast<float>(1.0 - kCornerRadians / rate));
    }
    void Clear() {
        m_prevIn = _mm_setzero_pd();
        m_prevOut = _mm_setzero_ps();
    }
    float R() const { return _mm_cvtss_f32(m_r); }

    // One frame: inputs in lanes 0 (left) and 1 (right) of `in`; returns the
    // unclipped outputs in the same lanes (lanes 2 and 3 are 0).
    __m128i Process(__m128i in) {
        const __m128d x = _mm_cvtepi32_pd(in);
        const __m128 sum = _mm_add_ps(_mm_cvtpd_ps(_mm_sub_pd(x, m_prevIn)), _mm_mul_ps(m_prevOut, m_r));
        __m128i out = _mm_cvttps_epi32(sum);  // toward zero
        // From the largest float below 2^31 up the output saturates to
        // INT32_MAX (the conversion gives 2147483520 or INT32_MIN there);
        // below -2^31 the conversion's INT32_MIN is already right.
        const __m128 high = _mm_cmpge_ps(sum, _mm_set1_ps(2147483520.0f));
        if (_mm_movemask_ps(high) != 0) {
            const __m128i mask = _mm_castps_si128(high);
            out = _mm_or_si128(_mm_andnot_si128(mask, out), _mm_and_si128(mask, _mm_set1_epi32(INT32_MAX)));
        }
        m_prevIn = x;
        m_prevOut = _mm_cvtepi32_ps(out);
        return out;
    }

private:
    __m128d m_prevIn = _mm_setzero_pd();
    __m128 m_prevOut = _mm_setzero_ps();
    __m128 m_r = _mm_set1_ps(kInitialR);
};
