// Identification of ROM image files: size limits and log lines, the ROM
// area, checksum lookup and messages, the folder-scan checksum, refusal of
// things that are not readable files, the forging helper, and
// kelvara-render --identify run as a separate program.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = (m_dir / name).string();
        EXPECT_TRUE(WriteImageFile(path, bytes));
        return path;
    }

    struct Result {
        bool ok = false;
        std::string error, log;
        RomEntry entry{};
        const MachineDef* def = nullptr;
        uint32_t crc = 0;
    };
    Result Identify(const std::string& path, uint32_t presetType = 0)
    {
        Result r;
        r.entry.machineType = presetType;
        LogCapture log;
        r.ok = IdentifyRomFile(path.c_str(), m_rom.data(), r.entry, r.def, r.error, &r.crc);
        r.log = log.Joined();
        return r;
    }

    fs::path m_dir;
    // The ROM area plus a guard region that must never be written.
    std::vector<uint8_t> m_rom = std::vector<uint8_t>(kRomAreaSize + 4096, 0xA5);
};

struct ToolRun {
    int status = -1;  // exit status, or -1 if it did not exit normally
    std::string out;
};

// Runs kelvara-render with `args`; standard error is discarded.
ToolRun RunTool(const std::vector<std::string>& args)
{
    ToolRun run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        (void)!freopen("/dev/null", "w", stderr);
        std::string tool = KELVARA_RENDER_PATH;
        std::vector<std::string> copy = args;
        std::vector<char*> argv = {tool.data()};
        for (auto& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(126);
    }
    close(pipeFds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0)
        run.out.append(buf, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}

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

TEST_F(RomIdentifyTest, AcceptsSizesFrom8192To65536AndLogsTheSteps)
{
    for (std::size_t size : {8192u, 65536u}) {
        Result r = Identify(Write("ok.bin", Forged(0x6D933EB0, size)));  // type 32
        ASSERT_TRUE(r.ok) << size << ": " << r.error;
        EXPECT_EQ(r.entry.crc, 0x6D933EB0u);
        EXPECT_EQ(r.entry.machineType, 32u);
        ASSERT_NE(r.def, nullptr);
        EXPECT_EQ(r.def->machineType, 32u);
        EXPECT_EQ(r.log, "FILE SIZE: " + std::to_string(size) + "\n fsizeCRC SIZE : 8192\n, crcsizeOK.\n");
    }
    for (std::size_t size : {0u, 1u, 8191u, 65537u, 200000u}) {
        Result r = Identify(Write("bad.bin", std::vector<uint8_t>(size, 0x11)));
        EXPECT_FALSE(r.ok) << size;
        EXPECT_EQ(r.error, "File size error.") << size;
        EXPECT_EQ(r.log, "FILE SIZE: " + std::to_string(size) + "\n fsizeCRC SIZE : " +
                             std::to_string(std::min<std::size_t>(size, 8192)) + "\n, crcsize")
            << size;
    }
}

TEST_F(RomIdentifyTest, FillsOnlyTheRomAreaAndIgnoresBytesAfter8192)
{
    std::vector<uint8_t> image = Forged(0x8EEC6EE4, 65536);
    ASSERT_TRUE(Identify(Write("big.bin", image)).ok);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kRomAreaSize, m_rom.begin()));
    for (std::size_t i = kRomAreaSize; i < m_rom.size(); ++i)
        ASSERT_EQ(m_rom[i], 0xA5) << "written past the ROM area at " << i;

    std::fill(m_rom.begin(), m_rom.end(), 0xA5);
    std::vector<uint8_t> small = Forged(0x4300BFD3, 9000);  // type 40
    ASSERT_TRUE(Identify(Write("small.bin", small)).ok);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), m_rom.begin()));
    EXPECT_EQ(m_rom[9000], 0xA5) << "a short image fills only its own length";

    std::vector<uint8_t> other = small;
    for (std::size_t i = 8192; i < other.size(); ++i)
        other[i] ^= 0xFF;
    Result ra = Identify((m_dir / "small.bin").string());
    Result rb = Identify(Write("other.bin", other));
    ASSERT_TRUE(ra.ok && rb.ok) << ra.error << rb.error;
    EXPECT_EQ(ra.crc, rb.crc);
    EXPECT_EQ(rb.entry.crc, 0x4300BFD3u);
    EXPECT_EQ(ra.def, rb.def);
    EXPECT_EQ(ScanRomFileCrc((m_dir / "small.bin").c_str()), ScanRomFileCrc((m_dir / "other.bin").c_str()));
}

TEST_F(RomIdentifyTest, UnknownChecksumIsRefusedAndOutputsStayUntouched)
{
    Result r = Identify(Write("unknown.bin", Forged(0x12345678, 8192)), 999);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Unknown ROM image.\n");
    EXPECT_EQ(r.crc, 0x12345678u);
    EXPECT_EQ(r.entry.machineType, 999u);
    EXPECT_EQ(r.def, nullptr);
    EXPECT_NE(r.log.find("OK.\n"), std::string::npos);
}

