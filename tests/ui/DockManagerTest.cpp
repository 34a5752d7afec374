// Docking on real Qt windows (offscreen, docking switched on as on X11;
// off, as on Wayland, nothing moves).
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "ui/DockManager.h"

namespace {

class DockManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screen = QGuiApplication::primaryScreen()->availableGeometry();
        main.setFixedSize(352, 192);
        main.move(screen.left() + 100, screen.top() + 100);
        main.show();
        dock.SetEnabled(true);
        dock.RegisterMain(&main);
        playlist.resize(352, 200);
        playlist.move(At(100, 292));  // frame positions throughout
        playlist.show();
        dock.Register(&playlist, true);
    }
    QPoint At(int x, int y) const { return screen.topLeft() + QPoint(x, y); }
    void Settle() { QTest::qWait(CDockManager::kSettleMs + 150); }

    QRect screen;
    QWidget main;
    QWidget playlist;
    CDockManager dock;
};

TEST_F(DockManagerTest, BodyDragSnapsToTheEdgeAndTakesATouchingPlaylistAlong)
{
    ASSERT_TRUE(dock.BeginDrag(At(150, 150)));  // grabbed 50, 50 into the window
    dock.DragTo(At(57, 150));                   // left edge 7 px from the edge
    EXPECT_EQ(main.pos(), At(0, 100));
    EXPECT_EQ(playlist.pos(), At(0, 292));
    dock.DragTo(At(61, 160));  // 11 px: no snap
    EXPECT_EQ(main.pos(), At(11, 110));
    EXPECT_EQ(playlist.pos(), At(11, 302));
    dock.EndDrag();

    // Dragged 30 px away, the playlist stays behind.
    playlist.move(At(11, 332));
    Settle();
    EXPECT_EQ(playlist.pos(), At(11, 332));
    ASSERT_TRUE(dock.BeginDrag(At(100, 150)));
    dock.DragTo(At(300, 150));
    dock.EndDrag();
    EXPECT_EQ(main.x(), screen.left() + 211);
    EXPECT_EQ(playlist.pos(), At(11, 332));
}

TEST_F(DockManagerTest, AWindowManagerMoveSnapsOnceItRests)
{
    QWidget equalizer;
    equalizer.resize(200, 150);
    equalizer.move(At(500, 300));
    equalizer.show();
    dock.Register(&equalizer);
    equalizer.move(At(7, 320));
    Settle();
    EXPECT_EQ(equalizer.pos(), At(0, 320));
}

TEST_F(DockManagerTest, DockingOffLeavesEveryPlaceAlone)
{
    dock.SetEnabled(false);
    EXPECT_FALSE(dock.BeginDrag(At(150, 150)));
    main.move(At(6, 100));
    Settle();
    EXPECT_EQ(main.pos(), At(6, 100));
    EXPECT_EQ(playlist.pos(), At(100, 292));
}

}  // namespace
