// Editing a playlist and saving it: what the reader reads back, the lines
// kept in place, the encoding, and saves that must not damage anything.
#include <gtest/gtest.h>

#include <algorithm>

#include "PlaylistTestFiles.h"
#include "app/TextEncoding.h"
#include "player/Playlist.h"

namespace
{


const std::string kTeSuTo = "\x83\x65\x83\x58\x83\x67"; // テスト in CP932

// A CP932 file with every kind of line.
std::string Cp932List()
{
    return "; " + kTeSuTo +
           " list\r\n%volgain\t150\r\n%EQNAME\tRock\r\n%equalizer\t3\r\nstray line\r\n"
           "%start\r\n" +
           kTeSuTo + "\r\n#$1F\t\t" + kTeSuTo +
           "\t1:30\r\n; inside\r\n#2\tbell [SE]\t0.5\r\n"
           "\r\n#3\tthree\t75\textra\r\n%end\r\n; tail\r\n";
}

class PlaylistSave : public ::testing::Test
{
  protected:
    void SetUp() override { list.SetWindowCreated(true); }
    std::string Path() const { return tmp / "LISTS/list.lst"; }
    ScratchDir tmp;
    CPlaylist list;
};

TEST_F(PlaylistSave, UnchangedListIsKeptByteForByteAndEditsReadBackKeepingOtherLines)
{
    fs::create_directories(tmp.dir / "LISTS");
    WriteFile(Path(), Cp932List());
    ASSERT_TRUE(list.Load(Path()));
    ASSERT_TRUE(list.Save().ok);
    EXPECT_EQ(ReadText(Path()), Cp932List());
    ASSERT_EQ(list.Entries().size(), 5u);

    ASSERT_TRUE(list.RenameRow(1, "\xE6\x96\xB0 fanfare")); // 新: fits CP932
    ASSERT_TRUE(list.SetRowTime(1, 623));
    ASSERT_TRUE(list.ToggleSE(2));    // removes the mark
    ASSERT_TRUE(list.ToggleSE(4));    // adds it
    ASSERT_TRUE(list.MoveRow(4, -1)); // "three" above the empty caption
    ASSERT_TRUE(list.DeleteRow(0));
    EXPECT_EQ(list.InsertRow(0, {9, 0, "new [SE]", 45}), 1);
    EXPECT_EQ(list.InsertRow(4, {-1, 0, "#not a code", 0}), 5);
    EXPECT_TRUE(list.IsModified());
    const std::vector<PlaylistEntry> edited = list.Entries();
    ASSERT_EQ(edited[1], (PlaylistEntry{9, 1, "new [SE]", 45}));
    ASSERT_EQ(edited[2].name, "bell");

    ASSERT_TRUE(list.Save().ok);
    EXPECT_FALSE(list.IsModified());
    const std::string bytes = ReadText(Path());
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF"); // still CP932, no mark
    EXPECT_NE(bytes.find("\x90\x56 fanfare"), std::string::npos);
    EXPECT_NE(bytes.find("#$1F\t"), std::string::npos); // unchanged code text kept

    CPlaylist again;
    ASSERT_TRUE(again.Load(Path()));
    EXPECT_EQ(again.Entries(), edited);
    EXPECT_EQ(again.VolumeGain(), 150);
    EXPECT_EQ(again.EqPresetName(), "Rock");
    EXPECT_EQ(again.EqPresetIndex(), 2);

    // Comments, directives and stray lines stay in order, where they were.
    const std::string text = Cp932ToUtf8(bytes);
    std::size_t at = 0;
    for (const char* line :
         {"list\r\n%volgain\t150\r\n%EQNAME\tRock\r\n%equalizer\t3\r\nstray line\r\n%start\r\n",
          "; inside\r\n", "%end\r\n; tail\r\n"}) {
        const std::size_t found = text.find(line, at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found;
    }
}

TEST_F(PlaylistSave, NewListForARomWithoutOne)
{
    EXPECT_FALSE(list.Load(Path())); // LISTS/ does not even exist
    list.InsertRow(list.Selection(), {12, 0, "\xE3\x83\x86 first", 300});
    list.InsertRow(0, {13, 0, "", 0});
    list.InsertRow(1, {14, 0, "", 15}); // an empty name before a time
    ASSERT_TRUE(list.Save().ok);
    EXPECT_EQ(ReadText(Path()).substr(0, 3), "\xEF\xBB\xBF");

    CPlaylist again;
    ASSERT_TRUE(again.Load(Path()));
    ASSERT_EQ(again.Entries().size(), 3u);
    EXPECT_EQ(again.Entries()[0], (PlaylistEntry{12, 0, "\xE3\x83\x86 first", 300}));
    EXPECT_EQ(again.Entries()[2].code, 14);
    EXPECT_EQ(again.Entries()[2].playTime, 15);
}

TEST_F(PlaylistSave, RowsThatNeedQuotingRoundTrip)
{
    WriteFile(tmp / "q.lst", "%start\n%end\n");
    list.Load(tmp / "q.lst");
    const std::vector<PlaylistEntry> rows = {
        {-1, 0, ";looks like a comment", 0}, {-1, 0, "#looks like a row", 0}, {-1, 0, "%end", 0},
        {-1, 0, "", 0}, {5, 0, "tab\tinside", 0}, {6, 0, "line\nbreak", 9}, {0, 0, "zero", 6005},
    };
    for (const PlaylistEntry& e : rows)
        list.InsertRow(int(list.Entries().size()) - 1, e);
    ASSERT_TRUE(list.Save().ok);
    CPlaylist again;
    ASSERT_TRUE(again.Load(tmp / "q.lst"));
    ASSERT_EQ(again.Entries().size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        PlaylistEntry want = rows[i];
        std::replace_if(want.name.begin(), want.name.end(), [](char c) { return c == '\t' || c == '\n'; }, ' ');
        EXPECT_EQ(again.Entries()[i], want) << i;
    }
}

TEST_F(PlaylistSave, Cp932FileWithATextCp932CannotHoldIsSavedAsUtf8)
{
    WriteFile(tmp / "s.lst", "%start\r\n#1\t" + kTeSuTo + "\r\n");
    list.Load(tmp / "s.lst");
    list.RenameRow(0, "emoji \xF0\x9F\x8E\xB0");
    const PlaylistSaveResult r = list.Save();
    ASSERT_TRUE(r.ok);
    EXPECT_NE(r.message.find("UTF-8"), std::string::npos); // and says so
    CPlaylist again;
    ASSERT_TRUE(again.Load(tmp / "s.lst"));
    EXPECT_EQ(again.Entries()[0].name, "emoji \xF0\x9F\x8E\xB0");
}

TEST_F(PlaylistSave, FailedSaveKeepsTheOldFileAndSaysWhy)
{
    // No path yet: nothing to save to.
    EXPECT_FALSE(list.Save().ok);

    // The folder cannot be created (a file stands where it should be).
    WriteFile(tmp / "LISTS", "not a folder");
    list.Load(Path());
    list.InsertRow(-1, {1, 0, "x", 0});
    PlaylistSaveResult r = list.Save();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("LISTS"), std::string::npos);
    EXPECT_EQ(ReadText(tmp / "LISTS"), "not a folder");

    // The target is a folder: the rename fails, the temporary file is gone.
    fs::create_directories(tmp.dir / "dir.lst");
    WriteFile(tmp / "dir.lst/keep", "k");
    list.Load(tmp / "dir.lst");
    list.InsertRow(-1, {1, 0, "x", 0});
    r = list.Save();
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(ReadText(tmp / "dir.lst/keep"), "k");
    // LISTS and dir.lst, no temporary left over.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.dir), fs::directory_iterator()), 2);
}

TEST_F(PlaylistSave, UnsavedEditsSurviveLoadingAnotherList)
{
    WriteFile(tmp / "a.lst", "%start\n#1\ta\n");
    WriteFile(tmp / "b.lst", "%start\n#2\tb\n");
    list.Load(tmp / "a.lst");
    list.RenameRow(0, "edited");
    list.Load(tmp / "b.lst");
    EXPECT_FALSE(list.IsModified());
    EXPECT_EQ(list.Entries()[0].name, "b");
    list.Load(tmp / "a.lst");
    EXPECT_TRUE(list.IsModified());
    EXPECT_EQ(list.Entries()[0].name, "edited");
    EXPECT_EQ(ReadText(tmp / "a.lst"), "%start\n#1\ta\n"); // nothing written behind the user's back
    ASSERT_TRUE(list.Save().ok);
    list.Load(tmp / "b.lst");
    list.Load(tmp / "a.lst"); // saved: read from the file again
    EXPECT_FALSE(list.IsModified());
    EXPECT_EQ(list.Entries()[0].name, "edited");
}

TEST_F(PlaylistSave, EditsKeepTheSelectionOnTheirRow)
{
    WriteFile(tmp / "e.lst", "%start\n#1\ta\n#2\tb\n#3\tc\n");
    list.Load(tmp / "e.lst");
    list.Select(0);
    list.MoveRow(0, 1);
    EXPECT_EQ(list.Selection(), 1);
    list.MoveRow(2, -1); // onto the selected row's place: the selection moves down with "a"
    EXPECT_EQ(list.Selection(), 2);
    EXPECT_FALSE(list.MoveRow(2, 1)); // already last
    list.DeleteRow(2);
    EXPECT_EQ(list.Selection(), 1);
    EXPECT_FALSE(list.SetRowTime(5, 10));
    EXPECT_FALSE(list.ToggleSE(-1));
    EXPECT_EQ(list.Entries().size(), 2u);
    EXPECT_EQ(list.Entries()[1].code, 3);
}

} // namespace
