// The board's clock: counted cycles, the interrupt and tick timers, the
// tick entry and its type-24 handshake, and how CPU time maps onto samples.
#include <gtest/gtest.h>

#include "SoundBoardTestRoms.h"
#include "cpu/Z80.h"
#include "support/RomForge.h"
#include "support/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;

namespace {

// Little-endian word the first interrupt pushed just below `stackTop`.
uint16_t FirstPushedPc(CSoundBoard& board, uint16_t stackTop)
{
    uint16_t low = board.ReadMem(static_cast<uint16_t>(stackTop - 2));
    uint16_t high = board.ReadMem(static_cast<uint16_t>(stackTop - 1));
    return static_cast<uint16_t>(low | high << 8);
}

// A stub for RAM 0x9000 whose tick entry 0x9020 counts in RAM 0x8100 (and,
// if asked, clears type 24's handshake byte 0x8FFF) and parks at 0x9027.
std::vector<uint8_t> CountingTickStub(bool clearsHandshake)
{
    Z80Asm s(0x9000, 0x00);
    s.org(0x9020);
    s.ld_a_mem(0x8100);
    s.inc(R8::A);
    s.ld_mem_a(0x8100);
    if (clearsHandshake) {
        s.xor_(R8::A);
        s.ld_mem_a(0x8FFF);
    }
    s.label("park");
    s.jr("park");
    return s.image(64);
}

} // namespace

// Type 4: NMI tick every 3575 counted cycles. The program before the NOP
// sled costs 9 + 9 + 6 + 5 = 29 counted cycles, so after 1182 NOPs the
// total is exactly 3575: the tick must wait for one more step.
TEST(SoundBoardTiming, TickNmiComesStrictlyAfterThePeriodAndThenEveryPeriod)
{
    Z80Asm a(0, 0x00);
    a.ld_sp_nn(0xA000);  // 10 T
    a.jp(0x0100);        // 10 T
    a.org(0x0066);
    a.label("nmi");
    a.jr("nmi");
    a.org(0x0100);
    a.ld_a_n(0);         // 7 T
    a.inc(R16::BC);      // 6 T, then NOPs (4 T each)
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(4, a.image(0x1FF0), fixups, file);

    EXPECT_EQ(FirstPushedPc(*board, 0xA000), 0x0103 + 1183);  // the sled starts at 0x0103
    // 357954 boot cycles hold exactly 100 tick periods; each NMI pushed a
    // return address (the handler never returns).
    EXPECT_EQ(board->Cpu().SP, 0xA000 - 2 * 100);
}

// Type 0: maskable interrupt (RST 38h data, mode 1) every 4892 counted
// cycles. LD SP (9) + IM 1 (7) + JP (9) + EI with its NOP (7) = 32, and
// 4892 - 32 is a whole number of NOPs: equality must not interrupt yet.
TEST(SoundBoardTiming, FirstMaskableInterruptComesStrictlyAfterThePeriod)
{
    Z80Asm a(0, 0x00);
    a.ld_sp_nn(0x4000);
    a.im(1);
    a.jp(0x0100);
    a.org(0x0038);
    a.label("irq");
    a.jr("irq");
    a.org(0x0100);
    a.ei();
    a.nop();
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(0, a.image(0x1FF0), fixups, file);
    EXPECT_EQ(FirstPushedPc(*board, 0x4000), 0x0102 + 1621);
}

// The tick entry is ignored during the boot run and taken right after it;
// a CPU halted in the sound program leaves HALT when it is moved there.
TEST(SoundBoardTiming, TickEntryNeverMovesPcDuringBootButDoesAfterIt)
{
    // Type 12: tick period 6705, tick entry 0x9020. The stub is placed
    // before the boot here so that an early tick would be seen.
    Z80Asm rom(0);
    rom.di();
    rom.ld_sp_nn(0xA000);
    rom.halt();
    TestFixups fixups;
    fixups.SetStub(fixups.Add(12, FirstRomCrcForType(12)), CountingTickStub(false), 0x1000, true);
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(12, rom.image(0x2000), fixups, file);

    EXPECT_EQ(board->Ram()[0x0100], 0) << "tick entry taken during boot";
    EXPECT_LT(board->Cpu().PC, 0x2000);
    EXPECT_TRUE(board->Cpu().StatusFlags & CZ80::kHalt);

    RenderLeft(*board, 200);  // 16234 cycles: two or three tick periods
    EXPECT_GE(board->Ram()[0x0100], 2);
    EXPECT_LE(board->Ram()[0x0100], 3);
    EXPECT_FALSE(board->Cpu().StatusFlags & CZ80::kHalt);
    EXPECT_EQ(board->Cpu().PC, 0x9027);  // parked in the stub
}

