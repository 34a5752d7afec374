// Register interface of the FM chip: address latch, mirrors, instrument and
// volume assignment, rhythm mode and key status.
#include "chips/Opll.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

OpllPtr MakeChip()
{
    OpllPtr chip(OPLL::Create(3579545, 44100));
    EXPECT_TRUE(chip);
    return chip;
}

TEST(OpllRegisters, MirroredChannelRegistersActAsChannelsZeroToSix)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x3A, 0x5C); // mirror of 0x31
    EXPECT_EQ(chip->registers[0x31], 0x5C);
    EXPECT_EQ(chip->registers[0x3A], 0);
    EXPECT_EQ(chip->instrument[1], 5);
    EXPECT_EQ(chip->operators[3].volume, 48);
    EXPECT_EQ(chip->operators[2].patch, &chip->patches[10]);
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

TEST(OpllRegisters, FnumberBlockAndSustainReachBothOperators)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x14, 0xAB);
    OPLL::WriteReg(chip.get(), 0x24, 0x2D); // sustain, key off, block 6, F-number bit 8
    for (int n : {8, 9}) {
        EXPECT_EQ(chip->operators[n].fnum, 0x1AB);
        EXPECT_EQ(chip->operators[n].block, 6);
        EXPECT_EQ(chip->operators[n].blockFnum, (6 << 9) | 0x1AB);
    }
    EXPECT_EQ(chip->operators[9].sustainFlag, 1); // carrier
    EXPECT_EQ(chip->operators[8].sustainFlag, 0); // melodic modulator: never
    // Changing only the low byte keeps the high bit from register 0x24.
    OPLL::WriteReg(chip.get(), 0x14, 0x01);
    EXPECT_EQ(chip->operators[9].fnum, 0x101);
}

TEST(OpllRegisters, UserInstrumentRegistersRewritePatchZeroAndOne)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x02, 0x9F); // modulator KL 2, TL 31
    OPLL::WriteReg(chip.get(), 0x03, 0xDD); // carrier KL 3, carrier WS 1, modulator WS 1, FB 5
    OPLL::WriteReg(chip.get(), 0x05, 0xA7);
    OPLL::WriteReg(chip.get(), 0x06, 0x3C);
    EXPECT_EQ(chip->patches[0].KL, 2u);
    EXPECT_EQ(chip->patches[0].TL, 31u);
    EXPECT_EQ(chip->patches[1].KL, 3u);
    EXPECT_EQ(chip->patches[1].WS, 1u);
    EXPECT_EQ(chip->patches[0].WS, 1u);
    EXPECT_EQ(chip->patches[0].FB, 5u);
    EXPECT_EQ(chip->patches[1].AR, 10u);
    EXPECT_EQ(chip->patches[1].DR, 7u);
    EXPECT_EQ(chip->patches[0].SL, 3u);
    EXPECT_EQ(chip->patches[0].RR, 12u);
    EXPECT_EQ(chip->patches[1].TL, 0u);

    // Selecting a tone set clears the user patches but not the registers.
    OPLL::SelectToneSet(chip.get(), ToneSetYMF281B);
    EXPECT_EQ(chip->patches[0].TL, 0u);
    EXPECT_EQ(chip->patches[1].AR, 0u);
    EXPECT_EQ(chip->registers[0x02], 0x9F);
    EXPECT_EQ(chip->registers[0x05], 0xA7);
}

