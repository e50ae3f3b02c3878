#pragma once

#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "params/Preferences.h"

#include <QString>
#include <array>

/// The site-noise monitor's measurement, without widgets: which unit the
/// levels are given in, the short record it acquires, and per round the RMS
/// and peak of every channel on a decibel scale with a threshold and a peak hold.
namespace monitor {

/// Length of one monitor record. Four pictures a second must fit the record,
/// the polls and the transfer of every channel.
constexpr double kRecordSeconds = 0.2;
/// Fewest samples a record has, so that an RMS means something at long intervals.
constexpr int kMinSamples = 64;
/// Most samples the unit takes per channel.
constexpr int kMaxSamples = 16384;

/// Ends of the bars' scale in dB re 1 mm/s or 1 mV: from below the converter's
/// step at the highest gain to above its full scale at the lowest.
constexpr double kScaleBottomDb = -100.0;
constexpr double kScaleTopDb = 40.0;
/// Step of the scale's labelled marks.
constexpr double kScaleTickDb = 20.0;
/// Level given to a channel without any variation (below the scale).
constexpr double kSilentDb = -200.0;

/// Samples of the monitor's record at a sample interval in µs.
int SampleLength(double intervalUs);

/// Turns the operator's set into the monitor's: the unit triggers by itself at
/// once, without delay, and records a short length; gains, filter, interval,
/// channel count and sensor block stay the operator's.
void ApplyMonitorSettings(ParamSet &p);

enum class Unit { MillimetresPerSecond, Millivolts };

/// The unit of every channel on screen and each channel's factor from mV at the amplifier input.
struct UnitChoice
{
    Unit Kind = Unit::Millivolts;
    std::array<double, kMaxChannels> PerMv{};

    /// "mm/s" or "mV".
    QString Symbol() const;
    /// What the screen says about it.
    QString Note() const;
};

/// mm/s when the sensor block describes velocity geophones on the inputs (sensor
/// type and metering signal velocity) with a usable sensitivity (mV per mm/s,
/// finite and positive) on every channel in use; mV at the amplifier input
/// otherwise, so that one screen never mixes two units.
UnitChoice ChooseUnit(const ParamSet &p);

/// 20·log10(value); kSilentDb for nothing at all.
double LevelDb(double value);
/// Where db lies on the bars' scale, 0 at the bottom and 1 at the top, clamped.
double ScaleFraction(double db);

/// One channel's levels in the unit of the screen.
struct ChannelLevel
{
    bool HasData = false;
    double Rms = 0.0;  ///< about the record's mean: a DC offset is not noise
    double Peak = 0.0; ///< largest swing from the mean, either sign
    double RmsDb = kSilentDb;
    double PeakDb = kSilentDb;
    double HeldPeakDb = kSilentDb; ///< largest PeakDb since the hold was cleared
    bool Above = false;            ///< RMS above the threshold
};

/// Levels of every channel, round after round.
class NoiseMeter
{
public:
    NoiseMeter();

    /// Measures one round: traces in mV at the amplifier input (an empty one
    /// has no data this round and keeps its peak hold).
    void Measure(const TraceSet &mv, int channels, const UnitChoice &unit);

    void SetThresholdDb(double db);
    double ThresholdDb() const { return m_thresholdDb; }
    /// Forgets the held peaks.
    void ClearPeakHold();

    const std::array<ChannelLevel, kMaxChannels> &Levels() const { return m_levels; }
    int Channels() const { return m_channels; }
    /// Channels above the threshold.
    int ChannelsAbove() const;
    /// Rounds measured so far.
    int Rounds() const { return m_rounds; }

private:
    void mark();

    std::array<ChannelLevel, kMaxChannels> m_levels{};
    int m_channels = 0;
    int m_rounds = 0;
    double m_thresholdDb = Preferences().MonitorThresholdDb;
};

} // namespace monitor
