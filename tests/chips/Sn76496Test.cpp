#include "chips/Sn76496.h"
#include "support/ToneMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<SN76496> MakeSn(int32_t clock, int32_t rate = 44100)
{
    auto sn = std::make_unique<SN76496>();
    sn->SetClock(clock, rate);
    return sn;
}

std::vector<int32_t> RenderN(SN76496& sn, std::size_t n)
{
    std::vector<int32_t> out(n);
    for (auto& s : out)
        s = sn.Render();
    return out;
}

// Latch + data bytes for a 10-bit tone period of channel ch.
void SetTone(SN76496& sn, int ch, int period)
{
    sn.Write(0, static_cast<uint8_t>(0x80 | (ch << 5) | (period & 0x0F)));
    sn.Write(0, static_cast<uint8_t>((period >> 4) & 0x3F));
}

void SetAttenuation(SN76496& sn, int ch, int att)
{
    sn.Write(0, static_cast<uint8_t>(0x90 | (ch << 5) | (att & 0x0F)));
}

double Frequency(const std::vector<int32_t>& out, double rate, double minHz = 20, double maxHz = 8000)
{
    return ToneMeasure::MeasureFrequency(std::span<const int32_t>(out), rate, minHz, maxHz);
}

} // namespace

TEST(Sn76496Tables, AttenuationTableFallsTwoDecibelsPerStep)
{
    SN76496 sn;
    const int32_t expected[16] = {10922, 8675, 6891, 5473, 4348, 3453, 2743, 2179,
                                  1731,  1374, 1092, 867,  689,  547,  434,  0};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(sn.VolTable[i], expected[i]) << "attenuation " << i;
}

TEST(Sn76496Clock, StepSizeAndPowerOnSilence)
{
    SN76496 sn;
    sn.SetClock(3579545, 44100);
    EXPECT_EQ(sn.UpdateStep, 12918u);
    auto out = RenderN(sn, 10000);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int32_t s) { return s == 0; }));

    // SetClock is also the chip's reset: a playing chip falls silent.
    SetTone(sn, 0, 100);
    SetAttenuation(sn, 0, 0);
    sn.Write(0, 0xE4);
    SetAttenuation(sn, 3, 0);
    auto playing = RenderN(sn, 1000);
    ASSERT_GT(*std::max_element(playing.begin(), playing.end()), 0);
    sn.SetClock(3579545, 48000);
    auto after = RenderN(sn, 10000);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int32_t s) { return s == 0; }));
}

// A tone period N sounds at clock / (32 * N) at every output rate.
TEST(Sn76496Tone, FrequencyIsClockOver32TimesPeriod)
{
    struct Case { int32_t clock; int period; };
    const Case cases[] = {{3579545, 254}, {3579545, 40}, {2500000, 1000}, {2717000, 0x155}, {4000000, 77}};
    for (int32_t rate : {44100, 48000, 96000}) {
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Case& c = cases[i];
            const int ch = static_cast<int>(i % 3);  // each channel in turn
            auto sn = MakeSn(c.clock, rate);
            SetTone(*sn, ch, c.period);
            SetAttenuation(*sn, ch, 0);
            auto out = RenderN(*sn, static_cast<std::size_t>(rate));
            const double expected = c.clock / (32.0 * c.period);
            const double measured = Frequency(out, rate);
            EXPECT_LT(ToneMeasure::RelativeError(measured, expected), 0.002)
                << "clock " << c.clock << " period " << c.period << " rate " << rate << " channel " << ch
                << ": measured " << measured << " expected " << expected;
        }
    }
}

// Edges are integrated over the sample: a full-level square wave averages
// half of the channel's amplitude, and its peaks are exactly the amplitude.
TEST(Sn76496Tone, SquareWaveSpansZeroToTheAmplitudeAndAveragesHalf)
{
    auto sn = MakeSn(3579545);
    SetTone(*sn, 0, 1023);  // ~200 samples per half-period
    SetAttenuation(*sn, 0, 0);
    auto out = RenderN(*sn, 44100);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 10922);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0);

    SetTone(*sn, 0, 7);  // several edges per sample
    auto fast = RenderN(*sn, 44100);
    double mean = 0;
    for (int32_t s : fast)
        mean += s;
    mean /= static_cast<double>(fast.size());
    EXPECT_NEAR(mean, 10922 / 2.0, 10922 * 0.01);
}

