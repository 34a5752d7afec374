// Registered docking windows, their snapping, and the playlist following
// the main window.
#include "player/DockGroup.h"

const CDockGroup::Member* CDockGroup::Find(const IDockWindow* window) const
{
    if (window == nullptr)
        return nullptr;
    for (const Member& m : m_members)
        if (m.window == window)
            return &m;
    return nullptr;
}

void CDockGroup::Register(IDockWindow* window)
{
    if (window != nullptr && Find(window) == nullptr)
        m_members.push_back(Member{window, DockSettings{}});
}

void CDockGroup::Forget(IDockWindow* window)
{
    for (Member& m : m_members)
        if (m.window == window && window != nullptr)
            m.window = nullptr;
    if (m_main == window)
        m_main = nullptr;
    if (m_playlist == window) {
        m_playlist = nullptr;
        m_follow = false;
    }
}

DockSettings* CDockGroup::Settings(IDockWindow* window)
{
    for (Member& m : m_members)
        if (window != nullptr && m.window == window)
            return &m.settings;
    return nullptr;
}

DockRect CDockGroup::Snap(IDockWindow* window, const DockRect& requested, const DockRect& current,
                          const DockRect& screen, const DockRect& workArea) const
{
    const Member* self = Find(window);
    if (self == nullptr)
        return requested;
    std::vector<DockRect> others;
    for (const Member& m : m_members)
        if (m.window != nullptr && m.window != window && m.window->DockVisible())
            others.push_back(m.window->DockFrame());
    const auto targets = CollectDockTargets(self->settings, screen, workArea, others, RegisteredCount());
    return SnapDockRect(requested, current, targets, self->settings.distance);
}

void CDockGroup::BeginMainMove()
{
    DockSettings* main = Settings(m_main);
    DockSettings* playlist = Settings(m_playlist);
    if (main == nullptr || playlist == nullptr || !m_playlist->DockVisible()) {
        m_follow = false;
        return;
    }
    const DockRect m = m_main->DockFrame();
    const DockRect p = m_playlist->DockFrame();
    m_dx = p.left - m.left;
    m_dy = p.top - m.top;
    playlist->snapWindows = false;
    playlist->snapScreen = false;
    m_follow = DockRectsTouch(m, p);
    if (m_follow)
        main->snapWindows = false;
}

void CDockGroup::MainMoved()
{
    if (!m_follow || m_main == nullptr || m_playlist == nullptr)
        return;
    const DockRect m = m_main->DockFrame();
    m_playlist->DockMoveTo(m.left + m_dx, m.top + m_dy);
}

void CDockGroup::EndMainMove()
{
    if (DockSettings* playlist = Settings(m_playlist)) {
        playlist->snapWindows = true;
        playlist->snapScreen = true;
    }
    if (DockSettings* main = Settings(m_main))
        main->snapWindows = true;
    m_follow = false;
}
