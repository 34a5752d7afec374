#include "chips/Psg.h"
#include "support/ToneMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

namespace {

struct PsgDeleter {
    void operator()(PSG* p) const { PSG::Destroy(p); }
};
using PsgPtr = std::unique_ptr<PSG, PsgDeleter>;

// Built the way the board builds it: created at 44100, then set to the
// output rate and reset.
PsgPtr MakePsg(uint32_t clock, uint32_t rate = 44100)
{
    PsgPtr psg(PSG::Create(clock, 44100));
    if (psg) {
        PSG::SetRate(psg.get(), rate);
        PSG::Reset(psg.get());
    }
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

int Level(int tableIndex) { return 16 * kPsgVolume[tableIndex]; }

} // namespace

TEST(PsgTables, VolumeCurveHasTheDocumentedLevels)
{
    EXPECT_EQ(kPsgVolume[0], 0);
    EXPECT_EQ(kPsgVolume[1], 1);
    EXPECT_EQ(kPsgVolume[8], 5);
    EXPECT_EQ(kPsgVolume[15], 18);
    EXPECT_EQ(kPsgVolume[22], 63);
    EXPECT_EQ(kPsgVolume[29], 214);
    EXPECT_EQ(kPsgVolume[30], 255);
    EXPECT_EQ(kPsgVolume[31], 255);
    EXPECT_TRUE(std::is_sorted(std::begin(kPsgVolume), std::end(kPsgVolume)));
}

TEST(PsgOutput, ResetSilencesAPlayingChip)
{
    PsgPtr psg = MakePsg(3579545);
    ASSERT_TRUE(psg);
    Poke(psg.get(), 0, 0x40);
    Poke(psg.get(), 7, 0x38);
    Poke(psg.get(), 8, 0x0F);
    Poke(psg.get(), 9, 0x10);
    Poke(psg.get(), 12, 0x01);
    Poke(psg.get(), 13, 0x0E);
    auto playing = RenderN(psg.get(), 2000);
    ASSERT_GT(*std::max_element(playing.begin(), playing.end()), 0);

    PSG::Reset(psg.get());
    auto after = RenderN(psg.get(), 20000);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int16_t s) { return s == 0; }));
}

TEST(PsgOutput, FixedLevelsPlayEveryOtherTableEntryWhenTheMixerIsOpen)
{
    PsgPtr psg = MakePsg(3579545);
    Poke(psg.get(), 7, 0x3F);  // tone and noise disabled: constant level
    for (int level = 0; level <= 15; ++level) {
        Poke(psg.get(), 8, static_cast<uint8_t>(level));
        auto out = RenderN(psg.get(), 64);
        for (int16_t s : out)
            ASSERT_EQ(s, Level(2 * level)) << "level " << level;
    }
    // Level 15 is full scale, 255 x 16.
    EXPECT_EQ(Level(30), 4080);

    // All three channels at full level: the top of the output range.
    Poke(psg.get(), 9, 0x0F);
    Poke(psg.get(), 10, 0x0F);
    auto full = RenderN(psg.get(), 64);
    EXPECT_TRUE(std::all_of(full.begin(), full.end(), [](int16_t s) { return s == 12240; }));
}

TEST(PsgOutput, TonePeriodsZeroAndOneHoldAConstantLevel)
{
    for (uint8_t period : {0, 1}) {
        PsgPtr psg = MakePsg(3579545);
        Poke(psg.get(), 0, period);
        Poke(psg.get(), 7, 0x3E);  // tone A only
        Poke(psg.get(), 8, 0x0F);
        auto out = RenderN(psg.get(), 5000);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 4080; }))
            << "period " << int(period);
    }
    // Period 2 is the shortest that still toggles.
    PsgPtr psg = MakePsg(3579545);
    Poke(psg.get(), 0, 2);
    Poke(psg.get(), 7, 0x3E);
    Poke(psg.get(), 8, 0x0F);
    auto out = RenderN(psg.get(), 100);
    EXPECT_NE(std::count(out.begin(), out.end(), 0), 0);
}

