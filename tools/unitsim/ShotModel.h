#pragma once

#include "SiteNoise.h"

#include <QVector>
#include <QtGlobal>
#include <array>
#include <map>
#include <tuple>

/// What the unit knows about the record it is asked to take: the fields of the
/// parameter frame, decoded.
struct UnitParams
{
    int Channels = 12;          ///< 12 or 24
    double IntervalUs = 500.0;  ///< decoded from the half-microsecond code
    int SampleLength = 1024;
    int TriggerMethod = 1;      ///< 0 automatic, 1 external, 2 other, 3 self-check
    int TriggerLevel = 3;       ///< 1, 3 or 5
    int DelayMs = 0;            ///< as the operator set it (the frame carries it negated)
    std::array<int, 4> GroupGainDb{{0, 24, 48, 60}};
    int FilterCode = 0;

    bool SelfCheck() const { return TriggerMethod == 3; }
    /// Gain in dB of a 1-based channel.
    int ChannelGainDb(int channel) const;
    /// Length of the record in milliseconds.
    double DurationMs() const { return SampleLength * IntervalUs / 1000.0; }
};

/// Decodes a 25-byte parameter frame; false (and params untouched) when it is not one.
bool DecodeParaFrame(const QByteArray &frame, UnitParams &params);

/// Amplifier gain factor the unit applies at a gain in dB.
double UnitGainFactor(int dB);

/// One channel's own noise in self-check mode, when a test or demo shapes it.
struct SelfCheckChannel
{
    double DcMv = 0.0;       ///< DC level at the input
    double NoiseMv = 0.0008; ///< standard deviation of the amplifier noise
    /// Added to the sample in the middle of the record; a negative swing
    /// larger than the noise makes the channel's largest swing a downward one.
    double SwingMv = 0.0;
    bool Dead = false;       ///< the channel sends zeros only
};

/// What can be wrong with one channel's geophone or cable in a field shot.
/// Faults combine: a channel can be reversed and humming at once.
struct SensorFault
{
    bool Dead = false;      ///< geophone open: only the amplifier's own noise and DC
    /// Above 0: the channel's input is driven to this many times the converter's
    /// full scale at its peak (a phone on the plate, a gain set too high).
    double Overdrive = 0.0;
    bool Reversed = false;  ///< geophone wired the wrong way round
    double HumMv = 0.0;     ///< 50 Hz amplitude at the input; 150 Hz at a third of it
    double NoiseMv = 0.0;   ///< extra broadband noise, standard deviation
    int SwapWith = 0;       ///< 1-based channel whose geophone this channel's cable carries

    bool Any() const { return Dead || Overdrive > 0 || Reversed || HumMv > 0 || NoiseMv > 0 || SwapWith > 0; }
};

/// Synthetic surface-wave field records: for each geophone at its distance
/// from the source, a dispersive Rayleigh-wave train (slow at high frequency,
/// fast at low), geometric spreading and attenuation, a small DC level and
/// random ground noise that differs from shot to shot. The self-check mode
/// gives only the amplifier's own noise.
class ShotModel
{
public:
    explicit ShotModel(quint32 seed = 1);

    void SetSeed(quint32 seed) { m_seed = seed; }
    /// Geometry of the spread: source offset and geophone spacing in metres.
    void SetGeometry(double offsetM, double spacingM);

    /// Phase velocity in m/s at a frequency in Hz (400 m/s at 5 Hz down to 150 m/s at 50 Hz).
    static double PhaseVelocity(double hz);

    /// Distance of a 1-based channel from the source.
    double Distance(int channel) const { return m_offsetM + (channel - 1) * m_spacingM; }

    /// Raw 16-bit samples of one channel of one shot, as the unit sends them:
    /// the input in millivolts times the channel's gain, clipped to 16 bits.
    QVector<qint16> Channel(const UnitParams &params, int shot, int channel) const;

    /// The noise-free input of one channel in millivolts (cached per parameter set).
    const QVector<double> &CleanSignal(const UnitParams &params, int channel) const;

    /// Shapes a 1-based channel's self-check noise; the other channels keep the model's.
    void SetSelfCheckChannel(int channel, const SelfCheckChannel &shape) { m_selfCheck[channel] = shape; }
    void ClearSelfCheckChannels() { m_selfCheck.clear(); }

    /// The site's noise, added to every record but the self-check's; with it
    /// on, a record the unit triggers by itself carries no hammer blow.
    void SetSiteNoise(const SiteNoise &site) { m_site = site; }
    const SiteNoise &Site() const { return m_site; }
    /// When the current record began on the unit's clock, in seconds (the site's traffic moves on).
    void SetRecordStart(double seconds) { m_recordStartS = seconds; }
    /// Gives a 1-based channel a fault in field shots (replacing its earlier one).
    void SetSensorFault(int channel, const SensorFault &fault) { m_faults[channel] = fault; }
    /// Swaps the cables of two channels: each records the other's geophone.
    void SwapChannels(int a, int b)
    {
        m_faults[a].SwapWith = b;
        m_faults[b].SwapWith = a;
    }
    void ClearSensorFaults() { m_faults.clear(); }
    const std::map<int, SensorFault> &SensorFaults() const { return m_faults; }

private:
    QVector<qint16> shapedSelfCheck(const UnitParams &params, int shot, int channel,
                                    const SelfCheckChannel &shape) const;

    double dcLevelMv(int channel, bool selfCheck) const;

    quint32 m_seed;
    double m_offsetM = 4.0;
    double m_spacingM = 2.0;
    using Key = std::tuple<double, int, int, double, double, int>;
    mutable std::map<Key, QVector<double>> m_clean;
    std::map<int, SelfCheckChannel> m_selfCheck;
    SiteNoise m_site;
    double m_recordStartS = 0.0;
    std::map<int, SensorFault> m_faults;
};
