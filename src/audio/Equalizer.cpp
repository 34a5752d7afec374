#include "audio/Equalizer.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kInvSqrt2 = 0.7071067811865476;  // sin(w) * this = alpha for Q = 1/sqrt 2
}  // namespace

CEqualizer::CEqualizer() : m_engine(BestEngine()) {
    std::lock_guard<std::mutex> lock(m_control);
    PublishLocked();
    std::lock_guard<std::mutex> handoff(m_handoff);
    m_active = m_pending;
    m_hasPending.store(false, std::memory_order_relaxed);
    Widen();
}

CEqualizer::Band CEqualizer::ComputeBand(double gainDb, double centreHz, double rate) {
    if (2 * centreHz >= rate) return Band{};  // no such frequency at this rate
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

