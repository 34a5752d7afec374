// Fast-forwarding a CPU that waits in place (HALT, JR $, JP $) must give
// exactly what stepping it one instruction at a time gives: same samples,
// same registers, same RAM, same timer phase.
#include <gtest/gtest.h>

#include <string>

#include "SoundBoardTestRoms.h"
#include "support/RomForge.h"
#include "kelvara-asm/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;

namespace {

// Boots with idle skipping on or off, plays two codes and renders.
BoardRun Run(uint32_t type, const std::vector<uint8_t>& rom, const IFixupTable& fixups, bool skip)
{
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(type, rom, fixups, file);
    board->SetBatchedCpu(false);  // the step-by-step loop is the one that skips here
    board->SetIdleSkip(skip);
    BoardRun s;
    for (uint8_t code : {uint8_t{0x21}, uint8_t{0x42}}) {
        board->Reset();
        board->SendCommand(code);
        for (int i = 0; i < 3000; ++i) {
            int32_t left = 0, right = 0;
            board->RenderSample(left, right);
            s.samples.insert(s.samples.end(), {left, right});
        }
    }
    s.state = CaptureState(*board);
    return s;
}

void ExpectSameWithAndWithoutSkip(uint32_t type, const std::vector<uint8_t>& rom, const IFixupTable& fixups)
{
    SCOPED_TRACE("type " + std::to_string(type));
    BoardRun stepped = Run(type, rom, fixups, false);
    BoardRun skipped = Run(type, rom, fixups, true);
    ExpectSameRun(stepped, skipped);
    // The programs must really have been interrupted while waiting.
    EXPECT_NE(stepped.state.ram[0x100] | stepped.state.ram[0x101], 0);
}

// Handler body: count in RAM and replay the tone at a pitch set by the
// count, so the output shows the very sample each interrupt lands in.
void EmitCountingPlay(Z80Asm& a, uint16_t counter)
{
    for (R16 rr : {R16::AF, R16::BC, R16::DE, R16::HL}) a.push(rr);
    a.ld_a_mem(counter);
    a.inc(R8::A);
    a.ld_mem_a(counter);
    a.and_n(0x3F);
    a.call("play");
    for (R16 rr : {R16::HL, R16::DE, R16::BC, R16::AF}) a.pop(rr);
}

// The main program waits in `idle` (HALT or JP $) with interrupts on; the
// maskable interrupt and the NMI each replay the tone.
std::vector<uint8_t> WaitingRom(const MachineDef& def, bool halt)
{
    const uint16_t ram = static_cast<uint16_t>(def.ramStart);
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(static_cast<uint16_t>((def.ramEnd + 1) & 0xFFFF));
    a.im(1);
    a.ei();
    a.label("wait");
    if (halt) {
        a.halt();
        a.jr("wait");
    } else {
        a.jp("wait");
    }
    a.org(0x0038);
    EmitCountingPlay(a, ram + 0x100);
    a.ei();
    a.reti();
    a.org(0x0066);
    EmitCountingPlay(a, ram + 0x101);
    a.retn();
    a.org(0x0200);
    EmitTonePlayer(a, def);
    return a.image(0x2000);
}

} // namespace

TEST(SoundBoardIdleSkip, WaitingProgramsMatchStepByStep)
{
    TestFixups none;
    for (uint32_t type : {0u, 4u, 8u, 20u, 28u, 32u}) {
        for (bool halt : {true, false}) {
            SCOPED_TRACE(std::to_string(type) + (halt ? " HALT" : " JP $"));
            ExpectSameWithAndWithoutSkip(type, WaitingRom(*FindMachineDef(type), halt), none);
        }
    }
}

TEST(SoundBoardIdleSkip, ParkedStubsMatchStepByStep)
{
    // The ROM idles in JR $; the stub's command entry plays the code and its
    // tick entry replays the tone at a counted pitch, each parking in JR $.
    for (uint32_t type : {12u, 22u, 24u, 34u, 53u, 69u}) {
        SCOPED_TRACE(type);
        const MachineDef& def = *FindMachineDef(type);
        const uint16_t ram = static_cast<uint16_t>(def.ramStart);
        const uint16_t top = static_cast<uint16_t>((def.ramEnd + 1) & 0xFFFF);
        Z80Asm rom(0);
        rom.di();
        rom.ld_sp_nn(top);
        rom.label("idle");
        rom.jr("idle");
        rom.org(def.machineType == 69 ? 0x2800 : 0x0200);
        EmitTonePlayer(rom, def);
        rom.label("tick");
        EmitCountingPlay(rom, ram + 0x100);
        if (type == 24) {
            rom.xor_(R8::A);
            rom.ld_mem_a(ram + 0x0FFF);
        }
        rom.ret();

        const uint16_t base = static_cast<uint16_t>(def.ramStart + StubRamOffset(type));
        Z80Asm stub(base, 0x00);
        auto entry = [&](uint16_t at, const char* target, const char* park) {
            stub.org(at);
            stub.ld_sp_nn(top);
            stub.call(rom.address(target));
            stub.label(park);
            stub.jr(park);
        };
        const bool commandFirst = def.commandEntry < def.tickEntry;  // org only moves forward
        for (bool command : {commandFirst, !commandFirst})
            entry(static_cast<uint16_t>(command ? def.commandEntry : def.tickEntry), command ? "play" : "tick",
                  command ? "park_command" : "park_tick");
        TestFixups fixups;
        std::vector<uint8_t> bytes = stub.bytes();
        bytes.resize((bytes.size() + 15) / 16 * 16, 0);
        fixups.SetStub(fixups.Add(type, FirstRomCrcForType(type)), bytes, StubRamOffset(type), false);
        ExpectSameWithAndWithoutSkip(type, rom.image(type == 69 ? 0x4000 : 0x2000), fixups);
    }
}

TEST(SoundBoardIdleSkip, RunCyclesCountsSkippedStepsExactly)
{
    Z80Asm a(0);
    a.di();
    a.label("here");
    a.jp("here");
    TestFixups none;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(0, a.image(0x2000), none, file);
    for (bool batched : {false, true}) {
        for (bool skip : {false, true}) {
            board->SetBatchedCpu(batched);
            board->SetIdleSkip(skip);
            EXPECT_EQ(board->RunCycles(100), 12 * 9) << skip << batched;  // JP $ counts 9 a step
            EXPECT_EQ(board->RunCycles(9), 9) << skip << batched;
            EXPECT_EQ(board->RunCycles(27), 27) << skip << batched;
        }
    }
}
