// A picture of the whole window drawn the way the player draws it, to judge
// the artwork as a user sees it.
#include <QFont>
#include <QPainter>

#include "Art.h"
#include "player/DigitBlend.h"
#include "player/DigitDisplay.h"

namespace art {

namespace {

void PutDigit(QImage& window, const SkinSet& skin, int glyph, int x)
{
    const int w = skin.digitWidth;
    QImage bg = skin.background.convertToFormat(QImage::Format_RGB32);
    QImage digits = skin.digits.convertToFormat(QImage::Format_RGB32);
    QImage cell(w, kDigitHeight, QImage::Format_RGB32);
    BlendDigit(reinterpret_cast<const uint32_t*>(bg.constScanLine(kDigitTop)) + x, bg.bytesPerLine() / 4,
               reinterpret_cast<const uint32_t*>(digits.constBits()) + glyph * w, digits.bytesPerLine() / 4,
               reinterpret_cast<uint32_t*>(cell.bits()), cell.bytesPerLine() / 4, w, kDigitHeight,
               skin.digitBlend);
    QPainter(&window).drawImage(x, kDigitTop, cell);
}

void PutMeter(QImage& window, const QImage& gauge, int barX, int darkCol, int litCol, int peakCol, int bar,
              int peak)
{
    QPainter p(&window);
    p.drawImage(QPoint(barX, 12), gauge, QRect(darkCol, 0, 10, 136));
    p.drawImage(QPoint(barX, 12 + 3 * bar), gauge, QRect(litCol, 3 * bar, 10, 136 - 3 * bar));
    p.drawImage(QPoint(barX, 12 + 3 * peak), gauge, QRect(peakCol, 3 * peak, 10, 3));
}

QImage Keyed(const QImage& strip, int index, int width)
{
    QImage image = strip.copy(index * width, 0, width, strip.height()).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF00FF)
                image.setPixel(x, y, 0);
    return image;
}

}  // namespace

QImage DrawMockup(const SkinSet& skin, const std::string& buttonFolder, const QColor& face)
{
    QImage window(352, 192, QImage::Format_RGB32);
    window.fill(face);
    QPainter(&window).drawImage(0, 0, skin.background);

    const DigitLayout layout = DigitPositions(skin.digitStep);
    const int glyphs[9] = {0, 0, 1, GlyphPlaying, 0, 1, GlyphColon, 2, 3};
    for (int i = 0; i < 9; ++i)
        PutDigit(window, skin, glyphs[i], layout.x[i]);
    PutMeter(window, skin.gauge, 12, 0, 10, 40, 14, 9);
    PutMeter(window, skin.gauge, 26, 30, 20, 50, 19, 12);
    QPainter p(&window);
    p.drawImage(QPoint(316, 10), skin.autoplay, QRect(20, 0, 20, 26));

    QFont font;
    font.setFamilies({"IPAPGothic", "Noto Sans CJK JP"});
    font.setPointSize(9);
    p.setFont(font);
    p.setPen(skin.font);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    p.drawText(QRect(55, 53, 281, 15), flags, QString::fromUtf8("♪ビッグボーナス ファンファーレ"));
    p.drawText(QRect(135, 92, 201, 15), flags, QString::fromUtf8("グレートハンター (Type A-400)"));
    p.drawText(QRect(135, 111, 201, 15), flags, QString::fromUtf8("サンプル電機"));
    p.drawText(QRect(135, 130, 201, 15), flags, QString::fromUtf8("Z80 + YM2413"));

    struct Button {
        const char* file;
        int x, width, state;
    };
    const Button buttons[] = {{"btn_record", 12, 24, 0}, {"btn_prev", 48, 26, 0},     {"btn_play", 76, 26, 1},
                              {"btn_pause", 104, 26, 3}, {"btn_stop", 132, 26, 0},    {"btn_next", 160, 26, 0},
                              {"btn_load", 194, 34, 0},  {"btn_playlist", 236, 48, 2}};
    for (const Button& b : buttons) {
        const QImage strip(QString::fromStdString(buttonFolder + "/" + b.file + ".png"));
        p.drawImage(b.x, 167, Keyed(strip, b.state, b.width));
    }
    // Stand-in for the volume slider.
    p.fillRect(QRect(290, 176, 52, 3), QColor(120, 120, 120));
    p.fillRect(QRect(330, 170, 6, 14), QColor(80, 80, 80));
    return window;
}

}  // namespace art