TEST(PsgPorts, EvenPortSelectsAndOddPortWrites)
{
    PsgPtr psg = MakePsg(3579545);
    PSG::WritePort(psg.get(), 2, 7);  // any even port selects
    PSG::WritePort(psg.get(), 3, 0x3F);
    PSG::WritePort(psg.get(), 0, 0x48);  // address is 6 bits: 0x48 -> 8
    PSG::WritePort(psg.get(), 0xFF, 0x0F);
    EXPECT_EQ(PSG::Render(psg.get()), 4080);

    // Registers 14, 15 and addresses 16-63 do not change the sound.
    for (uint8_t reg = 14; reg < 64; ++reg)
        Poke(psg.get(), reg, 0x00);
    PSG::WriteReg(psg.get(), 200, 0x00);
    auto out = RenderN(psg.get(), 100);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 4080; }));
    EXPECT_EQ(psg->Regs[8], 0x0F);
}

// A tone period P sounds at Clock / (32 * P) at every output rate.
TEST(PsgTone, FrequencyIsClockOver32TimesPeriod)
{
    struct Case { uint32_t clock; uint16_t period; };
    const Case cases[] = {
        {3579545, 0x0FE}, {3579545, 0x050}, {4000000, 0x3A0}, {2184375, 0x020}, {6000000, 0x0C0},
    };
    for (uint32_t rate : {44100u, 48000u, 96000u}) {
        for (const Case& c : cases) {
            PsgPtr psg = MakePsg(c.clock, rate);
            Poke(psg.get(), 0, c.period & 0xFF);
            Poke(psg.get(), 1, c.period >> 8);
            Poke(psg.get(), 7, 0x3E);
            Poke(psg.get(), 8, 0x0F);
            auto out = RenderN(psg.get(), rate);
            const double expected = c.clock / (32.0 * c.period);
            const double measured = ToneMeasure::MeasureFrequency(std::span<const int16_t>(out), rate, 50, 5000);
            EXPECT_LT(ToneMeasure::RelativeError(measured, expected), 0.002)
                << "clock " << c.clock << " period " << c.period << " rate " << rate << ": measured "
                << measured << " expected " << expected;
        }
    }
}

TEST(PsgTone, TwelveBitPeriodUsesTheLowNibbleOfTheCoarseRegister)
{
    PsgPtr psg = MakePsg(3579545);
    Poke(psg.get(), 2, 0x34);
    Poke(psg.get(), 3, 0xF2);  // upper nibble ignored: period 0x234
    Poke(psg.get(), 7, 0x3D);  // tone B only
    Poke(psg.get(), 9, 0x0F);
    auto out = RenderN(psg.get(), 44100);
    const double measured = ToneMeasure::MeasureFrequency(std::span<const int16_t>(out), 44100, 50, 5000);
    EXPECT_LT(ToneMeasure::RelativeError(measured, 3579545 / (32.0 * 0x234)), 0.002) << measured;
}

TEST(PsgNoise, GatesTheChannelRandomly)
{
    PsgPtr psg = MakePsg(3579545);
    Poke(psg.get(), 6, 0x08);
    Poke(psg.get(), 7, 0x37);  // noise A only
    Poke(psg.get(), 8, 0x0F);
    auto out = RenderN(psg.get(), 44100);
    std::size_t high = 0, changes = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_TRUE(out[i] == 0 || out[i] == 4080) << i;
        high += out[i] != 0;
        changes += i > 0 && out[i] != out[i - 1];
    }
    EXPECT_GT(high, out.size() * 3 / 10);
    EXPECT_LT(high, out.size() * 7 / 10);
    EXPECT_GT(changes, 1000u);
    // Not a plain square wave.
    EXPECT_EQ(ToneMeasure::MeasureFrequency(std::span<const int16_t>(out), 44100, 50, 5000), 0.0);
}

namespace {

// Plays channel A from the envelope with the given shape and period.
PsgPtr EnvelopeChip(uint8_t shape, uint16_t period, uint32_t clock = 3579545)
{
    PsgPtr psg = MakePsg(clock);
    Poke(psg.get(), 7, 0x3F);
    Poke(psg.get(), 8, 0x10);
    Poke(psg.get(), 11, period & 0xFF);
    Poke(psg.get(), 12, period >> 8);
    Poke(psg.get(), 13, shape);
    return psg;
}

} // namespace

