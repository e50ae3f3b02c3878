#pragma once

#include "display/WaveGeometry.h"

#include <QPolygon>
#include <QRect>

// Pixel arithmetic of the spectrum dialog's two plots, apart from any painting.

/// Where the spectrum plot puts its axes and bins in a widget of width × height.
struct SpectrumPlotLayout
{
    int W = 0; ///< widget width - 1
    int H = 0; ///< widget height - 1
    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0; ///< plot rectangle
    int X0 = 0;          ///< x of bin 0
    int AxisHeight = 0;  ///< pixels of the largest amplitude
    int Baseline = 0;    ///< y of the frequency axis
    double BinWidth = 0; ///< pixels per bin

    /// Whether there is room for axes and bins at all; a tiny widget draws none.
    bool Drawable() const { return BinWidth > 0.0 && AxisHeight > 0; }
    /// x of bin k, truncated.
    int BinX(int k) const { return int(X0 + k * BinWidth); }
    /// Whether (x, y) lies in the plot rectangle, bounds included.
    bool InPlot(int x, int y) const { return x >= X1 && x <= X2 && y >= Y1 && y <= Y2; }
    /// The text line under the plot.
    QRect ReadoutBox() const { return QRect(QPoint(X1, H - kReadoutHeight), QPoint(W - kRightMargin, H - 1)); }

    static constexpr int kReadoutHeight = 50;
    static constexpr int kRightMargin = 75;
};

/// Layout for a spectrum of bins bins (Length / 2).
SpectrumPlotLayout ComputeSpectrumPlot(int width, int height, int bins);

/// Bin under a press at x, held within 0 … bins - 1; -1 for a press outside
/// the plot or when there is no bin.
int SpectrumCursorBin(const SpectrumPlotLayout &layout, int x, int y, int bins);

/// The outline of the spectrum as few points as the pixels need: one per bin
/// while bins are at least a pixel apart, otherwise the first, highest,
/// lowest and last point of each pixel column. Values that are no number lie
/// on the axis.
QPolygon SpectrumOutline(const SpectrumPlotLayout &layout, const float *values, int bins, double scale);

/// The trace plot above the spectrum: one wide column, time running down.
struct SinWavePlot
{
    wave::Layout Layout; ///< plot, time-axis strip and the one column
    int SampleCount = 0;

    /// Pixels per sample vertically.
    float Pitch() const;
    /// y of the mark of a sample index.
    int MarkY(int sample) const;
    /// Sample under a press at y: at most the sample count.
    int PressSample(int y) const;
    /// Whether a press at x lies in the left half, which moves the range's start.
    bool InLeftHalf(int x) const;
};

SinWavePlot ComputeSinWavePlot(int width, int height, int sampleCount);
