// The demo ROMs of examples/roms/: the images their source builds identify
// as their machine, come with a playlist, load with the built-in fix-ups,
// and every tune they offer sounds. That the committed files are exactly
// these images is checked through the kelvara-asm command (DemoRomsBuild).
#include "DemoRoms.h"
#include "SoundBoardTestRoms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "machine/Crc32.h"
#include "machine/RomDatabase.h"
#include "machine/SoundBoard.h"
#include "support/ToneMeasure.h"

namespace fs = std::filesystem;

namespace {

const fs::path kExamples = fs::path(KELVARA_SOURCE_DIR) / "examples";

}  // namespace

// Each image identifies as its machine and comes with a playlist named after
// the machine's title offering exactly the codes that play.
TEST(DemoRoms, IdentifyAsTheirMachineAndHaveAPlaylist)
{
    for (const demo::DemoRom& rom : demo::BuildDemoRoms()) {
        SCOPED_TRACE(rom.file);
        ASSERT_EQ(rom.image.size(), 8192u);
        EXPECT_EQ(Crc32(8192, rom.image.data()), rom.crc);
        const RomEntry* entry = FindRomEntry(rom.crc);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->machineType, rom.machineType);

        std::ifstream list(kExamples / "lists" / (std::string(entry->title) + ".lst"));
        ASSERT_TRUE(list) << entry->title;
        int rows = 0;
        for (std::string line; std::getline(list, line);) {
            if (line.empty() || line[0] != '#') continue;
            const int code = line[1] == '$' ? int(std::strtol(line.c_str() + 2, nullptr, 16))
                                             : std::atoi(line.c_str() + 1);
            EXPECT_TRUE(code >= 1 && code <= demo::kSongCount) << line;
            ++rows;
        }
        EXPECT_EQ(rows, demo::kSongCount);
    }
}

TEST(DemoRoms, EveryTuneSoundsOthersAreSilentAndTheTuningToneIsA440)
{
    for (const demo::DemoRom& rom : demo::BuildDemoRoms()) {
        SCOPED_TRACE(rom.file);
        boardtest::TempRom file(rom.image, rom.crc);  // already carries its checksum: bytes unchanged
        std::string message;
        std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(file.Path(), message);
        ASSERT_TRUE(board) << message;
        EXPECT_EQ(board->MachineType(), rom.machineType);
        // Types 40 and 24 use this build's stubs; type 62 brings its own.
        EXPECT_EQ(board->NeedsMissingStub(), rom.machineType == 62);

        for (int code = 0; code <= demo::kSongCount + 1; ++code) {
            board->Reset();
            board->SendCommand(static_cast<uint8_t>(code));
            const std::vector<int32_t> sound = boardtest::RenderLeft(*board, 22050);
            if (code >= 1 && code <= demo::kSongCount)
                EXPECT_GT(ToneMeasure::Rms(sound), 300.0) << "code " << code;
            else  // code 0 and a code without a tune silence
                EXPECT_LT(ToneMeasure::PeakAbs(sound), 64.0) << "code " << code;
        }
        board->Reset();
        board->SendCommand(demo::kTuningCode);
        boardtest::RenderLeft(*board, 4410);  // let the note start
        const std::vector<int32_t> tone = boardtest::RenderLeft(*board, 22050);
        EXPECT_NEAR(ToneMeasure::MeasureFrequency(std::span<const int32_t>(tone), 44100.0, 200.0, 2000.0), 440.0, 2.0);
    }
}
