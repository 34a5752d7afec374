// CEmuThread driven through its public operations, with the real output
// device over SDL's dummy driver and a scripted board whose output says
// which code it was sent.
#include "audio/EmuThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <thread>

#include "support/TestFiles.h"

namespace {

using namespace std::chrono_literals;
using namespace testfiles;

// What the scripted boards saw. While the gate is closed, Reset waits: the
// render thread is then busy with a command and the test can post behind
// its back.
struct BoardJournal {
    std::mutex lock;
    std::vector<int> sent;
    std::vector<uint32_t> rates;
    std::atomic<int> resets{0}, live{0};
    std::atomic<bool> gateOpen{true}, atGate{false};
    std::atomic<int> stallMs{0};  // the next rendered sample takes this long
    std::vector<int> Sent() { std::lock_guard<std::mutex> g(lock); return sent; }
    uint32_t LastRate() { std::lock_guard<std::mutex> g(lock); return rates.back(); }
};

// A square wave of 100-sample period and amplitude 200 x code; the right
// channel carries half of it.
class ScriptedBoard : public IRenderBoard {
public:
    explicit ScriptedBoard(BoardJournal& j) : m_j(j) { ++m_j.live; }
    ~ScriptedBoard() override { --m_j.live; }
    void SetSampleRate(uint32_t rate) override { std::lock_guard<std::mutex> g(m_j.lock); m_j.rates.push_back(rate); }
    void Reset() override {
        while (!m_j.gateOpen) m_j.atGate = true, std::this_thread::sleep_for(1ms);
        m_j.atGate = false;
        std::lock_guard<std::mutex> g(m_j.lock);
        ++m_j.resets;
        m_code = 0, m_phase = 0;
    }
    void SendCommand(uint8_t code) override { std::lock_guard<std::mutex> g(m_j.lock); m_j.sent.push_back(code); m_code = code; }
    void RenderSample(int32_t& left, int32_t& right) override {
        if (const int ms = m_j.stallMs.exchange(0)) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        left = ((m_phase++ / 50) & 1 ? 200 : -200) * m_code;
        right = left / 2;
    }

private:
    BoardJournal& m_j;
    int m_code = 0;
    uint32_t m_phase = 0;
};

// The level the meter shows for the scripted square wave of amplitude a in
// steady state. The DC blocker (R = 1 - 2 pi 60 / rate) turns
// each 50-sample half into a decay s R^n from s = 2a / (1 + R^50), whose
// mean is s (1 - R^50) / (50 (1 - R)); the equalizer passes it at half
// level. About 0.495 a. A 220-sample block holds 2.2 periods, so measured
// block means stray by a few per cent.
double SquareWaveLevel(double a, double rate = 44100) {
    const double r = 1 - 2 * std::numbers::pi * 60 / rate, q = std::pow(r, 50);
    return a * (1 - q) / ((1 + q) * 50 * (1 - r));
}

// The real device over SDL's dummy driver, whose next `failLocks` locks
// fail as those of a device that went away.
class TestDevice : public CDirectSound {
public:
    std::atomic<int> failLocks{0};
    bool Lock(uint32_t offset, uint32_t bytes, void*& p1, uint32_t& l1, void*& p2, uint32_t& l2) override {
        if (failLocks > 0) {
            --failLocks;
            return false;
        }
        return CDirectSound::Lock(offset, bytes, p1, l1, p2, l2);
    }
};

template <class Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class EmuThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void SetUp() override {
        m_device.SetFormat(44100, 16);
        ASSERT_TRUE(m_device.Create(nullptr, nullptr));
        ASSERT_TRUE(m_device.CreateBuffer());
        m_thread.SetWaveFolder(m_tmp.dir.string() + "/", "/");
    }
    void TearDown() override { m_thread.Stop(); }

    void Start(const char* rom = "demo.bin") {
        ASSERT_TRUE(m_thread.Start(rom));
        m_thread.WaitCommand();  // the init must be taken before the next post
    }
    // Posts a command and waits until it has been handled.
    void Send(int32_t command, int32_t argument = 0) {
        ASSERT_TRUE(m_thread.PostCommand(command, argument));
        m_thread.WaitCommand();
        ASSERT_TRUE(m_thread.IsIdle());
    }
    // Waits for a level, then a few blocks more: the first blocks after a
    // play start from a cleared DC blocker and are not yet steady.
    int32_t WaitForLeftLevel() {
        int32_t left = 0, right = 0;
        EXPECT_TRUE(WaitUntil([&] { m_thread.GetLevels(left, right); return left > 0; }));
        const uint64_t played = m_device.GetPlayedBytes();
        EXPECT_TRUE(WaitUntil([&] { return m_device.GetPlayedBytes() > played + 4 * 880; }));
        m_thread.GetLevels(left, right);
        m_right = right;
        return left;
    }
    void ExpectZeroLevels(CEmuThread& t) {
        int32_t l = -1, r = -1;
        t.GetLevels(l, r);
        EXPECT_EQ(l, 0);
        EXPECT_EQ(r, 0);
    }

