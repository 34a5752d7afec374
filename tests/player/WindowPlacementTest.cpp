// Remembered window rectangles are restored only where a screen shows them.
#include <gtest/gtest.h>

#include "player/WindowPlacement.h"

namespace {

TEST(WindowPlacementTest, RestoresOnlyRectanglesAScreenShows)
{
    const std::vector<ScreenRect> twoScreens = {{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};
    struct Case {
        SettingsRect rect;
        bool visible;
    } cases[] = {
        {{100, 100, 454, 319}, true},
        {{2000, 500, 2354, 719}, true},     // on the second screen
        {{5000, 100, 5354, 319}, false},    // the monitor that was unplugged
        {{-340, 100, 14, 319}, false},      // 14 pixels peek out: not enough
        {{-322, 100, 32, 319}, true},       // 32 pixels: just enough
        {{-323, 100, 31, 319}, false},
        {{-300, -200, 54, 19}, false},      // only 19 rows down
        {{1850, 1000, 2204, 1219}, true},   // a 70 x 80 corner of the first screen
        {{1900, 1000, 2254, 1219}, false},  // 20 px on one screen, 24 rows on the other
        {{0, 0, 0, 0}, false},              // never saved
        {{500, 500, 400, 600}, false},      // inverted
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, true},  // huge, but covers a screen
        {{10, 10, 30, 20}, true},           // smaller than the span, wholly shown
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRectVisibleOnScreens(c.rect, twoScreens), c.visible)
            << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
    EXPECT_FALSE(IsRectVisibleOnScreens({100, 100, 454, 319}, {}));
}

}  // namespace
