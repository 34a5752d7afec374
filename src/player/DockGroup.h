// CDockGroup: the windows that dock to each other (main window, playlist,
// equalizer dialog), each with its own docking settings, and the playlist
// travelling with the main window while they touch.
//
// Windows are reached through IDockWindow, so the rule runs the same for
// real windows and for tests. A window is registered once, in the order the
// windows are first created; hidden or vanished windows are skipped.
#pragma once

#include <vector>

#include "player/DockGeometry.h"

class IDockWindow {
public:
    virtual ~IDockWindow() = default;
    // Exists and is shown on screen.
    virtual bool DockVisible() const = 0;
    // The outer rectangle, frame included.
    virtual DockRect DockFrame() const = 0;
    // Moves the outer rectangle's top-left corner, keeping the size,
    // without activating the window or raising it.
    virtual void DockMoveTo(int32_t left, int32_t top) = 0;
};

class CDockGroup {
public:
    // Adds a window (again: nothing) with fresh settings.
    void Register(IDockWindow* window);
    // A window that is going away: from now on it is skipped like a hidden
    // one, and its settings are kept for its place in the order.
    void Forget(IDockWindow* window);
    int RegisteredCount() const { return int(m_members.size()); }

    // Null for a window that is not registered.
    DockSettings* Settings(IDockWindow* window);

    // Where `window` goes when asked to change from `current` to
    // `requested`, given the primary screen and its work area.
    DockRect Snap(IDockWindow* window, const DockRect& requested, const DockRect& current,
                  const DockRect& screen, const DockRect& workArea) const;

    // Which registered windows are the main window and the playlist.
    void SetMain(IDockWindow* window) { m_main = window; }
    void SetPlaylist(IDockWindow* window) { m_playlist = window; }

    // The user starts moving the main window: decide whether the playlist
    // follows, and keep the two from snapping to each other meanwhile.
    void BeginMainMove();
    // The main window has moved: a following playlist keeps its offset.
    void MainMoved();
    // The move is over: every switch the move turned off is on again.
    void EndMainMove();
    bool Following() const { return m_follow; }

private:
    struct Member {
        IDockWindow* window;  // null once forgotten
        DockSettings settings;
    };
    const Member* Find(const IDockWindow* window) const;

    std::vector<Member> m_members;
    IDockWindow* m_main = nullptr;
    IDockWindow* m_playlist = nullptr;
    bool m_follow = false;
    int32_t m_dx = 0;
    int32_t m_dy = 0;
};