    ScratchDir m_tmp;
    BoardJournal m_journal;
    TestDevice m_device;
    CEmuThread m_thread{m_device, [this](const std::string&, std::string&) {
                            return std::unique_ptr<IRenderBoard>(new ScriptedBoard(m_journal));
                        }};
    int32_t m_right = 0;
};

TEST_F(EmuThreadTest, FailedStartShowsTheBoardMessageAndStartsNothing) {
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
    EXPECT_EQ(shown, (std::vector<std::string>{"Error:Unknown ROM image.\n", "Error:Unknown error."}));
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_FALSE(thread.IsIdle());
    EXPECT_FALSE(thread.PostCommand(CEmuThread::CmdPlay, 1));
    ExpectZeroLevels(thread);
    thread.WaitCommand();  // returns at once when nothing runs
}

TEST_F(EmuThreadTest, PlayTwiceWithoutWaitingPlaysOnlyTheSecond) {
    // Hold the thread in the init's board reset while two plays are posted.
    m_journal.gateOpen = false;
    ASSERT_TRUE(m_thread.Start("demo.bin"));
    ASSERT_TRUE(WaitUntil([&] { return m_journal.atGate.load(); }));
    ASSERT_TRUE(m_thread.PostCommand(CEmuThread::CmdPlay, 3));
    ASSERT_TRUE(m_thread.PostCommand(CEmuThread::CmdPlay, 7));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(m_thread.IsIdle());
    m_journal.gateOpen = true;
    m_thread.WaitCommand();
    ASSERT_TRUE(WaitUntil([&] { return m_thread.IsIdle(); }));
    EXPECT_EQ(m_journal.Sent(), (std::vector<int>{0, 7}));
    EXPECT_TRUE(m_device.IsPlaying());

    // The level is that of code 7: amplitude 1400 left, 700 right.
    EXPECT_NEAR(WaitForLeftLevel(), SquareWaveLevel(1400), 1400 * 0.02);
    EXPECT_NEAR(m_right, SquareWaveLevel(700), 700 * 0.02);
}

TEST_F(EmuThreadTest, PauseFreezesPlayTimeGainSilencesAndStopResetsTheCounters) {
    Start();
    Send(99, 5);  // unknown: taken and ignored
    Send(CEmuThread::CmdPause);  // idle: nothing to pause
    EXPECT_FALSE(m_device.IsPlaying() || m_device.IsPaused());
    EXPECT_EQ(m_thread.GetPlayTime(), 0u);

    Send(CEmuThread::CmdPlayCode, 2);
    ASSERT_TRUE(WaitUntil([&] { return m_thread.GetPlayTime() >= 30; }));
    Send(CEmuThread::CmdPause);
    EXPECT_TRUE(m_device.IsPaused());
    const uint32_t frozen = m_thread.GetPlayTime();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(m_thread.GetPlayTime(), frozen);
    Send(CEmuThread::CmdPause);
    EXPECT_FALSE(m_device.IsPaused());
    EXPECT_GE(m_thread.GetPlayTime(), frozen);  // resumes from where it stood,
    EXPECT_LT(m_thread.GetPlayTime(), frozen + 150);  // without the 150 ms paused
    ASSERT_TRUE(WaitUntil([&] { return m_thread.GetPlayTime() > frozen + 20; }));

    EXPECT_EQ(m_thread.GetSilentBlocks(), 0);
    Send(CEmuThread::CmdSetGain, 0);  // silences every block rendered from now on
    ASSERT_TRUE(WaitUntil([&] { return m_thread.GetSilentBlocks() >= 20; }));
    Send(CEmuThread::CmdStop);
    EXPECT_FALSE(m_device.IsPlaying());
    EXPECT_EQ(m_thread.GetPlayTime(), 0u);
    EXPECT_EQ(m_thread.GetSilentBlocks(), 0);
    ExpectZeroLevels(m_thread);
    EXPECT_EQ(m_journal.resets.load(), 3);  // init, play, stop
    EXPECT_EQ(m_journal.Sent(), (std::vector<int>{0, 2}));
}

