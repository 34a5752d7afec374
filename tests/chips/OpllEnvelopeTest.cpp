// Envelope generator and the fast-LFO test bit, observed through
// the operators a chip sample leaves behind.
#include "OpllTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/SanitizedBuild.h"

namespace {

using namespace OpllTest;

// Steps until the carrier of channel 0 leaves Damp; fails the test after
// `limit` samples.
void StepThroughDamp(OPLL* chip, int limit = 5000)
{
    for (int i = 0; i < limit && chip->operators[1].envState == EnvDamp; ++i)
        OPLL::Step(chip);
    ASSERT_NE(chip->operators[1].envState, EnvDamp) << "damp never ended";
}

TEST(OpllEnvelope, InstantAttackSkipsTheAttackState)
{
    // AR 15 directly, and AR 13 lifted to 15 by key scale rate (KR 1,
    // block 7, F-number 0x100: rate key scale 15 >> 2 = 3).
    struct Case {
        uint8_t carrierFlags, carrierAr;
        uint32_t fnum, block;
    } cases[] = {{0x21, 0xF0, 0x100, 4}, {0x31, 0xD0, 0x100, 7}};
    for (const Case& k : cases) {
        auto chip = MakeChip();
        UserInstrument inst;
        inst.reg[1] = k.carrierFlags;
        inst.reg[5] = k.carrierAr;
        Load(chip.get(), inst);
        PlayChannel(chip.get(), 0, k.fnum, k.block);
        StepThroughDamp(chip.get());
        EXPECT_EQ(chip->operators[1].envState, EnvDecay);
        EXPECT_EQ(chip->operators[1].level, 0u);
    }
}

TEST(OpllEnvelope, AttackFallsToZeroDecaysToSustainLevelThenHoldsOnlyWithEg)
{
    for (uint8_t flags : {0x01, 0x21}) { // EG 0: sustain falls at RR; EG 1: it holds
        auto chip = MakeChip();
        UserInstrument inst;
        inst.reg[1] = flags;
        inst.reg[5] = 0x96; // AR 9, DR 6
        inst.reg[7] = 0x45; // SL 4, RR 5
        Load(chip.get(), inst);
        PlayChannel(chip.get(), 0, 0x150, 4);
        StepThroughDamp(chip.get());
        const OpllOperator& car = chip->operators[1];
        ASSERT_EQ(car.envState, EnvAttack);
        uint32_t last = car.level;
        for (int steps = 0; car.envState == EnvAttack && steps < 200000; ++steps) {
            OPLL::Step(chip.get());
            ASSERT_LE(car.level, last);
            last = car.level;
        }
        ASSERT_EQ(car.envState, EnvDecay);
        EXPECT_EQ(car.level, 0u);
        for (int steps = 0; car.envState == EnvDecay && steps < 400000; ++steps)
            OPLL::Step(chip.get());
        ASSERT_EQ(car.envState, EnvSustain);
        EXPECT_EQ(car.level >> 3, 4u);
        const uint32_t atSustain = car.level;
        for (int i = 0; i < 50000; ++i)
            OPLL::Step(chip.get());
        if (flags & 0x20)
            EXPECT_EQ(car.level, atSustain);
        else
            EXPECT_GT(car.level, atSustain);
    }
}

TEST(OpllEnvelope, RetriggerFadesOutThroughDampBeforeRestartingPhase)
{
    auto chip = MakeChip();
    UserInstrument inst;
    inst.reg[5] = 0xA0; // AR 10: a real attack
    Load(chip.get(), inst);
    PlayChannel(chip.get(), 0, 0x150, 4);
    for (int i = 0; i < 20000; ++i)
        OPLL::Step(chip.get());
    ASSERT_EQ(chip->operators[1].level, 0u);

    PlayChannel(chip.get(), 0, 0x150, 4, false);
    PlayChannel(chip.get(), 0, 0x150, 4, true);
    ASSERT_EQ(chip->operators[1].envState, EnvDamp);
    uint32_t peak = 0;
    int steps = 0;
    while (chip->operators[1].envState == EnvDamp && steps++ < 5000) {
        OPLL::Step(chip.get());
        peak = std::max(peak, chip->operators[1].level);
    }
    ASSERT_EQ(chip->operators[1].envState, EnvAttack);
    EXPECT_GE(peak, 123u);
    EXPECT_GT(steps, 20); // a fade, not a jump
    // The carrier restarted its phase (and its modulator's) at the end of
    // Damp, then advanced once.
    EXPECT_EQ(chip->lanes.phase[1], chip->operators[1].phaseStep[0]);
    EXPECT_LE(chip->lanes.phase[0], chip->operators[0].phaseStep[0]);
}

TEST(OpllEnvelope, KeyOffReleaseRateFollowsSustainFlagAndEg)
{
    // Block 0, small F-number, KR 0: key scale rate 0, so rate high = rate.
    struct Case {
        uint8_t carrierFlags;
        bool sustain;
        int expectedRate;
    } cases[] = {
        {0x21, true, 5},  // sustain flag: 5
        {0x01, true, 5},
        {0x01, false, 7}, // EG 0, no sustain flag: 7
        {0x21, false, 9}, // EG 1: RR
    };
    for (const Case& k : cases) {
        auto chip = MakeChip();
        UserInstrument inst;
        inst.reg[1] = k.carrierFlags;
        inst.reg[7] = 0x09; // RR 9
        Load(chip.get(), inst);
        PlayChannel(chip.get(), 0, 0x40, 0, true, k.sustain);
        for (int i = 0; i < 3000; ++i)
            OPLL::Step(chip.get());
        PlayChannel(chip.get(), 0, 0x40, 0, false, k.sustain);
        OPLL::Step(chip.get());
        EXPECT_EQ(chip->operators[1].envState, EnvRelease);
        EXPECT_EQ(chip->operators[1].rateHigh, k.expectedRate) << "flags " << int(k.carrierFlags);
    }
}

TEST(OpllTestRegister, FastTremoloKeepsCyclingPastThirtyOneBitsOfPhase)
{
    // With test bit 3 the tremolo phase grows by 64 per sample; after about
    // 33.5 million samples (11 minutes) a plain 32-bit phase would overflow.
    const long samples = kSanitizedBuild ? 300000 : (1L << 31) / 64 + 5000;
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x0F, 0x08);
    for (long i = 0; i < samples; ++i)
        OPLL::Step(chip.get());
    // One table step per sample: the last 420 levels are two full periods.
    std::vector<int> levels;
    for (int i = 0; i < 420; ++i) {
        OPLL::Step(chip.get());
        levels.push_back(chip->tremoloLevel);
    }
    for (int i = 0; i < 210; ++i)
        ASSERT_EQ(levels[i], levels[i + 210]);
    EXPECT_EQ(*std::max_element(levels.begin(), levels.end()), 13);
    EXPECT_EQ(*std::min_element(levels.begin(), levels.end()), 0);
}

} // namespace