// Saw shapes repeat every 32 steps, triangles every 64; each step lasts
// EnvFreq units of 16 clocks.
TEST(PsgEnvelope, RepeatingShapesCycleAtTheExpectedRate)
{
    struct Case { uint8_t shape; int stepsPerCycle; };
    const Case cases[] = {{8, 32}, {12, 32}, {10, 64}, {14, 64}};
    for (uint16_t period : {8, 0x40, 0x100}) {
        for (const Case& c : cases) {
            PsgPtr psg = EnvelopeChip(c.shape, period);
            auto out = RenderN(psg.get(), 2 * 44100);
            const double expected = 3579545.0 / (16.0 * c.stepsPerCycle * period);
            const double measured = ToneMeasure::MeasureFrequency(std::span<const int16_t>(out), 44100, 5, 2000);
            EXPECT_LT(ToneMeasure::RelativeError(measured, expected), 0.002)
                << "shape " << int(c.shape) << " period " << period << ": measured " << measured
                << " expected " << expected;
            EXPECT_EQ(*std::max_element(out.begin(), out.end()), 4080);
            EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0);
        }
    }
}

// Every register-13 value: where the envelope starts and where it ends up.
TEST(PsgEnvelope, EachShapeStartsAndSettlesWhereTheShapeTableSays)
{
    constexpr int kRepeats = -1;
    struct Case { uint8_t shape; int first; int settled; };
    const Case cases[] = {
        {0, 4080, 0},  {1, 4080, 0},  {2, 4080, 0},  {3, 4080, 0},
        {4, 0, 0},     {5, 0, 0},     {6, 0, 0},     {7, 0, 0},
        {8, 4080, kRepeats}, {9, 4080, 0},   {10, 4080, kRepeats}, {11, 4080, 4080},
        {12, 0, kRepeats},   {13, 0, 4080},  {14, 0, kRepeats},    {15, 0, 0},
    };
    const uint16_t period = 0x20;                          // 512 units per 32 steps
    const std::size_t cycle = 32 * period * 44100 / 223722 + 1;  // samples per 32 steps
    for (const Case& c : cases) {
        PsgPtr psg = EnvelopeChip(c.shape, period);
        auto out = RenderN(psg.get(), 6 * cycle);
        EXPECT_EQ(out[0], c.first) << "shape " << int(c.shape);
        // Every one-shot shape passes through full level and silence.
        EXPECT_EQ(*std::max_element(out.begin(), out.end()), 4080) << "shape " << int(c.shape);
        EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0) << "shape " << int(c.shape);
        std::set<int16_t> tail(out.end() - 2 * cycle, out.end());
        if (c.settled == kRepeats) {
            EXPECT_GE(tail.size(), 16u) << "shape " << int(c.shape);
        } else {
            ASSERT_EQ(tail.size(), 1u) << "shape " << int(c.shape);
            EXPECT_EQ(*tail.begin(), c.settled) << "shape " << int(c.shape);
        }
    }
}

TEST(PsgEnvelope, FirstCycleRunsInTheShapesDirection)
{
    for (uint8_t shape : {8, 10, 12, 14}) {
        PsgPtr psg = EnvelopeChip(shape, 0x40);
        auto out = RenderN(psg.get(), 390);  // a little under 32 steps (403 samples)
        const bool rising = shape & 4;
        for (std::size_t i = 1; i < out.size(); ++i) {
            if (rising)
                ASSERT_GE(out[i], out[i - 1]) << "shape " << int(shape) << " sample " << i;
            else
                ASSERT_LE(out[i], out[i - 1]) << "shape " << int(shape) << " sample " << i;
        }
        EXPECT_NE(out.front(), out.back());
    }
}

TEST(PsgEnvelope, RewritingTheShapeRestartsIt)
{
    PsgPtr psg = EnvelopeChip(0x0D, 0x10);  // rise once, hold at the top
    auto first = RenderN(psg.get(), 3000);
    ASSERT_EQ(first.back(), 4080);
    Poke(psg.get(), 13, 0x0D);  // same value again
    auto again = RenderN(psg.get(), 3000);
    EXPECT_EQ(again.front(), 0);
    EXPECT_EQ(again.back(), 4080);
    // The restarted rise has the same length as the first one.
    auto reach = [](const std::vector<int16_t>& v) { return std::find(v.begin(), v.end(), 4080) - v.begin(); };
    EXPECT_NEAR(static_cast<double>(reach(again)), static_cast<double>(reach(first)), 2.0);
}

