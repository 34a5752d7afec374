// ExecuteCounted against its reference, Execute(1) called step by step,
// and Execute through memory windows against the virtual bus: the same
// cycles, registers, memory and port traffic, also on random images and
// with interrupts between runs.
#include "Z80TestBoard.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/SanitizedBuild.h"

namespace {

constexpr int kImages = kSanitizedBuild ? 24 : 200;
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

// Two boards loaded with the same random image (some dense in prefixes,
// block instructions, EI, HALT, LD A,R and waits in place), half of them
// reading through the fast windows, run by `runA` and `runB` under the same
// random budgets with interrupts between runs: the results, the CPUs, RAM
// and port traffic must agree after every call.
template <class RunA, class RunB>
void ExpectRandomImagesAgree(uint32_t seed, int images, bool bothWindowed, RunA runA, RunB runB)
{
    std::mt19937 rng(seed);
    for (int image = 0; image < images; ++image) {
        Z80TestBoard a;
        Z80TestBoard b;
        for (auto& byte : a.ram) byte = static_cast<uint8_t>(rng());
        if (image % 3 == 1) {
            static const uint8_t kPicks[] = {0xDD, 0xFD, 0xED, 0xCB, 0xB0, 0xB1, 0xB3, 0x76,
                                             0xFB, 0xF3, 0x5F, 0x18, 0xFE, 0xC3, 0x00};
            for (auto& byte : a.ram)
                if (rng() % 2) byte = kPicks[rng() % sizeof kPicks];
        }
        b.ram = a.ram;
        if (image % 2 == 0 || !bothWindowed) a.EnableWindows();
        if (image % 2 == 0 && bothWindowed) b.EnableWindows();
        b.portValue = a.portValue = static_cast<uint8_t>(rng());
        for (CZ80* cpu : {&a.cpu, &b.cpu}) {
            cpu->Reset();
            cpu->SP = 0x8000;
            cpu->PendingIrq = (image % 5 == 0) ? static_cast<uint16_t>(0xFF) : CZ80::kNoIrq;
        }
        for (int call = 0; call < kCallsPerImage; ++call) {
            const int budget = static_cast<int>(rng() % 3020) - 19;
            const uint32_t event = rng() % 8;
            const uint16_t irq = event == 0 ? CZ80::kNmi : static_cast<uint16_t>(rng() & 0xFF);
            int results[2];
            for (Z80TestBoard* board : {&a, &b}) {
                g_CurrentBoard = board;
                results[board == &b] = board == &a ? runA(board->cpu, budget) : runB(board->cpu, budget);
                if (event < 3) board->cpu.Interrupt(irq);
            }
            SCOPED_TRACE(testing::Message() << "image " << image << " call " << call << " budget " << budget);
            ASSERT_EQ(results[0], results[1]);
            // Every run ends, at most about one instruction past its budget.
            ASSERT_TRUE(budget > 0 ? results[0] <= 0 && results[0] >= -64 : results[0] == budget) << results[0];
            ExpectSameCpuState(a.cpu, b.cpu);
            if (testing::Test::HasFailure()) return;
        }
        ASSERT_TRUE(a.ram == b.ram) << "image " << image;
        ASSERT_TRUE(a.portWrites == b.portWrites) << "image " << image;
        ASSERT_TRUE(a.portReads == b.portReads) << "image " << image;
    }
}

} // namespace

TEST(Z80ExecuteCounted, RandomImagesMatchSteppingWithInterruptsBetweenRuns)
{
    ExpectRandomImagesAgree(4711, kImages, true, [](CZ80& cpu, int budget) { return cpu.ExecuteCounted(budget); },
                            StepCounted);
}

// Execute on the register-held fast path (memory windows) against the plain
// virtual bus path.
TEST(Z80Execute, RandomImagesRunAlikeThroughWindowsAndTheVirtualBus)
{
    const auto run = [](CZ80& cpu, int budget) { return cpu.Execute(budget); };
    ExpectRandomImagesAgree(20261206, kImages, false, run, run);
}

