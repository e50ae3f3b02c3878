#pragma once

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <ctime>

// Small pieces every benchmark needs: processor clocks, the median, the
// platform to draw on and the way times are printed.
namespace bench {

/// Processor time of the calling thread in ms: on a shared machine the wall
/// clock also counts the time other programs had the processor.
inline double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

/// Processor time of the whole process in ms (all its threads).
inline double ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

/// Median of the values (0 for none); the mean of the middle two for an even count.
template <typename Container>
double Median(Container values)
{
    std::sort(values.begin(), values.end());
    const auto n = values.size();
    if (n == 0)
        return 0;
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

/// Benchmarks draw off screen unless a platform was asked for: they must run
/// on a machine without a display. Call before the application is made.
inline void OffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

/// Milliseconds as printed in the figures: two decimals.
inline QString Ms(double ms)
{
    return QString::number(ms, 'f', 2);
}

} // namespace bench
