// Where a window with a remembered rectangle may be put back: only where
// the user can see and reach it. A rectangle saved while a monitor was
// connected that has since gone would otherwise place the window off every
// screen.
#pragma once

#include <cstdint>
#include <vector>

#include "app/SettingsValues.h"

// A screen's area in the desktop's coordinates (left, top inclusive; right,
// bottom exclusive), as SettingsRect keeps it.
using ScreenRect = SettingsRect;

// Pixels of a saved window that must lie on one screen, across and down,
// for it to count as visible (enough to grab it by its body or caption).
constexpr int32_t kMinVisibleSpan = 32;

// True when `saved` has a width above 0 and overlaps one of `screens` by at
// least kMinVisibleSpan pixels in both directions (or by the whole window
// where it is smaller than that).
bool IsRectVisibleOnScreens(const SettingsRect& saved, const std::vector<ScreenRect>& screens);
