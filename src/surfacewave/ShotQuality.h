#pragma once

#include <QString>
#include <QVector>
#include <vector>

/// What the check can find wrong with one channel; a channel may carry several.
enum QcFlag : unsigned {
    QcDead = 1u << 0,     ///< the geophone gives nothing: variation far below the spread's
    QcClipped = 1u << 1,  ///< a run of samples at the converter's full scale
    QcReversed = 1u << 2, ///< polarity opposite to its neighbours along the spread
    QcHum = 1u << 3,      ///< 50 Hz or a harmonic stands out of the channel's spectrum
    QcNoisy = 1u << 4,    ///< broadband background far above the spread's, hum taken out
    QcSwapped = 1u << 5,  ///< its arrivals do not fit its place in the spread
};

/// One channel as the check takes it.
struct QcTrace
{
    QVector<float> Samples; ///< millivolts at the amplifier input, as on screen
    /// Converter full scale for the channel's gain in mV; 0 when unknown
    /// (the clip test is then left out).
    double FullScaleMv = 0.0;
};

/// One shot: its channels in spread order (channel 1 first) and its sampling.
struct QcShot
{
    std::vector<QcTrace> Channels;
    double IntervalUs = 500.0;
    double SpacingM = 2.0;
};

/// The verdict on one channel.
struct QcChannel
{
    double RmsMv = 0.0;  ///< about the channel's mean
    double PeakMv = 0.0; ///< largest distance from the channel's mean
    unsigned Flags = 0;
};

struct QcReport
{
    std::vector<QcChannel> Channels; ///< one per channel of the shot, same order
    /// Channels with at least one flag.
    int FaultyCount() const;
};

/// Checks every channel of a shot. Pure: the same shot gives the same report.
QcReport CheckShotQuality(const QcShot &shot);

/// The flags' names joined by ';' in a fixed order (dead, clipped, reversed,
/// hum, noisy, swapped); empty for none.
QString QcFlagNames(unsigned flags);
/// The same names in the operator's language, joined by '、'.
QString QcFlagLabels(unsigned flags);