TEST(Sn76496Write, LatchAndDataBytesBuildTheTenBitPeriod)
{
    auto sn = MakeSn(3579545);
    sn->Write(0, 0xCE);  // latch channel 2 tone, low nibble 0xE
    sn->Write(0, 0x4F);  // data: bits 9-4 = 0x0F (bit 6 ignored)
    sn->Write(0, 0xD0);  // channel 2 attenuation 0
    EXPECT_EQ(sn->Register[4], 0xFE);
    auto out = RenderN(*sn, 44100);
    EXPECT_LT(ToneMeasure::RelativeError(Frequency(out, 44100), 3579545 / (32.0 * 0xFE)), 0.002);

    // A second latch changes only the low nibble; the high bits stay.
    sn->Write(0, 0xC1);
    EXPECT_EQ(sn->Register[4], 0xF1);
    out = RenderN(*sn, 44100);
    EXPECT_LT(ToneMeasure::RelativeError(Frequency(out, 44100), 3579545 / (32.0 * 0xF1)), 0.002);

    // Data bytes go to the last latched register, here an attenuation.
    sn->Write(0, 0xDF);  // silence channel 2
    out = RenderN(*sn, 1000);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0);
    sn->Write(0, 0x00);  // data byte: attenuation 0 again
    out = RenderN(*sn, 1000);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 10922);
}

TEST(Sn76496Write, AttenuationLatchSetsTheChannelAmplitude)
{
    auto sn = MakeSn(3579545);
    SetTone(*sn, 0, 1023);
    for (int att = 0; att < 16; ++att) {
        SetAttenuation(*sn, 0, att);
        auto out = RenderN(*sn, 1000);  // longer than a half-period
        EXPECT_EQ(*std::max_element(out.begin(), out.end()), sn->VolTable[att]) << "attenuation " << att;
    }
    sn->Write(0, 0x90);
    EXPECT_EQ(sn->Volume[0], 10922);
    sn->Write(0, 0x9F);
    EXPECT_EQ(sn->Volume[0], 0);
}

TEST(Sn76496Tone, PeriodZeroPlaysLikePeriodOne)
{
    auto zero = MakeSn(3579545);
    auto one = MakeSn(3579545);
    SetTone(*zero, 1, 0);
    SetTone(*one, 1, 1);
    SetAttenuation(*zero, 1, 2);
    SetAttenuation(*one, 1, 2);
    EXPECT_EQ(RenderN(*zero, 5000), RenderN(*one, 5000));
}

TEST(Sn76496Noise, ControlWriteAlwaysReloadsTheShiftRegister)
{
    auto sn = MakeSn(3579545);
    sn->Write(0, 0xE4);  // white noise, clock/512
    SetAttenuation(*sn, 3, 0);
    auto first = RenderN(*sn, 4000);
    ASSERT_NE(sn->RNG, SN76496::kNoisePreset);

    // Same value again, once as a latch and once as a data byte.
    for (uint8_t second : {uint8_t(0xE4), uint8_t(0x04)}) {
        sn->Write(0, 0xE4);
        RenderN(*sn, 777);
        if (second == 0x04) {
            sn->Write(0, 0x04);
        } else {
            sn->Write(0, 0xE4);
        }
        EXPECT_EQ(sn->RNG, SN76496::kNoisePreset);
        EXPECT_EQ(sn->Output[3], 1);
    }
    // White noise is not periodic at any audible rate; it swings over the
    // full amplitude.
    EXPECT_EQ(Frequency(first, 44100), 0.0);
    EXPECT_EQ(*std::max_element(first.begin(), first.end()), 10922);
}

