// The signal chain between the board and the 16-bit output: level
// controls, DC blocker, clipping, silence count and the equalizer, driven
// through RenderBlock with fake boards.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "audio/MasterVolume.h"
#include "audio/RenderBlock.h"
#include "audio/SignalChain.h"

namespace {

// A board that plays a fixed list of sample pairs, then repeats the last.
struct ScriptBoard {
    std::vector<std::pair<int32_t, int32_t>> samples;
    std::size_t next = 0;
    int calls = 0;
    void RenderSample(int32_t& left, int32_t& right) {
        ++calls;
        const auto& s = samples[next < samples.size() ? next : samples.size() - 1];
        if (next < samples.size()) ++next;
        left = s.first;
        right = s.second;
    }
};

struct ConstantBoard {
    int32_t left = 0, right = 0;
    void RenderSample(int32_t& l, int32_t& r) { l = left, r = right; }
};

std::vector<int16_t> Render(ScriptBoard& board, CSignalChain& chain, int frames) {
    std::vector<int16_t> out(2 * frames);
    RenderBlock(board, chain, out.data(), frames);
    return out;
}

TEST(MasterVolume, PositionsGiveTheDocumentedMultipliers) {
    EXPECT_EQ(MasterMultiplier(0), 8);
    EXPECT_EQ(MasterMultiplier(10), 25);
    EXPECT_EQ(MasterMultiplier(20), 80);
    EXPECT_EQ(MasterMultiplier(24), 128);
    EXPECT_EQ(MasterMultiplier(29), 228);
    EXPECT_EQ(MasterMultiplier(30), 256);
    EXPECT_EQ(MasterMultiplier(45), 256);
    EXPECT_EQ(MasterMultiplier(-3), 8);
    CSignalChain chain;
    chain.SetMasterVolume(24);
    EXPECT_EQ(chain.MasterVolume(), 24);
    EXPECT_EQ(chain.Multiplier(), 128);
}

TEST(SignalChain, FirstFrameAtUnityComesOutHalvedAndInterleaved) {
    // Fresh DC blocker: its first output equals its input. With the
    // equalizer flat, the output is half the input, left before right.
    CSignalChain chain;
    ScriptBoard board{{{1001, -3001}, {0, 0}}};
    const auto out = Render(board, chain, 2);
    EXPECT_EQ(board.calls, 2);
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[1], -1500);
}

TEST(SignalChain, TitleGainAndVolumeScaleTowardZeroAtTheNextBlock) {
    CSignalChain chain;
    chain.SetTitleGain(33);
    chain.SetMasterVolume(24);  // 128/256
    // 33 * -1003 / 100 = -330.99 -> -330; * 128 / 256 = -165; halved -> -82.
    ScriptBoard board{{{-1003, 999}}};
    auto out = Render(board, chain, 1);
    EXPECT_EQ(out[0], -82);
    EXPECT_EQ(out[1], (33 * 999 / 100) * 128 / 256 / 2);

    // Levels change between blocks; the next block uses the new ones.
    chain.ClearHistory();
    chain.SetTitleGain(200);
    chain.SetMasterVolume(30);
    ScriptBoard loud{{{1000, 0}}};
    out = Render(loud, chain, 1);
    EXPECT_EQ(out[0], 1000);

    // Huge gains saturate instead of overflowing.
    chain.ClearHistory();
    chain.SetTitleGain(1000000);
    ScriptBoard huge{{{INT32_MAX, INT32_MIN}}};
    out = Render(huge, chain, 1);
    EXPECT_EQ(out[0], 16383);
    EXPECT_EQ(out[1], -16384);
}

TEST(SignalChain, ClipsAboveSixteenBitsBeforeTheEqualizer) {
    CSignalChain chain;
    ScriptBoard board{{{40000, -40000}}};
    const auto out = Render(board, chain, 1);
    EXPECT_EQ(out[0], 16383);
    EXPECT_EQ(out[1], -16384);
}

TEST(SignalChain, ConstantInputDecaysToExactlyZero) {
    CSignalChain chain;
    chain.SetRate(44100);
    ConstantBoard board{30000, -30000};
    std::vector<int16_t> block(2 * 220);
    RenderBlock(board, chain, block.data(), 220);
    EXPECT_EQ(block[0], 15000);
    // The 60 Hz high-pass takes a few thousand samples to settle.
    for (int i = 0; i < 40; ++i) RenderBlock(board, chain, block.data(), 220);
    for (int16_t s : block) EXPECT_EQ(s, 0);
    EXPECT_GT(chain.SilentBlocks(), 0);
}

