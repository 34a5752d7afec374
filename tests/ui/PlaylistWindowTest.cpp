// The playlist window on the offscreen platform.
#include <QGuiApplication>
#include <QImage>
#include <QListView>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <fstream>

#include "app/Settings.h"
#include "player/RecordingHost.h"
#include "ui/PlaylistWindow.h"

namespace
{

// Rows: 0 caption, 1 #1, 2 #2 [SE], 3 caption, 4 #4
const char* const kList = "; demo\n%start\nIntro\n#1\tone\t0:10\n#2\tbell [SE]\nMore\n#4\tfour\t1:00\n%end\n";

class PlaylistWindowTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        g_Settings.PlaylistPos = {};
        path = dir.filePath("list.lst").toStdString();
        std::ofstream(path, std::ios::binary) << kList;
        model.SetHost(&host);
        model.SetSettings(&settings);
        ASSERT_TRUE(model.Load(path));
        mainWindow.setGeometry(100, 100, 352, 160);
    }
    void TearDown() override { g_Settings.PlaylistPos = {}; }
    // Below the main window's frame: where a window without a saved place goes.
    QPoint DefaultPlace() const
    {
        const QRect m = mainWindow.frameGeometry();
        return {m.left(), m.top() + m.height()};
    }
    // A user's double-click: a click, then the second press.
    static void DoubleClick(QWidget* widget, QPoint at)
    {
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
        QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    }
    static QModelIndex Index(CPlaylistWindow& w, int row) { return w.List()->model()->index(row, 0); }
    static QPoint RowCenter(CPlaylistWindow& w, int row) { return w.List()->visualRect(Index(w, row)).center(); }
    // A shown window over the main window.
    std::unique_ptr<CPlaylistWindow> Show()
    {
        auto w = std::make_unique<CPlaylistWindow>(model, &mainWindow);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }

    QTemporaryDir dir;
    std::string path;
    RecordingHost host;
    CSettings settings;
    CPlaylist model;
    QWidget mainWindow;
};

TEST_F(PlaylistWindowTest, DoubleClickPlaysThatRowThroughTheMainWindowAndClosingOnlyHides)
{
    auto shown = Show();
    CPlaylistWindow& w = *shown;
    EXPECT_EQ(w.List()->model()->rowCount(), 5);
    EXPECT_EQ(w.List()->currentIndex().row(), 1); // the first playable row

    DoubleClick(w.List()->viewport(), RowCenter(w, 4));
    ASSERT_EQ(host.played.size(), 1u);
    EXPECT_EQ(host.played[0], std::make_pair(4, std::string("four")));
    EXPECT_EQ(model.Selection(), 4);

    DoubleClick(w.List()->viewport(), RowCenter(w, 3)); // caption
    EXPECT_EQ(host.played.size(), 1u);
    EXPECT_EQ(model.Selection(), 3);

    // The model moving the selection moves the list's.
    model.PlayPrev();
    EXPECT_EQ(w.List()->currentIndex().row(), 2);
    QTest::keyClick(w.List(), Qt::Key_Return);
    EXPECT_EQ(host.played.back(), std::make_pair(2, std::string("bell [SE]")));

    // Esc and closing only hide; Toggle shows it again.
    QTest::keyClick(w.List(), Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    w.Toggle();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.close()); // refused: only hidden
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(model.WindowExists()); // hidden, not destroyed: play times still known
    EXPECT_EQ(model.TimeOf(4), 600);
}

TEST_F(PlaylistWindowTest, SizeStartsAtTheMainFrameAndThePlaceIsRestoredOnlyWhereAScreenShowsIt)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    {
        CPlaylistWindow w(model, &mainWindow);
        const QSize frame = mainWindow.frameGeometry().size();
        EXPECT_EQ(w.size(), frame);
        // Without a saved place: below the main window.
        EXPECT_EQ(w.pos(), DefaultPlace());
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.move(screen.left() + 40, screen.top() + 30);
        w.resize(420, 300);
        g_Settings.PlaylistPos = {};
    } // destroyed: stored
    const SettingsRect stored = g_Settings.PlaylistPos;
    EXPECT_EQ(stored.right - stored.left, 420);
    {
        CPlaylistWindow w(model, &mainWindow);
        EXPECT_EQ(w.size(), QSize(420, 300));
        EXPECT_EQ(w.pos(), QPoint(stored.left, stored.top));
    }
    g_Settings.PlaylistPos = {screen.right() + 5000, 10, screen.right() + 5400, 300};
    CPlaylistWindow w(model, &mainWindow);
    EXPECT_EQ(w.pos(), DefaultPlace());
}

