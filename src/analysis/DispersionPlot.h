#pragma once

#include "analysis/DispersionImage.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

/// A point of a curve drawn over the image with its spread: the combined
/// curve of several records, mean ± one standard deviation.
struct PlotBar
{
    double Frequency = 0.0; ///< Hz
    double Velocity = 0.0;  ///< m/s
    double Sd = 0.0;        ///< m/s
};

/// The picture of a dispersion image, drawn the same way on the instrument's
/// screen and into the record tool's PNG: the image in a perceptual colour
/// map (frequency across, phase velocity up), the wavelengths the spread
/// resolves as dashed lines, the picked curve, both axes, a colour bar and
/// the summary line. Needs no widgets, only a font (a QGuiApplication).
class DispersionPlot
{
public:
    /// The image must outlive the plot.
    DispersionPlot(const DispersionImage &image, QSize size);

    QSize Size() const { return m_size; }
    /// Where the colour field lies (inclusive bounds).
    QRect PlotArea() const { return m_plot; }
    /// Where the overlay's caption sits; empty without one.
    QRect CaptionBox() const;

    /// Frequency and velocity under a pixel; false outside the plot area.
    bool At(QPointF pixel, double &frequency, double &velocity) const;
    /// Pixel of a frequency and velocity (may lie outside the plot area).
    QPointF PixelOf(double frequency, double velocity) const;

    /// A curve with bars and a caption line drawn over the image (bars may be empty).
    void SetOverlay(std::vector<PlotBar> bars, QString caption);

    /// The whole static picture at Size().
    QImage Draw() const;

    /// Colour of an image value 0…1 (viridis: dark blue-violet to yellow).
    static QRgb Colour(float value);
    /// Tick values for an axis from lo to hi: multiples of 1, 2 or 5 × 10^k, about maxTicks of them.
    static QVector<double> Ticks(double lo, double hi, int maxTicks);

private:
    void DrawField(QImage &picture) const;
    void DrawLimits(QPainter &p) const;
    void DrawCurve(QPainter &p) const;
    void DrawAxes(QPainter &p) const;
    void DrawColourBar(QPainter &p) const;
    void DrawOverlay(QPainter &p) const;

    const DispersionImage &m_image;
    QSize m_size;
    QRect m_plot;
    QRect m_bar;
    QFont m_font;
    double m_fLo = 0.0;
    double m_fHi = 1.0;
    double m_vLo = 0.0;
    double m_vHi = 1.0;
    std::vector<PlotBar> m_bars;
    QString m_caption;
};
