// The ROM list on a real program folder: scanning, the cache, listing and
// autoplay's shuffled pick.

#include <sys/time.h>

#include <algorithm>
#include <set>

#include "RomListTestFolder.h"
#include "machine/RomIdentify.h"


namespace {

using RomListTest = RomFolderFixture;

void SetWriteTime(const std::string& path, time_t seconds)
{
    struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
}

TEST_F(RomListTest, ColdStartFindsImagesOfEveryPatternAndRecordsThem)
{
    std::vector<int> rows = PlainRows(4);
    std::string bin = WriteRom("one.bin", rows[0]);
    std::string upper = WriteRom("TWO.ROM", rows[1]);  // the patterns ignore case
    std::string snd = WriteRom("three.snd", rows[2], 65536);
    WriteRom("four.dat", rows[3]);  // no scanned pattern
    WriteJunk("junk.bin");

    auto list = Start();
    const auto& items = list->Items();
    ASSERT_EQ(items.size(), 507u);
    EXPECT_EQ(items[rows[0]].path, bin);
    EXPECT_EQ(items[rows[1]].path, upper);
    EXPECT_EQ(items[rows[2]].path, snd);
    EXPECT_FALSE(items[rows[3]].present);
    EXPECT_EQ(list->PresentCount(), 3);
    ASSERT_EQ(list->Cache().size(), 3u);

    std::set<std::string> recorded;
    for (const RomCacheRecord& r : list->Cache()) {
        recorded.insert(std::string(r.Path()));
        EXPECT_EQ(r.crc, ScanRomFileCrc(std::string(r.Path()).c_str()));
    }
    EXPECT_EQ(recorded, (std::set<std::string>{bin, upper, snd}));

    ASSERT_TRUE(list->SaveCache());
    EXPECT_EQ(fs::file_size(CachePath()), 3 * kRomCacheRecordSize);

    // Next start: the images come from the cache; only the junk file is read.
    auto warm = Start();
    EXPECT_EQ(warm->PresentCount(), 3);
    EXPECT_EQ(warm->LastScanReads(), 1u);
}

TEST_F(RomListTest, TouchedImageOrRenamedProgramFolderInvalidatesRecords)
{
    std::vector<int> rows = WriteRoms(3);
    ASSERT_TRUE(Start()->SaveCache());
    SetWriteTime(RomPath("r0.bin"), 1000000000);
    CRomList touched(1);
    touched.SetProgramFolder(Program());
    touched.LoadCache();
    EXPECT_EQ(touched.Cache().size(), 3u);
    touched.CheckCache();
    EXPECT_EQ(touched.Cache().size(), 2u);
    touched.Scan();
    EXPECT_EQ(touched.LastScanReads(), 1u);  // only the touched image
    EXPECT_EQ(touched.Items()[rows[0]].path, RomPath("r0.bin"));
    ASSERT_TRUE(touched.SaveCache());

    const fs::path moved = m_root / "renamed";
    fs::rename(m_program, moved);
    m_program = moved;
    CRomList renamed(1);
    renamed.SetProgramFolder(Program());
    renamed.LoadCache();
    renamed.CheckCache();
    EXPECT_TRUE(renamed.Cache().empty());
    renamed.Scan();
    EXPECT_EQ(renamed.LastScanReads(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(renamed.Items()[rows[i]].path, RomPath(Numbered("r", i, ".bin")));
}

TEST_F(RomListTest, DeletedImageStaysPresentUntilNextStart)
{
    int row = PlainRows(1)[0];
    std::string path = WriteRom("gone.bin", row);
    auto list = Start();
    fs::remove(path);
    list->Scan();
    EXPECT_TRUE(list->Items()[row].present);
    EXPECT_EQ(list->Items()[row].path, path);
    ASSERT_TRUE(list->SaveCache());

    auto next = Start();
    EXPECT_FALSE(next->Items()[row].present);
    EXPECT_TRUE(next->Cache().empty());
}

TEST_F(RomListTest, HiddenRowsAreListedAndCountedOnlyWhenPresent)
{
    int hidden = 0;
    while (!(GetRomEntry(hidden).flags & kRomFlagHidden))
        ++hidden;

    CRomList empty(1);
    EXPECT_EQ(empty.ListableCount(), 489);
    auto listed = empty.ListedRows(false);
    EXPECT_EQ(listed.size(), 489u);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), hidden), 0);
    EXPECT_TRUE(empty.ListedRows(true).empty());
    EXPECT_EQ(empty.StatusText(), "Available roms : 0/489");

    WriteRom("hidden.bin", hidden);
    auto list = Start();
    EXPECT_EQ(list->ListableCount(), 490);
    EXPECT_EQ(list->ListedRows(true), std::vector<int>{hidden});
    listed = list->ListedRows(false);
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
    EXPECT_EQ(std::count(listed.begin(), listed.end(), hidden), 1);
}

TEST_F(RomListTest, PathTooLongForARecordIsFoundButNotRecorded)
{
    fs::path deep = m_root;
    while (deep.string().size() < 280)
        deep /= std::string(40, 'd');
    fs::create_directories(deep / "ROMS");
    int row = PlainRows(1)[0];
    std::string path = deep.string() + "/ROMS/long.bin";
    ASSERT_TRUE(WriteImageFile(path, MakeForgedRom(GetRomEntry(row).crc)));

    CRomList list(1);
    list.SetProgramFolder(deep.string());
    list.Initialise();
    EXPECT_EQ(list.Items()[row].path, path);
    EXPECT_TRUE(list.Cache().empty());
    list.Scan();
    EXPECT_EQ(list.LastScanReads(), 1u);
    ASSERT_TRUE(list.SaveCache());
    EXPECT_EQ(fs::file_size(deep.string() + "/Kelvara.csh"), 0u);
}

TEST_F(RomListTest, RandomPickPlaysEveryPresentImageOncePerCycle)
{
    std::vector<int> rows = WriteRoms(7);
    auto list = Start(12345);
    RecordingHost host;
    std::vector<std::vector<int>> cycles;
    for (int cycle = 0; cycle < 4; ++cycle) {
        for (int k = 0; k < 7; ++k)
            ASSERT_TRUE(list->PickRandom(host));
        std::vector<int> order(host.rows.end() - 7, host.rows.end());
        cycles.push_back(order);
        std::sort(order.begin(), order.end());
        EXPECT_EQ(order, rows) << "cycle " << cycle;
    }
    // The order is shuffled anew each cycle, not fixed.
    EXPECT_FALSE(cycles[0] == cycles[1] && cycles[1] == cycles[2] && cycles[2] == cycles[3]);
}

TEST_F(RomListTest, RandomPickWithNothingPresentRecoversAfterRescan)
{
    auto list = Start();
    RecordingHost host;
    EXPECT_FALSE(list->PickRandom(host));
    WriteRoms(1);
    list->Scan();
    EXPECT_TRUE(list->PickRandom(host));
    EXPECT_EQ(host.paths, std::vector<std::string>{RomPath("r0.bin")});
}

}  // namespace
