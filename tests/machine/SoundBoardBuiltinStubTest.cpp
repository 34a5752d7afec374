// The two driver stubs built into the program, run on a real board: a
// synthetic ROM supplies the sound program routines that each stub calls.
#include <gtest/gtest.h>

#include "SoundBoardTestRoms.h"
#include "support/ToneMeasure.h"
#include "support/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;

namespace {

double MeasuredTone(CSoundBoard& board)
{
    RenderLeft(board, 1000);
    std::vector<int32_t> tone = RenderLeft(board, 16384);
    return ToneMeasure::MeasureFrequency(std::span<const int32_t>(tone), 44100.0, 100.0, 3000.0);
}

} // namespace

// Type 40, 4300BFD3: the command entry hands ordinary codes to the ROM's
// RST 28h routine; the tick entry calls the ROM's update at 0x0B3B.
TEST(SoundBoardBuiltinStub, Type40StubPlaysCodesThroughRst28AndTicksTheUpdate)
{
    const MachineDef& def = *FindMachineDef(40);
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(0xA000);
    a.label("idle");
    a.jr("idle");
    a.org(0x0028);
    a.jp("play");
    a.org(0x0200);
    EmitTonePlayer(a, def);
    a.org(0x0B3B);
    a.ld_hl_nn(0x8100);  // count the updates
    a.inc(R8::HLi);
    a.ret();
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(40, a.image(0x2000), BuiltinFixups(), file, 0x4300BFD3u);
    ASSERT_FALSE(board->NeedsMissingStub());

    board->SendCommand(0x25);
    const double measured = MeasuredTone(*board);
    EXPECT_LT(ToneMeasure::RelativeError(measured, ExpectedToneHz(def, 0x25)), 0.005) << measured;
    EXPECT_GE(board->Ram()[0x0100], 40);  // 17384 samples hold about 208 tick periods

    board->Reset();
    board->SendCommand(0xFE);
    const uint8_t* ram = board->Ram();
    EXPECT_EQ(ram[0x43] | ram[0x44] << 8, 0x19BF);
    EXPECT_EQ(ram[0x45] | ram[0x46] << 8, 0x19BF);
}

// Type 24, 015D3C88: the command entry leaves the code in RAM for the ROM's
// update at 0x00B3, which the tick entry calls; the stub releases the
// board's handshake byte after each of its routines.
TEST(SoundBoardBuiltinStub, Type24StubHandsCodeToTheTickRoutineAndReleasesTheHandshake)
{
    const MachineDef& def = *FindMachineDef(24);
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(0xA000);
    a.label("idle");
    a.jr("idle");
    a.org(0x0038);
    a.ret();
    a.org(0x00B3);
    a.ld_a_mem(0x8081);  // a code waiting?
    a.or_(R8::A);
    a.ret(Z80Asm::Cc::Z);
    a.call("play");
    a.xor_(R8::A);
    a.ld_mem_a(0x8081);
    a.ret();
    a.org(0x00E2);
    a.ret();
    a.org(0x0200);
    EmitTonePlayer(a, def);
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(24, a.image(0x2000), BuiltinFixups(), file, 0x015D3C88u);
    ASSERT_FALSE(board->NeedsMissingStub());

    board->SendCommand(0x25);
    EXPECT_EQ(board->Ram()[0x0081], 0x25);
    const double measured = MeasuredTone(*board);
    EXPECT_LT(ToneMeasure::RelativeError(measured, ExpectedToneHz(def, 0x25)), 0.005) << measured;
    EXPECT_EQ(board->Ram()[0x0081], 0x00);  // taken by the update routine
    EXPECT_EQ(board->Ram()[0x0FFF], 0x00);  // handshake released
}
