// Random memory images under random budgets and interrupts: every Execute
// ends with a small overrun, and the register-held fast path (board with
// memory windows) behaves exactly like the plain virtual bus path.
#include "Z80TestBoard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/SanitizedBuild.h"

namespace {

constexpr int kImages = kSanitizedBuild ? 24 : 300;
constexpr int kCallsPerImage = 60;

TEST(Z80Fuzz, RandomImagesAlwaysEndEveryRunAndBothBusPathsAgree)
{
    std::mt19937 rng(20261206);
    for (int image = 0; image < kImages; ++image) {
        Z80TestBoard fast;
        Z80TestBoard plain;
        fast.EnableWindows();
        for (auto& byte : fast.ram)
            byte = static_cast<uint8_t>(rng());
        // Some images are dense in prefixes and block instructions.
        if (image % 4 == 1) {
            static const uint8_t kPicks[] = {0xDD, 0xFD, 0xED, 0xCB, 0xB0, 0xB1, 0xB3, 0x76, 0xFB, 0x00};
            for (auto& byte : fast.ram)
                if (rng() % 2)
                    byte = kPicks[rng() % sizeof kPicks];
        }
        plain.ram = fast.ram;
        plain.portValue = fast.portValue = static_cast<uint8_t>(rng());

        for (CZ80* cpu : {&fast.cpu, &plain.cpu}) {
            cpu->Reset();
            cpu->SP = 0x8000;
        }
        for (int call = 0; call < kCallsPerImage; ++call) {
            int budget = static_cast<int>(rng() % 4000) - 20;
            uint32_t event = rng() % 16;
            uint16_t irq = event == 0 ? CZ80::kNmi : static_cast<uint16_t>(rng() & 0xFF);

            int results[2];
            int i = 0;
            for (Z80TestBoard* board : {&fast, &plain}) {
                g_CurrentBoard = board;
                results[i++] = board->cpu.Execute(budget);
                if (event < 3)
                    board->cpu.Interrupt(irq);
            }
            ASSERT_EQ(results[0], results[1]) << "image " << image << " call " << call;
            if (budget > 0) {
                ASSERT_LE(results[0], 0);
                ASSERT_GE(results[0], -64);  // at most about one instruction's overrun
            } else {
                ASSERT_EQ(results[0], budget);
            }
            SCOPED_TRACE(testing::Message() << "image " << image << " call " << call);
            ExpectSameCpuState(fast.cpu, plain.cpu);
            if (testing::Test::HasFailure())
                return;
        }
        ASSERT_TRUE(fast.ram == plain.ram) << "image " << image;
        ASSERT_EQ(fast.portWrites.size(), plain.portWrites.size()) << "image " << image;

        // Disassembling anywhere in the image fits the documented buffer.
        g_CurrentBoard = &fast;
        for (int k = 0; k < 64; ++k) {
            char text[CZ80::kDisassemblyBufferSize];
            uint16_t length = fast.cpu.Disassemble(text, static_cast<uint16_t>(rng()));
            ASSERT_GE(length, 1);
            ASSERT_LE(length, 4);
            ASSERT_LT(std::strlen(text), sizeof text);
        }
    }
}

}  // namespace
