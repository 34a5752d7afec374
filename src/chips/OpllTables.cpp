#include "chips/OpllTables.h"

#include <atomic>
#include <cmath>
#include <iterator>
#include <mutex>
#include <numbers>

namespace {

std::once_flag s_once;
std::atomic<bool> s_built{false};

void BuildSine(OpllTables& t)
{
    for (int i = 0; i < 256; ++i) {
        double s = std::sin((i + 0.5) * std::numbers::pi / 512.0);
        t.fullSine[i] = static_cast<uint16_t>(std::lround(-std::log2(s) * 256.0));
    }
    for (int x = 0; x < 256; ++x)
        t.fullSine[256 + x] = t.fullSine[255 - x];
    for (int x = 0; x < 512; ++x)
        t.fullSine[512 + x] = t.fullSine[x] | 0x8000;
    for (int x = 0; x < 512; ++x) {
        t.halfSine[x] = t.fullSine[x];
        t.halfSine[512 + x] = 0x0FFF;
    }
}

void BuildExponent(OpllTables& t)
{
    for (int i = 0; i < 256; ++i)
        t.exponent[i] = static_cast<uint16_t>(std::lround((std::exp2(i / 256.0) - 1.0) * 1024.0));
}

// Operator output for a 16-bit sum i of wave entry and attenuation << 4:
// bits 7..0 index the exponent, bits 14..8 shift it, bit 15 is the sign.
int32_t OutputFormula(const OpllTables& t, uint32_t i)
{
    const int32_t r = static_cast<int32_t>((t.exponent[(i & 0xFF) ^ 0xFF] + 1024u) >> ((i >> 8) & 0x7F));
    return 2 * ((i & 0x8000) ? ~r : r);
}

void BuildOutput(OpllTables& t)
{
    constexpr int span = OpllTables::kOutputSpan;
    for (int x = 0; x < span; ++x) {
        t.signedOutput[x] = static_cast<int16_t>(OutputFormula(t, static_cast<uint32_t>(x)));
        t.signedOutput[OpllTables::kNegativeBase + x] =
            static_cast<int16_t>(OutputFormula(t, 0x8000u | static_cast<uint32_t>(x)));
    }
    // 0x0FFF plus any attenuation shifts the exponent away entirely.
    for (int x = OpllTables::kSilentBase; x < static_cast<int>(std::size(t.signedOutput)); ++x)
        t.signedOutput[x] = 0;
    auto index = [](uint16_t w) -> uint16_t {
        if (w == 0x0FFF)
            return OpllTables::kSilentBase;
        const uint16_t magnitude = w & 0x7FFF; // at most 2137
        return static_cast<uint16_t>((w & 0x8000) ? OpllTables::kNegativeBase + magnitude : magnitude);
    };
    for (int n = 0; n < 1024; ++n) {
        t.waveIndex[OpllTables::kWaveFull + n] = index(t.fullSine[n]);
        t.waveIndex[OpllTables::kWaveHalf + n] = index(t.halfSine[n]);
        t.waveIndex[OpllTables::kWaveSilent + n] = OpllTables::kSilentBase;
    }
}

void BuildTotalLevel(OpllTables& t)
{
    for (int block = 0; block < 8; ++block)
        for (int f = 0; f < 16; ++f) {
            // F-number's top four bits select the base; each octave below
            // block 7 lowers it by 6 dB.
            int a = static_cast<int>(kOpllKslBase[f] - 6.0 * (7 - block));
            for (int level = 0; level < 64; ++level)
                for (int k = 0; k < 4; ++k) {
                    uint32_t v = 2u * level;
                    if (k != 0 && a > 0)
                        v += static_cast<uint32_t>((8 * (a >> (3 - k))) / 3);
                    t.tll[(block << 4) | f][level][k] = v;
                }
        }
}

void BuildLfo(OpllTables& t)
{
    for (int i = 0; i < 16; ++i) {
        t.rks[i][1] = static_cast<uint8_t>(i);
        t.rks[i][0] = static_cast<uint8_t>(i >> 2);
    }
    for (int r = 0; r < 8; ++r) {
        const int8_t h = static_cast<int8_t>(r >> 1), f = static_cast<int8_t>(r);
        const int8_t row[8] = {0, h, f, h, 0, static_cast<int8_t>(-h), static_cast<int8_t>(-f),
                               static_cast<int8_t>(-h)};
        for (int c = 0; c < 8; ++c)
            t.pm[r][c] = row[c];
    }
    // Triangle: 0..12 eight samples each, 13 three times, 12..1 eight each, 0 seven times.
    int n = 0;
    for (int v = 0; v <= 12; ++v)
        for (int k = 0; k < 8; ++k)
            t.tremolo[n++] = static_cast<uint8_t>(v);
    for (int k = 0; k < 3; ++k)
        t.tremolo[n++] = 13;
    for (int v = 12; v >= 1; --v)
        for (int k = 0; k < 8; ++k)
            t.tremolo[n++] = static_cast<uint8_t>(v);
    for (int k = 0; k < 7; ++k)
        t.tremolo[n++] = 0;
}

void BuildToneSets(OpllTables& t)
{
    for (int set = 0; set < 3; ++set) {
        const uint8_t(*dump)[8] = OpllToneSetDump(set);
        if (!dump)
            continue;
        for (int n = 0; n < kOpllInstrumentCount; ++n)
            DecodeOpllInstrument(dump[n], t.toneSets[set][2 * n], t.toneSets[set][2 * n + 1]);
    }
}

} // namespace

static_assert(sizeof(OpllTables::tremolo) == 8 * 13 + 3 + 8 * 12 + 7);

void OpllTables::Build()
{
    std::call_once(s_once, [] {
        BuildSine(OpllTables::s_instance);
        BuildExponent(OpllTables::s_instance);
        BuildOutput(OpllTables::s_instance);
        BuildTotalLevel(OpllTables::s_instance);
        BuildLfo(OpllTables::s_instance);
        BuildToneSets(OpllTables::s_instance);
        s_built.store(true, std::memory_order_release);
    });
}

bool OpllTables::Built() { return s_built.load(std::memory_order_acquire); }

OpllTables OpllTables::s_instance;