TEST_F(PlaylistWindowTest, RowsAreDrawnInTheSkinColours)
{
    auto shown = Show();
    CPlaylistWindow& w = *shown;
    auto pixelAt = [&](QPoint p) { return w.List()->viewport()->grab().toImage().pixelColor(p); };
    const QPoint belowRows(w.List()->viewport()->width() / 2, w.List()->viewport()->height() - 3);
    EXPECT_EQ(pixelAt(belowRows), QColor(80, 80, 80)); // built-in background
    EXPECT_EQ(pixelAt(QPoint(2, RowCenter(w, 1).y())), QGuiApplication::palette().color(QPalette::Highlight));

    PlaylistColors c;
    c.systemDefaults = false;
    c.background = ColorRef(0, 0, 64);
    c.font = ColorRef(255, 255, 0);
    c.highlight = ColorRef(200, 0, 0);
    c.highlightFont = ColorRef(255, 255, 255);
    w.SetColors(c);
    EXPECT_EQ(pixelAt(QPoint(2, RowCenter(w, 1).y())), QColor(200, 0, 0)); // selected row
    EXPECT_EQ(pixelAt(QPoint(2, RowCenter(w, 4).y())), QColor(0, 0, 64));
    EXPECT_EQ(pixelAt(belowRows), QColor(0, 0, 64));
    // Row 4's text is in the font colour.
    const QImage row4 = w.List()->viewport()->grab().toImage().copy(w.List()->visualRect(Index(w, 4)));
    int textPixels = 0;
    for (int y = 0; y < row4.height(); ++y)
        for (int x = 0; x < row4.width(); ++x)
            textPixels += row4.pixelColor(x, y).red() > 120 && row4.pixelColor(x, y).blue() < 60;
    EXPECT_GT(textPixels, 0);
}

TEST_F(PlaylistWindowTest, EditingFromTheKeyboardAndSaving)
{
    auto shown = Show();
    CPlaylistWindow& w = *shown;
    PlaylistNowPlaying now;
    w.SetNowPlayingSource([&] { return now; });
    QString answer;
    bool accept = true;
    w.SetTextPrompt([&](const QString&, QString& text) { return text = answer, accept; });

    QTest::keyClick(w.List(), Qt::Key_Insert); // nothing plays yet
    EXPECT_EQ(model.Entries().size(), 5u);
    EXPECT_FALSE(w.StatusText().isEmpty());

    now = {true, 9, 12340};
    answer = QString::fromUtf8("\xE6\x96\xB0\xE6\x9B\xB2"); // 新曲
    QTest::keyClick(w.List(), Qt::Key_Insert);
    ASSERT_EQ(model.Entries().size(), 6u);
    EXPECT_EQ(model.Selection(), 2); // after the selected row 1
    EXPECT_EQ(model.Entries()[2].code, 9);
    EXPECT_EQ(Index(w, 2).data().toString(),
              QString::fromUtf8("009  \xE6\x96\xB0\xE6\x9B\xB2"));

    QTest::keyClick(w.List(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(model.Entries()[2].playTime, 123);
    QTest::keyClick(w.List(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(model.Entries()[2].isSE, 1);
    QTest::keyClick(w.List(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(model.Selection(), 1);
    EXPECT_EQ(model.Entries()[1].code, 9);

    // Cancelled rename changes nothing; the time of another code is refused.
    accept = false;
    QTest::keyClick(w.List(), Qt::Key_F2);
    EXPECT_EQ(model.Entries()[1].name, "\xE6\x96\xB0\xE6\x9B\xB2 [SE]");
    accept = true;
    answer = "renamed";
    QTest::keyClick(w.List(), Qt::Key_F2);
    EXPECT_EQ(model.Entries()[1].name, "renamed");
    model.Select(5);
    QTest::keyClick(w.List(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(model.Entries()[5].playTime, 600);
    QTest::keyClick(w.List(), Qt::Key_Delete);
    EXPECT_EQ(model.Entries().size(), 5u);

    QTest::keyClick(w.List(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(model.IsModified());
    EXPECT_TRUE(w.StatusText().startsWith("Saved")) << w.StatusText().toStdString();

    // The Save button below the list does the same.
    model.Select(0);
    QTest::keyClick(w.List(), Qt::Key_F2);
    EXPECT_TRUE(model.IsModified());
    const auto buttons = w.findChildren<QToolButton*>();
    auto save = std::find_if(buttons.begin(), buttons.end(), [](auto* b) { return b->text() == "Save"; });
    ASSERT_NE(save, buttons.end());
    QTest::mouseClick(*save, Qt::LeftButton);
    EXPECT_FALSE(model.IsModified());
}

} // namespace
