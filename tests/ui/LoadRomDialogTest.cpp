// The Load ROM dialog driven like a user would.

#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/Settings.h"
#include "player/RomListTestFolder.h"
#include "ui/LoadRomDialog.h"

namespace {

void ClickButton(QWidget* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return QTest::mouseClick(b, Qt::LeftButton);
    ADD_FAILURE() << "no button " << text.toStdString();
}

class LoadRomDialogTest : public RomFolderFixture {
protected:
    void SetUp() override
    {
        RomFolderFixture::SetUp();
        m_savedSettings = g_Settings;
        g_Settings = CSettings();
        m_rows = WriteRoms(12);
        m_list = Start();
    }
    void TearDown() override
    {
        m_dialog.reset();
        g_Settings = m_savedSettings;
    }

    CLoadRomDialog& Open()
    {
        m_dialog = std::make_unique<CLoadRomDialog>(*m_list, m_host, nullptr);
        m_dialog->show();
        QCoreApplication::processEvents();  // the ReScan it posts to itself
        return *m_dialog;
    }

    void ClickHeader(int column)
    {
        QHeaderView* header = m_dialog->List()->header();
        QPoint at(header->sectionViewportPosition(column) + 20, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    // The shown row of a database index, scrolled into view; nullptr when not shown.
    QTreeWidgetItem* Row(int databaseIndex)
    {
        QTreeWidget* view = m_dialog->List();
        for (int i = 0; i < view->topLevelItemCount(); ++i) {
            if (view->topLevelItem(i)->data(0, Qt::UserRole).toInt() == databaseIndex) {
                view->scrollToItem(view->topLevelItem(i));
                return view->topLevelItem(i);
            }
        }
        return nullptr;
    }
    void Select(int databaseIndex)
    {
        QTreeWidgetItem* row = Row(databaseIndex);
        ASSERT_NE(row, nullptr) << databaseIndex;
        m_dialog->List()->setCurrentItem(row);
    }
    QImage Icon(int databaseIndex) { return Row(databaseIndex)->icon(0).pixmap(16, 16).toImage(); }
    // Checks the rows follow `column`, then Name, one way.
    void ExpectOrder(int column, bool ascending)
    {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        QTreeWidget* view = m_dialog->List();
        for (int i = 1; i < view->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *above = view->topLevelItem(i - 1), *below = view->topLevelItem(i);
            int order = collator.compare(above->text(column), below->text(column));
            if (order == 0)
                order = collator.compare(above->text(0), below->text(0));
            ASSERT_FALSE(ascending ? order > 0 : order < 0) << "rows " << i - 1 << " and " << i;
        }
    }

    CSettings m_savedSettings;
    std::vector<int> m_rows;  // present, as ROMS/r0.bin ... r11.bin
    std::unique_ptr<CRomList> m_list;
    RecordingHost m_host;
    std::unique_ptr<CLoadRomDialog> m_dialog;
};

TEST_F(LoadRomDialogTest, ListsListableRowsWithColumnsIconsAndStatus)
{
    CLoadRomDialog& dialog = Open();
    QTreeWidget* view = dialog.List();
    EXPECT_EQ(view->topLevelItemCount(), 489);
    EXPECT_EQ(dialog.Status(), "Available roms : 12/489");

    EXPECT_EQ(view->currentItem(), view->topLevelItem(0));
    // Rows follow Name ascending; present rows carry a different icon.
    ExpectOrder(CLoadRomDialog::kColumnName, true);
    EXPECT_FALSE(Icon(m_rows[0]).isNull());
    EXPECT_NE(Icon(m_rows[0]), Icon(PlainRows(13)[12]));
}

TEST_F(LoadRomDialogTest, OwnedOnlyBoxShowsPresentRowsAndKeepsTheSetting)
{
    CLoadRomDialog& dialog = Open();
    QTest::mouseClick(dialog.findChild<QCheckBox*>(), Qt::LeftButton);
    EXPECT_EQ(g_Settings.AvailableList, 1);
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 12);
    EXPECT_EQ(dialog.Status(), "Available roms : 12/489");
    std::vector<int> shown = dialog.ShownRows();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, m_rows);

