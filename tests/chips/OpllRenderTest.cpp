// Rendered sound of the FM chip: pitch, rate conversion, resampler and mix.
// (Long recorded programs are in OpllGoldenTest.)
#include "OpllTestSupport.h"
#include "chips/OpllResampler.h"
#include "support/ToneMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using namespace OpllTest;

std::vector<int32_t> RenderLeft(OPLL* chip, int count, std::vector<int32_t>* right = nullptr)
{
    std::vector<int32_t> left(count);
    for (int i = 0; i < count; ++i) {
        int32_t out[2];
        OPLL::RenderStereo(chip, out);
        left[i] = out[0];
        if (right)
            right->push_back(out[1]);
    }
    return left;
}

TEST(OpllPitch, PureToneFrequencyIsFnumberTimesTwoToBlockOverTwoToNineteen)
{
    // Carrier register 0x01 sets the multiple: ML 1 plain, ML 2 doubles, ML 0 halves.
    struct Case {
        uint32_t fnum, block;
        uint8_t carrier;
        double factor;
    } cases[] = {{0x120, 3, 0x21, 1}, {0x1C0, 5, 0x21, 1}, {0x0AB, 7, 0x21, 1}, {0x181, 2, 0x21, 1},
                 {0x0F0, 4, 0x21, 1}, {0x120, 4, 0x22, 2}, {0x120, 4, 0x20, 0.5}};
    for (uint32_t rate : {44100u, 48000u, 96000u}) {
        for (const Case& p : cases) {
            auto chip = MakeChip(rate);
            UserInstrument inst;
            inst.reg[1] = p.carrier;
            Load(chip.get(), inst);
            PlayChannel(chip.get(), 0, p.fnum, p.block);
            RenderLeft(chip.get(), static_cast<int>(rate / 20)); // past the damp and attack
            const std::vector<int32_t> tone = RenderLeft(chip.get(), static_cast<int>(rate / 2));
            const double expected =
                p.factor * p.fnum * std::ldexp(1.0, static_cast<int>(p.block)) * (kClock / 72.0) / 524288.0;
            const double measured = ToneMeasure::MeasureFrequency(tone, rate, 50, 5000);
            EXPECT_NEAR(measured, expected, expected * 0.002)
                << "rate " << rate << " fnum 0x" << std::hex << p.fnum << " block " << p.block << " ML " << int(p.carrier & 15);
            EXPECT_GT(ToneMeasure::PeakAbs(tone), 1000); // a loud tone, not noise
        }
    }
}

TEST(OpllRateConversion, RunsTheChipAtClockOverSeventyTwo)
{
    for (uint32_t rate : {22050u, 44100u, 96000u}) {
        auto chip = MakeChip(rate);
        RenderLeft(chip.get(), static_cast<int>(rate)); // one second
        const double chipSamples = kClock / 72.0;
        EXPECT_NEAR(static_cast<double>(chip->envelopeCounter), chipSamples, 1.0) << rate;
    }
}

TEST(OpllRateConversion, ChipRateOutputUsesNoResamplerAndReturnsTheMix)
{
    for (uint32_t rate : {49715u, 49716u}) {
        auto chip = MakeChip(rate);
        EXPECT_EQ(chip->resampler, nullptr) << rate;
        Load(chip.get(), UserInstrument{});
        PlayChannel(chip.get(), 0, 0x120, 4);
        bool loud = false;
        for (int i = 0; i < 5000; ++i) {
            int32_t out[2];
            OPLL::RenderStereo(chip.get(), out);
            ASSERT_EQ(out[0], chip->mix[0]);
            ASSERT_EQ(out[1], chip->mix[1]);
            loud = loud || out[0] != 0;
        }
        EXPECT_TRUE(loud);
    }
    // Other rates resample; changing the rate rebuilds the conversion and keeps the chip state.
    auto up = MakeChip(96000);
    ASSERT_NE(up->resampler, nullptr);
    EXPECT_DOUBLE_EQ(up->resampler->ratio, kClock / 72.0 / 96000);
    OPLL::WriteReg(up.get(), 0x10, 0x77);
    OPLL::SetRate(up.get(), 49716);
    EXPECT_EQ(up->resampler, nullptr);
    EXPECT_EQ(up->rate, 49716u);
    EXPECT_EQ(up->registers[0x10], 0x77);
}

TEST(OpllRateConversion, ZeroOutputRateRendersInsteadOfHanging)
{
    auto chip = MakeChip(0);
    ASSERT_TRUE(chip);
    EXPECT_EQ(chip->rate, 1u);
    int32_t out[2] = {1, 1};
    OPLL::RenderStereo(chip.get(), out); // one second of chip samples
    EXPECT_NEAR(static_cast<double>(chip->envelopeCounter), kClock / 72.0, 1.0);
    OPLL::SetRate(chip.get(), 0);
    OPLL::RenderStereo(chip.get(), out);
    EXPECT_EQ(chip->rate, 1u);
}

// The windowed sinc written out directly, as an independent check of the
// resampler's coefficient table and tap positions.
double Windowed(double x)
{
    const double t = 0.5 + x / 16;
    const double blackman = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * t) + 0.08 * std::cos(4 * std::numbers::pi * t);
    const double sinc = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    return blackman * sinc;
}

