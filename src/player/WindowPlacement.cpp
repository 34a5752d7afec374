// Visibility test of remembered window rectangles.
#include "player/WindowPlacement.h"

#include <algorithm>

bool IsRectVisibleOnScreens(const SettingsRect& saved, const std::vector<ScreenRect>& screens)
{
    const int64_t width = int64_t(saved.right) - saved.left;
    const int64_t height = int64_t(saved.bottom) - saved.top;
    if (width <= 0 || height <= 0)
        return false;
    const int64_t needX = std::min<int64_t>(width, kMinVisibleSpan);
    const int64_t needY = std::min<int64_t>(height, kMinVisibleSpan);
    for (const ScreenRect& s : screens) {
        const int64_t overlapX = std::min<int64_t>(saved.right, s.right) - std::max<int64_t>(saved.left, s.left);
        const int64_t overlapY = std::min<int64_t>(saved.bottom, s.bottom) - std::max<int64_t>(saved.top, s.top);
        if (overlapX >= needX && overlapY >= needY)
            return true;
    }
    return false;
}
