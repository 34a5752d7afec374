// The render side of CEqualizer: taking a new coefficient set, the
// histories, and the filter loops.
//
// The plain loop filters frame by frame, band after band. Each band's input
// is the previous band's output of the same frame, so a frame is a chain of
// nine dependent biquad updates and the processor mostly waits. The vector
// engines run the bands as a pipeline instead: at step t band i filters
// frame t - i, so the nine updates of a step are independent of each other
// (band i's input, frame t - i of signal i, came from band i - 1 in the
// previous step). Every update is the same expression in the same order and
// precision as the plain loop, both channels side by side (and in the
// 256-bit engine two bands side by side), so all engines give identical
// results. There is no fused multiply-add anywhere: it would round
// differently.
#include "audio/Equalizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KELVARA_EQ_AVX 1
#endif

namespace {

constexpr int kBands = CEqualizer::kBands;
constexpr int kLast = kBands - 1;

// (a + b) mod 3 for any a + b >= -3.
constexpr int Slot(int a, int b = 0) { return (a + b + 3) % 3; }

}  // namespace

CEqualizer::Engine CEqualizer::BestEngine() {
#if defined(KELVARA_EQ_AVX)
    __builtin_cpu_init();  // may run from a static constructor
    if (__builtin_cpu_supports("avx")) return Engine::Vector256;
#endif
#if defined(__SSE2__)
    return Engine::Vector128;
#else
    return Engine::InOrder;
#endif
}

void CEqualizer::SetEngine(Engine engine) {
    const Engine best = BestEngine();
    m_engine = static_cast<int>(engine) <= static_cast<int>(best) ? engine : best;
}

void CEqualizer::ClearHistory() { std::memset(m_signal, 0, sizeof m_signal); }

void CEqualizer::ClearChannel(int channel) {
    for (auto& slot : m_signal)
        for (auto& value : slot) value[channel] = 0;
}

void CEqualizer::Widen() {
    for (int i = 0; i < kBands; ++i) {
        const Band& k = m_active.band[i];
        const double coefficient[5] = {k.b0, k.b1, k.b2, k.a1, k.a2};
        for (int j = 0; j < 5; ++j) m_wide[j][i][0] = m_wide[j][i][1] = coefficient[j];
    }
}

void CEqualizer::TakePending() {
    if (!m_hasPending.load(std::memory_order_acquire)) return;
    if (!m_handoff.try_lock()) return;  // a new set is being copied in; next block
    m_active = m_pending;
    m_hasPending.store(false, std::memory_order_relaxed);
    m_handoff.unlock();
    Widen();
}

CEqualizer::History CEqualizer::BandHistory(int band, int channel) const {
    // Frame -1 (the last one filtered) of signal k is in slot first + k - 1.
    const int p1 = (m_firstSlot + band + 2) % 3, p2 = (m_firstSlot + band + 1) % 3;
    const double(*s)[kSignals][2] = m_signal;
    return {s[p1][band][channel], s[p2][band][channel], s[Slot(p1, 1)][band + 1][channel],
            s[p1][band + 1][channel]};
}

void CEqualizer::ProcessInOrder(int16_t* samples, int frames) {
    for (int f = 0; f < frames; ++f) {
        int16_t* frame = samples + 2 * f;
        // Integer halving toward zero: the equalizer works at half level.
        int p = Slot(m_firstSlot, f % 3);  // frame f of signal i
        for (int c = 0; c < 2; ++c) m_signal[p][0][c] = static_cast<double>(frame[c] / 2);
        // Bands in series: band i filters signal i into signal i + 1; the
        // two channels are independent, so they are stepped side by side.
        for (int i = 0; i < kBands; ++i) {
            const Band& k = m_active.band[i];
            const int p1 = Slot(p, -1), p2 = Slot(p, -2);
            for (int c = 0; c < 2; ++c) {
                const double x = m_signal[p][i][c], x1 = m_signal[p1][i][c], x2 = m_signal[p2][i][c];
                const double y1 = m_signal[p][i + 1][c], y2 = m_signal[p1][i + 1][c];
                m_signal[p2][i + 1][c] = k.b0 * x + k.b1 * x1 + k.b2 * x2 - k.a1 * y1 - k.a2 * y2;
            }
            p = p2;  // frame f of signal i + 1
        }
        for (int c = 0; c < 2; ++c) {
            float out = static_cast<float>(m_signal[p][kBands][c]);
            if (std::isnan(out)) {
                // Only absurd gains get here; restart this channel's filters
                // rather than stay silent for good.
                ClearChannel(c);
                out = 0.0f;
            }
            if (out > 32767.0f) out = 32767.0f;
            if (out < -32768.0f) out = -32768.0f;
            frame[c] = static_cast<int16_t>(out);
        }
    }
    m_firstSlot = Slot(m_firstSlot, frames % 3);
}

