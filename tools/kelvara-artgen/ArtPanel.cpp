// The main window background: a brushed dark panel with sunk wells for the
// level meter, the digit window, the Autoplay button, the title line and
// the three info lines, plus printed captions and the logo.
#include <QPainter>
#include <algorithm>

#include "Art.h"
#include "Canvas.h"
#include "player/DigitBlend.h"

namespace art {

namespace {

constexpr int kLcdTop = 8, kLcdBottom = 38;

void CentreLabel(QImage& image, int centreX, int y, const char* text, const QColor& color)
{
    DrawPixelText(image, centreX - PixelTextWidth(text, PixelFont::Small3x5) / 2, y, text, color,
                  PixelFont::Small3x5);
}

void RightLabel(QImage& image, int rightX, int y, const char* text, const QColor& color)
{
    DrawPixelText(image, rightX - PixelTextWidth(text, PixelFont::Small3x5) + 1, y, text, color,
                  PixelFont::Small3x5);
}

}  // namespace

QColor LcdColorAt(const PanelStyle& style, int y)
{
    const double t = double(std::clamp(y, kLcdTop, kLcdBottom) - kLcdTop) / (kLcdBottom - kLcdTop);
    return Mix(style.lcdTop, style.lcdBottom, t);
}

QImage DrawBackground(const PanelStyle& style)
{
    QImage image(352, 160, QImage::Format_RGB32);
    FillGradientV(image, image.rect(), style.panelTop, style.panelBottom);
    AddBrushedGrain(image, image.rect(), style.grain, style.seed);
    DrawRaisedEdge(image, image.rect(), style.edgeLight, style.edgeShadow);

    // Level meter well around the bars at (12,12) and (26,12), 10 x 136 each.
    DrawWell(image, QRect(10, 10, 28, 140), style.well, style.edgeShadow, style.edgeLight);
    CentreLabel(image, 17, 153, "L", style.label);
    CentreLabel(image, 31, 153, "R", style.label);

    // Digit window: digits sit at y 12..33 from x 54 on.
    const QRect lcd(46, kLcdTop, style.lcdRight - 46 + 1, kLcdBottom - kLcdTop + 1);
    DrawWell(image, lcd, style.lcdTop, style.edgeShadow, style.edgeLight);
    for (int y = kLcdTop + 3; y <= kLcdBottom; ++y)
        for (int x = lcd.left(); x <= lcd.right(); ++x)
            image.setPixel(x, y, LcdColorAt(style, y).rgb());
    if (style.lcdGrid) {
        for (int y = kLcdTop + 3; y <= kLcdBottom; y += 2)
            for (int x = lcd.left() + 1; x <= lcd.right(); x += 2)
                image.setPixel(x, y, Scale(LcdColorAt(style, y), 1.6).rgb());
    }
    const DigitLayout cells = DigitPositions(style.digitStep);
    CentreLabel(image, (cells.x[DigitLayout::CodeHundreds] + cells.x[DigitLayout::CodeUnits] + style.digitWidth) / 2,
                42, "CODE", style.label);
    CentreLabel(image,
                (cells.x[DigitLayout::MinuteTens] + cells.x[DigitLayout::SecondUnits] + style.digitWidth) / 2, 42,
                "TIME", style.label);

    // Autoplay bezel around (316,10)-(336,36).
    DrawWell(image, QRect(314, 8, 24, 30), style.well, style.edgeShadow, style.edgeLight);
    CentreLabel(image, 326, 42, "AUTO", style.label);

    // Title line (55,53)-(336,68).
    DrawWell(image, QRect(50, 51, 291, 20), style.well, style.edgeShadow, style.edgeLight);

    // Logo and tagline between the title and the info lines.
    DrawPixelText(image, 45, 76, "KELVARA", style.logoShadow, PixelFont::Large5x7, 2);
    DrawPixelText(image, 44, 75, "KELVARA", style.logo, PixelFont::Large5x7, 2);

    // Info lines x 135..336 at y 92-107, 111-126, 130-145.
    DrawWell(image, QRect(130, 89, 211, 59), style.well, style.edgeShadow, style.edgeLight);
    for (int y : {109, 128})
        for (int x = 134; x <= 336; ++x)
            image.setPixel(x, y, style.separator.rgb());
    RightLabel(image, 124, 98, "GAME", style.label);
    RightLabel(image, 124, 117, "MAKER", style.label);
    RightLabel(image, 124, 136, "BOARD", style.label);
    DrawPixelText(image, 135, 79, "PACHISLOT SOUND BOARD PLAYER", style.label, PixelFont::Small3x5);
    return image;
}

}  // namespace art
