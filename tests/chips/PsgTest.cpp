#include "chips/Psg.h"
#include "support/ToneMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace
{

struct PsgDeleter {
    void operator()(PSG* p) const { PSG::Destroy(p); }
};
using PsgPtr = std::unique_ptr<PSG, PsgDeleter>;

// Built as the board builds it: created at 44100, set to the output rate, reset.
PsgPtr MakePsg(uint32_t clock, uint32_t rate = 44100)
{
    PsgPtr psg(PSG::Create(clock, 44100));
    PSG::SetRate(psg.get(), rate);
    PSG::Reset(psg.get());
    return psg;
}

std::vector<int16_t> RenderN(PSG* psg, std::size_t n)
{
    std::vector<int16_t> out(n);
    for (auto& s : out)
        s = PSG::Render(psg);
    return out;
}

// Selects and writes a register through the two ports, as the CPU does.
void Poke(PSG* psg, uint8_t reg, uint8_t value)
{
    PSG::WritePort(psg, 0, reg);
    PSG::WritePort(psg, 1, value);
}

bool AllEqual(const std::vector<int16_t>& v, int16_t x)
{
    return std::all_of(v.begin(), v.end(), [x](int16_t s) { return s == x; });
}

double Frequency(const std::vector<int16_t>& v, double rate, double minHz)
{
    return ToneMeasure::MeasureFrequency(std::span<const int16_t>(v), rate, minHz, 5000);
}

// Channel A played from the envelope with the given shape and period.
PsgPtr EnvelopeChip(uint8_t shape, uint16_t period)
{
    PsgPtr psg = MakePsg(3579545);
    Poke(psg.get(), 7, 0x3F);
    Poke(psg.get(), 8, 0x10);
    Poke(psg.get(), 11, period & 0xFF);
    Poke(psg.get(), 12, period >> 8);
    Poke(psg.get(), 13, shape);
    return psg;
}

} // namespace

TEST(PsgOutput, FixedLevelsPortsAndReset)
{
    EXPECT_EQ(kPsgVolume[1], 1);
    EXPECT_EQ(kPsgVolume[15], 18);
    EXPECT_EQ(kPsgVolume[29], 214);
    PsgPtr psg = MakePsg(3579545);
    Poke(psg.get(), 7, 0x3F); // tone and noise off: a constant level
    for (int level = 0; level <= 15; ++level) {
        Poke(psg.get(), 8, static_cast<uint8_t>(level));
        EXPECT_TRUE(AllEqual(RenderN(psg.get(), 64), static_cast<int16_t>(16 * kPsgVolume[2 * level])));
    }
    Poke(psg.get(), 9, 0x0F); // three channels at level 15: 3 x 255 x 16
    Poke(psg.get(), 10, 0x0F);
    EXPECT_TRUE(AllEqual(RenderN(psg.get(), 64), 12240));

    // Even ports select a 6-bit address, odd ports write; 14-63 change nothing.
    PSG::WritePort(psg.get(), 2, 0x48);
    PSG::WritePort(psg.get(), 0xFF, 0x00);
    for (uint8_t reg = 14; reg < 64; ++reg)
        Poke(psg.get(), reg, 0x00);
    EXPECT_TRUE(AllEqual(RenderN(psg.get(), 64), 8160));

    // Reset silences the playing chip.
    PSG::Reset(psg.get());
    EXPECT_TRUE(AllEqual(RenderN(psg.get(), 20000), 0));
}

// A tone period P sounds at Clock / (32 * P) at every output rate; periods
// 0 and 1 hold the output high instead of toggling.
TEST(PsgTone, FrequencyIsClockOver32TimesPeriodAndPeriodsBelowTwoHold)
{
    const std::pair<uint32_t, uint16_t> cases[] = {
        {3579545, 0x0FE}, {4000000, 0x3A0}, {2184375, 0x020}, {6000000, 0x0C0}};
    for (uint32_t rate : {44100u, 96000u}) {
        for (auto [clock, period] : cases) {
            PsgPtr psg = MakePsg(clock, rate);
            Poke(psg.get(), 0, period & 0xFF);
            Poke(psg.get(), 1, 0xF0 | (period >> 8)); // upper nibble ignored
            Poke(psg.get(), 7, 0x3E);                 // tone A only
            Poke(psg.get(), 8, 0x0F);
            const double expected = clock / (32.0 * period);
            const double measured = Frequency(RenderN(psg.get(), rate), rate, 50);
            EXPECT_LT(ToneMeasure::RelativeError(measured, expected), 0.002)
                << clock << " Hz, period " << period << ", rate " << rate << ": " << measured;
        }
    }
    for (uint8_t period : {0, 1}) {
        PsgPtr psg = MakePsg(3579545);
        Poke(psg.get(), 0, period);
        Poke(psg.get(), 7, 0x3E);
        Poke(psg.get(), 8, 0x0F);
        EXPECT_TRUE(AllEqual(RenderN(psg.get(), 5000), 4080)) << "period " << int(period);
    }
}

