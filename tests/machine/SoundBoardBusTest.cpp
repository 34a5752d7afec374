// The board's memory and port decoding as the CPU sees it, driven through
// the four bus operations, including every machine type with its own wiring.
#include <gtest/gtest.h>

#include "SoundBoardTestRoms.h"
#include "support/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;

namespace {

// A program that does nothing but wait: it never touches latch or chip.
std::vector<uint8_t> IdleRom()
{
    Z80Asm a(0);
    a.di();
    a.label("idle");
    a.jr("idle");
    return a.image(0x2000);
}

struct IdleBoard {
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    std::unique_ptr<CSoundBoard> board;
    WriteLog log;
    explicit IdleBoard(uint32_t type, std::vector<uint8_t> rom = IdleRom())
    {
        board = MakeBoard(type, std::move(rom), fixups, file);
        board->SetChipWriteObserver(&log);
    }
    CSoundBoard& operator*() { return *board; }
    CSoundBoard* operator->() { return board.get(); }
};

} // namespace

TEST(SoundBoardBus, LatchClearingOnReadForTypes0And1And4)
{
    IdleBoard t0(0);
    t0->SendCommand(0x85);
    EXPECT_EQ(t0->ReadMem(0x6000), 0x85);
    EXPECT_EQ(t0->ReadMem(0x7FFF), 0x80);  // code bits cleared, bit 7 kept
    EXPECT_EQ(t0->ReadMem(0x6000), 0x80);

    IdleBoard t1(1);
    t1->SendCommand(0x85);
    EXPECT_EQ(t1->ReadMem(0x6123), 0x85);
    EXPECT_EQ(t1->ReadMem(0x6123), 0x00);

    IdleBoard t4(4);
    t4->SendCommand(0x42);
    EXPECT_EQ(t4->ReadPort(0xFE), 0x42);
    EXPECT_EQ(t4->ReadPort(0xFE), 0x00);

    // Any other latch keeps its value on read.
    IdleBoard t7(7);
    t7->SendCommand(0x85);
    EXPECT_EQ(t7->ReadMem(0x6000), 0x85);
    EXPECT_EQ(t7->ReadMem(0x6000), 0x85);
}

TEST(SoundBoardBus, LatchInsideRomWindowReadsRom)
{
    IdleBoard t5(5);  // latch "mem 0x0000", delivered through the command entry instead
    const uint8_t romByte = t5->Rom()[0];
    t5->SendCommand(0x42);
    EXPECT_EQ(t5->ReadMem(0x0000), romByte);
    EXPECT_NE(romByte, 0x42);
}

TEST(SoundBoardBus, RomWritesIgnoredAndUnmappedSpaceReadsZero)
{
    IdleBoard t0(0);
    const uint8_t before = t0->ReadMem(0x0001);
    t0->WriteMem(0x0001, static_cast<uint8_t>(before ^ 0xFF));
    EXPECT_EQ(t0->ReadMem(0x0001), before);
    EXPECT_EQ(t0->Rom()[1], before);
    EXPECT_EQ(t0->ReadMem(0xC000), 0);   // nothing mapped there
    EXPECT_EQ(t0->ReadMem(0x4000), 0);   // the chip cannot be read
    EXPECT_EQ(t0->ReadPort(0x55), 0);    // latch is in memory on this board
    t0->WriteMem(0x2345, 0x5A);
    EXPECT_EQ(t0->ReadMem(0x2345), 0x5A);
    EXPECT_EQ(t0->Ram()[0x0345], 0x5A);
}

TEST(SoundBoardBus, Type21LatchAddressesReadChipStatusAndWriteThePsg)
{
    IdleBoard t21(21);
    t21->SendCommand(0x55);
    EXPECT_EQ(t21->ReadMem(0x4000), 0x20);
    EXPECT_EQ(t21->ReadMem(0x4001), 0x20);
    t21.log.writes.clear();
    t21->WriteMem(0x4000, 7);
    t21->WriteMem(0x4001, 0x3E);
    ASSERT_EQ(t21.log.writes.size(), 2u);
    EXPECT_EQ(t21.log.writes[0], std::make_pair(0u, uint8_t{7}));
    EXPECT_EQ(t21.log.writes[1], std::make_pair(1u, uint8_t{0x3E}));
}

TEST(SoundBoardBus, Type32RamLatchAndChipSitSideBySide)
{
    IdleBoard t32(32);
    t32->WriteMem(0xE000, 0x11);
    t32->WriteMem(0xF1FF, 0x22);
    EXPECT_EQ(t32->Ram()[0x0000], 0x11);
    EXPECT_EQ(t32->Ram()[0x11FF], 0x22);
    t32->WriteMem(0xF200, 0x33);  // just above RAM: unmapped
    EXPECT_EQ(t32->ReadMem(0xF200), 0);
    t32->SendCommand(0x44);
    EXPECT_EQ(t32->ReadMem(0xF3FC), 0xFF);  // the delivery leaves the idle value
    t32.log.writes.clear();
    t32->WriteMem(0xF3FE, 0x10);
    t32->WriteMem(0xF3FF, 0x99);
    t32->WriteMem(0xF3FD, 0x01);  // neither latch nor chip
    ASSERT_EQ(t32.log.writes.size(), 2u);
    EXPECT_EQ(t32.log.writes[0], std::make_pair(0u, uint8_t{0x10}));
    EXPECT_EQ(t32.log.writes[1], std::make_pair(1u, uint8_t{0x99}));
}

