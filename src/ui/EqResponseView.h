// CEqResponseView: a small plot of the equalizer's frequency response for
// the current nine gains at the output rate, from 20 Hz to just below half
// the rate on a log scale, -18..+18 dB.
#pragma once

#include <QWidget>

#include "player/EqualizerResponse.h"

class CEqResponseView : public QWidget {
    Q_OBJECT
public:
    explicit CEqResponseView(QWidget* parent = nullptr);

    void SetGains(const EqualizerGains& gains);
    void SetSampleRate(double rate);
    double SampleRate() const { return m_rate; }
    // The plotted curve in widget pixels (what paintEvent draws).
    QPolygonF Curve() const;

    QSize sizeHint() const override { return {300, 90}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double YForDb(double db) const;
    EqualizerGains m_gains{};
    double m_rate = 44100;
};
