#include "analysis/DigitalFilter.h"

#include "analysis/CAlgorithm.h"
#include "params/ParamSet.h"
#include "records/RecordFormat.h"

#include <algorithm>

namespace {
constexpr double kSecondsPerUs = 1e-6;
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

void FilterTrace(QVector<float> &trace, const FilterSettings &settings)
{
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
