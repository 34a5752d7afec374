// The readable write window: with fastWriteReadable set, reads of the
// write window's addresses come from its memory without calling ReadMem,
// on every read path of the core (fetch, operand read, prefixed read, the
// free function); without it they go to ReadMem.
#include "Z80TestBoard.h"

#include <gtest/gtest.h>

namespace {

// ROM window 0x0000-0x0FFF over `ram`; a separate 4 KB "RAM" at 0x8000 as
// write window, whose ReadMem view differs (ReadMem answers from `ram`,
// where 0x8000.. hold other bytes), so the test sees which path served.
struct SplitBoard : Z80TestBoard {
    uint8_t window[0x1000] = {};
    explicit SplitBoard(bool readable)
    {
        fastRead = ram.data();
        fastReadSize = 0x1000;
        fastWrite = window;
        fastWriteStart = 0x8000;
        fastWriteSize = sizeof window;
        fastWriteReadable = readable;
    }
};

} // namespace

TEST(Z80BusWindow, ReadableWriteWindowServesReadsWithoutReadMem)
{
    for (bool readable : {false, true}) {
        SplitBoard board(readable);
        // LD A,(8000h); LD HL,8001h; ADD A,(HL); BIT 0,(HL); LD SP,3000h (stack
        // outside the window); CALL 8010h
        // (code in the window: LD B,A; RET), and HALT.
        board.Poke(0, {0x3A, 0x00, 0x80, 0x21, 0x01, 0x80, 0x86, 0xCB, 0x46, 0x31, 0x00, 0x30,
                       0xCD, 0x10, 0x80, 0x76});
        board.window[0x000] = 0x11;
        board.window[0x001] = 0x22;
        board.window[0x010] = 0x47;  // LD B,A
        board.window[0x011] = 0xC9;  // RET
        board.ram[0x8000] = 0x01;    // what ReadMem would answer instead
        board.ram[0x8001] = 0x02;
        board.ram[0x8010] = 0x4F;    // LD C,A
        board.ram[0x8011] = 0xC9;
        board.cpu.ExecuteCounted(200);
        SCOPED_TRACE(readable);
        EXPECT_EQ(board.cpu.PC, 0x000F);
        if (readable) {
            EXPECT_EQ(board.cpu.AF.B.H, 0x33);
            EXPECT_EQ(board.cpu.BC.B.H, 0x33);
            EXPECT_EQ(board.memReads, 2);  // only RET's two stack reads
            EXPECT_EQ(Z80ReadMem(0x8001), 0x22);
        } else {
            EXPECT_EQ(board.cpu.AF.B.H, 0x03);
            EXPECT_EQ(board.cpu.BC.B.L, 0x03);
            EXPECT_GT(board.memReads, 2);
            EXPECT_EQ(Z80ReadMem(0x8001), 0x02);
        }
    }
}
