#include "ui/LoadRomDialog.h"

#include <QCheckBox>
#include <QCollator>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "app/Settings.h"
#include "ui/Resources.h"
#include "ui/ScreenAreas.h"

namespace {

constexpr int kColumnWidths[CLoadRomDialog::kColumnCount] = {192, 72, 148, 148};
const QColor kOddRowBackground(240, 240, 240);

QString ColumnText(const RomListItem& item, int column)
{
    switch (column) {
    case CLoadRomDialog::kColumnName:
        return QString::fromUtf8(item.entry.title);
    case CLoadRomDialog::kColumnType:
        return QString::fromUtf8(item.entry.typeTextUtf8);
    case CLoadRomDialog::kColumnManufacturer:
        return QString::fromUtf8(item.entry.manufacturerUtf8);
    default:
        return QString::fromUtf8(item.entry.hardware);
    }
}

// Header that draws the sort direction's image just right of the sort
// column's caption.
class CSortHeader : public QHeaderView {
public:
    explicit CSortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
    {
        m_up = QPixmap(ArtPath("sort_up.png"));
        m_down = QPixmap(ArtPath("sort_down.png"));
    }
    void SetSort(int column, bool ascending)
    {
        m_column = column;
        m_ascending = ascending;
        viewport()->update();
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        const QPixmap& image = m_ascending ? m_up : m_down;
        if (logicalIndex != m_column || image.isNull())
            return;
        QString caption = model()->headerData(logicalIndex, Qt::Horizontal).toString();
        int x = rect.left() + 6 + fontMetrics().horizontalAdvance(caption) + 4;
        x = std::min(x, rect.right() - image.width() - 2);
        painter->drawPixmap(x, rect.top() + (rect.height() - image.height()) / 2, image);
    }

private:
    QPixmap m_up, m_down;
    int m_column = -1;
    bool m_ascending = true;
};

}  // namespace

CLoadRomDialog::CLoadRomDialog(CRomList& list, IPlayerHost& host, QWidget* owner)
    : QDialog(owner, Qt::Tool), m_list(list), m_host(host)
{
    setWindowTitle(QStringLiteral("Load ROM"));
    setModal(false);
    setSizeGripEnabled(true);

    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(QStringLiteral("Filter: part of a name, type, maker or hardware"));
    m_filter->setClearButtonEnabled(true);

    m_view = new QTreeWidget(this);
    auto* header = new CSortHeader(m_view);
    m_view->setHeader(header);
    m_view->setColumnCount(kColumnCount);
    m_view->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Manufacturer"),
                             QStringLiteral("Hardware")});
    for (int c = 0; c < kColumnCount; ++c)
        m_view->setColumnWidth(c, kColumnWidths[c]);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setAllColumnsShowFocus(true);
    m_view->setIconSize(QSize(16, 16));
    m_view->viewport()->installEventFilter(this);

    m_status = new QLabel(this);
    m_availableOnly = new QCheckBox(QStringLiteral("所有のみ"), this);
    m_load = new QPushButton(QStringLiteral("ロード"), this);
    m_rescan = new QPushButton(QStringLiteral("ReScan"), this);
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_load->setDefault(true);  // Enter in the list loads the selected row

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_availableOnly);
    bottom->addWidget(m_load);
    bottom->addWidget(m_rescan);
    bottom->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);

    m_availableOnly->setChecked(g_Settings.AvailableList != 0);
    connect(m_availableOnly, &QCheckBox::toggled, this, &CLoadRomDialog::OnAvailableToggled);
    connect(m_load, &QPushButton::clicked, this, &CLoadRomDialog::LoadSelected);
    connect(m_rescan, &QPushButton::clicked, this, &CLoadRomDialog::ReScan);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(header, &QHeaderView::sectionClicked, this, &CLoadRomDialog::SortBy);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { Refill(); });

    header->SetSort(m_sortColumn, m_ascending);
    Refill();
    SelectFirstRow();

    int width = 0;
    for (int w : kColumnWidths)
        width += w;
    resize(width + 40, 420);
    setMinimumSize(size());

    // Put back the remembered place when a screen shows it; otherwise the
    // window system's choice is taken and remembered once shown.
    const SettingsRect& saved = g_Settings.LoadPos;
    if (IsRectVisibleOnScreens(saved, ScreenAreas())) {
        setGeometry(saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top);
        m_placed = true;
    }

    // A fresh look at the folder once the dialog is up.
    QMetaObject::invokeMethod(this, &CLoadRomDialog::ReScan, Qt::QueuedConnection);
}

void CLoadRomDialog::ToggleVisible()
{
    if (isVisible()) {
        hide();
        return;
    }
    show();
    raise();
    activateWindow();
}

QString CLoadRomDialog::Status() const { return m_status->text(); }

void CLoadRomDialog::ReScan()
{
    m_list.Scan();
    Refill();
    SelectFirstRow();
}

