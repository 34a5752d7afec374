// Global FM tables and the decoded built-in instrument sets. The log-sine,
// exponent and vibrato tables are checked through the chip's output by the
// rule tests.
#include "chips/Opll.h"
#include "chips/OpllTables.h"

#include <gtest/gtest.h>

#include <array>

namespace {

const OpllTables& Tables()
{
    OpllTables::Build();
    return OpllTables::Get();
}

TEST(OpllTables, TotalLevelAddsKeyScaleAttenuation)
{
    const OpllTables& t = Tables();
    // {block, top F-number bits, level, KL, expected}: KL 0 adds nothing;
    // block 7 / bits 15 has a 42 dB base, block 4 / bits 8 18 dB, block 5 /
    // bits 3 trunc(27.75 - 12) = 15; a base of zero or below adds nothing.
    const uint32_t cases[][5] = {{7, 15, 37, 0, 74}, {7, 15, 0, 3, 112}, {7, 15, 0, 2, 56}, {7, 15, 10, 1, 46},
                                 {4, 8, 0, 3, 48},   {4, 8, 0, 1, 10},   {5, 3, 0, 3, 40},  {5, 3, 0, 1, 8},
                                 {0, 15, 5, 3, 10},  {1, 4, 5, 3, 10}};
    for (const auto& c : cases)
        EXPECT_EQ(t.tll[(c[0] << 4) | c[1]][c[2]][c[3]], c[4]) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
}

TEST(OpllTables, TremoloAndKeyScaleRateTables)
{
    const OpllTables& t = Tables();
    // 0..12 eight times each, 13 three times, 12..1 eight times each, 0 seven times.
    const int spots[][2] = {{0, 0}, {7, 0}, {8, 1}, {103, 12}, {104, 13}, {106, 13}, {107, 12}, {202, 1}, {203, 0}, {209, 0}};
    for (const auto& [index, value] : spots)
        EXPECT_EQ(t.tremolo[index], value) << index;

    EXPECT_EQ(t.rks[9][1], 9);
    EXPECT_EQ(t.rks[9][0], 2);
    EXPECT_EQ(t.rks[15][0], 3);
}

// Fields in declaration order: TL FB EG ML AR DR SL RR KR KL AM PM WS.
using Fields = std::array<uint32_t, 13>;
Fields F(const OpllPatch& p) { return {p.TL, p.FB, p.EG, p.ML, p.AR, p.DR, p.SL, p.RR, p.KR, p.KL, p.AM, p.PM, p.WS}; }
void ExpectPatch(const OpllPatch& p, Fields v) { EXPECT_EQ(F(p), v); }

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
    EXPECT_EQ(F(mod), Fields{});
    EXPECT_EQ(F(car), Fields{});
}

TEST(OpllToneSets, UserRegistersRewritePatchesUntilAToneSetIsSelected)
{
    OpllPtr chip(OPLL::Create(3579545, 44100));
    const uint8_t user[8] = {0x21, 0x01, 0x9F, 0xDD, 0x00, 0xA7, 0x3C, 0x00};
    for (uint32_t r = 0; r < 8; ++r)
        OPLL::WriteReg(chip.get(), r, user[r]);
    ExpectPatch(chip->patches[0], {31, 5, 1, 1, 0, 0, 3, 12, 0, 2, 0, 0, 1});
    ExpectPatch(chip->patches[1], {0, 0, 0, 1, 10, 7, 0, 0, 0, 3, 0, 0, 1});
    // Selecting a tone set clears the user patches but not the registers.
    OPLL::SelectToneSet(chip.get(), ToneSetYMF281B);
    EXPECT_EQ(F(chip->patches[0]), Fields{});
    EXPECT_EQ(chip->registers[0x02], 0x9F);
}

} // namespace
