// CWaveRec files read back from disk, the 4 GiB limit (scaled down), and
// the recording file name rule.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "audio/WaveFileName.h"
#include "audio/WaveRec.h"
#include "support/LogCapture.h"

namespace fs = std::filesystem;

namespace {

struct WavFile {
    std::vector<uint8_t> bytes;
    uint32_t U32(std::size_t at) const {
        return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
    }
    uint16_t U16(std::size_t at) const { return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)); }
    std::string Id(std::size_t at) const { return std::string(bytes.begin() + at, bytes.begin() + at + 4); }
};

class WaveRecFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("kelvara-wav-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }
    static WavFile Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        WavFile f;
        f.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return f;
    }
    fs::path m_dir;
};

TEST_F(WaveRecFiles, HeaderDescribesTheDataAfterClose) {
    const std::string path = PathOf("take.wav");
    std::vector<int16_t> frames(2 * 441);
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<int16_t>(i * 37 - 9000);
    {
        CWaveRec rec;
        ASSERT_TRUE(rec.Open(path, 44100, 16, true));
        EXPECT_TRUE(rec.IsOpen());
        // While open the sizes in the file are zero.
        EXPECT_EQ(rec.HeaderImage().dataSize, 0u);
        rec.Write(frames.data(), frames.size() * 2);
        rec.Write(frames.data(), 8);
        rec.Close();
        EXPECT_FALSE(rec.IsOpen());
        rec.Write(frames.data(), 8);  // closed: ignored
    }
    const WavFile f = Read(path);
    const uint32_t data = 441 * 4 + 8;
    ASSERT_EQ(f.bytes.size(), 44 + data);
    EXPECT_EQ(f.Id(0), "RIFF");
    EXPECT_EQ(f.U32(4), 36 + data);
    EXPECT_EQ(f.Id(8), "WAVE");
    EXPECT_EQ(f.Id(12), "fmt ");
    EXPECT_EQ(f.U32(16), 16u);
    EXPECT_EQ(f.U16(20), 1);       // PCM
    EXPECT_EQ(f.U16(22), 2);       // stereo
    EXPECT_EQ(f.U32(24), 44100u);
    EXPECT_EQ(f.U32(28), 176400u); // byte rate
    EXPECT_EQ(f.U16(32), 4);       // block align
    EXPECT_EQ(f.U16(34), 16);
    EXPECT_EQ(f.Id(36), "data");
    EXPECT_EQ(f.U32(40), data);
    EXPECT_EQ(std::memcmp(f.bytes.data() + 44, frames.data(), frames.size() * 2), 0);
}

TEST_F(WaveRecFiles, NothingWrittenLeavesA44ByteFile) {
    const std::string path = PathOf("empty.wav");
    {
        CWaveRec rec;
        ASSERT_TRUE(rec.Open(path, 22050, 8, false));
        // The destructor closes the file.
    }
    const WavFile f = Read(path);
    ASSERT_EQ(f.bytes.size(), 44u);
    EXPECT_EQ(f.U32(4), 36u);
    EXPECT_EQ(f.U32(40), 0u);
    EXPECT_EQ(f.U16(22), 1);
    EXPECT_EQ(f.U16(32), 1);
    EXPECT_EQ(f.U32(28), 22050u);
    EXPECT_EQ(f.U16(34), 8);
}

TEST_F(WaveRecFiles, OpeningAgainFinishesTheFirstFileAndReplacesOldRecordings) {
    const std::string first = PathOf("first.wav");
    const std::string second = PathOf("second.wav");
    CWaveRec rec;
    ASSERT_TRUE(rec.Open(first, 44100, 16, true));
    const int16_t frame[2] = {1, 2};
    rec.Write(frame, 4);
    ASSERT_TRUE(rec.Open(second, 48000, 16, true));
    rec.Close();
    EXPECT_EQ(Read(first).U32(40), 4u);
    EXPECT_EQ(Read(first).bytes.size(), 48u);
    EXPECT_EQ(Read(second).U32(24), 48000u);

    // Same name again: the earlier recording is replaced.
    ASSERT_TRUE(rec.Open(first, 44100, 16, true));
    rec.Close();
    EXPECT_EQ(Read(first).bytes.size(), 44u);
}

TEST_F(WaveRecFiles, UncreatableFileLeavesTheRecorderClosed) {
    fs::create_directories(m_dir / "blocker");
    std::ofstream(m_dir / "plainfile") << "x";
    CWaveRec rec;
    EXPECT_FALSE(rec.Open((m_dir / "plainfile" / "x.wav").string(), 44100, 16, true));
    EXPECT_FALSE(rec.Open((m_dir / "blocker").string(), 44100, 16, true));  // a folder
    EXPECT_FALSE(rec.IsOpen());
    const int16_t frame[2] = {1, 2};
    rec.Write(frame, 4);
    rec.Close();
    // A later attempt can still succeed; missing folders are created.
    const std::string nested = (m_dir / "new" / "folder" / "x.wav").string();
    ASSERT_TRUE(rec.Open(nested, 44100, 16, true));
    rec.Close();
    EXPECT_EQ(Read(nested).bytes.size(), 44u);
}

TEST_F(WaveRecFiles, ReachingTheSizeLimitClosesAValidFileOnAFrameBoundary) {
    const std::string path = PathOf("full.wav");
    LogCapture log;
    CWaveRec rec;
    rec.SetFileSizeLimit(44 + 10);  // room for two stereo 16-bit frames and a half
    ASSERT_TRUE(rec.Open(path, 44100, 16, true));
    const int16_t frames[6] = {1, 2, 3, 4, 5, 6};
    rec.Write(frames, 4);
    EXPECT_TRUE(rec.IsOpen());
    rec.Write(frames + 2, 8);  // only the first frame fits
    EXPECT_FALSE(rec.IsOpen());
    rec.Write(frames, 4);      // after the limit: nothing
    const WavFile f = Read(path);
    ASSERT_EQ(f.bytes.size(), 52u);
    EXPECT_EQ(f.U32(4), 44u);
    EXPECT_EQ(f.U32(40), 8u);
    EXPECT_EQ(f.U16(44 + 4), 3);
    EXPECT_TRUE(log.Contains("size limit"));

    // The real limit keeps both 32-bit size fields in range.
    EXPECT_EQ(CWaveRec::kMaxFileSize - 8, 0xFFFFFFFFull);
}

TEST(WaveFileName, FollowsTheRomImageName) {
    EXPECT_EQ(MakeWaveFileName("/rec/", "/opt/kelvara/", "/roms/abc.bin"), "/rec/abc.wav");
    EXPECT_EQ(MakeWaveFileName("/rec/", "/opt/kelvara/", "/roms/a.b.bin"), "/rec/a.b");
    EXPECT_EQ(MakeWaveFileName("/rec", "/opt/kelvara/", "noext"), "/rec/noext.wav");
    EXPECT_EQ(MakeWaveFileName("\\rec\\", "/opt/kelvara/", "ROMS\\x.snd"), "/rec/x.wav");
}

TEST(WaveFileName, RelativeFoldersStartAtTheProgramFolder) {
    EXPECT_EQ(MakeWaveFileName("./wave/", "/opt/kelvara/", "/roms/abc.bin"), "/opt/kelvara/wave/abc.wav");
    EXPECT_EQ(MakeWaveFileName(".\\wave\\", "/opt/kelvara/", "abc.rom"), "/opt/kelvara/wave/abc.wav");
    EXPECT_EQ(MakeWaveFileName("../out", "/opt/kelvara/", "abc.bin"), "/opt/out/abc.wav");
}

}  // namespace
