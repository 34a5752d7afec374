// The render thread with the real board loaded from a synthetic ROM file:
// what it records must be exactly what the offline renderer produces for
// the same code.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/TestFiles.h"
#include "EmuThreadTestRom.h"
#include "audio/EmuThread.h"
#include "audio/RenderBlock.h"
#include "machine/SoundBoard.h"

namespace {

using namespace std::chrono_literals;
using namespace testfiles;

class EmuThreadRealBoardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void SetUp() override {
        m_device.SetFormat(44100, 16);
        ASSERT_TRUE(m_device.Create(nullptr, nullptr));
        ASSERT_TRUE(m_device.CreateBuffer());
    }
    ScratchDir m_tmp;
    CDirectSound m_device;
};

TEST_F(EmuThreadRealBoardTest, RecordingEqualsTheOfflineRender) {
    const uint32_t type = emutest::PickPlainType(ChipYM2413);
    ASSERT_NE(type, 0u);
    const std::string rom = m_tmp / "tone.bin";
    ASSERT_TRUE(WriteImageFile(rom, emutest::BuildToneRom(*FindMachineDef(type))));
    const uint8_t code = 77;
    const size_t blocks = 300;  // 200 from the prefill, 100 from the pump

    CEmuThread thread(m_device);
    thread.SetWaveFolder(m_tmp.dir.string(), "/");
    ASSERT_TRUE(thread.Start(rom));
    for (auto [command, argument] : {std::pair{CEmuThread::CmdRecord, 1}, std::pair{CEmuThread::CmdPlay, int{code}}}) {
        ASSERT_TRUE(thread.PostCommand(command, argument));
        thread.WaitCommand();
    }
    const uint64_t played = m_device.GetPlayedBytes();
    for (int i = 0; i < 2000 && m_device.GetPlayedBytes() < played + (blocks - 190) * 880; ++i)
        std::this_thread::sleep_for(5ms);
    int32_t left = 0, right = 0;
    thread.GetLevels(left, right);
    EXPECT_GT(left, 100);  // a tone is playing
    thread.Stop();         // ends the thread, which closes the file
    const std::vector<uint8_t> recorded = ReadBytes(m_tmp.dir / "tone.wav");
    ASSERT_GE(recorded.size(), 44 + blocks * 880);

    // The offline path: one silent block, then consecutive blocks.
    std::string message;
    std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(rom.c_str(), message);
    ASSERT_TRUE(board) << message;
    CSignalChain chain;
    chain.SetRate(44100);
    board->Reset();
    board->SendCommand(code);
    std::vector<int16_t> offline(blocks * 440, 0);
    for (size_t b = 1; b < blocks; ++b) RenderBlock(*board, chain, offline.data() + b * 440, 220);
    EXPECT_EQ(std::memcmp(recorded.data() + 44, offline.data(), blocks * 880), 0);

#ifdef KELVARA_RENDER_PATH
    // And kelvara-render's file for the same code starts with the same bytes.
    const std::string toolFile = m_tmp / "offline.wav";
    const std::string command = std::string("\"") + KELVARA_RENDER_PATH + "\" --seconds 1.6 -o \"" + toolFile +
                                "\" \"" + rom + "\" 77 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<uint8_t> tool = ReadBytes(toolFile);
    ASSERT_GE(tool.size(), 44 + blocks * 880);
    EXPECT_EQ(std::memcmp(recorded.data() + 8, tool.data() + 8, 32), 0);  // format fields
    EXPECT_EQ(std::memcmp(recorded.data() + 44, tool.data() + 44, blocks * 880), 0);
#endif
}

}  // namespace