#if defined(__SSE2__)

namespace {

using Signals = double[3][CEqualizer::kSignals][2];
using Wide = double[5][kBands + 1][2];

// Band `band` of a pipeline step whose newest values are in slot p: x and
// y1 in p, x1 and y2 in p - 1, x2 in p - 2; the result goes to p + 1 (the
// slot of p - 2), so within a step the bands run from last to first: band
// i + 1 reads signal i + 1 there as its x2 before band i replaces it.
[[gnu::always_inline]] inline void BandStep(Signals& s, const Wide& k, int band, int p) {
    const int p1 = Slot(p, -1), p2 = Slot(p, -2);
    __m128d y = _mm_add_pd(_mm_mul_pd(_mm_load_pd(k[0][band]), _mm_load_pd(s[p][band])),
                           _mm_mul_pd(_mm_load_pd(k[1][band]), _mm_load_pd(s[p1][band])));
    y = _mm_add_pd(y, _mm_mul_pd(_mm_load_pd(k[2][band]), _mm_load_pd(s[p2][band])));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_load_pd(k[3][band]), _mm_load_pd(s[p][band + 1])));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_load_pd(k[4][band]), _mm_load_pd(s[p1][band + 1])));
    _mm_store_pd(s[p2][band + 1], y);
}

// A frame halved toward zero, as the filter input.
[[gnu::always_inline]] inline __m128d HalvedInput(const int16_t* frame) {
    return _mm_set_pd(frame[1] / 2, frame[0] / 2);
}

// The final signal as a 16-bit frame; NaN lanes are flagged in `nan`.
[[gnu::always_inline]] inline void StoreOutput(__m128d y, int16_t* frame, __m128d& nan) {
    nan = _mm_or_pd(nan, _mm_cmpunord_pd(y, y));
    __m128 out = _mm_cvtpd_ps(y);
    out = _mm_min_ps(out, _mm_set1_ps(32767.0f));
    out = _mm_max_ps(out, _mm_set1_ps(-32768.0f));
    const __m128i whole = _mm_cvttps_epi32(out);
    const int32_t packed = _mm_cvtsi128_si32(_mm_packs_epi32(whole, whole));
    std::memcpy(frame, &packed, sizeof packed);
}

// One step with every band busy, its newest values in slot P: input frame
// u in, output frame u - 8 out.
template <int P, std::size_t... Is>
[[gnu::always_inline]] inline void Step128(Signals& s, const Wide& k, const int16_t* in, int16_t* out, int u,
                                           __m128d& nan, std::index_sequence<Is...>) {
    _mm_store_pd(s[P][0], HalvedInput(in + 2 * u));
    (BandStep(s, k, kLast - static_cast<int>(Is), P), ...);
    StoreOutput(_mm_load_pd(s[Slot(P, 1)][kBands]), out + 2 * (u - kLast), nan);
}

