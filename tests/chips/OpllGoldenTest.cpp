// Recorded sound of long, pseudo-random register programs (instruments, user
// patch, keys, sustain, rhythm mode, test register, pans), checksummed as
// the straightforward per-sample implementation produced it, so a change to
// any single sample shows; RenderStereoBlock in runs of 1..220 frames must
// give the very same output.
#include "OpllTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using namespace OpllTest;

// What a program may touch.
enum : uint32_t {
    kMelodic = 1,   // F-number, block, key, sustain, instrument and volume of channels 0..8
    kUser = 2,      // user instrument registers 0x00-0x07 (and instrument 0 on channels)
    kRhythm = 4,    // register 0x0E: rhythm mode on and off mid-run, drum keys
    kTest = 8,      // register 0x0F, set for short stretches
    kPan = 16,      // SetPan with all four routings
    kFinePan = 32,  // fine pan gains other than 0 and 1 (the non-integer mix)
    kPorts = 64,    // writes through the two ports, also to the aliased registers
    kToneSwitch = 128, // the instrument set swapped mid-run
    kAll = 255,
};

enum class Drive { Render, Step };

struct Case {
    const char* name;
    uint32_t rate;
    int toneSet;
    uint32_t features;
    uint32_t seed;
    int frames; // output frames (Render) or chip samples (Step)
    Drive drive;
    uint64_t checksum;
};

// splitmix64: fixed and portable, unlike the standard distributions.
struct Rng {
    uint64_t s;
    uint32_t Next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

struct Fnv {
    uint64_t h = 1469598103934665603ull;
    void Add(uint32_t v)
    {
        for (int b = 0; b < 4; ++b) {
            h ^= (v >> (8 * b)) & 0xFF;
            h *= 1099511628211ull;
        }
    }
};

// Plays one case's program. Between two bursts of register writes the chip
// renders a run of frames through `render(chip, out, count)` (out holds
// 2 * count values) and every output value goes into the checksum.
class Program {
public:
    explicit Program(const Case& c) : m_case(c), m_rng{c.seed} {}

    template <typename Render>
    uint64_t Play(OPLL* chip, Render render, int32_t& peak)
    {
        if (m_case.toneSet)
            OPLL::SelectToneSet(chip, m_case.toneSet);
        Fnv fnv;
        peak = 0;
        int32_t buffer[2 * 2000];
        for (int done = 0; done < m_case.frames;) {
            Burst(chip);
            // Mostly driver-tick sized gaps, sometimes a long stretch.
            const int gap = m_rng.Below(4) == 0 ? 1 + static_cast<int>(m_rng.Below(2000))
                                                : 1 + static_cast<int>(m_rng.Below(220));
            const int count = std::min(gap, m_case.frames - done);
            render(chip, buffer, count);
            for (int i = 0; i < 2 * count; ++i) {
                fnv.Add(static_cast<uint32_t>(buffer[i]));
                peak = std::max(peak, std::abs(buffer[i]));
            }
            done += count;
        }
        return fnv.h;
    }

private:
    void Write(OPLL* chip, uint32_t reg, uint8_t value)
    {
        if (m_case.features & kPorts) {
            // Channel registers 0..6 also answer at 9..15 of their bank.
            const uint32_t bank = reg & 0xF0, c = reg & 0x0F;
            if (bank >= 0x10 && bank <= 0x30 && c <= 6 && m_rng.Below(2))
                reg += 9;
            OPLL::WritePort(chip, 0, static_cast<uint8_t>(reg));
            OPLL::WritePort(chip, 1, value);
        } else {
            OPLL::WriteReg(chip, reg, value);
        }
    }

