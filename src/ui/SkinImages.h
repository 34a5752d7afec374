// The four pictures of a skin (background, digit strip, level gauge,
// Autoplay pair), loaded from a skin folder's BMP files or from the built-in
// artwork, and the drawing of one digit glyph with the skin's blend.
#pragma once

#include <QImage>
#include <QString>

#include "player/Skin.h"

struct SkinImages {
    QImage background;  // 352 x 160
    QImage digits;      // 16 glyph cells of digitWidth x 22, side by side
    QImage levelGauge;  // 60 x 136, columns as the level meter reads them
    QImage autoplay;    // 40 x 26: off at x 0, on at x 20
};

// Smallest usable sizes; larger pictures are used from their top-left corner.
inline constexpr int kSkinBackgroundWidth = 352, kSkinBackgroundHeight = 160;
inline constexpr int kSkinGaugeWidth = 60, kSkinGaugeHeight = 136;
inline constexpr int kSkinAutoplayWidth = 40, kSkinAutoplayHeight = 26;
inline constexpr int kSkinMaxDigitWidth = 352;

// The built-in pictures (resources must be initialised, see Resources.h).
SkinImages LoadBuiltinSkinImages();

// Loads background.bmp, digit.bmp, levelgauge.bmp and icon.bmp from the
// skin's folder, in that order. When any is missing, unreadable, truncated
// or too small for its role (or the skin's digit width is not 1..352),
// `out` gets the built-in pictures, `error` (when given) says which file
// failed and why, and the result is false. All images are Format_RGB32.
bool LoadSkinImages(const CSkin& skin, SkinImages& out, QString* error = nullptr);

// Draws glyph `glyph` (0..15) of `images.digits` at (x, 12) of `target`
// (a 32-bit image the size of the window or larger), blended with the same
// rectangle of `images.background` as the skin's DigitBlend says. Whatever
// falls outside the target, the background or the strip is left out.
void DrawSkinDigit(QImage& target, const SkinImages& images, int32_t digitWidth, int32_t digitBlend, int glyph,
                   int x);
