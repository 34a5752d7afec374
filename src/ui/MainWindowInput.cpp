// CMainWindow: buttons, mouse, tooltips, the popup menu, keys and drops.
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QShortcut>
#include <QToolTip>
#include <QWindow>

#include "ui/DockManager.h"
#include "ui/MainWindow.h"
#include "ui/Resources.h"

namespace {

struct ButtonLayout {
    int32_t id;
    QRect rect;
    ButtonKind kind;
    const char* art;
    const char* tooltip;
};

const ButtonLayout kButtonLayouts[] = {
    {CmdIdRecord, QRect(12, 167, 24, 20), ButtonKind::Toggle, "btn_record.png", "Record(Ctrl+W)"},
    {CmdIdPrev, QRect(48, 167, 26, 20), ButtonKind::Push, "btn_prev.png", "Prev(\u2191)"},
    {CmdIdPlay, QRect(76, 167, 26, 20), ButtonKind::Push, "btn_play.png", "Play"},
    {CmdIdPause, QRect(104, 167, 26, 20), ButtonKind::Push, "btn_pause.png", "Pause"},
    {CmdIdStop, QRect(132, 167, 26, 20), ButtonKind::Push, "btn_stop.png", "Stop"},
    {CmdIdNext, QRect(160, 167, 26, 20), ButtonKind::Push, "btn_next.png", "Next(\u2193)"},
    {CmdIdLoadRom, QRect(194, 167, 34, 20), ButtonKind::Push, "btn_load.png", "Load ROM(Ctrl+O)"},
    {CmdIdPlaylist, QRect(236, 167, 48, 20), ButtonKind::Push, "btn_playlist.png", "Playlist(Ctrl+P)"},
    // Its images come from the skin (CreateAutoplayButton).
    {CmdIdAutoPlay, QRect(316, 10, 20, 26), ButtonKind::TwoImage, nullptr, "Autoplay(Ctrl+A)"},
};

// A strip of `count` images of the button's size; grey boxes stand in for
// an image that cannot be read.
QImage LoadStrip(const char* art, const QRect& rect, int count)
{
    QImage image(ArtPath(art));
    if (image.width() < rect.width() * count || image.height() < rect.height()) {
        image = QImage(rect.width() * count, rect.height(), QImage::Format_RGB32);
        image.fill(QColor(0x60, 0x60, 0x60));
    }
    return KeyOutMagenta(image);
}

}  // namespace

QImage KeyOutMagenta(const QImage& image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFF00FF)
                line[x] = 0;
    }
    return out;
}

void CMainWindow::CreateButtons()
{
    m_buttons.clear();
    for (const ButtonLayout& layout : kButtonLayouts) {
        SkinButton b;
        b.id = layout.id;
        b.rect = layout.rect;
        b.kind = layout.kind;
        if (layout.kind != ButtonKind::TwoImage)
            b.strip = LoadStrip(layout.art, layout.rect, 4);
        b.tooltip = QString::fromUtf8(layout.tooltip);
        m_buttons.push_back(b);
    }
}

void CMainWindow::CreateShortcuts()
{
    const std::pair<const char*, int32_t> keys[] = {
        {"Ctrl+W", CmdIdRecord},  {"Ctrl+O", CmdIdLoadRom}, {"Ctrl+P", CmdIdPlaylist},
        {"Ctrl+A", CmdIdAutoPlay}, {"Ctrl+G", CmdIdEqualizer}, {"Up", CmdIdPrev},
        {"Down", CmdIdNext},       {"Right", CmdIdStepUp},   {"Left", CmdIdStepDown},
    };
    for (auto [key, id] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(key)), this);
        const int32_t command = id;
        connect(shortcut, &QShortcut::activated, this, [this, command] { RunCommand(command); });
    }
}

