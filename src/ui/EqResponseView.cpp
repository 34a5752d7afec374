// The equalizer response plot.
#include "ui/EqResponseView.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
constexpr double kLow = 20.0;
constexpr double kRangeDb = 18.0;
constexpr int kMargin = 2;
}  // namespace

CEqResponseView::CEqResponseView(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(160, 60);
    setToolTip(tr("Frequency response of the current preset"));
}

void CEqResponseView::SetGains(const EqualizerGains& gains)
{
    if (gains == m_gains)
        return;
    m_gains = gains;
    update();
}

void CEqResponseView::SetSampleRate(double rate)
{
    if (rate <= 2 * kLow || rate == m_rate)
        return;
    m_rate = rate;
    update();
}

double CEqResponseView::YForDb(double db) const
{
    const double h = height() - 2 * kMargin;
    db = std::clamp(db, -kRangeDb, kRangeDb);
    return kMargin + (kRangeDb - db) / (2 * kRangeDb) * h;
}

QPolygonF CEqResponseView::Curve() const
{
    const double high = std::min(20000.0, m_rate * 0.49);
    const int points = std::max(2, width() - 2 * kMargin);
    const auto freqs = LogFrequencies(kLow, high, points);
    QPolygonF curve;
    const double span = std::log(high / kLow);
    for (double f : freqs) {
        const double x = kMargin + std::log(f / kLow) / span * (width() - 2 * kMargin - 1);
        curve << QPointF(x, YForDb(EqualizerResponseDb(m_gains, m_rate, f)));
    }
    return curve;
}

void CEqResponseView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 24, 32));
    p.setPen(QColor(70, 70, 90));
    for (int db = -12; db <= 12; db += 6)
        p.drawLine(QPointF(0, YForDb(db)), QPointF(width(), YForDb(db)));
    p.setPen(QColor(120, 120, 150));
    p.drawLine(QPointF(0, YForDb(0)), QPointF(width(), YForDb(0)));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(80, 220, 120), 1.5));
    p.drawPolyline(Curve());
}
