// The snapping rule and the touch test of window docking.
#include "player/DockGeometry.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

std::vector<DockRect> CollectDockTargets(const DockSettings& settings, const DockRect& screen,
                                         const DockRect& workArea, const std::vector<DockRect>& others,
                                         int registeredCount)
{
    std::vector<DockRect> targets;
    if (settings.snapScreen) {
        targets.push_back(screen);
        if (settings.excludeTaskbar)
            targets.push_back(workArea);
    }
    if (settings.snapWindows && registeredCount > 1)
        targets.insert(targets.end(), others.begin(), others.end());
    return targets;
}

namespace {

// Distances are taken in 64 bits so that rectangles near the ends of the
// 32-bit range cannot overflow.
int64_t Gap(int32_t a, int32_t b)
{
    return std::llabs(int64_t(a) - int64_t(b));
}

// An edge placed `size` away from `edge`, modulo 2^32 like DockRect::Width.
int32_t Shift(int32_t edge, int32_t size)
{
    return int32_t(uint32_t(edge) + uint32_t(size));
}
int32_t ShiftBack(int32_t edge, int32_t size)
{
    return int32_t(uint32_t(edge) - uint32_t(size));
}

// One axis of the search: the best distance so far and whether a candidate
// beat it.
struct AxisBest {
    int64_t best = INT_MAX;
    int64_t limit;

    explicit AxisBest(int32_t distance) : limit(distance) {}
    bool Take(int64_t d)
    {
        if (d > 0 && d <= limit && d < best) {
            best = d;
            return true;
        }
        return false;
    }
};

}  // namespace

DockRect SnapDockRect(const DockRect& requested, const DockRect& current,
                      const std::vector<DockRect>& targets, int32_t distance)
{
    const DockRect& r = requested;
    if (r == current)
        return r;
    const bool move = r.Width() == current.Width() && r.Height() == current.Height();
    const bool leftMoves = r.left != current.left;
    const bool rightMoves = r.right != current.right;
    const bool topMoves = r.top != current.top;
    const bool bottomMoves = r.bottom != current.bottom;

    DockRect s = r;
    AxisBest x(distance), y(distance);
    const int64_t d = distance;
    for (const DockRect& t : targets) {
        const bool nearVertically =
            std::max<int64_t>(r.top, t.top) <= std::min<int64_t>(r.bottom, t.bottom) + d;
        const bool nearHorizontally =
            std::max<int64_t>(r.left, t.left) <= std::min<int64_t>(r.right, t.right) + d;
        if (move) {
            if (nearVertically) {
                if (x.Take(Gap(r.left, t.left)))
                    s.left = t.left, s.right = Shift(t.left, r.Width());
                if (x.Take(Gap(r.left, t.right)))
                    s.left = t.right, s.right = Shift(t.right, r.Width());
                if (x.Take(Gap(r.right, t.right)))
                    s.right = t.right, s.left = ShiftBack(t.right, r.Width());
                if (x.Take(Gap(r.right, t.left)))
                    s.right = t.left, s.left = ShiftBack(t.left, r.Width());
            }
            if (nearHorizontally) {
                if (y.Take(Gap(r.top, t.top)))
                    s.top = t.top, s.bottom = Shift(t.top, r.Height());
                if (y.Take(Gap(r.top, t.bottom)))
                    s.top = t.bottom, s.bottom = Shift(t.bottom, r.Height());
                if (y.Take(Gap(r.bottom, t.bottom)))
                    s.bottom = t.bottom, s.top = ShiftBack(t.bottom, r.Height());
                if (y.Take(Gap(r.bottom, t.top)))
                    s.bottom = t.top, s.top = ShiftBack(t.top, r.Height());
            }
            continue;
        }
        if (nearVertically) {
            if (leftMoves) {
                if (x.Take(Gap(r.left, t.left)))
                    s.left = t.left;
                if (x.Take(Gap(r.left, t.right)))
                    s.left = t.right;
            }
            if (rightMoves) {
                if (x.Take(Gap(r.right, t.right)))
                    s.right = t.right;
                if (x.Take(Gap(r.right, t.left)))
                    s.right = t.left;
            }
        }
        if (nearHorizontally) {
            if (topMoves) {
                if (y.Take(Gap(r.top, t.top)))
                    s.top = t.top;
                if (y.Take(Gap(r.top, t.bottom)))
                    s.top = t.bottom;
            }
            if (bottomMoves) {
                if (y.Take(Gap(r.bottom, t.bottom)))
                    s.bottom = t.bottom;
                if (y.Take(Gap(r.bottom, t.top)))
                    s.bottom = t.top;
            }
        }
    }
    return s;
}

bool DockRectsTouch(const DockRect& m, const DockRect& p)
{
    // Any overlap of the two extents along the shared line counts, so a
    // narrower playlist under the main window's middle follows it too.
    const bool sideLine = m.left == p.left || m.left == p.right || m.right == p.left || m.right == p.right;
    const bool sideContact = sideLine && p.top <= m.bottom && m.top <= p.bottom;
    const bool edgeLine = m.top == p.top || m.top == p.bottom || m.bottom == p.top || m.bottom == p.bottom;
    const bool edgeContact = edgeLine && p.left <= m.right && m.left <= p.right;
    return sideContact || edgeContact;
}
