#pragma once

#include "analysis/SpectrumPlot.h"

#include <QFont>
#include <QImage>
#include <QWidget>

struct ChannelSpectrum;

/// The amplitude spectrum over frequency, filled under its outline, with a
/// red cursor a press moves, and the main and cursor frequencies underneath.
class CPingPu : public QWidget
{
    Q_OBJECT

public:
    explicit CPingPu(QWidget *parent = nullptr);

    /// The spectrum to draw (owned by the caller, kept until the next call;
    /// null draws the frame and the last frequencies only).
    void SetSpectrum(const ChannelSpectrum *spectrum);
    int CursorBin() const { return m_cursorBin; }
    void SetCursorBin(int bin) { m_cursorBin = bin; }
    /// Hz, as of the last paint.
    double MainFrequency() const { return m_mainHz; }
    double CursorFrequency() const { return m_cursorHz; }
    /// The line under the plot, as of the last paint.
    QString ReadoutText() const;
    /// Geometry for the widget's size and the spectrum set.
    SpectrumPlotLayout Plot() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    /// Draws frame, axes, spectrum, ticks and unit: everything a cursor move leaves alone.
    void DrawPicture(QPainter &p, const SpectrumPlotLayout &l) const;
    int Bins() const;

    const ChannelSpectrum *m_spectrum = nullptr;
    QImage m_picture; ///< the static part, redrawn for a new spectrum or size
    bool m_pictureValid = false;
    int m_cursorBin = 0;
    double m_mainHz = 0.0;
    double m_cursorHz = 0.0;
    QFont m_axisFont;
    QFont m_readoutFont;
};
