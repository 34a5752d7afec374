// The main window with a real render thread and a demo ROM.
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include <fstream>

#include "MainWindowFixture.h"
#include "ModalAnswer.h"
#include "support/TestFiles.h"
#include "ui/LoadRomDialog.h"
#include "ui/PlaylistWindow.h"

namespace {

class MainWindowTest : public MainWindowFixture {
protected:
    void Click(int32_t id, Qt::MouseButton button = Qt::LeftButton)
    {
        const int s = m_window->DoubleSize() ? 2 : 1;
        QTest::mouseClick(m_window.get(), button, {}, m_window->Button(id)->rect.center() * s);
        QCoreApplication::processEvents();
        m_thread.WaitCommand();  // one mailbox slot: let the thread take it
    }
    bool Enabled(int32_t id) const { return m_window->Button(id)->Enabled(); }
    // The demo ROM in ROMS/ and its playlist in LISTS/.
    void AddRomAndLists()
    {
        fs::create_directories(m_folder / "ROMS");
        fs::copy_file(kDemoRom, m_folder / "ROMS/demo-opll-type40.bin");
        fs::copy(fs::path(KELVARA_SOURCE_DIR) / "examples/lists", m_folder / "LISTS", fs::copy_options::recursive);
    }
    // Sends a context-menu request at `at`; true when the body's menu opened.
    bool ContextMenuAt(QPoint at)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, m_window->mapToGlobal(at));
        QCoreApplication::sendEvent(m_window.get(), &event);
        QCoreApplication::processEvents();
        return m_window->PopupMenu()->isVisible();
    }
};

TEST_F(MainWindowTest, ButtonsWakeWithTheFirstRomAndPlayNextRecordReachTheThread)
{
    CMainWindow& w = Open();
    EXPECT_EQ(w.size(), QSize(352, 192));
    const int32_t transport[] = {CmdIdRecord, CmdIdPlay, CmdIdPause, CmdIdStop, CmdIdNext, CmdIdPrev};
    for (int32_t id : transport)
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(CmdIdLoadRom));
    Click(CmdIdPlay);  // disabled: nothing happens
    EXPECT_EQ(w.Transport().State(), TransportState::None);

    ASSERT_TRUE(w.LoadRomFile(kDemoRom));
    EXPECT_TRUE(m_thread.IsRunning());
    for (int32_t id : transport)
        EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_EQ(w.Transport().State(), TransportState::Stopped);

    Click(CmdIdRecord);
    EXPECT_TRUE(w.Button(CmdIdRecord)->On());
    Click(CmdIdPlay);
    EXPECT_EQ(w.Transport().State(), TransportState::Playing);
    EXPECT_TRUE(PumpUntil([&] { return m_device.IsPlaying() && m_thread.GetPlayTime() > 0; }));
    Click(CmdIdNext);
    EXPECT_EQ(w.Transport().CurrentCode(), 1);
    EXPECT_TRUE(PumpUntil([&] {
        int32_t l = 0, r = 0;
        m_thread.GetLevels(l, r);
        return l > 0;  // code 1 is a tune
    }));
    Click(CmdIdRecord);  // off: the file is closed with its sizes
    EXPECT_FALSE(w.Button(CmdIdRecord)->On());
    m_thread.WaitCommand();
    const fs::path wav = m_folder / "demo-opll-type40.wav";
    ASSERT_TRUE(fs::exists(wav));
    EXPECT_GT(fs::file_size(wav), 44u + 880u * 199u);

    Click(CmdIdStop);
    EXPECT_EQ(w.Transport().State(), TransportState::Stopped);
    EXPECT_FALSE(m_device.IsPlaying());
}

