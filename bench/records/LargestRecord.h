#pragma once

#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <cmath>

// The largest record the unit takes, as the current record: what the record
// benchmarks write, read and convert.
namespace bench {

inline constexpr int kRecordChannels = 24;
inline constexpr int kRecordSamples = 16384;

/// Makes the current record 24 channels of samples of a smooth signal.
inline void FillRecord(int samples)
{
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = kRecordChannels;
    p.Header.SampleLength = samples;
    for (int ch = 0; ch < kRecordChannels; ++ch) {
        QVector<float> t(samples);
        for (int i = 0; i < samples; ++i)
            t[i] = std::sin(i * 0.01f + ch) * 1000.0f;
        Store().Traces[ch] = t;
    }
}

/// Makes the current record 24 channels of 16384 samples of a smooth signal.
inline void FillLargestRecord()
{
    FillRecord(kRecordSamples);
}

} // namespace bench
