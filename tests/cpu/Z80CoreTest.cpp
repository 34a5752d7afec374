// CZ80 execution loop: budgets and cycle counts, EI/DI/HALT, block
// instructions that pause and resume, and the prefix forms with their exact
// (and zero) costs. Plain ALU and block-compare flags are left to the
// instruction exercisers.
#include "Z80TestBoard.h"

#include <gtest/gtest.h>

namespace {

constexpr uint8_t kC = CZ80::kFlagC, kN = CZ80::kFlagN, kPV = CZ80::kFlagPV, kH = CZ80::kFlagH,
                  kZ = CZ80::kFlagZ;

// Fills RAM from 'from' on with LD BC,nn (10 T-states each), so the number of
// T-states left after a prefix can be read from the overrun.
void FillWithLoadBc(Z80TestBoard& board, uint16_t from)
{
    for (uint32_t a = from; a + 3 <= 0x1000; a += 3)
        board.Poke(static_cast<uint16_t>(a), {0x01, 0x00, 0x00});
}

TEST(Z80Core, ResetClearsTheState)
{
    Z80TestBoard board;
    CZ80& cpu = board.cpu;
    cpu.AF.W = cpu.HL.W = cpu.IX.W = cpu.BC2.W = 0x1234;
    cpu.PC = 0x4000;
    cpu.StatusFlags = 0xFF;
    cpu.TraceOn = 1;
    cpu.Reset();
    EXPECT_EQ(cpu.AF.W | cpu.HL.W | cpu.IX.W | cpu.BC2.W | cpu.PC | cpu.StatusFlags | cpu.TraceOn, 0);
    EXPECT_EQ(cpu.SP, 0xF000);
}

TEST(Z80Core, BudgetOfOneRunsExactlyOneInstructionAndReturnsTheOverrun)
{
    struct Case {
        std::initializer_list<uint8_t> code;
        uint8_t flags;
        int expected;
        uint16_t pcAfter;
    };
    const Case cases[] = {
        {{0x00}, 0, -3, 1},                 // NOP
        {{0x10, 0xFE}, 0, -12, 0},          // DJNZ $ taken (B 0 -> 255): 13
        {{0x20, 0x10}, 0, -11, 0x12},       // JR NZ taken
        {{0x20, 0x10}, kZ, -6, 2},          // JR NZ not taken
        {{0xC4, 0x00, 0x20}, 0, -16, 0x2000},  // CALL NZ taken: 17
        {{0xC4, 0x00, 0x20}, kZ, -9, 3},    // CALL NZ not taken: 10
        {{0xC8}, kZ, -10, 0x5678},          // RET Z taken: 11 (stack holds 0x5678)
        {{0xC8}, 0, -4, 1},                 // RET Z not taken: 5
        {{0xE3}, 0, -18, 1},                // EX (SP),HL: 19
        {{0xDD, 0x66, 0x05}, 0, -18, 3},    // LD H,(IX+5): 19
    };
    for (const Case& c : cases) {
        Z80TestBoard board;
        board.Poke(0, c.code);
        board.cpu.SP = 0x8000;
        board.Poke(0x8000, {0x78, 0x56});
        board.cpu.AF.B.L = c.flags;
        EXPECT_EQ(board.cpu.Execute(1), c.expected) << "opcode " << int(*c.code.begin());
        EXPECT_EQ(board.cpu.PC, c.pcAfter) << "opcode " << int(*c.code.begin());
    }
}

// EI takes effect after the next instruction and keeps the budget; with
// interrupts already on it does not delay; a DI right after it cancels it.
TEST(Z80Core, EiTakesEffectAfterTheNextInstructionUnlessOnOrCancelled)
{
    Z80TestBoard board;
    board.Poke(0, {0xFB, 0x00});  // EI ; NOP ; then LD BC,nn from 2 on
    FillWithLoadBc(board, 2);
    // 100 - 4 - 4 = 92 left after the NOP: nine loads leave 2, the tenth -8.
    EXPECT_EQ(board.cpu.Execute(100), -8);
    EXPECT_EQ(board.cpu.PC, 2 + 10 * 3);
    EXPECT_EQ(board.cpu.StatusFlags & (CZ80::kIff1 | CZ80::kIff2 | CZ80::kEiPending), CZ80::kIff1 | CZ80::kIff2);

    board.cpu.Reset();
    board.cpu.StatusFlags = CZ80::kIff1 | CZ80::kIff2;
    EXPECT_EQ(board.cpu.Execute(1), -3);  // EI alone; no lent cycle, no second instruction
    EXPECT_EQ(board.cpu.PC, 1);

    board.cpu.Reset();
    board.Poke(0, {0xFB, 0xF3});  // EI ; DI
    EXPECT_EQ(board.cpu.Execute(100), -8);  // 92 left after EI and DI, as above
    EXPECT_EQ(board.cpu.StatusFlags & (CZ80::kIff1 | CZ80::kIff2 | CZ80::kEiPending), 0);
}

TEST(Z80Core, HaltDropsTheBudgetAndStaysOnItsOpcode)
{
    Z80TestBoard board;
    board.Poke(0, {0x00, 0x76});
    EXPECT_EQ(board.cpu.Execute(1000), 0);
    EXPECT_EQ(board.cpu.PC, 1);
    EXPECT_TRUE(board.cpu.StatusFlags & CZ80::kHalt);
    EXPECT_EQ(board.cpu.Execute(1), 0);  // HALT again: 4 T-states, then dropped
    EXPECT_EQ(board.cpu.Execute(1000), 0);
    EXPECT_EQ(board.cpu.PC, 1);
}

TEST(Z80Core, LdirPausesWhenTheBudgetRunsOutAndResumes)
{
    Z80TestBoard board;
    board.Poke(0x10, {0xED, 0xB0, 0x76});  // LDIR ; HALT
    board.Poke(0x4000, {0xA1, 0xA2, 0xA3});

    auto setUp = [&] {
        board.cpu.Reset();
        board.cpu.PC = 0x10;
        board.cpu.HL.W = 0x4000;
        board.cpu.DE.W = 0x5000;
        board.cpu.BC.W = 3;
    };
    setUp();
    EXPECT_EQ(board.cpu.Execute(58), 0);  // 21 + 21 + 16
    EXPECT_EQ(board.cpu.PC, 0x12);
    EXPECT_EQ(board.cpu.BC.W, 0);
    EXPECT_FALSE(board.cpu.AF.B.L & kPV);

    std::fill(board.ram.begin() + 0x5000, board.ram.begin() + 0x5003, 0);
    setUp();
    EXPECT_EQ(board.cpu.Execute(30), -12);
    EXPECT_EQ(board.cpu.PC, 0x10);  // back on the ED byte
    EXPECT_EQ(board.cpu.BC.W, 1);
    EXPECT_TRUE(board.cpu.AF.B.L & kPV);
    EXPECT_EQ(board.ram[0x5001], 0xA2);
    EXPECT_EQ(board.ram[0x5002], 0);
    EXPECT_EQ(board.cpu.Execute(16), 0);  // the last iteration
    EXPECT_EQ(board.cpu.PC, 0x12);
    EXPECT_EQ(board.ram[0x5002], 0xA3);
    EXPECT_EQ(board.cpu.BC.W, 0);
    EXPECT_EQ(board.cpu.AF.B.L & (kPV | kH | kN), 0);
}

TEST(Z80Core, BlockOutputAndInputUsePortCAndCountB)
{
    Z80TestBoard board;
    board.Poke(0, {0xED, 0xB3, 0xED, 0xB2});  // OTIR ; INIR
    board.Poke(0x4000, {0x9C});
    board.cpu.BC.W = 0x0140;
    board.cpu.HL.W = 0x4000;
    EXPECT_EQ(board.cpu.Execute(1), -15);
    ASSERT_EQ(board.portWrites.size(), 1u);
    EXPECT_EQ(board.portWrites[0].port, 0x40);
    EXPECT_EQ(board.portWrites[0].value, 0x9C);
    EXPECT_EQ(board.cpu.AF.B.L, 0x42);

    board.portValue = 0x5A;
    board.cpu.BC.W = 0x0311;
    board.cpu.HL.W = 0x6000;
    EXPECT_EQ(board.cpu.Execute(30), -12);  // two of three, then pause
    EXPECT_EQ(board.cpu.AF.B.L, 0x02);
    EXPECT_EQ(board.cpu.PC, 2);
    EXPECT_EQ(board.cpu.Execute(1), -15);
    EXPECT_EQ(board.cpu.AF.B.L, 0x42);
    EXPECT_EQ(board.portReads, (std::vector<uint8_t>{0x11, 0x11, 0x11}));
    EXPECT_EQ(board.ram[0x6002], 0x5A);
}

TEST(Z80Core, PrefixChainsAndPlainFormsCostWhatTheirTablesSay)
{
    Z80TestBoard board;
    // DD 00 is a free NOP: the NOP after it is the first cost.
    board.Poke(0, {0xDD, 0x00, 0x00});
    EXPECT_EQ(board.cpu.Execute(1), -3);
    EXPECT_EQ(board.cpu.PC, 3);

    // DD DD 21 nn nn: the first prefix is dropped, LD IX,nn costs 14.
    board.cpu.Reset();
    board.Poke(0, {0xDD, 0xDD, 0x21, 0x34, 0x12});
    EXPECT_EQ(board.cpu.Execute(1), -13);
    EXPECT_EQ(board.cpu.IX.W, 0x1234);
    EXPECT_EQ(board.cpu.PC, 5);

    // FD DD 21 nn nn: the last prefix decides.
    board.cpu.Reset();
    board.Poke(0, {0xFD, 0xDD, 0x21, 0x78, 0x56});
    board.cpu.Execute(1);
    EXPECT_EQ(board.cpu.IX.W, 0x5678);
    EXPECT_EQ(board.cpu.IY.W, 0);

    // DD ED: the ED is swallowed, the next byte is a new instruction.
    board.cpu.Reset();
    board.Poke(0, {0xDD, 0xED, 0x3E, 0x42});  // ... LD A,42h
    EXPECT_EQ(board.cpu.Execute(1), -6);
    EXPECT_EQ(board.cpu.AF.B.H, 0x42);

    // DD 20 e (JR NZ behind a prefix) costs only the taken extra of 5.
    board.cpu.Reset();
    board.Poke(0, {0xDD, 0x20, 0x02, 0x00, 0x00, 0x00});
    EXPECT_EQ(board.cpu.Execute(1), -4);
    EXPECT_EQ(board.cpu.PC, 5);
}

TEST(Z80Core, IndexedBitGroupCarriesOnlyTheMemoryForms)
{
    Z80TestBoard board;
    board.cpu.IX.W = 0x4010;
    board.Poke(0x400B, {0x81});
    // DD CB F8 00 would be "RLC (IX-8),B": not carried, no effect, no cost.
    board.Poke(0, {0xDD, 0xCB, 0xFB, 0x00, 0x00});
    board.cpu.BC.W = 0x5555;
    board.cpu.AF.B.L = 0xFF;
    EXPECT_EQ(board.cpu.Execute(1), -3);
    EXPECT_EQ(board.ram[0x400B], 0x81);
    EXPECT_EQ(board.cpu.BC.W, 0x5555);
    EXPECT_EQ(board.cpu.AF.B.L, 0xFF);

    board.cpu.Reset();
    board.cpu.IX.W = 0x4010;
    board.Poke(0, {0xDD, 0xCB, 0xFB, 0x06,    // RLC (IX-5)
                   0xDD, 0xCB, 0xFB, 0x7A,    // BIT 7,(IX-5), an alternative encoding
                   0xDD, 0xCB, 0xFB, 0xBE,    // RES 7,(IX-5)
                   0xDD, 0xCB, 0xFB, 0x36});  // SLL (IX-5)
    EXPECT_EQ(board.cpu.Execute(1), -22);
    EXPECT_EQ(board.ram[0x400B], 0x03);
    EXPECT_EQ(board.cpu.AF.B.L, kC | kPV);
    EXPECT_EQ(board.cpu.Execute(1), -19);
    EXPECT_EQ(board.cpu.AF.B.L, kZ | kH | kPV | kC);
    board.cpu.Execute(1);
    EXPECT_EQ(board.ram[0x400B], 0x03);
    board.cpu.Execute(1);
    EXPECT_EQ(board.ram[0x400B], 0x07);
}

TEST(Z80Core, LdARMixesTheBudgetIntoTheRefreshRegister)
{
    Z80TestBoard board;
    board.Poke(0, {0xED, 0x5F, 0x76});  // LD A,R ; HALT
    board.cpu.R = 0x10;
    board.cpu.AF.B.L = kC;
    board.cpu.StatusFlags = CZ80::kIff2;
    EXPECT_EQ(board.cpu.Execute(12), 0);
    // R becomes 0x11; 12 - 9 = 3 left after LD A,R: A = 0x11 - 0x03.
    EXPECT_EQ(board.cpu.AF.B.H, 0x0E);
    EXPECT_EQ(board.cpu.R, 0x11);
    EXPECT_EQ(board.cpu.AF.B.L, kPV | kC);  // IFF2 as P/V, C kept

    board.cpu.Reset();
    board.cpu.R = 0x11;
    board.Poke(0, {0xED, 0x5F, 0xED, 0x4F});  // LD A,R ; LD R,A
    EXPECT_EQ(board.cpu.Execute(1), -8);
    EXPECT_EQ(board.cpu.R, 0x12);
    EXPECT_EQ(board.cpu.AF.B.H, static_cast<uint8_t>(0x12 - 0xF8));
    EXPECT_EQ(board.cpu.AF.B.L, 0);  // IFF2 clear
    board.cpu.AF.B.H = 0x99;
    board.cpu.Execute(1);  // LD R,A has no effect
    EXPECT_EQ(board.cpu.R, 0x12);
}

TEST(Z80Core, UndefinedEdOpcodesDoNothingAndCostNothing)
{
    Z80TestBoard board;
    board.Poke(0, {0xED, 0x71, 0xED, 0x4C, 0xED, 0xFF, 0x00});
    board.cpu.AF.W = 0x12FF;
    board.cpu.BC.W = 0x3456;
    EXPECT_EQ(board.cpu.Execute(1), -3);  // the NOP is the only cost
    EXPECT_EQ(board.cpu.PC, 7);
    EXPECT_TRUE(board.portWrites.empty());
    EXPECT_EQ(board.cpu.AF.W, 0x12FF);

    // ED 70: reads the port for the flags only.
    board.cpu.Reset();
    board.Poke(0, {0xED, 0x70});
    board.portValue = 0x00;
    board.cpu.AF.W = 0x1201;
    board.cpu.HL.W = 0x7777;
    EXPECT_EQ(board.cpu.Execute(1), -11);
    EXPECT_EQ(board.cpu.AF.W, 0x1200 | kZ | kPV | kC);
    EXPECT_EQ(board.cpu.HL.W, 0x7777);

    // ED ED: the first is dropped, the second starts the next instruction.
    board.cpu.Reset();
    board.Poke(0, {0xED, 0xED, 0x44});  // ... NEG
    board.cpu.AF.W = 0x0100;
    EXPECT_EQ(board.cpu.Execute(1), -7);
    EXPECT_EQ(board.cpu.AF.B.H, 0xFF);
}

TEST(Z80Core, RunsOfFreeInstructionsCannotStallTheBudget)
{
    // Memory made only of prefix bytes, or a free loop (DD C3 00 00 is JP 0
    // at no cost), must still end every Execute.
    for (uint8_t fill : {0xDD, 0xFD, 0xED}) {
        Z80TestBoard board;
        std::fill(board.ram.begin(), board.ram.end(), fill);
        EXPECT_LE(board.cpu.Execute(1), 0);
        EXPECT_LE(board.cpu.Execute(1000), 0);
    }
    Z80TestBoard board;
    board.Poke(0, {0xDD, 0xC3, 0x00, 0x00});
    EXPECT_LE(board.cpu.Execute(50), 0);
    EXPECT_EQ(board.cpu.PC, 0);
    // Short runs stay free: 64 free instructions then a NOP.
    Z80TestBoard shortRun;
    for (int i = 0; i < CZ80::kFreeRunLimit; ++i)
        shortRun.Poke(static_cast<uint16_t>(2 * i), {0xDD, 0x00});
    EXPECT_EQ(shortRun.cpu.Execute(1), -3);
}

}  // namespace
