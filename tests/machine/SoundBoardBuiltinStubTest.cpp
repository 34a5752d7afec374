// The two driver stubs built into the program, run on a real board: a
// synthetic ROM supplies the sound program routines that each stub calls.
#include <gtest/gtest.h>

#include "support/SoundBoardTestRoms.h"
#include "cpu/Z80.h"
#include "support/ToneMeasure.h"
#include "kelvara-asm/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;

namespace {

uint16_t RamWord(CSoundBoard& board, uint16_t offset)
{
    return static_cast<uint16_t>(board.Ram()[offset] | board.Ram()[offset + 1] << 8);
}

// Boot: stack at the top of RAM, an empty call log at 0x8210 whose end
// pointer is kept at 0x8200, then idle.
void BootAndIdle(Z80Asm& a)
{
    a.di();
    a.ld_sp_nn(0xA000);
    a.ld_hl_nn(0x8210);
    a.ld_mem_hl(0x8200);
    a.label("idle");
    a.jr("idle");
}

// A ROM routine at `at` that appends its own low address byte to the call
// log, then goes on to `next` (or returns).
void LoggingRoutine(Z80Asm& a, uint16_t at, const char* next = nullptr)
{
    a.org(at);
    a.push(R16::AF);
    a.ld_hl_mem(0x8200);
    a.ld(R8::HLi, static_cast<uint8_t>(at));
    a.inc(R16::HL);
    a.ld_mem_hl(0x8200);
    a.pop(R16::AF);
    if (next) a.jp(next);
    else a.ret();
}

std::vector<uint8_t> CallLog(CSoundBoard& board)
{
    return std::vector<uint8_t>(board.Ram() + 0x210, board.Ram() + (RamWord(board, 0x200) - 0x8000));
}

} // namespace

// Type 40, 4300BFD3: codes FE and FF store their ROM address in two words
// and park; any other code goes once to the ROM's RST 28h routine with the
// code in A; the tick entry calls the ROM's update at 0x0B3B.
TEST(SoundBoardBuiltinStub, Type40StubPlaysCodesThroughRst28AndTicksTheUpdate)
{
    const MachineDef& def = *FindMachineDef(40);
    Z80Asm a(0);
    BootAndIdle(a);
    LoggingRoutine(a, 0x0028, "play");
    a.org(0x0200);
    EmitTonePlayer(a, def);
    a.org(0x0B3B);
    a.ld_hl_nn(0x8100);  // count the updates
    a.inc(R8::HLi);
    a.ret();
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(40, a.image(0x2000), BuiltinFixups(), file, 0x4300BFD3u);
    ASSERT_FALSE(board->NeedsMissingStub());

    for (auto [code, address] : {std::pair{0xFE, 0x19BF}, {0xFF, 0x1B19}}) {
        board->SendCommand(static_cast<uint8_t>(code));
        EXPECT_EQ(RamWord(*board, 0x43), address);
        EXPECT_EQ(RamWord(*board, 0x45), address);
        EXPECT_EQ(board->Cpu().PC, 0x901C);
    }
    EXPECT_TRUE(CallLog(*board).empty());

    board->Reset();
    board->SendCommand(0x25);
    RenderLeft(*board, 1000);
    const std::vector<int32_t> tone = RenderLeft(*board, 16384);
    const double measured = ToneMeasure::MeasureFrequency(std::span<const int32_t>(tone), 44100.0, 100.0, 3000.0);
    EXPECT_LT(ToneMeasure::RelativeError(measured, ExpectedToneHz(def, 0x25)), 0.005) << measured;
    EXPECT_GE(board->Ram()[0x0100], 40);  // 17384 samples hold about 208 tick periods
    EXPECT_EQ(CallLog(*board), std::vector<uint8_t>{0x28}) << "parked: the command must not run again";
}

// Type 24, 015D3C88: the command entry splits codes at 0x7F into two RAM
// slots (0x8081 below, 0x8082 = code - 0x80 from 0x7F up) and releases the
// board's handshake byte 0x8FFF; the tick entry calls the ROM's updates
// 0x00B3, 0x00E2 twice and 0x0038, then releases the handshake again.
TEST(SoundBoardBuiltinStub, Type24StubSplitsCodesIntoSlotsAndTicksTheUpdatesInOrder)
{
    Z80Asm idle(0);
    BootAndIdle(idle);
    for (uint16_t at : {0x0038, 0x00B3, 0x00E2}) LoggingRoutine(idle, at);
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(24, idle.image(0x2000), BuiltinFixups(), file, 0x015D3C88u);
    ASSERT_FALSE(board->NeedsMissingStub());
    for (auto [code, slot81, slot82] : {std::tuple{0x05, 0x05, 0x00}, {0x7E, 0x7E, 0x00}, {0x7F, 0x00, 0xFF},
                                        {0x85, 0x00, 0x05}, {0xFF, 0x00, 0x7F}}) {
        SCOPED_TRACE(code);
        board->WriteMem(0x8081, 0xAA);  // stale values from an earlier command
        board->WriteMem(0x8082, 0xBB);
        board->WriteMem(0x8FFF, 0xFF);
        board->SendCommand(static_cast<uint8_t>(code));
        EXPECT_EQ(board->Ram()[0x81], slot81);
        EXPECT_EQ(board->Ram()[0x82], slot82);
        EXPECT_EQ(board->Ram()[0xFFF], 0x00);
    }
    RenderLeft(*board, 300);  // 24357 cycles: three or four tick periods of 6712
    const std::vector<uint8_t> log = CallLog(*board);
    ASSERT_GE(log.size(), 12u);
    for (std::size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i], (std::vector<uint8_t>{0xB3, 0xE2, 0xE2, 0x38})[i % 4]) << i;
    EXPECT_EQ(board->Ram()[0xFFF], 0x00);
}
