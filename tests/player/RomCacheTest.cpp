// The cache file: its byte layout, loading whole and partial records, and
// saving without ever losing the previous file.

#include <gtest/gtest.h>

#include <cstring>

#include "PlaylistTestFiles.h"
#include "player/RomCache.h"
#include "support/RomForge.h"

namespace {


RomFileInfo SampleFile()
{
    RomFileInfo file;
    file.name = "game.bin";
    file.path = "/opt/kelvara/ROMS/game.bin";
    file.attributes = kFileAttributeArchive;
    file.creationTime = 0x01D2'3456'789A'BCDEull;
    file.lastAccessTime = 0x01D2'0000'0000'0001ull;
    file.lastWriteTime = 0x01D3'1111'2222'3333ull;
    file.size = 0x1'0000'2000ull;
    return file;
}

TEST(RomCacheTest, RecordBytesFollowTheFileLayout)
{
    RomCacheRecord record;
    ASSERT_TRUE(MakeRomCacheRecord(SampleFile(), 0x12345678, record));
    uint8_t bytes[kRomCacheRecordSize];
    std::memset(bytes, 0xAA, sizeof bytes);
    EncodeRomCacheRecord(record, bytes);

    const uint8_t head[40] = {
        0x78, 0x56, 0x34, 0x12,  0x20, 0, 0, 0,                                   // crc, attributes
        0xDE, 0xBC, 0x9A, 0x78,  0x56, 0x34, 0xD2, 0x01,                          // creation
        0x01, 0, 0, 0,           0, 0, 0xD2, 0x01,                                // last access
        0x33, 0x33, 0x22, 0x22,  0x11, 0x11, 0xD3, 0x01,                          // last write
        0x01, 0, 0, 0,           0x00, 0x20, 0, 0,                                // size high, low
    };
    EXPECT_EQ(std::memcmp(bytes, head, sizeof head), 0);
    const char* path = "/opt/kelvara/ROMS/game.bin";
    EXPECT_EQ(std::memcmp(bytes + 40, path, std::strlen(path) + 1), 0);
    for (std::size_t i = 40 + std::strlen(path); i < kRomCacheRecordSize; ++i)
        ASSERT_EQ(bytes[i], 0) << "offset " << i;

    RomCacheRecord back = DecodeRomCacheRecord(bytes);
    EXPECT_TRUE(RomCacheRecordMatches(back, SampleFile()));
    EXPECT_EQ(back.crc, 0x12345678u);
    EXPECT_EQ(back.lastAccessTime, SampleFile().lastAccessTime);
}

TEST(RomCacheTest, FileHoldsWholeRecordsAndAFailedSaveKeepsTheOldOne)
{
    ScratchDir tmp;
    std::vector<RomCacheRecord> records(3);
    for (uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(MakeRomCacheRecord(SampleFile(), 0xCAFE + i, records[i]));
    std::string path = tmp / "Kelvara.csh";
    ASSERT_TRUE(SaveRomCacheFile(path, records));
    std::vector<uint8_t> bytes(3 * kRomCacheRecordSize + 17, 0x5A);  // a partial record after three
    std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(bytes.data()), 3 * kRomCacheRecordSize);
    ASSERT_TRUE(WriteImageFile(path, bytes));

    std::vector<RomCacheRecord> back;
    ASSERT_TRUE(LoadRomCacheFile(path, back));
    ASSERT_EQ(back.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].crc, 0xCAFE + i);
        EXPECT_TRUE(RomCacheRecordMatches(back[i], SampleFile()));
    }
    ASSERT_TRUE(WriteImageFile(tmp / "empty.csh", {}));
    EXPECT_TRUE(LoadRomCacheFile(tmp / "empty.csh", back));
    EXPECT_FALSE(LoadRomCacheFile(tmp / "missing.csh", back));
    EXPECT_FALSE(LoadRomCacheFile(tmp.dir.string(), back));  // a folder
    EXPECT_EQ(back.size(), 3u);

    // The side file cannot be created: the save fails, the old file stays.
    fs::create_directory(path + ".new");
    EXPECT_FALSE(SaveRomCacheFile(path, {}));
    EXPECT_EQ(fs::file_size(path), bytes.size());
    EXPECT_FALSE(SaveRomCacheFile(tmp / "none/Kelvara.csh", records));
}

}  // namespace