TEST_F(EmuThreadTest, RecordingWhileIdleWaitsForPlayWhichStartsWithSilence) {
    Start("/roms/demo.bin");
    const fs::path wav = m_tmp.dir / "demo.wav";

    Send(CEmuThread::CmdRecord, 1);
    std::this_thread::sleep_for(50ms);
    Send(CEmuThread::CmdRecord, 0);
    EXPECT_EQ(fs::file_size(wav), 44u);  // idle: nothing recorded

    Send(CEmuThread::CmdRecord, 1);
    Send(CEmuThread::CmdRecord, 1);  // already recording: nothing changes
    Send(CEmuThread::CmdPlay, 4);
    const uint64_t played = m_device.GetPlayedBytes();
    ASSERT_TRUE(WaitUntil([&] { return m_device.GetPlayedBytes() > played + 20 * 880; }));
    Send(CEmuThread::CmdRecord, 0);
    Send(CEmuThread::CmdRecord, 0);  // not recording: nothing happens

    const std::vector<uint8_t> file = ReadBytes(wav);
    ASSERT_GE(file.size(), 44u + 200 * 880);
    EXPECT_EQ(Le32(file, 24), 44100u);
    EXPECT_EQ(Le32(file, 40), file.size() - 44);
    EXPECT_EQ((file.size() - 44) % 880, 0u);  // whole blocks only
    for (size_t i = 44; i < 44 + 880; ++i) ASSERT_EQ(file[i], 0) << "byte " << i;
    EXPECT_TRUE(std::any_of(file.begin() + 44 + 880, file.begin() + 44 + 2 * 880, [](uint8_t b) { return b != 0; }));
}

TEST_F(EmuThreadTest, StopAndStartAnotherRomFreesEveryBoard) {
    for (const char* rom : {"first.bin", "second.bin", "third.bin"}) {
        Start(rom);
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
        const std::vector<uint8_t> file = ReadBytes(m_tmp.dir / name);
        ASSERT_GE(file.size(), 44u + 200 * 880) << name;
        EXPECT_EQ(Le32(file, 40), file.size() - 44) << name;
    }
    m_thread.Stop();  // a second stop is harmless
}

}  // namespace

// ResetDSound after a format change: the open recording is closed as a
// whole file, the board renders at the new rate and playback runs on the
// rebuilt buffer (blocks of the new size reach the device).
TEST_F(EmuThreadTest, ResetDSoundClosesTheRecordingAndTakesTheNewFormat) {
    Start("/roms/demo.bin");
    const fs::path wav = m_tmp.dir / "demo.wav";
    Send(CEmuThread::CmdRecord, 1);
    Send(CEmuThread::CmdPlay, 4);
    const uint64_t played = m_device.GetPlayedBytes();
    ASSERT_TRUE(WaitUntil([&] { return m_device.GetPlayedBytes() > played + 10 * 880; }));
    Send(CEmuThread::CmdStop);

    m_device.ReleaseBuffer();
    m_device.SetFormat(22050, 16);
    ASSERT_TRUE(m_device.CreateBuffer());
    ASSERT_TRUE(m_thread.ResetDSound());
    const std::vector<uint8_t> file = ReadBytes(wav);
    ASSERT_GT(file.size(), 44u);
    EXPECT_EQ(Le32(file, 40), file.size() - 44);  // closed: sizes written
    EXPECT_EQ(m_journal.LastRate(), 22050u);

    Send(CEmuThread::CmdPlay, 4);
    EXPECT_NEAR(WaitForLeftLevel(), SquareWaveLevel(800, 22050), 800 * 0.02);  // the whole chain at the new rate
    EXPECT_EQ(ReadBytes(wav).size(), file.size());  // nothing more goes to the closed file
}

// A render stall leaves several 5 ms blocks due; the next pass refills all
// of them at once instead of one per wake-up.
TEST_F(EmuThreadTest, BlocksLeftByAStallAreRefilledInOnePass) {
    Start();
    Send(CEmuThread::CmdPlay, 3);
    WaitForLeftLevel();
    m_journal.stallMs = 40;
    ASSERT_TRUE(WaitUntil([&] { return m_journal.stallMs == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return m_thread.GetMaxBlocksPerPass() >= 4; }));
}

