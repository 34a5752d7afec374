// The four colours of the playlist window's list. A skin sets them; until
// one does (and after the built-in skin is chosen again) the window uses its
// defaults: a grey RGB(80,80,80) background and the system's highlight
// colours for the rest.
#pragma once

#include <cstdint>

// Colours are 0x00BBGGRR (the low byte is red), as skin files write them.
constexpr uint32_t ColorRef(uint8_t r, uint8_t g, uint8_t b)
{
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
constexpr uint8_t ColorRefRed(uint32_t c) { return uint8_t(c); }
constexpr uint8_t ColorRefGreen(uint32_t c) { return uint8_t(c >> 8); }
constexpr uint8_t ColorRefBlue(uint32_t c) { return uint8_t(c >> 16); }

struct PlaylistColors {
    // True for the built-in look: background below, the other three taken
    // from the system palette at drawing time (the fields are then unused).
    bool systemDefaults = true;
    uint32_t background = ColorRef(80, 80, 80);
    uint32_t font = 0;
    uint32_t highlight = 0;
    uint32_t highlightFont = 0;
    bool operator==(const PlaylistColors&) const = default;
};
