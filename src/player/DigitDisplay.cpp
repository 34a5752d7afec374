// Digit cells of the main window's display and the pause blinking.
#include "player/DigitDisplay.h"

DigitCells ComputeDigitCells(bool romRunning, int32_t code, TransportState state, uint32_t elapsedMs,
                             bool timeBlank)
{
    DigitCells cells;
    cells[3] = state == TransportState::Playing  ? GlyphPlaying
               : state == TransportState::Paused ? GlyphPaused
                                                 : GlyphStopped;
    cells[6] = GlyphColon;
    if (!romRunning) {
        for (int i : {0, 1, 2, 4, 5, 7, 8})
            cells[i] = GlyphNoRom;
        return cells;
    }
    const uint32_t c = static_cast<uint32_t>(code) & 0xFF;
    const uint32_t t = (elapsedMs / 10) % 360000;  // hundredths within one hour
    const uint32_t minutes = t / 6000;
    const uint32_t seconds = (t % 6000) / 100;
    cells[0] = int32_t(c / 100);
    cells[1] = int32_t((c % 100) / 10);
    cells[2] = int32_t(c % 10);
    cells[4] = int32_t(minutes / 10);
    cells[5] = int32_t(minutes % 10);
    cells[7] = int32_t(seconds / 10);
    cells[8] = int32_t(seconds % 10);
    if (timeBlank)
        cells[4] = cells[5] = cells[7] = cells[8] = GlyphBlank;
    return cells;
}

void CPauseBlink::Update(uint32_t nowMs)
{
    if (nowMs - m_start >= kPeriodMs) {
        m_on = !m_on;
        m_start += kPeriodMs;
    }
}