TEST_F(MainWindowTest, KeysStepCodesAndToggleAutoplay)
{
    CMainWindow& w = Open();
    QTest::keyClick(&w, Qt::Key_A, Qt::ControlModifier);  // works without a ROM
    EXPECT_EQ(g_Settings.AutoPlay, 1);
    EXPECT_TRUE(w.Button(CmdIdAutoPlay)->On());
    Click(CmdIdAutoPlay);
    EXPECT_EQ(g_Settings.AutoPlay, 0);

    ASSERT_TRUE(w.LoadRomFile(kDemoRom));
    QTest::keyClick(&w, Qt::Key_Up);  // Prev at 0 plays 255
    EXPECT_EQ(w.Transport().CurrentCode(), 255);
    QTest::keyClick(&w, Qt::Key_Right);
    QTest::keyClick(&w, Qt::Key_Right);
    EXPECT_EQ(w.Transport().CurrentCode(), 1);
    QTest::keyClick(&w, Qt::Key_Left);
    QTest::keyClick(&w, Qt::Key_Down);
    EXPECT_EQ(w.Transport().CurrentCode(), 1);
    QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(w.Button(CmdIdRecord)->On());
}

TEST_F(MainWindowTest, UnknownFileKeepsTheRunningRomAndSaysWhy)
{
    CMainWindow& w = Open();
    ASSERT_TRUE(w.LoadRomFile(kDemoRom));
    const fs::path junk = m_folder / "junk.bin";
    std::ofstream(junk, std::ios::binary) << std::string(8192, 'x');
    EXPECT_FALSE(w.LoadRomFile(junk.string()));
    EXPECT_FALSE(w.LoadRomFile((m_folder / "missing.bin").string()));
    EXPECT_FALSE(w.LoadRomFile(m_folder.string()));  // a folder
    ASSERT_EQ(m_messages.size(), 3u);
    EXPECT_EQ(m_messages[0], "Error: Unknown ROM image.");
    EXPECT_EQ(m_messages[1], "Error: File not found.");
    EXPECT_TRUE(m_thread.IsRunning());
}

TEST_F(MainWindowTest, DoubleSizeScalesWindowAndHitAreas)
{
    CMainWindow& w = Open();
    w.SetDoubleSize(true);
    EXPECT_EQ(w.size(), QSize(704, 384));
    EXPECT_EQ(g_Settings.DoubleSize, 1);
    Click(CmdIdAutoPlay);
    EXPECT_EQ(g_Settings.AutoPlay, 1);
    // The left half of the doubled Autoplay button is the body at normal size.
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(316, 10) + QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(g_Settings.AutoPlay, 1);
}

TEST_F(MainWindowTest, MissingDeviceAndAbsurdRateFallBackAndAFailedChangeKeepsTheDevice)
{
    g_Settings.DeviceGUID.Data1 = 0x12345678;  // a device that is not there
    g_Settings.SamplingRate = -5;
    CMainWindow& w = Open();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(g_Settings.SamplingRate, 44100);
    EXPECT_EQ(g_Settings.DeviceGUID, SettingsGuid{});
    ASSERT_TRUE(w.LoadRomFile(kDemoRom));

    // A rate change stops but keeps the ROM and ends the recording.
    Click(CmdIdRecord);
    Click(CmdIdPlay);
    ASSERT_TRUE(w.ApplyOutputChange(DeviceGuid{}, 22050));
    EXPECT_EQ(m_device.BlockBytes(), 440);
    EXPECT_TRUE(m_thread.IsRunning());
    EXPECT_EQ(w.Transport().State(), TransportState::Stopped);
    EXPECT_FALSE(w.Button(CmdIdRecord)->On());
    Click(CmdIdPlay);  // and it plays at the new rate
    EXPECT_TRUE(PumpUntil([&] { return m_device.IsPlaying() && m_thread.GetPlayTime() > 0; }));

    // A device that cannot be opened keeps the one in use.
    DeviceGuid gone{};
    gone[0] = 0x5A;
    EXPECT_FALSE(w.ApplyOutputChange(gone, 22050));
    EXPECT_EQ(g_Settings.DeviceGUID, SettingsGuid{});
    EXPECT_TRUE(m_device.HasBuffer());
    EXPECT_FALSE(m_messages.empty());
}

