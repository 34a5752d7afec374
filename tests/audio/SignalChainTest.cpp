// The signal chain between the board and the 16-bit output: level
// controls, DC blocker, clipping, silence count and the equalizer, driven
// through RenderBlock with fake boards.
#include <gtest/gtest.h>

#include <algorithm>
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

// Plays a fixed list of sample pairs, then repeats the last.
struct ScriptBoard {
    std::vector<std::pair<int32_t, int32_t>> samples;
    std::size_t next = 0;
    int calls = 0;
    void RenderSample(int32_t& left, int32_t& right) {
        ++calls;
        const auto& s = samples[std::min(next, samples.size() - 1)];
        next += next < samples.size();
        left = s.first, right = s.second;
    }
};

std::vector<int16_t> Render(CSignalChain& chain, std::vector<std::pair<int32_t, int32_t>> samples, int frames) {
    ScriptBoard board{std::move(samples)};
    std::vector<int16_t> out(2 * frames);
    RenderBlock(board, chain, out.data(), frames);
    EXPECT_EQ(board.calls, frames);
    return out;
}

TEST(MasterVolume, PositionsGiveTheDocumentedMultipliers) {
    const std::pair<int, int> cases[] = {{0, 8}, {10, 25}, {20, 80}, {24, 128}, {29, 228}, {30, 256}, {45, 256}, {-3, 8}};
    for (auto [position, multiplier] : cases) EXPECT_EQ(MasterMultiplier(position), multiplier) << position;
}

TEST(SignalChain, GainVolumeAndClippingGiveExactOutputsPerBlock) {
    // A fresh DC blocker passes its first sample unchanged and the flat
    // equalizer halves it, so each one-frame block shows the level stage.
    // The same chain is reused: new levels apply from the next block.
    struct Case { int gain, volume; int32_t inL, inR; int16_t outL, outR; };
    const Case cases[] = {
        {100, 30, 1001, -3001, 500, -1500},
        {33, 24, -1003, 999, -82, 82},  // 33 * -1003 / 100 = -330 (toward 0), * 128/256, halved
        {200, 30, 1000, 0, 1000, 0},
        {100, 30, 40000, -40000, 16383, -16384},  // clipped to 16 bits before the equalizer
        {1000000, 30, INT32_MAX, INT32_MIN, 16383, -16384},  // saturates, never overflows
    };
    CSignalChain chain;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gain);
        chain.ClearHistory();
        chain.SetTitleGain(c.gain);
        chain.SetMasterVolume(c.volume);
        const auto out = Render(chain, {{c.inL, c.inR}}, 1);
        EXPECT_EQ(out[0], c.outL);
        EXPECT_EQ(out[1], c.outR);
    }
}

TEST(SignalChain, ConstantInputDecaysToExactlyZero) {
    CSignalChain chain;
    chain.SetRate(44100);
    std::vector<int16_t> block = Render(chain, {{30000, -30000}}, 220);
    EXPECT_EQ(block[0], 15000);
    for (int i = 0; i < 40; ++i) block = Render(chain, {{30000, -30000}}, 220);  // the 60 Hz high-pass settles
    for (int16_t s : block) ASSERT_EQ(s, 0);
    EXPECT_GT(chain.SilentBlocks(), 0);
}

TEST(SignalChain, RateSetsTheDcCoefficientAndClearsState) {
    CSignalChain chain;
    chain.SetRate(44100);
    EXPECT_EQ(chain.DcBlocker(1).R(), static_cast<float>(1.0 - 376.99111842 / 44100));
    chain.SetRate(0);  // ignored, never a division by zero
    EXPECT_NEAR(chain.DcBlocker(0).R(), 0.99145, 1e-5);

    Render(chain, {{20000, 20000}}, 10);
    chain.SetRate(48000);
    for (int16_t s : Render(chain, {{0, 0}}, 10)) EXPECT_EQ(s, 0);  // no history survives a rate change
}

