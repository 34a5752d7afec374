// The pieces of artwork the generator draws, each from a small style record
// so the built-in look and the example skins share one drawing code.
#pragma once

#include <QColor>
#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace art {

// Main window background, 352 x 160.
struct PanelStyle {
    QColor panelTop, panelBottom;  // body gradient
    int grain = 3;                 // brushed streak strength
    uint32_t seed = 1;
    QColor edgeLight, edgeShadow;  // bevel of wells and the outer edge
    QColor well;                   // title, info and meter wells
    QColor lcdTop, lcdBottom;      // the digit window, rows 8..38
    int lcdRight = 309;            // last column of the digit window
    int digitWidth = 16, digitStep = 17;  // where the CODE and TIME captions go
    bool lcdGrid = false;          // faint dot grid in the digit window
    QColor label;                  // small printed captions
    QColor logo, logoShadow;
    QColor separator;              // lines between the info rows
};
QImage DrawBackground(const PanelStyle& style);
// Colour of the digit window at background row y (digits drawn opaquely
// use the same rows so their cells meet the window without a seam).
QColor LcdColorAt(const PanelStyle& style, int y);

// Digit strip: 16 cells of width x 22.
struct DigitStyle {
    int width = 16;
    std::function<QColor(int row)> cell;  // cell colour for each of the 22 rows
    QColor lit, ghost;                    // lit and unlit segments
    double glow = 0.5;                    // strength of the halo around lit segments
    double slant = 0.08;
};
QImage DrawDigitStrip(const DigitStyle& style);

// Level gauge, 60 x 136.
struct GaugeStyle {
    QColor low, mid, high;  // bottom, middle and top segments when lit
    double darkFactor = 0.2;
    QColor gap;             // the row between segments
    QColor peak;            // tint mixed into the peak marks
};
QImage DrawLevelGauge(const GaugeStyle& style);

// Autoplay pair, 40 x 26: off at x 0, on at x 20.
struct AutoplayStyle {
    QColor corner;  // the well colour around the rounded button
    QColor bodyTop, bodyBottom;
    QColor symbolOff, symbolOn;
};
QImage DrawAutoplayPair(const AutoplayStyle& style);

// Transport buttons: four 20-pixel-high images side by side (normal,
// pressed/on, disabled, hover) with magenta around the rounded body.
enum class ButtonSymbol { Record, Prev, Play, Pause, Stop, Next, Load, Playlist };
QImage DrawButtonStrip(ButtonSymbol symbol, int width);

QImage DrawProgramIcon();
QImage DrawAboutPicture();
enum class ListIcon { Present, Absent, NoStub, SortUp, SortDown };
QImage DrawListIcon(ListIcon icon);

}  // namespace art

namespace art {

// The built-in look.
PanelStyle BuiltinPanel();
DigitStyle BuiltinDigits();
GaugeStyle BuiltinGauge();
AutoplayStyle BuiltinAutoplay();

// One complete look, for the mock-ups.
struct SkinSet {
    QImage background, digits, gauge, autoplay;
    int digitWidth = 16, digitStep = 17, digitBlend = 0;
    QColor font = Qt::white;
};
// The whole 352 x 192 window as the player draws it: code 001 playing at
// 01:23, both meters lit, the title and info lines (needs a QGuiApplication
// for the text), the buttons from `buttonFolder` over a `face` band.
QImage DrawMockup(const SkinSet& skin, const std::string& buttonFolder, const QColor& face);

// The example skins shipped with the player: folder name, Skin.ini text and images.
struct ExampleSkin {
    std::string folder;
    std::string ini;
    SkinSet images;
};
std::vector<ExampleSkin> ExampleSkins();

}  // namespace art