TEST_F(MainWindowTest, FrameShowsDashesWithoutRomAndCodeDigitsWithOne)
{
    CMainWindow& w = Open();
    const QImage before = w.Frame();
    ASSERT_TRUE(w.LoadRomFile(kDemoRom));
    w.PlayCodeAt(3);
    const QImage after = w.Frame();
    // Units digit: dash, then 3; plain background unchanged; info lines only with a ROM.
    EXPECT_NE(before.copy(88, 12, 16, 22), after.copy(88, 12, 16, 22));
    EXPECT_EQ(before.copy(40, 150, 100, 8), after.copy(40, 150, 100, 8));
    EXPECT_NE(before.copy(135, 130, 201, 15), after.copy(135, 130, 201, 15));
}

TEST_F(MainWindowTest, MouseStatesAndCommandOnlyOnReleaseOverTheButton)
{
    CMainWindow& w = Open();
    ASSERT_TRUE(w.LoadRomFile(kDemoRom));
    const QPoint play = w.Button(CmdIdPlay)->rect.center();
    const QPoint stop = w.Button(CmdIdStop)->rect.center();
    const auto image = [&](int32_t id) { return ButtonImageIndex(w.Button(id)->kind, w.Button(id)->state); };

    QTest::mousePress(&w, Qt::LeftButton, {}, play);
    EXPECT_EQ(image(CmdIdPlay), 1);  // pressed
    // Dragged onto Stop and let go there: Stop runs, not Play.
    QMouseEvent move(QEvent::MouseMove, QPointF(stop), w.mapToGlobal(QPointF(stop)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &move);
    EXPECT_EQ(image(CmdIdPlay), 0);
    EXPECT_EQ(image(CmdIdStop), 1);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, stop);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.Transport().State(), TransportState::Stopped);

    // Pressed on Record, released on the body: nothing, and it stays off.
    QTest::mousePress(&w, Qt::LeftButton, {}, w.Button(CmdIdRecord)->rect.center());
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(200, 100));
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.Transport().Recording());
    EXPECT_EQ(image(CmdIdRecord), 0);
}

TEST_F(MainWindowTest, AFileDropLoadsAndOnlyABodyRightClickOpensTheMenu)
{
    CMainWindow& w = Open();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDemoRom))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &drop);
    EXPECT_TRUE(PumpUntil([&] { return m_thread.IsRunning(); }));
    EXPECT_TRUE(w.Button(CmdIdPlay)->Enabled());

    // With a ROM, Play is a button again, not body.
    EXPECT_FALSE(ContextMenuAt(w.Button(CmdIdPlay)->rect.center()));
    EXPECT_FALSE(ContextMenuAt(w.Button(CmdIdLoadRom)->rect.center()));
    ContextMenuAt(QPoint(200, 100));
    ASSERT_TRUE(PumpUntil([&] { return w.PopupMenu()->isVisible(); }));
    QAction* builtin = w.PopupMenu()->actions().front()->menu()->actions().front();
    EXPECT_TRUE(builtin->isChecked());
    w.PopupMenu()->hide();
}

// The example skins, Pocket LCD with a 0-byte background.
TEST_F(MainWindowTest, SkinsAreListedAppliedAndBrokenOnesFallBack)
{
    fs::copy(fs::path(KELVARA_SOURCE_DIR) / "examples/skins", m_folder / "Skins", fs::copy_options::recursive);
    std::ofstream(m_folder / "Skins/PocketLCD/background.bmp", std::ios::trunc);

    g_Settings.SkinName = "amber night";  // applied at start-up, case aside
    CMainWindow& w = Open();
    ASSERT_EQ(w.Skins().size(), 2u);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.SkinId(), CmdIdSkinFirst + 1);
    EXPECT_EQ(g_Settings.SkinName, "Amber Night");

    w.RunCommand(CmdIdPlaylist);
    ASSERT_NE(w.PlaylistWindow(), nullptr);
    const PlaylistColors& colors = w.PlaylistWindow()->Colors();
    EXPECT_FALSE(colors.systemDefaults);
    const QImage amber = w.Frame();

    w.RunCommand(CmdIdSkinFirst + 2);  // broken: the built-in look
    EXPECT_EQ(w.SkinId(), CmdIdSkinFirst);
    EXPECT_EQ(g_Settings.SkinName, "Default");
    EXPECT_TRUE(colors.systemDefaults);
    EXPECT_NE(amber.pixel(200, 100), w.Frame().pixel(200, 100));
}