// Saws repeat every 32 steps, triangles every 64; a step lasts EnvFreq x 16 clocks.
TEST(PsgNoise, PeriodRegisterKeepsFiveBitsAndZeroCountsAsHalfOfOne)
{
    // Register 6 gives twice its low five bits; 0 alone stands for 1 (half
    // of period 1), while 0x20, whose low bits are 0, gives 0.
    const std::pair<uint8_t, uint32_t> cases[] = {{0x00, 1}, {0x01, 2}, {0x1F, 62}, {0x20, 0}, {0x21, 2}, {0xFF, 62}};
    PsgPtr psg = MakePsg(3579545);
    for (auto [value, freq] : cases) {
        Poke(psg.get(), 6, value);
        EXPECT_EQ(psg->NoiseFreq, freq) << "register 6 = " << int(value);
    }
}

TEST(PsgEnvelope, RepeatingShapesCycleAtTheExpectedRate)
{
    const std::pair<uint8_t, int> cases[] = {{8, 32}, {12, 32}, {10, 64}, {14, 64}};
    for (uint16_t period : {8, 0x100}) {
        for (auto [shape, steps] : cases) {
            auto out = RenderN(EnvelopeChip(shape, period).get(), 2 * 44100);
            const double expected = 3579545.0 / (16.0 * steps * period);
            EXPECT_LT(ToneMeasure::RelativeError(Frequency(out, 44100, 5), expected), 0.002)
                << "shape " << int(shape) << " period " << period;
            EXPECT_EQ(*std::max_element(out.begin(), out.end()), 4080);
            EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0);
        }
    }
}

// Every register-13 value: the level it starts at and where it settles.
TEST(PsgEnvelope, EachShapeStartsAndSettlesAsItsBitsSay)
{
    constexpr int kRepeats = -1;
    const int expected[16][2] = {
        {4080, 0},     {4080, 0}, {4080, 0},        {4080, 0}, {0, 0},           {0, 0},
        {0, 0},        {0, 0},    {4080, kRepeats}, {4080, 0}, {4080, kRepeats}, {4080, 4080},
        {0, kRepeats}, {0, 4080}, {0, kRepeats},    {0, 0},
    };
    const std::size_t cycle = 202; // 32 steps of period 0x20 at 44100 Hz
    for (uint8_t shape = 0; shape < 16; ++shape) {
        auto out = RenderN(EnvelopeChip(shape, 0x20).get(), 6 * cycle);
        EXPECT_EQ(out[0], expected[shape][0]) << "shape " << int(shape);
        EXPECT_EQ(*std::max_element(out.begin(), out.end()), 4080) << "shape " << int(shape);
        std::set<int16_t> tail(out.end() - 2 * cycle, out.end());
        if (expected[shape][1] == kRepeats)
            EXPECT_GE(tail.size(), 16u) << "shape " << int(shape);
        else
            EXPECT_EQ(tail, std::set<int16_t>{static_cast<int16_t>(expected[shape][1])})
                << "shape " << int(shape);
    }
}

TEST(PsgEnvelope, RewritingTheSameShapeRestartsIt)
{
    PsgPtr psg = EnvelopeChip(0x0D, 0x10); // rise once, hold at the top
    auto first = RenderN(psg.get(), 3000);
    ASSERT_EQ(first.back(), 4080);
    Poke(psg.get(), 13, 0x0D);
    auto again = RenderN(psg.get(), 3000);
    EXPECT_EQ(again.front(), 0);
    EXPECT_EQ(again.back(), 4080);
}

// Period 0 stops the envelope where it is; a later period resumes from that
// step instead of replaying the whole time spent frozen in one sample.
TEST(PsgEnvelope, PeriodZeroFreezesAndANewPeriodResumesFromTheSameStep)
{
    PsgPtr psg = EnvelopeChip(0x0C, 0x100); // rising saw, ~50 samples per step
    RenderN(psg.get(), 810);                // about halfway up
    Poke(psg.get(), 11, 0);
    Poke(psg.get(), 12, 0);
    auto frozen = RenderN(psg.get(), 100000);
    const int16_t level = frozen.front();
    ASSERT_TRUE(level > 0 && level < 4080);
    EXPECT_TRUE(AllEqual(frozen, level));

    const int16_t next =
        static_cast<int16_t>(16 * *std::upper_bound(std::begin(kPsgVolume), std::end(kPsgVolume),
                                                    static_cast<uint8_t>(level / 16)));
    Poke(psg.get(), 12, 1); // period 0x100 again, shape not rewritten
    for (int16_t s : RenderN(psg.get(), 40))
        EXPECT_TRUE(s == level || s == next) << s << " after " << level;
}

TEST(PsgRobustness, ExtremeClockAndRateStayInRange)
{
    for (auto [clock, rate] : {std::pair<uint32_t, uint32_t>{4000000, 1}, {0xFFFFFFFF, 8000}, {0, 44100}}) {
        PsgPtr psg = MakePsg(clock, rate);
        for (uint8_t r = 0; r < 14; ++r)
            Poke(psg.get(), r, r == 7 ? 0x00 : r == 11 ? 0x01 : 0x1F);
        for (int16_t s : RenderN(psg.get(), 20000))
            ASSERT_TRUE(s >= 0 && s <= 12240) << "clock " << clock << " rate " << rate;
    }
}
