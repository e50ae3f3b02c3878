#include "display/WaveGeometry.h"

#include <QPoint>
#include <algorithm>
#include <cmath>
#include <limits>

namespace wave {

namespace {
constexpr double kTicksPerScale = 5.0;     // that digit's value split in five steps
constexpr double kExactCutLimit = 1e15;    // below this a 64-bit count cuts t1 exactly
constexpr double kMaxTicks = 1000.0;       // far above any real record's tick count
constexpr int kTickLabelLift = 15;         // labels sit just above their tick
constexpr int kFirstLabelLift = 2;         // except the first, which has the top strip to itself
constexpr int kAxisLabelIndent = 23;       // label column right of the tick lines
constexpr int kLabelClearance = 2;         // traces stop this far left of the label column
constexpr int kReadoutLowered = 30;        // a readout near the top moves below the cursor
constexpr int kReadoutNarrow = 355;        // "…ms" with up to three integer digits
constexpr int kReadoutMedium = 365;
constexpr int kReadoutWide = 375;
constexpr double kNarrowBelowMs = 1000.0;
constexpr double kMediumBelowMs = 10000.0;
constexpr double kUsPerMs = 1000.0;
} // namespace

bool Layout::InPlot(int x, int y) const
{
    return x >= Plot.left() && x <= Plot.right() && y >= Plot.top() && y <= Plot.bottom();
}

Layout ComputeLayout(int width, int height, int columns, int rightReserve)
{
    const int h = height - 1;
    Layout l;
    l.Widget = QRect(QPoint(0, 0), QPoint(width - 1, h));
    // Everything but the widget's own rectangle is laid out as in a narrower widget.
    const int w = width - 1 - (rightReserve > 0 ? rightReserve : 0);
    l.Plot = QRect(QPoint(kPlotLeft, kPlotTop), QPoint(w - kAxisWidth, h - kLabelHeight));
    l.Labels = QRect(QPoint(kPlotLeft, h - kLabelHeight), QPoint(w - kAxisWidth, h - 1));
    l.Axis = QRect(QPoint(w - kAxisWidth, kPlotTop), QPoint(w - 1, h - kLabelHeight));
    l.Columns = columns > 0 ? columns : 0;
    l.ColumnWidth = l.Columns > 0
        ? static_cast<float>(l.Plot.right() + 1 - l.Plot.left()) / l.Columns
        : 0.0f;
    return l;
}

QRect ChannelCaptionBox(const Layout &l, int textWidth)
{
    const int firstNumber = static_cast<int>(l.Centre(0) - kChannelNumberIndent);
    const int top = l.Labels.top();
    const int bottom = l.Labels.bottom();
    if (l.Columns > 0 && textWidth < firstNumber)
        return QRect(QPoint(0, top), QPoint(static_cast<int>(l.ColumnWidth) - 1, bottom));
    return QRect(QPoint(l.Plot.right() + 1, top), QPoint(l.Axis.right(), bottom));
}

QRect TraceArea(const Layout &l)
{
    return QRect(QPoint(l.Widget.left(), l.Widget.top()),
                 QPoint(l.Axis.left() + kAxisLabelIndent - kLabelClearance, l.Widget.bottom()));
}

QRect ChannelMarkBox(const Layout &l, int column)
{
    const int left = static_cast<int>(l.Left(column)) + kMarkInset;
    const int right = static_cast<int>(l.Right(column)) - kMarkInset;
    return QRect(QPoint(left, l.Labels.top() + 1), QPoint(std::max(left, right), l.Labels.top() + kMarkHeight));
}

int ColumnAt(const Layout &layout, int x)
{
    for (int i = 1; i <= layout.Columns; ++i) {
        if (layout.Left(i - 1) <= x && x <= layout.Right(i - 1))
            return i;
    }
    return 0;
}

float SamplePitch(const Layout &layout, int windowLength)
{
    if (windowLength <= 0)
        return 0.0f;
    return static_cast<float>(layout.Plot.bottom() + 1 - layout.Plot.top()) / windowLength;
}

float AmplitudeScale(float columnWidth, float peak, int gainExponent)
{
    if (!(peak > 0.0f))
        return 0.0f;
    return std::ldexp(1.0f, gainExponent) * (columnWidth / (2.0f * peak));
}

int TickStep(double t1)
{
    double v = t1;
    if (t1 >= kExactCutLimit) {
        // Beyond what a 64-bit count holds (only a damaged interval gets here):
        // cut in floating point, which is exact enough at this size.
        const double magnitude = std::pow(10.0, std::floor(std::log10(t1)));
        v = std::floor(t1 / magnitude) * magnitude;
    } else {
        long long n = static_cast<long long>(t1);
        int e = 0;
        if (n > 9) { // cut t1 to one significant digit
            while (n > 9) {
                n /= 10;
                ++e;
            }
            v = static_cast<double>(n);
            for (int i = 0; i < e; ++i)
                v *= 10.0;
        }
    }
    const double step = v / kTicksPerScale;
    if (!(step >= 1.0))
        return 1;
    return step >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                            : static_cast<int>(step);
}

QVector<Tick> TimeTicks(const Layout &layout, float intervalUs, int windowStart,
                        int windowLength, int sampleCount)
{
    QVector<Tick> ticks;
    const double perSample = intervalUs / kUsPerMs;
    const double t1 = perSample * (windowStart + windowLength);
    const double t0 = perSample * windowStart;
    const double end = perSample * sampleCount;
    if (t1 == 0.0 || t1 - t0 == 0.0 || !std::isfinite(t1))
        return ticks;
    const double p = (layout.Plot.bottom() + 1 - layout.Plot.top()) / (t1 - t0);
    const int step = TickStep(t1);
    // A sane record has at most about 50 ticks; a span so large that the
    // step cannot follow it (a damaged interval) gets no scale at all rather
    // than millions of ticks.
    if (t1 / step > kMaxTicks)
        return ticks;
    for (long long k = 0;; ++k) {
        const double t = static_cast<double>(k) * step;
        if (t > t1 || t > end)
            break;
        Tick tick;
        tick.Time = t;
        tick.Y = static_cast<int>(t * p + layout.Plot.top() - p * t0);
        tick.Label = QStringLiteral("%1").arg(t, 0, 'g', 6);
        int top = tick.Y - kTickLabelLift;
        if (k == 0) {
            tick.Label += QStringLiteral("(ms)");
            top = tick.Y - kFirstLabelLift;
        }
        const int left = layout.Axis.left() + kAxisLabelIndent;
        tick.Box = QRect(QPoint(left, top), QPoint(layout.Axis.right(), top + kTickLabelHeight - 1));
        ticks.append(tick);
    }
    return ticks;
}

int CursorRow(const Layout &layout, int sample, int windowStart, int windowLength)
{
    const int rows = layout.Plot.bottom() - layout.Plot.top();
    if (windowLength <= 0 || rows <= 0)
        return layout.Plot.top();
    const double perRow = static_cast<double>(windowLength) / rows;
    return static_cast<int>((sample - windowStart) / perRow + layout.Plot.top());
}

int MoveCursorSample(const Layout &layout, int y, int windowStart, int windowLength)
{
    const int rows = layout.Plot.bottom() - layout.Plot.top();
    if (rows <= 0)
        return windowStart;
    const double perRow = static_cast<double>(windowLength) / rows;
    return static_cast<int>(perRow * (y - layout.Plot.top()) + windowStart);
}

int PressCursorSample(const Layout &layout, int y, int sampleCount)
{
    const int rows = layout.Plot.bottom() - layout.Plot.top();
    if (rows <= 0)
        return 0;
    const double perRow = static_cast<double>(sampleCount) / rows;
    const int s = static_cast<int>(perRow * (y - layout.Plot.top()));
    return s > sampleCount ? sampleCount : s;
}

int ReadoutWidth(double timeMs)
{
    if (timeMs < kNarrowBelowMs)
        return kReadoutNarrow;
    if (timeMs < kMediumBelowMs)
        return kReadoutMedium;
    return kReadoutWide;
}

int ReadoutLeft(int cursorX, int width, int channel, int perPage, int page, int columns)
{
    const int rightThird = (page - 1) * perPage + (2 * columns) / 3;
    return channel > rightThird ? cursorX - width : cursorX;
}

int ReadoutBaseline(int cursorY)
{
    return cursorY < kReadoutLowered ? cursorY + kReadoutLowered : cursorY;
}

QString ReadoutText(int channel, double timeMs, float value)
{
    return QString::asprintf("CH%d:%.2fms,%.3E", channel, timeMs, static_cast<double>(value));
}

} // namespace wave
