// The main window's seven-digit display: which glyph each cell shows for a
// sound code, a play time and a transport state, and the pause blinking of
// the time digits.
#pragma once

#include <array>
#include <cstdint>

// Glyph cells of the digit strip, in strip order.
enum DigitGlyph : int32_t {
    GlyphBlank = 10,
    GlyphNoRom = 11,
    GlyphColon = 12,
    GlyphPlaying = 13,
    GlyphStopped = 14,
    GlyphPaused = 15,
};

enum class TransportState : int32_t { None = 0, Playing = 1, Paused = 2, Stopped = 3 };

// Cells left to right: code hundreds, tens, units, state, minutes tens,
// minutes units, colon, seconds tens, seconds units (nine cells; the colon
// and the state symbol are the two that are not digits).
using DigitCells = std::array<int32_t, 9>;

// With no ROM the seven digits show the dash (state and colon as usual). The time is taken within one hour;
// while `timeBlank` the four time digits are blank.
DigitCells ComputeDigitCells(bool romRunning, int32_t code, TransportState state, uint32_t elapsedMs,
                             bool timeBlank);

// Pause blinking: every 750 ms after the start the time digits flip between
// shown and blank; the start then advances by exactly 750 ms.
class CPauseBlink {
public:
    static constexpr uint32_t kPeriodMs = 750;
    void Start(uint32_t nowMs)
    {
        m_start = nowMs;
        m_on = false;
    }
    // Called on every tick while paused.
    void Update(uint32_t nowMs);
    // True while the time digits are blank.
    bool On() const { return m_on; }

private:
    uint32_t m_start = 0;
    bool m_on = false;
};
