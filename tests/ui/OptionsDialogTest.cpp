// The options dialog driven like a user.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <tuple>
#include <gtest/gtest.h>

#include "ModalAnswer.h"
#include "app/Settings.h"
#include "ui/OptionsDialog.h"
#include "ui/TestTonePlayer.h"

namespace {

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Settings = CSettings{};
        devices = {{DeviceGuid{}, "Default device"},
                   {DeviceGuidFromName("Card A"), "Card A"},
                   {DeviceGuidFromName("Card B"), "Card B"}};
    }
    void TearDown() override { g_Settings = CSettings{}; }
    std::unique_ptr<COptionsDialog> Open()
    {
        auto d = std::make_unique<COptionsDialog>(devices, tmp.path().toStdString(), nullptr);
        d->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(d.get()));
        return d;
    }
    void ClickOk(COptionsDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }

    QTemporaryDir tmp;
    std::vector<DeviceInfo> devices;
};

TEST_F(OptionsDialogTest, StoredRateAndDeviceAreSelectedAndOkHandsTheChoiceBack)
{
    g_Settings.SamplingRate = 22050;  // not in the table: the first is shown
    g_Settings.DeviceGUID = ToSettingsGuid(devices[2].guid);
    auto d = Open();
    QComboBox* rates = d->RateList();
    ASSERT_EQ(rates->count(), 4);
    EXPECT_EQ(rates->itemText(0), QStringLiteral(" 44.100KHz 16bits"));
    EXPECT_EQ(rates->itemText(3), QStringLiteral("192.000KHz 16bits"));
    EXPECT_EQ(rates->currentIndex(), 0);
    EXPECT_EQ(d->DeviceList()->currentIndex(), 2);
    d->DeviceList()->setCurrentIndex(1);
    ClickOk(*d);
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->ChosenRate(), 44100);  // differs from the setting: the main window re-creates the output
    EXPECT_EQ(d->ChosenDevice(), devices[1].guid);

    g_Settings.SamplingRate = 96000;
    g_Settings.DeviceGUID = ToSettingsGuid(DeviceGuidFromName("unplugged"));
    auto again = Open();
    EXPECT_EQ(again->RateList()->currentIndex(), 2);
    EXPECT_EQ(again->DeviceList()->currentIndex(), 0);
}

TEST_F(OptionsDialogTest, ArrowsStopAtTheLimitsWhileTypedValuesAreStoredAsTyped)
{
    g_Settings.PlayTimeDefault = 2;
    auto d = Open();
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(d->PlayTimeDown(), Qt::LeftButton);
    EXPECT_EQ(d->PlayTimeEdit()->text(), QStringLiteral("1"));
    d->PlayTimeEdit()->setText(QStringLiteral("599"));
    QTest::keyClick(d->PlayTimeEdit(), Qt::Key_Up);
    QTest::mouseClick(d->PlayTimeUp(), Qt::LeftButton);
    EXPECT_EQ(d->PlayTimeEdit()->text(), QStringLiteral("600"));

    d->PlayTimeEdit()->clear();
    QTest::keyClicks(d->PlayTimeEdit(), QStringLiteral("9x0-0"));  // only digits go in
    EXPECT_EQ(d->PlayTimeEdit()->text(), QStringLiteral("900"));
    QTest::keyClick(d->NoSeCheck(), Qt::Key_Space);
    ClickOk(*d);
    EXPECT_EQ(g_Settings.PlayTimeDefault, 900);
    EXPECT_EQ(g_Settings.NoSEAutoPlay, 0);

    auto empty = Open();
    empty->PlayTimeEdit()->clear();
    ClickOk(*empty);
    EXPECT_EQ(g_Settings.PlayTimeDefault, 0);
    // Up from a typed value above the range lands on its top.
    auto high = Open();
    high->PlayTimeEdit()->setText(QStringLiteral("900"));
    QTest::mouseClick(high->PlayTimeUp(), Qt::LeftButton);
    EXPECT_EQ(high->PlayTimeEdit()->text(), QStringLiteral("600"));
}

