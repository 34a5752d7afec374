// CWaveRec files read back from disk, the 4 GiB limit (scaled down), and
// the recording file name rule.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/TestFiles.h"
#include "audio/WaveFileName.h"
#include "audio/WaveRec.h"

namespace {

using namespace testfiles;

// The canonical 44-byte header for PCM data of the given shape.
void ExpectHeader(const std::vector<uint8_t>& f, uint32_t rate, int channels, int bits, uint32_t data) {
    ASSERT_EQ(f.size(), 44 + data);
    const int align = channels * bits / 8;
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(f, 4), 36 + data);
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(f, 16), 16u);
    EXPECT_EQ(Le16(f, 20), 1);  // PCM
    EXPECT_EQ(Le16(f, 22), channels);
    EXPECT_EQ(Le32(f, 24), rate);
    EXPECT_EQ(Le32(f, 28), rate * align);
    EXPECT_EQ(Le16(f, 32), align);
    EXPECT_EQ(Le16(f, 34), bits);
    EXPECT_EQ(std::string(f.begin() + 36, f.begin() + 40), "data");
    EXPECT_EQ(Le32(f, 40), data);
}

TEST(WaveRec, HeaderDescribesTheDataAfterClose) {
    ScratchDir tmp;
    std::vector<int16_t> frames(2 * 441);
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<int16_t>(i * 37 - 9000);
    {
        CWaveRec rec;
        ASSERT_TRUE(rec.Open(tmp / "take.wav", 44100, 16, true));
        EXPECT_EQ(rec.HeaderImage().dataSize, 0u);  // sizes are zero while open
        rec.Write(frames.data(), frames.size() * 2);
        rec.Write(frames.data(), 8);
        ASSERT_TRUE(rec.Open(tmp / "mono.wav", 22050, 8, false));  // finishes the first file
        rec.Close();
        EXPECT_FALSE(rec.IsOpen());
        rec.Write(frames.data(), 8);  // closed: ignored
        ASSERT_TRUE(rec.Open(tmp / "last.wav", 48000, 16, true));
        rec.Write(frames.data(), 4);  // the destructor closes this one
    }
    const std::vector<uint8_t> f = ReadBytes(tmp / "take.wav");
    ExpectHeader(f, 44100, 2, 16, 441 * 4 + 8);
    EXPECT_EQ(std::memcmp(f.data() + 44, frames.data(), frames.size() * 2), 0);
    EXPECT_EQ(std::memcmp(f.data() + 44 + 441 * 4, frames.data(), 8), 0);
    ExpectHeader(ReadBytes(tmp / "mono.wav"), 22050, 1, 8, 0);
    ExpectHeader(ReadBytes(tmp / "last.wav"), 48000, 2, 16, 4);
}

TEST(WaveRec, LongRecordingsArriveWholeAndInOrder) {
    // Far more than the recorder buffers at once, in player-sized blocks,
    // into two files in turn through one recorder.
    ScratchDir tmp;
    constexpr int kBlockSamples = 882, kBlocks = 700;
    std::vector<int16_t> block(kBlockSamples);
    CWaveRec rec;
    for (const char* name : {"long1.wav", "long2.wav"}) {
        ASSERT_TRUE(rec.Open(tmp / name, 44100, 16, true));
        for (int b = 0; b < kBlocks; ++b) {
            for (int i = 0; i < kBlockSamples; ++i) block[i] = static_cast<int16_t>(b * 31 + i * (name[4] - '0'));
            rec.Write(block.data(), sizeof(int16_t) * kBlockSamples);
        }
        rec.Close();
    }
    for (int file = 1; file <= 2; ++file) {
        const std::vector<uint8_t> f = ReadBytes(tmp / ("long" + std::to_string(file) + ".wav"));
        ExpectHeader(f, 44100, 2, 16, 2u * kBlockSamples * kBlocks);
        for (int b = 0; b < kBlocks; ++b)
            for (int i = 0; i < kBlockSamples; ++i)
                ASSERT_EQ(static_cast<int16_t>(Le16(f, 44 + 2 * (b * kBlockSamples + i))),
                          static_cast<int16_t>(b * 31 + i * file))
                    << "file " << file << " block " << b << " sample " << i;
    }
}

TEST(WaveRec, UncreatableFileLeavesTheRecorderClosed) {
    ScratchDir tmp;
    fs::create_directories(tmp.dir / "blocker");
    std::ofstream(tmp.dir / "plainfile") << "x";
    CWaveRec rec;
    EXPECT_FALSE(rec.Open(tmp / "plainfile/x.wav", 44100, 16, true));
    EXPECT_FALSE(rec.Open(tmp / "blocker", 44100, 16, true));  // a folder
    EXPECT_FALSE(rec.IsOpen());
    const int16_t frame[2] = {1, 2};
    rec.Write(frame, 4);
    rec.Close();
    // A later attempt can still succeed; missing folders are created.
    ASSERT_TRUE(rec.Open(tmp / "new/folder/x.wav", 44100, 16, true));
    rec.Close();
    EXPECT_EQ(ReadBytes(tmp / "new/folder/x.wav").size(), 44u);
}

TEST(WaveRec, ReachingTheSizeLimitClosesAValidFileOnAFrameBoundary) {
    ScratchDir tmp;
    CWaveRec rec;
    rec.SetFileSizeLimit(44 + 10);  // room for two stereo 16-bit frames and a half
    ASSERT_TRUE(rec.Open(tmp / "full.wav", 44100, 16, true));
    const int16_t frames[6] = {1, 2, 3, 4, 5, 6};
    rec.Write(frames, 4);
    EXPECT_TRUE(rec.IsOpen());
    rec.Write(frames + 2, 8);  // only the first frame fits
    EXPECT_FALSE(rec.IsOpen());
    rec.Write(frames, 4);  // after the limit: nothing
    const std::vector<uint8_t> f = ReadBytes(tmp / "full.wav");
    ExpectHeader(f, 44100, 2, 16, 8);
    EXPECT_EQ(Le16(f, 44 + 4), 3);
    // The real limit keeps both 32-bit size fields in range.
    EXPECT_EQ(CWaveRec::kMaxFileSize - 8, 0xFFFFFFFFull);
}

TEST(WaveFileName, FollowsTheRomImageNameInsideTheWaveFolder) {
    struct Case { const char *folder, *rom, *expected; };
    const Case cases[] = {
        {"/rec/", "/roms/abc.bin", "/rec/abc.wav"},
        {"/rec/", "/roms/a.b.bin", "/rec/a.b"},
        {"/rec", "noext", "/rec/noext.wav"},
        {"\\rec\\", "ROMS\\x.snd", "/rec/x.wav"},
        {"./wave/", "/roms/abc.bin", "/opt/kelvara/wave/abc.wav"},  // relative: from the program folder
        {".\\wave\\", "abc.rom", "/opt/kelvara/wave/abc.wav"},
        {"../out", "abc.bin", "/opt/out/abc.wav"},
    };
    for (const Case& c : cases) EXPECT_EQ(MakeWaveFileName(c.folder, "/opt/kelvara/", c.rom), c.expected) << c.rom;
}

}  // namespace
