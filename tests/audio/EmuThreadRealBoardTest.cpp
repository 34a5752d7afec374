// The render thread with the real board loaded from a synthetic ROM file:
// what it records must be exactly what an offline render of the same code
// produces, and loading failures reach the user with the board's message.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "EmuThreadTestRom.h"
#include "audio/EmuThread.h"
#include "audio/RenderBlock.h"
#include "machine/SoundBoard.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class EmuThreadRealBoardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("kelvara-realboard-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_device.SetFormat(44100, 16);
        ASSERT_TRUE(m_device.Create(nullptr, nullptr));
        ASSERT_TRUE(m_device.CreateBuffer());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string WriteRom(uint32_t chipKind)
    {
        uint32_t type = emutest::PickPlainType(chipKind);
        EXPECT_NE(type, 0u) << "no plain machine type for chip " << chipKind;
        if (type == 0)
            return {};
        std::string path = (m_dir / "tone.bin").string();
        EXPECT_TRUE(WriteImageFile(path, emutest::BuildToneRom(*FindMachineDef(type))));
        return path;
    }

    CDirectSound m_device;
    fs::path m_dir;
};

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST_F(EmuThreadRealBoardTest, RecordingEqualsOfflineRenderOfTheSameCode)
{
    for (uint32_t chip : {uint32_t{ChipYM2413}, uint32_t{ChipYMF281B}}) {
        SCOPED_TRACE(ChipKindName(chip));
        std::string rom = WriteRom(chip);
        ASSERT_FALSE(rom.empty());
        fs::remove(m_dir / "tone.wav");

        CEmuThread thread(m_device);
        thread.SetWaveFolder(m_dir.string(), "/");
        ASSERT_TRUE(thread.Start(rom));
        thread.WaitCommand();
        ASSERT_TRUE(thread.PostCommand(CEmuThread::CmdRecord, 1));
        thread.WaitCommand();
        ASSERT_TRUE(thread.PostCommand(CEmuThread::CmdPlay, 0x30));
        thread.WaitCommand();
        uint64_t played = m_device.GetPlayedBytes();
        for (int i = 0; i < 1000 && m_device.GetPlayedBytes() < played + 30 * 880; ++i)
            std::this_thread::sleep_for(5ms);
        int32_t left = 0, right = 0;
        thread.GetLevels(left, right);
        EXPECT_GT(left, 100);  // a tone is playing
        thread.Stop();         // ends the thread, which closes the file

        std::vector<uint8_t> file = ReadFile(m_dir / "tone.wav");
        ASSERT_GT(file.size(), 44u + 200 * 880);
        const size_t blocks = (file.size() - 44) / 880;
        ASSERT_EQ(file.size(), 44 + blocks * 880);

        std::string message;
        std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(rom.c_str(), message);
        ASSERT_TRUE(board) << message;
        CSignalChain chain;
        chain.SetRate(44100);
        board->SetSampleRate(44100);
        board->Reset();
        board->SendCommand(0x30);
        std::vector<int16_t> offline(blocks * 440, 0);  // block 0 stays silent
        for (size_t b = 1; b < blocks; ++b)
            RenderBlock(*board, chain, offline.data() + b * 440, 220);
        EXPECT_EQ(std::memcmp(file.data() + 44, offline.data(), offline.size() * 2), 0);
    }
}

#ifdef KELVARA_RENDER_PATH
TEST_F(EmuThreadRealBoardTest, RecordingEqualsTheOfflineRenderersFile)
{
    std::string rom = WriteRom(ChipYM2413);
    ASSERT_FALSE(rom.empty());
    const fs::path offlinePath = m_dir / "offline.wav";
    std::string command = std::string("\"") + KELVARA_RENDER_PATH + "\" --seconds 1.6 -o \"" +
                          offlinePath.string() + "\" \"" + rom + "\" 77 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<uint8_t> offline = ReadFile(offlinePath);
    ASSERT_GE(offline.size(), 44u + 300 * 880);

    CEmuThread thread(m_device);
    thread.SetWaveFolder(m_dir.string(), "/");
    ASSERT_TRUE(thread.Start(rom));
    thread.WaitCommand();
    ASSERT_TRUE(thread.PostCommand(CEmuThread::CmdRecord, 1));
    thread.WaitCommand();
    ASSERT_TRUE(thread.PostCommand(CEmuThread::CmdPlay, 77));
    thread.WaitCommand();
    // 200 blocks come from the prefill; wait for 100 more from the pump.
    uint64_t played = m_device.GetPlayedBytes();
    for (int i = 0; i < 2000 && m_device.GetPlayedBytes() < played + 110 * 880; ++i)
        std::this_thread::sleep_for(5ms);
    thread.Stop();
    std::vector<uint8_t> recorded = ReadFile(m_dir / "tone.wav");
    ASSERT_GE(recorded.size(), 44u + 300 * 880);
    // Same format fields (the sizes differ with the lengths), same first
    // 300 blocks.
    EXPECT_EQ(std::memcmp(recorded.data() + 8, offline.data() + 8, 32), 0);
    EXPECT_EQ(std::memcmp(recorded.data() + 44, offline.data() + 44, 300 * 880), 0);
}
#endif

TEST_F(EmuThreadRealBoardTest, LoadFailuresShowTheBoardMessage)
{
    std::vector<std::string> shown;
    CEmuThread thread(m_device);
    thread.SetMessageHandler([&](void*, const std::string& caption, const std::string& text) {
        shown.push_back(caption + ":" + text);
    });
    EXPECT_FALSE(thread.Start((m_dir / "absent.bin").string()));
    std::vector<uint8_t> unknown(8192, 0x5A);
    ASSERT_TRUE(WriteImageFile((m_dir / "unknown.bin").string(), unknown));
    EXPECT_FALSE(thread.Start((m_dir / "unknown.bin").string()));
    EXPECT_FALSE(thread.IsRunning());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Error:File not found.");
    EXPECT_EQ(shown[1], "Error:Unknown ROM image.\n");
}

}  // namespace
