// The program icon, the about box picture and the Load ROM list icons.
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

#include "Art.h"
#include "Canvas.h"

namespace art {

QImage DrawProgramIcon()
{
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 2, 0, 62);
    body.setColorAt(0, QColor(92, 100, 114));
    body.setColorAt(1, QColor(28, 31, 37));
    p.setPen(QPen(QColor(12, 13, 16), 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 11, 11);
    // Digit window with a lit seven and a play mark.
    p.setPen(QPen(QColor(110, 118, 130), 1));
    p.setBrush(QColor(8, 18, 22));
    p.drawRoundedRect(QRectF(11, 11, 42, 30), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 232, 255));
    const double s = 0.12;  // slant
    auto at = [s](double x, double y) { return QPointF(x + (26 - y) * s, y); };
    p.drawPolygon(QPolygonF({at(17, 15), at(34, 15), at(32, 19), at(19, 19)}));
    p.drawPolygon(QPolygonF({at(34, 15), at(34, 36), at(30, 36), at(30, 19)}));
    p.drawPolygon(QPolygonF({QPointF(39, 19), QPointF(48, 26), QPointF(39, 33)}));
    // Level bars along the bottom, green to red.
    const QColor bars[6] = {QColor(60, 210, 90),  QColor(60, 210, 90),  QColor(140, 220, 60),
                            QColor(230, 210, 50), QColor(240, 140, 40), QColor(235, 60, 45)};
    const int heights[6] = {6, 11, 8, 13, 9, 5};
    for (int i = 0; i < 6; ++i) {
        p.setBrush(bars[i]);
        p.drawRect(QRectF(12 + i * 7, 55 - heights[i], 5, heights[i]));
    }
    return icon;
}

QImage DrawAboutPicture()
{
    // One bit per pixel: colour 0 is the light tone, 1 the dark tone; the
    // about box paints them in two shades of its own face colour.
    QImage work(256, 112, QImage::Format_RGB32);
    work.fill(Qt::white);
    QPainter p(&work);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    // Frame.
    p.drawRect(0, 0, 256, 2);
    p.drawRect(0, 110, 256, 2);
    p.drawRect(0, 0, 2, 112);
    p.drawRect(254, 0, 2, 112);
    // A ring plate behind the program icon (drawn at 35,38, 32 x 32).
    p.setPen(QPen(Qt::black, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(51, 54), 26, 26);
    p.setPen(QPen(Qt::black, 1));
    p.drawEllipse(QPointF(51, 54), 31, 31);
    // Spectrum bars along the bottom edge, right of the ring.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (int i = 0; i < 38; ++i) {
        const double h = 4 + 10 * std::fabs(std::sin(i * 0.55)) + 6 * std::fabs(std::sin(i * 0.23 + 1));
        for (int y = 0; y < int(h); y += 3)
            p.drawRect(94 + i * 4, 104 - y, 3, 2);
    }
    p.end();
    QImage mono(work.size(), QImage::Format_Mono);
    mono.setColorCount(2);
    mono.setColor(0, qRgb(255, 255, 255));
    mono.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < work.height(); ++y)
        for (int x = 0; x < work.width(); ++x)
            mono.setPixel(x, y, qGray(work.pixel(x, y)) < 128 ? 1 : 0);
    return mono;
}

QImage DrawListIcon(ListIcon kind)
{
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case ListIcon::Present:
    case ListIcon::Absent: {
        // A ROM chip: body with legs on both sides.
        const bool present = kind == ListIcon::Present;
        const QColor legs = present ? QColor(170, 176, 184) : QColor(150, 150, 150);
        p.setPen(Qt::NoPen);
        p.setBrush(legs);
        for (int i = 0; i < 4; ++i) {
            p.drawRect(QRectF(1, 3 + i * 3, 2, 1.5));
            p.drawRect(QRectF(13, 3 + i * 3, 2, 1.5));
        }
        if (present) {
            QLinearGradient g(0, 1, 0, 15);
            g.setColorAt(0, QColor(90, 210, 110));
            g.setColorAt(1, QColor(20, 130, 50));
            p.setPen(QPen(QColor(10, 80, 30), 1));
            p.setBrush(g);
        } else {
            p.setPen(QPen(QColor(140, 140, 140), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
        }
        p.drawRoundedRect(QRectF(3.5, 1.5, 9, 13), 1.5, 1.5);
        if (present) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(220, 255, 225));
            p.drawEllipse(QPointF(8, 4), 1.2, 1.2);  // pin-one notch
        }
        break;
    }
    case ListIcon::NoStub: {
        p.setPen(QPen(QColor(150, 90, 0), 1));
        p.setBrush(QColor(250, 180, 30));
        p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(15, 14.5), QPointF(1, 14.5)}));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 30, 10));
        p.drawRect(QRectF(7.2, 5.5, 1.6, 5));
        p.drawRect(QRectF(7.2, 11.5, 1.6, 1.6));
        break;
    }
    case ListIcon::SortUp:
    case ListIcon::SortDown: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 96, 106));
        if (kind == ListIcon::SortUp)
            p.drawPolygon(QPolygonF({QPointF(3.5, 10.5), QPointF(8, 5), QPointF(12.5, 10.5)}));
        else
            p.drawPolygon(QPolygonF({QPointF(3.5, 5.5), QPointF(8, 11), QPointF(12.5, 5.5)}));
        break;
    }
    }
    return icon;
}

}  // namespace art
