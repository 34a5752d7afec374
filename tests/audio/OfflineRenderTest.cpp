// Offline rendering of the demo ROMs: runs against frames, the prefill's silent
// block, the end-of-sound rule, and the VGM header of a real board's log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "audio/OfflineRender.h"
#include "audio/VgmWriter.h"

namespace {

using testfiles::Le32;

const std::string kRoms = std::string(KELVARA_SOURCE_DIR) + "/examples/roms/";
const std::string kOpll = kRoms + "demo-opll-type40.bin";
const std::string kPsg = kRoms + "demo-psg-type62.bin";
const std::string kYmf = kRoms + "demo-ymf281b-type24.bin";
constexpr uint32_t kRate = 44100;
constexpr std::size_t kBlock = 220;  // frames per 5 ms block at 44100 Hz

struct MemorySink final : IOfflineSink {
    std::vector<int16_t> samples;
    void WriteFrames(const int16_t* f, std::size_t n) override { samples.insert(samples.end(), f, f + 2 * n); }
};

std::vector<int16_t> Render(const std::string& rom, int code, double seconds, bool atSilence,
                            const OfflineRenderSettings& settings = {}, CVgmWriter* vgm = nullptr) {
    MemorySink sink;
    const OfflineStop stop{static_cast<uint64_t>(seconds * settings.rate), atSilence};
    const OfflineResult r = RenderCodeOffline(rom, settings, code, stop, sink, vgm);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.frames * 2, sink.samples.size());
    return sink.samples;
}

double MeanAbs(const std::vector<int16_t>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += std::abs(s[i]);
    return to > from ? sum / static_cast<double>(to - from) : 0.0;
}

TEST(OfflineRender, RunsOfFramesGiveTheFrameByFrameOutput) {
    // With a VGM log the board renders one frame at a time (a wait per
    // frame); without one it renders runs of frames. Both give the same
    // bytes; 96000 Hz blocks take more than one run.
    struct Case {
        const std::string& rom;
        int code;
        uint32_t rate;
    };
    for (const Case& c : {Case{kOpll, 1, 44100}, Case{kPsg, 2, 48000}, Case{kYmf, 3, 96000}}) {
        OfflineRenderSettings settings;
        settings.rate = c.rate;
        CVgmWriter vgm;
        const std::vector<int16_t> runs = Render(c.rom, c.code, 2.0, false, settings);
        const std::vector<int16_t> frames = Render(c.rom, c.code, 2.0, false, settings, &vgm);
        EXPECT_TRUE(runs == frames) << c.rom;
        EXPECT_GT(MeanAbs(runs, 0, runs.size()), 50.0) << c.rom << " should be audible";
    }
}

TEST(OfflineRender, StopsAfterMoreThan300SilentBlocksCountedFromPlayback) {
    // Code 0 is silence: the prefill (200 blocks) does not count, then 301
    // silent blocks end the sound.
    EXPECT_EQ(Render(kOpll, 0, 600.0, true).size() / 2, (1 + 199 + 301) * kBlock);

    // A short sound effect ends the same way, far before the cap.
    const std::vector<int16_t> se = Render(kOpll, 3, 600.0, true);
    EXPECT_GE(se.size() / 2, 501 * kBlock);
    EXPECT_LT(se.size() / 2, 30 * kRate);
    EXPECT_LT(MeanAbs(se, se.size() - 2 * 300 * kBlock, se.size()), 25.0);
}

TEST(OfflineRender, LevelControlsReachTheOutput) {
    OfflineRenderSettings mute;
    mute.titleGain = 0;
    for (int16_t s : Render(kOpll, 1, 1.0, false, mute)) ASSERT_EQ(s, 0);

    OfflineRenderSettings quieter;
    quieter.masterVolume = 10;  // multiplier 25 of 256
    const double full = MeanAbs(Render(kOpll, 1, 1.0, false), 0, 2 * kRate);
    const double low = MeanAbs(Render(kOpll, 1, 1.0, false, quieter), 0, 2 * kRate);
    EXPECT_NEAR(low / full, 25.0 / 256.0, 0.02);
}

TEST(OfflineRender, VgmLogOfARealBoardNamesItsChipAndTime) {
    // YM2413 at 48000 Hz output: VGM waits are converted to 44100 Hz.
    OfflineRenderSettings settings;
    settings.rate = 48000;
    CVgmWriter vgm;
    const std::vector<int16_t> s = Render(kOpll, 1, 2.0, false, settings, &vgm);
    const std::vector<uint8_t> file = vgm.Finish("Demo", "001");
    ASSERT_GT(file.size(), 0x100u);
    EXPECT_EQ(Le32(file, 0x08), 0x171u);
    EXPECT_GT(Le32(file, 0x10), 3000000u);  // YM2413 clock
    EXPECT_EQ(Le32(file, 0x74), 0u);        // and no AY8910
    // Every rendered frame after the silent block is logged time.
    const uint64_t rendered = s.size() / 2 - FramesPerBlock(48000);
    EXPECT_EQ(Le32(file, 0x18), rendered * 44100 / 48000);
    EXPECT_GT(vgm.WriteCount(), 20u);

    CVgmWriter psg;  // the PSG board logs its writes too
    Render(kPsg, 1, 0.5, false, {}, &psg);
    EXPECT_GT(psg.WriteCount(), 0u);
}

}  // namespace
