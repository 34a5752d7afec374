// Digit cell positions and the per-channel glyph blending.
#include "player/DigitBlend.h"

#include <algorithm>

DigitLayout DigitPositions(int32_t s)
{
    DigitLayout layout;
    layout.x = {54, 54 + s, 54 + 2 * s, (s + 18) * 3, 54 + 4 * s, 54 + 5 * s, (s + 9) * 6, 54 + 7 * s, 54 + 8 * s};
    return layout;
}

uint32_t BlendDigitPixel(uint32_t background, uint32_t glyph, int32_t blend)
{
    if (blend < DigitBlendAdd || blend > DigitBlendAverage)
        return glyph | 0xFF000000u;
    uint32_t result = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int b = int((background >> shift) & 0xFF);
        const int d = int((glyph >> shift) & 0xFF);
        int v;
        if (blend == DigitBlendAdd)
            v = std::min(255, b + d);
        else if (blend == DigitBlendSubtract)
            v = std::max(0, b - d);
        else
            v = (b + d) / 2;
        result |= uint32_t(v) << shift;
    }
    return result;
}

void BlendDigit(const uint32_t* background, std::ptrdiff_t backgroundStride, const uint32_t* glyph,
                std::ptrdiff_t glyphStride, uint32_t* out, std::ptrdiff_t outStride, int32_t width, int32_t height,
                int32_t blend)
{
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* b = background + y * backgroundStride;
        const uint32_t* d = glyph + y * glyphStride;
        uint32_t* o = out + y * outStride;
        for (int32_t x = 0; x < width; ++x)
            o[x] = BlendDigitPixel(b[x], d[x], blend);
    }
}
