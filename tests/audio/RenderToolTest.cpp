// kelvara-render's rendering verbs as a user runs them, and the playlist
// reader behind --all.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "ListFile.h"

namespace {

using namespace testfiles;

const std::string kTool = KELVARA_RENDER_PATH;
// The OPLL demo as a quoted command-line argument.
const std::string kOpllArg = "'" + std::string(KELVARA_SOURCE_DIR) + "/examples/roms/demo-opll-type40.bin'";

class RenderTool : public ::testing::Test {
protected:
    struct Run { int status; std::string out, err; };
    Run Exec(const std::string& args) {
        const std::string out = m_tmp / "stdout", err = m_tmp / "stderr";
        const int raw = std::system(("'" + kTool + "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null").c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
    }
    std::string P(const std::string& name) const { return std::string(1, '\'').append(m_tmp / name).append(1, '\''); }
    std::string Read(const std::string& name) const { return ReadText(m_tmp / name); }

    ScratchDir m_tmp;
};

TEST_F(RenderTool, WritesTheSameWavToAFileAndToStandardOutputWithAVgmBeside) {
    const Run file = Exec("--seconds 0.5 --rate 22050 --vgm " + P("a.vgm") + " -o " + P("a.wav") + " " + kOpllArg + " 1");
    ASSERT_EQ(file.status, 0) << file.err;
    const std::string wav = Read("a.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(wav, 24), 22050u);
    EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
    EXPECT_EQ((wav.size() - 44) / 4, 101u * 110);  // whole 110-frame blocks covering 0.5 s

    const Run piped = Exec("--seconds 0.5 --rate 22050 -o - " + kOpllArg + " 1");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(piped.out == wav);

    const Run eq = Exec("--seconds 0.5 --rate 22050 --eq 12,12,12,0,0,0,-12,-12,-12 -o " + P("b.wav") + " " + kOpllArg + " 1");
    ASSERT_EQ(eq.status, 0) << eq.err;
    EXPECT_NE(Read("b.wav"), wav);

    // The VGM log beside it is named after the code: track "001" in UTF-16.
    const std::string vgm = Read("a.vgm");
    ASSERT_GT(vgm.size(), 0x100u);
    EXPECT_EQ(vgm.substr(0, 4), "Vgm ");
    EXPECT_EQ(vgm.substr(0x20 + Le32(vgm, 0x14), 8), std::string("0\0" "0\0" "1\0" "\0\0", 8));
}

TEST_F(RenderTool, ReportsErrorsWithAStatus) {
    Run r = Exec("-o " + P("x.wav") + " " + P("missing.bin") + " 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kelvara-render: File not found."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(m_tmp / "x.wav"));

    std::ofstream(m_tmp / "junk.bin", std::ios::binary) << std::string(8192, '\x5A');
    r = Exec("-o " + P("x.wav") + " " + P("junk.bin") + " 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kelvara-render: Unknown ROM image."), std::string::npos) << r.err;

    for (const char* bad : {"-o x.wav ROM 256", "-o x.wav ROM 0x100", "-o x.wav ROM '$'", "-o x.wav ROM 5-2",
                            "-o x.wav ROM -1", "-o - ROM 1-2", "-o x.wav ROM", "ROM 1", "--volume 31 -o x.wav ROM 1",
                            "--eq 1,2,3 -o x.wav ROM 1", "--rate 100 -o x.wav ROM 1", "--bogus 1 -o x.wav ROM 1",
                            "--all --vgm v.vgm -o d ROM"}) {
        r = Exec(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("kelvara-render: "), std::string::npos) << bad;
    }
}

TEST_F(RenderTool, RendersEveryPlayableRowOfAList) {
    std::ofstream(m_tmp / "demo.lst", std::ios::binary)
        << "; test list\n%volgain\t100\n%start\nTunes\n#1\tReel Walk\t0.3\n#$03\tReel: stop/end? [SE].\t0.2\n"
           "#1\tagain\t9\n%end\n#2\toutside\t1\n";
    const Run r = Exec("--all --list " + P("demo.lst") + " -o " + P("out") + " " + kOpllArg);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_tmp.dir / "out")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    // Named "NNN <row name>.wav", the name made safe for a file system.
    EXPECT_EQ(names, (std::vector<std::string>{"001 Reel Walk.wav", "003 Reel_ stop_end_ [SE].wav"}));
    const std::string one = Read("out/001 Reel Walk.wav");
    EXPECT_EQ((one.size() - 44) / 4, 61u * 220);  // 0.3 s in 220-frame blocks
    EXPECT_EQ((Read("out/003 Reel_ stop_end_ [SE].wav").size() - 44) / 4, 41u * 220);

    // Each row is what the single-code form writes for the same time,
    // however the code is written; a range writes one file per code.
    for (const char* code : {"1", "0x01", "'$01'"}) {
        ASSERT_EQ(Exec("--seconds 0.3 -o " + P("single.wav") + " " + kOpllArg + " " + code).status, 0) << code;
        EXPECT_TRUE(Read("single.wav") == one) << code;
    }
    const Run range = Exec("--seconds 0.3 -o " + P("r.wav") + " " + kOpllArg + " 0x01-2");
    ASSERT_EQ(range.status, 0) << range.err;
    EXPECT_TRUE(Read("r-001.wav") == one);
    EXPECT_GT(Read("r-002.wav").size(), 44u);
    EXPECT_FALSE(fs::exists(m_tmp / "r.wav"));
}

TEST_F(RenderTool, QuietUnlessVerboseAndHelpListsDefaultsAndExitCodes) {
    // Without -v nothing but real errors and warnings reaches stderr.
    Run r = Exec("--seconds 0.1 -o " + P("q.wav") + " " + kOpllArg + " 1");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    r = Exec("--seconds 0.1 -v -o " + P("q.wav") + " " + kOpllArg + " 1");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Allocating OPLL"), std::string::npos) << r.err;

    r = Exec("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--rate", "--seconds", "--gain", "--volume", "--eq", "--vgm", "--list", "--verbose",
                               "--all", "--identify", "--play", "default 44100", "Exit status"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

// The field rules are the player's playlist reader's (tested with it); this
// checks what the tool takes over from it.
TEST(ListFile, TakesRowsAndGainFromThePlaylistReader) {
    ScratchDir tmp;
    std::ofstream(tmp.dir / "a.lst", std::ios::binary) << "%VOLGAIN\t20\r\n%start\r\nTunes\r\n#$1F\tReel stop [SE]\t1:2.3\r\n";
    ListFile list;
    ASSERT_TRUE(ReadListFile(tmp / "a.lst", list));
    EXPECT_EQ(list.volumeGain, 50);  // clamped
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0].code, -1);
    EXPECT_EQ(list.rows[1].code, 31);
    EXPECT_EQ(list.rows[1].name, "Reel stop [SE]");
    EXPECT_EQ(list.rows[1].playTime, 623);
    std::ofstream(tmp.dir / "empty.lst", std::ios::binary) << "%volgain\t200\n#1\toutside\n";
    EXPECT_FALSE(ReadListFile(tmp / "empty.lst", list));
    EXPECT_FALSE(ReadListFile("/nonexistent/list.lst", list));
}

}  // namespace
