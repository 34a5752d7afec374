// The built-in fix-up table: every record present, keyed by type AND
// checksum, with the exact bytes, placements and timings a board needs.
#include "machine/DriverStubs.h"
#include "machine/Fixups.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
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

std::size_t ByteCount(const PatchList& list)
{
    std::size_t n = 0;
    for (const auto& p : list) n += p.second.size();
    return n;
}

const ResetFixup& Must(uint32_t type, uint32_t crc)
{
    const ResetFixup* f = BuiltinFixups().Find(type, crc);
    if (!f) throw std::runtime_error("no fix-up for type " + std::to_string(type));
    return *f;
}

}  // namespace

TEST(FixupTable, HasEveryRecordOfEveryMachineTypeOnce)
{
    // Records per machine type: 44 types, 230 records.
    const std::map<uint32_t, int> expected = {
        {5, 7},   {6, 3},   {9, 1},   {11, 2},  {12, 11}, {13, 3},  {14, 1},  {15, 24}, {18, 7},
        {21, 4},  {22, 2},  {23, 10}, {24, 11}, {25, 2},  {33, 2},  {34, 2},  {35, 1},  {37, 2},
        {38, 2},  {39, 4},  {40, 10}, {41, 1},  {42, 9},  {45, 3},  {46, 2},  {47, 3},  {48, 3},
        {50, 2},  {51, 4},  {52, 6},  {53, 16}, {54, 13}, {55, 1},  {56, 4},  {59, 4},  {61, 5},
        {62, 2},  {63, 7},  {64, 1},  {65, 15}, {66, 4},  {67, 10}, {69, 1},  {70, 3}};
    ASSERT_EQ(GetFixupCount(), 230u);
    std::map<uint32_t, int> perType;
    for (std::size_t i = 0; i < GetFixupCount(); ++i) {
        const ResetFixup& f = GetFixup(i);
        ++perType[f.machineType];
        // Every record is reachable through the lookup the board uses (a
        // duplicate key would hide the later record).
        EXPECT_EQ(BuiltinFixups().Find(f.machineType, f.crc), &f) << "record " << i;
    }
    EXPECT_EQ(perType, expected);
    EXPECT_THROW(GetFixup(GetFixupCount()), std::out_of_range);
    // The key is type AND checksum.
    EXPECT_EQ(BuiltinFixups().Find(48, 0x62F9409C), nullptr);
    EXPECT_EQ(BuiltinFixups().Find(51, 0x62F9409D), nullptr);
}

TEST(FixupTable, StubPlacementFollowsMachineType)
{
    int withStub = 0, withImage = 0;
    for (std::size_t i = 0; i < GetFixupCount(); ++i) {
        const ResetFixup& f = GetFixup(i);
        withImage += f.stubImage != nullptr;
        if (f.stubSize == 0) {
            EXPECT_EQ(f.stubImage, nullptr);
            continue;
        }
        ++withStub;
        SCOPED_TRACE("type " + std::to_string(f.machineType));
        EXPECT_TRUE(f.stubSize % 16 == 0 && f.stubSize >= 48 && f.stubSize <= 288) << f.stubSize;
        EXPECT_EQ(f.stubRamOffset, f.machineType == 53 ? 0x0000 : f.machineType == 67 ? 0x0800 : 0x1000);
        EXPECT_EQ(f.stubBeforeBoot, f.machineType == 56);
    }
    EXPECT_EQ(withStub, 186);
    // Only two stubs are written out; others of the same type have none.
    EXPECT_EQ(withImage, 2);
    EXPECT_EQ(Must(40, 0x4300BFD3).stubImage, kStub40_4300BFD3);
    EXPECT_EQ(Must(24, 0x015D3C88).stubImage, kStub24_015D3C88);
    // Sizes other than the common 64 bytes (type 48 enters commands through
    // a jump in ROM, never a stub; 112 goes with the bank copy).
    const std::pair<const ResetFixup*, uint32_t> sizes[] = {
        {&Must(24, 0x015D3C88), 64}, {&Must(54, 0x82FE4345), 48}, {&Must(48, 0x9A3FC14B), 0},
        {&Must(70, 0xEC8E5508), 272}, {&Must(22, 0x7D3AFBD0), 112}, {&Must(56, 0x8960DF98), 288}};
    for (auto [f, size] : sizes) EXPECT_EQ(f->stubSize, size) << std::hex << f->crc;
}

TEST(FixupTable, RomPatchesAreExact)
{
    // Type 51: the jump at the command entry 0x0FFD, before boot only.
    const ResetFixup& t51 = Must(51, 0x62F9409C);
    EXPECT_EQ(Before(t51), (PatchList{{0x0074, {0xAF}}, {0x010F, {0xC9}}, {0x0FFD, {0xC3, 0xAC, 0x00}}}));
    EXPECT_TRUE(After(t51).empty());
    // Type 15: two NOPs after boot.
    EXPECT_TRUE(Before(Must(15, 0x7944401C)).empty());
    EXPECT_EQ(After(Must(15, 0x7944401C)), (PatchList{{0x012B, {0x00}}, {0x02A7, {0x00}}}));
    // Type 56: ten bytes that make the program call into its stub, before boot.
    const ResetFixup& t56 = Must(56, 0x8960DF98);
    EXPECT_EQ(Before(t56), (PatchList{{0x004E, {0xCD, 0x00, 0x90}},
                                      {0x0075, {0xAF}},
                                      {0x0160, {0xCD, 0x30, 0x90}},
                                      {0x0171, {0xCD, 0x30, 0x90}}}));
    EXPECT_TRUE(After(t56).empty());
    // Type 23: the long before-boot patches.
    const PatchList t23 = Before(Must(23, 0xDF05D8CA));
    EXPECT_EQ(ByteCount(t23), 67u);
    EXPECT_EQ(t23.back().second.back(), 0x14);
    // Patches beyond the first 4 KB and multi-byte runs.
    EXPECT_EQ(After(Must(5, 0xB8815BAB)), (PatchList{{0x0F9C, {0x2A, 0x00, 0x91}}, {0x1261, {0xFF, 0xFF, 0xFF}}}));
}

TEST(FixupTable, PatchTwiceAndBankCopyFlagsOnlyTheirRoms)
{
    const std::set<std::pair<uint32_t, uint32_t>> twice = {{45, 0xAEB82077}, {51, 0x1B08633D}, {51, 0xBAB321E7}};
    const std::set<std::pair<uint32_t, uint32_t>> banked = {{22, 0x7D3AFBD0}, {35, 0x4BF44441}};
    for (std::size_t i = 0; i < GetFixupCount(); ++i) {
        const ResetFixup& f = GetFixup(i);
        EXPECT_EQ(f.bankCopy, banked.count({f.machineType, f.crc}) == 1) << std::hex << f.crc;
        const bool both = f.patchesBeforeCount > 0 && f.patchesAfterCount > 0;
        EXPECT_EQ(both, twice.count({f.machineType, f.crc}) == 1) << std::hex << f.crc;
        if (both) {
            EXPECT_EQ(Before(f), After(f)) << std::hex << f.crc;
        }
    }
    EXPECT_EQ(Before(Must(45, 0xAEB82077)), (PatchList{{0x0618, {0, 0, 0}}, {0x08C4, {0xAF}}}));
    // Its sibling of the same type writes only one of the two.
    EXPECT_TRUE(Before(Must(45, 0x197F709E)).empty());
    EXPECT_EQ(ByteCount(After(Must(45, 0x197F709E))), 3u);
}
