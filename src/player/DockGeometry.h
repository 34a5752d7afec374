// Window docking geometry: the snapping rule that pulls a moved or resized
// window onto nearby screen edges and other windows, and the touch test that
// decides whether the playlist travels with the main window.
//
// Rectangles are in screen pixels with exclusive right and bottom edges
// (right = left + width), the way window rectangles are stored.
#pragma once

#include <cstdint>
#include <vector>

struct DockRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    // Taken modulo 2^32, so absurd rectangles (a damaged saved position)
    // cannot overflow; real windows are far inside the range.
    int32_t Width() const { return int32_t(uint32_t(right) - uint32_t(left)); }
    int32_t Height() const { return int32_t(uint32_t(bottom) - uint32_t(top)); }
    bool operator==(const DockRect&) const = default;
};

// What a docking window snaps to, and how far it reaches.
struct DockSettings {
    bool snapWindows = true;     // the other registered windows
    bool snapScreen = true;      // the screen rectangle
    bool excludeTaskbar = true;  // also the screen minus panels and taskbars
    int32_t distance = 10;       // pixels
};

// The targets a window snaps to, in the order they are tried: the screen,
// then its work area (the screen without panels), then the other windows
// (visible ones only, in registration order; the caller leaves out the
// window itself). Other windows count only when more than one window is
// registered, which `registeredCount` tells.
std::vector<DockRect> CollectDockTargets(const DockSettings& settings, const DockRect& screen,
                                         const DockRect& workArea, const std::vector<DockRect>& others,
                                         int registeredCount);

// The rectangle a window takes instead of `requested` when it asks to go
// from `current` to `requested`. A change that keeps the size is a move: the
// window may shift on each axis by up to `distance` to line one of its edges
// up with a target's edge. Otherwise only the edges that changed may snap.
// An edge already on a target's edge (distance 0) is not a snap, so the
// window can still reach another target; per axis the nearest candidate
// wins and ties keep the one tried first.
DockRect SnapDockRect(const DockRect& requested, const DockRect& current,
                      const std::vector<DockRect>& targets, int32_t distance);

// Whether the playlist rectangle `p` touches the main window `m`: a vertical
// edge of one lies on a vertical edge of the other and their heights
// overlap, or likewise for horizontal edges and widths.
bool DockRectsTouch(const DockRect& m, const DockRect& p);
