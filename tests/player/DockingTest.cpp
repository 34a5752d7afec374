// Window docking: the snapping rule, the targets each window allows, and
// the playlist that follows the main window.
#include <gtest/gtest.h>

#include <climits>

#include "player/DockGroup.h"

namespace {

const DockRect kScreen{0, 0, 1920, 1080};
const DockRect kWorkArea{0, 0, 1920, 1040};  // a 40 px panel at the bottom

struct SnapCase {
    const char* what;
    DockRect current, requested;
    std::vector<DockRect> targets;
    DockRect expected;
};

TEST(Docking, SnapRuleGivesTheExpectedRectangle)
{
    const std::vector<DockRect> screen{kScreen, kWorkArea};
    const SnapCase cases[] = {
        {"7 px from the screen's left edge snaps to 0", {50, 100, 150, 200}, {7, 100, 107, 200}, screen,
         {0, 100, 100, 200}},
        {"11 px from the left edge stays", {50, 100, 150, 200}, {11, 100, 111, 200}, screen, {11, 100, 111, 200}},
        {"bottom 6 px below the panel's edge snaps onto the work area", {500, 500, 600, 600},
         {500, 946, 600, 1046}, screen, {500, 940, 600, 1040}},
        {"top aligned with the screen still snaps to a window 8 px lower, right edge to its left",
         {300, 50, 400, 150}, {300, 0, 400, 100}, {kScreen, {405, 8, 600, 300}}, {305, 8, 405, 108}},
        {"nearest target wins on an axis", {200, 200, 300, 300}, {150, 200, 250, 300},
         {{0, 150, 142, 400}, {0, 150, 147, 400}}, {147, 200, 247, 300}},
        {"a tie keeps the earlier target", {200, 200, 300, 300}, {150, 200, 250, 300},
         {{0, 150, 146, 400}, {0, 150, 154, 400}}, {146, 200, 246, 300}},
        {"an edge already aligned everywhere does not move", {10, 10, 110, 110}, {0, 0, 100, 100}, {kScreen},
         {0, 0, 100, 100}},
        {"a target too far away on the other axis is ignored", {500, 500, 600, 600}, {500, 100, 600, 200},
         {{595, 400, 800, 600}}, {500, 100, 600, 200}},
        {"resizing by the right edge to 5 px of the main window's left aligns them", {100, 300, 300, 500},
         {100, 300, 395, 500}, {kScreen, kWorkArea, {400, 100, 752, 292}}, {100, 300, 400, 500}},
        {"resizing moves only the dragged edge, even when a fixed one is near a target", {5, 300, 300, 500},
         {5, 300, 1915, 500}, {kScreen}, {5, 300, 1920, 500}},
        {"a resized left edge snaps to a window's right edge", {300, 300, 500, 500}, {256, 300, 500, 500},
         {{100, 250, 250, 450}}, {250, 300, 500, 500}},
        {"no change requested, nothing snaps", {3, 3, 103, 103}, {3, 3, 103, 103}, {kScreen}, {3, 3, 103, 103}},
        {"rectangles at the ends of the integer range do not overflow", {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
         {INT_MIN + 5, INT_MIN, INT_MAX, INT_MAX}, {kScreen, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
         {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
    };
    for (const SnapCase& c : cases)
        EXPECT_EQ(SnapDockRect(c.requested, c.current, c.targets, DockSettings{}.distance), c.expected) << c.what;
}

// (Which switches a moving window turns off is checked on the group below.)
TEST(Docking, TargetsAreTheScreenItsWorkAreaThenTheOtherWindows)
{
    const std::vector<DockRect> others{{1, 2, 3, 4}};
    EXPECT_EQ(CollectDockTargets(DockSettings{}, kScreen, kWorkArea, others, 2),
              (std::vector<DockRect>{kScreen, kWorkArea, others[0]}));
    EXPECT_EQ(CollectDockTargets(DockSettings{}, kScreen, kWorkArea, {}, 1),
              (std::vector<DockRect>{kScreen, kWorkArea}));
}

class FakeWindow : public IDockWindow {
public:
    explicit FakeWindow(DockRect r) : rect(r) {}
    bool DockVisible() const override { return visible; }
    DockRect DockFrame() const override { return rect; }
    void DockMoveTo(int32_t left, int32_t top) override
    {
        rect = {left, top, left + rect.Width(), top + rect.Height()};
    }
    void MoveBy(int32_t dx, int32_t dy) { DockMoveTo(rect.left + dx, rect.top + dy); }
    DockRect rect;
    bool visible = true;
};

class DockGroupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        group.Register(&main);
        group.Register(&playlist);
        group.Register(&equalizer);
        group.Register(&main);  // once only
        group.SetMain(&main);
        group.SetPlaylist(&playlist);
    }
    // One drag of the main window in a few steps.
    void DragMain(int32_t dx, int32_t dy, int steps = 4)
    {
        group.BeginMainMove();
        for (int i = 0; i < steps; ++i) {
            main.MoveBy(dx / steps, dy / steps);
            group.MainMoved();
        }
        group.EndMainMove();
    }
    FakeWindow main{{100, 100, 452, 292}};
    FakeWindow playlist{{100, 292, 452, 600}};
    FakeWindow equalizer{{1000, 100, 1300, 300}};
    CDockGroup group;
};

// (A playlist under the main window following it is checked on real windows.)
TEST_F(DockGroupTest, NarrowerPlaylistTouchingTheSideFollows)
{
    EXPECT_EQ(group.RegisteredCount(), 3);
    playlist.rect = {452, 150, 700, 250};  // right of the main window, within its height
    DragMain(0, 40);
    EXPECT_EQ(playlist.rect, (DockRect{452, 190, 700, 290}));
}

TEST_F(DockGroupTest, MoveSwitchesSnappingOffAndBackOn)
{
    // While moving, the main window snaps to no window (its own playlist
    // included) and the playlist to nothing.
    const DockRect up{100, 95, 452, 287}, nearEdge{5, 292, 357, 600};
    group.BeginMainMove();
    EXPECT_TRUE(group.Following());
    EXPECT_TRUE(group.Settings(&main)->snapScreen);
    EXPECT_EQ(group.Snap(&main, up, main.rect, kScreen, kWorkArea), up);
    EXPECT_EQ(group.Snap(&playlist, nearEdge, playlist.rect, kScreen, kWorkArea), nearEdge);
    group.EndMainMove();
    EXPECT_FALSE(group.Following());
    EXPECT_EQ(group.Snap(&main, up, main.rect, kScreen, kWorkArea), main.rect);
    EXPECT_EQ(group.Snap(&playlist, nearEdge, playlist.rect, kScreen, kWorkArea).left, 0);
}

TEST_F(DockGroupTest, HiddenOrForgottenWindowsAreNeitherTargetsNorFollowers)
{
    const DockRect nearEqualizer{700, 250, 995, 350};  // resize toward the equalizer's left edge
    const DockRect before{700, 250, 900, 350};
    EXPECT_EQ(group.Snap(&playlist, nearEqualizer, before, kScreen, kWorkArea).right, 1000);
    equalizer.visible = false;
    EXPECT_EQ(group.Snap(&playlist, nearEqualizer, before, kScreen, kWorkArea).right, 995);

    playlist.visible = false;
    group.BeginMainMove();
    EXPECT_FALSE(group.Following());
    EXPECT_TRUE(group.Settings(&playlist)->snapScreen);
    group.EndMainMove();

    playlist.visible = true;
    group.Forget(&playlist);
    DragMain(10, 10);
    EXPECT_EQ(playlist.rect.left, 100);
    EXPECT_EQ(group.Settings(&playlist), nullptr);
    FakeWindow stranger{{0, 0, 10, 10}};
    const DockRect r{5, 5, 15, 15};
    EXPECT_EQ(group.Snap(&stranger, r, stranger.rect, kScreen, kWorkArea), r);
}

}  // namespace
