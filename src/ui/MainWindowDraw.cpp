// CMainWindow: the back buffer (background, info text, digits, level
// meter) and painting it with the buttons on top.
#include <QPaintEvent>
#include <QPainter>
#include <cstring>

#include "audio/EmuThread.h"
#include "player/DigitBlend.h"
#include "player/LevelMeter.h"
#include "ui/MainWindow.h"

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

const QRect kTitleRect(55, 53, 281, 15);
const QRect kInfoRects[3] = {QRect(135, 92, 201, 15), QRect(135, 111, 201, 15), QRect(135, 130, 201, 15)};
constexpr int kMeterX[2] = {12, 26};
constexpr int kMeterY = 12;
constexpr int kMeterHeight = 136;

}  // namespace

void CMainWindow::DrawAll()
{
    DrawBackground();
    DrawInfo();
    DrawDigits();
    DrawMeter();
}

void CMainWindow::DrawBackground()
{
    CopyPixels(m_back, 0, 0, m_images.background, 0, 0, kClientWidth, 160);
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
    for (const QRect& r : {kTitleRect, kInfoRects[0], kInfoRects[1], kInfoRects[2]})
        CopyPixels(m_back, r.x(), r.y(), m_images.background, r.x(), r.y(), r.width(), r.height());
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
    const DigitLayout layout = DigitPositions(m_skin.digitStep);
    const DigitCells cells = m_transport.Digits();
    m_shownCells = cells;
    for (int i = 0; i < 9; ++i)
        DrawSkinDigit(m_back, m_images, m_skin.digitWidth, m_skin.digitBlend, cells[i], layout.x[i]);
}

void CMainWindow::DrawMeter()
{
    const CLevelMeter& meter = m_transport.Meter();
    m_shownMeter = {meter.Bar(0), meter.Bar(1), meter.Peak(0), meter.Peak(1)};
    for (int c = 0; c < 2; ++c) {
        const int x = kMeterX[c];
        const int dark = c == 0 ? 0 : 30;
        const int lit = c == 0 ? 10 : 20;
        const int peak = c == 0 ? 40 : 50;
        CopyPixels(m_back, x, kMeterY, m_images.levelGauge, dark, 0, 10, kMeterHeight);
        const int32_t b = meter.Bar(c);
        if (b >= 0 && b <= CLevelMeter::kLowest)
            CopyPixels(m_back, x, kMeterY + 3 * b, m_images.levelGauge, lit, 3 * b, 10, kMeterHeight - 3 * b);
        const int32_t p = meter.Peak(c);
        if (p >= 0 && p <= CLevelMeter::kLowest)
            CopyPixels(m_back, x, kMeterY + 3 * p, m_images.levelGauge, peak, 3 * p, 10, 3);
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
