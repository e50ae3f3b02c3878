#pragma once

#include "RecordFormat.h"

#include <QString>

#include <vector>

/// Where one trace of a foreign record (SEG-2, SEG-Y) was taken and how it
/// was sampled, as its file states it.
struct TracePlace
{
    double SourceX = 0.0;   ///< metres along the line
    double ReceiverX = 0.0; ///< metres along the line
    double IntervalUs = 0.0;
    double DelayMs = 0.0;
    qint64 Samples = 0;
};

/// Puts the traces, in file order, on one spread as a record describes it:
/// one source, receivers on one side of it at even spacing, one interval, one
/// length, one delay. Fills the header's channel count, interval, sample
/// length, trace order, spacing, offset and delay. resolutionM is how finely
/// the file states positions; steps may differ from the spacing by that or by
/// 1 % of the spacing, whichever is more. RecordOk, or RecordNotPlaceable with
/// the reason, naming the first trace that does not fit.
int PlaceSpread(const std::vector<TracePlace> &traces, double resolutionM, RecordHeader &header,
                QString *problem);