TEST(SoundBoardBus, StubStatusBytesAnswerTheLatchPortOnTypes42And66)
{
    IdleBoard t42(42);
    t42->WriteMem(0x9110, 0x77);  // RAM offset 0x1110
    t42->SendCommand(0x12);
    EXPECT_EQ(t42->ReadPort(0xBD), 0x77);
    EXPECT_EQ(t42->Latch(), 0);

    IdleBoard t66(66);
    t66->WriteMem(0x3200, 0x66);  // RAM offset 0x1200
    EXPECT_EQ(t66->ReadPort(0x25), 0x66);
    EXPECT_EQ(t66->ReadPort(0x26), 0);
}

TEST(SoundBoardBus, PsgPortMappingsOfTypes14And52And66)
{
    IdleBoard t14(14);
    t14.log.writes.clear();
    t14->WritePort(0x03, 8);    // odd port selects
    t14->WritePort(0x02, 0x0F); // even port writes data
    ASSERT_EQ(t14.log.writes.size(), 2u);
    EXPECT_EQ(t14.log.writes[0].first, 0u);
    EXPECT_EQ(t14.log.writes[1].first, 1u);

    IdleBoard t52(52);
    t52.log.writes.clear();
    t52->WritePort(0x07, 8);    // bit 3 clear: select
    t52->WritePort(0x0E, 0x0F); // bit 3 set: data
    t52->WritePort(0x04, 1);    // outside the chip window
    ASSERT_EQ(t52.log.writes.size(), 2u);
    EXPECT_EQ(t52.log.writes[0].first, 0u);
    EXPECT_EQ(t52.log.writes[1].first, 1u);

    IdleBoard t66(66);
    t66.log.writes.clear();
    for (uint8_t port = 0x25; port <= 0x2D; ++port) t66->WritePort(port, 1);
    EXPECT_TRUE(t66.log.writes.empty());
    t66->WritePort(0x2F, 8);
    t66->WritePort(0x2E, 0x0F);
    ASSERT_EQ(t66.log.writes.size(), 2u);
    EXPECT_EQ(t66.log.writes[0].first, 0u);
    EXPECT_EQ(t66.log.writes[1].first, 1u);
}

TEST(SoundBoardBus, Type13PsgThroughControlAndDataRegisters)
{
    IdleBoard t13(13);
    t13.log.writes.clear();
    t13->WriteMem(0x8004, 7);
    t13->WriteMem(0x8000, 0x30);  // select from the data register
    t13->WriteMem(0x8004, 0x3E);
    t13->WriteMem(0x8000, 0x20);  // write the data register
    t13->WriteMem(0x8000, 0x10);  // anything else: nothing
    t13->WriteMem(0x8001, 0x20);  // other addresses: ignored
    ASSERT_EQ(t13.log.writes.size(), 2u);
    EXPECT_EQ(t13.log.writes[0], std::make_pair(0u, uint8_t{7}));
    EXPECT_EQ(t13.log.writes[1], std::make_pair(1u, uint8_t{0x3E}));
}

TEST(SoundBoardBus, Type9StrobesOnRisingControlBitOnly)
{
    IdleBoard t9(9);
    t9->WritePort(1, 0x00);
    t9.log.writes.clear();
    t9->WritePort(0, 0x20);
    t9->WritePort(1, 0x03);  // rising bit 1; previous bit 0 clear: register select
    t9->WritePort(1, 0x03);  // no edge: nothing
    t9->WritePort(0, 0x44);
    t9->WritePort(1, 0x01);
    t9->WritePort(1, 0x03);  // rising again; previous bit 0 set: data
    ASSERT_EQ(t9.log.writes.size(), 2u);
    EXPECT_EQ(t9.log.writes[0], std::make_pair(0u, uint8_t{0x20}));
    EXPECT_EQ(t9.log.writes[1], std::make_pair(1u, uint8_t{0x44}));
}

TEST(SoundBoardBus, Type9StatusShowsBusyPatternAfterEachBootThatReadsIt)
{
    // A boot that polls the status port, and one that never reads it.
    Z80Asm reads(0);
    reads.di();
    reads.label("poll");
    reads.in_a_n(2);
    reads.jr("poll");
    IdleBoard polling(9, reads.image(0x2000));

    const uint8_t expected[] = {0x91, 0x91, 0x11, 0x11, 0x91, 0x91, 0x11, 0x11, 0x11, 0x11};
    polling->SendCommand(0x11);
    for (uint8_t value : expected) EXPECT_EQ(polling->ReadPort(2), value);

    // The counter belongs to the wiring, not the board: a new board whose
    // boot never reads the port still sees the plain latch.
    IdleBoard quiet(9);
    quiet->SendCommand(0x11);
    EXPECT_EQ(quiet->ReadPort(2), 0x11);

    polling->Reset();
    polling->SendCommand(0x11);
    for (uint8_t value : expected) EXPECT_EQ(polling->ReadPort(2), value);
}
