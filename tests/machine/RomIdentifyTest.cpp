// Identification of ROM image files: the loading path (size limits, ROM
// area, checksum lookup, exact messages and log lines), the folder-scan
// checksum, refusal of things that are not files, and the forging helper
// that later tests use to build synthetic ROMs for every machine type.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "machine/Crc32.h"
#include "machine/RomIdentify.h"
#include "support/LogCapture.h"
#include "support/RomForge.h"

namespace fs = std::filesystem;

namespace {

class RomIdentifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kelvara-identify-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = (m_dir / name).string();
        EXPECT_TRUE(WriteImageFile(path, bytes));
        return path;
    }

    struct Result {
        bool ok = false;
        std::string error;
        RomEntry entry{};
        const MachineDef* def = nullptr;
        uint32_t crc = 0;
        std::string log;
    };
    Result Identify(const std::string& path)
    {
        Result r;
        LogCapture log;
        r.ok = IdentifyRomFile(path.c_str(), m_rom.data(), r.entry, r.def, r.error, &r.crc);
        r.log = log.Joined();
        return r;
    }

    fs::path m_dir;
    // The ROM area plus a guard region that must never be written.
    std::vector<uint8_t> m_rom = std::vector<uint8_t>(kRomAreaSize + 4096, 0xA5);
};

// A pattern image whose first 8192 bytes are forged to `crc`.
std::vector<uint8_t> Forged(uint32_t crc, std::size_t size)
{
    std::vector<uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    EXPECT_TRUE(ForgeRomCrc(image, crc));
    return image;
}

}  // namespace

TEST_F(RomIdentifyTest, AcceptsSizesFrom8192To65536Inclusive)
{
    const uint32_t crc = 0x6D933EB0;  // type 32
    for (std::size_t size : {std::size_t{8192}, std::size_t{65536}}) {
        Result r = Identify(Write("ok.bin", Forged(crc, size)));
        ASSERT_TRUE(r.ok) << size << ": " << r.error;
        EXPECT_EQ(r.entry.crc, crc);
        EXPECT_EQ(r.entry.machineType, 32u);
        ASSERT_NE(r.def, nullptr);
        EXPECT_EQ(r.def->machineType, 32u);
        std::string n = std::to_string(size);
        EXPECT_EQ(r.log, "FILE SIZE: " + n + "\n fsizeCRC SIZE : 8192\n, crcsizeOK.\n");
    }
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{8191}, std::size_t{65537},
                             std::size_t{200000}}) {
        Result r = Identify(Write("bad.bin", std::vector<uint8_t>(size, 0x11)));
        EXPECT_FALSE(r.ok) << size;
        EXPECT_EQ(r.error, "File size error.") << size;
        std::string n = std::to_string(size);
        std::string crcSize = std::to_string(std::min<std::size_t>(size, 8192));
        EXPECT_EQ(r.log, "FILE SIZE: " + n + "\n fsizeCRC SIZE : " + crcSize + "\n, crcsize") << size;
    }
}

TEST_F(RomIdentifyTest, KeepsTheFirst16KOfTheImageAndWritesNothingPastTheRomArea)
{
    std::vector<uint8_t> image = Forged(0x8EEC6EE4, 65536);
    ASSERT_TRUE(Identify(Write("big.bin", image)).ok);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kRomAreaSize, m_rom.begin()));
    for (std::size_t i = kRomAreaSize; i < m_rom.size(); ++i)
        ASSERT_EQ(m_rom[i], 0xA5) << "written past the ROM area at " << i;

    // A short image fills only its own length.
    std::fill(m_rom.begin(), m_rom.end(), 0xA5);
    std::vector<uint8_t> small = Forged(0x8EEC6EE4, 9000);
    ASSERT_TRUE(Identify(Write("small.bin", small)).ok);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), m_rom.begin()));
    EXPECT_EQ(m_rom[9000], 0xA5);
}

TEST_F(RomIdentifyTest, BytesAfter8192DoNotChangeTheIdentity)
{
    std::vector<uint8_t> a = Forged(0x4300BFD3, 20000);  // type 40
    std::vector<uint8_t> b = a;
    for (std::size_t i = 8192; i < b.size(); ++i)
        b[i] ^= 0xFF;
    Result ra = Identify(Write("a.bin", a));
    Result rb = Identify(Write("b.bin", b));
    ASSERT_TRUE(ra.ok && rb.ok) << ra.error << rb.error;
    EXPECT_EQ(ra.crc, rb.crc);
    EXPECT_EQ(ra.entry.crc, 0x4300BFD3u);
    EXPECT_EQ(rb.entry.crc, 0x4300BFD3u);
    EXPECT_EQ(ra.def, rb.def);
    EXPECT_EQ(ScanRomFileCrc((m_dir / "a.bin").c_str()), ScanRomFileCrc((m_dir / "b.bin").c_str()));
}

TEST_F(RomIdentifyTest, UnknownChecksumIsRefusedAndOutputsStayUntouched)
{
    std::vector<uint8_t> image(8192, 0);
    ASSERT_TRUE(ForgeRomCrc(image, 0x12345678));
    Result r;
    r.entry.machineType = 999;
    LogCapture log;
    bool ok = IdentifyRomFile(Write("unknown.bin", image).c_str(), m_rom.data(), r.entry, r.def,
                              r.error, &r.crc);
    EXPECT_FALSE(ok);
    EXPECT_EQ(r.error, "Unknown ROM image.\n");
    EXPECT_EQ(r.crc, 0x12345678u);
    EXPECT_EQ(r.entry.machineType, 999u);
    EXPECT_EQ(r.def, nullptr);
    EXPECT_TRUE(log.Contains("OK.\n"));
}

