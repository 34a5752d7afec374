// CDirectSound over real SDL2 audio with the dummy driver (no sound card):
// geometry, state rules, cursor movement, lock regions and error reporting.
#include "audio/DirectSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/LogCapture.h"

namespace {

using namespace std::chrono_literals;

struct Message {
    void* owner = nullptr;
    std::string caption;
    std::string text;
};

class DirectSoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    // Creates the device and buffer at the given rate; asserts success.
    void Open(CDirectSound& ds, int rate)
    {
        ds.SetFormat(rate, 16);
        ASSERT_TRUE(ds.Create(nullptr, nullptr));
        ASSERT_TRUE(ds.CreateBuffer());
    }

    // Waits until the cursor has moved away from `from` (bounded wait).
    static uint32_t WaitForCursorChange(CDirectSound& ds, uint32_t from)
    {
        uint32_t play = from;
        uint32_t write = 0;
        for (int i = 0; i < 400 && play == from; ++i) {
            std::this_thread::sleep_for(5ms);
            ds.GetPosition(play, write);
        }
        return play;
    }
};

TEST_F(DirectSoundTest, BlockGeometryFollowsRateAndRoundsToWholeFrames)
{
    struct Case {
        int rate, blockBytes, frames;
    };
    for (Case c : {Case{44100, 880, 220}, Case{48000, 960, 240}, Case{22050, 440, 110},
                   Case{96000, 1920, 480}, Case{192000, 3840, 960}}) {
        CDirectSound ds;
        Open(ds, c.rate);
        EXPECT_EQ(ds.BlockBytes(), c.blockBytes) << c.rate;
        EXPECT_EQ(ds.FramesPerBlock(), c.frames) << c.rate;
        EXPECT_EQ(ds.BlockCount(), 200);
        EXPECT_EQ(ds.TotalBytes(), 200 * c.blockBytes) << c.rate;
        int rate = 0, bits = 0;
        ds.GetFormat(rate, bits);
        EXPECT_EQ(rate, c.rate);
        EXPECT_EQ(bits, 16);
    }
}

TEST_F(DirectSoundTest, ErrorsAreReportedWithCaptionAndLeaveNothingOpen)
{
    LogCapture log;
    std::vector<Message> shown;
    int window = 0;
    auto handler = [&](void* owner, const std::string& caption, const std::string& text) {
        shown.push_back(Message{owner, caption, text});
    };

    {
        CDirectSound ds;
        ds.SetMessageHandler(handler);
        EXPECT_FALSE(ds.CreateBuffer());
        EXPECT_FALSE(ds.HasBuffer());
    }
    {
        CDirectSound ds;
        ds.SetMessageHandler(handler);
        DeviceGuid unknown = DeviceGuidFromName("no such device in this test");
        EXPECT_FALSE(ds.Create(&window, &unknown));
        EXPECT_FALSE(ds.IsCreated());
    }
    {
        CDirectSound ds;
        ds.SetMessageHandler(handler);
        ds.SetFormat(100, 16);  // 5 ms hold less than one frame
        ASSERT_TRUE(ds.Create(&window, nullptr));
        EXPECT_FALSE(ds.CreateBuffer());
        EXPECT_FALSE(ds.HasBuffer());
        ds.SetFormat(44100, 12);
        EXPECT_FALSE(ds.CreateBuffer());
        // The device stays usable with a sane format.
        ds.SetFormat(44100, 16);
        EXPECT_TRUE(ds.CreateBuffer());
    }
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text, "CDirectSound:DirectSound object uninitialized.");
    EXPECT_EQ(shown[1].text, "CDirectSound:DirectSoundCreate failed.");
    EXPECT_EQ(shown[1].owner, &window);
    EXPECT_EQ(shown[2].text, "CDirectSound:SetFormat failed.");
    EXPECT_EQ(shown[3].text, "CDirectSound:SetFormat failed.");
    for (const auto& m : shown)
        EXPECT_EQ(m.caption, "ERROR");
    EXPECT_TRUE(log.Contains("CDirectSound:DirectSoundCreate failed.\n"));
    EXPECT_TRUE(log.Contains("DeviceNum:"));
}

TEST_F(DirectSoundTest, DeviceIdentityIsStableAndZeroMeansDefault)
{
    CDirectSound ds;
    const auto& devices = ds.GetDevices();
    ASSERT_FALSE(devices.empty());
    EXPECT_TRUE(IsZeroGuid(devices[0].guid));
    for (size_t i = 1; i < devices.size(); ++i) {
        CDirectSound other;  // every listed device opens by its identity
        EXPECT_TRUE(other.Create(nullptr, &devices[i].guid)) << devices[i].description;
    }
    EXPECT_FALSE(IsZeroGuid(DeviceGuidFromName("")));
    // The identity is stored in settings files: it must never change.
    const DeviceGuid golden = {0x13, 0xe9, 0x82, 0xb9, 0x1f, 0xb3, 0x4d, 0x75,
                               0xa6, 0xa1, 0x55, 0xe7, 0xed, 0x5b, 0xc6, 0x12};
    EXPECT_EQ(DeviceGuidFromName("Built-in Audio Analog Stereo"), golden);
    SettingsGuid stored = ToSettingsGuid(golden);
    EXPECT_EQ(stored.Data1, 0xb982e913u);
    EXPECT_EQ(stored.Data3, 0x754du);
    EXPECT_EQ(ToDeviceGuid(stored), golden);
}

