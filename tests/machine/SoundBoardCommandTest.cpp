// Sound command delivery: what the sound program sees in the latch, and
// when, for each delivery method.
#include <gtest/gtest.h>

#include "support/SoundBoardTestRoms.h"
#include "kelvara-asm/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;

namespace {

// A program that watches the latch: its main loop appends every change of
// the latch value to a log in RAM; its NMI handler appends the refresh
// register (read right after saving AF) to a second log. Layout from ramStart:
// +0x100 last value, +0x102 log pointer, +0x104 R-log pointer,
// +0x200 latch log, +0x300 R log.
std::vector<uint8_t> LatchWatcher(const MachineDef& def, uint16_t stackTop)
{
    const uint16_t ram = static_cast<uint16_t>(def.ramStart);
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(stackTop);
    a.ld_hl_nn(ram + 0x200);
    a.ld_mem_hl(ram + 0x102);
    a.ld_hl_nn(ram + 0x300);
    a.ld_mem_hl(ram + 0x104);
    a.jp("main");

    a.org(0x0066);
    a.push(R16::AF);
    a.db({0xED, 0x5F});  // LD A,R
    a.push(R16::HL);
    a.ld_hl_mem(ram + 0x104);
    a.ld(R8::HLi, R8::A);
    a.inc(R16::HL);
    a.ld_mem_hl(ram + 0x104);
    a.pop(R16::HL);
    a.pop(R16::AF);
    a.retn();

    a.org(0x0100);
    a.label("main");
    if (def.latchIsPort) a.in_a_n(static_cast<uint8_t>(def.latchLow));
    else a.ld_a_mem(static_cast<uint16_t>(def.latchLow));
    a.ld_hl_nn(ram + 0x100);
    a.cp(R8::HLi);
    a.jr(Cc::Z, "main");
    a.ld(R8::HLi, R8::A);
    a.ld_hl_mem(ram + 0x102);
    a.ld(R8::HLi, R8::A);
    a.inc(R16::HL);
    a.ld_mem_hl(ram + 0x102);
    a.jr("main");
    return a.image(0x2000);
}

struct Watched : TestBoard {
    uint16_t ramStart;

    explicit Watched(uint32_t type, uint32_t crc = 0)
    {
        const MachineDef* def = FindMachineDef(type);
        ramStart = static_cast<uint16_t>(def->ramStart);
        Make(type, LatchWatcher(*def, static_cast<uint16_t>((def->ramEnd + 1) & 0xFFFF)), crc);
    }
    // The log starting at RAM offset `offset` whose end pointer is at `pointerOffset`.
    std::vector<uint8_t> Log(uint32_t offset, uint32_t pointerOffset)
    {
        const uint8_t* ram = board->Ram();
        const uint32_t end = (ram[pointerOffset] | ram[pointerOffset + 1] << 8) - ramStart;
        return std::vector<uint8_t>(ram + offset, ram + end);
    }
    std::vector<uint8_t> LatchLog() { return Log(0x200, 0x102); }
    std::vector<uint8_t> RLog() { return Log(0x300, 0x104); }
};

using Bytes = std::vector<uint8_t>;

} // namespace

// The latch values the program sees and the NMIs it gets, per delivery:
// latch only; latch and one NMI; type 28 idles at 0xFF around the code;
// type 32 leaves 0xFF after its second NMI; type 29 sends two nibbles.
TEST(SoundBoardCommand, EachDeliveryShowsTheCodeInOrder)
{
    const struct {
        uint32_t type, crc;
        uint8_t code;
        Bytes latch;
        std::size_t nmis;
    } cases[] = {
        {7, 0, 0x42, {0x42}, 0},           {20, 0, 0x42, {0x42}, 1},          {57, 0, 0x42, {0x42}, 1},
        {28, 0xCA2F5560, 0x0E, {0xFF, 0x0E, 0xFF}, 2},  // 0x0E is not special on this ROM
        {32, 0, 0x33, {0x33, 0xFF}, 2},    {29, 0, 0x5A, {0x05, 0xFF, 0x0A, 0xFF}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        Watched w(c.type, c.crc);
        w->SendCommand(c.code);
        RenderLeft(*w, 10);
        EXPECT_EQ(w.LatchLog(), c.latch);
        EXPECT_EQ(w.RLog().size(), c.nmis);
    }
}

TEST(SoundBoardCommand, Type28SpecialRomsTellCodes0Dand0EByRefreshRegister)
{
    for (uint32_t crc : {0x35B502D8u, 0xBBF7A9FFu}) {
        uint8_t rAt0D = 0, rAt0E = 0;
        for (uint8_t code : {uint8_t{0x0D}, uint8_t{0x0E}}) {
            Watched w(28, crc);
            w->SendCommand(code);
            RenderLeft(*w, 10);
            EXPECT_EQ(w.LatchLog(), Bytes({0xFF, 0x0D, 0xFF})) << std::hex << crc;
            ASSERT_EQ(w.RLog().size(), 2u);
            (code == 0x0D ? rAt0D : rAt0E) = w.RLog()[0];
        }
        // Same path to the first NMI's LD A,R: only the preset differs.
        EXPECT_EQ((rAt0E - rAt0D) & 0x7F, 8) << std::hex << crc;
    }
}
