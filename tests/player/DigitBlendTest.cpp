// Digit cell positions and the per-channel blend of a glyph over the
// background, on known pixels. (Blending whole cells is checked where the
// skin draws its digits.)
#include <gtest/gtest.h>

#include "player/DigitBlend.h"

namespace {

TEST(DigitPositions, DefaultAndWideStepsPlaceEveryCell)
{
    EXPECT_EQ(DigitPositions(17).x, (std::array<int32_t, 9>{54, 71, 88, 105, 122, 139, 156, 173, 190}));
    // Wider digits: code at 54, 75, 96 and the colon at (21 + 9) * 6.
    EXPECT_EQ(DigitPositions(21).x, (std::array<int32_t, 9>{54, 75, 96, 117, 138, 159, 180, 201, 222}));
}

TEST(DigitBlend, EachModeWorksOnEveryChannelSeparately)
{
    // background r 0x10 g 0x20 b 0x30; glyph r 0xF0 g 0x10 b 0x09
    const uint32_t b = 0xFF102030, d = 0x00F01009;
    const struct {
        int32_t mode;
        uint32_t expected;
    } cases[] = {
        {DigitBlendAdd, 0xFFFF3039},       // red saturates at 255
        {DigitBlendSubtract, 0xFF001027},  // red stops at 0
        {DigitBlendAverage, 0xFF80181C},   // (0x30 + 0x09) / 2 rounds down
        {DigitBlendOpaque, 0xFFF01009},
        {7, 0xFFF01009},  // unknown modes draw the glyph as it is
        {-1, 0xFFF01009},
        {4, 0xFFF01009},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BlendDigitPixel(b, d, c.mode), c.expected) << "mode " << c.mode;
    // No carry from one channel into the next.
    EXPECT_EQ(BlendDigitPixel(0xFF80FFFF, 0x00FF01FF, DigitBlendAdd), 0xFFFFFFFFu);
    EXPECT_EQ(BlendDigitPixel(0xFF000100, 0x00000001, DigitBlendSubtract), 0xFF000100u);
}

}  // namespace
