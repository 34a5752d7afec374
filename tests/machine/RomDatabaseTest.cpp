// The built-in ROM database: row order, lookups, hidden rows, texts and the
// checksum used to identify images.

#include <gtest/gtest.h>

#include <string>

#include "app/TextEncoding.h"
#include "machine/Crc32.h"
#include "machine/MachineDef.h"
#include "machine/RomDatabase.h"

namespace {

std::string Hex(const char* s)
{
    std::string hex;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p)
        hex += {"0123456789ABCDEF"[*p >> 4], "0123456789ABCDEF"[*p & 15]};
    return hex;
}

}  // namespace

TEST(Crc32, MatchesTheZipChecksum)
{
    EXPECT_EQ(Crc32(9, reinterpret_cast<const uint8_t*>("123456789")), 0xCBF43926u);
    EXPECT_EQ(Crc32(0, nullptr), 0u);
}

TEST(RomDatabase, HasAllRowsInTableOrderWithTerminator)
{
    ASSERT_EQ(GetRomEntryCount(), 507u);
    const struct {
        std::size_t index;
        uint32_t crc, type;
        const char* title;
    } rows[] = {{0, 0x407C6D0E, 59, "ジョーカーズワイルド"},
                {100, 0x5061BB49, 32, "ナイスデイワールド"},
                {506, 0x8EEC6EE4, 57, "ストリートキャッツＳ"}};
    for (const auto& row : rows) {
        EXPECT_EQ(GetRomEntry(row.index).crc, row.crc) << row.index;
        EXPECT_EQ(GetRomEntry(row.index).machineType, row.type) << row.index;
        EXPECT_STREQ(GetRomEntry(row.index).title, row.title) << row.index;
    }
    // Past the end: the all-zero terminator, never memory outside the table.
    EXPECT_EQ(GetRomEntry(100000).crc, 0u);
    EXPECT_STREQ(GetRomEntry(507).title, "");
}

TEST(RomDatabase, FindReturnsTheFirstRowForEveryChecksum)
{
    // 7D4C4539 is listed twice (rows 254 and 343, both type 17).
    for (std::size_t i = 0; i < GetRomEntryCount(); ++i) {
        const int expected = i == 343 ? 254 : static_cast<int>(i);
        EXPECT_EQ(GetRomEntryIndex(FindRomEntry(GetRomEntry(i).crc)), expected) << "row " << i;
    }
    EXPECT_EQ(FindRomEntry(0), nullptr);
    EXPECT_EQ(FindRomEntry(0x12345678), nullptr);
    EXPECT_EQ(GetRomEntryIndex(nullptr), -1);
}

TEST(RomDatabase, HiddenBitIsCarried)
{
    EXPECT_TRUE(FindRomEntry(0x88785CD1)->flags & kRomFlagHidden);
    EXPECT_TRUE(FindRomEntry(0x19A9CCA8)->flags & kRomFlagHidden);
    EXPECT_FALSE(FindRomEntry(0x407C6D0E)->flags & kRomFlagHidden);
}

TEST(RomDatabase, NamesAreTheTitlesInCp932)
{
    // Characters that differ between Shift-JIS variants or are easy to get
    // wrong: roman numerals (NEC row 13), full-width minus, full-width
    // letters and digits, the ideographic space, an ASCII hyphen.
    EXPECT_EQ(Hex(FindRomEntry(0x8E93FA3E)->name),  // ピンクドルフィン－３０
              "83738393834E8368838B837483428393817C8252824F");
    EXPECT_EQ(Hex(FindRomEntry(0xC545B4CA)->name).substr(0, 12), "82618289828E");     // Ｂｉｎ
    EXPECT_EQ(Hex(FindRomEntry(0xD59E8B43)->name).find("8140"), 28u);                 // グレンヒューズ　ラムダ
    EXPECT_NE(Hex(FindRomEntry(0x0F39FC54)->name).find("87542D8252"), std::string::npos);  // Ⅰ-３

    // Every name converts back to its UTF-8 title: nothing lost or substituted.
    for (std::size_t i = 0; i < GetRomEntryCount(); ++i) {
        const RomEntry& row = GetRomEntry(i);
        ASSERT_TRUE(row.name && *row.name) << "row " << i;
        EXPECT_EQ(Cp932ToUtf8(row.name), row.title) << "row " << i;
    }
}

TEST(RomDatabase, EveryRowNamesAMachineWithItsHardware)
{
    for (std::size_t i = 0; i < GetRomEntryCount(); ++i) {
        const RomEntry& row = GetRomEntry(i);
        const MachineDef* def = FindMachineDef(row.machineType);
        ASSERT_NE(def, nullptr) << "row " << i;
        const char* expected = def->chipKind == ChipYM2413    ? "Z80,YM2413"
                               : def->chipKind == ChipYMF281B ? "Z80,YMF281B"
                               : def->chipKind == ChipPSG     ? "Z80,AY-3-8910"
                                                              : "Z80,SN76489";
        EXPECT_STREQ(row.hardware, expected) << "row " << i;
        ASSERT_TRUE(row.typeText && row.manufacturer && row.typeTextUtf8 && row.manufacturerUtf8) << "row " << i;
    }
}
