#include "audio/SignalChain.h"

#include <algorithm>

void CSignalChain::SetMasterVolume(int32_t position) {
    position = std::clamp(position, 0, kMasterVolumeMax);
    m_masterPosition.store(position, std::memory_order_relaxed);
    m_multiplier.store(MasterMultiplier(position), std::memory_order_relaxed);
}

void CSignalChain::SetRate(int32_t rate) {
    m_equalizer.SetRate(rate);
    m_dc.Clear();
    m_dc.SetRate(rate);
}

void CSignalChain::ClearHistory() {
    m_equalizer.ClearHistory();
    m_dc.Clear();
}

void CSignalChain::EndBlock(int16_t* block, int frames) {
    if (frames <= 0) return;
    m_equalizer.Process(block, frames);
    const int64_t meanLeft = m_sum[0] / frames;
    const int64_t meanRight = m_sum[1] / frames;
    if (meanLeft < kSilenceThreshold && meanRight < kSilenceThreshold)
        m_silentBlocks.fetch_add(1, std::memory_order_relaxed);
    else
        m_silentBlocks.store(0, std::memory_order_relaxed);
}

void CSignalChain::MeasureLevels(const int16_t* block, int frames, int32_t& left, int32_t& right) {
    left = right = 0;
    if (frames <= 0) return;
    int64_t sum[2] = {0, 0};
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < 2; ++c) {
            const int32_t s = block[2 * f + c];
            sum[c] += s < 0 ? -s : s;
        }
    }
    left = static_cast<int32_t>(sum[0] / frames);
    right = static_cast<int32_t>(sum[1] / frames);
}