namespace {

// A countdown loop program at 0x0100, restarted after each completion:
//   [EI] [LD A,5Ah; OR A] counter load, the loop, INC IY, JP 0100h
// With enterAtBranch the program jumps straight to the loop's JR NZ (Z is
// clear from OR A), so the first pass starts with whatever the counter and
// A hold. An IM 1 handler at 0038h returns with interrupts on.
struct CountdownLoop {
    const char* name;
    std::vector<uint8_t> load;  // counter load; its last one or two bytes are the count
    std::vector<uint8_t> body;  // the loop; a JR NZ at its end unless DJNZ $
    bool wide;                  // 16-bit count
};

uint8_t Byte(int value) { return static_cast<uint8_t>(value); }

std::vector<CountdownLoop> CountdownLoops()
{
    std::vector<CountdownLoop> loops;
    loops.push_back({"DJNZ $", {0x06, 0}, {0x10, 0xFE}, false});
    const char* names[] = {"B", "C", "D", "E", "H", "L", "", "A"};
    for (int r : {0, 1, 2, 3, 4, 5, 7})
        loops.push_back({names[r], {Byte(0x06 + 8 * r), 0}, {Byte(0x05 + 8 * r), 0x20, 0xFD}, false});
    const char* pairNames[] = {"BC", "DE", "HL"};
    for (int p = 0; p < 3; ++p) {
        for (int first : {2 * p, 2 * p + 1}) {
            const int second = first ^ 1;  // LD A,first; OR second
            const std::vector<uint8_t> body = {Byte(0x0B + 16 * p), Byte(0x78 + first), Byte(0xB0 + second),
                                               0x20, 0xFB};
            loops.push_back({pairNames[p], {Byte(0x01 + 16 * p), 0, 0}, body, true});
        }
    }
    return loops;
}

// Returns the address just past the loop.
uint16_t PokeLoopProgram(Z80TestBoard& board, const CountdownLoop& loop, unsigned count, bool ei,
                         bool enterAtBranch)
{
    board.Poke(0x0038, {0xFB, 0xC9});  // EI; RET
    std::vector<uint8_t> code;
    if (ei) code.push_back(0xFB);
    code.insert(code.end(), {0x3E, 0x5A, 0xB7});  // LD A,5Ah; OR A
    std::vector<uint8_t> load = loop.load;
    load[1] = Byte(count);
    if (loop.wide) load[2] = Byte(count >> 8);
    code.insert(code.end(), load.begin(), load.end());
    if (enterAtBranch && loop.body[0] != 0x10) code.insert(code.end(), {0x18, Byte(loop.body.size() - 2)});
    code.insert(code.end(), loop.body.begin(), loop.body.end());
    const uint16_t loopEnd = static_cast<uint16_t>(0x0100 + code.size());
    code.insert(code.end(), {0xFD, 0x23, 0xC3, 0x00, 0x01});  // INC IY; JP 0100h
    for (std::size_t i = 0; i < code.size(); ++i) board.ram[0x0100 + i] = code[i];
    return loopEnd;
}

} // namespace

// Delay loops of every counter register and length, with the budget ending
// anywhere in them, with an EI just before, interrupts between runs and
// with the loop fetched through the virtual bus: the batched
// run must leave the whole CPU exactly as stepping does after every call.
TEST(Z80ExecuteCounted, CountdownLoopsMatchSteppingAtEveryLength)
{
    std::mt19937 rng(1206);
    std::vector<unsigned> wideCounts = {0, 1, 2, 3, 255, 256, 257, 4097};
    for (int i = 0; i < 4; ++i) wideCounts.push_back(rng() & 0xFFFF);
    int variant = 0;
    for (const CountdownLoop& loop : CountdownLoops()) {
        const unsigned countLimit = loop.wide ? static_cast<unsigned>(wideCounts.size()) : 256u;
        for (unsigned index = 0; index < 2 * countLimit; ++index, ++variant) {
            const unsigned count = loop.wide ? wideCounts[index / 2] : index / 2;
            const bool enterAtBranch = index % 2 == 1;
            if (kSanitizedBuild && !loop.wide && count % 8 != 0) continue;
            const bool ei = variant % 3 == 1;
            // Mostly the whole RAM as windows; sometimes none, sometimes a
            // read window that ends on the loop's last byte (the branch
            // displacement then comes through the virtual bus).
            const int windows = variant % 13 == 7 ? 0 : variant % 13 == 3 ? 1 : 2;
            Z80TestBoard batched;
            Z80TestBoard stepped;
            for (Z80TestBoard* b : {&batched, &stepped}) {
                const uint16_t loopEnd = PokeLoopProgram(*b, loop, count, ei, enterAtBranch);
                if (windows > 0) b->EnableWindows();
                if (windows == 1) {
                    b->fastReadSize = loopEnd - 1;
                    b->fastWriteSize = 0;
                }
                b->cpu.PC = 0x0100;
                b->cpu.SP = 0x8000;
                b->cpu.AF.W = 0x0001;  // carry set: DEC must keep it
                b->cpu.StatusFlags = CZ80::kIm1;
            }
            // Enough calls to run the loop through at least twice (a 16-bit
            // loop once), with odd budgets from tiny to long.
            const long iterationCost = loop.wide ? 22 : loop.body.size() == 2 ? 12 : 14;
            const long loopCost = iterationCost * ((count == 0) ? (loop.wide ? 65536 : 256) : count);
            long spent = 0;
            for (int call = 0; spent < loopCost * (loop.wide ? 1 : 2) + 200; ++call) {
                const uint32_t pick = rng() % 8;
                const int budget = pick < 4   ? static_cast<int>(rng() % 40) * 2 + 1
                                   : pick < 7 ? static_cast<int>(rng() % 2000) * 2 + 1
                                              : static_cast<int>(rng() % 400000) + 1;
                const bool irq = ei && rng() % 4 == 0;
                g_CurrentBoard = &batched;
                const int a = batched.cpu.ExecuteCounted(budget);
                if (irq) batched.cpu.Interrupt(0xFF);
                g_CurrentBoard = &stepped;
                const int b = StepCounted(stepped.cpu, budget);
                if (irq) stepped.cpu.Interrupt(0xFF);
                spent += budget - b;
                SCOPED_TRACE(testing::Message() << loop.name << " " << loop.body.size() << " bytes, count "
                                                << count << ", call " << call << ", budget " << budget);
                ASSERT_EQ(a, b);
                ExpectSameCpuState(batched.cpu, stepped.cpu);
                ASSERT_EQ(batched.memReads, stepped.memReads);
                if (testing::Test::HasFailure()) return;
            }
            ASSERT_TRUE(batched.ram == stepped.ram) << loop.name << " count " << count;
            // The loop really ran to its end and restarted.
            ASSERT_GE(batched.cpu.IY.W, 1) << loop.name << " count " << count;
        }
    }
}
