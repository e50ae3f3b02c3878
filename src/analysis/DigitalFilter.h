#pragma once

#include <QString>
#include <QVector>

/// Largest filter limit the operator can set, Hz; as the low-pass limit it means "off".
constexpr int kMaxFilterLimitHz = 10000;

/// What one run of the digital filter needs besides the traces.
struct FilterSettings
{
    float IntervalUs = 0.0f;             ///< sample interval of the record, microseconds
    int SampleCount = 0;                 ///< samples per trace the record promises
    int LowPassHz = kMaxFilterLimitHz;   ///< at the maximum: low-pass off
    int HighPassHz = 0;                  ///< 0 and below: high-pass off
};

/// The filter dialog's limits and the record's timing from the current parameter set.
FilterSettings CurrentFilterSettings();

/// The settings with every limit at or above half the sampling rate switched
/// off; dropped, when given, tells whether one was (the operator is to hear of it).
FilterSettings WithoutLimitsBeyondNyquist(const FilterSettings &settings, bool *dropped = nullptr);

/// What the analysis screen says when a limit was left out.
QString LimitBeyondNyquistText();

/// Low-pass, then high-pass, in place over the first min(length, sample
/// count) samples of trace, leaving out a limit at or above half the sampling
/// rate. An empty trace is skipped; a trace never changes its length. With
/// both limits off the samples stay bit for bit as they were.
void FilterTrace(QVector<float> &trace, const FilterSettings &settings);

/// FilterTrace over count traces starting at traces.
void FilterTraces(QVector<float> *traces, int count, const FilterSettings &settings);
