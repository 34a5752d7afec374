// CLevelMeter: bar, peak and hold rules of the main window's meter.
#include "player/LevelMeter.h"

#include <algorithm>
#include <cmath>

int32_t CLevelMeter::SegmentOf(int32_t level)
{
    int32_t v = kLowest;
    if (level > 0)
        v = kLowest - static_cast<int32_t>(std::trunc(20.0 * std::log10(double(level)) - 40.0));
    if (v < 0)
        return 0;
    if (v > kLowest)
        return kOff;
    return v;
}

void CLevelMeter::Reset()
{
    for (int c = 0; c < 2; ++c) {
        m_bar[c] = kOff;
        m_peak[c] = kOff;
        m_hold[c] = kResetHold;
    }
}

void CLevelMeter::Update(int32_t levelLeft, int32_t levelRight)
{
    UpdateChannel(0, levelLeft);
    UpdateChannel(1, levelRight);
}

void CLevelMeter::UpdateChannel(int c, int32_t level)
{
    const int32_t v = SegmentOf(level);
    if (m_bar[c] >= v)
        m_bar[c] = v;
    else if (m_bar[c] < kOff)
        m_bar[c] = std::min(m_bar[c] + 4, kLowest);

    if (m_peak[c] >= v) {
        m_hold[c] = kHoldTicks;
        m_peak[c] = v;
    } else if (--m_hold[c] < 0) {
        m_hold[c] = 0;
        if (m_peak[c] < kOff)
            ++m_peak[c];
    }
}
