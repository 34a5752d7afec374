// Reset: the fix-ups before and after the boot run, the bank copy that
// outlives resets, the idle latch of types 28 and 31, type 53's muting.
#include <gtest/gtest.h>

#include <algorithm>

#include "SoundBoardTestRoms.h"
#include "support/RomForge.h"
#include "support/Z80Asm.h"

using namespace boardtest;
using R8 = Z80Asm::R8;

namespace {

// Stores `value` at `address` during boot, then idles.
void StoreAndIdle(Z80Asm& a, uint8_t value, uint16_t address)
{
    a.di();
    a.ld_a_n(value);
    a.ld_mem_a(address);
    a.label("idle" + std::to_string(a.here()));
    a.jr(static_cast<uint16_t>(a.here()));
}

} // namespace

TEST(SoundBoardReset, BankCopyRunsOnTheFirstBootAndStaysForLaterOnes)
{
    Z80Asm a(0);
    StoreAndIdle(a, 1, 0x8100);  // lower half
    a.org(0x1000);
    StoreAndIdle(a, 2, 0x8100);  // upper half
    TestFixups fixups;
    fixups.Add(22, 0x7D3AFBD0).bankCopy = true;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(22, a.image(0x2000), fixups, file, 0x7D3AFBD0);

    EXPECT_EQ(board->Ram()[0x0100], 1) << "first boot runs the lower half as loaded";
    EXPECT_TRUE(std::equal(board->Rom(), board->Rom() + 0x1000, board->Rom() + 0x1000));
    board->Reset();
    EXPECT_EQ(board->Ram()[0x0100], 2) << "later boots run the copied bytes";
}

TEST(SoundBoardReset, PatchesLandBeforeOrAfterTheBootAndPersist)
{
    // The boot copies ROM bytes 0x0100 and 0x0101 into RAM (type 0: no
    // tick, and its interrupt stays masked).
    Z80Asm a(0);
    a.di();
    a.ld_a_mem(0x0100);
    a.ld_mem_a(0x2100);
    a.ld_a_mem(0x0101);
    a.ld_mem_a(0x2101);
    a.label("idle");
    a.jr("idle");
    a.org(0x0100);
    a.db({0x11, 0x22});
    TestFixups fixups;
    const uint32_t crc = FirstRomCrcForType(0);
    ResetFixup& record = fixups.Add(0, crc);
    fixups.AddPatch(record, false, 0x0100, {0xAA});
    fixups.AddPatch(record, true, 0x0101, {0xBB});
    fixups.AddPatch(record, true, 0x3FFF, {0xCC, 0xDD});  // clipped at the end of the ROM area
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(0, a.image(0x2000), fixups, file);

    EXPECT_EQ(board->Ram()[0x0100], 0xAA);
    EXPECT_EQ(board->Ram()[0x0101], 0x22);  // the after-boot patch came later
    EXPECT_EQ(board->Rom()[0x0101], 0xBB);
    EXPECT_EQ(board->Rom()[0x3FFF], 0xCC);
    board->Reset();
    EXPECT_EQ(board->Ram()[0x0101], 0xBB);  // the ROM is not reloaded by reset
}

TEST(SoundBoardReset, StubIsCopiedOverWhatTheBootLeftInRam)
{
    Z80Asm a(0);
    StoreAndIdle(a, 0xAA, 0x9000);
    TestFixups fixups;
    fixups.SetStub(fixups.Add(12, FirstRomCrcForType(12)), std::vector<uint8_t>(64, 0x18), 0x1000, false);
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(12, a.image(0x2000), fixups, file);
    EXPECT_EQ(board->Ram()[0x1000], 0x18);
    EXPECT_EQ(board->Ram()[0x103F], 0x18);
    EXPECT_EQ(board->Ram()[0x1040], 0x00);
}

TEST(SoundBoardReset, LatchIdlesAt0xFFOnlyForTypes28And31)
{
    for (uint32_t type : {28u, 31u, 27u, 0u}) {
        const MachineDef* def = FindMachineDef(type);
        Z80Asm a(0);
        a.di();
        if (def->latchIsPort) a.in_a_n(static_cast<uint8_t>(def->latchLow));
        else a.ld_a_mem(static_cast<uint16_t>(def->latchLow));
        a.ld_mem_a(static_cast<uint16_t>(def->ramStart + 0x100));
        a.label("idle");
        a.jr("idle");
        TestFixups fixups;
        std::unique_ptr<TempRom> file;
        auto board = MakeBoard(type, a.image(0x2000), fixups, file);
        const uint8_t idle = (type == 28 || type == 31) ? 0xFF : 0x00;
        EXPECT_EQ(board->Latch(), idle) << "type " << type;
        EXPECT_EQ(board->Ram()[0x0100], idle) << "type " << type << ": the boot saw it";
        board->SendCommand(0x12);
        board->Reset();
        EXPECT_EQ(board->Latch(), idle) << "type " << type;
    }
}

TEST(SoundBoardReset, Type53MutesItsNineChannelsAfterTheStub)
{
    Z80Asm a(0);
    StoreAndIdle(a, 0x55, 0x2100);
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(53, a.image(0x2000), fixups, file);
    WriteLog log;
    board->SetChipWriteObserver(&log);
    board->Reset();
    ASSERT_EQ(log.writes.size(), 18u);
    for (uint32_t ch = 0; ch < 9; ++ch) {
        EXPECT_EQ(log.writes[2 * ch], std::make_pair(0u, static_cast<uint8_t>(0x30 + ch)));
        EXPECT_EQ(log.writes[2 * ch + 1], std::make_pair(1u, uint8_t{0xC0}));
    }
}

TEST(SoundBoardReset, ClearsRamAndTimersButKeepsTheSampleRate)
{
    Z80Asm a(0);
    StoreAndIdle(a, 0x55, 0x2100);
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    auto board = MakeBoard(0, a.image(0x2000), fixups, file);
    board->WriteMem(0x3234, 0x77);
    board->SetSampleRate(48000);
    RenderLeft(*board, 5);
    board->Reset();
    EXPECT_EQ(board->Ram()[0x1234], 0);
    EXPECT_EQ(board->Ram()[0x0100], 0x55);
    EXPECT_EQ(board->SampleAccumulator(), 0.0);
    EXPECT_EQ(board->SampleRate(), 48000u);
    EXPECT_TRUE(board->BootDone());
}
