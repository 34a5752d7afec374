// Global FM tables and the decoded built-in instrument sets.
#include "chips/Opll.h"
#include "chips/OpllTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

const OpllTables& Tables()
{
    OpllTables::Build();
    return OpllTables::Get();
}

TEST(OpllTables, LogSineHasQuarterValuesMirrorAndSign)
{
    const OpllTables& t = Tables();
    EXPECT_EQ(t.fullSine[0], 2137);
    EXPECT_EQ(t.fullSine[255], 0);
    EXPECT_EQ(t.fullSine[128], std::lround(-std::log2(std::sin(128.5 * std::numbers::pi / 512)) * 256));
    // Second quarter mirrors the first, negative half carries bit 15.
    EXPECT_EQ(t.fullSine[256], 0);
    EXPECT_EQ(t.fullSine[511], 2137);
    EXPECT_EQ(t.fullSine[300], t.fullSine[211]);
    EXPECT_EQ(t.fullSine[512], 2137 | 0x8000);
    EXPECT_EQ(t.fullSine[767], 0x8000);
    EXPECT_EQ(t.fullSine[1023], 2137 | 0x8000);
    for (int i = 0; i < 512; ++i) {
        EXPECT_EQ(t.halfSine[i], t.fullSine[i]);
        EXPECT_EQ(t.halfSine[512 + i], 0x0FFF);
    }
}

TEST(OpllTables, ExponentEnds)
{
    const OpllTables& t = Tables();
    EXPECT_EQ(t.exponent[0], 0);
    EXPECT_EQ(t.exponent[128], 424); // (sqrt 2 - 1) * 1024
    EXPECT_EQ(t.exponent[255], 1018);
}

TEST(OpllTables, TotalLevelAddsKeyScaleAttenuation)
{
    const OpllTables& t = Tables();
    auto at = [&](int block, int fTop, int level, int kl) { return t.tll[(block << 4) | fTop][level][kl]; };
    for (int level : {0, 1, 37, 63})
        EXPECT_EQ(at(7, 15, level, 0), 2u * level); // KL 0: no key scaling
    // Block 7, top F-number bits 15: base 42 dB.
    EXPECT_EQ(at(7, 15, 0, 3), 112u);
    EXPECT_EQ(at(7, 15, 0, 2), 56u);
    EXPECT_EQ(at(7, 15, 10, 1), 20u + 26u);
    // Block 4, bits 8: 36 - 18 = 18.
    EXPECT_EQ(at(4, 8, 0, 3), 48u);
    EXPECT_EQ(at(4, 8, 0, 2), 24u);
    EXPECT_EQ(at(4, 8, 0, 1), 10u);
    // Block 5, bits 3: trunc(27.75 - 12) = 15.
    EXPECT_EQ(at(5, 3, 0, 3), 40u);
    EXPECT_EQ(at(5, 3, 0, 1), 8u);
    // Zero or negative base: no key scaling.
    EXPECT_EQ(at(0, 15, 5, 3), 10u);
    EXPECT_EQ(at(1, 4, 5, 3), 10u);
}

TEST(OpllTables, LfoAndRateTables)
{
    const OpllTables& t = Tables();
    ASSERT_EQ(sizeof t.tremolo, 210u);
    // 0..12 eight times each, 13 three times, 12..1 eight times each, 0 seven times.
    const int spots[][2] = {{0, 0}, {7, 0}, {8, 1}, {103, 12}, {104, 13}, {106, 13}, {107, 12}, {202, 1}, {203, 0}, {209, 0}};
    for (const auto& [index, value] : spots)
        EXPECT_EQ(t.tremolo[index], value) << index;

    const int8_t row7[8] = {0, 3, 7, 3, 0, -3, -7, -3};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(t.pm[7][c], row7[c]);
        EXPECT_EQ(t.pm[0][c], 0);
    }
    EXPECT_EQ(t.rks[9][1], 9);
    EXPECT_EQ(t.rks[9][0], 2);
    EXPECT_EQ(t.rks[15][0], 3);
}

