// The FM chip's per-sample rules checked sample by sample against a small
// model written from the rules themselves (log-sine and exponent curves,
// feedback, tremolo and vibrato, the rhythm voices' noise and wave
// positions) and the resampler's coefficient rule, rather than against
// recorded output.
#include "OpllTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

namespace
{

using namespace OpllTest;

// Operator output from the log-sine and exponent curves.
class OperatorModel
{
  public:
    OperatorModel()
    {
        for (int i = 0; i < 256; ++i) {
            m_logSin[i] = static_cast<uint16_t>(
                std::lround(-std::log2(std::sin((i + 0.5) * std::numbers::pi / 512)) * 256));
            m_exp[i] = static_cast<uint16_t>(std::lround((std::exp2(i / 256.0) - 1) * 1024));
        }
    }
    // Output at wave position idx with envelope level `level` and a further
    // attenuation `att` (total level plus tremolo term), in 0.375 dB units.
    int32_t Output(bool halfSine, uint32_t idx, uint32_t level, uint32_t att) const
    {
        if (level > 123)
            return 0;
        idx &= 1023;
        uint32_t w = 0x0FFF; // second half of the half sine
        if (!halfSine || idx < 512) {
            const uint32_t q = idx & 255;
            w = m_logSin[(idx & 256) ? 255 - q : q] | ((idx & 512) ? 0x8000 : 0);
        }
        const auto i = static_cast<uint16_t>(w + (std::min(127u, level + att) << 4));
        const uint32_t r = (m_exp[(i & 0xFF) ^ 0xFF] + 1024u) >> ((i >> 8) & 0x7F);
        return static_cast<int16_t>(2 * ((i & 0x8000) ? ~r : r));
    }
    // Operator n of the chip as it stands after a step, at wave position idx.
    int32_t Of(const OPLL* chip, int n, uint32_t idx, bool tremolo = true) const
    {
        const OpllOperator& op = chip->operators[n];
        const uint32_t a = tremolo && op.patch->AM ? chip->tremoloLevel : 0;
        return Output(op.patch->WS, idx, op.level, op.totalLevel + a);
    }
    // Two-operator voice of channel c after a step, given the modulator's
    // two outputs before it: {modulator output, carrier output}.
    std::pair<int32_t, int32_t> Voice(const OPLL* chip, int c, int32_t out0, int32_t out1) const
    {
        const uint32_t fb = chip->operators[2 * c].patch->FB;
        const int32_t f = fb ? (out0 + out1) >> (9 - fb) : 0;
        const int32_t m = Of(chip, 2 * c, static_cast<uint32_t>(chip->lanes.phaseOut[2 * c] + f));
        const int32_t k =
            Of(chip, 2 * c + 1, static_cast<uint32_t>(chip->lanes.phaseOut[2 * c + 1] + 2 * (m >> 1)));
        return {m, k};
    }

