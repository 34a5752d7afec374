// Building and tearing down a board: the log of every step, the exact
// failure messages, nothing left behind after a failure (the sanitizer
// build checks for leaks), and the fix-up table's stub bookkeeping.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/SoundBoardTestRoms.h"
#include "support/LogCapture.h"
#include "support/RomForge.h"
#include "support/TestFiles.h"
#include "kelvara-asm/Z80Asm.h"

using namespace boardtest;

namespace {

std::string ErrorOf(const std::string& path)
{
    try {
        CSoundBoard board(path.c_str());
    } catch (const CSoundBoardError& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace

TEST(SoundBoardLoad, FailuresCarryExactMessagesAndLogTheSteps)
{
    LogCapture log;
    EXPECT_EQ(ErrorOf("/nonexistent/dir/rom.bin"), "File not found.");
    EXPECT_NE(log.Joined().find("Allocating CPU...\nOk.\nLoading ROM image...\n"), std::string::npos);
    EXPECT_TRUE(log.Contains("\nFile not found.\n"));
    EXPECT_EQ(g_CurrentBoard, nullptr) << "a failed board must not stay the bus target";
    testfiles::ScratchDir tmp;
    EXPECT_EQ(ErrorOf(tmp.dir.string()), "File not found.");

    const std::string path = tmp / "board.bin";
    ASSERT_TRUE(WriteImageFile(path, std::vector<uint8_t>(65537, 0)));
    EXPECT_EQ(ErrorOf(path), "File size error.");
    std::string message;
    EXPECT_EQ(CSoundBoard::Load(path.c_str(), message), nullptr);
    EXPECT_EQ(message, "File size error.");

    std::vector<uint8_t> unknown = IdleRom();
    ASSERT_TRUE(ForgeRomCrc(unknown, 0x12345678u, 0x1FFC));
    ASSERT_TRUE(WriteImageFile(path, unknown));
    EXPECT_EQ(ErrorOf(path), "Unknown ROM image.\n");
    EXPECT_TRUE(log.Contains("\nUnknown ROM image.\n\n"));
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
            EXPECT_EQ(board->Crc(), FirstRomCrcForType(c.type));
            EXPECT_STREQ(board->Title(), GetRomEntry(FirstRomIndexForType(c.type)).title);
            EXPECT_EQ(board->SampleRate(), 44100u);
            EXPECT_TRUE(board->BootDone());
            EXPECT_EQ(g_CurrentBoard, board.get());
            const std::string all = log.Joined();
            std::size_t at = 0;
            for (const char* step : {"Allocating CPU...\n", "Ok.\n", "Loading ROM image...\n",
                                     "FILE SIZE: 12288\n fsize", "CRC SIZE : 8192\n, crcsize", "OK.\n",
                                     c.allocating, "Ok.\n", "Starting emulation!\n"}) {
                at = all.find(step, at);
                ASSERT_NE(at, std::string::npos) << "missing or out of order: " << step;
            }
        }
        EXPECT_TRUE(log.Contains("Free...OK.\n"));
        EXPECT_EQ(g_CurrentBoard, nullptr);
    }
}

TEST(SoundBoardLoad, MissingDriverStubIsReportedAndHarmless)
{
    // Type 12's ROMs need stubs this build has no bytes for.
    LogCapture log;
    TempRom file(IdleRom(), 0x6BEDFA7Fu);
    CSoundBoard board(file.Path());
    EXPECT_TRUE(board.NeedsMissingStub());
    EXPECT_TRUE(log.Contains("needs a driver stub this build does not have"));
    EXPECT_TRUE(std::all_of(board.Ram() + 0x1000, board.Ram() + 0x1040, [](uint8_t b) { return b == 0; }));
    board.SendCommand(0x10);  // runs through empty RAM; must not crash

    // A test-supplied record without bytes for a type whose stub is built in.
    TestFixups fixups;
    ResetFixup& record = fixups.Add(40, 0x4300BFD3u);
    record.stubSize = 64;
    record.stubRamOffset = 0x1000;
    TempRom file40(IdleRom(), 0x4300BFD3u);
    CSoundBoard board40(file40.Path(), fixups);
    EXPECT_TRUE(board40.NeedsMissingStub());
    EXPECT_EQ(board40.Ram()[0x1000], 0);
}
