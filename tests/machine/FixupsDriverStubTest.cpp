// The two built-in driver stubs, run on the real CPU over a flat 64 KB bus
// against stand-in ROM routines that log each call and the A they saw.
#include "cpu/Z80.h"
#include "cpu/Z80Bus.h"
#include "machine/DriverStubs.h"
#include "support/Z80Asm.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;

class FlatBus : public CZ80Bus {
public:
    std::array<uint8_t, 0x10000> mem{};
    uint8_t ReadMem(uint16_t a) override { return mem[a]; }
    void WriteMem(uint16_t a, uint8_t v) override { mem[a] = v; }
    uint8_t ReadPort(uint8_t) override { return 0; }
    void WritePort(uint8_t, uint8_t) override {}
    uint16_t Word(uint16_t a) const { return static_cast<uint16_t>(mem[a] | mem[a + 1] << 8); }
};

// Call log kept by the stand-in routines: a pointer at 0x8200 to the next
// free byte of a list starting at 0x8210.
constexpr uint16_t kLogPtr = 0x8200;
constexpr uint16_t kLogStart = 0x8210;

// A stand-in routine at `at`: appends `id` and then A (as it was on entry)
// to the call log and returns, leaving A unchanged.
void LoggingRoutine(Z80Asm& a, uint16_t at, uint8_t id) {
    a.org(at);
    a.push(R16::AF);
    a.ld_hl_mem(kLogPtr);
    a.ld(R8::HLi, id);
    a.inc(R16::HL);
    a.ld(R8::HLi, R8::A);
    a.inc(R16::HL);
    a.ld_mem_hl(kLogPtr);
    a.pop(R16::AF);
    a.ret();
}

class DriverStubTest : public ::testing::Test {
protected:
    FlatBus bus;
    CZ80 cpu;

    // Loads `rom` at 0 and the stub at 0x9000, then runs `entry` with `code`
    // in A for `steps` instructions (enough to reach the park and stay
    // there).
    void Run(const std::vector<uint8_t>& rom, const uint8_t* stub, uint16_t entry, uint8_t code, int steps = 400) {
        std::memcpy(bus.mem.data(), rom.data(), rom.size());
        std::memcpy(&bus.mem[0x9000], stub, 64);
        bus.mem[kLogPtr] = kLogStart & 0xFF;
        bus.mem[kLogPtr + 1] = kLogStart >> 8;
        g_CurrentBoard = &bus;
        cpu.Reset();
        cpu.AF.B.H = code;
        cpu.PC = entry;
        for (int i = 0; i < steps; ++i) cpu.Execute(1);
    }

    std::vector<uint8_t> Log() const {
        const uint16_t end = bus.Word(kLogPtr);
        return std::vector<uint8_t>(bus.mem.begin() + kLogStart, bus.mem.begin() + end);
    }

    // A parked CPU keeps executing the same two-byte JR $.
    void ExpectParkedAt(uint16_t pc) {
        EXPECT_EQ(cpu.PC, pc);
        EXPECT_EQ(bus.mem[pc], 0x18);
        EXPECT_EQ(bus.mem[pc + 1], 0xFE);
        for (int i = 0; i < 10; ++i) cpu.Execute(1);
        EXPECT_EQ(cpu.PC, pc);
    }

    void TearDown() override { g_CurrentBoard = nullptr; }
};

// A ROM whose routines at `entries` are logging stand-ins; address 0 holds
// HALT, since nothing should ever run from there.
std::vector<uint8_t> LoggingRom(std::initializer_list<uint16_t> entries) {
    Z80Asm a;
    a.halt();
    for (uint16_t at : entries) LoggingRoutine(a, at, static_cast<uint8_t>(at));
    return a.image(0x2000);
}

}  // namespace

// Type 40: codes FE and FF store their ROM address and park; any other code
// goes to RST 28h with the code in A; the tick calls the update at 0x0B3B.
TEST_F(DriverStubTest, Type40CommandAndTickEntries) {
    const struct {
        uint16_t entry;
        uint8_t code;
        uint16_t stored, park;
        std::vector<uint8_t> log;
    } cases[] = {
        {0x9000, 0xFE, 0x19BF, 0x901C, {}},          {0x9000, 0xFF, 0x1B19, 0x901C, {}},
        {0x9000, 0x00, 0, 0x900C, {0x28, 0x00}},     {0x9000, 0x7F, 0, 0x900C, {0x28, 0x7F}},
        {0x9000, 0xFD, 0, 0x900C, {0x28, 0xFD}},     {0x9020, 0x55, 0, 0x9026, {0x3B, 0x55}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.entry << " code " << int(c.code));
        bus.mem.fill(0);
        Run(LoggingRom({0x0028, 0x0B3B}), kStub40_4300BFD3, c.entry, c.code);
        EXPECT_EQ(bus.Word(0x8043), c.stored);
        EXPECT_EQ(bus.Word(0x8045), c.stored);
        EXPECT_EQ(Log(), c.log);
        ExpectParkedAt(c.park);
        EXPECT_EQ(Log(), c.log) << "parked: no routine may run again";
        if (c.entry == 0x9000 && !c.log.empty()) {
            EXPECT_EQ(cpu.SP, 0xA000);  // the routine returned
        }
    }
}

TEST_F(DriverStubTest, Type24CommandSplitsCodesIntoTwoSlotsAndClearsHandshake) {
    const struct {
        uint8_t code, slot81, slot82;
    } cases[] = {
        {0x00, 0x00, 0x00}, {0x05, 0x05, 0x00}, {0x7E, 0x7E, 0x00},
        {0x7F, 0x00, 0xFF},  // the split is at 0x7F; 0x7F - 0x80 wraps
        {0x80, 0x00, 0x00}, {0x85, 0x00, 0x05}, {0xFF, 0x00, 0x7F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        bus.mem.fill(0);
        bus.mem[0x8081] = 0xAA;  // stale values from an earlier command
        bus.mem[0x8082] = 0xBB;
        bus.mem[0x8FFF] = 0xFF;
        // Run() reloads ROM and stub but leaves these RAM bytes alone.
        Run(LoggingRom({0x0038, 0x00B3, 0x00E2}), kStub24_015D3C88, 0x9000, c.code);
        EXPECT_EQ(bus.mem[0x8081], c.slot81);
        EXPECT_EQ(bus.mem[0x8082], c.slot82);
        EXPECT_EQ(bus.mem[0x8FFF], 0x00);
        EXPECT_TRUE(Log().empty());
        ExpectParkedAt(0x901C);
        EXPECT_EQ(cpu.SP, 0x9FFF);
    }
}

TEST_F(DriverStubTest, Type24TickCallsUpdatesInOrderThenClearsHandshake) {
    bus.mem[0x8FFF] = 0xFF;  // as the board sets it on entering the tick
    Run(LoggingRom({0x0038, 0x00B3, 0x00E2}), kStub24_015D3C88, 0x9020, 0x42);
    // 0x00B3, 0x00E2 twice, then 0x0038; A is not set by the stub, so each
    // routine sees whatever the previous one left (here: unchanged 0x42).
    EXPECT_EQ(Log(), (std::vector<uint8_t>{0xB3, 0x42, 0xE2, 0x42, 0xE2, 0x42, 0x38, 0x42}));
    EXPECT_EQ(bus.mem[0x8FFF], 0x00);
    ExpectParkedAt(0x9033);
    EXPECT_EQ(cpu.SP, 0x9FFF);
}
