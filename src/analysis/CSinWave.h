#pragma once

#include "analysis/SpectrumPlot.h"

#include <QFont>
#include <QWidget>

/// One channel of the record on screen drawn as one wide trace, time running
/// down, with a blue mark at the start and a red mark at the end of the
/// sample range the spectrum is computed from. A press in the left half moves
/// the start, in the right half the end.
class CSinWave : public QWidget
{
    Q_OBJECT

public:
    explicit CSinWave(QWidget *parent = nullptr);

    /// Channel drawn, 0-based; one outside the record's channels draws channel 0.
    void SetChannel(int channel) { m_channel = channel; }
    int Channel() const { return m_channel; }
    /// Sample range, first and last sample index.
    void SetRange(int start, int end);
    int RangeStart() const { return m_rangeStart; }
    int RangeEnd() const { return m_rangeEnd; }
    /// Geometry of the last paint's size.
    SinWavePlot Plot() const;

signals:
    /// A press moved the range: b and e are its ends, type true when b moved.
    void SetMainRange(int b, int e, bool type);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    int m_channel = 0;
    int m_rangeStart = 0;
    int m_rangeEnd = 0;
    QFont m_labelFont;
};
