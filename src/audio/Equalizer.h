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
    //
    // The filter is a cascade of ten signals per channel: signal 0 is the
    // halved input, signal i + 1 the output of band i. Band i reads the
    // current and two previous values of signal i (its x, x1, x2) and the
    // two previous values of signal i + 1 (its y1, y2), so every history the
    // cascade needs is the last three values of each signal. They are kept
    // by frame number modulo 3, in m_signal[slot][signal] with the block's
    // first frame in slot m_firstSlot. A band writes a value into the slot
    // whose old value, three frames back, no band needs any more; that lets
    // the bands run a few frames apart (see Process) without copying
    // histories around.
    static constexpr int kChunk = 512;  // frames per pass of the fast path

    void ClearChannel(int channel);
    void Widen();  // m_wide from m_active
    // Frame-by-frame filtering, used for blocks whose filters overflow to
    // NaN (and where no vector unit is available).
    void ProcessInOrder(int16_t* samples, int frames);
    // The fast path over up to kChunk frames; false (with the state and
    // the samples untouched) if any output was NaN.
    bool ProcessChunk(int16_t* samples, int frames);

    Coefficients m_active;
    // m_active with each coefficient repeated for the two channels:
    // [band][b0 b1 b2 a1 a2][channel].
    alignas(16) double m_wide[kBands][5][2];
    // [slot][signal][channel]
    alignas(16) double m_signal[3][kBands + 1][2] = {};
    int m_firstSlot = 0;
};