TEST_F(RomIdentifyTest, MissingDirectoryFifoAndDeviceAreNotFoundWithoutBlocking)
{
    std::string fifo = (m_dir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {(m_dir / "missing.bin").string(), m_dir.string(), fifo, std::string("/dev/null"), std::string("")}) {
        Result r = Identify(path);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_EQ(r.error, "File not found.") << path;
        EXPECT_EQ(r.log, "") << path;
        EXPECT_EQ(ScanRomFileCrc(path.c_str()), 0u) << path;
    }
    std::string error;
    RomEntry entry{};
    const MachineDef* def = nullptr;
    EXPECT_FALSE(IdentifyRomFile(nullptr, m_rom.data(), entry, def, error));
    EXPECT_EQ(error, "File not found.");
}

TEST_F(RomIdentifyTest, UnreadableFileIsNotFound)
{
    std::string path = Write("locked.bin", Forged(0x8EEC6EE4, 8192));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    ASSERT_EQ(chmod(m_dir.c_str(), 0755), 0);
    // Root reads any file, so the check runs in a child that gives up root.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        std::vector<uint8_t> rom(kRomAreaSize);
        RomEntry entry{};
        const MachineDef* def = nullptr;
        std::string error;
        bool ok = IdentifyRomFile(path.c_str(), rom.data(), entry, def, error);
        _exit(!ok && error == "File not found." && ScanRomFileCrc(path.c_str()) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 3) << "could not drop root to test an unreadable file";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(RomIdentifyTest, FolderScanChecksumsExactlyTheFirst8192Bytes)
{
    std::vector<uint8_t> image = Forged(0x7D4C4539, 70000);
    EXPECT_EQ(ScanRomFileCrc(Write("big.bin", image).c_str()), 0x7D4C4539u);
    // Too big to load, but the scan still lists it as present.
    EXPECT_EQ(Identify((m_dir / "big.bin").string()).error, "File size error.");

    image.resize(8192);
    EXPECT_EQ(ScanRomFileCrc(Write("exact.bin", image).c_str()), 0x7D4C4539u);
    image.resize(8191);
    EXPECT_EQ(ScanRomFileCrc(Write("short.bin", image).c_str()), 0u);
    EXPECT_EQ(ScanRomFileCrc(Write("empty.bin", {}).c_str()), 0u);
}

TEST_F(RomIdentifyTest, ForgedImageForEveryMachineTypeIdentifiesAsThatMachine)
{
    std::vector<uint32_t> types = MachineTypesWithRoms();
    EXPECT_EQ(types.size(), 68u);  // 0..70 without 26, 49, 68
    for (uint32_t type : types) {
        int index = FirstRomIndexForType(type);
        ASSERT_GE(index, 0);
        EXPECT_EQ(GetRomEntry(static_cast<std::size_t>(index)).machineType, type);
        EXPECT_EQ(FirstRomCrcForType(type), GetRomEntry(static_cast<std::size_t>(index)).crc);
    }
    EXPECT_EQ(FirstRomIndexForType(26), -1);
    EXPECT_EQ(FirstRomCrcForType(49), 0u);
    EXPECT_EQ(FirstRomIndexForType(32), 83);

    // The first row of every type, through a real file: a tiny program at
    // the start, the CRC patch at the default place, a tail past 8192 that
    // must not matter. Plus the later of the two rows sharing a checksum.
    const std::vector<uint8_t> code = {0xF3, 0x31, 0xFF, 0x9F, 0xC3, 0x00, 0x00};
    std::vector<std::size_t> rows = {343};
    for (uint32_t type : types)
        rows.push_back(static_cast<std::size_t>(FirstRomIndexForType(type)));
    for (std::size_t i : rows) {
        const RomEntry& row = GetRomEntry(i);
        std::vector<uint8_t> image = MakeForgedRom(row.crc, code, 8192 + (i % 3) * 4096);
        ASSERT_FALSE(image.empty());
        ASSERT_TRUE(std::equal(code.begin(), code.end(), image.begin()));
        Result r = Identify(Write("row.bin", image));
        ASSERT_TRUE(r.ok) << "row " << i << ": " << r.error;
        EXPECT_EQ(r.entry.crc, row.crc);
        EXPECT_EQ(r.entry.machineType, row.machineType);
        EXPECT_STREQ(r.entry.title, FindRomEntry(row.crc)->title);  // the earlier duplicate wins
        ASSERT_NE(r.def, nullptr);
        EXPECT_EQ(r.def->machineType, row.machineType);
    }
}

TEST(RomForge, ForgesAtAnyOffsetBelow8192AndRefusesOthers)
{
    std::vector<uint8_t> image(10000);
    std::iota(image.begin(), image.end(), 0);
    for (std::size_t offset : {std::size_t{0}, std::size_t{1}, std::size_t{4097}, std::size_t{8188}}) {
        std::vector<uint8_t> copy = image;
        ASSERT_TRUE(ForgeRomCrc(copy, 0xCAFEF00D, offset)) << offset;
        EXPECT_EQ(Crc32(8192, copy.data()), 0xCAFEF00Du);
        for (std::size_t i = 0; i < copy.size(); ++i)
            if (i < offset || i >= offset + 4)
                ASSERT_EQ(copy[i], image[i]) << "offset " << offset << " changed byte " << i;
    }
    std::vector<uint8_t> copy = image;
    EXPECT_FALSE(ForgeRomCrc(copy, 1, 8189));  // patch would cross 8192
    EXPECT_EQ(copy, image);
    std::vector<uint8_t> shortImage(8191);
    EXPECT_FALSE(ForgeRomCrc(shortImage, 1));
    EXPECT_TRUE(MakeForgedRom(1, std::vector<uint8_t>(8189)).empty());  // code over the patch
    EXPECT_TRUE(MakeForgedRom(1, {}, 4096).empty());
}