TEST(SignalChain, RateSetsTheDcCoefficientAndClearsState) {
    CSignalChain chain;
    EXPECT_FLOAT_EQ(chain.DcBlocker(0).R(), 0.99572575f);
    chain.SetRate(44100);
    EXPECT_NEAR(chain.DcBlocker(0).R(), 0.99145, 1e-5);
    EXPECT_EQ(chain.DcBlocker(1).R(), static_cast<float>(1.0 - 376.99111842 / 44100));
    chain.SetRate(0);  // ignored, never a division by zero
    EXPECT_NEAR(chain.DcBlocker(0).R(), 0.99145, 1e-5);

    ConstantBoard board{20000, 20000};
    std::vector<int16_t> block(2 * 10);
    RenderBlock(board, chain, block.data(), 10);
    chain.SetRate(48000);
    ConstantBoard quiet;
    RenderBlock(quiet, chain, block.data(), 10);
    for (int16_t s : block) EXPECT_EQ(s, 0);  // no history survives a rate change
}

TEST(SignalChain, SilenceThresholdIsFiftyInEitherChannel) {
    CSignalChain chain;
    const auto oneFrame = [&](int32_t l, int32_t r) {
        chain.ClearHistory();  // first DC-blocker output = input
        ScriptBoard board{{{l, r}}};
        Render(board, chain, 1);
    };
    oneFrame(49, -49);
    EXPECT_EQ(chain.SilentBlocks(), 1);
    oneFrame(-49, 0);
    EXPECT_EQ(chain.SilentBlocks(), 2);
    oneFrame(49, 50);
    EXPECT_EQ(chain.SilentBlocks(), 0);
    oneFrame(0, 0);
    EXPECT_EQ(chain.SilentBlocks(), 1);
    oneFrame(-50, 0);
    EXPECT_EQ(chain.SilentBlocks(), 0);

    // The mean is over the whole block (integer division): one frame of 99
    // in a block of two averages 49 only if the other frame is small.
    chain.ClearHistory();
    chain.ResetSilentBlocks();
    ScriptBoard board{{{99, 0}, {99, 0}}};  // second DC output: trunc(0 + 99 R) = 98
    Render(board, chain, 2);
    EXPECT_EQ(chain.SilentBlocks(), 0);     // (99 + 98) / 2 = 98

    // An empty block changes nothing and divides by nothing.
    chain.ResetSilentBlocks();
    ConstantBoard none;
    RenderBlock(none, chain, nullptr, 0);
    EXPECT_EQ(chain.SilentBlocks(), 0);
}

TEST(LevelMeter, MeanAbsoluteValuePerChannel) {
    const int16_t block[] = {100, -32768, -101, 32767, 0, 1, 3, -2};
    int32_t left = -1, right = -1;
    CSignalChain::MeasureLevels(block, 4, left, right);
    EXPECT_EQ(left, (100 + 101 + 0 + 3) / 4);
    EXPECT_EQ(right, (32768 + 32767 + 1 + 2) / 4);
    CSignalChain::MeasureLevels(block, 0, left, right);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(right, 0);
}

TEST(Equalizer, FlatBandsOutputExactlyHalfTheInput) {
    CEqualizer eq;
    eq.SetRate(44100);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<int16_t> in(2 * 4096);
    for (auto& s : in) s = static_cast<int16_t>(dist(rng));
    in[0] = -32768, in[1] = 32767, in[2] = -1, in[3] = 1;
    std::vector<int16_t> out = in;
    eq.Process(out.data(), 4096);
    for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(out[i], in[i] / 2) << "sample " << i;
}

// Gain of the whole equalizer at `freq` for a sine, in dB relative to the
// flat (half-level) output.
double MeasureGainDb(CEqualizer& eq, double freq, double rate, double amplitude) {
    const int frames = static_cast<int>(rate);  // one second
    std::vector<int16_t> buf(2 * frames);
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * freq * i / rate)));
        buf[2 * i] = buf[2 * i + 1] = s;
    }
    const std::vector<int16_t> in = buf;
    eq.Process(buf.data(), frames);
    double inPower = 0, outPower = 0;
    for (int i = frames / 2; i < frames; ++i) {  // skip the settling half
        inPower += std::pow(in[2 * i] / 2, 2);
        outPower += std::pow(buf[2 * i], 2);
        EXPECT_EQ(buf[2 * i], buf[2 * i + 1]);  // both channels filtered alike
    }
    return 10 * std::log10(outPower / inPower);
}

