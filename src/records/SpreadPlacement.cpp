#include "SpreadPlacement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Positions are rounded when files are written; a step within 1 % of the
// spacing is the same spacing, a geophone moved by more is not.
constexpr double kSpacingTolerance = 0.01;
// Intervals and delays are written as decimals of seconds: equal to a few
// parts in a million is equal.
constexpr double kRelativeTolerance = 1e-6;
constexpr double kDelayToleranceMs = 1e-3;
constexpr int kForwardOrder = 1;
constexpr int kReverseOrder = 0;

bool close(double a, double b, double tolerance)
{
    return std::abs(a - b) <= tolerance;
}

QString metres(double v)
{
    return QString::number(v, 'g', 8);
}

int refuse(QString *problem, const QString &why)
{
    if (problem)
        *problem = why;
    return RecordNotPlaceable;
}

} // namespace

int PlaceSpread(const std::vector<TracePlace> &traces, double resolutionM, RecordHeader &header, QString *problem)
{
    const int n = int(traces.size());
    if (n < 1)
        return refuse(problem, QStringLiteral("the file holds no traces"));
    if (n > kMaxChannels)
        return refuse(problem, QStringLiteral("the file holds %1 traces; a record takes at most %2")
                                   .arg(n)
                                   .arg(kMaxChannels));
    const TracePlace &first = traces.front();
    if (!(std::isfinite(first.IntervalUs) && first.IntervalUs > 0))
        return refuse(problem, QStringLiteral("trace 1 states no sample interval"));
    if (first.Samples < 1)
        return refuse(problem, QStringLiteral("trace 1 holds no samples"));
    if (!std::isfinite(first.SourceX))
        return refuse(problem, QStringLiteral("trace 1 states no source position"));
    for (int i = 0; i < n; ++i) {
        const TracePlace &t = traces[size_t(i)];
        const int k = i + 1;
        if (!close(t.IntervalUs, first.IntervalUs, kRelativeTolerance * first.IntervalUs))
            return refuse(problem, QStringLiteral("mixed sample intervals: trace %1 every %2 us, trace 1 every %3 us")
                                       .arg(k)
                                       .arg(t.IntervalUs)
                                       .arg(first.IntervalUs));
        if (t.Samples != first.Samples)
            return refuse(problem, QStringLiteral("mixed trace lengths: trace %1 holds %2 samples, trace 1 %3")
                                       .arg(k)
                                       .arg(t.Samples)
                                       .arg(first.Samples));
        if (!close(t.DelayMs, first.DelayMs, kDelayToleranceMs))
            return refuse(problem, QStringLiteral("mixed delays: trace %1 starts at %2 ms, trace 1 at %3 ms")
                                       .arg(k)
                                       .arg(t.DelayMs)
                                       .arg(first.DelayMs));
        if (!std::isfinite(t.ReceiverX))
            return refuse(problem, QStringLiteral("trace %1 states no receiver position").arg(k));
        if (!close(t.SourceX, first.SourceX, resolutionM))
            return refuse(problem, QStringLiteral("more than one source: trace %1 has it at %2 m, trace 1 at %3 m")
                                       .arg(k)
                                       .arg(metres(t.SourceX), metres(first.SourceX)));
    }

    // Distances from the source, signed by the side of the spread.
    std::vector<double> d(static_cast<size_t>(n));
    int farthest = 0;
    for (int i = 0; i < n; ++i) {
        d[size_t(i)] = traces[size_t(i)].ReceiverX - first.SourceX;
        if (std::abs(d[size_t(i)]) > std::abs(d[size_t(farthest)]))
            farthest = i;
    }
    const double side = d[size_t(farthest)] < 0 ? -1.0 : 1.0;
    for (int i = 0; i < n; ++i) {
        if (side * d[size_t(i)] < -resolutionM)
            return refuse(problem, QStringLiteral("receivers on both sides of the source: trace %1 at %2 m, trace %3 at %4 m")
                                       .arg(i + 1)
                                       .arg(metres(d[size_t(i)]))
                                       .arg(farthest + 1)
                                       .arg(metres(d[size_t(farthest)])));
        d[size_t(i)] = std::max(0.0, side * d[size_t(i)]);
    }

    // The first step sets the spacing the others are held to, so that the
    // first trace out of step is the one named; the spacing kept is the mean,
    // which rounding in the file disturbs least.
    double spacing = 0.0;
    bool forward = true;
    if (n > 1) {
        forward = d[1] >= d[0];
        const double first = std::abs(d[1] - d[0]);
        const double tolerance = std::max(resolutionM, kSpacingTolerance * first);
        for (int i = 1; i < n; ++i) {
            const double step = (forward ? 1.0 : -1.0) * (d[size_t(i)] - d[size_t(i - 1)]);
            if (first <= resolutionM || !close(step, first, tolerance))
                return refuse(problem, QStringLiteral("receivers not evenly spaced: trace %1 is %2 m from trace %3, "
                                                      "the spread's spacing is %4 m")
                                           .arg(i + 1)
                                           .arg(metres(step))
                                           .arg(i)
                                           .arg(metres(first)));
        }
        spacing = std::abs(d.back() - d.front()) / (n - 1);
    }

    header.ChannelCount = n;
    header.SampleInterval = float(first.IntervalUs);
    header.SampleLength = int(qMin<qint64>(first.Samples, std::numeric_limits<int>::max()));
    header.TraceOrder = forward ? kForwardOrder : kReverseOrder;
    header.TraceSpacing = float(spacing);
    header.Offset = float(side * std::min(d.front(), d.back()));
    header.Delay = float(std::isfinite(first.DelayMs) ? first.DelayMs : 0.0);
    return RecordOk;
}
