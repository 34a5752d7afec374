// The built-in fix-up table: every record reachable by type AND checksum,
// stub placement by machine type, and spot checks of bytes a board needs.
#include "machine/DriverStubs.h"
#include "machine/Fixups.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using PatchList = std::vector<std::pair<uint16_t, std::vector<uint8_t>>>;

PatchList Patches(const RomPatch* p, uint32_t count)
{
    PatchList out;
    for (uint32_t i = 0; i < count; ++i)
        out.emplace_back(p[i].address, std::vector<uint8_t>(p[i].bytes, p[i].bytes + p[i].length));
    return out;
}
PatchList Before(const ResetFixup& f) { return Patches(f.patchesBefore, f.patchesBeforeCount); }
PatchList After(const ResetFixup& f) { return Patches(f.patchesAfter, f.patchesAfterCount); }

const ResetFixup& Must(uint32_t type, uint32_t crc)
{
    const ResetFixup* f = BuiltinFixups().Find(type, crc);
    if (!f) throw std::runtime_error("no fix-up for type " + std::to_string(type));
    return *f;
}

}  // namespace

TEST(FixupTable, EveryRecordIsReachableByTypeAndChecksum)
{
    ASSERT_EQ(GetFixupCount(), 230u);
    for (std::size_t i = 0; i < GetFixupCount(); ++i) {
        const ResetFixup& f = GetFixup(i);
        // A duplicate key would hide the later record.
        EXPECT_EQ(BuiltinFixups().Find(f.machineType, f.crc), &f) << "record " << i;
    }
    EXPECT_THROW(GetFixup(GetFixupCount()), std::out_of_range);
    // The key is type AND checksum.
    EXPECT_EQ(BuiltinFixups().Find(48, 0x62F9409C), nullptr);
    EXPECT_EQ(BuiltinFixups().Find(51, 0x62F9409D), nullptr);
}

TEST(FixupTable, StubPlacementFollowsMachineType)
{
    for (std::size_t i = 0; i < GetFixupCount(); ++i) {
        const ResetFixup& f = GetFixup(i);
        if (f.stubSize == 0) {
            EXPECT_EQ(f.stubImage, nullptr);
            continue;
        }
        SCOPED_TRACE("type " + std::to_string(f.machineType));
        EXPECT_TRUE(f.stubSize % 16 == 0 && f.stubSize >= 48 && f.stubSize <= 288) << f.stubSize;
        EXPECT_EQ(f.stubRamOffset, f.machineType == 53 ? 0x0000 : f.machineType == 67 ? 0x0800 : 0x1000);
        EXPECT_EQ(f.stubBeforeBoot, f.machineType == 56);
    }
    EXPECT_EQ(Must(40, 0x4300BFD3).stubImage, kStub40_4300BFD3);
    EXPECT_EQ(Must(70, 0xEC8E5508).stubSize, 272u);
    EXPECT_EQ(Must(48, 0x9A3FC14B).stubSize, 0u);  // enters commands through a jump in ROM
}

TEST(FixupTable, SpotRecordsCarryTheirExactPatches)
{
    // Type 51: the jump at the command entry 0x0FFD, before boot only.
    const ResetFixup& t51 = Must(51, 0x62F9409C);
    EXPECT_EQ(Before(t51), (PatchList{{0x0074, {0xAF}}, {0x010F, {0xC9}}, {0x0FFD, {0xC3, 0xAC, 0x00}}}));
    EXPECT_TRUE(After(t51).empty());
    // Beyond the first 4 KB and multi-byte runs, after boot.
    EXPECT_EQ(After(Must(5, 0xB8815BAB)), (PatchList{{0x0F9C, {0x2A, 0x00, 0x91}}, {0x1261, {0xFF, 0xFF, 0xFF}}}));
    // Patched twice: the same bytes before and after boot.
    const ResetFixup& t45 = Must(45, 0xAEB82077);
    EXPECT_EQ(Before(t45), (PatchList{{0x0618, {0, 0, 0}}, {0x08C4, {0xAF}}}));
    EXPECT_EQ(After(t45), Before(t45));
    EXPECT_TRUE(Must(22, 0x7D3AFBD0).bankCopy);
    EXPECT_FALSE(t45.bankCopy);
}
