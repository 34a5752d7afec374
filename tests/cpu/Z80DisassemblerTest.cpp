// CZ80::Disassemble and the execution trace, a debugging aid no product
// path turns on: every byte sequence gives a line that fits its buffer, and
// the trace logs each instruction, as text with its operands, before it
// runs. The exact templates are not pinned.
#include "Z80TestBoard.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Disassemble(Z80TestBoard& board, const std::vector<uint8_t>& bytes, uint16_t address,
                        uint16_t* length)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        board.ram[static_cast<uint16_t>(address + i)] = bytes[i];
    char text[CZ80::kDisassemblyBufferSize + 8];
    std::memset(text, '#', sizeof text);
    *length = board.cpu.Disassemble(text, address);
    EXPECT_LT(std::strlen(text), static_cast<std::size_t>(CZ80::kDisassemblyBufferSize));
    return text;
}

TEST(Z80Disassembler, EveryByteSequenceGivesALineThatFits)
{
    // All first/second byte combinations, with operand bytes that produce the
    // widest text.
    Z80TestBoard board;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            uint16_t length = 0;
            std::string text = Disassemble(
                board, {static_cast<uint8_t>(first), static_cast<uint8_t>(second), 0x80, 0xFF}, 0, &length);
            ASSERT_FALSE(text.empty());
            ASSERT_GE(length, 1);
            ASSERT_LE(length, 4);
            ASSERT_EQ(text.find_first_of("%^*@#"), std::string::npos) << text;
        }
    }
    // Across the top of memory.
    uint16_t length = 0;
    EXPECT_EQ(Disassemble(board, {0x21, 0x34, 0x12}, 0xFFFF, &length), "LD HL,1234h");
    EXPECT_EQ(length, 3);
}

TEST(Z80Trace, LogsEachInstructionInTheWindowBeforeItRunsOnlyWhenOn)
{
    for (bool on : {false, true}) {
        LogCapture capture;
        Z80TestBoard board;
        board.Poke(0, {0x3E, 0x01,                    // 0000 LD A,01h
                       0xDD, 0xDD, 0x21, 0x00, 0x01,  // 0002 DD DD LD IX,0100h
                       0xC3, 0x00, 0x20});            // 0007 JP 2000h
        board.Poke(0x2000, {0x00, 0x76});
        board.cpu.TraceOn = on;
        board.cpu.TraceLow = 0x0000;
        board.cpu.TraceHigh = 0x1FFF;
        board.cpu.Execute(100);
        const std::vector<std::string> expected = {
            "0000 : LD A,01h\n", "0002 : PFX_DD\n", "0003 : LD IX,0100h\n", "0007 : JP 2000h\n"};
        EXPECT_EQ(capture.Lines(), on ? expected : std::vector<std::string>{});
    }
}

}  // namespace
