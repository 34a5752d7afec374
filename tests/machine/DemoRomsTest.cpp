// The demo ROMs of examples/roms/: each image identifies as its machine,
// comes with a playlist, loads with the built-in fix-ups, and every tune it
// offers sounds. That the committed images are exactly what their source
// in examples/roms/src builds is checked through kelvara-asm (DemoRomsBuild).
#include "support/SoundBoardTestRoms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "machine/Crc32.h"
#include "machine/RomDatabase.h"
#include "machine/SoundBoard.h"
#include "support/ToneMeasure.h"

namespace fs = std::filesystem;

namespace {

const fs::path kExamples = fs::path(KELVARA_SOURCE_DIR) / "examples";
constexpr int kSongCount = 4;       // codes 1..4 play a tune
constexpr uint8_t kTuningCode = 4;  // A4 = 440 Hz, held

struct DemoImage {
    std::string file;
    uint32_t machineType;
    std::vector<uint8_t> bytes;
};

std::vector<DemoImage> DemoImages()
{
    std::vector<DemoImage> demos = {
        {"demo-opll-type40.bin", 40, {}}, {"demo-ymf281b-type24.bin", 24, {}}, {"demo-psg-type62.bin", 62, {}}};
    for (DemoImage& d : demos) {
        std::ifstream in(kExamples / "roms" / d.file, std::ios::binary);
        d.bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    return demos;
}

}  // namespace

// Each image identifies as its machine, comes with a playlist named after
// the machine's title offering exactly the codes that play, and loads; every
// tune sounds, other codes are silent, and the tuning code holds A4.
TEST(DemoRoms, IdentifyListTheirTunesAndPlayThemWithTheTuningToneAtA440)
{
    for (const DemoImage& demo : DemoImages()) {
        SCOPED_TRACE(demo.file);
        ASSERT_EQ(demo.bytes.size(), 8192u);
        const RomEntry* entry = FindRomEntry(Crc32(8192, demo.bytes.data()));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->machineType, demo.machineType);

        std::ifstream list(kExamples / "lists" / (std::string(entry->title) + ".lst"));
        ASSERT_TRUE(list) << entry->title;
        int rows = 0;
        for (std::string line; std::getline(list, line);) {
            if (line.empty() || line[0] != '#') continue;
            const int code = line[1] == '$' ? int(std::strtol(line.c_str() + 2, nullptr, 16))
                                             : std::atoi(line.c_str() + 1);
            EXPECT_TRUE(code >= 1 && code <= kSongCount) << line;
            ++rows;
        }
        EXPECT_EQ(rows, kSongCount);

        // Already carries its checksum: the bytes stay as they are.
        boardtest::TempRom file(demo.bytes, Crc32(8192, demo.bytes.data()));
        std::string message;
        std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(file.Path(), message);
        ASSERT_TRUE(board) << message;
        EXPECT_EQ(board->MachineType(), demo.machineType);
        // Types 40 and 24 use this build's stubs; type 62 brings its own.
        EXPECT_EQ(board->NeedsMissingStub(), demo.machineType == 62);

        for (int code = 0; code <= kSongCount + 1; ++code) {
            board->Reset();
            board->SendCommand(static_cast<uint8_t>(code));
            const std::vector<int32_t> sound = boardtest::RenderLeft(*board, 22050);
            if (code >= 1 && code <= kSongCount)
                EXPECT_GT(ToneMeasure::Rms(sound), 300.0) << "code " << code;
            else  // code 0 and a code without a tune silence
                EXPECT_LT(ToneMeasure::PeakAbs(sound), 64.0) << "code " << code;
        }
        board->Reset();
        board->SendCommand(kTuningCode);
        boardtest::RenderLeft(*board, 4410);  // let the note start
        const std::vector<int32_t> tone = boardtest::RenderLeft(*board, 22050);
        EXPECT_NEAR(ToneMeasure::MeasureFrequency(std::span<const int32_t>(tone), 44100.0, 200.0, 2000.0), 440.0, 2.0);
    }
}