// Steps t, t + 1, ... with every band busy, three at a time so that the
// slots are constants; P is the slot of step t's newest values. Returns the
// first step not run.
template <int P>
int FullSteps128(Signals& s, const Wide& k, const int16_t* in, int16_t* out, int t, int frames, __m128d& nan) {
    constexpr auto bands = std::make_index_sequence<kBands>();
    for (; t + 3 <= frames; t += 3) {
        Step128<P>(s, k, in, out, t, nan, bands);
        Step128<Slot(P, 1)>(s, k, in, out, t + 1, nan, bands);
        Step128<Slot(P, 2)>(s, k, in, out, t + 2, nan, bands);
    }
    return t;
}

#if defined(KELVARA_EQ_AVX)

// The 256-bit engine puts bands j and j + 5 side by side in vector j
// (j = 0..4; band 9 is a dummy with zero coefficients). Vector j's x side is
// then signals (j, j + 5) and its y side signals (j + 1, j + 6), which is
// vector j + 1's x side: a step's result in vector j is exactly the next
// step's input of vector j + 1, so the values move between bands without
// any shuffling, except at the wrap from band 4 to band 5 where the new
// input frame joins. Band 8's output, the equalizer's, is the high half of
// vector 3. The state is the x side of every vector for the last three
// frames plus the y side of vector 4 (signals 5 and 10), in registers as far
// as they go, loaded from the shared state and written back to it.
struct Lanes256 {
    __m256d x[5][3];  // [vector][slot]: signals (j, j + 5)
    __m256d y4[3];    // [slot]: signals (5, 10)
};

// The two halves from two 128-bit values.
[[gnu::always_inline, gnu::target("avx")]] inline __m256d Join(__m128d low, __m128d high) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(low), high, 1);
}

template <int P>
[[gnu::always_inline, gnu::target("avx")]] inline void Step256(Lanes256& v, const __m256d (&k)[5][5],
                                                             __m128d next, int16_t* out, __m128d& nan) {
    constexpr int p1 = Slot(P, -1), p2 = Slot(P, -2), n = Slot(P, 1);
    __m256d y[5];
#pragma GCC unroll 5
    for (int j = 0; j < 5; ++j) {
        const __m256d y1 = j < 4 ? v.x[j + 1][P] : v.y4[P];
        const __m256d y2 = j < 4 ? v.x[j + 1][p1] : v.y4[p1];
        __m256d a = _mm256_add_pd(_mm256_mul_pd(k[0][j], v.x[j][P]), _mm256_mul_pd(k[1][j], v.x[j][p1]));
        a = _mm256_add_pd(a, _mm256_mul_pd(k[2][j], v.x[j][p2]));
        a = _mm256_sub_pd(a, _mm256_mul_pd(k[3][j], y1));
        y[j] = _mm256_sub_pd(a, _mm256_mul_pd(k[4][j], y2));
    }
    // Slot n is slot p2, whose values were read above for the last time.
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) v.x[j + 1][n] = y[j];
    v.y4[n] = y[4];
    v.x[0][n] = Join(next, _mm256_castpd256_pd128(y[4]));
    StoreOutput(_mm256_extractf128_pd(y[3], 1), out, nan);
}

template <int P>
[[gnu::target("avx")]] int FullSteps256(Signals& s, const Wide& wide, const int16_t* in, int16_t* out, int t,
                                        int frames, __m128d& nan) {
    Lanes256 v;
    __m256d k[5][5];
    for (int c = 0; c < 5; ++c)
        for (int j = 0; j < 5; ++j) k[c][j] = Join(_mm_load_pd(wide[c][j]), _mm_load_pd(wide[c][j + 5]));
    for (int p = 0; p < 3; ++p) {
        for (int j = 0; j < 5; ++j) v.x[j][p] = Join(_mm_load_pd(s[p][j]), _mm_load_pd(s[p][j + 5]));
        v.y4[p] = Join(_mm_load_pd(s[p][5]), _mm_load_pd(s[p][10]));
    }
    // The input of the step after the last one is not needed by anyone.
    const auto next = [&](int u) { return u + 1 < frames ? HalvedInput(in + 2 * (u + 1)) : _mm_setzero_pd(); };
    for (; t + 3 <= frames; t += 3) {
        int16_t* done = out + 2 * (t - kLast);
        Step256<P>(v, k, next(t), done, nan);
        Step256<Slot(P, 1)>(v, k, next(t + 1), done + 2, nan);
        Step256<Slot(P, 2)>(v, k, next(t + 2), done + 4, nan);
    }
    // Back to the shared state; signal 0 of the next step's slot is
    // rewritten by whoever runs that step.
    for (int p = 0; p < 3; ++p) {
        for (int j = 0; j < 5; ++j) {
            _mm_store_pd(s[p][j], _mm256_castpd256_pd128(v.x[j][p]));
            _mm_store_pd(s[p][j + 5], _mm256_extractf128_pd(v.x[j][p], 1));
        }
        _mm_store_pd(s[p][10], _mm256_extractf128_pd(v.y4[p], 1));
    }
    return t;
}

