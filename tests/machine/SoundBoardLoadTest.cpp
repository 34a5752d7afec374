// Building and tearing down a board: failures carry the identification's
// messages (each kind of failure is tested with RomIdentify), nothing
// left behind after a failure (the sanitizer build checks for leaks), and
// the fix-up table's stub bookkeeping. (The progress log's wording is left
// to the render tool's -v test.)
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

TEST(SoundBoardLoad, FailuresCarryExactMessages)
{
    EXPECT_EQ(ErrorOf("/nonexistent/dir/rom.bin"), "File not found.");
    EXPECT_EQ(g_CurrentBoard, nullptr) << "a failed board must not stay the bus target";
    testfiles::ScratchDir tmp;

    const std::string path = tmp / "board.bin";
    ASSERT_TRUE(WriteImageFile(path, std::vector<uint8_t>(65537, 0)));
    EXPECT_EQ(ErrorOf(path), "File size error.");
    std::string message;
    EXPECT_EQ(CSoundBoard::Load(path.c_str(), message), nullptr);
    EXPECT_EQ(message, "File size error.");
}

TEST(SoundBoardLoad, EachChipKindLoadsAndTheDestructorLetsGo)
{
    const struct {
        uint32_t type;
        uint32_t chip;
    } cases[] = {{22, ChipPSG}, {0, ChipYM2413}, {9, ChipYMF281B}, {34, ChipSN76496}};
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        TestFixups fixups;
        std::unique_ptr<TempRom> file;
        {
            auto board = MakeBoard(c.type, IdleRom(0x3000), fixups, file);  // a 12 KB image
            EXPECT_EQ(board->ChipKind(), c.chip);
            EXPECT_EQ(board->Crc(), FirstRomCrcForType(c.type));
            EXPECT_STREQ(board->Title(), GetRomEntry(FirstRomIndexForType(c.type)).title);
            EXPECT_EQ(board->SampleRate(), 44100u);
            EXPECT_TRUE(board->BootDone());
            EXPECT_EQ(g_CurrentBoard, board.get());
        }
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
}
