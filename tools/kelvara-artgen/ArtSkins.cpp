// The example skins: "Amber Night" (warm panel, additive amber digits 20
// pixels wide on a 21-pixel step) and "Pocket LCD" (a light reflective LCD
// whose dark segments are subtracted from the background, default spacing).
#include "Art.h"
#include "Canvas.h"

namespace art {

namespace {

ExampleSkin AmberNight()
{
    PanelStyle panel;
    panel.panelTop = QColor(58, 44, 34);
    panel.panelBottom = QColor(26, 19, 15);
    panel.grain = 3;
    panel.seed = 0x414D4252;
    panel.edgeLight = QColor(120, 96, 70);
    panel.edgeShadow = QColor(8, 5, 3);
    panel.well = QColor(16, 11, 8);
    panel.lcdTop = QColor(10, 5, 2);
    panel.lcdBottom = QColor(20, 10, 4);
    panel.lcdRight = 258;
    panel.digitWidth = 20;
    panel.digitStep = 21;
    panel.lcdGrid = true;
    panel.label = QColor(190, 150, 100);
    panel.logo = QColor(255, 176, 70);
    panel.logoShadow = QColor(10, 6, 3);
    panel.separator = QColor(44, 32, 24);

    DigitStyle digits;
    digits.width = 20;
    digits.cell = [](int) { return QColor(0, 0, 0); };  // added to the window: black adds nothing
    digits.lit = QColor(255, 150, 40);
    digits.ghost = QColor(26, 12, 2);
    digits.glow = 0.55;
    digits.slant = 0.1;

    GaugeStyle gauge;
    gauge.low = QColor(255, 170, 40);
    gauge.mid = QColor(255, 120, 20);
    gauge.high = QColor(255, 40, 20);
    gauge.darkFactor = 0.18;
    gauge.gap = QColor(10, 6, 4);
    gauge.peak = QColor(255, 240, 200);

    AutoplayStyle autoplay;
    autoplay.corner = panel.well;
    autoplay.bodyTop = QColor(86, 66, 50);
    autoplay.bodyBottom = QColor(46, 34, 26);
    autoplay.symbolOff = QColor(180, 150, 115);
    autoplay.symbolOn = QColor(255, 170, 60);

    ExampleSkin skin;
    skin.folder = "AmberNight";
    skin.ini = "; Warm panel with amber digits added onto the window.\n"
               "[Info]\nName=Amber Night\n\n"
               "[Main]\nFontColor=0x6ABEFF\nDigitWidth=20\nDigitStep=21\nDigitBlend=1\n\n"
               "[PlayList]\nFontColor=5AB4F0\nBackgroundColor=0C1420\nHighlightFontColor=000000\n"
               "HighlightColor=2882E6\n";
    skin.images = {DrawBackground(panel), DrawDigitStrip(digits), DrawLevelGauge(gauge),
                   DrawAutoplayPair(autoplay), 20, 21, 1, QColor(255, 190, 106)};
    return skin;
}

ExampleSkin PocketLcd()
{
    PanelStyle panel;
    panel.panelTop = QColor(196, 198, 190);
    panel.panelBottom = QColor(156, 158, 150);
    panel.grain = 2;
    panel.seed = 0x504F434B;
    panel.edgeLight = QColor(240, 242, 236);
    panel.edgeShadow = QColor(80, 82, 76);
    panel.well = QColor(158, 172, 136);
    panel.lcdTop = QColor(170, 184, 146);
    panel.lcdBottom = QColor(150, 166, 128);
    panel.label = QColor(60, 62, 58);
    panel.logo = QColor(50, 60, 80);
    panel.logoShadow = QColor(236, 238, 232);
    panel.separator = QColor(140, 154, 120);

    DigitStyle digits;
    digits.width = 16;
    digits.cell = [](int) { return QColor(0, 0, 0); };  // subtracted: black takes nothing away
    digits.lit = QColor(128, 140, 112);
    digits.ghost = QColor(14, 15, 12);
    digits.glow = 0;
    digits.slant = 0.06;

    GaugeStyle gauge;
    gauge.low = QColor(40, 48, 34);
    gauge.mid = QColor(40, 48, 34);
    gauge.high = QColor(40, 48, 34);
    gauge.darkFactor = 3.6;  // unlit segments: a faint shade of the LCD
    gauge.gap = QColor(158, 172, 136);
    gauge.peak = QColor(0, 0, 0);

    AutoplayStyle autoplay;
    autoplay.corner = panel.well;
    autoplay.bodyTop = QColor(214, 216, 208);
    autoplay.bodyBottom = QColor(170, 172, 164);
    autoplay.symbolOff = QColor(110, 112, 106);
    autoplay.symbolOn = QColor(20, 90, 200);

    ExampleSkin skin;
    skin.folder = "PocketLCD";
    skin.ini = "; A light reflective LCD: dark segments are subtracted from the window.\n"
               "; Digit width and step are left at their defaults.\n"
               "[Info]\nName=Pocket LCD\n\n"
               "[Main]\nFontColor=202020\nDigitBlend=2\n\n"
               "[PlayList]\nFontColor=203020\nBackgroundColor=C8D2BE\nHighlightFontColor=FFFFFF\n"
               "HighlightColor=5A6E46\n";
    skin.images = {DrawBackground(panel), DrawDigitStrip(digits), DrawLevelGauge(gauge),
                   DrawAutoplayPair(autoplay), 16, 17, 2, QColor(32, 32, 32)};
    return skin;
}

}  // namespace

std::vector<ExampleSkin> ExampleSkins() { return {AmberNight(), PocketLcd()}; }

}  // namespace art