TEST_F(RomIdentifyTest, MissingDirectoryFifoAndDeviceAreNotFoundWithoutBlocking)
{
    std::string fifo = (m_dir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {(m_dir / "missing.bin").string(), m_dir.string(), fifo,
                                    std::string("/dev/null"), std::string("")}) {
        Result r = Identify(path);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_EQ(r.error, "File not found.") << path;
        EXPECT_EQ(r.log, "") << path;
        EXPECT_EQ(ScanRomFileCrc(path.c_str()), 0u) << path;
    }
    Result r;
    EXPECT_FALSE(IdentifyRomFile(nullptr, m_rom.data(), r.entry, r.def, r.error));
    EXPECT_EQ(r.error, "File not found.");
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
        Result r;
        bool ok = IdentifyRomFile(path.c_str(), m_rom.data(), r.entry, r.def, r.error);
        _exit(!ok && r.error == "File not found." && ScanRomFileCrc(path.c_str()) == 0 ? 0 : 1);
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
    EXPECT_EQ(FirstRomIndexForType(26), -1);
    EXPECT_EQ(FirstRomCrcForType(49), 0u);
    EXPECT_EQ(FirstRomIndexForType(32), 83);

    // The first row of every type through a real file (a tiny program at the
    // start, a tail past 8192 that must not matter), plus row 343, the later
    // of two rows sharing a checksum.
    const std::vector<uint8_t> code = {0xF3, 0x31, 0xFF, 0x9F, 0xC3, 0x00, 0x00};
    std::vector<std::size_t> rows = {343};
    for (uint32_t type : types) {
        int index = FirstRomIndexForType(type);
        ASSERT_GE(index, 0);
        ASSERT_EQ(GetRomEntry(static_cast<std::size_t>(index)).machineType, type);
        EXPECT_EQ(FirstRomCrcForType(type), GetRomEntry(static_cast<std::size_t>(index)).crc);
        rows.push_back(static_cast<std::size_t>(index));
    }
    for (std::size_t i : rows) {
        const RomEntry& row = GetRomEntry(i);
        std::vector<uint8_t> image = MakeForgedRom(row.crc, code, 8192 + (i % 3) * 4096);
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
    for (std::size_t offset : {0u, 1u, 4097u, 8188u}) {
        std::vector<uint8_t> copy = image;
        ASSERT_TRUE(ForgeRomCrc(copy, 0xCAFEF00D, offset)) << offset;
        EXPECT_EQ(Crc32(8192, copy.data()), 0xCAFEF00Du);
        for (std::size_t i = 0; i < copy.size(); ++i)
            ASSERT_TRUE(copy[i] == image[i] || (i >= offset && i < offset + 4))
                << "offset " << offset << " changed byte " << i;
    }
    std::vector<uint8_t> copy = image;
    EXPECT_FALSE(ForgeRomCrc(copy, 1, 8189));  // patch would cross 8192
    EXPECT_EQ(copy, image);
    std::vector<uint8_t> shortImage(8191);
    EXPECT_FALSE(ForgeRomCrc(shortImage, 1));
    EXPECT_TRUE(MakeForgedRom(1, std::vector<uint8_t>(8189)).empty());  // code over the patch
    EXPECT_TRUE(MakeForgedRom(1, {}, 4096).empty());
}

TEST_F(RomIdentifyTest, ToolPrintsOneLinePerFileAndFailsIfAnyFileFails)
{
    std::string ym = Write("burning.bin", MakeForgedRom(0x6D933EB0, {}, 16384));
    std::string psg = Write("psg.bin", MakeForgedRom(FirstRomCrcForType(5)));
    std::string sn = Write("sn.bin", MakeForgedRom(FirstRomCrcForType(34)));
    std::string ymf = Write("ymf.bin", MakeForgedRom(FirstRomCrcForType(9)));
    std::string known = ym + ": crc=6D933EB0 type=32 chip=YM2413 title=バーニングハーツ２\n" + psg +
                        ": crc=7D5EF455 type=5 chip=PSG title=ビッグウィンクルＡ\n" + sn +
                        ": crc=DC8F00B5 type=34 chip=SN76496 title=バニーガール\n" + ymf +
                        ": crc=6B3FE722 type=9 chip=YMF281B title=イエティＫ\n";
    ToolRun good = RunTool({"--identify", ym, psg, sn, ymf});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, known);

    std::string empty = Write("empty.bin", {});
    std::string unknown = Write("unknown.bin", MakeForgedRom(0x00000001));
    std::string missing = (m_dir / "missing.bin").string();
    std::string dir = m_dir.string();
    ToolRun mixed = RunTool({"--identify", missing, ym, psg, sn, ymf, dir, empty, unknown});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, missing + ": File not found.\n" + known + dir + ": File not found.\n" + empty +
                             ": File size error.\n" + unknown + ": Unknown ROM image.\n");
}

TEST_F(RomIdentifyTest, ToolRefusesMissingArgumentsAndShowsHelp)
{
    EXPECT_EQ(RunTool({"--identify"}).status, 2);
    EXPECT_EQ(RunTool({}).status, 2);
    ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--identify FILE..."), std::string::npos);
}
