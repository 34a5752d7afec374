// Register interface of the FM chip: address latch, mirrors, registers
// beyond the map, and what a reset leaves. Instrument, volume and rhythm
// assignment reach the sound and are pinned by OpllGoldenTest's programs.
#include "OpllTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using OpllTest::MakeChip;

TEST(OpllRegisters, LatchedWritesReachTheMirroredRegisterAndNothingPastTheMap)
{
    auto chip = MakeChip();
    // After reset the latch is 0: a data write alone goes to register 0.
    OPLL::WritePort(chip.get(), 1, 0x21);
    EXPECT_EQ(chip->registers[0x00], 0x21);
    EXPECT_EQ(chip->patches[0].ML, 1u);
    // Only bit 0 of the port matters; the latch stays for repeated data
    // writes; 0x3A is channel 1's instrument and volume.
    OPLL::WritePort(chip.get(), 0x42, 0x3A);
    OPLL::WritePort(chip.get(), 0x43, 0x55);
    OPLL::WritePort(chip.get(), 0x01, 0x5C);
    EXPECT_EQ(chip->registers[0x31], 0x5C);
    EXPECT_EQ(chip->instrument[1], 5);
    EXPECT_EQ(chip->operators[3].volume, 48);

    // Registers 0x40 and up do nothing at all.
    uint8_t before[64];
    std::memcpy(before, chip->registers, sizeof before);
    OPLL::WritePort(chip.get(), 0, 0x40);
    OPLL::WritePort(chip.get(), 1, 0xFF);
    OPLL::WriteReg(chip.get(), 0xFF, 0xFF);
    EXPECT_EQ(std::memcmp(before, chip->registers, sizeof before), 0);
}

TEST(OpllRegisters, ResetReturnsToSilentMelodicModeAndKeepsTheToneSet)
{
    auto chip = MakeChip();
    OPLL::SelectToneSet(chip.get(), ToneSetYMF281B);
    OPLL::WriteReg(chip.get(), 0x0E, 0x3F);
    for (int i = 0; i < 100; ++i)
        OPLL::Step(chip.get());
    OPLL::Reset(chip.get());
    EXPECT_EQ(chip->rhythmMode, 0);
    EXPECT_EQ(chip->keyStatus, 0u);
    for (int n = 0; n < 18; ++n)
        EXPECT_EQ(chip->operators[n].level, 127u);
    EXPECT_EQ(chip->patches[4].TL, 5u);
}

} // namespace
