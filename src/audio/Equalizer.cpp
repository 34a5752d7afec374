#include "audio/Equalizer.h"

#include <cmath>

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
    ClearHistory();
}

void CEqualizer::ClearHistory() {
    for (auto& band : m_history)
        for (History& h : band) h = History{};
}

void CEqualizer::ClearChannel(int channel) {
    for (auto& band : m_history) band[channel] = History{};
}

void CEqualizer::TakePending() {
    if (!m_hasPending.load(std::memory_order_acquire)) return;
    if (!m_handoff.try_lock()) return;  // a new set is being copied in; next block
    m_active = m_pending;
    m_hasPending.store(false, std::memory_order_relaxed);
    m_handoff.unlock();
}

void CEqualizer::Process(int16_t* samples, int frames) {
    TakePending();
    for (int f = 0; f < frames; ++f) {
        int16_t* frame = samples + 2 * f;
        // Integer halving toward zero: the equalizer works at half level.
        double x[2] = {static_cast<double>(frame[0] / 2), static_cast<double>(frame[1] / 2)};
        // Bands in series; the two channels are independent, so they are
        // stepped side by side.
        for (int i = 0; i < kBands; ++i) {
            const Band& k = m_active.band[i];
            for (int c = 0; c < 2; ++c) {
                History& h = m_history[i][c];
                const double y = k.b0 * x[c] + k.b1 * h.x1 + k.b2 * h.x2 - k.a1 * h.y1 - k.a2 * h.y2;
                h.x2 = h.x1;
                h.x1 = x[c];
                h.y2 = h.y1;
                h.y1 = y;
                x[c] = y;
            }
        }
        for (int c = 0; c < 2; ++c) {
            float out = static_cast<float>(x[c]);
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
}