TEST_F(MainWindowTest, PlaylistDrivesTheTransportAndItsWindow)
{
    AddRomAndLists();
    CMainWindow& w = Open();
    ASSERT_TRUE(w.LoadRomFile((m_folder / "ROMS/demo-opll-type40.bin").string()));
    ASSERT_NE(w.PlaylistWindow(), nullptr);  // a list with rows shows its window
    EXPECT_TRUE(w.PlaylistWindow()->isVisible());
    EXPECT_TRUE(w.Transport().PlaylistMode());

    Click(CmdIdPlay);  // plays the selected row, the first playable one
    EXPECT_EQ(w.Transport().CurrentCode(), 1);
    EXPECT_EQ(w.Transport().Title(), "\u266AReel Walk");
    EXPECT_EQ(w.Transport().PlayTime(), 200);
    Click(CmdIdNext);
    EXPECT_EQ(w.Transport().CurrentCode(), 2);
    EXPECT_EQ(w.Transport().PlayTime(), 45);

    QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(w.PlaylistWindow()->isVisible());
    QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(w.PlaylistWindow()->isVisible());
    w.close();
    EXPECT_EQ(w.PlaylistWindow(), nullptr);
    EXPECT_EQ(g_Settings.PlaylistVisible, 1);
}

// Answers the next question box with `button`, then closes the window.
void CloseAnswering(CMainWindow& w, QMessageBox::StandardButton button)
{
    AnswerNextModal<QMessageBox>([button](QMessageBox* box) { box->button(button)->click(); });
    w.close();
}

TEST_F(MainWindowTest, ClosingAsksAboutUnsavedPlaylistEditsAndLosesNone)
{
    CMainWindow& w = Open();
    fs::create_directories(m_folder / "LISTS");
    const fs::path a = m_folder / "LISTS/a.lst", b = m_folder / "LISTS/b.lst";
    std::ofstream(a) << "%start\n#1\tone\n";
    std::ofstream(b) << "%start\n#2\ttwo\n";
    CPlaylist& list = w.Playlist();
    list.Load(a.string());
    list.RenameRow(0, "edited a");
    list.Load(b.string());  // a's edits are put aside, not lost
    list.RenameRow(0, "edited b");
    EXPECT_EQ(list.UnsavedFiles(), (std::vector<std::string>{b.string(), a.string()}));

    CloseAnswering(w, QMessageBox::Cancel);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(list.UnsavedFiles().size(), 2u);

    // a cannot be replaced (a folder took its name): b is saved, a keeps
    // its edits, the window stays open and says why.
    fs::remove(a);
    fs::create_directories(a / "in-the-way");
    CloseAnswering(w, QMessageBox::Save);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(list.UnsavedFiles(), std::vector<std::string>{a.string()});
    EXPECT_NE(testfiles::ReadText(b).find("#2\tedited b"), std::string::npos);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].startsWith("Error: Cannot replace")) << m_messages[0].toStdString();

    // Discard closes without writing anything.
    fs::remove_all(a);
    CloseAnswering(w, QMessageBox::Discard);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(fs::exists(a));
}

TEST_F(MainWindowTest, AutoplayPicksAPresentRomAtStartAndLoadDialogToggles)
{
    AddRomAndLists();
    g_Settings.AutoPlay = 1;
    CMainWindow& w = Open(true);  // posts Play: autoplay loads a ROM
    EXPECT_TRUE(PumpUntil([&] { return m_thread.IsRunning() && w.Transport().State() == TransportState::Playing; }));
    EXPECT_EQ(w.Transport().CurrentCode(), 1);  // and plays the list's first row

    w.RunCommand(CmdIdLoadRom);
    ASSERT_NE(w.LoadRomDialog(), nullptr);
    EXPECT_TRUE(w.LoadRomDialog()->isVisible());
    w.RunCommand(CmdIdLoadRom);
    EXPECT_FALSE(w.LoadRomDialog()->isVisible());
}

}  // namespace
