// kelvara-render --identify, run as a separate program: one result line per
// file on standard output, the exact failure messages, and the exit status.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/RomForge.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;  // exit status, or -1 if it did not exit normally
    std::string out;
};

// Runs kelvara-render with `args`; standard error is discarded.
ToolRun RunTool(const std::vector<std::string>& args)
{
    ToolRun run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        FILE* devnull = freopen("/dev/null", "w", stderr);
        (void)devnull;
        std::vector<char*> argv;
        std::string tool = KELVARA_RENDER_PATH;
        argv.push_back(tool.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(126);
    }
    close(pipeFds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0)
        run.out.append(buf, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}

class IdentifyTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kelvara-tool-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = (m_dir / name).string();
        EXPECT_TRUE(WriteImageFile(path, bytes));
        return path;
    }
    fs::path m_dir;
};

}  // namespace

TEST_F(IdentifyTool, PrintsOneLinePerFileAndFailsIfAnyFileFails)
{
    std::string ym = Write("burning.bin", MakeForgedRom(0x6D933EB0, {}, 16384));
    std::string psg = Write("psg.bin", MakeForgedRom(FirstRomCrcForType(5)));
    std::string sn = Write("sn.bin", MakeForgedRom(FirstRomCrcForType(34)));
    std::string ymf = Write("ymf.bin", MakeForgedRom(FirstRomCrcForType(9)));
    std::string known = ym + ": crc=6D933EB0 type=32 chip=YM2413 title=バーニングハーツ２\n" + psg +
                        ": crc=7D5EF455 type=5 chip=PSG title=ビッグウィンクルＡ\n" + sn +
                        ": crc=DC8F00B5 type=34 chip=SN76496 title=バニーガール\n" + ymf +
                        ": crc=6B3FE722 type=9 chip=YMF281B title=イエティＫ\n";
    ToolRun good = RunTool({"--identify", ym, psg, sn, ymf});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, known);

    std::string empty = Write("empty.bin", {});
    std::string unknown = Write("unknown.bin", MakeForgedRom(0x00000001));
    std::string missing = (m_dir / "missing.bin").string();
    std::string dir = m_dir.string();
    ToolRun mixed = RunTool({"--identify", missing, ym, psg, sn, ymf, dir, empty, unknown});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, missing + ": File not found.\n" + known + dir + ": File not found.\n" + empty +
                             ": File size error.\n" + unknown + ": Unknown ROM image.\n");
}

TEST_F(IdentifyTool, RefusesMissingArgumentsAndShowsHelp)
{
    EXPECT_EQ(RunTool({"--identify"}).status, 2);
    EXPECT_EQ(RunTool({}).status, 2);
    ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--identify FILE..."), std::string::npos);
}