  private:
    uint16_t m_logSin[256];
    uint16_t m_exp[256];
};

// Phase increment of one sample: F-number doubled plus the vibrato offset of
// the current LFO step, times the multiple, shifted by block, over 4.
uint32_t PhaseIncrement(uint32_t fnum, uint32_t block, uint32_t ml, bool pm, uint32_t vibratoPhase)
{
    static const int32_t kMultiple[16] = {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 20, 24, 24, 30, 30};
    const int32_t r = (fnum >> 6) & 7;
    const int32_t row[8] = {0, r >> 1, r, r >> 1, 0, -(r >> 1), -r, -(r >> 1)};
    const int32_t v = pm ? row[(vibratoPhase >> 10) & 7] : 0;
    return ((static_cast<uint32_t>((static_cast<int32_t>(fnum) * 2 + v) * kMultiple[ml & 15]) << block) >>
            2) &
           0x7FFFF;
}

uint32_t NoiseAdvance(uint32_t noise, int times)
{
    for (int i = 0; i < times; ++i)
        noise = ((noise & 1) ? noise ^ 0x800200 : noise) >> 1;
    return noise;
}

TEST(OpllRules, VoiceOutputFollowsFeedbackTremoloVibratoAndWaveform)
{
    const OperatorModel model;
    // User instrument registers 0-3 (AM PM EG KR ML; modulator TL; WS and
    // FB) and the test register: 8 runs both LFOs one step per sample.
    struct Case {
        uint8_t mod, car, tl, wsFb, test;
    } cases[] = {
        {0x21, 0x21, 0x10, 0x00, 8}, {0xA1, 0x21, 0x10, 0x01, 8}, {0x21, 0xA1, 0x18, 0x02, 8},
        {0xA1, 0xA1, 0x08, 0x0B, 8}, {0x61, 0x61, 0x10, 0x14, 8}, {0xE2, 0xE1, 0x10, 0x1D, 8},
        {0x21, 0x23, 0x00, 0x06, 8}, {0xE1, 0xE3, 0x10, 0x07, 0}, // normal LFO speed: 13440 samples
    };
    constexpr int c = 4, m = 2 * c;
    constexpr uint32_t fnum = 0x1C0, block = 4; // vibrato row 7: offsets up to 7
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "registers " << std::hex << int(k.mod) << " " << int(k.car) << " "
                                        << int(k.tl) << " " << int(k.wsFb) << " test " << int(k.test));
        auto chip = MakeChip();
        UserInstrument inst;
        inst.reg[0] = k.mod, inst.reg[1] = k.car, inst.reg[2] = k.tl, inst.reg[3] = k.wsFb;
        inst.reg[4] = 0xF0; // the modulator sounds too
        Load(chip.get(), inst);
        OPLL::WriteReg(chip.get(), 0x0F, k.test);
        PlayChannel(chip.get(), c, fnum, block);
        for (int s = 0; s < 64; ++s) // damp and the instant attack are over
            OPLL::Step(chip.get());
        OpllLanes& lanes = chip->lanes;
        std::set<int> tremoloLevels;
        int32_t peak = 0, heard = 0;
        for (int s = 0; s < (k.test ? 2000 : 14000); ++s) {
            const int32_t out0 = lanes.output[0][m], out1 = lanes.output[1][m];
            const uint32_t modPhase = lanes.phase[m], carPhase = lanes.phase[m + 1];
            OPLL::Step(chip.get());
            const uint32_t vib = chip->vibratoPhase;
            ASSERT_EQ((lanes.phase[m] - modPhase) & 0x7FFFF,
                      PhaseIncrement(fnum, block, k.mod, k.mod & 0x40, vib))
                << s;
            ASSERT_EQ((lanes.phase[m + 1] - carPhase) & 0x7FFFF,
                      PhaseIncrement(fnum, block, k.car, k.car & 0x40, vib))
                << s;
            const auto [mod, car] = model.Voice(chip.get(), c, out0, out1);
            ASSERT_EQ(lanes.output[0][m], mod) << s;
            ASSERT_EQ(lanes.output[1][m], out0) << s;
            ASSERT_EQ(chip->slotOutputs[c], (-car) >> 1) << s;
            tremoloLevels.insert(chip->tremoloLevel);
            peak = std::max(peak, std::abs(car));
            heard += out0 != 0;
        }
        EXPECT_EQ(tremoloLevels.size(), 14u); // the whole tremolo range was heard
        EXPECT_GT(peak, 2000);
        EXPECT_GT(heard, 500); // the modulator sounds, so feedback has something to feed
    }
}

TEST(OpllRules, RhythmVoicesReadNoiseAndFixedWavePositions)
{
    const OperatorModel model;
    auto chip = MakeChip();
    OPLL::WriteReg(chip.get(), 0x0E, 0x20);
    const uint8_t fnumLow[3] = {0x20, 0x50, 0xC0}, blockFnum[3] = {0x09, 0x0A, 0x0D}; // unkeyed
    for (int c = 6; c < 9; ++c) {
        OPLL::WriteReg(chip.get(), 0x30 + c, 0x00); // every drum at full volume
        OPLL::WriteReg(chip.get(), 0x10 + c, fnumLow[c - 6]);
        OPLL::WriteReg(chip.get(), 0x20 + c, blockFnum[c - 6]);
    }
    OPLL::WriteReg(chip.get(), 0x0E, 0x3F); // all five drums keyed
    OpllLanes& lanes = chip->lanes;
    int hiHatWays[4] = {}, snareWays[4] = {};
    for (int s = 0; s < 6000; ++s) {
        const uint32_t h = static_cast<uint16_t>(lanes.phaseOut[14]),
                       cy = static_cast<uint16_t>(lanes.phaseOut[17]);
        const uint32_t noise = chip->noise;
        const int32_t bassOut0 = lanes.output[0][12], bassOut1 = lanes.output[1][12];
        OPLL::Step(chip.get());

        // The short noise mixes bits of the previous sample's hi-hat and
        // cymbal phases; hi-hat and snare read the noise after 14 of the
        // sample's 18 clocks.
        const uint32_t shortNoise =
            (((h >> 2) ^ (h >> 7)) | ((h >> 3) ^ (cy >> 5)) | ((cy >> 3) ^ (cy >> 5))) & 1;
        ASSERT_EQ(chip->shortNoise, shortNoise) << s;
        ASSERT_EQ(chip->noise, NoiseAdvance(noise, 18)) << s;
        const bool bit = NoiseAdvance(noise, 14) & 1;
        const bool snareHigh = lanes.phaseOut[15] & 0x100;
        const uint32_t hiHat = shortNoise ? (bit ? 0x2D0 : 0x234) : (bit ? 0x34 : 0xD0);
        const uint32_t snare = snareHigh ? (bit ? 0x300 : 0x200) : (bit ? 0x000 : 0x100);
        ASSERT_EQ(chip->slotOutputs[OPLL::kSlotHiHat], model.Of(chip.get(), 14, hiHat, false)) << s;
        ASSERT_EQ(chip->slotOutputs[OPLL::kSlotSnare], model.Of(chip.get(), 15, snare, false)) << s;
        ASSERT_EQ(chip->slotOutputs[OPLL::kSlotTomTom],
                  model.Of(chip.get(), 16, static_cast<uint16_t>(lanes.phaseOut[16]), false))
            << s;
        ASSERT_EQ(chip->slotOutputs[OPLL::kSlotCymbal],
                  model.Of(chip.get(), 17, shortNoise ? 0x300 : 0x100, false))
            << s;
        // The bass drum is channel 6's voice, neither negated nor halved.
        ASSERT_EQ(chip->slotOutputs[OPLL::kSlotBassDrum],
                  model.Voice(chip.get(), 6, bassOut0, bassOut1).second)
            << s;
        if (chip->operators[14].level < 100)
            ++hiHatWays[2 * shortNoise + bit];
        if (chip->operators[15].level < 100)
            ++snareWays[2 * snareHigh + bit];
    }
    for (int w = 0; w < 4; ++w) { // every position was played while audible
        EXPECT_GT(hiHatWays[w], 10) << w;
        EXPECT_GT(snareWays[w], 10) << w;
    }
}

