// CDcBlocker: a one-pole high-pass that removes the DC offset of one
// channel (about 60 Hz corner), y[n] = x[n] - x[n-1] + R * y[n-1].
//
// The arithmetic is kept exactly as the player's recordings expect it: the
// difference and the product with R are formed in single precision (R is a
// 32-bit float) and the sum is truncated toward zero. Truncation makes a
// constant input decay all the way to 0.
#pragma once

#include <cstdint>

class CDcBlocker {
public:
    // R before the first rate is set.
    static constexpr float kInitialR = 0.99572575f;
    // 2 * pi * 60 Hz.
    static constexpr double kCornerRadians = 376.99111842;

    // R = 1 - 2*pi*60 / rate, stored as a 32-bit float (0.99145 at 44100 Hz).
    // A rate of 0 or below leaves R unchanged.
    void SetRate(int32_t rate) {
        if (rate > 0) m_r = static_cast<float>(1.0 - kCornerRadians / rate);
    }
    void Clear() {
        m_prevIn = 0;
        m_prevOut = 0;
    }
    float R() const { return m_r; }

    // One sample; returns the unclipped output.
    int32_t Process(int32_t in) {
        const float sum = static_cast<float>(static_cast<int64_t>(in) - m_prevIn) +
                          static_cast<float>(m_prevOut) * m_r;
        int32_t out;
        if (sum >= 2147483520.0f) out = INT32_MAX;        // largest float below 2^31
        else if (sum <= -2147483648.0f) out = INT32_MIN;
        else out = static_cast<int32_t>(sum);             // truncates toward zero
        m_prevIn = in;
        m_prevOut = out;
        return out;
    }

private:
    int32_t m_prevIn = 0;
    int32_t m_prevOut = 0;
    float m_r = kInitialR;
};
