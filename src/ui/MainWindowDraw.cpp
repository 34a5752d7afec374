// CMainWindow: the back buffer (background, info text, digits, level
// meter) and painting it with the buttons on top.
#include <QPaintEvent>
#include <QPainter>
#include <cstring>

#include "audio/EmuThread.h"
#include "player/DigitBlend.h"
#include "player/LevelMeter.h"
#include "ui/MainWindow.h"
#include "ui/Resources.h"

namespace {

// Copies a w x h block between RGB32 images, clipped to both.
void CopyPixels(QImage& dst, int dx, int dy, const QImage& src, int sx, int sy, int w, int h)
{
    if (sx < 0) {
        w += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        dy -= sy;
        sy = 0;
    }
    if (dx < 0) {
        w += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        sy -= dy;
        dy = 0;
    }
    w = std::min({w, src.width() - sx, dst.width() - dx});
    h = std::min({h, src.height() - sy, dst.height() - dy});
    if (w <= 0 || h <= 0)
        return;
    for (int y = 0; y < h; ++y)
        std::memcpy(dst.scanLine(dy + y) + dx * 4, src.constScanLine(sy + y) + sx * 4, size_t(w) * 4);
}

// An RGB32 copy of a resource image, or a plain dark one of that size.
QImage LoadRgb(const char* name, int width, int height)
{
    QImage image(ArtPath(name));
    if (image.isNull()) {
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(QColor(24, 26, 30));
        return image;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

const QRect kTitleRect(55, 53, 281, 15);
const QRect kInfoRects[3] = {QRect(135, 92, 201, 15), QRect(135, 111, 201, 15), QRect(135, 130, 201, 15)};
constexpr int kMeterX[2] = {12, 26};
constexpr int kMeterY = 12;
constexpr int kMeterHeight = 136;

}  // namespace

void CMainWindow::LoadBuiltinImages()
{
    m_background = LoadRgb("background.png", 352, 160);
    m_digits = LoadRgb("digit.png", 256, 22);
    m_gauge = LoadRgb("levelgauge.png", 60, 136);
    m_fontColor = Qt::white;
    m_digitWidth = 16;
    m_digitStep = 17;
    m_digitBlend = 0;
    m_font = QFont(QStringLiteral("IPAPGothic"));
    m_font.setPointSize(9);
}

void CMainWindow::DrawAll()
{
    DrawBackground();
    DrawInfo();
    DrawDigits();
    DrawMeter();
}

void CMainWindow::DrawBackground()
{
    CopyPixels(m_back, 0, 0, m_background, 0, 0, kClientWidth, 160);
    QPainter p(&m_back);
    p.fillRect(QRect(0, 160, kClientWidth, kClientHeight - 160), palette().color(QPalette::Button));
}

void CMainWindow::DrawText(const QRect& rect, const QString& text)
{
    QPainter p(&m_back);
    p.setFont(m_font);
    p.setPen(m_fontColor);
    p.setClipRect(rect);
    p.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void CMainWindow::DrawInfo()
{
    CopyPixels(m_back, kTitleRect.x(), kTitleRect.y(), m_background, kTitleRect.x(), kTitleRect.y(),
               kTitleRect.width(), kTitleRect.height());
    for (const QRect& r : kInfoRects)
        CopyPixels(m_back, r.x(), r.y(), m_background, r.x(), r.y(), r.width(), r.height());
    if (!m_thread.IsRunning() || !m_romEntry)
        return;
    const RomEntry& e = *m_romEntry;
    DrawText(kTitleRect, QString::fromStdString(m_transport.Title()));
    DrawText(kInfoRects[0], QStringLiteral("%1 (Type %2)").arg(QString::fromUtf8(e.title), QString::fromUtf8(e.typeTextUtf8)));
    DrawText(kInfoRects[1], QString::fromUtf8(e.manufacturerUtf8));
    DrawText(kInfoRects[2], QString::fromUtf8(e.hardware));
}

void CMainWindow::DrawDigits()
{
    const DigitLayout layout = DigitPositions(m_digitStep);
    const DigitCells cells = m_transport.Digits();
    for (int i = 0; i < 9; ++i) {
        // The cell, clipped to the strip, the background and the buffer.
        const int x = layout.x[i];
        const int sx = m_digitWidth * cells[i];
        const int w = std::min({m_digitWidth, m_digits.width() - sx, m_background.width() - x});
        const int h = std::min({kDigitHeight, m_digits.height(), m_background.height() - kDigitTop});
        if (x < 0 || sx < 0 || w <= 0 || h <= 0)
            continue;
        const auto* glyph = reinterpret_cast<const uint32_t*>(m_digits.constScanLine(0)) + sx;
        const auto* under = reinterpret_cast<const uint32_t*>(m_background.constScanLine(kDigitTop)) + x;
        auto* out = reinterpret_cast<uint32_t*>(m_back.scanLine(kDigitTop)) + x;
        BlendDigit(under, m_background.bytesPerLine() / 4, glyph, m_digits.bytesPerLine() / 4, out,
                   m_back.bytesPerLine() / 4, w, h, m_digitBlend);
    }
}

void CMainWindow::DrawMeter()
{
    const CLevelMeter& meter = m_transport.Meter();
    for (int c = 0; c < 2; ++c) {
        const int x = kMeterX[c];
        const int dark = c == 0 ? 0 : 30;
        const int lit = c == 0 ? 10 : 20;
        const int peak = c == 0 ? 40 : 50;
        CopyPixels(m_back, x, kMeterY, m_gauge, dark, 0, 10, kMeterHeight);
        const int32_t b = meter.Bar(c);
        if (b >= 0 && b <= CLevelMeter::kLowest)
            CopyPixels(m_back, x, kMeterY + 3 * b, m_gauge, lit, 3 * b, 10, kMeterHeight - 3 * b);
        const int32_t p = meter.Peak(c);
        if (p >= 0 && p <= CLevelMeter::kLowest)
            CopyPixels(m_back, x, kMeterY + 3 * p, m_gauge, peak, 3 * p, 10, 3);
    }
}

void CMainWindow::RepaintClient(const QRect& clientRect)
{
    update(QRect(clientRect.topLeft() * m_scale, clientRect.size() * m_scale));
}

void CMainWindow::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    if (m_back.isNull()) {
        p.fillRect(event->rect(), Qt::black);
        return;
    }
    p.scale(m_scale, m_scale);
    const QRect dirty = m_scale == 1 ? event->rect()
                                     : QRect(event->rect().topLeft() / m_scale,
                                             (event->rect().size() + QSize(1, 1)) / m_scale + QSize(1, 1));
    p.drawImage(dirty.topLeft(), m_back, dirty);
    for (const SkinButton& b : m_buttons)
        if (b.rect.intersects(dirty))
            p.drawImage(b.rect.topLeft(), b.strip, b.SourceRect());
}

QImage CMainWindow::Frame() const
{
    QImage frame = m_back.copy();
    QPainter p(&frame);
    for (const SkinButton& b : m_buttons)
        p.drawImage(b.rect.topLeft(), b.strip, b.SourceRect());
    return frame;
}
