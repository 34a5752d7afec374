// The main window's transport with a fake clock, render thread, playlist
// and window; the digit cells and the level meter.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/Settings.h"
#include "audio/EmuThread.h"
#include "player/Transport.h"

namespace {

using Posts = std::vector<std::pair<int32_t, int32_t>>;

struct FakeRender : IRenderControl {
    bool running = true;
    bool idle = true;
    uint32_t playTime = 0;
    int32_t levels[2] = {0, 0};
    int32_t silent = 0;
    Posts posted;
    std::vector<size_t> waitsAfter;  // posted.size() at each wait

    bool IsRunning() const override { return running; }
    bool IsIdle() const override { return running && idle; }
    bool PostCommand(int32_t command, int32_t argument) override
    {
        posted.emplace_back(command, argument);  // noted even when refused
        return running;
    }
    void WaitCommand() override { waitsAfter.push_back(posted.size()); }
    uint32_t GetPlayTime() const override { return playTime; }
    void GetLevels(int32_t& l, int32_t& r) const override { l = levels[0], r = levels[1]; }
    int32_t GetSilentBlocks() const override { return silent; }
};

struct FakeHost : ITransportHost {
    int randomPicks = 0;
    std::vector<int32_t> commands;
    void PickRandomRom() override { ++randomPicks; }
    void PostWindowCommand(int32_t id) override { commands.push_back(id); }
};

// Rows of (code, time); PlayNext/PlayPrev move the selection and play the
// row through the transport, as the real playlist plays through the host.
struct FakePlaylist : ITransportPlaylist {
    CTransport* transport = nullptr;
    std::vector<std::pair<int32_t, int32_t>> rows;
    size_t selection = 0;
    bool window = false;
    void PlaySelected() override { transport->PlayCode(rows[selection].first, "row"); }
    void PlayNext() override { ++selection, PlaySelected(); }
    void PlayPrev() override { selection -= selection > 0, PlaySelected(); }
    bool HasNext() const override { return selection + 1 < rows.size(); }
    int32_t TimeOf(int32_t code) const override
    {
        auto row = std::find_if(rows.begin(), rows.end(), [&](auto r) { return r.first == code; });
        return row == rows.end() ? 0 : row->second;
    }
    bool WindowExists() const override { return window; }
};

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        playlist.transport = &transport;
        transport.SetPlaylist(&playlist);
        transport.BeginLoad();
        transport.RomStarted();
    }
    // Ticks every 16 ms from `from` for `ms` milliseconds; returns the end time.
    uint32_t TickFor(uint32_t from, uint32_t ms)
    {
        uint32_t t = from;
        for (; t < from + ms; t += 16)
            transport.Tick(t);
        return t;
    }
    int32_t LastPosted(int32_t command) const
    {
        auto it = std::find_if(render.posted.rbegin(), render.posted.rend(), [&](auto p) { return p.first == command; });
        return it == render.posted.rend() ? -1 : it->second;
    }

    CSettings settings = [] {
        CSettings s;
        s.AutoPlay = 0;  // read when the transport is made
        return s;
    }();
    FakeRender render;
    FakeHost host;
    CTransport transport{render, settings, host};
    FakePlaylist playlist;
};

// (Stepping by key through 255 and 0 is checked on the main window.)
TEST_F(TransportTest, NextWrapsToZeroAndPlayReplaysTheCurrentCode)
{
    transport.Prev();
    EXPECT_EQ(transport.CurrentCode(), 255);
    transport.Next();
    EXPECT_EQ(LastPosted(CEmuThread::CmdPlayCode), 0);
    transport.Step(+1);
    transport.Play();
    EXPECT_EQ(LastPosted(CEmuThread::CmdPlay), 1);
    EXPECT_EQ(transport.State(), TransportState::Playing);
}

TEST_F(TransportTest, CommandsNeedARunningRomExceptAutoplay)
{
    render.running = false;
    transport.Play();
    transport.Pause(0);
    transport.Stop();
    transport.Next();
    transport.Prev();
    transport.Step(1);
    transport.PlayCode(5, "x");
    EXPECT_FALSE(transport.ToggleRecord());
    EXPECT_TRUE(render.posted.empty());
    EXPECT_EQ(host.randomPicks, 0);
    EXPECT_EQ(transport.CurrentCode(), 0);

    EXPECT_TRUE(transport.ToggleAutoPlay());
    EXPECT_EQ(settings.AutoPlay, 1);
    transport.Play();  // with AutoPlay on, Play without a ROM picks one
    EXPECT_EQ(host.randomPicks, 1);
    EXPECT_FALSE(transport.ToggleAutoPlay());
    EXPECT_EQ(settings.AutoPlay, 0);
}