    // A new dialog starts from the setting.
    m_dialog.reset();
    EXPECT_TRUE(Open().findChild<QCheckBox*>()->isChecked());
    EXPECT_EQ(m_dialog->List()->topLevelItemCount(), 12);
}

TEST_F(LoadRomDialogTest, ClickingTypeTwiceSortsDescendingWithNameTiesDescending)
{
    CLoadRomDialog& dialog = Open();
    ClickHeader(CLoadRomDialog::kColumnType);
    EXPECT_EQ(dialog.SortColumn(), CLoadRomDialog::kColumnType);
    EXPECT_TRUE(dialog.SortAscending());
    ClickHeader(CLoadRomDialog::kColumnType);
    EXPECT_FALSE(dialog.SortAscending());

    ExpectOrder(CLoadRomDialog::kColumnType, false);

    ClickHeader(CLoadRomDialog::kColumnName);
    EXPECT_EQ(dialog.SortColumn(), CLoadRomDialog::kColumnName);
    EXPECT_TRUE(dialog.SortAscending());
}

TEST_F(LoadRomDialogTest, LoadsByButtonEnterAndDoubleClickAndCancelOrCloseOnlyHide)
{
    CLoadRomDialog& dialog = Open();
    QPointer<CLoadRomDialog> alive(&dialog);
    const auto path = [&](int i) { return RomPath(Numbered("r", i, ".bin")); };
    Select(m_rows[3]);
    ClickButton(&dialog, "ロード");
    EXPECT_EQ(m_host.paths, std::vector<std::string>{path(3)});
    EXPECT_FALSE(dialog.isVisible());

    dialog.ToggleVisible();
    Select(m_rows[5]);
    QTest::keyClick(dialog.List(), Qt::Key_Return);
    dialog.show();
    QTest::mouseDClick(dialog.List()->viewport(), Qt::LeftButton, {},
                       dialog.List()->visualItemRect(Row(m_rows[7])).center());
    EXPECT_EQ(m_host.paths, (std::vector<std::string>{path(3), path(5), path(7)}));
    EXPECT_EQ(m_host.rows[2], m_rows[7]);

    // A row without an image is ignored and the dialog stays.
    dialog.show();
    Select(*std::find_if(dialog.ShownRows().begin(), dialog.ShownRows().end(),
                         [&](int row) { return !m_list->Items()[row].present; }));
    ClickButton(&dialog, "ロード");
    EXPECT_TRUE(dialog.isVisible());

    // Cancel and closing only hide.
    ClickButton(&dialog, "キャンセル");
    EXPECT_FALSE(dialog.isVisible());
    dialog.ToggleVisible();
    dialog.close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(alive.isNull());
    EXPECT_EQ(m_host.paths.size(), 3u);
}

TEST_F(LoadRomDialogTest, FilterNarrowsRowsBySubstringOfAnyColumn)
{
    CLoadRomDialog& dialog = Open();
    auto* filter = dialog.findChild<QLineEdit*>();
    ASSERT_NE(filter, nullptr);
    auto anyColumnHas = [](const QStringList& texts, const QString& part) {
        return std::any_of(texts.begin(), texts.end(),
                           [&](const QString& t) { return t.contains(part, Qt::CaseInsensitive); });
    };
    for (QString text : {"ジャグラー", "sn76489", "YMF281", "ｘ"}) {
        filter->clear();
        if (text.front().unicode() < 128)
            QTest::keyClicks(filter, text);  // typed key by key
        else
            filter->insert(text);
        int expected = 0;
        for (int row : m_list->ListedRows(false)) {
            const RomEntry& e = GetRomEntry(row);
            expected += anyColumnHas({e.title, e.typeTextUtf8, e.manufacturerUtf8, e.hardware}, text);
        }
        ASSERT_GT(expected, 0) << text.toStdString();
        EXPECT_EQ(dialog.List()->topLevelItemCount(), expected) << text.toStdString();
    }
    filter->clear();
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 489);
    EXPECT_EQ(dialog.Status(), "Available roms : 12/489");
}

TEST_F(LoadRomDialogTest, ReScanShowsAnImageAddedMeanwhileAndStubMissingRowsTheirOwnIconAndTooltip)
{
    int stubless = -1;
    for (std::size_t i = 0; i < GetRomEntryCount() && stubless < 0; ++i)
        if (RomNeedsMissingStub(GetRomEntry(i)) && !(GetRomEntry(i).flags & kRomFlagHidden))
            stubless = int(i);
    if (stubless < 0)
        GTEST_SKIP() << "every stub is built in";
    CLoadRomDialog& dialog = Open();
    WriteRom("stub.snd", stubless);
    ClickButton(&dialog, "ReScan");
    EXPECT_EQ(dialog.Status(), "Available roms : 13/489  (1 cannot play)");
    EXPECT_FALSE(Row(stubless)->toolTip(0).isEmpty());
    EXPECT_TRUE(Row(m_rows[0])->toolTip(0).isEmpty());
    EXPECT_NE(Icon(stubless), Icon(m_rows[0]));
    Select(stubless);
    ClickButton(&dialog, "ロード");
    EXPECT_EQ(m_host.paths, std::vector<std::string>{RomPath("stub.snd")});
}

}  // namespace
