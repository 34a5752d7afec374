#include "chips/Sn76496.h"
#include "support/ToneMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{

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

int32_t Max(const std::vector<int32_t>& v)
{
    return *std::max_element(v.begin(), v.end());
}

// Latch byte with the low nibble, then a data byte with bits 9-4.
void SetTone(SN76496& sn, int ch, int period)
{
    sn.Write(0, static_cast<uint8_t>(0x80 | (ch << 5) | (period & 0x0F)));
    sn.Write(0, static_cast<uint8_t>((period >> 4) & 0x3F));
}

void SetAttenuation(SN76496& sn, int ch, int att)
{
    sn.Write(0, static_cast<uint8_t>(0x90 | (ch << 5) | att));
}

double FrequencyError(const std::vector<int32_t>& v, double rate, double expected)
{
    return ToneMeasure::RelativeError(
        ToneMeasure::MeasureFrequency(std::span<const int32_t>(v), rate, 20, 8000), expected);
}

} // namespace

TEST(Sn76496Setup, AttenuationTableAndPowerOnSilence)
{
    SN76496 sn;
    const int32_t table[16] = {10922, 8675, 6891, 5473, 4348, 3453, 2743, 2179,
                               1731,  1374, 1092, 867,  689,  547,  434,  0};
    EXPECT_TRUE(std::equal(std::begin(table), std::end(table), sn.VolTable));
    sn.SetClock(3579545, 44100);
    EXPECT_EQ(Max(RenderN(sn, 5000)), 0);

    // SetClock is also the reset: a playing chip falls silent.
    SetTone(sn, 0, 100);
    SetAttenuation(sn, 0, 0);
    ASSERT_GT(Max(RenderN(sn, 1000)), 0);
    sn.SetClock(3579545, 48000);
    EXPECT_EQ(Max(RenderN(sn, 5000)), 0);
}

// A tone period N sounds at clock / (32 * N) on every channel and output rate.
TEST(Sn76496Tone, FrequencyIsClockOver32TimesPeriod)
{
    const std::pair<int32_t, int> cases[] = {
        {3579545, 254}, {2500000, 1000}, {2717000, 0x155}, {4000000, 40}};
    for (int32_t rate : {44100, 96000}) {
        int ch = 0;
        for (auto [clock, period] : cases) {
            auto sn = MakeSn(clock, rate);
            SetTone(*sn, ch, period);
            SetAttenuation(*sn, ch, 0);
            EXPECT_LT(FrequencyError(RenderN(*sn, rate), rate, clock / (32.0 * period)), 0.002)
                << clock << " Hz, period " << period << ", rate " << rate << ", channel " << ch;
            ch = (ch + 1) % 3;
        }
    }
}

TEST(Sn76496Write, LatchAndDataBytesReachTheRightRegisters)
{
    auto sn = MakeSn(3579545);
    sn->Write(0, 0xCE); // latch tone 2, low nibble 0xE
    sn->Write(0, 0x4F); // data: bits 9-4 = 0x0F (bit 6 ignored)
    sn->Write(0, 0x90); // tone 0 at full level (its period is still 0)
    sn->Write(0, 0xD0);
    EXPECT_EQ(sn->Register[4], 0xFE);
    EXPECT_EQ(sn->Volume[0], 10922);
    sn->Write(0, 0x9F); // silences tone 0
    EXPECT_LT(FrequencyError(RenderN(*sn, 44100), 44100, 3579545 / (32.0 * 0xFE)), 0.002);

    sn->Write(0, 0xC1); // a new latch replaces only the low nibble
    EXPECT_EQ(sn->Register[4], 0xF1);
    sn->Write(0, 0xDF);
    sn->Write(0, 0x03); // a data byte after an attenuation latch sets it
    EXPECT_EQ(sn->Volume[2], sn->VolTable[3]);
    EXPECT_EQ(Max(RenderN(*sn, 1000)), sn->VolTable[3]);
}

