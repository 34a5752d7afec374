#include "audio/Equalizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kInvSqrt2 = 0.7071067811865476;  // sin(w) * this = alpha for Q = 1/sqrt 2
}  // namespace

CEqualizer::CEqualizer() {
    std::lock_guard<std::mutex> lock(m_control);
    PublishLocked();
    std::lock_guard<std::mutex> handoff(m_handoff);
    m_active = m_pending;
    m_hasPending.store(false, std::memory_order_relaxed);
    Widen();
}

CEqualizer::Band CEqualizer::ComputeBand(double gainDb, double centreHz, double rate) {
    const double A = std::pow(10.0, gainDb * 0.025);  // 10^(g/40)
    const double w = kTwoPi * centreHz / rate;
    const double alpha = std::sin(w) * kInvSqrt2;
    const double n = 1.0 + alpha / A;
    Band b;
    b.b0 = (1.0 + alpha * A) / n;
    b.b1 = -2.0 * std::cos(w) / n;
    b.b2 = (1.0 - alpha * A) / n;
    b.a1 = -2.0 * std::cos(w) / n;
    b.a2 = (1.0 - alpha / A) / n;
    return b;
}

void CEqualizer::PublishLocked(bool wholeDb) {
    // The trigonometry happens outside the hand-off lock, which is held only
    // for the copy, so the renderer's try_lock rarely finds it busy.
    Coefficients fresh;
    for (int i = 0; i < kBands; ++i) {
        const double gain = wholeDb ? std::trunc(m_gain[i]) : m_gain[i];
        fresh.band[i] = ComputeBand(gain, kCentre[i], m_sampleRate);
    }
    std::lock_guard<std::mutex> handoff(m_handoff);
    m_pending = fresh;
    m_hasPending.store(true, std::memory_order_release);
}

void CEqualizer::SetGains(int count, const int32_t* gains) {
    if (count > kBands) count = kBands;
    std::lock_guard<std::mutex> lock(m_control);
    for (int i = 0; i < count; ++i) m_gain[i] = gains[i];
    PublishLocked();
}

void CEqualizer::SetBand(int band, double gainDb) {
    if (band < 0 || band >= kBands) return;
    std::lock_guard<std::mutex> lock(m_control);
    m_gain[band] = gainDb;
    PublishLocked();
}

double CEqualizer::Gain(int band) const {
    if (band < 0 || band >= kBands) return 0.0;
    std::lock_guard<std::mutex> lock(m_control);
    return m_gain[band];
}

double CEqualizer::Rate() const {
    std::lock_guard<std::mutex> lock(m_control);
    return m_sampleRate;
}

void CEqualizer::SetRate(double rate) {
    {
        std::lock_guard<std::mutex> lock(m_control);
        if (rate > 0) m_sampleRate = rate;
        PublishLocked(true);
        std::lock_guard<std::mutex> handoff(m_handoff);
        m_active = m_pending;
        m_hasPending.store(false, std::memory_order_relaxed);
    }
    Widen();
    ClearHistory();
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
        for (int j = 0; j < 5; ++j) m_wide[i][j][0] = m_wide[i][j][1] = coefficient[j];
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

namespace {
// Slot of frame `frame` when frame 0 is in slot `first`.
constexpr int SlotOf(int first, int frame) { return ((first + frame) % 3 + 3) % 3; }
}  // namespace

void CEqualizer::ProcessInOrder(int16_t* samples, int frames) {
    for (int f = 0; f < frames; ++f) {
        int16_t* frame = samples + 2 * f;
        const int p = SlotOf(m_firstSlot, f), p1 = SlotOf(p, -1), p2 = SlotOf(p, -2);
        for (int c = 0; c < 2; ++c) {
            // Integer halving toward zero: the equalizer works at half level.
            m_signal[p][0][c] = static_cast<double>(frame[c] / 2);
            // Bands in series: band i filters signal i into signal i + 1.
            for (int i = 0; i < kBands; ++i) {
                const Band& k = m_active.band[i];
                const double x = m_signal[p][i][c], x1 = m_signal[p1][i][c], x2 = m_signal[p2][i][c];
                const double y1 = m_signal[p1][i + 1][c], y2 = m_signal[p2][i + 1][c];
                m_signal[p][i + 1][c] = k.b0 * x + k.b1 * x1 + k.b2 * x2 - k.a1 * y1 - k.a2 * y2;
            }
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
    m_firstSlot = SlotOf(m_firstSlot, frames);
}

#if defined(__SSE2__)

// The fast path runs the nine bands as a pipeline: at step t band i filters
// frame t - i, so the nine band updates of a step are independent of each
// other (band i's input, frame t - i of signal i, was written by band i - 1
// in the previous step) and the processor overlaps them instead of waiting
// for each band's result before starting the next. The bands go from the
// last to the first within a step because band i overwrites the value of
// signal i + 1 that band i + 1 reads as its x2 in the same step. Each band
// update is the same expression, in the same order and precision, as in
// ProcessInOrder, done for both channels at once, so the results are
// identical.
namespace {

using Stereo = __m128d;

struct Pipeline {
    double (*signal)[CEqualizer::kBands + 1][2];  // [slot][signal][channel]
    const double (*wide)[5][2];                   // [band][b0 b1 b2 a1 a2][channel]
};

// Band `band` filters the frame stored in slot `p`.
inline void BandStep(const Pipeline& pl, int band, int p) {
    const int p1 = p == 0 ? 2 : p - 1, p2 = p1 == 0 ? 2 : p1 - 1;
    const double(*k)[2] = pl.wide[band];
    const Stereo x = _mm_load_pd(pl.signal[p][band]);
    const Stereo x1 = _mm_load_pd(pl.signal[p1][band]);
    const Stereo x2 = _mm_load_pd(pl.signal[p2][band]);
    const Stereo y1 = _mm_load_pd(pl.signal[p1][band + 1]);
    const Stereo y2 = _mm_load_pd(pl.signal[p2][band + 1]);
    Stereo y = _mm_add_pd(_mm_mul_pd(_mm_load_pd(k[0]), x), _mm_mul_pd(_mm_load_pd(k[1]), x1));
    y = _mm_add_pd(y, _mm_mul_pd(_mm_load_pd(k[2]), x2));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_load_pd(k[3]), y1));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_load_pd(k[4]), y2));
    _mm_store_pd(pl.signal[p][band + 1], y);
}

