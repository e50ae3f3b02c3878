#pragma once

#include "params/ParamSet.h"
#include "surfacewave/ShotQuality.h"

#include <QString>
#include <QVector>

/// The check's view of a record: its channels in spread order with the
/// converter's full scale at each channel's gain (unknown, and no clip test,
/// when the record carries no gains).
QcShot QcShotOf(const RecordHeader &header, const std::array<int, kMaxChannels> *gains,
                const QVector<float> *traces, int channelCount);

/// Checks the traces on screen under the current record's header and gains.
QcReport CheckTracesOnScreen(const ParamSet &params);

/// The status line's summary: "质检：N道异常", or "质检：正常" when every channel passed.
QString QcSummary(const QcReport &report);
/// One line per flagged channel: "第N道：削波、工频干扰".
QStringList QcDetails(const QcReport &report);