TEST_F(DirectSoundTest, PlayCursorAdvancesAtTheDeviceRate)
{
    for (int rate : {44100, 192000}) {
        CDirectSound ds;
        Open(ds, rate);
        ds.Play();
        auto t0 = std::chrono::steady_clock::now();
        uint64_t b0 = ds.GetPlayedBytes();
        std::this_thread::sleep_for(600ms);
        uint64_t b1 = ds.GetPlayedBytes();
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        double bytesPerSecond = static_cast<double>(b1 - b0) / seconds;
        double expected = rate * 4.0;
        // Loose bounds: the dummy driver paces itself with sleeps (it runs
        // a little fast at 44100 Hz) and a loaded machine only slows it.
        // A cursor counting frames as bytes, or bytes twice, falls outside.
        EXPECT_GT(bytesPerSecond, expected * 0.3) << rate;
        EXPECT_LT(bytesPerSecond, expected * 1.35) << rate;
        uint32_t play = 0, write = 0;
        ASSERT_TRUE(ds.GetPosition(play, write));
        EXPECT_LT(play, static_cast<uint32_t>(ds.TotalBytes()));
    }
}

TEST_F(DirectSoundTest, StopPauseAndResumeOnlyActWhereTheyApply)
{
    CDirectSound ds;
    uint32_t play = 0, write = 0;
    EXPECT_FALSE(ds.GetPosition(play, write));  // no buffer yet
    ds.Play();
    EXPECT_FALSE(ds.IsPlaying());
    Open(ds, 44100);

    ds.Stop();  // not playing: nothing happens
    ds.Resume();
    ds.Pause();
    EXPECT_FALSE(ds.IsPlaying());
    EXPECT_FALSE(ds.IsPaused());

    ds.Play();
    EXPECT_TRUE(ds.IsPlaying());
    ds.Resume();  // not paused: nothing happens
    EXPECT_FALSE(ds.IsPaused());
    play = WaitForCursorChange(ds, 0);
    ASSERT_NE(play, 0u);

    ds.Pause();
    EXPECT_TRUE(ds.IsPlaying());  // a paused device is still in its playing state
    EXPECT_TRUE(ds.IsPaused());
    ds.Pause();  // already paused
    EXPECT_TRUE(ds.IsPaused());
    ASSERT_TRUE(ds.GetPosition(play, write));
    std::this_thread::sleep_for(60ms);
    uint32_t later = 0;
    ASSERT_TRUE(ds.GetPosition(later, write));
    EXPECT_EQ(later, play);  // the cursor stands still while paused

    ds.Resume();
    EXPECT_FALSE(ds.IsPaused());
    EXPECT_NE(WaitForCursorChange(ds, play), play);

    ds.Stop();
    EXPECT_FALSE(ds.IsPlaying());
    EXPECT_FALSE(ds.IsPaused());
    ASSERT_TRUE(ds.GetPosition(play, write));
    EXPECT_EQ(play, 0u);
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(ds.GetPosition(play, write));
    EXPECT_EQ(play, 0u);

    ds.Release();
    EXPECT_FALSE(ds.HasBuffer());
    ds.Play();
    EXPECT_FALSE(ds.IsPlaying());
}

TEST_F(DirectSoundTest, LockSplitsWrappingRangesAndRejectsBadOnes)
{
    CDirectSound ds;
    Open(ds, 44100);
    const uint32_t total = ds.TotalBytes();
    void *p1, *p2, *base, *unused;
    uint32_t l1, l2, lb, lu;
    ASSERT_TRUE(ds.Lock(0, total, base, lb, unused, lu));
    EXPECT_EQ(unused, nullptr);
    EXPECT_EQ(lu, 0u);
    ASSERT_TRUE(ds.Unlock(base, lb, unused, lu));

    ASSERT_TRUE(ds.Lock(total - 100, 880, p1, l1, p2, l2));
    EXPECT_EQ(p1, static_cast<uint8_t*>(base) + total - 100);
    EXPECT_EQ(l1, 100u);
    EXPECT_EQ(p2, base);
    EXPECT_EQ(l2, 780u);
    EXPECT_TRUE(ds.Unlock(p1, l1, p2, l2));

    ASSERT_TRUE(ds.Lock(880 * 3, 880, p1, l1, p2, l2));
    EXPECT_EQ(p1, static_cast<uint8_t*>(base) + 880 * 3);
    EXPECT_EQ(l1, 880u);
    EXPECT_EQ(p2, nullptr);

    EXPECT_FALSE(ds.Lock(total, 4, p1, l1, p2, l2));
    EXPECT_FALSE(ds.Lock(0, total + 1, p1, l1, p2, l2));
    EXPECT_FALSE(ds.Lock(0, 0, p1, l1, p2, l2));
    int outside[4];
    EXPECT_FALSE(ds.Unlock(outside, sizeof outside, nullptr, 0));
    EXPECT_FALSE(ds.Unlock(base, total + 1, nullptr, 0));
}

TEST_F(DirectSoundTest, CountsBlocksPlayedAgainWithoutBeingRewritten)
{
    CDirectSound ds;
    Open(ds, 192000);  // the quickest lap keeps this test short
    void *p1, *p2;
    uint32_t l1, l2;
    ASSERT_TRUE(ds.Lock(0, ds.TotalBytes(), p1, l1, p2, l2));
    ASSERT_TRUE(ds.Unlock(p1, l1, p2, l2));
    ds.Play();
    // Well inside the first lap (1 s) every block is fresh.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(ds.GetUnderrunCount(), 0u);
    // Nothing is rewritten: the second lap replays stale blocks.
    for (int i = 0; i < 800 && ds.GetUnderrunCount() == 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_GT(ds.GetUnderrunCount(), 0u);
}

}  // namespace