TEST_F(TransportTest, SilenceWithAutoplayOffStopsOnceUntilSoundReturns)
{
    transport.Play();
    render.silent = 300;  // not yet more than 300 blocks: nothing
    uint32_t t = TickFor(0, 100);
    EXPECT_TRUE(host.commands.empty());
    render.silent = 301;
    t = TickFor(t, 1000);
    EXPECT_EQ(host.commands, std::vector<int32_t>{CmdIdStop});
    render.silent = 0;  // heard again, then silent again
    t = TickFor(t, 32);
    render.silent = 400;
    TickFor(t, 500);
    EXPECT_EQ(host.commands, (std::vector<int32_t>{CmdIdStop, CmdIdStop}));
}

TEST_F(TransportTest, PlayTimeLimitAdvancesWithAutoplayAndZeroAdvancesAtOnce)
{
    transport.ToggleAutoPlay();
    playlist.window = true;
    playlist.rows = {{1, 20}, {2, 0}, {3, 0}};  // row 1 plays 2.0 s
    transport.SetPlaylistMode(true);
    transport.Play();
    EXPECT_EQ(transport.PlayTime(), 20);
    render.playTime = 1999;
    transport.Tick(0);
    EXPECT_TRUE(host.commands.empty());
    render.playTime = 2000;
    transport.Tick(16);
    EXPECT_EQ(host.commands, std::vector<int32_t>{CmdIdNext});

    // While the render thread is busy with a command the shown time stays.
    host.commands.clear();
    render.idle = false;
    render.playTime = 0;
    transport.Tick(32);
    EXPECT_EQ(transport.ElapsedMs(), 2000u);

    // A row without a time plays the default; a default of 0 advances at once.
    render.idle = true;
    host.commands.clear();
    playlist.selection = 1;
    transport.PlayCode(2, "row");
    for (int32_t defaultTime : {60, INT32_MAX}) {  // 59.9 s plays on; the largest value does not wrap
        settings.PlayTimeDefault = defaultTime;
        render.playTime = 59999;
        transport.Tick(48);
        EXPECT_TRUE(host.commands.empty()) << defaultTime;
    }
    settings.PlayTimeDefault = 0;
    transport.Tick(64);
    EXPECT_EQ(host.commands, std::vector<int32_t>{CmdIdNext});
}

TEST_F(TransportTest, AutoplayEndNeedsThePlaylistWindowForARandomRom)
{
    transport.ToggleAutoPlay();
    render.silent = 301;
    transport.Play();
    transport.Tick(0);  // window never created: stop
    EXPECT_EQ(host.commands, std::vector<int32_t>{CmdIdStop});
    EXPECT_EQ(host.randomPicks, 0);

    playlist.window = true;  // created, hidden and empty: a random ROM
    render.silent = 0;
    transport.Tick(16);
    render.silent = 301;
    transport.Tick(32);
    EXPECT_EQ(host.randomPicks, 1);
    EXPECT_EQ(host.commands.size(), 1u);

    // With autoplay toggled off the silence stops instead.
    transport.ToggleAutoPlay();
    render.silent = 0;
    transport.Tick(48);
    render.silent = 301;
    transport.Tick(64);
    EXPECT_EQ(host.commands, (std::vector<int32_t>{CmdIdStop, CmdIdStop}));
}

TEST_F(TransportTest, PlaylistModeGoesThroughThePlaylist)
{
    playlist.rows = {{7, 30}, {9, 40}};
    transport.SetPlaylistMode(true);
    transport.Play();
    EXPECT_EQ(LastPosted(CEmuThread::CmdPlay), 7);
    transport.Next();
    EXPECT_EQ(transport.CurrentCode(), 9);
    const size_t before = render.posted.size();
    transport.Next();  // last row: nothing
    EXPECT_EQ(render.posted.size(), before);
    EXPECT_EQ(transport.CurrentCode(), 9);
    transport.Prev();
    EXPECT_EQ(LastPosted(CEmuThread::CmdPlay), 7);
    transport.Step(+1);  // arrows ignore the playlist
    EXPECT_EQ(LastPosted(CEmuThread::CmdPlayCode), 8);
    EXPECT_EQ(transport.PlayTime(), 0);
}

