// ExecuteCounted against its reference, Execute(1) called step by step:
// the same counted cycles, the same registers, memory and port traffic,
// also on random images and with interrupts between runs.
#include "Z80TestBoard.h"

#include <gtest/gtest.h>

#include <random>

namespace {

#ifdef KELVARA_SANITIZE
constexpr int kImages = 24;
#else
constexpr int kImages = 200;
#endif
constexpr int kCallsPerImage = 40;

// The reference: one Execute(1) per step, each counted as the T-states
// spent beyond the one-cycle budget, at least 1.
int StepCounted(CZ80& cpu, int budget)
{
    while (budget > 0) {
        int counted = -cpu.Execute(1);
        budget -= counted > 0 ? counted : 1;
    }
    return budget;
}

} // namespace

TEST(Z80ExecuteCounted, CountsEachStepAsSteppingDoes)
{
    Z80TestBoard board;
    board.EnableWindows();
    // NOP (3), EI + NOP as one step (3 + 3 + 1), LD BC,nn (9), then
    // LD A,R, whose result depends on the budget seen inside the step.
    board.Poke(0, {0x00, 0xFB, 0x00, 0x01, 0x34, 0x12, 0xED, 0x5F, 0x76});
    EXPECT_EQ(board.cpu.ExecuteCounted(1), -2);
    EXPECT_EQ(board.cpu.ExecuteCounted(7), 0);
    EXPECT_EQ(board.cpu.PC, 3);
    EXPECT_EQ(board.cpu.ExecuteCounted(9), 0);
    EXPECT_EQ(board.cpu.ExecuteCounted(1), -7);

    Z80TestBoard reference;
    reference.EnableWindows();
    reference.ram = board.ram;
    EXPECT_EQ(StepCounted(reference.cpu, 3 + 7 + 9 + 1), -7);
    ExpectSameCpuState(board.cpu, reference.cpu);

    // HALT: every step counts 1, and a long wait ends exactly on the budget.
    g_CurrentBoard = &board;
    EXPECT_EQ(board.cpu.ExecuteCounted(1000000), 0);
    EXPECT_EQ(board.cpu.PC, 8);
    EXPECT_NE(board.cpu.StatusFlags & CZ80::kHalt, 0);
    EXPECT_EQ(board.cpu.ExecuteCounted(0), 0);
    EXPECT_EQ(board.cpu.ExecuteCounted(-5), -5);
}

TEST(Z80ExecuteCounted, WaitLoopsAndBlockInstructionsMatchStepping)
{
    // LDIR copies 40 bytes, one repetition a step; then JR $ forever.
    const std::initializer_list<uint8_t> program = {0x21, 0x00, 0x10, 0x11, 0x00, 0x20, 0x01,
                                                    0x28, 0x00, 0xED, 0xB0, 0x18, 0xFE};
    for (int budget : {1, 20, 21, 200, 837, 100000}) {
        Z80TestBoard batched;
        Z80TestBoard stepped;
        for (Z80TestBoard* b : {&batched, &stepped}) {
            b->EnableWindows();
            b->Poke(0, program);
            for (int i = 0; i < 40; ++i) b->ram[0x1000 + i] = static_cast<uint8_t>(i * 7 + 1);
        }
        g_CurrentBoard = &batched;
        int a = batched.cpu.ExecuteCounted(budget);
        g_CurrentBoard = &stepped;
        int b = StepCounted(stepped.cpu, budget);
        SCOPED_TRACE(budget);
        EXPECT_EQ(a, b);
        ExpectSameCpuState(batched.cpu, stepped.cpu);
        EXPECT_TRUE(batched.ram == stepped.ram);
    }
}

TEST(Z80ExecuteCounted, RandomImagesMatchSteppingWithInterruptsBetweenRuns)
{
    std::mt19937 rng(4711);
    for (int image = 0; image < kImages; ++image) {
        Z80TestBoard batched;
        Z80TestBoard stepped;
        for (auto& byte : batched.ram) byte = static_cast<uint8_t>(rng());
        if (image % 3 == 1) {
            // Dense in the cases with their own counting: prefixes, blocks,
            // EI, HALT, LD A,R, and waits in place.
            static const uint8_t kPicks[] = {0xDD, 0xFD, 0xED, 0xCB, 0xB0, 0xB1, 0x76, 0xFB,
                                             0xF3, 0x5F, 0x18, 0xFE, 0xC3, 0x00};
            for (auto& byte : batched.ram)
                if (rng() % 2) byte = kPicks[rng() % sizeof kPicks];
        }
        stepped.ram = batched.ram;
        // Half the images run from the fast windows (where waits are
        // fast-forwarded), half through the virtual bus.
        if (image % 2 == 0) {
            batched.EnableWindows();
            stepped.EnableWindows();
        }
        stepped.portValue = batched.portValue = static_cast<uint8_t>(rng());
        for (CZ80* cpu : {&batched.cpu, &stepped.cpu}) {
            cpu->Reset();
            cpu->SP = 0x8000;
            cpu->PendingIrq = (image % 5 == 0) ? static_cast<uint16_t>(0xFF) : CZ80::kNoIrq;
        }
        for (int call = 0; call < kCallsPerImage; ++call) {
            const int budget = static_cast<int>(rng() % 3000) + 1;
            const uint32_t event = rng() % 8;
            const uint16_t irq = event == 0 ? CZ80::kNmi : static_cast<uint16_t>(rng() & 0xFF);
            g_CurrentBoard = &batched;
            const int a = batched.cpu.ExecuteCounted(budget);
            if (event < 3) batched.cpu.Interrupt(irq);
            g_CurrentBoard = &stepped;
            const int b = StepCounted(stepped.cpu, budget);
            if (event < 3) stepped.cpu.Interrupt(irq);
            SCOPED_TRACE(testing::Message() << "image " << image << " call " << call);
            ASSERT_EQ(a, b);
            ExpectSameCpuState(batched.cpu, stepped.cpu);
            if (testing::Test::HasFailure()) return;
        }
        ASSERT_TRUE(batched.ram == stepped.ram) << "image " << image;
        ASSERT_EQ(batched.portWrites.size(), stepped.portWrites.size()) << "image " << image;
        for (std::size_t i = 0; i < batched.portWrites.size(); ++i) {
            ASSERT_EQ(batched.portWrites[i].port, stepped.portWrites[i].port);
            ASSERT_EQ(batched.portWrites[i].value, stepped.portWrites[i].value);
        }
        ASSERT_TRUE(batched.portReads == stepped.portReads) << "image " << image;
    }
}
