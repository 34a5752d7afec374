// CEqualizer: nine peaking bands (Q = 1/sqrt 2) at 62.5 Hz .. 16 kHz in
// octaves, run in series on both channels of the player's output.
//
// Threads. Gains are changed on the user-interface thread while the render
// thread filters. The control side (serialised by m_control) computes a
// complete new coefficient set, then copies it into m_pending under
// m_handoff and marks it pending. The render thread, at the start of each
// block, takes the pending set only if it gets m_handoff with try_lock,
// copying all nine bands at once into its private working set. So the
// filter never sees a half-written set and never waits: if the hand-off is
// busy it keeps the previous set for one more block. SetRate and
// ClearHistory touch the render thread's own state and may only be called
// while nothing renders (before playback, or with the thread idle).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

class CEqualizer {
public:
    static constexpr int kBands = 9;
    // Band centres: octaves from 62.5 Hz up to 16 kHz.
    static constexpr double kCentre[kBands] = {62.5, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    static constexpr double kDefaultRate = 44100.0;

    struct Band {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    };
    struct Coefficients {
        Band band[kBands];
    };

    CEqualizer();

    // Peaking-filter coefficients, normalised by a0, for one band.
    static Band ComputeBand(double gainDb, double centreHz, double rate);

    // Control side (any thread). Bands 0..count-1 take gains[i] dB; the
    // histories are kept.
    void SetGains(int count, const int32_t* gains);
    void SetBand(int band, double gainDb);
    double Gain(int band) const;
    double Rate() const;

    // Render side only, or while nothing renders. New rate: every band is
    // recomputed with its gain truncated to whole dB, and the histories are
    // cleared. A rate of 0 or below keeps the current rate.
    void SetRate(double rate);
    void ClearHistory();

    // Filters `frames` interleaved stereo frames in place. Each sample is
    // halved (toward zero) on the way in and not scaled back: the output is
    // at half level.
    void Process(int16_t* samples, int frames);

    // The set the filter currently uses (for tests and diagnostics; render
    // side only).
    const Coefficients& Active() const { return m_active; }

private:
    void PublishLocked(bool wholeDb = false);  // m_control held
    void TakePending();

    // Control side, guarded by m_control.
    mutable std::mutex m_control;
    double m_sampleRate = kDefaultRate;
    double m_gain[kBands] = {};
    // Hand-off between the two sides, guarded by m_handoff.
    std::mutex m_handoff;
    Coefficients m_pending;
    std::atomic<bool> m_hasPending{false};

    // Render side.
    // Previous two inputs and outputs of one band on one channel.
    struct History {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };
    void ClearChannel(int channel);

    Coefficients m_active;
    History m_history[kBands][2];
};
