// The board's clock: counted cycles, the interrupt and tick timers, the
// tick entry and its type-24 handshake, and how CPU time maps onto samples.
#include <gtest/gtest.h>

#include "support/SoundBoardTestRoms.h"
#include "cpu/Z80.h"
#include "support/RomForge.h"
#include "kelvara-asm/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;

namespace {

// Little-endian word the first interrupt pushed just below `stackTop`.
uint16_t FirstPushedPc(CSoundBoard& board, uint16_t stackTop)
{
    return static_cast<uint16_t>(board.ReadMem(static_cast<uint16_t>(stackTop - 2)) |
                                 board.ReadMem(static_cast<uint16_t>(stackTop - 1)) << 8);
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

// Type 4 takes an NMI tick every 3575 counted cycles: the code before the
// NOP sled costs 9 + 9 + 6 + 5 = 29, so after 1182 NOPs the total is exactly
// 3575 and the tick must wait one more step. Type 0 takes a maskable
// interrupt (RST 38h, mode 1) every 4892: LD SP (9) + IM 1 (7) + JP (9) +
// EI with its NOP (7) = 32, and 4892 - 32 is again a whole number of NOPs.
TEST(SoundBoardTiming, FirstInterruptComesStrictlyAfterThePeriodThenEveryPeriod)
{
    Z80Asm nmi(0, 0x00);
    nmi.ld_sp_nn(0xA000);
    nmi.jp(0x0100);
    nmi.org(0x0066);
    nmi.label("nmi");
    nmi.jr("nmi");
    nmi.org(0x0100);
    nmi.ld_a_n(0);
    nmi.inc(R16::BC);  // then NOPs (4 T each) from 0x0103
    TestBoard board(4, nmi.image(0x1FF0));
    EXPECT_EQ(FirstPushedPc(*board, 0xA000), 0x0103 + 1183);
    // 357954 boot cycles hold exactly 100 tick periods; each NMI pushed a
    // return address (the handler never returns).
    EXPECT_EQ(board->Cpu().SP, 0xA000 - 2 * 100);

    Z80Asm irq(0, 0x00);
    irq.ld_sp_nn(0x4000);
    irq.im(1);
    irq.jp(0x0100);
    irq.org(0x0038);
    irq.label("irq");
    irq.jr("irq");
    irq.org(0x0100);
    irq.ei();
    irq.nop();
    board.Make(0, irq.image(0x1FF0));
    EXPECT_EQ(FirstPushedPc(*board, 0x4000), 0x0102 + 1621);
}

// The interrupt timer keeps its phase: the cycles a step runs past the
// period count toward the next one. The main loop's long steps (EX (SP),HL
// costs 19) overshoot the period by up to 18 cycles each time; type 0's
// handler counts its interrupts in RAM 0x2100. After 2000 periods the count
// is what the cycles run give.
TEST(SoundBoardTiming, InterruptsKeepTheirPeriodOverLongRuns)
{
    Z80Asm a(0, 0x00);
    a.ld_sp_nn(0x4000);
    a.im(1);
    a.jp(0x0100);
    a.org(0x0038);
    a.push(R16::HL);
    a.ld_hl_mem(0x2100);
    a.inc(R16::HL);
    a.ld_mem_hl(0x2100);
    a.pop(R16::HL);
    a.ei();
    a.reti();
    a.org(0x0100);
    a.label("loop");
    a.ei();
    a.ex_sp_hl();
    a.ex_sp_hl();
    a.jr("loop");
    TestBoard board(0, a.image(0x1FF0));
    const double boot = board->IrqAccumulator() + 73 * 4892.0;  // cycles run by the boot
    EXPECT_EQ(board->Ram()[0x0100] | board->Ram()[0x0101] << 8, 73);
    double run = 0;
    for (int i = 0; i < 2000; ++i) run += board->RunTimed(4892);
    const int count = board->Ram()[0x0100] | board->Ram()[0x0101] << 8;
    EXPECT_NEAR(count, (boot + run) / 4892.0, 1.0);
}

// Type 12 (tick period 6705, entry 0x9020): the tick entry is ignored during
// the boot run, even with the stub placed before it, and taken afterwards;
// a CPU halted in the sound program leaves HALT when it is moved there.
TEST(SoundBoardTiming, TickEntryNeverMovesPcDuringBootButDoesAfterIt)
{
    Z80Asm rom(0);
    rom.di();
    rom.ld_sp_nn(0xA000);
    rom.halt();
    TestBoard board;
    board.fixups.SetStub(board.fixups.Add(12, FirstRomCrcForType(12)), CountingTickStub(false), 0x1000, true);
    board.Make(12, rom.image(0x2000));
    EXPECT_EQ(board->Ram()[0x0100], 0) << "tick entry taken during boot";
    EXPECT_LT(board->Cpu().PC, 0x2000);
    EXPECT_TRUE(board->Cpu().StatusFlags & CZ80::kHalt);

    RenderLeft(*board, 200);  // 16234 cycles: two or three tick periods
    EXPECT_TRUE(board->Ram()[0x0100] == 2 || board->Ram()[0x0100] == 3) << int(board->Ram()[0x0100]);
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
        TestBoard board;
        board.fixups.SetStub(board.fixups.Add(24, FirstRomCrcForType(24)), CountingTickStub(clears), 0x1000, false);
        board.Make(24, rom.image(0x2000));
        RenderLeft(*board, 1000);  // 81170 cycles: 12 or 13 tick periods of 6712
        const uint8_t ticks = board->Ram()[0x0100];
        EXPECT_TRUE(clears ? ticks == 12 || ticks == 13 : ticks == 1) << int(ticks);
        EXPECT_EQ(board->Ram()[0x0FFF], clears ? 0x00 : 0xFF);
    }
}

// Type 0 running NOPs (3 counted cycles each) from 0x0100: the samples run
// the clock's cycles carrying the overrun, to one instruction over the
// whole run. A new rate takes effect at the next reset.
TEST(SoundBoardTiming, RenderSampleRunsCyclesPerSampleAndTheRateChangesAtReset)
{
    Z80Asm a(0, 0x00);
    a.org(0x1FF0);
    a.jp(0x0100);
    TestBoard board(0, a.image(0x2000));
    for (uint32_t rate : {44100u, 22050u}) {
        SCOPED_TRACE(rate);
        if (rate != 44100) {
            board->SetSampleRate(rate);
            EXPECT_NEAR(board->CyclesPerSample(), 3579545.0 / 44100.0, 1e-9) << "changed before the reset";
            board->Reset();
        }
        const double perSample = 3579545.0 / rate;
        EXPECT_NEAR(board->CyclesPerSample(), perSample, 1e-9);
        board->Cpu().PC = 0x0100;
        const int samples = static_cast<int>(200 * rate / 44100);  // stay on the sled
        RenderLeft(*board, samples);
        EXPECT_NEAR((board->Cpu().PC - 0x0100) * 3.0, samples * perSample, 3.0);
        EXPECT_TRUE(board->SampleAccumulator() < 1.0 && board->SampleAccumulator() > -3.0);
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
    TestBoard board(28, a.image(0x2000));
    EXPECT_GE(board->RunCycles(100), 100);
    board->SendCommand(0x21);  // returns: the test would hang otherwise
    EXPECT_EQ(board->Latch(), 0xFF);
    EXPECT_EQ(board->RunCycles(0), 0);
    EXPECT_EQ(board->RunTimed(-5), 0);
}

// A timer fires on the step that takes its accumulator strictly above the
// period. A halted CPU spends one counted cycle a step, so a run can end
// with the tick accumulator exactly on the period: the tick must still be
// waiting then, and come with the next cycle. Checked on both run paths.
TEST(SoundBoardTiming, TickWaitsWhileItsAccumulatorEqualsThePeriod)
{
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(0xA000);
    a.label("wait");
    a.halt();
    a.jr("wait");
    a.org(0x0066);
    a.retn();
    TestBoard board(4, a.image(0x2000));
    const double period = 3575.0;  // type 4's NMI tick
    for (bool batched : {true, false}) {
        SCOPED_TRACE(batched ? "batched" : "stepping");
        board->SetBatchedCpu(batched);
        board->Reset();
        // Park the CPU in HALT first: the handler's steps cost more than one.
        for (int i = 0; i < 100 && !(board->Cpu().StatusFlags & CZ80::kHalt); ++i)
            board->RunTimed(1);
        ASSERT_TRUE(board->Cpu().StatusFlags & CZ80::kHalt);
        const double before = board->TickAccumulator();
        ASSERT_LT(before, period);
        EXPECT_EQ(board->RunTimed(static_cast<int32_t>(period - before)), static_cast<int32_t>(period - before));
        EXPECT_EQ(board->TickAccumulator(), period);
        EXPECT_TRUE(board->Cpu().StatusFlags & CZ80::kHalt) << "ticked on reaching the period";
        board->RunTimed(1);
        EXPECT_EQ(board->TickAccumulator(), 1.0);
        EXPECT_FALSE(board->Cpu().StatusFlags & CZ80::kHalt) << "no tick one cycle past the period";
    }
}

// The board's maskable interrupt in mode 2 presents the type's irqData as
// the vector's low byte: type 2 (irqData 0x80) with I = 0x12 reads its
// handler from 0x1280. Any other byte finds 0x0000 and restarts the program.
TEST(SoundBoardTiming, ModeTwoInterruptTakesItsVectorLowByteFromIrqData)
{
    Z80Asm a(0, 0x00);
    a.ld_sp_nn(0xA000);
    a.ld_a_n(0x12);
    a.ld_i_a();
    a.im(2);
    a.ei();
    a.label("idle");
    a.jr("idle");
    a.org(0x0200);
    a.ld_a_n(0x5A);
    a.ld_mem_a(0x8100);
    a.label("done");
    a.jr("done");
    a.org(0x1280);
    a.dw(0x0200);
    TestBoard board(2, a.image(0x1FF0));
    EXPECT_EQ(board->ReadMem(0x8100), 0x5A);
}

// When both timers expire in the same step, the maskable interrupt is taken
// first and the tick's NMI then lands on the interrupt handler's first
// byte. Type 4: interrupt (RST 38h) every 2000, NMI tick every 3575 counted
// cycles; both fall due together at 286000, within the boot run.
TEST(SoundBoardTiming, InterruptIsServedBeforeATickDueInTheSameStep)
{
    Z80Asm a(0, 0x00);
    a.ld_sp_nn(0xA000);
    a.im(1);
    a.ei();
    a.label("idle");
    a.jr("idle");
    a.org(0x0038);
    a.ei();
    a.reti();
    a.org(0x0066);
    // Marks RAM 0x8100 when the NMI's return address is 0x0038.
    a.ex_sp_hl();
    a.ld(R8::A, R8::H);
    a.or_(R8::A);
    a.jr(Z80Asm::Cc::NZ, "back");
    a.ld(R8::A, R8::L);
    a.cp_n(0x38);
    a.jr(Z80Asm::Cc::NZ, "back");
    a.ld_a_n(1);
    a.ld_mem_a(0x8100);
    a.label("back");
    a.ex_sp_hl();
    a.retn();
    TestBoard board(4, a.image(0x1FF0));
    EXPECT_EQ(board->ReadMem(0x8100), 1);
}
