#pragma once

// Pixel arithmetic of the self-check noise view, apart from any painting, so
// that the bars can be checked without a widget.

#include "model/TraceStore.h"

#include <QRect>
#include <QVector>

namespace noise {

/// Amplitude steps of the view: step s makes the largest excursion s/18 of the plot height.
constexpr int kMinStep = 1;
constexpr int kMaxStep = 9;
/// Left edge of the plot: the baseline and the first column start here.
constexpr int kPlotLeft = 40;

/// Largest and smallest sample of one channel; 0 and 0 without data.
struct Extremes
{
    float Max = 0.0f;
    float Min = 0.0f;
};

/// Extremes of the first `channels` traces over their first min(length, sampleLength) samples.
QVector<Extremes> ChannelExtremes(const TraceSet &traces, int channels, int sampleLength);

/// The largest of every maximum and every |minimum|; 0 with no channels or no data.
float LargestExcursion(const QVector<Extremes> &extremes);

/// One channel's bar: standing up from the baseline and filled for a
/// positive swing, hanging down in outline when the negative one is larger.
struct Bar
{
    QRect Rect;
    bool Filled = true;
};

/// Where everything of one paint goes.
struct Layout
{
    int PlotRight = 0;
    int PlotBottom = 0;
    int Baseline = 0;
    float ColumnWidth = 0.0f;
    float FullBarHeight = 0.0f; ///< height of the largest excursion's bar
    QRect ChBox;                ///< "CH", right-aligned, left of the first column
    QVector<QRect> NumberBoxes; ///< one per channel
    QVector<Bar> Bars;          ///< one per channel; none when the largest excursion is 0
    QRect NoiseTextBox;         ///< the noise amplitude, top right
};

/// Layout of a width × height view with one column per entry of extremes, at
/// amplitude step `step`, scaled so that `largest` gets the full bar height.
Layout ComputeLayout(int width, int height, int step, const QVector<Extremes> &extremes,
                     float largest);

} // namespace noise