TEST(SignalChain, SilenceThresholdIsFiftyInEitherChannel) {
    struct Case { int32_t l, r; int silentAfter; };
    const Case cases[] = {{49, -49, 1}, {-49, 0, 2}, {49, 50, 0}, {0, 0, 1}, {-50, 0, 0}};
    CSignalChain chain;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.l << "," << c.r);
        chain.ClearHistory();  // first DC-blocker output = input
        Render(chain, {{c.l, c.r}}, 1);
        EXPECT_EQ(chain.SilentBlocks(), c.silentAfter);
    }
    // The mean is over the whole block: 99 then trunc(99 R) = 98 averages 98.
    chain.ClearHistory();
    chain.ResetSilentBlocks();
    Render(chain, {{99, 0}}, 2);
    EXPECT_EQ(chain.SilentBlocks(), 0);
    // An empty block changes nothing and divides by nothing.
    Render(chain, {{0, 0}}, 0);
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
// flat (half-level) output, measured over the second half of one second.
double MeasureGainDb(CEqualizer& eq, double freq, double rate, double amplitude) {
    const int frames = static_cast<int>(rate);
    std::vector<int16_t> buf(2 * frames);
    for (int i = 0; i < frames; ++i)
        buf[2 * i] = buf[2 * i + 1] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * freq * i / rate)));
    const std::vector<int16_t> in = buf;
    eq.Process(buf.data(), frames);
    double inPower = 0, outPower = 0;
    for (int i = frames / 2; i < frames; ++i) {
        inPower += std::pow(in[2 * i] / 2, 2);
        outPower += std::pow(buf[2 * i], 2);
        EXPECT_EQ(buf[2 * i], buf[2 * i + 1]);  // both channels filtered alike
    }
    return 10 * std::log10(outPower / inPower);
}

TEST(Equalizer, EachBandReachesItsGainAtItsCentre) {
    for (double rate : {44100.0, 48000.0})
        for (int band = 0; band < CEqualizer::kBands; ++band)
            for (int gain : {12, -12, 5}) {
                CEqualizer eq;
                eq.SetRate(rate);
                eq.SetBand(band, gain);
                const double measured = MeasureGainDb(eq, CEqualizer::kCentre[band], rate, gain > 0 ? 7000 : 20000);
                EXPECT_NEAR(measured, gain, 0.5) << "band " << band << " rate " << rate;
            }
}

TEST(Equalizer, AbsurdGainsNeverProduceGarbageOrStickSilent) {
    CEqualizer eq;
    eq.SetRate(44100);
    const int32_t extreme[9] = {400, -400, 400, -400, 400, -400, 400, -400, 400};
    eq.SetGains(9, extreme);
    std::vector<int16_t> buf(2 * 1000, 1000);
    eq.Process(buf.data(), 1000);  // must not overflow (UBSan) or crash
    const int32_t flat[9] = {};
    eq.SetGains(9, flat);
    eq.ClearHistory();
    std::vector<int16_t> again(2 * 4, 1000);
    eq.Process(again.data(), 4);
    EXPECT_EQ(again[0], 500);
}

TEST(Equalizer, ConcurrentGainChangesAreNeverSeenHalfWritten) {
    // A writer flips all nine gains between two settings as fast as it can;
    // the renderer must always hold one complete set (or the initial flat one).
    CEqualizer eq;
    eq.SetRate(44100);
    const int32_t up[9] = {12, 12, 12, 12, 12, 12, 12, 12, 12};
    const int32_t down[9] = {-9, -9, -9, -9, -9, -9, -9, -9, -9};
    CEqualizer::Coefficients setUp, setDown, flat;
    for (int i = 0; i < 9; ++i) {
        setUp.band[i] = CEqualizer::ComputeBand(12, CEqualizer::kCentre[i], 44100);
        setDown.band[i] = CEqualizer::ComputeBand(-9, CEqualizer::kCentre[i], 44100);
        flat.band[i] = CEqualizer::ComputeBand(0, CEqualizer::kCentre[i], 44100);
    }
    const auto same = [](const CEqualizer::Coefficients& a, const CEqualizer::Coefficients& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int n = 0; !stop.load(); ++n) eq.SetGains(9, (n & 1) ? up : down);
    });
#ifdef KELVARA_SANITIZE
    const int rounds = 20000;
#else
    const int rounds = 50000;
#endif
    int16_t block[2 * 16] = {};
    int published = 0;
    for (int i = 0; i < rounds; ++i) {
        eq.Process(block, 16);
        const bool known = same(eq.Active(), setUp) || same(eq.Active(), setDown);
        ASSERT_TRUE(known || (published == 0 && same(eq.Active(), flat))) << "torn set at round " << i;
        published += known;
    }
    stop = true;
    writer.join();
    EXPECT_GT(published, 0);
}

}  // namespace
