// The ROM list on folders and cache files a user can break: nothing may
// crash or hang, and a valid cache must survive.

#include <sys/stat.h>

#include <random>

#include "RomListTestFolder.h"
#include "machine/RomIdentify.h"


namespace {

using RomListBadInputTest = RomFolderFixture;

TEST_F(RomListBadInputTest, OddEntriesInTheFolderAreSkipped)
{
    std::vector<int> rows = PlainRows(2);
    std::string good = WriteRom("good.bin", rows[0]);
    fs::path roms = m_program / "ROMS";
    fs::create_symlink("loop2.bin", roms / "loop1.bin");
    fs::create_symlink("loop1.bin", roms / "loop2.bin");
    fs::create_symlink(".", roms / "self.rom");
    fs::create_symlink("nowhere", roms / "dangling.snd");
    fs::create_directory(roms / "folder.bin");
    ASSERT_EQ(mkfifo((roms / "pipe.bin").c_str(), 0644), 0);
    // A link to an image elsewhere counts, under the link's own name.
    ASSERT_TRUE(WriteImageFile((m_root / "elsewhere.img").string(), MakeForgedRom(GetRomEntry(rows[1]).crc)));
    fs::create_symlink(m_root / "elsewhere.img", roms / "linked.rom");

    auto list = Start();
    EXPECT_EQ(list->PresentCount(), 2);
    EXPECT_EQ(list->Items()[rows[0]].path, good);
    EXPECT_EQ(list->Items()[rows[1]].path, RomPath("linked.rom"));
    EXPECT_EQ(list->LastScanReads(), 2u);  // only regular files are listed: no FIFO, folder or broken link

    ASSERT_TRUE(list->SaveCache());
    EXPECT_EQ(Start()->LastScanReads(), 0u);
}

TEST_F(RomListBadInputTest, FolderThatCannotBeListedKeepsTheCacheForLater)
{
    WriteRoms(2);
    ASSERT_TRUE(Start()->SaveCache());
    const auto goodCache = fs::file_size(CachePath());
    fs::path roms = m_program / "ROMS";
    fs::path aside = m_program / "ROMS.aside";

    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop ? "ROMS is a loop of links" : "ROMS is a file");
        fs::rename(roms, aside);
        if (loop)
            fs::create_symlink("ROMS2", roms), fs::create_symlink("ROMS", m_program / "ROMS2");
        else
            ASSERT_TRUE(WriteImageFile(roms.string(), std::vector<uint8_t>(100, 1)));
        {
            auto broken = Start();
            EXPECT_EQ(broken->PresentCount(), 0);
            EXPECT_TRUE(broken->Cache().empty());
            EXPECT_EQ(broken->HeldRecords().size(), 2u);
            EXPECT_TRUE(broken->SaveCache());
        }
        EXPECT_EQ(fs::file_size(CachePath()), goodCache);
        fs::remove(roms);
        fs::remove(m_program / "ROMS2");
        fs::rename(aside, roms);
        auto mended = Start();
        EXPECT_EQ(mended->PresentCount(), 2);
        EXPECT_EQ(mended->LastScanReads(), 0u);
    }
}

TEST_F(RomListBadInputTest, FileVanishingDuringTheScanIsNotPresent)
{
    std::vector<int> rows = PlainRows(3);
    WriteRom("a.bin", rows[0]);
    std::string vanishing = WriteRom("b.bin", rows[1]);
    std::string replaced = WriteRom("c.bin", rows[2]);
    CRomList list(1);
    list.SetProgramFolder(Program());
    list.SetCrcReader([&](const std::string& path) {
        if (path == RomPath("a.bin")) {
            fs::remove(vanishing);
            WriteJunk("c.bin");
        }
        return ScanRomFileCrc(path.c_str());
    });
    list.Initialise();
    EXPECT_TRUE(list.Items()[rows[0]].present);
    EXPECT_FALSE(list.Items()[rows[1]].present);
    EXPECT_FALSE(list.Items()[rows[2]].present);
    ASSERT_EQ(list.Cache().size(), 1u);
    EXPECT_EQ(list.Cache()[0].Path(), RomPath("a.bin"));
}

TEST_F(RomListBadInputTest, EmptyOddAndHugeCacheFilesLoseNoValidRecord)
{
    WriteRoms(2);

    // An empty cache, and a folder in the cache's place, start like no cache.
    ASSERT_TRUE(WriteImageFile(CachePath(), {}));
    EXPECT_EQ(Start()->PresentCount(), 2);
    fs::remove(CachePath());
    fs::create_directory(CachePath());
    EXPECT_EQ(Start()->PresentCount(), 2);
    EXPECT_FALSE(Start()->SaveCache());
    fs::remove(CachePath());

    // Two valid records, then 100 MB of garbage, some with unterminated paths.
    ASSERT_TRUE(Start()->SaveCache());
    std::string bytes = ReadText(CachePath());
    const std::size_t valid = bytes.size();
    std::mt19937 random(7);
    std::string garbage(kRomCacheRecordSize * 1000, 'A');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        if ((i / kRomCacheRecordSize) % 3 != 0)
            garbage[i] = char(random());
    while (bytes.size() < (100u << 20))
        bytes += garbage;
    WriteFile(CachePath(), bytes);

    auto list = Start();
    EXPECT_EQ(list->PresentCount(), 2);
    EXPECT_EQ(list->LastScanReads(), 0u);
    EXPECT_EQ(list->Cache().size(), 2u);
    ASSERT_TRUE(list->SaveCache());
    EXPECT_EQ(fs::file_size(CachePath()), valid);
}

}  // namespace