// Coefficient i of the resampler's table: the Blackman-windowed sinc at
// x = i / 256, stretched by the ratio when down-sampling.
int16_t Coefficient(int i, double ratio)
{
    const auto w = [](double x) {
        const double t = 0.5 + x / 16, pi = std::numbers::pi;
        const double sinc = x == 0 ? 1.0 : std::sin(pi * x) / (pi * x);
        return (0.42 - 0.5 * std::cos(2 * pi * t) + 0.08 * std::cos(4 * pi * t)) * sinc;
    };
    const double x = i / 256.0;
    return static_cast<int16_t>(std::trunc(ratio > 1 ? 4096 * w(x / ratio) / ratio : 4096 * w(x)));
}

TEST(OpllRules, ResamplerTableIsTheWindowedSincOfItsRatio)
{
    for (uint32_t rate : {44100u, 96000u}) {
        auto chip = MakeChip(rate);
        const double ratio = kClock / 72.0 / rate;
        for (int i = 0; i < OpllResampler::kTableSize; ++i)
            ASSERT_EQ(chip->resampler->table[i], Coefficient(i, ratio)) << rate << " entry " << i;
    }
    // Up-sampling, by hand: w(0.5) = blackman(0.53125) x 2/pi = 0.98430 x
    // 0.63662 = 0.62663, and w(1) = 0 where the sinc crosses zero.
    auto up = MakeChip(96000);
    EXPECT_EQ(up->resampler->table[128], 2566);
    EXPECT_EQ(up->resampler->table[256], 0);
}

TEST(OpllRules, ResamplerTapsSitAtTheirDistanceFromTheTimer)
{
    // An impulse at history position p (15 = newest) comes out scaled by the
    // coefficient at |trunc(256 ((p - 7) - d))|, d being the timer after the
    // pull's advance; channel 1 is read one advance after channel 0. Ratio 1
    // leaves d = the timer set, to reach the table's exact steps.
    for (double ratio : {1.0, kClock / 72.0 / 44100, kClock / 72.0 / 96000}) {
        for (int p = 0; p < 16; ++p) {
            OpllResampler r(ratio);
            r.Push(0, 1000);
            r.Push(1, -3000);
            for (int z = p; z < 15; ++z)
                r.Push(0, 0), r.Push(1, 0);
            for (double start : {0.0, 0.25, 1 / 256.0, 0.5 + 1 / 512.0, 0.999}) {
                r.timer = start;
                int32_t out[2];
                r.PullStereo(out);
                double d = start;
                for (int ch = 0; ch < 2; ++ch) {
                    d = d + ratio - std::floor(d + ratio);
                    const int j = std::min(2047, std::abs(static_cast<int>(((p - 7) - d) * 256)));
                    const int32_t expected =
                        static_cast<int16_t>(((ch ? -3000 : 1000) * Coefficient(j, ratio)) >> 12);
                    ASSERT_EQ(out[ch], expected)
                        << "ratio " << ratio << " position " << p << " timer " << start << " channel " << ch;
                }
            }
        }
    }
}

} // namespace
