// The board's memory and port decoding as the CPU sees it, driven through
// the four bus operations, including every machine type with its own wiring.
#include <gtest/gtest.h>

#include "support/SoundBoardTestRoms.h"
#include "kelvara-asm/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;

namespace {

struct IdleBoard : TestBoard {
    WriteLog log;
    explicit IdleBoard(uint32_t type, std::vector<uint8_t> rom = IdleRom()) : TestBoard(type, std::move(rom))
    {
        board->SetChipWriteObserver(&log);
    }
};

} // namespace

// Two reads of the latch after a command: types 0, 1 and 4 clear it on read
// (type 0 keeps bit 7), type 5's latch address lies in ROM, type 21's
// latch addresses answer the chip status, type 32 delivers and leaves 0xFF.
TEST(SoundBoardBus, LatchReadsPerType)
{
    const struct {
        uint32_t type;
        bool port;
        uint16_t first, second;
        uint8_t code, v1, v2;
    } cases[] = {
        {0, false, 0x6000, 0x7FFF, 0x85, 0x85, 0x80}, {1, false, 0x6123, 0x6123, 0x85, 0x85, 0x00},
        {4, true, 0xFE, 0xFE, 0x42, 0x42, 0x00},       {7, false, 0x6000, 0x6000, 0x85, 0x85, 0x85},
        {5, false, 0x0000, 0x0000, 0x42, 0xF3, 0xF3},  // DI, the ROM's first byte
        {21, false, 0x4000, 0x4001, 0x55, 0x20, 0x20}, {32, false, 0xF3FC, 0xF3FC, 0x44, 0xFF, 0xFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        IdleBoard b(c.type);
        b->SendCommand(c.code);
        auto read = [&](uint16_t at) { return c.port ? b->ReadPort(static_cast<uint8_t>(at)) : b->ReadMem(at); };
        EXPECT_EQ(read(c.first), c.v1);
        EXPECT_EQ(read(c.second), c.v2);
    }
}

// ROM ignores writes; nothing mapped, the write-only chip and a port on a
// memory-latch board read 0; type 32's RAM ends right below latch and chip.
// Types 42 and 66 answer their latch port with a stub status byte in RAM.
TEST(SoundBoardBus, MemoryMapEdgesAndStubStatusPorts)
{
    IdleBoard t0(0);
    const uint8_t before = t0->ReadMem(0x0001);
    t0->WriteMem(0x0001, static_cast<uint8_t>(before ^ 0xFF));
    EXPECT_EQ(t0->Rom()[1], before);
    for (uint16_t at : {0xC000, 0x4000}) EXPECT_EQ(t0->ReadMem(at), 0) << at;
    EXPECT_EQ(t0->ReadPort(0x55), 0);
    t0->WriteMem(0x2345, 0x5A);
    EXPECT_EQ(t0->Ram()[0x0345], 0x5A);

    IdleBoard t32(32);
    t32->WriteMem(0xF1FF, 0x22);
    t32->WriteMem(0xF200, 0x33);
    EXPECT_EQ(t32->Ram()[0x11FF], 0x22);
    EXPECT_EQ(t32->ReadMem(0xF200), 0);

    IdleBoard t42(42);
    t42->WriteMem(0x9110, 0x77);  // RAM offset 0x1110
    t42->SendCommand(0x12);
    EXPECT_EQ(t42->ReadPort(0xBD), 0x77);
    IdleBoard t66(66);
    t66->WriteMem(0x3200, 0x66);  // RAM offset 0x1200
    EXPECT_EQ(t66->ReadPort(0x25), 0x66);
    EXPECT_EQ(t66->ReadPort(0x26), 0);
}

// Chip writes through each board's own wiring: (register, data) pairs on
// chip ports 0 and 1; accesses next to the chip window reach nothing.
TEST(SoundBoardBus, ChipWritesPerWiring)
{
    struct Access {
        bool port;
        uint16_t at;
        uint8_t value;
    };
    using Writes = std::vector<std::pair<uint32_t, uint8_t>>;
    const struct {
        uint32_t type;
        std::vector<Access> accesses;
        Writes expected;
    } cases[] = {
        {32, {{false, 0xF3FE, 0x10}, {false, 0xF3FF, 0x99}, {false, 0xF3FD, 1}}, {{0, 0x10}, {1, 0x99}}},
        {52, {{true, 0x07, 8}, {true, 0x0E, 0x0F}, {true, 0x04, 1}}, {{0, 8}, {1, 0x0F}}},  // bit 3: data
        {66, {{true, 0x25, 1}, {true, 0x2A, 1}, {true, 0x2D, 1}, {true, 0x2F, 8}, {true, 0x2E, 0x0F}},
         {{0, 8}, {1, 0x0F}}},
        // Type 13: control register 0x8004, data register 0x8000 (0x30 selects, 0x20 writes).
        {13, {{false, 0x8004, 7}, {false, 0x8000, 0x30}, {false, 0x8004, 0x3E}, {false, 0x8000, 0x20},
              {false, 0x8000, 0x10}, {false, 0x8001, 0x20}},
         {{0, 7}, {1, 0x3E}}},
        // Type 9: data on port 0, control on port 1. Only a rising bit 1
        // strobes (0x03 twice strobes once), and bit 0 of the control value
        // before the edge picks register (0) or data (1).
        {9, {{true, 0x00, 0x30}, {true, 0x01, 0x00}, {true, 0x01, 0x03}, {true, 0x01, 0x03},
             {true, 0x00, 0x15}, {true, 0x01, 0x01}, {true, 0x01, 0x02}, {true, 0x01, 0x03}},
         {{0, 0x30}, {1, 0x15}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        IdleBoard b(c.type);
        b.log.writes.clear();
        for (const Access& x : c.accesses) {
            if (x.port) b->WritePort(static_cast<uint8_t>(x.at), x.value);
            else b->WriteMem(x.at, x.value);
        }
        EXPECT_EQ(b.log.writes, c.expected);
    }
}

// Type 9's status port shows a busy pattern after a boot that polls it; the
// counter belongs to the wiring, so a boot that never reads the port sees
// the plain latch.
TEST(SoundBoardBus, Type9StatusShowsBusyPatternAfterEachBootThatReadsIt)
{
    Z80Asm reads(0);
    reads.di();
    reads.label("poll");
    reads.in_a_n(2);
    reads.jr("poll");
    IdleBoard polling(9, reads.image(0x2000)), quiet(9);
    const std::vector<uint8_t> expected = {0x91, 0x91, 0x11, 0x11, 0x91, 0x91, 0x11, 0x11, 0x11, 0x11};
    for (int boot = 0; boot < 2; ++boot) {
        if (boot) polling->Reset();
        polling->SendCommand(0x11);
        std::vector<uint8_t> seen;
        for (std::size_t i = 0; i < expected.size(); ++i) seen.push_back(polling->ReadPort(2));
        EXPECT_EQ(seen, expected) << "boot " << boot;
    }
    quiet->SendCommand(0x11);
    EXPECT_EQ(quiet->ReadPort(2), 0x11);
}