void CLoadRomDialog::OnAvailableToggled(bool on)
{
    g_Settings.AvailableList = on ? 1 : 0;
    Refill();
    SelectFirstRow();
}

void CLoadRomDialog::SortBy(int column)
{
    if (column < 0 || column >= kColumnCount)
        return;
    if (column == m_sortColumn) {
        m_ascending = !m_ascending;
    } else {
        m_sortColumn = column;
        m_ascending = true;
    }
    static_cast<CSortHeader*>(m_view->header())->SetSort(m_sortColumn, m_ascending);
    Refill();
}

void CLoadRomDialog::Refill()
{
    const auto& items = m_list.Items();
    int selected = -1;
    if (QTreeWidgetItem* current = m_view->currentItem())
        selected = current->data(0, Qt::UserRole).toInt();

    // Rows of the owned-only setting that contain the filter text in any column.
    std::vector<int> rows = m_list.ListedRows(g_Settings.AvailableList != 0);
    const QString filter = m_filter->text().trimmed();
    if (!filter.isEmpty()) {
        std::erase_if(rows, [&](int row) {
            for (int c = 0; c < kColumnCount; ++c) {
                if (ColumnText(items[row], c).contains(filter, Qt::CaseInsensitive))
                    return false;
            }
            return true;
        });
    }

    // Locale-aware, case-insensitive; equal texts of the other columns go
    // by Name in the same direction.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::array<QString, 2>> keys(items.size());
    for (int row : rows)
        keys[row] = {ColumnText(items[row], m_sortColumn), ColumnText(items[row], kColumnName)};
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        if (!m_ascending)
            std::swap(a, b);
        int order = collator.compare(keys[a][0], keys[b][0]);
        if (order == 0 && m_sortColumn != kColumnName)
            order = collator.compare(keys[a][1], keys[b][1]);
        return order < 0;
    });

    const QIcon present(ArtPath("rom_present.png"));
    const QIcon absent(ArtPath("rom_absent.png"));
    const QIcon noStub(ArtPath("rom_nostub.png"));
    const QString noStubTip = QStringLiteral(
        "This machine needs a driver stub that this build does not have: it loads, but its sound may not play.");

    m_view->setUpdatesEnabled(false);
    m_view->clear();
    QList<QTreeWidgetItem*> made;
    made.reserve(qsizetype(rows.size()));
    QTreeWidgetItem* reselect = nullptr;
    for (std::size_t position = 0; position < rows.size(); ++position) {
        const RomListItem& item = items[rows[position]];
        auto* row = new QTreeWidgetItem;
        for (int c = 0; c < kColumnCount; ++c)
            row->setText(c, ColumnText(item, c));
        row->setData(0, Qt::UserRole, rows[position]);
        bool stubMissing = RomNeedsMissingStub(item.entry);
        row->setIcon(0, !item.present ? absent : stubMissing ? noStub : present);
        if (stubMissing) {
            for (int c = 0; c < kColumnCount; ++c)
                row->setToolTip(c, noStubTip);
        }
        if (position % 2 == 1) {
            for (int c = 0; c < kColumnCount; ++c) {
                row->setBackground(c, kOddRowBackground);
                row->setForeground(c, QColor(Qt::black));
            }
        }
        if (rows[position] == selected)
            reselect = row;
        made.append(row);
    }
    m_view->addTopLevelItems(made);
    m_view->setUpdatesEnabled(true);
    m_shown = std::move(rows);

    if (reselect) {
        m_view->setCurrentItem(reselect);
        m_view->scrollToItem(reselect);
    }
    m_status->setText(QString::fromStdString(m_list.StatusText()));
}

void CLoadRomDialog::SelectFirstRow()
{
    if (QTreeWidgetItem* first = m_view->topLevelItem(0)) {
        m_view->setCurrentItem(first);
        m_view->scrollToItem(first);
    }
    m_view->setFocus();
}

void CLoadRomDialog::LoadSelected()
{
    if (QTreeWidgetItem* current = m_view->currentItem())
        LoadRow(current->data(0, Qt::UserRole).toInt());
}

void CLoadRomDialog::LoadRow(int databaseIndex)
{
    if (m_list.LoadItem(databaseIndex, m_host))
        hide();
}

bool CLoadRomDialog::eventFilter(QObject* watched, QEvent* event)
{
    // A double-click loads the row under the pointer, or the selected row
    // when it hits none.
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (QTreeWidgetItem* item = m_view->itemAt(mouse->position().toPoint()))
                LoadRow(item->data(0, Qt::UserRole).toInt());
            else
                LoadSelected();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CLoadRomDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_placed = true;
    StorePosition();
}

void CLoadRomDialog::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    StorePosition();
}

void CLoadRomDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    StorePosition();
}

void CLoadRomDialog::StorePosition()
{
    if (!m_placed || !isVisible())
        return;
    QRect g = geometry();
    g_Settings.LoadPos = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}
