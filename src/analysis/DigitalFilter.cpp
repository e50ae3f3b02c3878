#include "analysis/DigitalFilter.h"

#include "analysis/CAlgorithm.h"
#include "params/ParamSet.h"
#include "records/RecordFormat.h"

#include <algorithm>

namespace {
constexpr double kSecondsPerUs = 1e-6;
constexpr double kUsPerSecond = 1e6;
}

FilterSettings CurrentFilterSettings()
{
    const ParamSet &p = CurrentParams();
    FilterSettings s;
    s.IntervalUs = p.Header.SampleInterval;
    s.SampleCount = p.SampleLengthInUse();
    s.LowPassHz = p.LowPassLimit;
    s.HighPassHz = p.HighPassLimit;
    return s;
}

FilterSettings WithoutLimitsBeyondNyquist(const FilterSettings &settings, bool *dropped)
{
    // At half the sampling rate the high-pass takes everything (the screen
    // goes flat) and the low-pass no longer means what it says.
    const double nyquistHz = kUsPerSecond / (2.0 * double(FlooredSampleInterval(settings.IntervalUs)));
    FilterSettings usable = settings;
    bool any = false;
    if (usable.LowPassHz < kMaxFilterLimitHz && usable.LowPassHz >= nyquistHz) {
        usable.LowPassHz = kMaxFilterLimitHz;
        any = true;
    }
    if (usable.HighPassHz > 0 && usable.HighPassHz >= nyquistHz) {
        usable.HighPassHz = 0;
        any = true;
    }
    if (dropped)
        *dropped = any;
    return usable;
}

QString LimitBeyondNyquistText()
{
    return QStringLiteral("滤波频率超过采样频率的一半，滤波无效！");
}

void FilterTrace(QVector<float> &trace, const FilterSettings &requested)
{
    const FilterSettings settings = WithoutLimitsBeyondNyquist(requested);
    // A failed fetch leaves traces short or empty; the filter must neither
    // read past them nor make them longer.
    const int n = std::min(int(trace.size()), std::max(settings.SampleCount, 0));
    if (n <= 0)
        return;
    const float dt = float(FlooredSampleInterval(settings.IntervalUs) * kSecondsPerUs);
    float *samples = trace.data();
    CAlgorithm::LowPass(samples, samples, n, dt, float(settings.LowPassHz));
    CAlgorithm::HighPass(samples, samples, n, dt, settings.HighPassHz);
}

void FilterTraces(QVector<float> *traces, int count, const FilterSettings &settings)
{
    for (int c = 0; c < count; ++c)
        FilterTrace(traces[c], settings);
}
