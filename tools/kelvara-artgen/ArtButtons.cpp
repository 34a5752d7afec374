// Transport button strips: a rounded metal key in four states (normal,
// pressed or on, disabled, hover) with its symbol; magenta outside the key.
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "Art.h"
#include "Canvas.h"

namespace art {

namespace {

enum State { Normal, Pressed, Disabled, Hover };

struct KeyLook {
    QColor top, bottom, rim, ink;
};

KeyLook LookOf(State state)
{
    switch (state) {
    case Pressed: return {QColor(30, 33, 39), QColor(50, 54, 62), QColor(10, 11, 13), QColor(120, 232, 255)};
    case Disabled: return {QColor(64, 66, 71), QColor(52, 54, 58), QColor(30, 31, 34), QColor(108, 111, 117)};
    case Hover: return {QColor(104, 112, 125), QColor(60, 65, 75), QColor(16, 18, 21), QColor(255, 255, 255)};
    default: return {QColor(80, 86, 97), QColor(44, 48, 56), QColor(16, 18, 21), QColor(214, 220, 228)};
    }
}

QPolygonF Triangle(double x0, double x1, double cy, double half)
{
    return QPolygonF({QPointF(x0, cy - half), QPointF(x1, cy), QPointF(x0, cy + half)});
}

void DrawSymbol(QImage& image, ButtonSymbol symbol, const QRectF& key, State state, const KeyLook& look)
{
    const double shift = state == Pressed ? 1.0 : 0.0;
    const double cx = key.center().x() + shift, cy = key.center().y() + shift;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(look.ink);
    switch (symbol) {
    case ButtonSymbol::Record: {
        QColor red = state == Disabled ? look.ink
                     : state == Pressed ? QColor(255, 70, 60)
                     : state == Hover   ? QColor(240, 90, 80)
                                        : QColor(200, 60, 55);
        if (state == Pressed) {  // lit: a soft halo behind the dot
            QRadialGradient halo(QPointF(cx, cy), 8);
            halo.setColorAt(0, QColor(255, 80, 60, 160));
            halo.setColorAt(1, QColor(255, 80, 60, 0));
            p.setBrush(halo);
            p.drawEllipse(QPointF(cx, cy), 8, 8);
        }
        p.setBrush(red);
        p.drawEllipse(QPointF(cx, cy), 4.5, 4.5);
        break;
    }
    case ButtonSymbol::Prev:
        p.drawRect(QRectF(cx - 6.5, cy - 4.5, 2, 9));
        p.drawPolygon(Triangle(cx, cx - 4.5, cy, 4.5));
        p.drawPolygon(Triangle(cx + 5, cx + 0.5, cy, 4.5));
        break;
    case ButtonSymbol::Next:
        p.drawRect(QRectF(cx + 4.5, cy - 4.5, 2, 9));
        p.drawPolygon(Triangle(cx, cx + 4.5, cy, 4.5));
        p.drawPolygon(Triangle(cx - 5, cx - 0.5, cy, 4.5));
        break;
    case ButtonSymbol::Play: p.drawPolygon(Triangle(cx - 3.5, cx + 5, cy, 5)); break;
    case ButtonSymbol::Pause:
        p.drawRect(QRectF(cx - 4.5, cy - 4.5, 3, 9));
        p.drawRect(QRectF(cx + 1.5, cy - 4.5, 3, 9));
        break;
    case ButtonSymbol::Stop: p.drawRect(QRectF(cx - 4.5, cy - 4.5, 9, 9)); break;
    case ButtonSymbol::Load:
        p.drawPolygon(QPolygonF({QPointF(cx - 6, cy + 1), QPointF(cx, cy - 5.5), QPointF(cx + 6, cy + 1)}));
        p.drawRect(QRectF(cx - 6, cy + 3, 12, 2.5));
        break;
    case ButtonSymbol::Playlist: {
        const double x0 = key.left() + 5 + shift;
        for (int row = 0; row < 3; ++row) {
            const double y = cy - 4.5 + row * 3.5;
            p.drawRect(QRectF(x0, y, 2, 2));
            p.drawRect(QRectF(x0 + 3.5, y, 6.5, 2));
        }
        p.end();
        DrawPixelText(image, int(x0 + 14), int(cy - 3.5), "LIST", look.ink, PixelFont::Large5x7);
        break;
    }
    }
}

}  // namespace

QImage DrawButtonStrip(ButtonSymbol symbol, int width)
{
    QImage strip(width * 4, 20, QImage::Format_RGB32);
    strip.fill(QColor::fromRgb(kMagenta));
    for (int s = 0; s < 4; ++s) {
        const State state = static_cast<State>(s);
        const KeyLook look = LookOf(state);
        const QRect key(s * width, 0, width, 20);
        // Body with a one-pixel rim, corners cut so magenta shows through.
        FillGradientV(strip, key.adjusted(1, 1, -1, -1), look.top, look.bottom);
        for (int x = key.left() + 1; x < key.right(); ++x) {
            strip.setPixel(x, key.top(), look.rim.rgb());
            strip.setPixel(x, key.bottom(), look.rim.rgb());
        }
        for (int y = key.top() + 1; y < key.bottom(); ++y) {
            strip.setPixel(key.left(), y, look.rim.rgb());
            strip.setPixel(key.right(), y, look.rim.rgb());
        }
        for (QPoint corner : {key.topLeft(), key.topRight(), key.bottomLeft(), key.bottomRight()})
            strip.setPixel(corner, kMagenta);
        for (QPoint inner : {key.topLeft() + QPoint(1, 1), key.topRight() + QPoint(-1, 1),
                             key.bottomLeft() + QPoint(1, -1), key.bottomRight() + QPoint(-1, -1)})
            strip.setPixel(inner, look.rim.rgb());
        // Highlight under the top rim (a shadow when pressed).
        const QColor lip = state == Pressed ? Scale(look.top, 0.6) : Mix(look.top, Qt::white, 0.35);
        for (int x = key.left() + 2; x < key.right() - 1; ++x)
            strip.setPixel(x, key.top() + 1, lip.rgb());
        DrawSymbol(strip, symbol, QRectF(key), state, look);
    }
    return strip;
}

}  // namespace art
