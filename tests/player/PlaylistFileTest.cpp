// Playlist file reader: line classes, field rules, encodings and damaged
// or oversized files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <vector>

#include "PlaylistTestFiles.h"
#include "app/TextEncoding.h"
#include "player/Playlist.h"
#include "player/PlaylistFile.h"

namespace
{

using Rows = std::vector<PlaylistEntry>;

struct ReadCase {
    const char* what;
    std::string text;
    Rows rows;
    int32_t gain = 100;
    int32_t eqIndex = 0;
    std::string eqName = {};
};

TEST(PlaylistFileReader, ReadsTheTable)
{
    const ReadCase cases[] = {
        {"the example list",
         "; comment\n%volgain\t150\n%eqname\tBass boost\n%start\nBig bonus\n#12\tBonus fanfare\t1:30\n"
         "#$1F\tReel stop [SE]\t0.5\n%end\n",
         {{-1, 0, "Big bonus", 0}, {12, 0, "Bonus fanfare", 900}, {31, 1, "Reel stop [SE]", 5}},
         150, 0, "Bass boost"},
        {"no %start: rows ignored, directives apply", "%volgain\t200\n%equalizer\t4\n#1\tone\t0:10\n", {}, 200, 3},
        {"empty line and comment inside the region", "%start\n\n;note\n#1\n%end\n",
         {{-1, 0, "", 0}, {1, 0, "", 0}}},
        {"code fields without range check",
         "%start\n#$ff\ta\n#12abc\tb\n#\tc\n#-3\td\n#300\te\n#$FFFFFFFF\tf\n#$zz\tg\n#+7\th\n#$1a2B\ti\n",
         {{255, 0, "a", 0}, {12, 0, "b", 0}, {0, 0, "c", 0}, {-3, 0, "d", 0}, {300, 0, "e", 0},
          {-1, 0, "f", 0}, {0, 0, "g", 0}, {7, 0, "h", 0}, {0x1A2B, 0, "i", 0}}},
        {"SE mark is case-sensitive, anywhere in the name", "%start\n#1\tbell [se]\n#2\tx[SE]y\n#3\t[Se]\n",
         {{1, 0, "bell [se]", 0}, {2, 1, "x[SE]y", 0}, {3, 0, "[Se]", 0}}},
        {"directive values after a space change nothing", "%volgain 150\n%equalizer 3\n%eqname Rock\n", {}},
        {"gain and preset clamps", "%volgain\t20\n%equalizer\t0\n", {}, 50, 0},
        {"upper clamps and a later directive wins",
         "%volgain\t300\n%volgain\t5000\n%equalizer\t3\n%EQUALIZER\t17\n", {}, 1000, 15},
        {"a gain without digits reads 0, clamped", "%volgain\tloud\n", {}, 50},
        {"time field forms",
         "%start\n#1\ta\t1:00\n#2\tb\t75\n#3\tc\t0.5\n#4\td\t1:2.3\n#5\te\t1:05.5\n#6\tf\t2.25\n#7\tg\t2.5\n"
         "#8\th\tsoon\n#9\ti\t1:\n",
         {{1, 0, "a", 600}, {2, 0, "b", 750}, {3, 0, "c", 5}, {4, 0, "d", 623}, {5, 0, "e", 655},
          {6, 0, "f", 45}, {7, 0, "g", 25}, {8, 0, "h", 0}, {9, 0, "i", 600}}},
        {"directives are prefixes, regions repeat, outside rows ignored",
         "#9\tbefore\n%STARTING\n#1\tin\n%ending\n#2\tout\nlost caption\n%Start\n#3\tagain\n",
         {{1, 0, "in", 0}, {3, 0, "again", 0}}},
        {"runs of TABs, spaces in names, fields past the third",
         "%start\n#5\t\t\tname with  spaces\t\t0:03\textra\n\t\tCaption\there\n",
         {{5, 0, "name with  spaces", 30}, {-1, 0, "Caption", 0}}},
        {"lines are classified by their first character",
         "%start\n\t#7\tnot a row\n ;not a comment\n\t%end\n#8\tstill in\n",
         {{-1, 0, "#7", 0}, {-1, 0, " ;not a comment", 0}, {-1, 0, "%end", 0}, {8, 0, "still in", 0}}},
        {"CR LF, a last line without line end, a lone CR kept", "%start\r\n#1\tone\r\n#2\ttwo\rmore\r\n#3\tthree",
         {{1, 0, "one", 0}, {2, 0, "two\rmore", 0}, {3, 0, "three", 0}}},
        {"eqname takes the whole second field", "%eqname\t\tMy Preset 2\tignored\n", {}, 100, 0, "My Preset 2"},
        {"a line of 300 characters is one row, not pieces of 259",
         "%start\n#1\t" + std::string(300, 'n') + "\t0:02\n#2\tnext\n",
         {{1, 0, std::string(300, 'n'), 20}, {2, 0, "next", 0}}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        const PlaylistFileData data = ParsePlaylistText(c.text);
        EXPECT_EQ(data.entries, c.rows);
        EXPECT_EQ(data.volumeGain, c.gain);
        EXPECT_EQ(data.eqPresetIndex, c.eqIndex);
        EXPECT_EQ(data.eqPresetName, c.eqName);
        EXPECT_FALSE(data.truncated);
    }
}

TEST(PlaylistFileReader, LoadResultOfFilesWithoutRowsMissingFilesAndNonFiles)
{
    ScratchDir tmp;
    WriteFile(tmp / "norows.lst", "%volgain\t250\n%eqname\tJazz\n#1\tx\t0:05\n");
    CPlaylist list;
    EXPECT_FALSE(list.Load(tmp / "norows.lst"));
    EXPECT_EQ(list.VolumeGain(), 250);
    EXPECT_EQ(list.EqPresetName(), "Jazz");

    WriteFile(tmp / "caption.lst", "%start\n\n");
    EXPECT_TRUE(list.Load(tmp / "caption.lst")); // one empty caption is a row

    // A missing file empties everything again, directives included.
    EXPECT_FALSE(list.Load(tmp / "missing.lst"));
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_EQ(list.VolumeGain(), 100);
    EXPECT_EQ(list.EqPresetName(), "");

    // A FIFO returns at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo((tmp / "fifo.lst").c_str(), 0600), 0);
    fs::create_directories(tmp.dir / "dir.lst");
    EXPECT_FALSE(list.Load(tmp / "fifo.lst"));
    EXPECT_FALSE(list.Load(tmp / "dir.lst"));
}

TEST(PlaylistFileReader, EncodingCp932OrUtf8IsDecidedOnTheWholeFile)
{
    ScratchDir tmp;
    // "テスト" in CP932 and in UTF-8.
    const std::string cp932 = "\x83\x65\x83\x58\x83\x67";
    const std::string utf8 = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";
    WriteFile(tmp / "sjis.lst", "%start\r\n" + cp932 + "\r\n#1\t" + cp932 + " [SE]\t1\r\n");
    PlaylistFileData data;
    ASSERT_TRUE(ReadPlaylistFile(tmp / "sjis.lst", data));
    EXPECT_EQ(data.encoding, PlaylistEncoding::Cp932);
    EXPECT_TRUE(data.crlf);
    EXPECT_EQ(data.entries, (Rows{{-1, 0, utf8, 0}, {1, 1, utf8 + " [SE]", 10}}));

    // One invalid byte anywhere, even past the first 64 KiB piece, makes the file CP932.
    std::string late = "%start\n#3\t" + utf8 + "\n;";
    late.append(70000, 'x').append("\n;\x83\x65\n");
    WriteFile(tmp / "late.lst", late);
    ASSERT_TRUE(ReadPlaylistFile(tmp / "late.lst", data));
    EXPECT_EQ(data.encoding, PlaylistEncoding::Cp932);
    ASSERT_EQ(data.entries.size(), 1u);
    EXPECT_NE(data.entries[0].name, utf8); // read as CP932 bytes, as the file says

    // A UTF-8 character split by the 64 KiB piece boundary is still valid.
    WriteFile(tmp / "split.lst", "%start\n;" + std::string(65536 - 9, 'y') + utf8 + "\n#4\t" + utf8 + "\n");
    ASSERT_TRUE(ReadPlaylistFile(tmp / "split.lst", data));
    EXPECT_EQ(data.encoding, PlaylistEncoding::Utf8);
    EXPECT_EQ(data.entries, (Rows{{4, 0, utf8, 0}}));
}

TEST(PlaylistFileBadInput, BinaryFileReadsUpToTheDamage)
{
    ScratchDir tmp;
    std::mt19937 rng(1234);
    using namespace std::string_literals;
    std::string bytes = "%start\n#1\tgood\t0:03\n#2\tline with a \0 NUL\n#5\tx\0y\n"s;
    for (int i = 0; i < 200000; ++i)
        bytes.push_back(char(rng()));
    WriteFile(tmp / "bin.lst", bytes);
    PlaylistFileData data;
    ASSERT_TRUE(ReadPlaylistFile(tmp / "bin.lst", data));
    ASSERT_GE(data.entries.size(), 3u);
    EXPECT_EQ(data.entries[0], (PlaylistEntry{1, 0, "good", 30}));
    EXPECT_EQ(data.entries[1].name, "line with a "); // a NUL ends the line
    EXPECT_EQ(data.entries[2], (PlaylistEntry{5, 0, "x", 0}));
    for (const PlaylistEntry& e : data.entries)
        EXPECT_EQ(e.name.find('\0'), std::string::npos);
}

TEST(PlaylistFileBadInput, FiftyMegabyteFileStopsAtTheRowLimit)
{
    ScratchDir tmp;
    {
        std::ofstream out(tmp / "big.lst", std::ios::binary);
        out << "%volgain\t300\n%start\n";
        const std::string row = "#1\ta row that repeats itself for a long time\t1:00\n";
        for (std::size_t written = 0; written < 50u * 1024 * 1024; written += row.size())
            out << row;
    }
    CPlaylist list;
    EXPECT_TRUE(list.Load(tmp / "big.lst"));
    EXPECT_EQ(list.Entries().size(), kPlaylistMaxRows);
    EXPECT_EQ(list.VolumeGain(), 300);
    EXPECT_EQ(list.Entries().back(), (PlaylistEntry{1, 0, "a row that repeats itself for a long time", 600}));
    // Saving what was read would drop the rest of the file: refused.
    const PlaylistSaveResult saved = list.Save();
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.message.empty());
    EXPECT_GT(fs::file_size(tmp / "big.lst"), 50u * 1024 * 1024);
}

TEST(PlaylistFileBadInput, OneMegabyteLineIsCutNotSplit)
{
    ScratchDir tmp;
    WriteFile(tmp / "line.lst", "%start\n#1\t" + std::string(1024 * 1024, 'z') + "\t0:05\n#2\tafter\n");
    PlaylistFileData data;
    ASSERT_TRUE(ReadPlaylistFile(tmp / "line.lst", data));
    ASSERT_EQ(data.entries.size(), 2u);
    EXPECT_EQ(data.entries[0].code, 1);
    EXPECT_LE(data.entries[0].name.size(), kPlaylistMaxLineBytes);
    EXPECT_GT(data.entries[0].name.size(), 60000u);
    EXPECT_EQ(data.entries[1], (PlaylistEntry{2, 0, "after", 0}));
    EXPECT_TRUE(data.truncated);

    // A long UTF-8 line cut inside a character loses only that character.
    std::string wide;
    while (wide.size() < kPlaylistMaxLineBytes + 10)
        wide += "\xE3\x83\x86";
    data = ParsePlaylistText("%start\n#1\t" + wide + "\n");
    ASSERT_EQ(data.entries.size(), 1u);
    EXPECT_EQ(data.encoding, PlaylistEncoding::Utf8);
    EXPECT_EQ(data.entries[0].name.size() % 3, 0u);
}

TEST(PlaylistFileBadInput, InvalidCp932BytesKeepTheRowsAround)
{
    // A lead byte with a bad trail byte, a lone lead byte at a line end, an unassigned lead byte.
    const PlaylistFileData data = ParsePlaylistText(
        "%start\n#1\tok\n#2\tbad\x81\x20pair\t0:04\n#3\tend\x82\n#4\t\xA0\xFD\xFF\n#5\tlast\n");
    EXPECT_EQ(data.encoding, PlaylistEncoding::Cp932);
    ASSERT_EQ(data.entries.size(), 5u);
    EXPECT_EQ(data.entries[0].name, "ok");
    EXPECT_EQ(data.entries[1].playTime, 40);
    EXPECT_EQ(data.entries[1].name.substr(0, 3), "bad");
    EXPECT_NE(data.entries[1].name.find("pair"), std::string::npos);
    EXPECT_EQ(data.entries[4].name, "last");
    for (const PlaylistEntry& e : data.entries)
        EXPECT_TRUE(IsValidUtf8(e.name)) << e.code;
}

} // namespace
