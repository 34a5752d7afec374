// The display artwork: seven-segment digit strip, level gauge columns and
// the Autoplay button pair.
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>

#include "Art.h"
#include "Canvas.h"

namespace art {

namespace {

// Segment bits: a top, b upper right, c lower right, d bottom, e lower left,
// f upper left, g middle.
enum : unsigned { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };
constexpr unsigned kDigitSegments[10] = {
    A | B | C | D | E | F, B | C, A | B | D | E | G, A | B | C | D | G, B | C | F | G,
    A | C | D | F | G,     A | C | D | E | F | G, A | B | C, A | B | C | D | E | F | G, A | B | C | D | F | G,
};

struct SegmentBox {
    double left, right, top, bottom, thick, gap, slant;
    double Mid() const { return (top + bottom) / 2; }
    QPointF P(double x, double y) const { return QPointF(x + (Mid() - y) * slant, y); }
};

QPolygonF Horizontal(const SegmentBox& s, double yc)
{
    const double h = s.thick / 2, l = s.left + s.gap, r = s.right - s.gap;
    return QPolygonF({s.P(l + h, yc), s.P(l + s.thick, yc - h), s.P(r - s.thick, yc - h), s.P(r - h, yc),
                      s.P(r - s.thick, yc + h), s.P(l + s.thick, yc + h)});
}

QPolygonF Vertical(const SegmentBox& s, double xc, double y0, double y1)
{
    const double h = s.thick / 2;
    y0 += s.gap;
    y1 -= s.gap;
    return QPolygonF({s.P(xc, y0 + h), s.P(xc + h, y0 + s.thick), s.P(xc + h, y1 - s.thick), s.P(xc, y1 - h),
                      s.P(xc - h, y1 - s.thick), s.P(xc - h, y0 + s.thick)});
}

QPolygonF Segment(const SegmentBox& s, unsigned bit)
{
    const double h = s.thick / 2;
    const double top = s.top + h, mid = s.Mid(), bottom = s.bottom - h;
    switch (bit) {
    case A: return Horizontal(s, top);
    case G: return Horizontal(s, mid);
    case D: return Horizontal(s, bottom);
    case B: return Vertical(s, s.right - h, top, mid);
    case C: return Vertical(s, s.right - h, mid, bottom);
    case E: return Vertical(s, s.left + h, mid, bottom);
    default: return Vertical(s, s.left + h, top, mid);
    }
}

void FillPolygon(QImage& image, const QPolygonF& polygon, const QColor& color)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(polygon);
}

// The shapes lit in glyph `g` (digits, dash, colon and the state symbols).
QPainterPath LitShape(int g, const SegmentBox& s, double cellWidth)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const double cx = cellWidth / 2, cy = 11;
    if (g <= 9 || g == 11) {
        const unsigned mask = g <= 9 ? kDigitSegments[g] : G;
        for (unsigned bit = A; bit <= G; bit <<= 1)
            if (mask & bit)
                path.addPolygon(Segment(s, bit));
    } else if (g == 12) {  // colon
        for (double y : {7.5, 14.5})
            path.addEllipse(s.P(cx, y), 1.5, 1.5);
    } else if (g == 13) {  // playing
        path.addPolygon(QPolygonF({s.P(cx - 3.5, cy - 5.5), s.P(cx + 4.5, cy), s.P(cx - 3.5, cy + 5.5)}));
    } else if (g == 14) {  // stopped
        path.addPolygon(QPolygonF({s.P(cx - 4, cy - 4), s.P(cx + 4, cy - 4), s.P(cx + 4, cy + 4), s.P(cx - 4, cy + 4)}));
    } else if (g == 15) {  // paused
        for (double x0 : {cx - 4.5, cx + 1.5})
            path.addPolygon(
                QPolygonF({s.P(x0, cy - 5), s.P(x0 + 3, cy - 5), s.P(x0 + 3, cy + 5), s.P(x0, cy + 5)}));
    }
    path.closeSubpath();
    return path;
}

}  // namespace

QImage DrawDigitStrip(const DigitStyle& style)
{
    const int w = style.width;
    QImage strip(w * 16, 22, QImage::Format_RGB32);
    const double inset = w >= 20 ? 3.5 : 3.0;
    const SegmentBox box{inset, w - inset, 1.5, 20.5, w >= 20 ? 2.6 : 2.2, 0.35, style.slant};
    for (int g = 0; g < 16; ++g) {
        QImage cell(w, 22, QImage::Format_RGB32);
        for (int y = 0; y < 22; ++y)
            for (int x = 0; x < w; ++x)
                cell.setPixel(x, y, style.cell(y).rgb());
        if (g <= 11) {  // digit cells show their unlit segments
            for (unsigned bit = A; bit <= G; bit <<= 1)
                FillPolygon(cell, Segment(box, bit), style.ghost);
        }
        const QPainterPath lit = LitShape(g, box, w);
        {
            QPainter p(&cell);
            p.setRenderHint(QPainter::Antialiasing);
            p.fillPath(lit, style.lit);
        }
        if (style.glow > 0) {
            QImage halo(w, 22, QImage::Format_RGB32);
            halo.fill(Qt::black);
            QPainter p(&halo);
            p.setRenderHint(QPainter::Antialiasing);
            p.fillPath(lit, style.lit);
            p.end();
            Blur(halo, 1, 2);
            AddLight(cell, halo, style.glow);
        }
        QPainter p(&strip);
        p.drawImage(g * w, 0, cell);
    }
    return strip;
}

