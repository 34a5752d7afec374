// The graphic equalizer dialog driven like a user: every change must reach
// the presets and the render thread at once.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "ModalAnswer.h"
#include "app/Settings.h"
#include "audio/EmuThread.h"
#include "player/PlayerHost.h"
#include "ui/EqResponseView.h"
#include "ui/EqualizerDialog.h"
#include "ui/PresetNameDialog.h"

namespace {

// Stands in for the main window: sends the current preset to a real render
// thread's equalizer, as the main window does.
class EqHost : public IPlayerHost {
public:
    EqHost() : thread(device) {}
    void OnLoadROM(const std::string&, const RomEntry&) override {}
    void OnPlayCode(int32_t, const std::string&) override {}
    void OnApplyEqPreset() override
    {
        ++applied;
        thread.SetEqualizerGains(9, g_Settings.Equalizer[g_Settings.CurrentPreset].Gain.data());
    }
    CDirectSound device;
    CEmuThread thread;
    int applied = 0;
};

class EqualizerDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Settings = CSettings{};
        dialog = std::make_unique<CEqualizerDialog>(host, nullptr);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void TearDown() override { g_Settings = CSettings{}; }

    // Drags band's slider handle from the middle (0 dB) to its top or bottom end with the mouse.
    void DragSlider(int band, bool toTop)
    {
        QSlider* s = dialog->Slider(band);
        const QPoint from = s->rect().center();
        const QPoint to(from.x(), toTop ? -50 : s->height() + 50);
        QTest::mousePress(s, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(s, from + (to - from) * i / 4);
        QTest::mouseRelease(s, Qt::LeftButton, {}, to);
    }

    QTemporaryDir tmp;
    EqHost host;
    std::unique_ptr<CEqualizerDialog> dialog;
};

TEST_F(EqualizerDialogTest, DraggingASliderSetsTheGainLabelCurveAndFilterAtOnce)
{
    const QPolygonF flat = dialog->ResponseView()->Curve();
    DragSlider(4, true);
    EXPECT_EQ(g_Settings.Equalizer[0].Gain[4], 15);
    EXPECT_EQ(dialog->ValueLabel(4)->text(), QStringLiteral(" 15dB"));
    EXPECT_EQ(host.thread.GetEqualizerGain(4), 15.0);
    EXPECT_GT(host.applied, 0);
    // The curve rose (smaller y) in the middle of the plot.
    const QPolygonF raised = dialog->ResponseView()->Curve();
    ASSERT_EQ(raised.size(), flat.size());
    EXPECT_LT(raised[raised.size() / 2].y(), flat[flat.size() / 2].y() - 5);

    DragSlider(8, false);
    EXPECT_EQ(g_Settings.Equalizer[0].Gain[8], -15);
    EXPECT_EQ(dialog->ValueLabel(8)->text(), QStringLiteral("-15dB"));
    EXPECT_EQ(host.thread.GetEqualizerGain(8), -15.0);
}

TEST_F(EqualizerDialogTest, ChosenPresetIsHeardAtOnceButOnlyEditsAreSaved)
{
    g_Settings.Equalizer[4].Gain = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    dialog->Refresh();
    QComboBox* list = dialog->PresetList();
    EXPECT_EQ(list->itemText(4), QStringLiteral("5 : "));
    list->setCurrentIndex(3);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(g_Settings.CurrentPreset, 4);
    for (int b = 0; b < 9; ++b) {
        EXPECT_EQ(host.thread.GetEqualizerGain(b), b + 1.0);
        EXPECT_EQ(dialog->Slider(b)->value(), b + 1);
    }
    QTest::keyClick(dialog->Slider(0), Qt::Key_PageUp);  // one page: +5 dB
    EXPECT_EQ(g_Settings.Equalizer[4].Gain[0], 6);

    const std::string ini = tmp.filePath("Kelvara.ini").toStdString();
    ASSERT_TRUE(g_Settings.Save(ini));
    CSettings reloaded;
    ASSERT_TRUE(reloaded.Load(ini));
    EXPECT_EQ(reloaded.CurrentPreset, 0);
    EXPECT_EQ(reloaded.Equalizer[4].Gain[0], 6);
}

TEST_F(EqualizerDialogTest, NameEditRenamesCutsAndCancels)
{
    g_Settings.CurrentPreset = 2;
    g_Settings.Equalizer[2].Name = "Rock";
    dialog->Refresh();
    AnswerNextModal<CPresetNameDialog>([](CPresetNameDialog* box) {
        EXPECT_EQ(box->Edit()->text(), QStringLiteral("Rock"));
        box->Edit()->clear();
        box->accept();
    });
    QTest::mouseClick(dialog->NameEditButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->PresetList()->itemText(2), QStringLiteral("3 : "));
    EXPECT_EQ(dialog->PresetList()->currentIndex(), 2);

    AnswerNextModal<CPresetNameDialog>([](CPresetNameDialog* box) {
        box->Edit()->setText(QStringLiteral("ignored"));
        box->reject();
    });
    QTest::mouseClick(dialog->NameEditButton(), Qt::LeftButton);
    EXPECT_EQ(g_Settings.Equalizer[2].Name, "");

    // A typed name longer than the field keeps its first 259 characters.
    AnswerNextModal<CPresetNameDialog>([](CPresetNameDialog* box) {
        box->Edit()->setText(QString(300, QChar(0x30A2)));
        box->accept();
    });
    QTest::mouseClick(dialog->NameEditButton(), Qt::LeftButton);
    EXPECT_EQ(QString::fromStdString(g_Settings.Equalizer[2].Name), QString(259, QChar(0x30A2)));
}

TEST_F(EqualizerDialogTest, ResetAsksWithNoAsDefaultAndClearsOnYes)
{
    g_Settings.Equalizer[0].Gain = {5, 5, 5, 5, 5, 5, 5, 5, 5};
    dialog->Refresh();
    AnswerNextModal<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->text(), QStringLiteral("リセットしますか？"));
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        box->button(QMessageBox::No)->click();
    });
    QTest::mouseClick(dialog->ResetButton(), Qt::LeftButton);
    EXPECT_EQ(g_Settings.Equalizer[0].Gain[3], 5);
    EXPECT_EQ(host.applied, 0);

    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    QTest::mouseClick(dialog->ResetButton(), Qt::LeftButton);
    for (int b = 0; b < 9; ++b) {
        EXPECT_EQ(g_Settings.Equalizer[0].Gain[b], 0);
        EXPECT_EQ(host.thread.GetEqualizerGain(b), 0.0);
        EXPECT_EQ(dialog->ValueLabel(b)->text(), QStringLiteral("  0dB"));
    }
}

