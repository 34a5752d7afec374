// Identification of ROM image files: size limits, the ROM
// area, checksum lookup and messages, the folder-scan checksum, refusal of
// things that are not readable files, and kelvara-render --identify run as
// a separate program.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "machine/RomIdentify.h"
#include "support/LogCapture.h"
#include "support/RomForge.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

class RomIdentifyTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = m_tmp / name;
        EXPECT_TRUE(WriteImageFile(path, bytes));
        return path;
    }

    struct Result {
        bool ok = false;
        std::string error;
        RomEntry entry{};
        const MachineDef* def = nullptr;
        uint32_t crc = 0;
    };
    Result Identify(const std::string& path, uint32_t presetType = 0)
    {
        Result r;
        r.entry.machineType = presetType;
        LogCapture quiet;
        r.ok = IdentifyRomFile(path.c_str(), m_rom.data(), r.entry, r.def, r.error, &r.crc);
        return r;
    }

    // Runs kelvara-render with `args` (no quoting needed); returns the exit
    // status and standard output.
    std::pair<int, std::string> RunTool(const std::string& args)
    {
        const std::string out = m_tmp / "stdout";
        const std::string command = "'" KELVARA_RENDER_PATH "' " + args + " >'" + out + "' 2>/dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testfiles::ReadText(out)};
    }

    testfiles::ScratchDir m_tmp;
    // The ROM area plus a guard region that must never be written.
    std::vector<uint8_t> m_rom = std::vector<uint8_t>(kRomAreaSize + 4096, 0xA5);
};

}  // namespace

TEST_F(RomIdentifyTest, AcceptsSizesFrom8192To65536)
{
    for (std::size_t size : {8192u, 65536u}) {
        Result r = Identify(Write("ok.bin", MakeForgedRom(0x6D933EB0, {}, size)));  // type 32
        ASSERT_TRUE(r.ok) << size << ": " << r.error;
        EXPECT_EQ(r.entry.crc, 0x6D933EB0u);
        EXPECT_EQ(r.entry.machineType, 32u);
        ASSERT_NE(r.def, nullptr);
        EXPECT_EQ(r.def->machineType, 32u);
    }
    for (std::size_t size : {0u, 8191u, 65537u}) {
        Result r = Identify(Write("bad.bin", std::vector<uint8_t>(size, 0x11)));
        EXPECT_FALSE(r.ok) << size;
        EXPECT_EQ(r.error, "File size error.") << size;
    }
}

TEST_F(RomIdentifyTest, FillsOnlyTheRomAreaAndChecksumsOnlyTheFirst8192Bytes)
{
    std::vector<uint8_t> image = MakeForgedRom(0x8EEC6EE4, {}, 65536);
    ASSERT_TRUE(Identify(Write("big.bin", image)).ok);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kRomAreaSize, m_rom.begin()));
    EXPECT_TRUE(std::all_of(m_rom.begin() + kRomAreaSize, m_rom.end(), [](uint8_t b) { return b == 0xA5; }))
        << "written past the ROM area";

    std::fill(m_rom.begin(), m_rom.end(), 0xA5);
    std::vector<uint8_t> small = MakeForgedRom(0x4300BFD3, {}, 9000);  // type 40
    ASSERT_TRUE(Identify(Write("small.bin", small)).ok);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), m_rom.begin()));
    EXPECT_EQ(m_rom[9000], 0xA5) << "a short image fills only its own length";

    for (std::size_t i = 8192; i < small.size(); ++i) small[i] ^= 0xFF;
    Result r = Identify(Write("other.bin", small));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.crc, 0x4300BFD3u);
    EXPECT_EQ(r.def->machineType, 40u);

    // The folder scan also checksums the first 8192 bytes only, even of an
    // image too big to load, and lists nothing shorter.
    EXPECT_EQ(ScanRomFileCrc(Write("huge.bin", MakeForgedRom(0x7D4C4539, {}, 70000)).c_str()), 0x7D4C4539u);
    EXPECT_EQ(ScanRomFileCrc(Write("short.bin", std::vector<uint8_t>(8191)).c_str()), 0u);
}

TEST_F(RomIdentifyTest, UnknownChecksumIsRefusedAndOutputsStayUntouched)
{
    Result r = Identify(Write("unknown.bin", MakeForgedRom(0x12345678)), 999);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Unknown ROM image.\n");
    EXPECT_EQ(r.crc, 0x12345678u);
    EXPECT_EQ(r.entry.machineType, 999u);
    EXPECT_EQ(r.def, nullptr);
}

TEST_F(RomIdentifyTest, MissingDirectoryFifoAndDeviceAreNotFoundWithoutBlocking)
{
    std::string fifo = (m_tmp.dir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {(m_tmp.dir / "missing.bin").string(), m_tmp.dir.string(), fifo,
                                    std::string("/dev/null"), std::string("")}) {
        Result r = Identify(path);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_EQ(r.error, "File not found.") << path;
        EXPECT_EQ(ScanRomFileCrc(path.c_str()), 0u) << path;
    }
    Result r;
    EXPECT_FALSE(IdentifyRomFile(nullptr, m_rom.data(), r.entry, r.def, r.error));
    EXPECT_EQ(r.error, "File not found.");
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
    const std::string files = ym + " " + psg + " " + sn + " " + ymf;
    EXPECT_EQ(RunTool("--identify " + files), std::make_pair(0, known));

    std::string empty = Write("empty.bin", {});
    std::string unknown = Write("unknown.bin", MakeForgedRom(0x00000001));
    std::string missing = (m_tmp.dir / "missing.bin").string();
    EXPECT_EQ(RunTool("--identify " + missing + " " + files + " " + m_tmp.dir.string() + " " + empty + " " + unknown),
              std::make_pair(1, missing + ": File not found.\n" + known + m_tmp.dir.string() + ": File not found.\n" +
                                    empty + ": File size error.\n" + unknown + ": Unknown ROM image.\n"));

    EXPECT_EQ(RunTool("--identify").first, 2);
    EXPECT_EQ(RunTool("").first, 2);  // (--help: the render tool's own test)
}