// Fields in declaration order: TL FB EG ML AR DR SL RR KR KL AM PM WS.
void ExpectPatch(const OpllPatch& p, std::initializer_list<uint32_t> v)
{
    ASSERT_EQ(v.size(), 13u);
    auto it = v.begin();
    EXPECT_EQ(p.TL, *it++);
    EXPECT_EQ(p.FB, *it++);
    EXPECT_EQ(p.EG, *it++);
    EXPECT_EQ(p.ML, *it++);
    EXPECT_EQ(p.AR, *it++);
    EXPECT_EQ(p.DR, *it++);
    EXPECT_EQ(p.SL, *it++);
    EXPECT_EQ(p.RR, *it++);
    EXPECT_EQ(p.KR, *it++);
    EXPECT_EQ(p.KL, *it++);
    EXPECT_EQ(p.AM, *it++);
    EXPECT_EQ(p.PM, *it++);
    EXPECT_EQ(p.WS, *it++);
}

TEST(OpllToneSets, BuiltInInstrumentsDecodeIntoChipPatches)
{
    OpllPtr chip(OPLL::Create(3579545, 44100));
    ASSERT_TRUE(chip);
    //           TL  FB EG ML  AR  DR SL RR KR KL AM PM WS
    // YM2413 instrument 1: 71 61 1E 17 D0 78 00 17
    ExpectPatch(chip->patches[2], {30, 7, 1, 1, 13, 0, 0, 0, 1, 0, 0, 1, 0});
    ExpectPatch(chip->patches[3], {0, 0, 1, 1, 7, 8, 1, 7, 0, 0, 0, 1, 1});
    // Instrument 11: 33 01 83 11 EA EF 10 04
    ExpectPatch(chip->patches[22], {3, 1, 1, 3, 14, 10, 1, 0, 1, 2, 0, 0, 0});
    ExpectPatch(chip->patches[23], {0, 0, 0, 1, 14, 15, 0, 4, 0, 0, 0, 0, 1});
    // Bass drum 01 01 18 0F DF F8 6A 6D
    ExpectPatch(chip->patches[32], {24, 7, 0, 1, 13, 15, 6, 10, 0, 0, 0, 0, 1});
    ExpectPatch(chip->patches[33], {0, 0, 0, 1, 15, 8, 6, 13, 0, 0, 0, 0, 0});

    OPLL::SelectToneSet(chip.get(), ToneSetYMF281B);
    // YMF281B instrument 2: 40 10 45 00 F6 83 73 63
    ExpectPatch(chip->patches[4], {5, 0, 0, 0, 15, 6, 7, 3, 0, 1, 0, 1, 0});
    ExpectPatch(chip->patches[5], {0, 0, 0, 0, 8, 3, 6, 3, 1, 0, 0, 0, 0});
    // Instrument 13: 35 64 00 00 FF F3 77 F5
    ExpectPatch(chip->patches[27], {0, 0, 1, 4, 15, 3, 15, 5, 0, 0, 0, 1, 0});
    // The user instrument of every set is all zero.
    ExpectPatch(chip->patches[0], {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});

    // An unknown set number leaves the patches as they are.
    OPLL::SelectToneSet(chip.get(), 1);
    ExpectPatch(chip->patches[27], {0, 0, 1, 4, 15, 3, 15, 5, 0, 0, 0, 1, 0});
}

TEST(OpllToneSets, DecodingIgnoresByteThreeBitFiveAndZeroesCarrierTlFb)
{
    const uint8_t dump[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    OpllPatch mod{}, car{};
    DecodeOpllInstrument(dump, mod, car);
    ExpectPatch(mod, {63, 7, 1, 15, 15, 15, 15, 15, 1, 3, 1, 1, 1});
    ExpectPatch(car, {0, 0, 1, 15, 15, 15, 15, 15, 1, 3, 1, 1, 1});
    const uint8_t bit5[8] = {0, 0, 0, 0x20, 0, 0, 0, 0};
    DecodeOpllInstrument(bit5, mod, car);
    ExpectPatch(mod, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ExpectPatch(car, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

} // namespace
