// Reset: the fix-ups before and after the boot run, the bank copy that
// outlives resets, the idle latch of types 28 and 31, type 53's muting.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/SoundBoardTestRoms.h"
#include "chips/Opll.h"
#include "support/RomForge.h"
#include "kelvara-asm/Z80Asm.h"

using namespace boardtest;

namespace {

// Stores `value` at `address` during boot, then idles.
void StoreAndIdle(Z80Asm& a, uint8_t value, uint16_t address)
{
    a.di();
    a.ld_a_n(value);
    a.ld_mem_a(address);
    a.jr(static_cast<uint16_t>(a.here()));
}

} // namespace

TEST(SoundBoardReset, BankCopyRunsOnTheFirstBootAndStaysForLaterOnes)
{
    Z80Asm a(0);
    StoreAndIdle(a, 1, 0x8100);  // lower half
    a.org(0x1000);
    StoreAndIdle(a, 2, 0x8100);  // upper half
    TestBoard b;
    b.fixups.Add(22, 0x7D3AFBD0).bankCopy = true;
    b.Make(22, a.image(0x2000), 0x7D3AFBD0);
    EXPECT_EQ(b->Ram()[0x0100], 1) << "first boot runs the lower half as loaded";
    EXPECT_TRUE(std::equal(b->Rom(), b->Rom() + 0x1000, b->Rom() + 0x1000));
    b->Reset();
    EXPECT_EQ(b->Ram()[0x0100], 2) << "later boots run the copied bytes";
}

// The boot copies ROM bytes 0x0100 and 0x0101 into RAM (type 0: no tick,
// and its interrupt stays masked); a RAM stub is copied over what the boot
// left there.
TEST(SoundBoardReset, PatchesAndStubsLandBeforeOrAfterTheBootAndPersist)
{
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
    TestBoard b;
    ResetFixup& record = b.fixups.Add(0, FirstRomCrcForType(0));
    b.fixups.AddPatch(record, false, 0x0100, {0xAA});
    b.fixups.AddPatch(record, true, 0x0101, {0xBB});
    b.fixups.AddPatch(record, true, 0x3FFF, {0xCC, 0xDD});  // clipped at the end of the ROM area
    b.Make(0, a.image(0x2000));
    EXPECT_EQ(b->Ram()[0x0100], 0xAA);
    EXPECT_EQ(b->Ram()[0x0101], 0x22);  // the after-boot patch came later
    EXPECT_EQ(b->Rom()[0x0101], 0xBB);
    EXPECT_EQ(b->Rom()[0x3FFF], 0xCC);
    b->Reset();
    EXPECT_EQ(b->Ram()[0x0101], 0xBB);  // the ROM is not reloaded by reset

    Z80Asm s(0);
    StoreAndIdle(s, 0xAA, 0x9000);
    TestBoard t12;
    t12.fixups.SetStub(t12.fixups.Add(12, FirstRomCrcForType(12)), std::vector<uint8_t>(64, 0x18), 0x1000, false);
    t12.Make(12, s.image(0x2000));
    EXPECT_EQ(t12->Ram()[0x1000], 0x18);
    EXPECT_EQ(t12->Ram()[0x103F], 0x18);
    EXPECT_EQ(t12->Ram()[0x1040], 0x00);
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
        TestBoard b(type, a.image(0x2000));
        const uint8_t idle = (type == 28 || type == 31) ? 0xFF : 0x00;
        EXPECT_EQ(b->Latch(), idle) << "type " << type;
        EXPECT_EQ(b->Ram()[0x0100], idle) << "type " << type << ": the boot saw it";
        b->SendCommand(0x12);
        b->Reset();
        EXPECT_EQ(b->Latch(), idle) << "type " << type;
    }
}

// Type 53 mutes its nine channels after the stub; every reset clears RAM
// and timers but keeps the sample rate.
TEST(SoundBoardReset, MutesType53AndClearsRamAndTimersButKeepsTheSampleRate)
{
    Z80Asm a(0);
    StoreAndIdle(a, 0x55, 0x2100);
    TestBoard t53(53, a.image(0x2000));
    WriteLog log;
    t53->SetChipWriteObserver(&log);
    t53->Reset();
    std::vector<std::pair<uint32_t, uint8_t>> expected;
    for (uint8_t ch = 0x30; ch < 0x39; ++ch) expected.insert(expected.end(), {{0, ch}, {1, 0xC0}});
    EXPECT_EQ(log.writes, expected);

    TestBoard b(0, a.image(0x2000));
    b->WriteMem(0x3234, 0x77);
    b->SetSampleRate(48000);
    RenderLeft(*b, 5);
    b->Reset();
    EXPECT_EQ(b->Ram()[0x1234], 0);
    EXPECT_EQ(b->Ram()[0x0100], 0x55);
    EXPECT_EQ(b->SampleAccumulator(), 0.0);
    EXPECT_EQ(b->SampleRate(), 48000u);
    EXPECT_TRUE(b->BootDone());
}

// Every reset of a YMF281B board selects the YMF281B instruments: a built-in
// instrument played right after a reset sounds as it does with that set
// chosen by hand, and not as with the YM2413's.
TEST(SoundBoardReset, YmfBoardsSelectTheirToneSetAtEveryReset)
{
    for (uint32_t type : {9u, 23u, 24u, 36u, 48u}) {
        SCOPED_TRACE("type " + std::to_string(type));
        Z80Asm a(0);
        a.di();
        a.jr(static_cast<uint16_t>(a.here()));
        TestBoard b(type, a.image(0x2000));
        ASSERT_NE(b->Opll(), nullptr);
        // Instrument 3 (a built-in one), full volume, on channel 0.
        const auto play = [&](int set) {
            b->Reset();
            OPLL* chip = b->Opll();
            if (set >= 0) OPLL::SelectToneSet(chip, set);
            OPLL::WriteReg(chip, 0x30, 0x30);
            OPLL::WriteReg(chip, 0x10, 0x80);
            OPLL::WriteReg(chip, 0x20, 0x19);
            std::vector<int32_t> out(2 * 2000);
            for (std::size_t i = 0; i < out.size(); i += 2) OPLL::RenderStereo(chip, &out[i]);
            return out;
        };
        const std::vector<int32_t> ym2413 = play(ToneSetYM2413);
        const std::vector<int32_t> afterReset = play(-1);
        EXPECT_TRUE(afterReset == play(ToneSetYMF281B));
        EXPECT_FALSE(afterReset == ym2413);
    }
}
