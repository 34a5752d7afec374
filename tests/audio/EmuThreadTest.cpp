// CEmuThread driven through its public operations, with the real output
// device over SDL's dummy driver and a scripted board whose output says
// which code it was sent.
#include "audio/EmuThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/LogCapture.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// What the scripted boards saw, shared with the test. While the gate is
// closed, Reset waits: the render thread is then busy handling a command
// and the test can post behind its back.
struct BoardJournal {
    std::mutex lock;
    std::vector<int> sent;  // codes, in order
    std::vector<uint32_t> rates;
    int resets = 0;
    std::atomic<int> live{0};  // boards alive
    std::atomic<bool> gateOpen{true};
    std::atomic<bool> atGate{false};

    std::vector<int> Sent()
    {
        std::lock_guard<std::mutex> g(lock);
        return sent;
    }
};

// A square wave of 100-sample period whose amplitude is 200 x the code;
// the right channel carries half of it.
class ScriptedBoard : public IRenderBoard {
public:
    explicit ScriptedBoard(BoardJournal& journal) : m_journal(journal) { ++m_journal.live; }
    ~ScriptedBoard() override { --m_journal.live; }
    void SetSampleRate(uint32_t rate) override
    {
        std::lock_guard<std::mutex> g(m_journal.lock);
        m_journal.rates.push_back(rate);
    }
    void Reset() override
    {
        while (!m_journal.gateOpen) {
            m_journal.atGate = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_journal.atGate = false;
        std::lock_guard<std::mutex> g(m_journal.lock);
        ++m_journal.resets;
        m_code = 0;
        m_phase = 0;
    }
    void SendCommand(uint8_t code) override
    {
        std::lock_guard<std::mutex> g(m_journal.lock);
        m_journal.sent.push_back(code);
        m_code = code;
    }
    void RenderSample(int32_t& left, int32_t& right) override
    {
        left = ((m_phase++ / 50) & 1 ? 200 : -200) * m_code;
        right = left / 2;
    }

private:
    BoardJournal& m_journal;
    int m_code = 0;
    uint32_t m_phase = 0;
};

template <class Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit = 3000ms)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

class EmuThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    void SetUp() override
    {
        m_device.SetFormat(44100, 16);
        ASSERT_TRUE(m_device.Create(nullptr, nullptr));
        ASSERT_TRUE(m_device.CreateBuffer());
        m_dir = fs::temp_directory_path() /
                ("kelvara-emuthread-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_thread.SetWaveFolder(m_dir.string() + "/", "/");
    }
    void TearDown() override
    {
        m_thread.Stop();
        fs::remove_all(m_dir);
    }

    // Posts a command and waits until it has been handled.
    void Send(int32_t command, int32_t argument = 0)
    {
        ASSERT_TRUE(m_thread.PostCommand(command, argument));
        m_thread.WaitCommand();
        ASSERT_TRUE(m_thread.IsIdle());
    }

    BoardFactory Factory()
    {
        return [this](const std::string&, std::string&) {
            return std::unique_ptr<IRenderBoard>(new ScriptedBoard(m_journal));
        };
    }

    BoardJournal m_journal;
    CDirectSound m_device;
    CEmuThread m_thread{m_device, Factory()};
    fs::path m_dir;
};

TEST_F(EmuThreadTest, FailedStartShowsTheBoardMessageAndStartsNothing)
{
    std::string next = "Unknown ROM image.\n";
    CEmuThread thread(m_device, [&](const std::string&, std::string& message) {
        message = next;
        return std::unique_ptr<IRenderBoard>();
    });
    std::vector<std::string> shown;
    thread.SetMessageHandler([&](void* owner, const std::string& caption, const std::string& text) {
        EXPECT_EQ(owner, nullptr);
        shown.push_back(caption + ":" + text);
    });
    EXPECT_FALSE(thread.Start("missing.bin"));
    next = "";
    EXPECT_FALSE(thread.Start("missing.bin"));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Error:Unknown ROM image.\n");
    EXPECT_EQ(shown[1], "Error:Unknown error.");
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_FALSE(thread.IsIdle());
    EXPECT_FALSE(thread.PostCommand(CEmuThread::CmdPlay, 1));
    int32_t l = -1, r = -1;
    thread.GetLevels(l, r);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 0);
    thread.WaitCommand();  // returns at once when nothing runs
}

TEST_F(EmuThreadTest, StartLogsItsStepsAndInitSilencesTheBoard)
{
    LogCapture log;
    ASSERT_TRUE(m_thread.Start("/roms/demo.bin"));
    m_thread.WaitCommand();  // the init must be taken before the next post
    Send(99, 5);             // unknown: taken and ignored
    EXPECT_TRUE(log.Contains("Allocating CWaveRec...\nOk.\nAllocation Buffer...(176000)\nOk.\n"));
    EXPECT_EQ(m_journal.Sent(), std::vector<int>{0});
    EXPECT_EQ(m_journal.rates.back(), 44100u);
    EXPECT_FALSE(m_device.IsPlaying());
    EXPECT_EQ(m_thread.GetPlayTime(), 0u);
}