QImage DrawLevelGauge(const GaugeStyle& style)
{
    QImage gauge(60, 136, QImage::Format_RGB32);
    gauge.fill(style.gap);
    // Value k (0 = loudest, at the top) owns rows 3k..3k+2: two lit rows and a gap.
    for (int k = 0; k < 45; ++k) {
        const double height = (44 - k) / 44.0;  // 0 at the bottom, 1 at the top
        QColor lit = height < 0.6    ? Mix(style.low, style.mid, height / 0.6 * 0.35)
                     : height < 0.82 ? Mix(style.mid, style.high, (height - 0.6) / 0.22 * 0.3)
                                     : Mix(style.mid, style.high, 0.75 + (height - 0.82) / 0.18 * 0.25);
        const QColor dark = Scale(lit, style.darkFactor);
        const QColor peak = Mix(lit, style.peak, 0.45);
        for (int row = 3 * k; row < 3 * k + 2; ++row) {
            const double rowShade = row == 3 * k ? 1.0 : 0.82;
            for (int x = 0; x < 10; ++x) {
                const double edge = (x == 0 || x == 9) ? 0.72 : 1.0;
                gauge.setPixel(x, row, Scale(dark, edge * rowShade).rgb());
                gauge.setPixel(10 + x, row, Scale(lit, edge * rowShade).rgb());
                gauge.setPixel(20 + x, row, Scale(lit, edge * rowShade).rgb());
                gauge.setPixel(30 + x, row, Scale(dark, edge * rowShade).rgb());
                gauge.setPixel(40 + x, row, Scale(peak, edge * rowShade).rgb());
                gauge.setPixel(50 + x, row, Scale(peak, edge * rowShade).rgb());
            }
        }
    }
    return gauge;
}

QImage DrawAutoplayPair(const AutoplayStyle& style)
{
    QImage pair(40, 26, QImage::Format_RGB32);
    pair.fill(style.corner);
    for (int on = 0; on < 2; ++on) {
        const QRect body(on * 20, 0, 20, 26);
        FillGradientV(pair, body, on ? Scale(style.bodyBottom, 0.8) : style.bodyTop,
                      on ? Scale(style.bodyTop, 0.8) : style.bodyBottom);
        DrawRaisedEdge(pair, body, on ? Scale(style.bodyBottom, 0.7) : Mix(style.bodyTop, Qt::white, 0.3),
                       Scale(style.bodyBottom, 0.5));
        for (QPoint corner : {body.topLeft(), body.topRight(), body.bottomLeft(), body.bottomRight()})
            pair.setPixel(corner, style.corner.rgb());

        const QColor ink = on ? style.symbolOn : style.symbolOff;
        QImage layer(40, 26, QImage::Format_RGB32);
        layer.fill(Qt::black);
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        // Indicator lamp at the top.
        p.fillRect(QRectF(on * 20 + 6, 3, 8, 2), on ? style.symbolOn : Scale(style.symbolOff, 0.35));
        // Loop arrow around an "A".
        const QPointF c(on * 20 + 10, 15.5);
        QPen pen(ink, 1.5);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawArc(QRectF(c.x() - 6, c.y() - 6, 12, 12), 110 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(c.x() - 0.5, c.y() - 8.6), QPointF(c.x() + 3.5, c.y() - 6),
                                 QPointF(c.x() - 0.5, c.y() - 3.4)}));
        p.end();
        DrawPixelText(layer, int(c.x()) - 1, int(c.y()) - 2, "A", ink, PixelFont::Small3x5);
        // Lay the symbol over the body (the layer is black where nothing is drawn).
        QImage glow = layer;
        Blur(glow, 1, 2);
        for (int y = 0; y < 26; ++y) {
            for (int x = body.left(); x <= body.right(); ++x) {
                const QRgb s = layer.pixel(x, y);
                const double a = std::max({qRed(s), qGreen(s), qBlue(s)}) /
                                 double(std::max({ink.red(), ink.green(), ink.blue(), 1}));
                QColor under = QColor::fromRgb(pair.pixel(x, y));
                pair.setPixel(x, y, Mix(under, ink, std::min(1.0, a)).rgb());
            }
        }
        if (on) {
            QImage lit = pair.copy(body);
            AddLight(lit, glow.copy(body), 0.5);
            QPainter q(&pair);
            q.drawImage(body.topLeft(), lit);
        }
    }
    return pair;
}

}  // namespace art