// Type 24: the board enters the tick entry only while RAM 0x8FFF is 0 and
// sets it to 0xFF on entry; the stub clears it when its work is done.
TEST(SoundBoardTiming, Type24ReentersTickOnlyAfterStubClearsHandshake)
{
    Z80Asm rom(0);
    rom.di();
    rom.label("idle");
    rom.jr("idle");

    for (bool clears : {false, true}) {
        TestFixups fixups;
        fixups.SetStub(fixups.Add(24, FirstRomCrcForType(24)), CountingTickStub(clears), 0x1000, false);
        std::unique_ptr<TempRom> file;
        auto board = MakeBoard(24, rom.image(0x2000), fixups, file);
        RenderLeft(*board, 1000);  // 81170 cycles: 12 or 13 tick periods of 6712
        if (clears) {
            EXPECT_GE(board->Ram()[0x0100], 12);
            EXPECT_LE(board->Ram()[0x0100], 13);
            EXPECT_EQ(board->Ram()[0x0FFF], 0);
        } else {
            EXPECT_EQ(board->Ram()[0x0100], 1);
            EXPECT_EQ(board->Ram()[0x0FFF], 0xFF);
        }
    }
}

// Type 0 running NOPs (3 counted cycles each) from 0x0100: each sample runs
// 27 or 28 of them at 44100 Hz, carrying the overrun, and the total matches
// the clock to one instruction. A new rate takes effect at the next reset.
TEST(SoundBoardTiming, RenderSampleRunsCyclesPerSampleCarryingTheOverrun)
{
    Z80Asm a(0, 0x00);
    a.org(0x1FF0);
    a.jp(0x0100);
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(0, a.image(0x2000), fixups, file);
    for (uint32_t rate : {44100u, 22050u}) {
        SCOPED_TRACE(rate);
        if (rate != 44100) {
            board->SetSampleRate(rate);
            EXPECT_NEAR(board->CyclesPerSample(), 3579545.0 / 44100.0, 1e-9) << "changed before the reset";
            board->Reset();
            EXPECT_EQ(board->SampleRate(), rate);
        }
        const double perSample = 3579545.0 / rate;
        EXPECT_NEAR(board->CyclesPerSample(), perSample, 1e-9);
        board->Cpu().PC = 0x0100;
        const int samples = static_cast<int>(200 * rate / 44100);  // stay on the sled
        int total = 0;
        int32_t l, r;
        for (int i = 0; i < samples; ++i) {
            const uint16_t before = board->Cpu().PC;
            board->RenderSample(l, r);
            const int nops = board->Cpu().PC - before;
            EXPECT_TRUE(nops == int(perSample / 3) || nops == int(perSample / 3) + 1) << nops;
            EXPECT_LT(board->SampleAccumulator(), 1.0);
            EXPECT_GT(board->SampleAccumulator(), -3.0);
            total += nops;
        }
        EXPECT_NEAR(total * 3.0, samples * perSample, 3.0);
    }
}

// A CPU halted with interrupts off spends no cycles; running it for a
// budget must still end (type 28 runs 500 cycles between its two NMIs).
TEST(SoundBoardTiming, RunCyclesEndsOnAHaltedCpu)
{
    Z80Asm a(0);
    a.di();
    a.halt();
    a.org(0x0066);
    a.halt();
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(28, a.image(0x2000), fixups, file);
    EXPECT_GE(board->RunCycles(100), 100);
    board->SendCommand(0x21);  // returns: the test would hang otherwise
    EXPECT_EQ(board->Latch(), 0xFF);
    EXPECT_EQ(board->RunCycles(0), 0);
    EXPECT_EQ(board->RunTimed(-5), 0);
}