TEST(OpllResamplerTest, PullIsTheWindowedSincSumAtTheTimerFraction)
{
    for (double ratio : {kClock / 72.0 / 44100, kClock / 72.0 / 96000, 2.5}) {
        OpllResampler r(ratio);
        for (int i = 0; i < 2048; i += 97) {
            const double x = i / 256.0;
            const double w = ratio > 1 ? 4096 * Windowed(x / ratio) / ratio : 4096 * Windowed(x);
            ASSERT_EQ(r.table[i], static_cast<int16_t>(std::trunc(w))) << i;
        }
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> sample(-32768, 32767);
        double timer = 0;
        for (int n = 0; n < 3000; ++n) {
            const int ch = n & 1;
            r.Push(ch, static_cast<int16_t>(sample(rng)));
            // Now and then put the timer right next to an index boundary.
            if (n % 50 == 0) {
                const double edges[] = {0.0, 1.0 / 256 - 1e-17, 0.5, 1.0 - 1e-16, 3.0 / 256};
                r.timer = edges[(n / 50) % 5] - ratio + 7;
                timer = r.timer;
            }
            timer += ratio;
            const double d = timer - std::floor(timer);
            timer = d;
            int32_t sum = 0;
            for (int k = 0; k < 16; ++k) {
                int j = std::abs(static_cast<int>(std::trunc(((k - 7) - d) * 256)));
                sum += r.History(ch)[k] * r.table[std::min(j, 2047)];
            }
            ASSERT_EQ(r.Pull(ch), static_cast<int16_t>(sum >> 12)) << "n " << n << " d " << d;
        }
    }
}

TEST(OpllMix, PanRoutesSlotsToEachSide)
{
    auto chip = MakeChip(49716); // no resampler: output is the mix itself
    Load(chip.get(), UserInstrument{});
    PlayChannel(chip.get(), 2, 0x120, 4);
    OPLL::SetPan(chip.get(), 2, 2); // left only
    RenderLeft(chip.get(), 2000);
    std::vector<int32_t> right;
    const auto left = RenderLeft(chip.get(), 2000, &right);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(right[i], 0);
    EXPECT_GT(ToneMeasure::PeakAbs(left), 1000);
    EXPECT_EQ(chip->mix[0], chip->slotOutputs[2]);

    OPLL::SetPan(chip.get(), 2 + 16, 1); // slot number taken modulo 16: right only
    OPLL::RenderStereo(chip.get(), std::array<int32_t, 2>{}.data());
    EXPECT_EQ(chip->mix[0], 0);
    EXPECT_EQ(chip->mix[1], chip->slotOutputs[2]);
}

TEST(OpllMix, RhythmModeKeepsMelodicSlotsAndMixesAllFourteen)
{
    auto chip = MakeChip(49716);
    Load(chip.get(), UserInstrument{});
    PlayChannel(chip.get(), 7, 0x120, 4);
    RenderLeft(chip.get(), 3000);
    const int16_t held = chip->slotOutputs[7];
    ASSERT_NE(held, 0);
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    OPLL::WriteReg(chip.get(), 0x36, 0x00);
    OPLL::WriteReg(chip.get(), 0x16, 0x40);
    OPLL::WriteReg(chip.get(), 0x26, 0x06);
    OPLL::WriteReg(chip.get(), 0x0E, 0x30); // bass drum
    RenderLeft(chip.get(), 300);
    EXPECT_EQ(chip->slotOutputs[7], held); // not computed in rhythm mode
    int32_t out[2];
    OPLL::RenderStereo(chip.get(), out);
    int32_t sum = 0;
    for (int i = 0; i < 14; ++i)
        sum += chip->slotOutputs[i];
    EXPECT_EQ(out[0], static_cast<int16_t>(sum));
    EXPECT_NE(chip->slotOutputs[OPLL::kSlotBassDrum], 0);
}

TEST(ToneMeasureCheck, FindsKnownSineAndSquareFrequencies)
{
    for (double rate : {44100.0, 96000.0}) {
        for (double f : {61.7, 440.0, 2500.3}) {
            std::vector<double> sine(static_cast<size_t>(rate / 2));
            std::vector<int16_t> square(sine.size());
            for (size_t i = 0; i < sine.size(); ++i) {
                sine[i] = 5000 * std::sin(2 * std::numbers::pi * f * i / rate + 1.0);
                square[i] = std::fmod(f * i / rate, 1.0) < 0.5 ? 3000 : -3000;
            }
            EXPECT_NEAR(ToneMeasure::MeasureFrequency(sine, rate), f, f * 1e-4);
            EXPECT_NEAR(ToneMeasure::MeasureFrequency(square, rate), f, f * 1e-4);
            EXPECT_NEAR(ToneMeasure::FrequencyByZeroCrossings(square, rate), f, f * 1e-3);
        }
    }
    EXPECT_EQ(ToneMeasure::MeasureFrequency(std::vector<int16_t>(4000, 7), 44100.0), 0.0);
}

} // namespace
