// The equalizer and options dialogs and the media controls on a real main
// window (offscreen, SDL's dummy audio).
#include <QGuiApplication>
#include <QScreen>
#include <QSlider>

#include "MainWindowFixture.h"
#include "ModalAnswer.h"
#include "ui/DockManager.h"
#include "ui/EqResponseView.h"
#include "ui/EqualizerDialog.h"
#include "ui/OptionsDialog.h"

namespace {

class PlayerExtrasTest : public MainWindowFixture {
protected:
    int DeviceRate() const
    {
        int rate = 0, bits = 0;
        m_device.GetFormat(rate, bits);
        return rate;
    }
};

TEST_F(PlayerExtrasTest, CtrlGTogglesTheEqualizerWhoseSlidersAreHeard)
{
    CMainWindow& w = Open();
    EXPECT_EQ(m_extras->EqualizerDialog(), nullptr);
    QTest::keyClick(&w, Qt::Key_G, Qt::ControlModifier);
    QCoreApplication::processEvents();
    CEqualizerDialog* eq = m_extras->EqualizerDialog();
    ASSERT_NE(eq, nullptr);
    EXPECT_TRUE(eq->isVisible());
    EXPECT_EQ(eq->parentWidget(), &w);

    EXPECT_EQ(m_extras->DockManager()->Group().RegisteredCount(), 2);  // it docks
    eq->Slider(2)->setValue(-7);
    EXPECT_EQ(m_thread.GetEqualizerGain(2), -7.0);

    w.activateWindow();
    QTest::keyClick(&w, Qt::Key_G, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_FALSE(eq->isVisible());
    w.RunCommand(CmdIdEqualizer);
    EXPECT_TRUE(eq->isVisible());
    EXPECT_EQ(m_extras->EqualizerDialog(), eq);
}

TEST_F(PlayerExtrasTest, OptionsReCreateTheOutputOnlyForANewRate)
{
    g_Settings.SamplingRate = 22050;
    CMainWindow& w = Open();
    ASSERT_TRUE(w.LoadRomFile(kDemoRom));
    EXPECT_EQ(DeviceRate(), 22050);
    w.RunCommand(CmdIdEqualizer);

    // OK on the unchanged dialog: 22050 is not offered, 44100 is chosen.
    AnswerNextModal<COptionsDialog>([](COptionsDialog* d) { d->accept(); });
    w.RunCommand(CmdIdOption);
    EXPECT_EQ(DeviceRate(), 44100);
    EXPECT_EQ(g_Settings.SamplingRate, 44100);
    EXPECT_TRUE(m_thread.IsRunning());  // the ROM stays loaded
    EXPECT_EQ(m_extras->EqualizerDialog()->ResponseView()->SampleRate(), 44100);

    // OK without changes keeps the device.
    const uint64_t played = m_device.GetPlayedBytes();
    AnswerNextModal<COptionsDialog>([](COptionsDialog* d) { d->accept(); });
    w.RunCommand(CmdIdOption);
    EXPECT_GE(m_device.GetPlayedBytes(), played);  // not a fresh buffer
    EXPECT_EQ(DeviceRate(), 44100);
}

TEST_F(PlayerExtrasTest, MediaControlsDriveTheRealTransport)
{
    CMainWindow& w = Open();
    IMediaTransport& media = m_extras->Media();
    EXPECT_FALSE(media.MediaHasRom());
    ASSERT_TRUE(w.LoadRomFile(kDemoRom));
    EXPECT_TRUE(media.MediaHasRom());
    EXPECT_FALSE(media.MediaRomTitle().empty());
    const int32_t code = media.MediaCode();
    media.MediaNext();
    m_thread.WaitCommand();
    EXPECT_EQ(media.MediaCode(), code + 1);
    EXPECT_EQ(media.MediaState(), IMediaTransport::State::Playing);
    media.MediaPause();
    EXPECT_EQ(media.MediaState(), IMediaTransport::State::Paused);
    media.MediaPlay();  // resumes
    EXPECT_EQ(media.MediaState(), IMediaTransport::State::Playing);
    media.MediaStop();
    EXPECT_EQ(media.MediaState(), IMediaTransport::State::Stopped);

    media.MediaSetVolume(12);
    EXPECT_EQ(w.VolumeSlider()->value(), 12);
    EXPECT_EQ(g_Settings.MasterVolume, 12);
    EXPECT_EQ(media.MediaVolume(), 12);
    // The window's slider reaches 30.
    w.VolumeSlider()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(g_Settings.MasterVolume, 30);
}

TEST_F(PlayerExtrasTest, DraggingTheBodySnapsTheMainWindowWhenDockingIsOn)
{
    CMainWindow& w = Open();
    m_extras->DockManager()->SetEnabled(true);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    w.move(area.topLeft() + QPoint(100, 100));
    const QPoint body(200, 40);  // the title text, no button
    QTest::mousePress(&w, Qt::LeftButton, {}, body);
    QTest::mouseMove(&w, body - QPoint(93, 0));
    QTest::mouseRelease(&w, Qt::LeftButton, {}, body - QPoint(93, 0));
    EXPECT_EQ(w.frameGeometry().topLeft(), area.topLeft() + QPoint(0, 100));
}

}  // namespace
