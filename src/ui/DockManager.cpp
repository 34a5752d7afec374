// Docking applied to Qt windows.
#include "ui/DockManager.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <optional>

namespace {

DockRect ToDock(const QRect& r)
{
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

// One registered window as the docking rule sees it: its frame as of the
// last change this manager saw.
class CDockManager::Window : public IDockWindow {
public:
    Window(CDockManager& owner, QWidget* widget) : widget(widget), settle(new QTimer(&owner))
    {
        settle->setSingleShot(true);
        settle->setInterval(kSettleMs);
        if (widget)
            last = ToDock(widget->frameGeometry());
    }
    bool DockVisible() const override { return widget && widget->isVisible(); }
    DockRect DockFrame() const override { return last; }
    void DockMoveTo(int32_t left, int32_t top) override
    {
        if (!widget)
            return;
        last = {left, top, left + last.Width(), top + last.Height()};
        expected = last;
        widget->move(left, top);
    }

    QPointer<QWidget> widget;
    QTimer* settle;
    DockRect last;
    DockRect start;                   // where a window-manager change began
    bool changing = false;
    std::optional<DockRect> expected;  // a change this manager asked for
};

CDockManager::CDockManager(QObject* parent) : QObject(parent), m_enabled(PlatformAllowsDocking()) {}

CDockManager::~CDockManager()
{
    for (auto& w : m_windows)
        if (w->widget)
            w->widget->removeEventFilter(this);
}

bool CDockManager::PlatformAllowsDocking()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

CDockManager::Window* CDockManager::Find(QObject* widget) const
{
    for (const auto& w : m_windows)
        if (w->widget == widget)
            return w.get();
    return nullptr;
}

void CDockManager::RegisterMain(QWidget* main)
{
    Register(main);
    m_main = Find(main);
    m_group.SetMain(m_main);
}

void CDockManager::Register(QWidget* widget, bool isPlaylist)
{
    if (!widget || Find(widget))
        return;
    m_windows.push_back(std::make_unique<Window>(*this, widget));
    Window* w = m_windows.back().get();
    m_group.Register(w);
    if (isPlaylist)
        m_group.SetPlaylist(w);
    widget->installEventFilter(this);
    connect(w->settle, &QTimer::timeout, this, [this, w] { Settle(*w); });
    connect(widget, &QObject::destroyed, this, [this, w] { m_group.Forget(w); });
}

void CDockManager::Screen(DockRect& screen, DockRect& workArea) const
{
    QScreen* primary = QGuiApplication::primaryScreen();
    screen = primary ? ToDock(primary->geometry()) : DockRect{};
    workArea = primary ? ToDock(primary->availableGeometry()) : screen;
}

bool CDockManager::eventFilter(QObject* watched, QEvent* event)
{
    Window* w = Find(watched);
    if (!w || !w->widget)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ChildPolished:
        // The playlist window and the equalizer dialog join when first shown.
        if (w == m_main) {
            auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
            if (child && child->isWindow()) {
                if (child->inherits("CPlaylistWindow"))
                    Register(child, true);
                else if (child->inherits("CEqualizerDialog"))
                    Register(child);
            }
        }
        break;
    case QEvent::Show:
        w->last = ToDock(w->widget->frameGeometry());
        break;
    case QEvent::Move:
    case QEvent::Resize:
        OnChanged(*w);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CDockManager::OnChanged(Window& w)
{
    const DockRect now = ToDock(w.widget->frameGeometry());
    if (w.expected) {
        const bool ours = *w.expected == now;
        if (ours) {
            w.expected.reset();
            w.last = now;
            return;
        }
    }
    if (!m_enabled || !w.widget->isVisible() || (&w == m_main && m_dragging)) {
        w.last = now;
        return;
    }
    // A change made by the window system (or the program): follow it, and
    // snap once it rests.
    if (!w.changing) {
        w.changing = true;
        w.start = w.last;
        if (&w == m_main)
            m_group.BeginMainMove();
    }
    w.last = now;
    if (&w == m_main)
        m_group.MainMoved();
    w.settle->start();
}

void CDockManager::Settle(Window& w)
{
    if (!w.changing)
        return;
    w.changing = false;
    if (w.widget && m_enabled) {
        DockRect screen, workArea;
        Screen(screen, workArea);
        const DockRect snapped = m_group.Snap(&w, w.last, w.start, screen, workArea);
        if (snapped != w.last)
            Apply(w, snapped);
        if (&w == m_main)
            m_group.MainMoved();
    }
    if (&w == m_main)
        m_group.EndMainMove();
}

void CDockManager::Apply(Window& w, const DockRect& rect)
{
    if (rect.Width() == w.last.Width() && rect.Height() == w.last.Height()) {
        w.DockMoveTo(rect.left, rect.top);
        return;
    }
    // A resize: the frame's margins stay as they are. A window of fixed size
    // (the main window, whose size only Double size changes) keeps it.
    if (w.widget->minimumSize() == w.widget->maximumSize())
        return;
    const QRect frame = w.widget->frameGeometry();
    const QRect inner = w.widget->geometry();
    const int left = inner.left() - frame.left(), top = inner.top() - frame.top();
    const int right = frame.right() - inner.right(), bottom = frame.bottom() - inner.bottom();
    w.expected = rect;
    w.last = rect;
    w.widget->setGeometry(rect.left + left, rect.top + top, rect.Width() - left - right,
                          rect.Height() - top - bottom);
}

bool CDockManager::BeginDrag(const QPoint& globalPos)
{
    if (!m_enabled || !m_main || !m_main->widget)
        return false;
    m_main->last = ToDock(m_main->widget->frameGeometry());
    m_grab = globalPos - QPoint(m_main->last.left, m_main->last.top);
    m_dragging = true;
    m_group.BeginMainMove();
    return true;
}

void CDockManager::DragTo(const QPoint& globalPos)
{
    if (!m_dragging || !m_main->widget)
        return;
    const QPoint topLeft = globalPos - m_grab;
    const DockRect current = m_main->last;
    const DockRect requested{topLeft.x(), topLeft.y(), topLeft.x() + current.Width(),
                             topLeft.y() + current.Height()};
    DockRect screen, workArea;
    Screen(screen, workArea);
    const DockRect snapped = m_group.Snap(m_main, requested, current, screen, workArea);
    if (snapped == current)
        return;
    m_main->DockMoveTo(snapped.left, snapped.top);
    m_group.MainMoved();
}

void CDockManager::EndDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_group.EndMainMove();
}