TEST_F(TransportTest, PauseBlinksTheTimeWithAPeriodOf1500ms)
{
    transport.Play();
    render.playTime = 65430;  // 1:05
    transport.Tick(1000);
    EXPECT_EQ(transport.Digits(), (DigitCells{0, 0, 0, GlyphPlaying, 0, 1, GlyphColon, 0, 5}));

    transport.Pause(1000);
    EXPECT_EQ(LastPosted(CEmuThread::CmdPause), 0);
    EXPECT_EQ(transport.State(), TransportState::Paused);
    const DigitCells shown{0, 0, 0, GlyphPaused, 0, 1, GlyphColon, 0, 5};
    const DigitCells blank{0, 0, 0, GlyphPaused, GlyphBlank, GlyphBlank, GlyphColon, GlyphBlank, GlyphBlank};
    EXPECT_EQ(transport.Digits(), shown);
    // Blank from 750 ms after the pause, shown again at 1500 ms.
    std::vector<DigitCells> seen;
    for (uint32_t t : {1740u, 1750u, 2490u, 2500u, 3250u}) {
        transport.Tick(t);
        seen.push_back(transport.Digits());
    }
    EXPECT_EQ(seen, (std::vector<DigitCells>{shown, blank, blank, shown, blank}));

    transport.Pause(7000);  // resume: the time shows again
    transport.Tick(7010);
    EXPECT_EQ(transport.State(), TransportState::Playing);
    EXPECT_EQ(transport.Digits()[4], 0);
}

TEST_F(TransportTest, RecordTogglesStopWaitsAndDeviceChangeStopsRecordingFirst)
{
    EXPECT_TRUE(transport.ToggleRecord());
    EXPECT_EQ(LastPosted(CEmuThread::CmdRecord), 1);
    EXPECT_FALSE(transport.ToggleRecord());
    EXPECT_EQ(LastPosted(CEmuThread::CmdRecord), 0);
    transport.ToggleRecord();
    transport.RomStarted();  // a new ROM starts without recording
    EXPECT_FALSE(transport.Recording());

    transport.Play();
    transport.ToggleRecord();
    render.posted.clear();
    transport.Stop();
    EXPECT_EQ(render.posted, (Posts{{CEmuThread::CmdStop, 0}}));
    EXPECT_EQ(render.waitsAfter.back(), 1u);
    EXPECT_EQ(transport.State(), TransportState::Stopped);

    render.posted.clear();
    render.waitsAfter.clear();
    transport.StopForDeviceChange();
    EXPECT_EQ(render.posted, (Posts{{CEmuThread::CmdRecord, 0}, {CEmuThread::CmdStop, 0}}));
    EXPECT_EQ(render.waitsAfter, (std::vector<size_t>{1, 2}));
    EXPECT_FALSE(transport.Recording());
}

TEST(DigitCellsTest, CodeAndTimeWithinOneHour)
{
    EXPECT_EQ(ComputeDigitCells(true, 255, TransportState::Stopped, 3599990, false),
              (DigitCells{2, 5, 5, GlyphStopped, 5, 9, GlyphColon, 5, 9}));
    EXPECT_EQ(ComputeDigitCells(true, 42, TransportState::Playing, 3600000 + 61000, false),
              (DigitCells{0, 4, 2, GlyphPlaying, 0, 1, GlyphColon, 0, 1}));
    const DigitCells none = ComputeDigitCells(false, 42, TransportState::None, 5000, false);
    for (int i : {0, 1, 2, 4, 5, 7, 8})
        EXPECT_EQ(none[i], GlyphNoRom);
}

TEST(LevelMeterTest, SegmentValuesFollowTheLogScale)
{
    // 0 lights the lowest segment; 1 (-40 dB) and 50 (-6.02 truncated to -6)
    // are below the scale; 15848 is 43.99 dB, 15849 44.0000; 32767 is limited.
    const std::pair<int32_t, int32_t> cases[] = {{0, 44},     {1, 45},    {50, 45},   {100, 44},
                                                 {1000, 24}, {15848, 1}, {15849, 0}, {32767, 0}};
    for (auto [level, value] : cases)
        EXPECT_EQ(CLevelMeter::SegmentOf(level), value) << level;
}

TEST(LevelMeterTest, BarsFallByFourAndPeaksHoldThenFall)
{
    CLevelMeter meter;
    meter.Update(1000, 0);  // left 24, right 44
    EXPECT_EQ(meter.Bar(0), 24);
    EXPECT_EQ(meter.Peak(0), 24);
    EXPECT_EQ(meter.Bar(1), 44);
    std::vector<int32_t> bars, peaks;
    for (int i = 0; i < 8; ++i) {
        meter.Update(1, 1);  // off
        bars.push_back(meter.Bar(0));
        peaks.push_back(meter.Peak(0));
    }
    EXPECT_EQ(bars, (std::vector<int32_t>{28, 32, 36, 40, 44, 44, 44, 44}));
    EXPECT_EQ(peaks, (std::vector<int32_t>{24, 24, 24, 24, 25, 26, 27, 28}));
    EXPECT_EQ(meter.Bar(1), 44);  // a lit bar never goes back to off
    meter.Reset();
    EXPECT_EQ(meter.Bar(0), CLevelMeter::kOff);
    EXPECT_EQ(meter.Hold(0), CLevelMeter::kResetHold);
}

}  // namespace