#endif  // KELVARA_EQ_AVX

}  // namespace

bool CEqualizer::ProcessChunk(int16_t* samples, int frames) {
    Signals saved;
    std::memcpy(saved, m_signal, sizeof saved);
    int16_t out[2 * kChunk];
    __m128d nan = _mm_setzero_pd();
    const int first = m_firstSlot;
    // Step t with only bands lo..hi busy (filling and draining the pipeline).
    const auto partialStep = [&](int t, int lo, int hi) {
        const int p = Slot(first, t % 3);
        if (t < frames) _mm_store_pd(m_signal[p][0], HalvedInput(samples + 2 * t));
        for (int i = hi; i >= lo; --i) BandStep(m_signal, m_wide, i, p);
        if (hi == kLast) StoreOutput(_mm_load_pd(m_signal[Slot(p, 1)][kBands]), out + 2 * (t - kLast), nan);
    };
    int t = 0;
    for (; t < kLast && t < frames; ++t) partialStep(t, 0, t);
    if (t == kLast) {
        const int p = Slot(first, t % 3);
#if defined(KELVARA_EQ_AVX)
        if (m_engine == Engine::Vector256) {
            _mm_store_pd(m_signal[p][0], HalvedInput(samples + 2 * t));
            switch (p) {
            case 0: t = FullSteps256<0>(m_signal, m_wide, samples, out, t, frames, nan); break;
            case 1: t = FullSteps256<1>(m_signal, m_wide, samples, out, t, frames, nan); break;
            default: t = FullSteps256<2>(m_signal, m_wide, samples, out, t, frames, nan); break;
            }
        } else
#endif
        {
            switch (p) {
            case 0: t = FullSteps128<0>(m_signal, m_wide, samples, out, t, frames, nan); break;
            case 1: t = FullSteps128<1>(m_signal, m_wide, samples, out, t, frames, nan); break;
            default: t = FullSteps128<2>(m_signal, m_wide, samples, out, t, frames, nan); break;
            }
        }
    }
    // The full steps left over from the groups of three, then draining:
    // band i stops after the chunk's last frame.
    for (; t < frames + kLast; ++t) partialStep(t, t < frames ? 0 : t - frames + 1, std::min(t, kLast));
    if (_mm_movemask_pd(nan) != 0) {
        std::memcpy(m_signal, saved, sizeof saved);
        return false;
    }
    std::memcpy(samples, out, sizeof(int16_t) * 2 * frames);
    m_firstSlot = Slot(first, frames % 3);
    return true;
}

void CEqualizer::Process(int16_t* samples, int frames) {
    TakePending();
    if (m_engine == Engine::InOrder) {
        ProcessInOrder(samples, frames);
        return;
    }
    for (int done = 0; done < frames;) {
        const int chunk = std::min(kChunk, frames - done);
        if (!ProcessChunk(samples + 2 * done, chunk)) ProcessInOrder(samples + 2 * done, chunk);
        done += chunk;
    }
}

#else  // no SSE2

bool CEqualizer::ProcessChunk(int16_t*, int) { return false; }

void CEqualizer::Process(int16_t* samples, int frames) {
    TakePending();
    ProcessInOrder(samples, frames);
}

#endif