TEST_F(EmuThreadTest, PlayTwiceWithoutWaitingPlaysOnlyTheSecond)
{
    // Keep the thread busy in its first command (CmdInit's board reset)
    // while two plays are posted: the second replaces the first.
    m_journal.gateOpen = false;
    ASSERT_TRUE(m_thread.Start("demo.bin"));
    ASSERT_TRUE(WaitUntil([&] { return m_journal.atGate.load(); }));
    ASSERT_TRUE(m_thread.PostCommand(CEmuThread::CmdPlay, 3));
    ASSERT_TRUE(m_thread.PostCommand(CEmuThread::CmdPlay, 7));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(m_thread.IsIdle());  // the init is still being handled
    m_journal.gateOpen = true;
    m_thread.WaitCommand();
    ASSERT_TRUE(WaitUntil([&] { return m_thread.IsIdle(); }));
    // The init's code 0, then the second play; the first never reached the board.
    EXPECT_EQ(m_journal.Sent(), (std::vector<int>{0, 7}));
    EXPECT_TRUE(m_device.IsPlaying());

    // Once the cursor has left a block, its level is that of code 7:
    // 1400 peak left, 700 right, halved by the equalizer.
    int32_t left = 0, right = 0;
    ASSERT_TRUE(WaitUntil([&] {
        m_thread.GetLevels(left, right);
        return left > 0;
    }));
    EXPECT_GT(left, 7 * 200 / 2 * 6 / 10);
    EXPECT_LE(left, 7 * 200 / 2);
    EXPECT_NEAR(right * 2, left, left / 20);
}

TEST_F(EmuThreadTest, PauseFreezesPlayTimeAndResumeContinuesIt)
{
    ASSERT_TRUE(m_thread.Start("demo.bin"));
    m_thread.WaitCommand();
    Send(CEmuThread::CmdPause);  // idle: nothing to pause
    EXPECT_FALSE(m_device.IsPaused());
    EXPECT_EQ(m_thread.GetPlayTime(), 0u);

    Send(CEmuThread::CmdPlay, 2);
    ASSERT_TRUE(WaitUntil([&] { return m_thread.GetPlayTime() >= 30; }));
    Send(CEmuThread::CmdPause);
    EXPECT_TRUE(m_device.IsPaused());
    uint32_t frozen = m_thread.GetPlayTime();
    uint32_t cursor = 0, write = 0;
    ASSERT_TRUE(m_device.GetPosition(cursor, write));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(m_thread.GetPlayTime(), frozen);
    uint32_t cursorLater = 0;
    ASSERT_TRUE(m_device.GetPosition(cursorLater, write));
    EXPECT_EQ(cursorLater, cursor);

    auto resumed = std::chrono::steady_clock::now();
    Send(CEmuThread::CmdPause);
    EXPECT_FALSE(m_device.IsPaused());
    ASSERT_TRUE(WaitUntil([&] { return m_thread.GetPlayTime() > frozen + 20; }));
    uint32_t now = m_thread.GetPlayTime();
    auto sinceResume = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - resumed)
                           .count();
    // Continued from the frozen value: the paused stretch is not counted.
    EXPECT_LE(now - frozen, static_cast<uint32_t>(sinceResume) + 2);

    Send(CEmuThread::CmdStop);
    EXPECT_FALSE(m_device.IsPlaying());
    EXPECT_EQ(m_thread.GetPlayTime(), 0u);
    int32_t l = -1, r = -1;
    m_thread.GetLevels(l, r);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 0);
}