    // One to six register changes, drawn from the case's features.
    void Burst(OPLL* chip)
    {
        const uint32_t f = m_case.features;
        if ((f & kTest) && m_testOn && m_rng.Below(3) == 0) {
            Write(chip, 0x0F, 0); // test bits last only a few bursts
            m_testOn = false;
        }
        for (int n = 1 + static_cast<int>(m_rng.Below(6)); n > 0; --n) {
            const uint32_t kind = m_rng.Below(8);
            const uint32_t c = m_rng.Below(9);
            if (kind <= 2 && (f & kMelodic)) {
                if (kind == 0)
                    Write(chip, 0x10 + c, static_cast<uint8_t>(m_rng.Next()));
                else if (kind == 1) // key on three times in four; sustain, block, F-number bit 8 at random
                {
                    const uint32_t bits = m_rng.Next() & 0x2F;
                    Write(chip, 0x20 + c, static_cast<uint8_t>(bits | (m_rng.Below(4) ? 0x10 : 0)));
                }
                else {
                    const uint32_t inst = (f & kUser) ? m_rng.Below(16) : 1 + m_rng.Below(15);
                    Write(chip, 0x30 + c, static_cast<uint8_t>((inst << 4) | m_rng.Below(16)));
                }
            } else if (kind == 3 && (f & kUser)) {
                // Value drawn first: the recorded programs were made that way.
                const auto value = static_cast<uint8_t>(m_rng.Next());
                Write(chip, m_rng.Below(8), value);
            } else if (kind == 4 && (f & kRhythm)) {
                if (m_rng.Below(4) == 0)
                    m_rhythmOn = !m_rhythmOn;
                Write(chip, 0x0E, static_cast<uint8_t>((m_rhythmOn ? 0x20 : 0) | m_rng.Below(32)));
            } else if (kind == 5 && (f & kTest)) {
                Write(chip, 0x0F, static_cast<uint8_t>(m_rng.Below(16)));
                m_testOn = true;
            } else if (kind == 6 && (f & (kPan | kFinePan))) {
                const uint32_t slot = m_rng.Below(16);
                if (f & kFinePan) {
                    static const float gains[] = {0.0f, 0.25f, 0.5f, 0.7071f, 0.9f, 1.0f, 1.0f, 1.0f};
                    chip->finePan[slot][m_rng.Below(2)] = gains[m_rng.Below(8)];
                }
                OPLL::SetPan(chip, slot, static_cast<uint8_t>((f & kPan) ? m_rng.Below(4) : 3));
            } else if (kind == 7 && (f & kToneSwitch) && m_rng.Below(4) == 0) {
                OPLL::SelectToneSet(chip, m_rng.Below(2) ? ToneSetYMF281B : ToneSetYM2413);
            } else if (f & kMelodic) { // key changes are the most common write
                Write(chip, 0x20 + c, static_cast<uint8_t>(m_rng.Next() & 0x3F));
            }
        }
    }

