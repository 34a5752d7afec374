// The state word of a skinned button and which image of its strip shows.
// Bit 31: disabled; bit 30: on (a toggle's latched state); low byte:
// 1 pressed, 2 hover, 0 neither.
#pragma once

#include <cstdint>

enum class ButtonKind : int32_t {
    Push = 0,         // four images: normal, pressed, disabled, hover
    Toggle = 1,       // four images, the on state shows the pressed one
    TwoImage = 2,     // two images: off, on
};

constexpr uint32_t kButtonDisabled = 0x80000000u;
constexpr uint32_t kButtonOn = 0x40000000u;
constexpr uint32_t kButtonPressed = 1;
constexpr uint32_t kButtonHover = 2;
constexpr uint32_t kButtonMouseMask = 0xFF;

// Image of the strip to draw: 2 if disabled (four-image kinds), else 1 if on,
// else 0 for the two-image kind, else 1 pressed, 3 hover, 0 otherwise.
constexpr int ButtonImageIndex(ButtonKind kind, uint32_t state)
{
    if ((state & kButtonDisabled) && kind != ButtonKind::TwoImage)
        return 2;
    if (state & kButtonOn)
        return 1;
    if (kind == ButtonKind::TwoImage)
        return 0;
    switch (state & kButtonMouseMask) {
    case kButtonPressed:
        return 1;
    case kButtonHover:
        return 3;
    default:
        return 0;
    }
}

// The state word with the mouse byte replaced.
constexpr uint32_t WithMouse(uint32_t state, uint32_t mouse) { return (state & ~kButtonMouseMask) | mouse; }