// Periodic noise repeats every 15 shifts of the preset pattern; in mode 3
// it shifts once per period of tone 2, and follows later changes of it.
TEST(Sn76496Noise, ModeThreeTracksChannelTwo)
{
    const int32_t clock = 3579545;
    auto sn = MakeSn(clock);
    SetTone(*sn, 2, 20);
    sn->Write(0, 0xE3);  // periodic, rate from tone 2
    SetAttenuation(*sn, 3, 0);
    auto out = RenderN(*sn, 44100);
    EXPECT_LT(ToneMeasure::RelativeError(Frequency(out, 44100), clock / (32.0 * 20 * 15)), 0.002);

    SetTone(*sn, 2, 12);  // noise control not rewritten
    out = RenderN(*sn, 44100);
    EXPECT_LT(ToneMeasure::RelativeError(Frequency(out, 44100), clock / (32.0 * 12 * 15)), 0.002);

    // Fixed rates: mode 2 is clock / 2048 per shift.
    sn->Write(0, 0xE2);
    out = RenderN(*sn, 44100);
    EXPECT_LT(ToneMeasure::RelativeError(Frequency(out, 44100), clock / (2048.0 * 15)), 0.002);
}

TEST(Sn76496Mix, FullChannelsSumTo32766AndTheNoiseIsCappedAt32767)
{
    auto sn = MakeSn(3579545);
    for (int ch = 0; ch < 3; ++ch) {
        SetTone(*sn, ch, 1023);
        SetAttenuation(*sn, ch, 0);
    }
    auto tones = RenderN(*sn, 2000);
    EXPECT_EQ(*std::max_element(tones.begin(), tones.end()), 32766);

    auto withNoise = MakeSn(3579545);
    for (int ch = 0; ch < 3; ++ch) {
        SetTone(*withNoise, ch, 1023);
        SetAttenuation(*withNoise, ch, 0);
    }
    withNoise->Write(0, 0xE3);  // slow periodic noise, high for long stretches
    SetAttenuation(*withNoise, 3, 0);
    auto out = RenderN(*withNoise, 20000);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int32_t s) { return s >= 0 && s <= 32767; }));
}

// Clock/rate pairs far outside the boards' range must neither overflow nor
// hang the render loop.
TEST(Sn76496Robustness, ExtremeClockAndRateStayInRange)
{
    const std::pair<int32_t, int32_t> pairs[] = {{0, 44100}, {-5, 44100}, {3579545, 0}, {1, 192000}, {0x7FFFFFFF, 8000}};
    for (auto [clock, rate] : pairs) {
        SN76496 sn;
        sn.SetClock(clock, rate);
        for (int ch = 0; ch < 3; ++ch) {
            SetTone(sn, ch, ch);
            SetAttenuation(sn, ch, 0);
        }
        sn.Write(0, 0xE7);
        SetAttenuation(sn, 3, 0);
        auto out = RenderN(sn, 5000);
        for (int32_t s : out)
            ASSERT_TRUE(s >= 0 && s <= 32767) << "clock " << clock << " rate " << rate;
    }
}

// A fixed write script covering every register and both noise types; the
// checksum pins the rendered sound against unintended changes.
TEST(Sn76496Determinism, FirstSecondOfAFixedScriptMatchesTheGoldenChecksum)
{
    struct Write { uint32_t sample; uint8_t data; };
    const Write script[] = {
        {0, 0x8E},     {0, 0x0F},     {0, 0x90},     {0, 0xA5},     {0, 0x06},     {0, 0xB4},
        {0, 0xC0},     {0, 0x3A},     {0, 0xD8},     {0, 0xE5},     {0, 0xF6},     {5000, 0x9A},
        {8000, 0xE3},  {8000, 0xC7},  {8000, 0x02},  {12000, 0xF0}, {15000, 0x87}, {15000, 0x00},
        {20000, 0xE6}, {20000, 0xB0}, {25000, 0x05}, {30000, 0xE0}, {30000, 0xFF}, {33000, 0x92},
        {36000, 0x01}, {40000, 0xDF}, {41000, 0xE7}, {41000, 0xF1},
    };
    auto sn = MakeSn(3579545);
    uint64_t hash = 1469598103934665603ull;  // FNV-1a, 64 bit
    std::size_t next = 0;
    for (uint32_t i = 0; i < 44100; ++i) {
        while (next < std::size(script) && script[next].sample == i)
            sn->Write(0, script[next++].data);
        const uint32_t s = static_cast<uint32_t>(sn->Render());
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (s >> shift) & 0xFF;
            hash *= 1099511628211ull;
        }
    }
    EXPECT_EQ(hash, 0x2f47110f0aeb0ee0ull);
}
