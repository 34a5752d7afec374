// Every machine type that has database rows, from file to samples: a
// synthetic ROM forged to the type's first row boots, receives a code by the
// type's delivery method, writes its chip through the type's decoding and
// produces a tone whose pitch proves which code arrived.
#include <gtest/gtest.h>

#include "support/SoundBoardTestRoms.h"
#include "support/RomForge.h"
#include "support/ToneMeasure.h"

using namespace boardtest;

namespace {

class SoundBoardEndToEnd : public ::testing::TestWithParam<uint32_t> {};

} // namespace

TEST_P(SoundBoardEndToEnd, PlaysCodeAsToneThroughTheTypesDelivery)
{
    const MachineDef* def = FindMachineDef(GetParam());
    ASSERT_NE(def, nullptr);
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    std::unique_ptr<CSoundBoard> board = MakeToneBoard(*def, fixups, file);
    ASSERT_EQ(board->MachineType(), GetParam());
    EXPECT_FALSE(board->NeedsMissingStub());

    // Nothing sounds before a code arrives.
    std::vector<int32_t> before = RenderLeft(*board, 2000);
    EXPECT_LT(ToneMeasure::PeakAbs(std::span<const int32_t>(before)), 64.0);

    const uint8_t code = 0x25;
    board->Reset();
    board->SendCommand(code);
    RenderLeft(*board, 1000);  // let the program take the code and the chip settle
    std::vector<int32_t> tone = RenderLeft(*board, 16384);
    std::span<const int32_t> samples(tone);
    ASSERT_GT(ToneMeasure::PeakAbs(samples), 500.0) << "no sound";
    const double expected = ExpectedToneHz(*def, code);
    const double measured = ToneMeasure::MeasureFrequency(samples, 44100.0, 100.0, 3000.0);
    EXPECT_LT(ToneMeasure::RelativeError(measured, expected), 0.005)
        << "expected " << expected << " Hz, measured " << measured << " Hz";
}

INSTANTIATE_TEST_SUITE_P(AllMachineTypes, SoundBoardEndToEnd, ::testing::ValuesIn(MachineTypesWithRoms()),
                         [](const auto& info) { return "Type" + std::to_string(info.param); });
