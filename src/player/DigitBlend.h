// The seven-digit display of a skin: where the nine cells (three code
// digits, the state symbol, two minute digits, the colon, two second
// digits) sit for a given digit step, and how a glyph cell is combined with
// the background under it.
//
// Pixels are 32-bit 0xAARRGGBB words (the layout of a Qt RGB32 image); the
// blend works on the blue, green and red bytes separately and writes an
// opaque result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// How a glyph is drawn over the background (the skin's DigitBlend).
enum EDigitBlendMode : int32_t {
    DigitBlendOpaque = 0,    // the glyph cell replaces the background
    DigitBlendAdd = 1,       // min(255, b + d)
    DigitBlendSubtract = 2,  // max(0, b - d)
    DigitBlendAverage = 3,   // (b + d) / 2, rounded down
};

constexpr int32_t kDigitTop = 12;     // y of every cell in the window
constexpr int32_t kDigitHeight = 22;  // height of every cell and of the strip
constexpr int32_t kDigitGlyphCount = 16;  // cells in a digit strip (see DigitDisplay.h)

// Cell x positions, in the order the display is read.
struct DigitLayout {
    enum Cell { CodeHundreds, CodeTens, CodeUnits, State, MinuteTens, MinuteUnits, Colon, SecondTens, SecondUnits };
    std::array<int32_t, 9> x{};
};
DigitLayout DigitPositions(int32_t digitStep);

// One pixel: `background` under `glyph` with blend mode `blend` (any value
// other than 1..3 draws the glyph opaquely).
uint32_t BlendDigitPixel(uint32_t background, uint32_t glyph, int32_t blend);

// A width x height block: out = blend(background, glyph), row by row.
// Strides are in pixels. `out` may be the same memory as `background`.
void BlendDigit(const uint32_t* background, std::ptrdiff_t backgroundStride, const uint32_t* glyph,
                std::ptrdiff_t glyphStride, uint32_t* out, std::ptrdiff_t outStride, int32_t width, int32_t height,
                int32_t blend);
