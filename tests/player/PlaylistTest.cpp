// CPlaylist: the selection, Play/Next/Prev through the main window, play
// times, the preset choice and the list path of a ROM.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "PlaylistTestFiles.h"
#include "RecordingHost.h"
#include "player/Playlist.h"
#include "player/PlaylistPath.h"

namespace
{

using Played = std::vector<std::pair<int32_t, std::string>>;

// Rows: 0 caption, 1 #1, 2 #2 [SE], 3 caption, 4 #4, 5 #5 [SE]
const char* const kList = "%volgain\t400\n%start\nIntro\n#1\tone\t0:10\n#2\tbell [SE]\t0:01\nMore\n"
                          "#4\tfour\t1:00\n#5\tstop [SE]\n%end\n";

class PlaylistModel : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        WriteFile(tmp / "list.lst", kList);
        list.SetHost(&host);
        list.SetSettings(&settings);
    }
    void LoadWithWindow()
    {
        ASSERT_TRUE(list.Load(tmp / "list.lst"));
        list.SetWindowCreated(true);
    }
    ScratchDir tmp;
    RecordingHost host;
    CSettings settings;
    CPlaylist list;
};

TEST_F(PlaylistModel, TimesNeedTheWindowAndSelectionStartsOnThePlayableRow)
{
    ASSERT_TRUE(list.Load(tmp / "list.lst"));
    EXPECT_EQ(list.TimeOf(1), 0);
    EXPECT_EQ(list.Selection(), -1);
    list.PlaySelected(); // no window: nothing plays
    list.PlayNext();
    EXPECT_TRUE(host.played.empty());
    list.SetWindowCreated(true);
    EXPECT_EQ(list.VolumeGain(), 400); // creating the window keeps the file's gain
    EXPECT_EQ(list.Selection(), 1);
    EXPECT_EQ(list.TimeOf(1), 100);
    EXPECT_EQ(list.TimeOf(4), 600);
    EXPECT_EQ(list.TimeOf(5), 0);  // row without time
    EXPECT_EQ(list.TimeOf(99), 0); // no such row

    list.Select(3); // caption: nothing plays
    list.PlaySelected();
    EXPECT_TRUE(host.played.empty());
    list.Select(17); // out of range: ignored
    EXPECT_EQ(list.Selection(), 3);

    WriteFile(tmp / "captions.lst", "%start\nA\nB\n");
    ASSERT_TRUE(list.Load(tmp / "captions.lst"));
    EXPECT_EQ(list.Selection(), 0);
    EXPECT_FALSE(list.Load(tmp / "none.lst"));
    EXPECT_EQ(list.Selection(), -1);
}

TEST_F(PlaylistModel, NextSkipsSERowsOnlyWithNoSEAutoPlayAndPrevStepsOverCaptionsToRowZero)
{
    LoadWithWindow();
    settings.NoSEAutoPlay = 1;
    ASSERT_TRUE(list.HasNext());
    list.PlayNext();
    EXPECT_EQ(list.Selection(), 4);
    EXPECT_FALSE(list.HasNext()); // only the SE row 5 is left
    list.PlayNext();              // does nothing
    EXPECT_EQ(host.played, (Played{{4, "four"}}));

    // Prev never skips SE rows: row 3 is a caption, on to row 2.
    list.Select(5);
    list.PlayPrev(); // row 4
    list.PlayPrev();
    EXPECT_EQ(list.Selection(), 2);
    list.PlayPrev();
    list.PlayPrev(); // row 0 is a caption: selected, nothing plays
    list.PlayPrev();
    EXPECT_EQ(list.Selection(), 0);
    EXPECT_EQ(host.played, (Played{{4, "four"}, {4, "four"}, {2, "bell [SE]"}, {1, "one"}}));

    settings.NoSEAutoPlay = 0;
    host.played.clear();
    list.Select(1);
    for (int i = 0; i < 3; ++i)
        list.PlayNext();
    EXPECT_EQ(list.Selection(), 5);
    EXPECT_FALSE(list.HasNext());
    EXPECT_EQ(host.played, (Played{{2, "bell [SE]"}, {4, "four"}, {5, "stop [SE]"}}));

    // A caption run down to row 0 ends on row 0 even when row 0 plays.
    WriteFile(tmp / "b.lst", "%start\n#7\tfirst\nA\nB\n#8\tlast\n");
    ASSERT_TRUE(list.Load(tmp / "b.lst"));
    list.Select(3);
    list.PlayPrev();
    EXPECT_EQ(list.Selection(), 0);
    EXPECT_EQ(host.played.back(), std::make_pair(7, std::string("first")));
}

TEST_F(PlaylistModel, ListenersHearLoadsAndSelectionMoves)
{
    std::vector<PlaylistChange> heard;
    const int id = list.AddListener([&](PlaylistChange c) { heard.push_back(c); });
    LoadWithWindow();
    list.Select(4);
    list.Select(4); // no move, no call
    list.RemoveListener(id);
    list.Select(1);
    EXPECT_EQ(heard, (std::vector<PlaylistChange>{PlaylistChange::Rows, PlaylistChange::Rows,
                                                  PlaylistChange::Selection}));
}

TEST_F(PlaylistModel, ChoosesThePresetByNameThenNumber)
{
    settings.Equalizer[2].Name = "Bass Boost";
    settings.Equalizer[6].Name = "bass boost";
    settings.Equalizer[9].Name = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"; // テスト
    const std::pair<const char*, int> cases[] = {
        {"%eqname\tBASS boost\n%equalizer\t12\n", 2}, // first match, case ignored
        {"%eqname\tNo such preset\n%equalizer\t12\n", 11},
        {"%eqname\t\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\n", 9},
        {"%eqname\tBass Boost!\n", 0},
    };
    for (auto [text, preset] : cases) {
        WriteFile(tmp / "eq.lst", text);
        list.Load(tmp / "eq.lst");
        EXPECT_EQ(list.ChoosePreset(settings), preset) << text;
    }
    list.Load(tmp / "missing.lst");
    EXPECT_EQ(list.ChoosePreset(settings), 0);
}

TEST(PlaylistPath, PrefersTheUtf8NameThenTheCp932Name)
{
    ScratchDir tmp;
    RomEntry entry{};
    entry.name = "\x83\x65\x83\x58\x83\x67";              // テスト in CP932
    entry.title = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"; // and in UTF-8
    const std::string utf8 = tmp / "LISTS/\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.lst";
    const std::string cp932 = tmp / "LISTS/\x83\x65\x83\x58\x83\x67.lst";
    EXPECT_EQ(PlaylistPathFor(tmp.dir.string(), entry), utf8); // neither exists: where a new one goes
    fs::create_directories(tmp.dir / "LISTS");
    WriteFile(cp932, "%start\n#1\tcp932\n");
    EXPECT_EQ(PlaylistPathFor(tmp.dir.string(), entry), cp932);
    WriteFile(utf8, "%start\n#1\tutf8\n");
    EXPECT_EQ(PlaylistPathFor(tmp.dir.string(), entry), utf8);
}

} // namespace