// Period 0 stops the envelope where it is; a later period resumes from that
// step, without replaying the time spent frozen.
TEST(PsgEnvelope, PeriodZeroFreezesAndANewPeriodResumesFromTheSameStep)
{
    PsgPtr psg = EnvelopeChip(0x0C, 0x100);  // rising saw, ~50 samples per step
    RenderN(psg.get(), 810);                 // about halfway up
    Poke(psg.get(), 11, 0);
    Poke(psg.get(), 12, 0);
    auto frozen = RenderN(psg.get(), 100000);
    const int16_t level = frozen.front();
    ASSERT_GT(level, 0);
    ASSERT_LT(level, 4080);
    EXPECT_TRUE(std::all_of(frozen.begin(), frozen.end(), [&](int16_t s) { return s == level; }));

    const int16_t next = static_cast<int16_t>(16 * *std::upper_bound(std::begin(kPsgVolume), std::end(kPsgVolume),
                                                                      static_cast<uint8_t>(level / 16)));
    Poke(psg.get(), 12, 1);  // period 0x100 again, shape not rewritten
    auto resumed = RenderN(psg.get(), 40);
    for (int16_t s : resumed)
        EXPECT_TRUE(s == level || s == next) << s << " after " << level;
}

// Clock/rate pairs far outside the boards' range must not overflow.
TEST(PsgRobustness, ExtremeClockAndRateStayInRange)
{
    for (auto [clock, rate] : {std::pair<uint32_t, uint32_t>{4000000, 1}, {0xFFFFFFFF, 8000}, {0, 44100}, {1, 192000}}) {
        PsgPtr psg = MakePsg(clock, rate);
        for (uint8_t r = 0; r < 14; ++r)
            Poke(psg.get(), r, r == 7 ? 0x00 : 0x1F);
        Poke(psg.get(), 11, 1);
        Poke(psg.get(), 12, 0);
        auto out = RenderN(psg.get(), 20000);
        for (int16_t s : out)
            ASSERT_TRUE(s >= 0 && s <= 12240) << "clock " << clock << " rate " << rate;
    }
    PsgPtr psg(PSG::Create(3579545, 0));
    EXPECT_EQ(psg->Rate, 44100u);
}

// A fixed register script exercising tones, noise, mixer and envelopes;
// the checksum pins the rendered sound so that refactoring cannot change
// it unnoticed. Update it only for an intended change of the sound.
TEST(PsgDeterminism, FirstSecondOfAFixedScriptMatchesTheGoldenChecksum)
{
    struct Write { uint32_t sample; uint8_t reg; uint8_t value; };
    const Write script[] = {
        {0, 0, 0xFE},     {0, 1, 0x00},     {0, 2, 0x50},     {0, 3, 0x01},     {0, 4, 0x00},
        {0, 5, 0x03},     {0, 6, 0x0A},     {0, 7, 0x30},     {0, 8, 0x0C},     {0, 9, 0x10},
        {0, 10, 0x08},    {0, 11, 0x40},    {0, 12, 0x00},    {0, 13, 0x0E},    {11025, 7, 0x1A},
        {11025, 13, 0x09}, {11025, 10, 0x10}, {11025, 6, 0x01}, {22050, 0, 0x20}, {22050, 1, 0x01},
        {22050, 11, 0x00}, {22050, 12, 0x02}, {22050, 13, 0x0C}, {33075, 7, 0x07}, {33075, 8, 0x0F},
        {33075, 6, 0x1F},  {40000, 0, 0x01},  {40000, 6, 0x00},
    };
    PsgPtr psg = MakePsg(3579545);
    uint64_t hash = 1469598103934665603ull;  // FNV-1a, 64 bit
    std::size_t next = 0;
    for (uint32_t i = 0; i < 44100; ++i) {
        while (next < std::size(script) && script[next].sample == i) {
            Poke(psg.get(), script[next].reg, script[next].value);
            ++next;
        }
        const uint16_t s = static_cast<uint16_t>(PSG::Render(psg.get()));
        for (uint8_t byte : {static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8)}) {
            hash ^= byte;
            hash *= 1099511628211ull;
        }
    }
    EXPECT_EQ(hash, 0xac918242b2d957b6ull);
}
