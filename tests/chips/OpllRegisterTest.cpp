// Register interface of the FM chip: address latch, mirrors, instrument and
// volume assignment, rhythm mode and key status.
#include "OpllTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

using OpllTest::MakeChip;

TEST(OpllRegisters, MirroredChannelRegistersActAsChannelsZeroToSix)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x3A, 0x5C); // mirror of 0x31
    EXPECT_EQ(chip->registers[0x31], 0x5C);
    EXPECT_EQ(chip->instrument[1], 5);
    EXPECT_EQ(chip->operators[3].volume, 48);
    EXPECT_EQ(chip->operators[3].patch, &chip->patches[11]);

    OPLL::WriteReg(chip.get(), 0x1F, 0x80); // mirror of 0x16
    EXPECT_EQ(chip->registers[0x16], 0x80);
    EXPECT_EQ(chip->operators[12].fnum, 0x80);
    OPLL::WriteReg(chip.get(), 0x29, 0x1B); // mirror of 0x20: key on, block 5, F-number bit 8
    EXPECT_EQ(chip->registers[0x20], 0x1B);
    EXPECT_EQ(chip->operators[1].block, 5);
    EXPECT_EQ(chip->keyStatus, 3u);
}

TEST(OpllRegisters, AddressLatchSelectsRegisterForEveryDataWrite)
{
    auto chip = MakeChip();
    // After reset the latch is 0: a data write alone goes to register 0.
    OPLL::WritePort(chip.get(), 1, 0x21);
    EXPECT_EQ(chip->registers[0x00], 0x21);
    EXPECT_EQ(chip->patches[0].EG, 1u);
    EXPECT_EQ(chip->patches[0].ML, 1u);

    // Only bit 0 of the port matters; the latch stays for repeated data writes.
    OPLL::WritePort(chip.get(), 0x42, 0x10);
    OPLL::WritePort(chip.get(), 0x43, 0x55);
    OPLL::WritePort(chip.get(), 0x01, 0x66);
    EXPECT_EQ(chip->registers[0x10], 0x66);
    EXPECT_EQ(chip->addressLatch, 0x10u);
    EXPECT_EQ(chip->operators[0].fnum, 0x66);

    // Registers 0x40 and up do nothing at all.
    uint8_t before[64];
    std::memcpy(before, chip->registers, sizeof before);
    OPLL::WritePort(chip.get(), 0, 0x40);
    OPLL::WritePort(chip.get(), 1, 0xFF);
    OPLL::WriteReg(chip.get(), 0xFF, 0xFF);
    EXPECT_EQ(std::memcmp(before, chip->registers, sizeof before), 0);
}

TEST(OpllRegisters, KeyOnDampsBothOperatorsAndKeyOffReleasesOnlyTheCarrier)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x30, 0x30);
    OPLL::WriteReg(chip.get(), 0x20, 0x10);
    EXPECT_EQ(chip->operators[0].envState, EnvDamp);
    EXPECT_EQ(chip->operators[1].envState, EnvDamp);
    for (int i = 0; i < 2000; ++i)
        OPLL::Step(chip.get());
    const uint8_t modState = chip->operators[0].envState;
    ASSERT_NE(modState, EnvDamp);
    OPLL::WriteReg(chip.get(), 0x20, 0x00);
    EXPECT_EQ(chip->operators[1].envState, EnvRelease);
    EXPECT_EQ(chip->operators[0].envState, modState);
    EXPECT_EQ(chip->keyStatus, 0u);
}

TEST(OpllRhythm, SwitchingOnKeepsAKeyedBassDrumAndAssignsRhythmInstruments)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x37, 0x95);
    OPLL::WriteReg(chip.get(), 0x38, 0x62);
    OPLL::WriteReg(chip.get(), 0x26, 0x10); // channel 6 keyed as a melody
    OPLL::Step(chip.get());
    ASSERT_EQ(chip->keyStatus, 3u << 12);

    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    EXPECT_EQ(chip->rhythmMode, 1);
    EXPECT_EQ(chip->keyStatus, 3u << 12); // still keyed, not re-triggered
    EXPECT_EQ(chip->instrument[6], 16);
    EXPECT_EQ(chip->instrument[7], 17);
    EXPECT_EQ(chip->instrument[8], 18);
    for (int n = 14; n < 18; ++n) {
        EXPECT_EQ(chip->operators[n].type, 3);
        EXPECT_EQ(chip->operators[n].keepPhase, n == 14 || n == 17) << n;
    }
    EXPECT_EQ(chip->operators[14].volume, 36); // hi-hat: 0x37 high nibble
    EXPECT_EQ(chip->operators[16].volume, 24); // tom-tom: 0x38 high nibble

    // Either register 0x26 bit 4 or register 0x0E bit 4 keys the bass drum.
    OPLL::WriteReg(chip.get(), 0x0E, 0x30);
    OPLL::WriteReg(chip.get(), 0x26, 0x00);
    EXPECT_EQ(chip->keyStatus, 3u << 12);
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    EXPECT_EQ(chip->keyStatus, 0u);
    EXPECT_EQ(chip->operators[13].envState, EnvRelease);

    // One bit per rhythm voice: hi-hat, snare, tom-tom, top cymbal.
    for (auto [bit, op] : {std::pair{0x01, 14}, {0x08, 15}, {0x04, 16}, {0x02, 17}}) {
        OPLL::WriteReg(chip.get(), 0x0E, static_cast<uint8_t>(0x20 | bit));
        EXPECT_EQ(chip->keyStatus, 1u << op);
    }
    // Rhythm voices are released at key-off (type bit 0).
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    EXPECT_EQ(chip->operators[17].envState, EnvRelease);
}

TEST(OpllRhythm, ChannelRegistersSixToEightSetVolumesNotInstruments)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    OPLL::WriteReg(chip.get(), 0x36, 0x7A);
    OPLL::WriteReg(chip.get(), 0x37, 0x53);
    OPLL::WriteReg(chip.get(), 0x38, 0xE1);
    // Bass drum carrier, hi-hat, snare, tom-tom, top cymbal.
    const std::pair<int, int32_t> volumes[] = {{12, 0}, {13, 40}, {14, 20}, {15, 12}, {16, 56}, {17, 4}};
    for (auto [n, v] : volumes)
        EXPECT_EQ(chip->operators[n].volume, v) << n;

    // Switching off restores types and takes instruments from the registers.
    OPLL::WriteReg(chip.get(), 0x0E, 0x00);
    EXPECT_EQ(chip->instrument[6], 7);
    EXPECT_EQ(chip->instrument[7], 5);
    EXPECT_EQ(chip->instrument[8], 14);
    for (int n = 14; n < 18; ++n) {
        EXPECT_EQ(chip->operators[n].type, n & 1);
        EXPECT_EQ(chip->operators[n].keepPhase, 0);
    }

    // Reset returns to melodic mode with silent operators and keeps the tone set.
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
