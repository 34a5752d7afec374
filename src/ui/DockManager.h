// CDockManager: docking for the real windows. The main window, the playlist
// window and the equalizer dialog snap to the screen's edges, its work area
// and each other, and a playlist touching the main window travels with it
// (the rule itself is CDockGroup's).
//
// Two kinds of moves reach it. The main window's body drag is done here:
// each mouse position becomes a requested place that is snapped before the
// window goes there. Moves and resizes the window manager makes (caption
// drags, frame resizes) can only be seen afterwards: once such a change has
// rested for a moment, the window is snapped from where it started.
//
// Only where applications may place their own windows (X11): on Wayland
// the manager stays off and the windows move as the compositor lets them.
#pragma once

#include <QObject>
#include <QPoint>
#include <memory>
#include <vector>

#include "player/DockGroup.h"

class QWidget;

class CDockManager : public QObject {
    Q_OBJECT
public:
    // How long a window-manager move or resize must rest before snapping.
    static constexpr int kSettleMs = 250;

    explicit CDockManager(QObject* parent = nullptr);
    ~CDockManager() override;

    // True on X11.
    static bool PlatformAllowsDocking();
    // Starts as PlatformAllowsDocking() says; tests switch it on offscreen.
    void SetEnabled(bool on) { m_enabled = on; }
    bool Enabled() const { return m_enabled; }

    // The main window, registered first. Its playlist window and equalizer
    // dialog (top-level children of class CPlaylistWindow and
    // CEqualizerDialog) register themselves when first shown.
    void RegisterMain(QWidget* main);
    void Register(QWidget* window, bool isPlaylist = false);

    // The main window's body drag: false when docking is off (the window
    // system then moves the window).
    bool BeginDrag(const QPoint& globalPos);
    void DragTo(const QPoint& globalPos);
    void EndDrag();

    const CDockGroup& Group() const { return m_group; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Window;
    Window* Find(QObject* widget) const;
    void OnChanged(Window& w);
    void Settle(Window& w);
    void Apply(Window& w, const DockRect& rect);
    void Screen(DockRect& screen, DockRect& workArea) const;

    CDockGroup m_group;
    std::vector<std::unique_ptr<Window>> m_windows;
    Window* m_main = nullptr;
    bool m_enabled;
    bool m_dragging = false;
    QPoint m_grab;  // cursor position in the main window's frame
};