TEST(Sn76496Noise, ControlWriteAlwaysReloadsTheShiftRegister)
{
    auto sn = MakeSn(3579545);
    sn->Write(0, 0xE4); // white noise, clock / 512
    SetAttenuation(*sn, 3, 0);
    for (uint8_t rewrite : {0xE4, 0x04}) { // same value, as a latch and as a data byte
        auto out = RenderN(*sn, 4000);
        EXPECT_EQ(Max(out), 10922);
        EXPECT_EQ(ToneMeasure::MeasureFrequency(std::span<const int32_t>(out), 44100, 20, 8000), 0.0);
        ASSERT_NE(sn->RNG, SN76496::kNoisePreset);
        sn->Write(0, rewrite);
        EXPECT_EQ(sn->RNG, SN76496::kNoisePreset);
        EXPECT_EQ(sn->Output[3], 1);
    }
}

// Periodic noise repeats every 15 shifts of the preset; in mode 3 it shifts
// once per period of tone 2 and follows later changes of that period.
TEST(Sn76496Noise, ModeThreeTracksChannelTwo)
{
    auto sn = MakeSn(3579545);
    SetTone(*sn, 2, 20);
    sn->Write(0, 0xE3);
    SetAttenuation(*sn, 3, 0);
    EXPECT_LT(FrequencyError(RenderN(*sn, 44100), 44100, 3579545 / (32.0 * 20 * 15)), 0.002);
    SetTone(*sn, 2, 12); // noise control not rewritten
    EXPECT_LT(FrequencyError(RenderN(*sn, 44100), 44100, 3579545 / (32.0 * 12 * 15)), 0.002);
    sn->Write(0, 0xE2); // fixed rate clock / 2048
    EXPECT_LT(FrequencyError(RenderN(*sn, 44100), 44100, 3579545 / (2048.0 * 15)), 0.002);
}

TEST(Sn76496Mix, FullChannelsSumTo32766AndAddingNoiseCapsAt32767)
{
    for (bool noise : {false, true}) {
        auto sn = MakeSn(3579545);
        for (int ch = 0; ch < 3; ++ch) {
            SetTone(*sn, ch, 1023); // ~200 samples high at a time
            SetAttenuation(*sn, ch, 0);
        }
        if (noise) {
            sn->Write(0, 0xE3); // slow periodic noise
            SetAttenuation(*sn, 3, 0);
        }
        auto out = RenderN(*sn, 20000);
        EXPECT_EQ(Max(out), noise ? 32767 : 32766);
        EXPECT_GE(*std::min_element(out.begin(), out.end()), 0);
    }
}

// Clock/rate pairs far outside the boards' range neither overflow nor hang.
TEST(Sn76496Robustness, ExtremeClockAndRateStayInRange)
{
    for (auto [clock, rate] :
         {std::pair<int32_t, int32_t>{0, 44100}, {-5, 44100}, {3579545, 0}, {1, 192000}}) {
        auto sn = MakeSn(clock, rate);
        for (int ch = 0; ch < 3; ++ch) {
            SetTone(*sn, ch, ch);
            SetAttenuation(*sn, ch, 0);
        }
        sn->Write(0, 0xE7);
        SetAttenuation(*sn, 3, 0);
        for (int32_t s : RenderN(*sn, 5000))
            ASSERT_TRUE(s >= 0 && s <= 32767) << "clock " << clock << " rate " << rate;
    }
}

// The shift register is 15 bits long: white noise repeats after 32767
// shifts, periodic noise after 15. At clock / 512 the register shifts less
// than once a sample, so every state shows between two samples.
TEST(Sn76496Noise, WhiteNoiseRepeatsAfter32767ShiftsAndPeriodicAfter15)
{
    for (auto [control, shifts] : {std::pair{0xE4, 32767}, {0xE0, 15}}) {
        auto sn = MakeSn(3579545);
        sn->Write(0, static_cast<uint8_t>(control));
        SetAttenuation(*sn, 3, 0);  // a muted channel does not shift
        int counted = 0;
        uint32_t last = sn->RNG;
        for (int i = 0; i < 300000 && (counted == 0 || last != SN76496::kNoisePreset); ++i) {
            sn->Render();
            counted += sn->RNG != last;
            last = sn->RNG;
        }
        EXPECT_EQ(counted, shifts) << "control " << std::hex << control;
    }
}
