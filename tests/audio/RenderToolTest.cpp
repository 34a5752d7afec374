// kelvara-render's rendering verbs as a user runs them, and the playlist
// reader behind --all.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ListFile.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = KELVARA_RENDER_PATH;
const std::string kOpll = std::string(KELVARA_SOURCE_DIR) + "/examples/roms/demo-opll-type40.bin";

struct ToolRun {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("kelvara-rendertool-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    ToolRun Exec(const std::string& args) {
        const std::string out = (m_dir / "stdout").string(), err = (m_dir / "stderr").string();
        const std::string cmd = "'" + kTool + "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
        const int raw = std::system(cmd.c_str());
        ToolRun r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Read(out);
        r.err = Read(err);
        return r;
    }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string P(const std::string& name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

uint32_t U32(const std::string& b, std::size_t at) {
    const auto u = [&](std::size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])); };
    return u(0) | (u(1) << 8) | (u(2) << 16) | (u(3) << 24);
}

TEST_F(RenderTool, WritesTheSameWavToAFileAndToStandardOutput) {
    const ToolRun file = Exec("--seconds 0.5 --rate 22050 -o '" + P("a.wav") + "' '" + kOpll + "' 1");
    ASSERT_EQ(file.status, 0) << file.err;
    const std::string wav = Read(P("a.wav"));
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(U32(wav, 24), 22050u);
    EXPECT_EQ(U32(wav, 40), wav.size() - 44);
    EXPECT_EQ((wav.size() - 44) / 4, 101u * 110);  // whole 110-frame blocks covering 0.5 s

    const ToolRun piped = Exec("--seconds 0.5 --rate 22050 -o - '" + kOpll + "' 1");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(piped.out == wav);

    const ToolRun eq = Exec("--seconds 0.5 --rate 22050 --eq 12,12,12,0,0,0,-12,-12,-12 -o '" + P("b.wav") + "' '" +
                        kOpll + "' 1");
    ASSERT_EQ(eq.status, 0) << eq.err;
    EXPECT_NE(Read(P("b.wav")), wav);
}

TEST_F(RenderTool, LogsVgmBesideTheWav) {
    const ToolRun r = Exec("--seconds 1 --vgm '" + P("a.vgm") + "' -o '" + P("a.wav") + "' '" + kOpll + "' 2");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string vgm = Read(P("a.vgm"));
    ASSERT_GT(vgm.size(), 0x100u);
    EXPECT_EQ(vgm.substr(0, 4), "Vgm ");
    EXPECT_EQ(U32(vgm, 0x04), vgm.size() - 4);
    const std::size_t gd3 = 0x14 + U32(vgm, 0x14);
    ASSERT_LT(gd3 + 12, vgm.size());
    EXPECT_EQ(vgm.substr(gd3, 4), "Gd3 ");
    // The track name is the code: "002" in UTF-16.
    EXPECT_EQ(vgm.substr(gd3 + 12, 8), std::string("0\0" "0\0" "2\0" "\0\0", 8));
}

TEST_F(RenderTool, ReportsErrorsWithAStatus) {
    ToolRun r = Exec("-o '" + P("x.wav") + "' '" + P("missing.bin") + "' 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kelvara-render: File not found."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(P("x.wav")));

    std::ofstream(P("junk.bin"), std::ios::binary) << std::string(8192, '\x5A');
    r = Exec("-o '" + P("x.wav") + "' '" + P("junk.bin") + "' 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kelvara-render: Unknown ROM image."), std::string::npos) << r.err;

    for (const char* bad : {"-o x.wav ROM 256", "-o x.wav ROM", "ROM 1", "--volume 31 -o x.wav ROM 1",
                            "--eq 1,2,3 -o x.wav ROM 1", "--rate 100 -o x.wav ROM 1", "--bogus 1 -o x.wav ROM 1",
                            "--all --vgm v.vgm -o d ROM"}) {
        r = Exec(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("kelvara-render: "), std::string::npos) << bad;
    }
}

TEST_F(RenderTool, RendersEveryPlayableRowOfAList) {
    std::ofstream(P("demo.lst"), std::ios::binary) << "; test list\n%volgain\t100\n%start\nTunes\n"
                                                      "#1\tReel Walk\t0.3\n#$03\tReel stop [SE]\t0.2\n"
                                                      "#1\tagain\t9\n%end\n#2\toutside\t1\n";
    const ToolRun r = Exec("--all --list '" + P("demo.lst") + "' -o '" + P("out") + "' '" + kOpll + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(P("out"))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"001.wav", "003.wav"}));
    const std::string one = Read(P("out") + "/001.wav");
    EXPECT_EQ((one.size() - 44) / 4, 61u * 220);  // 0.3 s in 220-frame blocks
    EXPECT_EQ((Read(P("out") + "/003.wav").size() - 44) / 4, 41u * 220);

    // Each row is what the single-code form writes for the same time.
    ASSERT_EQ(Exec("--seconds 0.3 -o '" + P("single.wav") + "' '" + kOpll + "' 1").status, 0);
    EXPECT_TRUE(Read(P("single.wav")) == one);
}

TEST(ListFile, ReadsRowsDirectivesAndFieldRules) {
    const fs::path path = fs::temp_directory_path() / ("kelvara-list-" + std::to_string(::getpid()) + ".lst");
    // CP932 names, CRLF line ends, runs of TABs, a region that ends and a
    // second one that starts again.
    std::ofstream(path, std::ios::binary)
        << "; comment\r\n%VOLGAIN\t20\r\n%start\r\n\x83\x65\x83\x58\x83\x67\r\n"
           "#12\t\tBonus fanfare\t1:30\r\n#$1F\tReel stop [SE]\t0.5\r\n\r\n#\r\n%end\r\n#7\tignored\r\n"
           "%startagain\r\n#$ff\tlast\t1:2.3\r\n";
    ListFile list;
    ASSERT_TRUE(ReadListFile(path.string(), list));
    fs::remove(path);
    EXPECT_EQ(list.volumeGain, 50);  // clamped
    ASSERT_EQ(list.rows.size(), 6u);
    EXPECT_EQ(list.rows[0].code, -1);
    EXPECT_EQ(list.rows[0].name, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
    EXPECT_EQ(list.rows[1].code, 12);
    EXPECT_EQ(list.rows[1].name, "Bonus fanfare");
    EXPECT_EQ(list.rows[1].playTime, 900);
    EXPECT_EQ(list.rows[2].code, 31);
    EXPECT_EQ(list.rows[2].playTime, 5);
    EXPECT_EQ(list.rows[3].code, -1);  // empty line: empty caption
    EXPECT_EQ(list.rows[3].name, "");
    EXPECT_EQ(list.rows[4].code, 0);   // "#" alone
    EXPECT_EQ(list.rows[5].code, 255);
    EXPECT_EQ(list.rows[5].playTime, 623);

    EXPECT_EQ(ParseListCode("#12abc"), 12);
    EXPECT_EQ(ParseListCode("#-3"), -3);
    EXPECT_EQ(ParseListTime("1:00"), 600);
    EXPECT_EQ(ParseListTime("75"), 750);
    EXPECT_EQ(ParseListTime("0.5"), 5);
    EXPECT_EQ(ParseListTime("2.25"), 45);
    EXPECT_EQ(ParseListTime("1:05.5"), 655);
    EXPECT_FALSE(ReadListFile("/nonexistent/list.lst", list));
}

}  // namespace
