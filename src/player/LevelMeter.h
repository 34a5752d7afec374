// The main window's two-channel level meter: a falling bar and a peak mark
// with a short hold per channel, in segment values 0..45 where a smaller
// value is louder and 45 draws nothing. Each 16 ms tick feeds it the mean
// absolute sample value of the block just played.
#pragma once

#include <cstdint>

class CLevelMeter {
public:
    static constexpr int32_t kOff = 45;       // draws nothing
    static constexpr int32_t kLowest = 44;    // the bottom segment
    static constexpr int32_t kHoldTicks = 4;  // ticks a peak stays before it falls
    static constexpr int32_t kResetHold = 8;

    CLevelMeter() { Reset(); }

    // Segment value of a level: 44 - trunc(20 log10(L) - 40), so 0 gives 44;
    // limited to 0 .. 45 (above 44 means off).
    static int32_t SegmentOf(int32_t level);

    // Bars and peaks off, holds 8 (a new sound starts from an empty meter).
    void Reset();
    // One tick with the levels of the left and right channel.
    void Update(int32_t levelLeft, int32_t levelRight);

    int32_t Bar(int channel) const { return m_bar[channel]; }
    int32_t Peak(int channel) const { return m_peak[channel]; }
    int32_t Hold(int channel) const { return m_hold[channel]; }

private:
    void UpdateChannel(int channel, int32_t level);

    int32_t m_bar[2];
    int32_t m_peak[2];
    int32_t m_hold[2];
};
