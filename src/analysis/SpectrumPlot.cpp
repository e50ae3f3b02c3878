#include "analysis/SpectrumPlot.h"

#include <algorithm>
#include <cmath>

namespace {

// Spectrum plot, as offsets from the widget's edges.
constexpr int kPlotLeft = 20;
constexpr int kPlotTop = 0;
constexpr int kPlotRightMargin = 75;
constexpr int kPlotBottomMargin = 50;
constexpr int kBinZeroIndent = 2;
constexpr int kAxisBottomReserve = 36;
constexpr int kAxisLift = 22;
constexpr int kAxisWidthShare = 40; // the axis gives up a pixel per 40 of plot width
constexpr int kAxisPadding = 3;

// Trace plot.
constexpr int kWaveLeft = 10;
constexpr int kWaveTop = 2;
constexpr int kWaveAxisWidth = 80;
constexpr int kWaveColumnMargin = 89;

} // namespace

SpectrumPlotLayout ComputeSpectrumPlot(int width, int height, int bins)
{
    SpectrumPlotLayout l;
    l.W = width - 1;
    l.H = height - 1;
    l.X1 = kPlotLeft;
    l.Y1 = kPlotTop;
    l.X2 = l.W - kPlotRightMargin;
    l.Y2 = l.H - kPlotBottomMargin;
    l.X0 = l.X1 + kBinZeroIndent;
    l.AxisHeight = (l.Y2 - kAxisBottomReserve - l.Y1) - (l.X2 + 1 - l.X1) / kAxisWidthShare;
    l.Baseline = l.Y1 + kAxisLift + l.AxisHeight;
    const int span = l.X2 - l.X1 - kAxisPadding;
    l.BinWidth = bins > 0 && span > 0 ? double(span) / bins : 0.0; // span / (N / 2)
    return l;
}

int SpectrumCursorBin(const SpectrumPlotLayout &layout, int x, int y, int bins)
{
    if (bins < 1 || !layout.Drawable() || !layout.InPlot(x, y))
        return -1;
    const int bin = int((x + 1 - layout.X1) / layout.BinWidth);
    return std::clamp(bin, 0, bins - 1);
}

QPolygon SpectrumOutline(const SpectrumPlotLayout &layout, const float *values, int bins, double scale)
{
    QPolygon points;
    if (!layout.Drawable() || bins < 1)
        return points;
    auto yOf = [&](float v) {
        const double y = layout.Baseline - scale * v;
        // Values are at most the peak the scale comes from; anything else
        // (no number) stays on the axis.
        return std::isfinite(y) ? int(std::clamp(y, double(layout.Y1), double(layout.Baseline)))
                                : layout.Baseline;
    };
    int column = layout.BinX(0);
    int first = yOf(values[0]);
    int top = first;
    int bottom = first;
    int last = first;
    auto flush = [&] {
        for (int y : {first, top, bottom, last})
            if (points.isEmpty() || points.last() != QPoint(column, y))
                points.append(QPoint(column, y));
    };
    for (int k = 1; k < bins; ++k) {
        const int x = layout.BinX(k);
        const int y = yOf(values[k]);
        if (x != column) {
            flush();
            column = x;
            first = top = bottom = y;
        }
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        last = y;
    }
    flush();
    return points;
}

float SinWavePlot::Pitch() const
{
    return SampleCount > 0 ? wave::SamplePitch(Layout, SampleCount) : 0.0f;
}

int SinWavePlot::MarkY(int sample) const
{
    return int(sample * Pitch() + Layout.Plot.top());
}

int SinWavePlot::PressSample(int y) const
{
    const int rows = Layout.Widget.bottom() - kWaveTop;
    if (rows <= 0)
        return 0;
    const double sample = double(SampleCount) / rows * (y - kWaveTop);
    return int(std::clamp(sample, 0.0, double(SampleCount)));
}

bool SinWavePlot::InLeftHalf(int x) const
{
    return x <= kWaveLeft + (Layout.Widget.right() - kWaveColumnMargin) / 2;
}

SinWavePlot ComputeSinWavePlot(int width, int height, int sampleCount)
{
    SinWavePlot p;
    const int W = width - 1;
    const int H = height - 1;
    wave::Layout &l = p.Layout;
    l.Widget = QRect(QPoint(0, 0), QPoint(W, H));
    l.Plot = QRect(QPoint(kWaveLeft, kWaveTop), QPoint(W - kWaveAxisWidth, H));
    l.Axis = QRect(QPoint(W - kWaveAxisWidth, kWaveTop), QPoint(W - 1, H));
    l.Columns = 1;
    l.ColumnWidth = float(std::max(W - kWaveColumnMargin, 0));
    p.SampleCount = std::max(sampleCount, 0);
    return p;
}