TEST_F(EmuThreadTest, RecordingWhileIdleWaitsForPlayWhichStartsWithSilence)
{
    LogCapture log;
    ASSERT_TRUE(m_thread.Start("/roms/demo.bin"));
    m_thread.WaitCommand();
    const fs::path wav = m_dir / "demo.wav";

    Send(CEmuThread::CmdRecord, 1);
    EXPECT_TRUE(log.Contains("WAVE FILE:" + wav.string() + "\n"));
    std::this_thread::sleep_for(50ms);
    Send(CEmuThread::CmdRecord, 0);
    EXPECT_EQ(fs::file_size(wav), 44u);  // idle: nothing recorded

    Send(CEmuThread::CmdRecord, 1);
    Send(CEmuThread::CmdRecord, 1);  // already recording: nothing changes
    Send(CEmuThread::CmdPlay, 4);
    // Let the cursor move on so that blocks after the prefill are written.
    uint64_t played = m_device.GetPlayedBytes();
    ASSERT_TRUE(WaitUntil([&] { return m_device.GetPlayedBytes() > played + 20 * 880; }));
    Send(CEmuThread::CmdRecord, 0);
    Send(CEmuThread::CmdRecord, 0);  // not recording: nothing happens

    std::vector<uint8_t> file = ReadFile(wav);
    ASSERT_GE(file.size(), 44u + 200 * 880);
    EXPECT_EQ(Le32(file, 24), 44100u);      // rate
    EXPECT_EQ(Le32(file, 40), file.size() - 44);
    EXPECT_EQ((file.size() - 44) % 880, 0u);  // whole blocks only
    for (size_t i = 44; i < 44 + 880; ++i)
        ASSERT_EQ(file[i], 0) << "byte " << i;
    bool sound = false;
    for (size_t i = 44 + 880; i < 44 + 2 * 880 && !sound; ++i)
        sound = file[i] != 0;
    EXPECT_TRUE(sound);
}

TEST_F(EmuThreadTest, GainStopAndSilenceFollowTheCommands)
{
    ASSERT_TRUE(m_thread.Start("demo.bin"));
    m_thread.WaitCommand();
    Send(CEmuThread::CmdPlay, 5);
    int32_t left = 0, right = 0;
    ASSERT_TRUE(WaitUntil([&] {
        m_thread.GetLevels(left, right);
        return left > 0;
    }));
    EXPECT_EQ(m_thread.GetSilentBlocks(), 0);

    // Gain 0 silences every block rendered from now on.
    Send(CEmuThread::CmdSetGain, 0);
    ASSERT_TRUE(WaitUntil([&] { return m_thread.GetSilentBlocks() >= 20; }));

    // Stop resets the board; the next play starts from the same state.
    Send(CEmuThread::CmdStop);
    EXPECT_FALSE(m_device.IsPlaying());
    EXPECT_EQ(m_thread.GetSilentBlocks(), 0);
    int resets = 0;
    {
        std::lock_guard<std::mutex> g(m_journal.lock);
        resets = m_journal.resets;
    }
    EXPECT_EQ(resets, 3);  // init, play, stop
    Send(CEmuThread::CmdPlayCode, 6);
    EXPECT_TRUE(m_device.IsPlaying());
    EXPECT_EQ(m_journal.Sent(), (std::vector<int>{0, 5, 6}));
}

TEST_F(EmuThreadTest, DeviceResetTakesTheNewRateAndGeometry)
{
    ASSERT_TRUE(m_thread.Start("demo.bin"));
    m_thread.WaitCommand();
    Send(CEmuThread::CmdPlay, 1);
    Send(CEmuThread::CmdStop);

    LogCapture log;
    m_device.Release();
    m_device.SetFormat(48000, 16);
    ASSERT_TRUE(m_device.Create(nullptr, nullptr));
    ASSERT_TRUE(m_device.CreateBuffer());
    ASSERT_TRUE(m_thread.ResetDSound());
    EXPECT_TRUE(log.Contains("CEmuThread::ResetDSound\nAllocation Buffer...(192000)\nOk.\n"));
    EXPECT_EQ(m_journal.rates.back(), 48000u);

    Send(CEmuThread::CmdPlay, 2);
    uint64_t played = m_device.GetPlayedBytes();
    ASSERT_TRUE(WaitUntil([&] { return m_device.GetPlayedBytes() > played + 10 * 960; }));
    int32_t left = 0, right = 0;
    ASSERT_TRUE(WaitUntil([&] {
        m_thread.GetLevels(left, right);
        return left > 0;
    }));
    EXPECT_EQ(m_device.GetUnderrunCount(), 0u);
}

TEST_F(EmuThreadTest, StopAndStartAnotherRomFreesEveryBoard)
{
    for (const char* rom : {"first.bin", "second.bin", "third.bin"}) {
        ASSERT_TRUE(m_thread.Start(rom));
        m_thread.WaitCommand();
        Send(CEmuThread::CmdRecord, 1);
        Send(CEmuThread::CmdPlay, 3);
        EXPECT_EQ(m_journal.live.load(), 1);
    }
    m_thread.Stop();
    EXPECT_FALSE(m_thread.IsRunning());
    EXPECT_EQ(m_journal.live.load(), 0);
    EXPECT_FALSE(m_device.IsPlaying());
    // Each recording was closed properly when its thread ended.
    for (const char* name : {"first.wav", "second.wav", "third.wav"}) {
        std::vector<uint8_t> file = ReadFile(m_dir / name);
        ASSERT_GE(file.size(), 44u + 200 * 880) << name;
        EXPECT_EQ(Le32(file, 40), file.size() - 44) << name;
    }
    m_thread.Stop();  // a second stop is harmless
}

}  // namespace
