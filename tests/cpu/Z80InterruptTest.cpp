// CZ80::Interrupt: NMI and maskable entry in modes 0, 1 and 2, with and
// without HALT.
#include "Z80TestBoard.h"

#include <gtest/gtest.h>

namespace {

struct InterruptBoard : Z80TestBoard {
    InterruptBoard()
    {
        cpu.SP = 0x8000;
        cpu.PC = 0x1234;
    }
    uint16_t PushedWord() const { return static_cast<uint16_t>(ram[cpu.SP] | ram[cpu.SP + 1] << 8); }
};

constexpr uint8_t kOn = CZ80::kIff1 | CZ80::kIff2;

TEST(Z80Interrupt, MaskableEntryFollowsTheInterruptMode)
{
    struct Case {
        uint8_t mode;
        uint16_t value;
        uint16_t expectedPc;
    };
    const Case cases[] = {
        {CZ80::kIm1, 0x0000, 0x0038}, {CZ80::kIm1, 0x00C7, 0x0038},  // value ignored
        {0, 0x00FF, 0x0038},          {0, 0x00C7, 0x0000},
        {0, 0x00EF, 0x0028},          {CZ80::kIm2, 0x0034, 0xBEEF},
    };
    for (const Case& c : cases) {
        InterruptBoard board;
        board.cpu.I = 0x12;
        board.Poke(0x1234, {0xEF, 0xBE});
        board.cpu.StatusFlags = kOn | c.mode;
        board.cpu.CyclesLeft = 77;
        board.cpu.Interrupt(c.value);
        EXPECT_EQ(board.cpu.PC, c.expectedPc) << "mode bits " << int(c.mode) << " value " << c.value;
        EXPECT_EQ(board.cpu.SP, 0x7FFE);
        EXPECT_EQ(board.PushedWord(), 0x1234);
        EXPECT_EQ(board.cpu.StatusFlags & (kOn | CZ80::kEiPending), 0);
        EXPECT_EQ(board.cpu.StatusFlags & (CZ80::kIm1 | CZ80::kIm2), c.mode);  // mode kept
        EXPECT_EQ(board.cpu.CyclesLeft, 77);  // entry charges nothing
    }
}

TEST(Z80Interrupt, HaltedCpuWakesOnAnyRequestAndOnlyAnAcceptedOneIsEntered)
{
    for (bool enabled : {false, true}) {
        InterruptBoard board;
        board.Poke(0x1234, {0x76});
        board.cpu.StatusFlags = enabled ? kOn | CZ80::kIm1 : 0;
        board.cpu.Execute(10);
        ASSERT_TRUE(board.cpu.StatusFlags & CZ80::kHalt);
        board.cpu.Interrupt(0x00FF);
        EXPECT_FALSE(board.cpu.StatusFlags & CZ80::kHalt);
        if (enabled) {
            EXPECT_EQ(board.cpu.PC, 0x0038);
            EXPECT_EQ(board.PushedWord(), 0x1235);  // returns past the HALT
        } else {
            EXPECT_EQ(board.cpu.PC, 0x1235);
            EXPECT_EQ(board.cpu.SP, 0x8000);  // nothing pushed, nothing remembered
        }
    }
}

TEST(Z80Interrupt, NmiIsTakenWhileDisabledAndKeepsIff2)
{
    for (uint8_t iff2 : {uint8_t{0}, CZ80::kIff2}) {
        InterruptBoard board;
        board.cpu.StatusFlags = static_cast<uint8_t>(iff2 | CZ80::kIm2);
        board.cpu.Interrupt(CZ80::kNmi);
        EXPECT_EQ(board.cpu.PC, 0x0066);
        EXPECT_EQ(board.PushedWord(), 0x1234);
        EXPECT_EQ(board.cpu.StatusFlags, iff2 | CZ80::kIm2);
    }
    // With interrupts on, NMI clears IFF1 only; RETN brings it back.
    InterruptBoard board;
    board.Poke(0x0066, {0xED, 0x45});
    board.cpu.StatusFlags = kOn;
    board.cpu.Interrupt(CZ80::kNmi);
    EXPECT_EQ(board.cpu.StatusFlags & kOn, CZ80::kIff2);
    board.cpu.Execute(1);
    EXPECT_EQ(board.cpu.PC, 0x1234);
    EXPECT_EQ(board.cpu.StatusFlags & kOn, kOn);
}

TEST(Z80Interrupt, ModeZeroRefusesANonRstValueWithoutTouchingTheStack)
{
    InterruptBoard board;
    board.cpu.StatusFlags = kOn;
    board.cpu.Interrupt(0x0038);  // not an RST opcode
    EXPECT_EQ(board.cpu.PC, 0x1234);
    EXPECT_EQ(board.cpu.SP, 0x8000);
    EXPECT_EQ(board.cpu.StatusFlags, kOn);  // still enabled for the next request
}

}  // namespace