TEST_F(EqualizerDialogTest, EscAndCloseOnlyHide)
{
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    dialog->show();
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(EqualizerDialogTest, GoesBackToItsPlaceOnlyWhenEnoughOfItIsOnScreen)
{
    dialog->move(140, 120);
    const SettingsRect kept = g_Settings.GraphicEQPos;
    EXPECT_EQ(kept.left, 140);
    EXPECT_EQ(kept.right - kept.left, dialog->frameGeometry().width());
    dialog.reset();
    CEqualizerDialog again(host, nullptr);
    again.show();
    EXPECT_EQ(again.frameGeometry().topLeft(), QPoint(140, 120));

    // Ten pixels left on the screen's right edge: too little to grab.
    const int edge = again.screen()->availableGeometry().right() + 1;
    g_Settings.GraphicEQPos = {edge - 10, 100, edge - 10 + kept.right - kept.left, 100 + kept.bottom - kept.top};
    CEqualizerDialog sliver(host, nullptr);
    sliver.show();
    EXPECT_NE(sliver.frameGeometry().left(), edge - 10);
}

TEST_F(EqualizerDialogTest, PresetIndexOutOfRangeShowsTheNearestPreset)
{
    g_Settings.Equalizer[15].Gain[8] = -9;
    g_Settings.CurrentPreset = 99;  // set out of range elsewhere
    dialog->Refresh();
    EXPECT_EQ(dialog->PresetList()->currentIndex(), 15);
    EXPECT_EQ(dialog->Slider(8)->value(), -9);
}

}  // namespace