// The meter shows the block the device has just played, not the one just
// rendered a second ahead of it: after the gain drops to 0 it keeps showing
// the full-gain sound still in the buffer and falls to 0 only once the
// device has played that second.
TEST_F(EmuThreadTest, LevelsAreThoseOfTheBlockJustPlayed) {
    Start();
    Send(CEmuThread::CmdPlay, 5);
    WaitForLeftLevel();
    const uint64_t atGain = m_device.GetPlayedBytes();
    Send(CEmuThread::CmdSetGain, 0);
    EXPECT_NEAR(WaitForLeftLevel(), SquareWaveLevel(1000), 1000 * 0.02);
    EXPECT_NEAR(m_right, SquareWaveLevel(500), 500 * 0.02);
    EXPECT_LT(m_device.GetPlayedBytes(), atGain + 50 * 880);
    int32_t left = -1, right = -1;
    ASSERT_TRUE(WaitUntil([&] { m_thread.GetLevels(left, right); return left == 0 && right == 0; }));
    EXPECT_GE(m_device.GetPlayedBytes(), atGain + 190 * 880);
}

// A block whose device lock fails is still recorded and the thread moves on
// to the next: the recording holds every block the play cursor left, once.
TEST_F(EmuThreadTest, FailedDeviceLocksStillRecordTheirBlocksAndMoveOn) {
    Start("/roms/demo.bin");
    Send(CEmuThread::CmdRecord, 1);
    Send(CEmuThread::CmdPlay, 3);
    WaitForLeftLevel();
    m_device.failLocks = 40;  // 200 ms of blocks that never reach the device
    ASSERT_TRUE(WaitUntil([&] { return m_device.failLocks == 0; }));
    const uint64_t before = m_device.GetPlayedBytes();
    ASSERT_TRUE(WaitUntil([&] { return m_device.GetPlayedBytes() > before + 10 * 880; }));
    const uint64_t played = m_device.GetPlayedBytes();
    Send(CEmuThread::CmdRecord, 0);
    EXPECT_TRUE(m_thread.IsIdle());

    // The prefill's 200 blocks, then one per block played. The thread may
    // lag the cursor a little; 40 blocks lost or written twice would show.
    const std::vector<uint8_t> file = ReadBytes(m_tmp.dir / "demo.wav");
    ASSERT_GE(file.size(), 44u + 200 * 880);
    EXPECT_EQ((file.size() - 44) % 880, 0u);
    const uint64_t recorded = (file.size() - 44) / 880 - 200;
    EXPECT_LE(recorded, played / 880 + 3);
    EXPECT_GE(recorded + 15, played / 880);
}

// When the device cannot be opened again (here a rate at which a 5 ms block
// holds no frame), ResetDSound still closes the recording and leaves a
// thread that takes commands but plays and records nothing; once the device
// opens again, the next ResetDSound brings the sound back.
TEST_F(EmuThreadTest, ResetDSoundWithoutADeviceKeepsTheThreadQuietUntilItReturns) {
    std::vector<std::string> shown;
    m_thread.SetMessageHandler([&](void*, const std::string&, const std::string& text) { shown.push_back(text); });
    Start("/roms/demo.bin");
    const fs::path wav = m_tmp.dir / "demo.wav";
    Send(CEmuThread::CmdRecord, 1);
    Send(CEmuThread::CmdPlay, 4);
    Send(CEmuThread::CmdStop);

    m_device.ReleaseBuffer();
    m_device.SetFormat(100, 16);
    ASSERT_FALSE(m_device.CreateBuffer());
    m_thread.ResetDSound();
    std::vector<uint8_t> file = ReadBytes(wav);
    ASSERT_GE(file.size(), 44u + 200 * 880);
    EXPECT_EQ(Le32(file, 40), file.size() - 44);  // closed as a whole file

    Send(CEmuThread::CmdRecord, 1);
    Send(CEmuThread::CmdPlay, 6);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(m_device.IsPlaying());
    EXPECT_EQ(m_thread.GetPlayTime(), 0);  // no time counted for what is not heard
    ExpectZeroLevels(m_thread);
    Send(CEmuThread::CmdPause);
    Send(CEmuThread::CmdStop);
    Send(CEmuThread::CmdRecord, 0);
    EXPECT_EQ(ReadBytes(wav).size(), 44u);  // nothing played, nothing recorded
    EXPECT_EQ(shown, std::vector<std::string>{});  // the device reported its own failure

    m_device.SetFormat(44100, 16);
    ASSERT_TRUE(m_device.CreateBuffer());
    ASSERT_TRUE(m_thread.ResetDSound());
    Send(CEmuThread::CmdPlay, 6);
    EXPECT_TRUE(m_device.IsPlaying());
    EXPECT_NEAR(WaitForLeftLevel(), SquareWaveLevel(1200), 1200 * 0.02);
    EXPECT_EQ(m_journal.LastRate(), 44100u);
}