TEST(Equalizer, EachBandReachesItsGainAtItsCentre) {
    for (double rate : {44100.0, 48000.0}) {
        for (int band = 0; band < CEqualizer::kBands; ++band) {
            for (int gain : {12, -12, 5}) {
                CEqualizer eq;
                eq.SetRate(rate);
                eq.SetBand(band, gain);
                const double amplitude = gain > 0 ? 7000 : 20000;
                const double measured = MeasureGainDb(eq, CEqualizer::kCentre[band], rate, amplitude);
                EXPECT_NEAR(measured, gain, 0.5) << "band " << band << " rate " << rate;
            }
        }
    }
}

TEST(Equalizer, RateChangeUsesWholeDecibelsAndKeepsTheGains) {
    CEqualizer eq;
    eq.SetBand(2, 5.7);
    eq.SetRate(32000);
    const CEqualizer::Band expect = CEqualizer::ComputeBand(5.0, 250, 32000);
    EXPECT_EQ(eq.Active().band[2].b0, expect.b0);
    EXPECT_EQ(eq.Active().band[2].a2, expect.a2);
    EXPECT_EQ(eq.Gain(2), 5.7);
    EXPECT_EQ(eq.Rate(), 32000);

    const int32_t gains[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    eq.SetGains(9, gains);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(eq.Gain(i), gains[i]);
    int16_t frame[2] = {0, 0};
    eq.Process(frame, 1);  // the render side picks the new set up
    EXPECT_EQ(eq.Active().band[8].b1, CEqualizer::ComputeBand(9, 16000, 32000).b1);
}

TEST(Equalizer, AbsurdGainsNeverProduceGarbageOrStickSilent) {
    CEqualizer eq;
    eq.SetRate(44100);
    const int32_t extreme[9] = {400, -400, 400, -400, 400, -400, 400, -400, 400};
    eq.SetGains(9, extreme);
    std::vector<int16_t> buf(2 * 1000, 1000);
    eq.Process(buf.data(), 1000);
    for (int16_t s : buf) {
        EXPECT_GE(s, -32768);
        EXPECT_LE(s, 32767);
    }
    const int32_t flat[9] = {};
    eq.SetGains(9, flat);
    eq.ClearHistory();
    std::vector<int16_t> again(2 * 4, 1000);
    eq.Process(again.data(), 4);
    EXPECT_EQ(again[0], 500);
}

TEST(Equalizer, ConcurrentGainChangesAreNeverSeenHalfWritten) {
    // One thread flips all nine gains between two settings as fast as it
    // can; the renderer must always hold one complete set or the other.
    CEqualizer eq;
    eq.SetRate(44100);
    const int32_t up[9] = {12, 12, 12, 12, 12, 12, 12, 12, 12};
    const int32_t down[9] = {-9, -9, -9, -9, -9, -9, -9, -9, -9};
    CEqualizer::Coefficients setUp, setDown;
    for (int i = 0; i < 9; ++i) {
        setUp.band[i] = CEqualizer::ComputeBand(12, CEqualizer::kCentre[i], 44100);
        setDown.band[i] = CEqualizer::ComputeBand(-9, CEqualizer::kCentre[i], 44100);
    }
    const auto same = [](const CEqualizer::Coefficients& a, const CEqualizer::Coefficients& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int n = 0; !stop.load(); ++n) eq.SetGains(9, (n & 1) ? up : down);
    });
    int16_t block[2 * 16] = {};
    int ups = 0, downs = 0;
#ifdef KELVARA_SANITIZE
    const int rounds = 20000;
#else
    const int rounds = 50000;
#endif
    for (int i = 0; i < rounds; ++i) {
        eq.Process(block, 16);
        const bool isUp = same(eq.Active(), setUp);
        const bool isDown = same(eq.Active(), setDown);
        // Until the renderer first takes a published set it keeps the flat one.
        if (ups + downs == 0 && !isUp && !isDown) {
            CEqualizer::Coefficients flat;
            for (int b = 0; b < 9; ++b) flat.band[b] = CEqualizer::ComputeBand(0, CEqualizer::kCentre[b], 44100);
            ASSERT_TRUE(same(eq.Active(), flat)) << "torn set at round " << i;
            continue;
        }
        ASSERT_TRUE(isUp || isDown) << "torn set at round " << i;
        ups += isUp;
        downs += isDown;
    }
    stop = true;
    writer.join();
    EXPECT_GT(ups + downs, 0);
}

}  // namespace