TEST(OpllRegisters, KeyOnDampsBothOperatorsAndKeyOffReleasesOnlyTheCarrier)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x30, 0x30);
    OPLL::WriteReg(chip.get(), 0x20, 0x10);
    EXPECT_EQ(chip->operators[0].envState, EnvDamp);
    EXPECT_EQ(chip->operators[1].envState, EnvDamp);
    EXPECT_EQ(chip->operators[0].keyFlag, 1);
    for (int i = 0; i < 2000; ++i)
        OPLL::Step(chip.get());
    const uint8_t modState = chip->operators[0].envState;
    ASSERT_NE(modState, EnvDamp);
    OPLL::WriteReg(chip.get(), 0x20, 0x00);
    EXPECT_EQ(chip->operators[1].envState, EnvRelease);
    EXPECT_EQ(chip->operators[1].keyFlag, 0);
    EXPECT_EQ(chip->operators[0].envState, modState);
    EXPECT_EQ(chip->operators[0].keyFlag, 0);
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
    for (int n = 14; n < 18; ++n)
        EXPECT_EQ(chip->operators[n].type, 3);
    EXPECT_EQ(chip->operators[14].keepPhase, 1);
    EXPECT_EQ(chip->operators[15].keepPhase, 0);
    EXPECT_EQ(chip->operators[16].keepPhase, 0);
    EXPECT_EQ(chip->operators[17].keepPhase, 1);
    EXPECT_EQ(chip->operators[14].volume, 36); // hi-hat: 0x37 high nibble
    EXPECT_EQ(chip->operators[16].volume, 24); // tom-tom: 0x38 high nibble

    // Either register 0x26 bit 4 or register 0x0E bit 4 keys the bass drum.
    OPLL::WriteReg(chip.get(), 0x0E, 0x30);
    OPLL::WriteReg(chip.get(), 0x26, 0x00);
    EXPECT_EQ(chip->keyStatus, 3u << 12);
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    EXPECT_EQ(chip->keyStatus, 0u);
    EXPECT_EQ(chip->operators[13].envState, EnvRelease);

    // One bit per rhythm voice.
    OPLL::WriteReg(chip.get(), 0x0E, 0x21);
    EXPECT_EQ(chip->keyStatus, 1u << 14); // hi-hat
    OPLL::WriteReg(chip.get(), 0x0E, 0x28);
    EXPECT_EQ(chip->keyStatus, 1u << 15); // snare
    OPLL::WriteReg(chip.get(), 0x0E, 0x24);
    EXPECT_EQ(chip->keyStatus, 1u << 16); // tom-tom
    OPLL::WriteReg(chip.get(), 0x0E, 0x22);
    EXPECT_EQ(chip->keyStatus, 1u << 17); // top cymbal
    // Rhythm voices are released at key-off (type bit 0).
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    EXPECT_EQ(chip->operators[17].envState, EnvRelease);
}

TEST(OpllRhythm, ChannelRegistersSixToEightSetVolumesNotInstruments)
{
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    OPLL::WriteReg(chip.get(), 0x36, 0x7A);
    EXPECT_EQ(chip->instrument[6], 16);
    EXPECT_EQ(chip->operators[13].volume, 40); // bass drum carrier
    EXPECT_EQ(chip->operators[12].volume, 0);
    OPLL::WriteReg(chip.get(), 0x37, 0x53);
    EXPECT_EQ(chip->instrument[7], 17);
    EXPECT_EQ(chip->operators[14].volume, 20); // hi-hat
    EXPECT_EQ(chip->operators[15].volume, 12); // snare
    OPLL::WriteReg(chip.get(), 0x38, 0xE1);
    EXPECT_EQ(chip->operators[16].volume, 56); // tom-tom
    EXPECT_EQ(chip->operators[17].volume, 4);  // top cymbal

    // Switching off restores types and takes instruments from the registers.
    OPLL::WriteReg(chip.get(), 0x0E, 0x00);
    EXPECT_EQ(chip->rhythmMode, 0);
    EXPECT_EQ(chip->instrument[6], 7);
    EXPECT_EQ(chip->instrument[7], 5);
    EXPECT_EQ(chip->instrument[8], 14);
    const uint8_t types[4] = {0, 1, 0, 1};
    for (int n = 14; n < 18; ++n) {
        EXPECT_EQ(chip->operators[n].type, types[n - 14]);
        EXPECT_EQ(chip->operators[n].keepPhase, 0);
    }
}

TEST(OpllRhythm, ResetReturnsToMelodicModeAndKeepsToneSet)
{
    auto chip = MakeChip();
    OPLL::SelectToneSet(chip.get(), ToneSetYMF281B);
    OPLL::WriteReg(chip.get(), 0x0E, 0x3F);
    OPLL::WriteReg(chip.get(), 0x00, 0xFF);
    for (int i = 0; i < 100; ++i)
        OPLL::Step(chip.get());
    OPLL::Reset(chip.get());
    EXPECT_EQ(chip->rhythmMode, 0);
    EXPECT_EQ(chip->keyStatus, 0u);
    EXPECT_EQ(chip->noise, 1u);
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(chip->instrument[c], 0);
    for (int n = 0; n < 18; ++n) {
        EXPECT_EQ(chip->operators[n].type, n & 1);
        EXPECT_EQ(chip->operators[n].level, 127u);
    }
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(chip->slotOutputs[i], 0);
    // Patches stay those of the YMF281B set; only the user fields were rewritten.
    EXPECT_EQ(chip->patches[4].TL, 5u);
    EXPECT_EQ(chip->patches[0].ML, 0u);
}

} // namespace
