// Building and tearing down a board: the log of every step, the exact
// failure messages, nothing left behind after a failure (the sanitizer
// build checks for leaks), and the fix-up table's stub bookkeeping.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

#include "SoundBoardTestRoms.h"
#include "machine/DriverStubs.h"
#include "support/LogCapture.h"
#include "support/RomForge.h"
#include "support/Z80Asm.h"

using namespace boardtest;

namespace {

std::string ErrorOf(const char* path, const IFixupTable& fixups = BuiltinFixups())
{
    try {
        CSoundBoard board(path, fixups);
    } catch (const CSoundBoardError& error) {
        return error.what();
    }
    return "(no error)";
}

// Per-process names: test programs of several builds may run at once.
std::string TempPath(const std::string& name)
{
    if (name.empty()) return std::filesystem::temp_directory_path().string();
    return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "-" + name)).string();
}

std::vector<uint8_t> IdleRom(std::size_t size = 0x2000)
{
    Z80Asm a(0);
    a.di();
    a.label("idle");
    a.jr("idle");
    return a.image(size);
}

} // namespace

TEST(SoundBoardLoad, FailuresCarryExactMessagesAndLogTheSteps)
{
    LogCapture log;
    EXPECT_EQ(ErrorOf("/nonexistent/dir/rom.bin"), "File not found.");
    EXPECT_NE(log.Joined().find("Allocating CPU...\nOk.\nLoading ROM image...\n"), std::string::npos);
    EXPECT_TRUE(log.Contains("\nFile not found.\n"));
    EXPECT_EQ(g_CurrentBoard, nullptr) << "a failed board must not stay the bus target";

    std::string small = TempPath("kelvara-board-small.bin");
    ASSERT_TRUE(WriteImageFile(small, std::vector<uint8_t>(8191, 0)));
    EXPECT_EQ(ErrorOf(small.c_str()), "File size error.");
    std::string large = TempPath("kelvara-board-large.bin");
    ASSERT_TRUE(WriteImageFile(large, std::vector<uint8_t>(65537, 0)));
    EXPECT_EQ(ErrorOf(large.c_str()), "File size error.");

    std::vector<uint8_t> unknown = IdleRom();
    ASSERT_TRUE(ForgeRomCrc(unknown, 0x12345678u, 0x1FFC));
    ASSERT_EQ(FindRomEntry(0x12345678u), nullptr);
    std::string unknownPath = TempPath("kelvara-board-unknown.bin");
    ASSERT_TRUE(WriteImageFile(unknownPath, unknown));
    EXPECT_EQ(ErrorOf(unknownPath.c_str()), "Unknown ROM image.\n");
    EXPECT_TRUE(log.Contains("\nUnknown ROM image.\n\n"));

    EXPECT_EQ(ErrorOf(TempPath("").c_str()), "File not found.");  // the temp directory itself

    std::string message;
    EXPECT_EQ(CSoundBoard::Load(small.c_str(), message), nullptr);
    EXPECT_EQ(message, "File size error.");
    for (const std::string& path : {small, large, unknownPath})
        std::filesystem::remove(path);
}

TEST(SoundBoardLoad, EachChipKindLoadsLogsEveryStepAndTheDestructorFrees)
{
    const struct {
        uint32_t type;
        uint32_t chip;
        const char* allocating;
    } cases[] = {{22, ChipPSG, "Allocating PSG...\n"}, {0, ChipYM2413, "Allocating OPLL...\n"},
                 {9, ChipYMF281B, "Allocating OPLL...\n"}, {34, ChipSN76496, "Allocating SN76496...\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        TestFixups fixups;
        std::unique_ptr<TempRom> file;
        LogCapture log;
        {
            auto board = MakeBoard(c.type, IdleRom(0x3000), fixups, file);  // a 12 KB image
            EXPECT_EQ(board->ChipKind(), c.chip);
            EXPECT_EQ(board->Psg() != nullptr, c.chip == ChipPSG);
            EXPECT_EQ(board->Opll() != nullptr, c.chip == ChipYM2413 || c.chip == ChipYMF281B);
            EXPECT_EQ(board->Sn() != nullptr, c.chip == ChipSN76496);
            EXPECT_EQ(board->Crc(), FirstRomCrcForType(c.type));
            EXPECT_STREQ(board->Title(), GetRomEntry(FirstRomIndexForType(c.type)).title);
            EXPECT_EQ(board->SampleRate(), 44100u);
            EXPECT_TRUE(board->BootDone());
            EXPECT_EQ(g_CurrentBoard, board.get());
            const std::string all = log.Joined();
            const char* steps[] = {"Allocating CPU...\n", "Ok.\n", "Loading ROM image...\n",
                                   "FILE SIZE: 12288\n fsize", "CRC SIZE : 8192\n, crcsize", "OK.\n",
                                   c.allocating, "Ok.\n", "Starting emulation!\n"};
            std::size_t at = 0;
            for (const char* step : steps) {
                std::size_t found = all.find(step, at);
                ASSERT_NE(found, std::string::npos) << "missing or out of order: " << step;
                at = found + std::string(step).size();
            }
        }
        EXPECT_TRUE(log.Contains("Free...OK.\n"));
        EXPECT_EQ(g_CurrentBoard, nullptr);

        std::string message;
        EXPECT_NE(CSoundBoard::Load(file->Path(), message, fixups), nullptr);
        EXPECT_EQ(message, "");
    }
}

TEST(SoundBoardLoad, BuiltinFixupsPlaceKnownStubsAndReportMissingOnes)
{
    // Type 12's ROMs need stubs this build has no bytes for.
    {
        LogCapture log;
        TempRom file(IdleRom(), 0x6BEDFA7Fu);
        CSoundBoard board(file.Path());
        EXPECT_TRUE(board.NeedsMissingStub());
        EXPECT_TRUE(log.Contains("needs a driver stub this build does not have"));
        EXPECT_TRUE(std::all_of(board.Ram() + 0x1000, board.Ram() + 0x1040, [](uint8_t b) { return b == 0; }));
        board.SendCommand(0x10);  // runs through empty RAM; must not crash
    }
    // Type 40, 4300BFD3: the stub is built in and lands at 0x9000.
    {
        LogCapture log;
        TempRom file(IdleRom(), 0x4300BFD3u);
        CSoundBoard board(file.Path());
        EXPECT_FALSE(board.NeedsMissingStub());
        EXPECT_FALSE(log.Contains("needs a driver stub"));
        EXPECT_TRUE(std::equal(kStub40_4300BFD3, kStub40_4300BFD3 + 64, board.Ram() + 0x1000));
    }
    // A test-supplied record without bytes behaves the same way.
    {
        TestFixups fixups;
        ResetFixup& record = fixups.Add(40, 0x4300BFD3u);
        record.stubSize = 64;
        record.stubRamOffset = 0x1000;
        TempRom file(IdleRom(), 0x4300BFD3u);
        CSoundBoard board(file.Path(), fixups);
        EXPECT_TRUE(board.NeedsMissingStub());
        EXPECT_EQ(board.Ram()[0x1000], 0);
    }
}
