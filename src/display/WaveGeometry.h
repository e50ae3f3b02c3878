#pragma once

#include <cmath>

// Pixel arithmetic of the trace view, kept apart from any painting so that
// every rule (columns, rows, ticks, cursor, readout box) can be checked alone.

#include <QRect>
#include <QString>
#include <QVector>
#include <array>

namespace wave {

/// Largest deflection from the baseline, in pixels.
constexpr int kClipLimit = 150;
/// Smallest peak a trace is scaled against, so that near-silent traces stay finite.
constexpr float kPeakFloor = 0.001f;
/// Added to a flat trace's value to give it a peak to scale against.
constexpr float kFlatTraceLift = 1.0f;

constexpr int kPlotLeft = 10;
constexpr int kPlotTop = 2;
constexpr int kAxisWidth = 80;   ///< time-axis strip on the right
constexpr int kLabelHeight = 40; ///< channel-number row at the bottom

/// The four rectangles of one rebuild plus the column split.
struct Layout
{
    QRect Widget; ///< (0, 0)…(W, H), inclusive bounds
    QRect Plot;
    QRect Labels;
    QRect Axis;
    int Columns = 0;
    float ColumnWidth = 0.0f;

    /// Baseline x of column i (0-based), not truncated.
    float Centre(int i) const { return Plot.left() + i * ColumnWidth + 0.5f * ColumnWidth; }
    /// Left edge of column i (0-based), not truncated.
    float Left(int i) const { return Plot.left() + i * ColumnWidth; }
    /// Right edge of column i (0-based); shared with the left edge of column i + 1.
    float Right(int i) const { return Plot.left() + (i + 1) * ColumnWidth; }
    /// Whether (x, y) lies in the plot area, bounds included.
    bool InPlot(int x, int y) const;
};

/// The small mark of a channel the shot check found wrong: a bar along the
/// top of its column's label cell, above the channel number, which the label
/// centres vertically and so never reaches the top few rows.
QRect ChannelMarkBox(const Layout &layout, int column);

/// Layout of a widget of width × height pixels split into columns. The
/// rightmost rightReserve pixels stay empty (controls lying over the view's
/// right edge): the plot, the label row and the time axis move left of them.
Layout ComputeLayout(int width, int height, int columns, int rightReserve = 0);

/// Where traces may be drawn: left of the time labels, so that a trace
/// deflected far at a high gain never runs through them.
QRect TraceArea(const Layout &layout);

/// First column (1-based) whose span holds x, bounds included, so that a
/// point on a shared edge belongs to the left column; 0 when none does.
int ColumnAt(const Layout &layout, int x);

// The shot check's mark: inset from the column's edges, a few rows high.
constexpr int kMarkInset = 4;
constexpr int kMarkHeight = 5;
/// Left edge of a channel number's box: this far left of its baseline.
constexpr int kChannelNumberIndent = 10;

/// Box of the "CH" caption of the channel-number row for a caption textWidth
/// pixels wide: at the row's start while it ends before channel 1's number,
/// otherwise after the last column, under the time axis, where it cannot run
/// into a number however narrow the columns are.
QRect ChannelCaptionBox(const Layout &layout, int textWidth);

/// 1-based channel shown in column i (0-based) of the given page.
inline int ChannelOfColumn(int perPage, int page, int i) { return (page - 1) * perPage + i + 1; }

/// Pixel row of the j-th sample of the window.
inline int SampleRow(int plotTop, float pitch, int j) { return static_cast<int>(plotTop + pitch * j); }

/// Vertical pixels per sample for a window of windowLength samples.
float SamplePitch(const Layout &layout, int windowLength);

/// How a trace's samples turn into x positions in its column.
struct TraceScale
{
    float Centre = 0.0f; ///< baseline x of the column
    float Scale = 0.0f;  ///< pixels per amplitude unit, the gain already applied
    int Shift = 0;       ///< subtracted from every x
    int Clip = kClipLimit;