void CMainWindow::CreateMenu()
{
    m_menu = new QMenu(this);
    m_skinMenu = m_menu->addMenu(QStringLiteral("&Skin"));
    QAction* builtin = m_skinMenu->addAction(QStringLiteral("&Default"));
    builtin->setData(int(CmdIdSkinFirst));
    builtin->setCheckable(true);
    connect(builtin, &QAction::triggered, this, [this] { RunCommand(CmdIdSkinFirst); });
    for (size_t i = 0; i < m_skins.size() && i < 99; ++i) {
        QString text = QString::fromStdString(m_skins[i].name);
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = m_skinMenu->addAction(text);
        const int32_t id = CmdIdSkinFirst + 1 + int32_t(i);
        entry->setData(int(id));
        entry->setCheckable(true);
        connect(entry, &QAction::triggered, this, [this, id] { RunCommand(id); });
    }
    m_menu->addSeparator();
    const std::pair<const char*, int32_t> entries[] = {
        {"&Graphic Equalizer", CmdIdEqualizer}, {"&Option", CmdIdOption}, {"&About...", CmdIdAbout}};
    for (auto [text, id] : entries) {
        const int32_t command = id;
        m_menu->addAction(QString::fromLatin1(text), this, [this, command] { RunCommand(command); });
    }
    QAction* doubleSize = m_menu->addAction(QStringLiteral("&Double size"));
    doubleSize->setCheckable(true);
    connect(doubleSize, &QAction::triggered, this, [this](bool on) { SetDoubleSize(on); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("E&xit"), this, [this] { RunCommand(CmdIdExit); });
    connect(m_menu, &QMenu::aboutToShow, this, [this, doubleSize] {
        doubleSize->setChecked(DoubleSize());
        for (QAction* a : m_skinMenu->actions())
            a->setChecked(a->data().toInt() == m_skinId);
    });
}

SkinButton* CMainWindow::FindButton(int32_t id)
{
    for (SkinButton& b : m_buttons)
        if (b.id == id)
            return &b;
    return nullptr;
}

const SkinButton* CMainWindow::Button(int32_t id) const
{
    for (const SkinButton& b : m_buttons)
        if (b.id == id)
            return &b;
    return nullptr;
}

SkinButton* CMainWindow::ButtonAt(const QPoint& clientPos)
{
    for (SkinButton& b : m_buttons)
        if (b.rect.contains(clientPos))
            return &b;
    return nullptr;
}

QPoint CMainWindow::ToClient(const QPoint& widgetPos) const { return widgetPos / m_scale; }

void CMainWindow::SetMouseState(SkinButton* target, uint32_t mouse)
{
    for (SkinButton& b : m_buttons) {
        const uint32_t state = WithMouse(b.state, &b == target ? mouse : 0);
        if (state != b.state) {
            b.state = state;
            RepaintClient(b.rect);
        }
    }
}

void CMainWindow::mousePressEvent(QMouseEvent* event)
{
    SkinButton* b = ButtonAt(ToClient(event->position().toPoint()));
    if (b && !b->Enabled())
        b = nullptr;
    if (event->button() != Qt::LeftButton)
        return;
    if (b) {
        m_leftDown = true;
        SetMouseState(b, kButtonPressed);
    } else if (m_dock && m_dock->BeginDrag(event->globalPosition().toPoint())) {
        m_bodyDrag = true;  // the body drags the window, docking as it goes
    } else if (windowHandle()) {
        windowHandle()->startSystemMove();  // the body drags the window
    }
}

void CMainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bodyDrag) {
        m_dock->DragTo(event->globalPosition().toPoint());
        return;
    }
    SkinButton* b = ButtonAt(ToClient(event->position().toPoint()));
    if (b && !b->Enabled())
        b = nullptr;
    SetMouseState(b, m_leftDown ? kButtonPressed : kButtonHover);
}

void CMainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bodyDrag && event->button() == Qt::LeftButton) {
        m_bodyDrag = false;
        m_dock->EndDrag();
        return;
    }
    if (event->button() != Qt::LeftButton || !m_leftDown)
        return;
    m_leftDown = false;
    SkinButton* b = ButtonAt(ToClient(event->position().toPoint()));
    if (!b || !b->Enabled()) {
        SetMouseState(nullptr, 0);
        return;
    }
    if (b->IsToggle() && b->Mouse() == kButtonPressed)
        b->SetOn(!b->On());
    SetMouseState(b, kButtonHover);
    PostWindowCommand(b->id);
}

void CMainWindow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (!m_leftDown)
        SetMouseState(nullptr, 0);
}

void CMainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    const SkinButton* b = ButtonAt(ToClient(event->pos()));
    if (b && b->Enabled())
        return;
    if (m_menu)
        m_menu->popup(event->globalPos());
}

bool CMainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const SkinButton* b = ButtonAt(ToClient(help->pos()));
        if (b)
            QToolTip::showText(help->globalPos(), b->tooltip, this,
                               QRect(b->rect.topLeft() * m_scale, b->rect.size() * m_scale));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().front().isLocalFile())
        event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    const std::string path = urls.front().toLocalFile().toStdString();
    // Not inside the drop: loading may show a message box.
    QMetaObject::invokeMethod(this, [this, path] { LoadRomFile(path); }, Qt::QueuedConnection);
}
