// CDirectSound over real SDL2 audio with the dummy driver (no sound card):
// geometry, state rules, cursor movement, lock regions and error reporting.
#include "audio/DirectSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using namespace std::chrono_literals;

class DirectSoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    static void Open(CDirectSound& ds, int rate)
    {
        ds.SetFormat(rate, 16);
        ASSERT_TRUE(ds.Create(nullptr, nullptr));
        ASSERT_TRUE(ds.CreateBuffer());
    }
    static uint32_t Cursor(CDirectSound& ds)
    {
        uint32_t play = 0, write = 0;
        EXPECT_TRUE(ds.GetPosition(play, write));
        return play;
    }
    // Waits (bounded) until the cursor has moved away from `from`.
    static uint32_t WaitForCursorChange(CDirectSound& ds, uint32_t from)
    {
        uint32_t play = from;
        for (int i = 0; i < 400 && play == from; ++i) {
            std::this_thread::sleep_for(5ms);
            play = Cursor(ds);
        }
        return play;
    }
};

TEST_F(DirectSoundTest, ErrorsAreReportedWithCaptionAndLeaveNothingOpen)
{
    std::vector<std::string> shown;
    std::vector<void*> owners;
    int window = 0;
    const auto handler = [&](void* owner, const std::string& caption, const std::string& text) {
        shown.push_back(caption + ":" + text);
        owners.push_back(owner);
    };
    CDirectSound noDevice, unknownDevice, ds;
    for (CDirectSound* d : {&noDevice, &unknownDevice, &ds}) d->SetMessageHandler(handler);
    EXPECT_FALSE(noDevice.CreateBuffer());
    EXPECT_FALSE(noDevice.HasBuffer());
    const DeviceGuid unknown = DeviceGuidFromName("no such device in this test");
    EXPECT_FALSE(unknownDevice.Create(&window, &unknown));
    EXPECT_FALSE(unknownDevice.IsCreated());
    ds.SetFormat(100, 16);  // 5 ms hold less than one frame
    ASSERT_TRUE(ds.Create(&window, nullptr));
    EXPECT_FALSE(ds.CreateBuffer());
    EXPECT_FALSE(ds.HasBuffer());
    ds.SetFormat(44100, 12);
    EXPECT_FALSE(ds.CreateBuffer());
    ds.SetFormat(44100, 16);  // the device stays usable with a sane format
    EXPECT_TRUE(ds.CreateBuffer());
    EXPECT_EQ(shown, (std::vector<std::string>{"ERROR:CDirectSound:DirectSound object uninitialized.",
                                               "ERROR:CDirectSound:DirectSoundCreate failed.",
                                               "ERROR:CDirectSound:SetFormat failed.",
                                               "ERROR:CDirectSound:SetFormat failed."}));
    ASSERT_EQ(owners.size(), 4u);
    EXPECT_EQ(owners[1], &window);
}

// The identity is stored in settings files: it must never change, and every
// listed device opens by it.
TEST_F(DirectSoundTest, DeviceIdentityIsStableAndZeroMeansDefault)
{
    CDirectSound ds;
    const auto& devices = ds.GetDevices();
    ASSERT_FALSE(devices.empty());
    EXPECT_TRUE(IsZeroGuid(devices[0].guid));
    for (size_t i = 1; i < devices.size(); ++i)
        EXPECT_TRUE(CDirectSound().Create(nullptr, &devices[i].guid)) << devices[i].description;
    const DeviceGuid golden = {0x13, 0xe9, 0x82, 0xb9, 0x1f, 0xb3, 0x4d, 0x75,
                               0xa6, 0xa1, 0x55, 0xe7, 0xed, 0x5b, 0xc6, 0x12};
    EXPECT_EQ(DeviceGuidFromName("Built-in Audio Analog Stereo"), golden);
    const SettingsGuid stored = ToSettingsGuid(golden);
    EXPECT_EQ(stored.Data1, 0xb982e913u);
    EXPECT_EQ(stored.Data3, 0x754du);
    EXPECT_EQ(ToDeviceGuid(stored), golden);
}

// Blocks hold 5 ms of 16-bit stereo, the ring 200 blocks. Stop, Pause and
// Resume only act while playing; the cursor stands still while paused and
// returns to 0 on Stop.
TEST_F(DirectSoundTest, GeometryAndStateRules)
{
    for (auto [rate, blockBytes] : {std::pair{44100, 880}, std::pair{192000, 3840}}) {
        CDirectSound ds;
        Open(ds, rate);
        EXPECT_EQ(ds.FramesPerBlock() * 4, blockBytes) << rate;
        EXPECT_EQ(ds.TotalBytes(), 200 * blockBytes) << rate;
    }
    CDirectSound ds;
    uint32_t play = 0, write = 0;
    EXPECT_FALSE(ds.GetPosition(play, write));  // no buffer yet
    ds.Play();
    EXPECT_FALSE(ds.IsPlaying());
    Open(ds, 44100);
    ds.Stop();
    ds.Resume();
    ds.Pause();
    EXPECT_FALSE(ds.IsPlaying() || ds.IsPaused());

    ds.Play();
    EXPECT_TRUE(ds.IsPlaying());
    ASSERT_NE(WaitForCursorChange(ds, 0), 0u);
    ds.Pause();
    ds.Pause();  // twice is the same as once
    EXPECT_TRUE(ds.IsPlaying() && ds.IsPaused());
    play = Cursor(ds);
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(Cursor(ds), play);
    ds.Resume();
    EXPECT_FALSE(ds.IsPaused());
    EXPECT_NE(WaitForCursorChange(ds, play), play);
    EXPECT_LT(Cursor(ds), ds.TotalBytes());

    ds.Stop();
    EXPECT_FALSE(ds.IsPlaying() || ds.IsPaused());
    EXPECT_EQ(Cursor(ds), 0u);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(Cursor(ds), 0u);
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
    void *p1, *p2, *base;
    uint32_t l1, l2, lb;
    ASSERT_TRUE(ds.Lock(0, total, base, lb, p2, l2));
    EXPECT_EQ(p2, nullptr);
    ASSERT_TRUE(ds.Unlock(base, lb, p2, l2));

    struct Case {
        uint32_t offset, bytes, first;
        void* second;
        uint32_t secondBytes;
    };
    for (Case c : {Case{total - 100, 880, 100, base, 780}, Case{880 * 3, 880, 880, nullptr, 0}}) {
        SCOPED_TRACE(c.offset);
        ASSERT_TRUE(ds.Lock(c.offset, c.bytes, p1, l1, p2, l2));
        EXPECT_EQ(p1, static_cast<uint8_t*>(base) + c.offset);
        EXPECT_EQ(l1, c.first);
        EXPECT_EQ(p2, c.second);
        EXPECT_EQ(l2, c.secondBytes);
        EXPECT_TRUE(ds.Unlock(p1, l1, p2, l2));
    }
    EXPECT_FALSE(ds.Lock(total, 4, p1, l1, p2, l2));
    EXPECT_FALSE(ds.Lock(0, total + 1, p1, l1, p2, l2));
    EXPECT_FALSE(ds.Lock(0, 0, p1, l1, p2, l2));
    int outside[4];
    EXPECT_FALSE(ds.Unlock(outside, sizeof outside, nullptr, 0));
    EXPECT_FALSE(ds.Unlock(base, total + 1, nullptr, 0));
}

}  // namespace
