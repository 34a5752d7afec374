// CPlaylistWindow: creation, layout, placement, colours, keys, and keeping
// the list in step with the playlist.
#include "ui/PlaylistWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QSizeGrip>
#include <QToolButton>

#include "app/Settings.h"
#include "ui/PlaylistWindowList.h"
#include "ui/ScreenAreas.h"

namespace
{

QColor FromColorRef(uint32_t c)
{
    return QColor(ColorRefRed(c), ColorRefGreen(c), ColorRefBlue(c));
}

// The size a new window takes when it has no owner to measure.
constexpr QSize kFallbackSize(352, 160);

} // namespace

CPlaylistWindow::CPlaylistWindow(CPlaylist& model, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool), m_model(model)
{
    setWindowTitle(QStringLiteral("Playlist"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    QFont font;
    font.setFamilies({QStringLiteral("MS PGothic"),
                      QStringLiteral("\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSize(9);
    setFont(font);

    m_rows = new CPlaylistRows(m_model, this);
    m_delegate = new CPlaylistRowDelegate(this);
    m_list = new QListView(this);
    m_list->setModel(m_rows);
    m_list->setItemDelegate(m_delegate);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFrameShape(QFrame::StyledPanel);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->installEventFilter(this);

    m_editButton = new QToolButton(this);
    m_editButton->setText(tr("Edit"));
    m_editButton->setPopupMode(QToolButton::InstantPopup);
    m_editButton->setToolTip(tr("Edit the playlist"));
    m_saveButton = new QToolButton(this);
    m_saveButton->setText(tr("Save"));
    m_saveButton->setToolTip(tr("Save the playlist file (Ctrl+S)"));
    m_status = new QLabel(this);
    m_grip = new QSizeGrip(this);
    BuildEditMenu();

    connect(m_saveButton, &QToolButton::clicked, this, &CPlaylistWindow::SaveList);
    connect(m_list, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        m_model.Select(index.row());
        m_model.PlaySelected();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && current.isValid())
                    m_model.Select(current.row());
            });
    connect(m_list, &QListView::customContextMenuRequested, this,
            [this](const QPoint& at) { m_editMenu->popup(m_list->viewport()->mapToGlobal(at)); });

    // The owner's frame size is the first and the smallest size.
    const QSize size = mainWindow ? mainWindow->frameGeometry().size() : kFallbackSize;
    resize(size);
    setMinimumSize(size);
    ApplyPalette();

    m_listenerId = m_model.AddListener([this](PlaylistChange change) { OnModelChanged(change); });
    m_model.SetWindowCreated(true); // fills the list and sets the selection
    PlaceFromSettings(mainWindow);
    LayOut();
}

CPlaylistWindow::~CPlaylistWindow()
{
    // The list and its models go after this body; nothing they signal may
    // reach the playlist any more.
    m_list->selectionModel()->disconnect(this);
    m_list->disconnect(this);
    StoreGeometry();
    m_model.RemoveListener(m_listenerId);
    m_model.SetWindowCreated(false);
}

void CPlaylistWindow::PlaceFromSettings(QWidget* mainWindow)
{
    const SettingsRect saved = g_Settings.PlaylistPos;
    if (IsRectVisibleOnScreens(saved, ScreenAreas())) {
        move(saved.left, saved.top);
        resize(std::max(saved.right - saved.left, minimumWidth()),
               std::max(saved.bottom - saved.top, minimumHeight()));
    } else if (mainWindow) {
        // The default place: just below the main window.
        const QRect m = mainWindow->frameGeometry();
        move(m.left(), m.top() + m.height());
    }
    m_placed = true;
    StoreGeometry();
}

void CPlaylistWindow::StoreGeometry()
{
    if (!m_placed)
        return;
    // The frame's top-left corner and the window's own size: put back with
    // move() and resize(), the same rectangle comes out whatever the frame.
    const QPoint at = frameGeometry().topLeft();
    g_Settings.PlaylistPos = {at.x(), at.y(), at.x() + width(), at.y() + height()};
}

void CPlaylistWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    StoreGeometry();
}

void CPlaylistWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
    StoreGeometry();
}

void CPlaylistWindow::LayOut()
{
    const int w = width();
    const int h = height();
    const int listHeight = std::max(0, h - kBottomStrip);
    m_list->setGeometry(0, 0, w, listHeight);
    const int y = listHeight + 2;
    m_editButton->setGeometry(2, y, 48, kBottomStrip - 4);
    m_saveButton->setGeometry(52, y, 48, kBottomStrip - 4);
    const int gripSize = m_grip->sizeHint().width();
    m_status->setGeometry(106, y, std::max(0, w - 106 - gripSize - 2), kBottomStrip - 4);
    m_grip->setGeometry(w - gripSize, h - gripSize, gripSize, gripSize);
}

void CPlaylistWindow::SetColors(const PlaylistColors& colors)
{
    m_colors = colors;
    ApplyPalette();
}

void CPlaylistWindow::ApplyPalette()
{
    const QPalette system = QApplication::palette();
    PlaylistPalette p;
    p.background = FromColorRef(m_colors.background);
    if (m_colors.systemDefaults) {
        p.font = system.color(QPalette::Active, QPalette::HighlightedText);
        p.highlight = system.color(QPalette::Active, QPalette::Highlight);
        p.highlightFont = system.color(QPalette::Active, QPalette::HighlightedText);
    } else {
        p.font = FromColorRef(m_colors.font);
        p.highlight = FromColorRef(m_colors.highlight);
        p.highlightFont = FromColorRef(m_colors.highlightFont);
    }
    m_delegate->SetPalette(p);
    QPalette pal = m_list->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(g, QPalette::Base, p.background);
    m_list->setPalette(pal);
    m_list->viewport()->setAutoFillBackground(true);
    m_list->viewport()->update();
}

void CPlaylistWindow::Toggle()
{
    if (isVisible()) {
        hide();
    } else {
        show();
        raise();
    }
}

void CPlaylistWindow::closeEvent(QCloseEvent* event)
{
    // Closing only hides: the rows, the place and the edits stay.
    event->ignore();
    hide();
}

void CPlaylistWindow::keyPressEvent(QKeyEvent* event)
{
    if (!HandleKey(event))
        QWidget::keyPressEvent(event);
}

bool CPlaylistWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool CPlaylistWindow::HandleKey(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_model.PlaySelected();
        return true;
    case Qt::Key_Insert:
        AddPlayingRow();
        return true;
    case Qt::Key_F2:
        RenameSelected();
        return true;
    case Qt::Key_Delete:
        DeleteSelected();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!ctrl)
            return false;
        MoveSelected(event->key() == Qt::Key_Up ? -1 : 1);
        return true;
    case Qt::Key_S:
    case Qt::Key_T:
    case Qt::Key_E:
        if (!ctrl)
            return false;
        if (event->key() == Qt::Key_S)
            SaveList();
        else if (event->key() == Qt::Key_T)
            SetTimeFromElapsed();
        else
            ToggleSESelected();
        return true;
    default:
        return false;
    }
}

void CPlaylistWindow::OnModelChanged(PlaylistChange change)
{
    if (change == PlaylistChange::Rows)
        m_rows->Reset();
    ShowSelection();
    if (change == PlaylistChange::Rows && !m_model.IsModified() && m_status->text().startsWith('*'))
        m_status->clear();
    if (m_model.IsModified() && !m_status->text().startsWith('*'))
        ShowStatus(tr("* changed, not saved"));
}

void CPlaylistWindow::ShowSelection()
{
    m_syncing = true;
    const int row = m_model.Selection();
    if (row < 0) {
        m_list->selectionModel()->clear();
    } else {
        const QModelIndex index = m_rows->index(row);
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_list->scrollTo(index);
    }
    m_syncing = false;
}

int CPlaylistWindow::SelectedRow() const
{
    return m_model.Selection();
}

QString CPlaylistWindow::StatusText() const
{
    return m_status->text();
}

void CPlaylistWindow::ShowStatus(const QString& text, bool error)
{
    m_status->setText(text);
    m_status->setToolTip(text);
    m_status->setStyleSheet(error ? QStringLiteral("color: #c00000;") : QString());
}
