#include "NoiseGeometry.h"

#include <algorithm>
#include <cmath>

namespace noise {

namespace {

constexpr int kPlotTop = 5;
constexpr int kRightMargin = 40;
constexpr int kBottomMargin = 5;
/// The plot's usable height runs from 4 pixels below its top edge; half of it lies above the baseline.
constexpr int kHeightInset = 4;
/// Full bar height per amplitude step, as a share of the usable height.
constexpr float kStepsPerPlot = 18.0f;
constexpr int kBarInset = 5;       ///< gap left of each bar inside its column
constexpr int kChGap = 3;          ///< space between "CH" and the first bar
constexpr int kLabelHeight = 40;   ///< label row below the baseline
constexpr int kNoiseTextHeight = 100;

} // namespace

QVector<Extremes> ChannelExtremes(const TraceSet &traces, int channels, int sampleLength)
{
    const int n = std::clamp(channels, 0, kMaxChannels);
    QVector<Extremes> out(n);
    for (int c = 0; c < n; ++c) {
        const QVector<float> &t = traces[c];
        const int len = std::min<qsizetype>(t.size(), std::max(sampleLength, 0));
        if (len <= 0)
            continue;
        float mx = t[0];
        float mn = t[0];
        for (int i = 1; i < len; ++i) {
            mx = std::max(mx, t[i]);
            mn = std::min(mn, t[i]);
        }
        out[c] = {mx, mn};
    }
    return out;
}

float LargestExcursion(const QVector<Extremes> &extremes)
{
    // Starts from 0, not from a channel's first sample: channel 1 may have no data.
    float p = 0.0f;
    for (const Extremes &e : extremes)
        p = std::max({p, e.Max, std::fabs(e.Min)});
    return p;
}

Layout ComputeLayout(int width, int height, int step, const QVector<Extremes> &extremes,
                     float largest)
{
    Layout l;
    const int w = width - 1;
    const int h = height - 1;
    l.PlotRight = w - kRightMargin;
    l.PlotBottom = h - kBottomMargin;
    const int usable = l.PlotBottom - kHeightInset;
    l.Baseline = static_cast<int>(usable * 0.5f + kPlotTop);
    // Multiplied before dividing, so that step 9 of an even height is exactly half of it.
    l.FullBarHeight = usable * std::clamp(step, kMinStep, kMaxStep) / kStepsPerPlot;

    const int channels = extremes.size();
    if (channels == 0)
        return l;
    const int span = l.PlotRight - (kPlotLeft - 1);
    l.ColumnWidth = static_cast<float>(span) / channels;
    const int column = static_cast<int>(l.ColumnWidth);
    // "CH" ends a little left of the first bar (from x = 25 it ran into a
    // first bar that hangs down).
    l.ChBox = QRect(QPoint(0, l.Baseline),
                    QPoint(kPlotLeft + kBarInset - kChGap - 1, l.Baseline + kLabelHeight - 1));
    l.NoiseTextBox = QRect(static_cast<int>(kPlotLeft + span * 2.0f / 3.0f), 0,
                           static_cast<int>(span * 0.5f), kNoiseTextHeight);

    // No excursion (no data, or every sample 0) gives nothing to scale against: no bars.
    const bool bars = std::isfinite(largest) && largest > 0.0f;
    l.NumberBoxes.reserve(channels);
    if (bars)
        l.Bars.reserve(channels);
    for (int i = 0; i < channels; ++i) {
        const int numberLeft =
            static_cast<int>(l.ColumnWidth * 0.5f + kPlotLeft + l.ColumnWidth * i - kBarInset);
        l.NumberBoxes.append(QRect(numberLeft, l.Baseline, column, kLabelHeight));
        if (!bars)
            continue;
        const Extremes &e = extremes[i];
        const int left = static_cast<int>(l.ColumnWidth * i + kPlotLeft + kBarInset);
        const int barWidth = static_cast<int>(l.ColumnWidth - kBarInset);
        // The magnitudes are compared as they are: self-check noise lies far
        // below 1, where whole numbers would all be 0.
        // The share of the largest excursion first: the largest channel's bar
        // is then exactly the full height, not a pixel short by rounding.
        const float down = std::fabs(e.Min);
        if (down > e.Max) {
            const int extent = static_cast<int>(l.FullBarHeight * (down / largest));
            l.Bars.append({QRect(left, l.Baseline, barWidth, extent), false});
        } else {
            const int extent = static_cast<int>(l.FullBarHeight * (e.Max / largest));
            l.Bars.append({QRect(left, l.Baseline - extent, barWidth, extent), true});
        }
    }
    return l;
}

} // namespace noise