    /// x of a sample value: the deflection clipped to ±Clip, shifted, truncated.
    int X(float s) const
    {
        const float d = s * Scale;
        if (std::isnan(d))
            return BaseX(); // a damaged sample draws on the baseline, never through an undefined cast
        if (d > Clip)
            return static_cast<int>(Centre + Clip - Shift);
        if (d < -Clip)
            return static_cast<int>(Centre - Clip - Shift);
        return static_cast<int>(Centre + d - Shift);
    }
    /// x of the baseline with the shift applied (truncated like every other x).
    int BaseX() const { return static_cast<int>(Centre - Shift); }
};

/// Pixels per amplitude unit for a column of width w, a peak and a gain exponent.
float AmplitudeScale(float columnWidth, float peak, int gainExponent);

/// Amplitude statistics of the shown page.
struct PageStats
{
    std::array<float, 24> Max{};
    std::array<float, 24> Min{};
    std::array<float, 24> Peak{};
    float CommonPeak = 0.0f;
};

/// Updates the statistics of channels firstChannel … firstChannel + count − 1
/// (0-based, those past the 24th ignored) from traces of at most sampleCount
/// samples; firstOfFirstPage says whether firstChannel opens page 1, where the
/// common peak starts again. halve doubles every peak after the common peak is
/// taken (self-check display).
template <typename TraceArray>
void UpdateStats(PageStats &stats, const TraceArray &traces, int firstChannel, int count,
                 int sampleCount, bool firstOfFirstPage, bool halve);

/// Tick step in milliseconds for a window ending at t1 ms: t1 cut to one
/// significant digit, a fifth of it, at least 1.
int TickStep(double t1);

struct Tick
{
    int Y = 0;
    double Time = 0.0; ///< ms
    QString Label;
    QRect Box; ///< where the label is drawn, left- and top-aligned
};

/// Ticks of the time scale (their rows, labels and label boxes).
QVector<Tick> TimeTicks(const Layout &layout, float intervalUs, int windowStart,
                        int windowLength, int sampleCount);

/// Height of a tick label box; tall enough for the 18-point font.
constexpr int kTickLabelHeight = 30;

/// Row of a sample index in the window, as the cursor line and range marks use it.
int CursorRow(const Layout &layout, int sample, int windowStart, int windowLength);

/// Sample index under a row, as a mouse move computes it.
int MoveCursorSample(const Layout &layout, int y, int windowStart, int windowLength);

/// Sample index under a row, as a press computes it (whole record, at most sampleCount).
int PressCursorSample(const Layout &layout, int y, int sampleCount);

/// Width of the cursor readout box for a cursor time in ms.
int ReadoutWidth(double timeMs);

/// Left edge of the readout box: right of the cursor, or left of it when
/// the channel lies in the right third of the page.
int ReadoutLeft(int cursorX, int width, int channel, int perPage, int page, int columns);

/// Text baseline of the readout: the cursor row, lowered when too near the top.
int ReadoutBaseline(int cursorY);

/// Readout text "CH%d:%.2fms,%.3E".
QString ReadoutText(int channel, double timeMs, float value);

// ---- template body ----

template <typename TraceArray>
void UpdateStats(PageStats &stats, const TraceArray &traces, int firstChannel, int count,
                 int sampleCount, bool firstOfFirstPage, bool halve)
{
    const int channels = static_cast<int>(stats.Peak.size());
    for (int i = 0; i < count; ++i) {
        const int c = firstChannel + i;
        if (c < 0 || c >= channels)
            continue;
        const auto &v = traces[c];
        const int n = static_cast<int>(v.size());
        if (n > 0 && sampleCount > 0) {
            const float first = v[0];
            stats.Max[c] = stats.Min[c] = stats.Peak[c] = first;
            if (i == 0 && firstOfFirstPage)
                stats.CommonPeak = first < 0 ? -first : first;
            const int last = n < sampleCount ? n : sampleCount;
            float mx = first, mn = first, pk = first;
            for (int k = 0; k < last; ++k) {
                const float s = v[k];
                if (s > mx)
                    mx = s;
                if (s < mn)
                    mn = s;
                const float a = s < 0 ? -s : s;
                if (a > pk)
                    pk = a;
            }
            stats.Max[c] = mx;
            stats.Min[c] = mn;
            stats.Peak[c] = pk;
        }
        if (stats.Max[c] == stats.Min[c]) {
            stats.Max[c] = stats.Min[c] + kFlatTraceLift;
            stats.Peak[c] = stats.Min[c] + kFlatTraceLift;
        }
        if (stats.Peak[c] < kPeakFloor)
            stats.Peak[c] = kPeakFloor;
        if (stats.Peak[c] > stats.CommonPeak)
            stats.CommonPeak = stats.Peak[c];
        if (halve)
            stats.Peak[c] *= 2.0f;
    }
}

} // namespace wave