// Halved input frame into signal 0 of slot p.
inline void LoadInput(const Pipeline& pl, const int16_t* frame, int p) {
    _mm_store_pd(pl.signal[p][0], _mm_set_pd(frame[1] / 2, frame[0] / 2));
}

// Final signal of slot p as a 16-bit frame; NaN lanes are flagged in `nan`.
inline void StoreOutput(const Pipeline& pl, int16_t* frame, int p, __m128d& nan) {
    const Stereo y = _mm_load_pd(pl.signal[p][CEqualizer::kBands]);
    nan = _mm_or_pd(nan, _mm_cmpunord_pd(y, y));
    __m128 out = _mm_cvtpd_ps(y);
    out = _mm_min_ps(out, _mm_set1_ps(32767.0f));
    out = _mm_max_ps(out, _mm_set1_ps(-32768.0f));
    const __m128i whole = _mm_cvttps_epi32(out);
    const int32_t packed = _mm_cvtsi128_si32(_mm_packs_epi32(whole, whole));
    std::memcpy(frame, &packed, sizeof packed);
}

// One full step (all nine bands busy) with band 0 on slot P; the slots of
// the other bands follow at compile time.
template <int P, std::size_t... Is>
inline void FullStep(const Pipeline& pl, std::index_sequence<Is...>) {
    (BandStep(pl, CEqualizer::kBands - 1 - static_cast<int>(Is),
              SlotOf(P, -(CEqualizer::kBands - 1 - static_cast<int>(Is)))),
     ...);
}

}  // namespace

bool CEqualizer::ProcessChunk(int16_t* samples, int frames) {
    constexpr int kLast = kBands - 1;
    double saved[3][kBands + 1][2];
    std::memcpy(saved, m_signal, sizeof saved);
    int16_t out[2 * kChunk];
    const Pipeline pl{m_signal, m_wide};
    __m128d nan = _mm_setzero_pd();
    const int first = m_firstSlot;
    // A partial step: only bands lo..hi have a frame to filter.
    const auto partialStep = [&](int t, int lo, int hi) {
        if (t < frames) LoadInput(pl, samples + 2 * t, SlotOf(first, t));
        for (int i = hi; i >= lo; --i) BandStep(pl, i, SlotOf(first, t - i));
        if (hi == kLast) StoreOutput(pl, out + 2 * (t - kLast), SlotOf(first, t - kLast), nan);
    };
    int t = 0;
    // Filling: band i starts at step i.
    for (; t < kLast && t < frames; ++t) partialStep(t, 0, t);
    // Full steps, three at a time so that every slot is a constant.
    const auto fullSteps = [&]<int P>() {
        for (; t + 3 <= frames; t += 3) {
            const int16_t* in = samples + 2 * t;
            int16_t* done = out + 2 * (t - kLast);
            LoadInput(pl, in, P);
            FullStep<P>(pl, std::make_index_sequence<kBands>());
            StoreOutput(pl, done, SlotOf(P, -kLast), nan);
            LoadInput(pl, in + 2, SlotOf(P, 1));
            FullStep<SlotOf(P, 1)>(pl, std::make_index_sequence<kBands>());
            StoreOutput(pl, done + 2, SlotOf(P, 1 - kLast), nan);
            LoadInput(pl, in + 4, SlotOf(P, 2));
            FullStep<SlotOf(P, 2)>(pl, std::make_index_sequence<kBands>());
            StoreOutput(pl, done + 4, SlotOf(P, 2 - kLast), nan);
        }
    };
    if (t == kLast) {
        switch (SlotOf(first, t)) {
        case 0: fullSteps.template operator()<0>(); break;
        case 1: fullSteps.template operator()<1>(); break;
        default: fullSteps.template operator()<2>(); break;
        }
    }
    // The last full steps that did not make a group of three, then draining:
    // band i stops after the chunk's last frame.
    for (; t < frames + kLast; ++t) partialStep(t, t < frames ? 0 : t - frames + 1, t < kLast ? t : kLast);
    if (_mm_movemask_pd(nan) != 0) {
        std::memcpy(m_signal, saved, sizeof saved);
        return false;
    }
    std::memcpy(samples, out, sizeof(int16_t) * 2 * frames);
    m_firstSlot = SlotOf(first, frames);
    return true;
}

void CEqualizer::Process(int16_t* samples, int frames) {
    TakePending();
    for (int done = 0; done < frames;) {
        const int chunk = std::min(kChunk, frames - done);
        if (!ProcessChunk(samples + 2 * done, chunk)) ProcessInOrder(samples + 2 * done, chunk);
        done += chunk;
    }
}

#else

void CEqualizer::Process(int16_t* samples, int frames) {
    TakePending();
    ProcessInOrder(samples, frames);
}

#endif
