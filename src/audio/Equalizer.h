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
    // Filter signals held per channel: the input, the nine band outputs,
    // and two more that round them up to whole pairs for the 256-bit
    // engine (signal 10 is the output of a dummy band 9 with zero
    // coefficients; signal 11 stays 0).
    static constexpr int kSignals = 12;

    struct Band {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    };
    struct Coefficients {
        Band band[kBands];
    };

    CEqualizer();

    // Peaking-filter coefficients, normalised by a0, for one band. A band
    // whose centre is at or above half the rate passes the signal
    // unchanged: the formula would put its poles outside the unit circle
    // there (sin w < 0), and rounding alone would then grow without bound.
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

    // The loop Process runs. All give the same output bit for bit; they
    // differ only in speed. Frame by frame (the plain definition), a
    // pipeline over 128-bit vectors (any x86-64), or the same pipeline over
    // 256-bit vectors (processors with AVX).
    enum class Engine { InOrder, Vector128, Vector256 };
    // The fastest engine this processor runs; every new equalizer uses it.
    static Engine BestEngine();
    // Render side (tests and benchmarks): engines this processor cannot run
    // fall back to the best one it can.
    void SetEngine(Engine engine);
    Engine CurrentEngine() const { return m_engine; }

    // The set the filter currently uses (for tests and diagnostics; render
    // side only).
    const Coefficients& Active() const { return m_active; }
    // A band's last two inputs and outputs on one channel (0 left, 1 right),
    // as its next update will use them (for tests; render side only).
    struct History {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };
    History BandHistory(int band, int channel) const;

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
    // cascade needs is the last three values of each signal. They live in
    // m_signal[slot][signal][channel], frame n of signal k in slot
    // (m_firstSlot + n + k) mod 3, n counted from the current block's first
    // frame. A band writes a value into the slot whose old value, three
    // frames back, no band needs any more, and when band i filters frame
    // t - i (the pipelined order of the vector engines) every band of a
    // step finds its inputs in the same slots.
    static constexpr int kChunk = 512;  // frames per pass of the vector engines

    void ClearChannel(int channel);
    void Widen();  // m_wide from m_active
    // Frame by frame; also the fallback for blocks whose filters overflow
    // to NaN, where the histories restart.
    void ProcessInOrder(int16_t* samples, int frames);
    // The vector engines over up to kChunk frames; false (with the state
    // and the samples untouched) if any output was NaN.
    bool ProcessChunk(int16_t* samples, int frames);

    Engine m_engine;
    Coefficients m_active;
    // m_active for the vector engines: [b0 b1 b2 a1 a2][band][channel],
    // every coefficient twice (left, right), band 9 all zero.
    alignas(32) double m_wide[5][kBands + 1][2] = {};
    alignas(32) double m_signal[3][kSignals][2] = {};
    int m_firstSlot = 0;
};
