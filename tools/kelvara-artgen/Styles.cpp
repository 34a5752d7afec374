// The colours of the built-in look: a dark graphite panel with a cyan
// digit window.
#include "Art.h"

namespace art {

PanelStyle BuiltinPanel()
{
    PanelStyle s;
    s.panelTop = QColor(62, 67, 76);
    s.panelBottom = QColor(32, 35, 40);
    s.grain = 3;
    s.seed = 0x4B454C56;
    s.edgeLight = QColor(120, 128, 140);
    s.edgeShadow = QColor(10, 11, 13);
    s.well = QColor(14, 16, 19);
    s.lcdTop = QColor(6, 16, 20);
    s.lcdBottom = QColor(10, 26, 31);
    s.label = QColor(150, 158, 170);
    s.logo = QColor(130, 220, 245);
    s.logoShadow = QColor(12, 14, 17);
    s.separator = QColor(34, 38, 44);
    return s;
}

DigitStyle BuiltinDigits()
{
    DigitStyle d;
    const PanelStyle panel = BuiltinPanel();
    d.width = 16;
    d.cell = [panel](int row) { return LcdColorAt(panel, 12 + row); };
    d.lit = QColor(120, 232, 255);
    d.ghost = QColor(22, 44, 52);
    d.glow = 0.45;
    return d;
}

GaugeStyle BuiltinGauge()
{
    GaugeStyle g;
    g.low = QColor(40, 220, 90);
    g.mid = QColor(240, 220, 40);
    g.high = QColor(250, 50, 40);
    g.darkFactor = 0.2;
    g.gap = QColor(8, 9, 11);
    g.peak = QColor(255, 255, 255);
    return g;
}

AutoplayStyle BuiltinAutoplay()
{
    AutoplayStyle a;
    a.corner = BuiltinPanel().well;
    a.bodyTop = QColor(74, 80, 91);
    a.bodyBottom = QColor(40, 44, 51);
    a.symbolOff = QColor(150, 158, 170);
    a.symbolOn = QColor(120, 232, 255);
    return a;
}

}  // namespace art
