// The screens' rectangles as the placement rule takes them, for windows
// that go back to a remembered place.
#pragma once

#include <vector>

#include "player/WindowPlacement.h"

// Every screen's work area (without panels and docks), or its whole area
// when `workAreaOnly` is false, in desktop coordinates.
std::vector<ScreenRect> ScreenAreas(bool workAreaOnly = true);
