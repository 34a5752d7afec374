// Rendered sound of the FM chip: pitch, rate conversion and mix.
// (Long recorded programs are in OpllGoldenTest.)
#include "OpllTestSupport.h"
#include "support/ToneMeasure.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
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
    } cases[] = {{0x1C0, 5, 0x21, 1}, {0x0AB, 7, 0x21, 1}, {0x181, 2, 0x21, 1}, {0x120, 4, 0x22, 2},
                 {0x120, 4, 0x20, 0.5}};
    for (uint32_t rate : {44100u, 96000u}) {
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

TEST(OpllRateConversion, RunsTheChipAtClockOverSeventyTwoAtAnyRate)
{
    for (uint32_t rate : {22050u, 96000u}) {
        auto chip = MakeChip(rate);
        RenderLeft(chip.get(), static_cast<int>(rate)); // one second
        EXPECT_NEAR(static_cast<double>(chip->envelopeCounter), kClock / 72.0, 1.0) << rate;
    }
    // A zero output rate is taken as 1 Hz: one frame is a second of chip
    // samples, not a hang.
    auto chip = MakeChip(0);
    ASSERT_TRUE(chip);
    EXPECT_EQ(chip->rate, 1u);
    RenderLeft(chip.get(), 1);
    EXPECT_NEAR(static_cast<double>(chip->envelopeCounter), kClock / 72.0, 1.0);
    OPLL::SetRate(chip.get(), 0);
    EXPECT_EQ(chip->rate, 1u);

    // The chip's own rate (49716, within a hertz) needs no resampler; a new
    // rate rebuilds the conversion and keeps the chip state.
    for (uint32_t rate : {49715u, 49716u})
        EXPECT_EQ(MakeChip(rate)->resampler, nullptr) << rate;
    chip = MakeChip(96000);
    ASSERT_NE(chip->resampler, nullptr);
    OPLL::WriteReg(chip.get(), 0x10, 0x77);
    OPLL::SetRate(chip.get(), 49716);
    EXPECT_EQ(chip->resampler, nullptr);
    EXPECT_EQ(chip->registers[0x10], 0x77);
    OPLL::SetRate(chip.get(), 44100);
    ASSERT_NE(chip->resampler, nullptr);
    EXPECT_DOUBLE_EQ(chip->resampler->ratio, kClock / 72.0 / 44100);
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

} // namespace
