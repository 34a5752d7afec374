// Decoding of the eight instrument bytes into the two operators' patches.
// The tables and the built-in tone sets are pinned by the recorded programs
// (OpllGoldenTest) and checked against their rules by OpllRulesTest.
#include "chips/OpllPatch.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// Fields in declaration order: TL FB EG ML AR DR SL RR KR KL AM PM WS.
using Fields = std::array<uint32_t, 13>;
Fields F(const OpllPatch& p) { return {p.TL, p.FB, p.EG, p.ML, p.AR, p.DR, p.SL, p.RR, p.KR, p.KL, p.AM, p.PM, p.WS}; }

TEST(OpllToneSets, DecodingSplitsTheBytesIgnoresByteThreeBitFiveAndZeroesCarrierTlFb)
{
    OpllPatch mod{}, car{};
    // YM2413 instrument 1: 71 61 1E 17 D0 78 00 17.
    const uint8_t violin[8] = {0x71, 0x61, 0x1E, 0x17, 0xD0, 0x78, 0x00, 0x17};
    DecodeOpllInstrument(violin, mod, car);
    EXPECT_EQ(F(mod), (Fields{30, 7, 1, 1, 13, 0, 0, 0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(F(car), (Fields{0, 0, 1, 1, 7, 8, 1, 7, 0, 0, 0, 1, 1}));
    const uint8_t ones[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    DecodeOpllInstrument(ones, mod, car);
    EXPECT_EQ(F(mod), (Fields{63, 7, 1, 15, 15, 15, 15, 15, 1, 3, 1, 1, 1}));
    EXPECT_EQ(F(car), (Fields{0, 0, 1, 15, 15, 15, 15, 15, 1, 3, 1, 1, 1}));
    const uint8_t bit5[8] = {0, 0, 0, 0x20, 0, 0, 0, 0};
    DecodeOpllInstrument(bit5, mod, car);
    EXPECT_EQ(F(mod), Fields{});
    EXPECT_EQ(F(car), Fields{});
}

} // namespace