TEST_F(OptionsDialogTest, EscapeChangesNothing)
{
    auto d = Open();
    d->PlayTimeEdit()->setText(QStringLiteral("5"));
    d->WaveFolderEdit()->setText(QStringLiteral("/elsewhere/"));
    d->NoSeCheck()->setChecked(false);
    d->RateList()->setCurrentIndex(3);
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_EQ(d->result(), QDialog::Rejected);
    const CSettings defaults;
    EXPECT_EQ(std::tie(g_Settings.PlayTimeDefault, g_Settings.WavePath, g_Settings.NoSEAutoPlay,
                       g_Settings.SamplingRate),
              std::tie(defaults.PlayTimeDefault, defaults.WavePath, defaults.NoSEAutoPlay, defaults.SamplingRate));
}

TEST_F(OptionsDialogTest, WaveFolderStaysRelativeUntilBrowsed)
{
    QString startedIn, picked;  // an empty pick is a cancelled picker
    auto d = Open();
    d->SetFolderPicker([&](const QString& start) { return startedIn = start, picked; });
    EXPECT_EQ(d->WaveFolderEdit()->text(), QStringLiteral("./wave/"));
    QTest::mouseClick(d->BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(startedIn, tmp.path() + QStringLiteral("/wave"));
    ClickOk(*d);
    EXPECT_EQ(g_Settings.WavePath, "./wave/");

    auto browsed = Open();
    browsed->SetFolderPicker([&](const QString& start) { return startedIn = start, picked; });
    browsed->WaveFolderEdit()->setText(QStringLiteral("rec/../takes"));
    picked = tmp.path() + QStringLiteral("/recordings");
    QTest::mouseClick(browsed->BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(startedIn, tmp.path() + QStringLiteral("/takes"));
    EXPECT_EQ(browsed->WaveFolderEdit()->text(), picked + QLatin1Char('/'));
    browsed->WaveFolderEdit()->setText(picked);  // a separator is added on OK
    ClickOk(*browsed);
    EXPECT_EQ(g_Settings.WavePath, (picked + QLatin1Char('/')).toStdString());
}

TEST_F(OptionsDialogTest, UnwritableWaveFolderIsQuestionedAndKeptOnlyOnYes)
{
    const QString file = tmp.filePath("plain-file");
    std::ofstream(file.toStdString()) << "x";
    const QString bad = file + QStringLiteral("/wave/");
    auto d = Open();
    d->WaveFolderEdit()->setText(bad);
    AnswerNextModal<QMessageBox>([](QMessageBox* box) {
        EXPECT_TRUE(box->text().contains(QStringLiteral("cannot be created or written")));
        box->button(QMessageBox::No)->click();
    });
    ClickOk(*d);
    EXPECT_TRUE(d->isVisible());  // still open for a better folder
    EXPECT_EQ(g_Settings.WavePath, "./wave/");

    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    ClickOk(*d);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(g_Settings.WavePath, bad.toStdString());
}

// Opened over an owner partly off the screen, the dialog stays inside the work area.
TEST_F(OptionsDialogTest, StaysInsideTheWorkArea)
{
    QWidget owner;
    owner.setGeometry(-300, -300, 400, 300);
    owner.show();
    COptionsDialog corner(devices, tmp.path().toStdString(), &owner);
    corner.show();
    EXPECT_EQ(corner.frameGeometry().topLeft(), owner.screen()->availableGeometry().topLeft());
}

TEST_F(OptionsDialogTest, TestToneOpensTheChosenDeviceAndClosesWhenDone)
{
    auto d = Open();
    QTest::mouseClick(d->TestToneButton(), Qt::LeftButton);
    EXPECT_TRUE(d->TestTone()->IsPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !d->TestTone()->IsPlaying(); }, 3000));
}

}  // namespace