    const Case& m_case;
    Rng m_rng;
    bool m_rhythmOn = false;
    bool m_testOn = false;
};

// Per case: output rate, tone set, features, seed, length, how it is driven,
// and the recorded checksum.
const Case kCases[] = {
    {"melodic", 44100, ToneSetYM2413, kMelodic, 1, 88200, Drive::Render, 0x88f8afde59a255aaull},
    {"user patch", 44100, ToneSetYM2413, kMelodic | kUser, 2, 88200, Drive::Render, 0xcd94073954263c28ull},
    {"rhythm", 44100, ToneSetYM2413, kMelodic | kRhythm, 3, 88200, Drive::Render, 0xd68eebf103d7cdf9ull},
    {"user and rhythm", 44100, ToneSetYM2413, kMelodic | kUser | kRhythm | kPorts, 4, 88200, Drive::Render, 0x9c37d11ceaf100beull},
    {"YMF281B", 44100, ToneSetYMF281B, kMelodic | kUser | kRhythm, 5, 88200, Drive::Render, 0x95054fe4223faebdull},
    {"test register", 44100, ToneSetYM2413, kMelodic | kUser | kRhythm | kTest, 6, 88200, Drive::Render, 0x8827232517ba7745ull},
    {"pan", 44100, ToneSetYM2413, kMelodic | kRhythm | kPan, 7, 88200, Drive::Render, 0xbae592dd407448d8ull},
    {"fine pan", 44100, ToneSetYM2413, kMelodic | kUser | kRhythm | kFinePan, 8, 88200, Drive::Render, 0x657c2ead130dbdull},
    {"all 22050", 22050, ToneSetYM2413, kAll, 9, 44100, Drive::Render, 0x7feac3d86ba12d91ull},
    {"all 96000", 96000, ToneSetYM2413, kAll, 10, 192000, Drive::Render, 0x675bbb15b01ebcf4ull},
    {"all at chip rate", 49716, ToneSetYM2413, kAll, 11, 99432, Drive::Render, 0xc710b897affc8cbaull},
    {"all 8000", 8000, ToneSetYMF281B, kAll, 12, 16000, Drive::Render, 0x8908730a47e989cull},
    {"all 48000", 48000, ToneSetYMF281B, kAll, 13, 96000, Drive::Render, 0x9640af749d0c3992ull},
    {"step melodic", 44100, ToneSetYM2413, kMelodic | kUser, 14, 99432, Drive::Step, 0x20f2beac64038d28ull},
    {"step all", 44100, ToneSetYMF281B, kAll, 15, 99432, Drive::Step, 0x476fc85befa725afull},
    {"tone set switching", 44100, ToneSetYM2413, kMelodic | kRhythm | kToneSwitch, 16, 88200, Drive::Render, 0x36573e4ea94325b7ull},
};

// One output frame at a time, as the sound board used to call the chip.
void RenderPerFrame(OPLL* chip, int32_t* out, int count)
{
    for (int i = 0; i < count; ++i)
        OPLL::RenderStereo(chip, out + 2 * i);
}

// Chip samples straight from Step, two values per sample: a hash of the 14
// slot outputs, and the noise register.
void StepAndRecord(OPLL* chip, int32_t* out, int count)
{
    for (int i = 0; i < count; ++i) {
        OPLL::Step(chip);
        Fnv slots;
        for (int s = 0; s < 14; ++s)
            slots.Add(static_cast<uint16_t>(chip->slotOutputs[s]));
        out[2 * i] = static_cast<int32_t>(slots.h) & 0x7FFFFFFF;
        out[2 * i + 1] = static_cast<int32_t>(chip->noise);
    }
}

TEST(OpllGolden, VariedProgramsKeepTheirRecordedOutput)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        auto chip = MakeChip(c.rate);
        ASSERT_TRUE(chip);
        int32_t peak = 0;
        const uint64_t sum = c.drive == Drive::Step ? Program(c).Play(chip.get(), StepAndRecord, peak)
                                                    : Program(c).Play(chip.get(), RenderPerFrame, peak);
        if (c.drive == Drive::Render) {
            EXPECT_GT(peak, 2000); // the program is heard, not a checksum of silence
        }
        EXPECT_EQ(sum, c.checksum) << std::hex << "0x" << sum;
    }
}

TEST(OpllGolden, BlockRenderingGivesTheSameOutputAndState)
{
    for (const Case& c : kCases) {
        if (c.drive != Drive::Render)
            continue;
        SCOPED_TRACE(c.name);
        auto perFrame = MakeChip(c.rate);
        auto block = MakeChip(c.rate);
        int32_t peak = 0;
        const uint64_t expected = Program(c).Play(perFrame.get(), RenderPerFrame, peak);
        // Runs of 1..220 frames, split independently of the program's gaps.
        Rng split{c.seed * 7919};
        auto inRuns = [&](OPLL* chip, int32_t* out, int count) {
            while (count > 0) {
                const int run = std::min(count, 1 + static_cast<int>(split.Below(220)));
                OPLL::RenderStereoBlock(chip, out, static_cast<uint32_t>(run));
                out += 2 * run;
                count -= run;
            }
        };
        EXPECT_EQ(Program(c).Play(block.get(), inRuns, peak), expected);
        EXPECT_EQ(block->envelopeCounter, perFrame->envelopeCounter);
        EXPECT_EQ(block->timeAccumulator, perFrame->timeAccumulator);
        for (int n = 0; n < 18; ++n) {
            EXPECT_EQ(block->lanes.phase[n], perFrame->lanes.phase[n]) << n;
            EXPECT_EQ(block->operators[n].level, perFrame->operators[n].level) << n;
        }
        // Zero frames is nothing at all.
        const uint32_t counter = block->envelopeCounter;
        OPLL::RenderStereoBlock(block.get(), nullptr, 0);
        EXPECT_EQ(block->envelopeCounter, counter);
    }
}

} // namespace
