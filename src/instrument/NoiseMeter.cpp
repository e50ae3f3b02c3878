#include "NoiseMeter.h"

#include <algorithm>
#include <cmath>

namespace monitor {

namespace {
constexpr double kUsPerSecond = 1e6;
/// The filter value the settings call all-pass; no low-pass then.
constexpr int kAutomaticTrigger = 0;
} // namespace

int SampleLength(double intervalUs)
{
    if (!std::isfinite(intervalUs) || intervalUs <= 0.0)
        return kMinSamples;
    const double n = std::ceil(kRecordSeconds * kUsPerSecond / intervalUs);
    return static_cast<int>(std::clamp(n, double(kMinSamples), double(kMaxSamples)));
}

void ApplyMonitorSettings(ParamSet &p)
{
    p.Header.TriggerMethod = kAutomaticTrigger;
    p.Header.Delay = 0.0f;
    p.Header.SampleLength = SampleLength(p.Header.SampleInterval);
}

QString UnitChoice::Symbol() const
{
    return Kind == Unit::MillimetresPerSecond ? QStringLiteral("mm/s") : QStringLiteral("mV");
}

QString UnitChoice::Note() const
{
    return Kind == Unit::MillimetresPerSecond ? QStringLiteral("单位:mm/s(灵敏度换算)")
                                              : QStringLiteral("单位:mV(放大器输入)");
}

UnitChoice ChooseUnit(const ParamSet &p)
{
    UnitChoice out;
    out.PerMv.fill(1.0);
    const SensorBlock &s = p.Sensor;
    if (s.SensorType == 0 || s.MeteringSignal == 0)
        return out;
    const int channels = p.ChannelsInUse();
    for (int c = 0; c < channels; ++c) {
        const double mvPerMmS = s.Sensitivity[c];
        if (!std::isfinite(mvPerMmS) || mvPerMmS <= 0.0)
            return out;
    }
    out.Kind = Unit::MillimetresPerSecond;
    for (int c = 0; c < channels; ++c)
        out.PerMv[c] = 1.0 / s.Sensitivity[c];
    return out;
}

double LevelDb(double value)
{
    if (!(value > 0.0) || !std::isfinite(value))
        return kSilentDb;
    return std::max(kSilentDb, 20.0 * std::log10(value));
}

double ScaleFraction(double db)
{
    return std::clamp((db - kScaleBottomDb) / (kScaleTopDb - kScaleBottomDb), 0.0, 1.0);
}

NoiseMeter::NoiseMeter() = default;

void NoiseMeter::Measure(const TraceSet &mv, int channels, const UnitChoice &unit)
{
    m_channels = std::clamp(channels, 0, kMaxChannels);
    for (int c = 0; c < m_channels; ++c) {
        ChannelLevel &l = m_levels[c];
        const QVector<float> &t = mv[c];
        l.HasData = !t.isEmpty();
        if (!l.HasData) {
            l.Rms = l.Peak = 0.0;
            l.RmsDb = l.PeakDb = kSilentDb;
            continue;
        }
        // Two passes in double: the mean can be hundreds of times the noise
        // (an amplifier offset at high gain), and one pass would lose the noise to rounding.
        double sum = 0.0;
        for (float v : t)
            sum += v;
        const double mean = sum / t.size();
        double squares = 0.0;
        double peak = 0.0;
        for (float v : t) {
            const double d = v - mean;
            squares += d * d;
            peak = std::max(peak, std::fabs(d));
        }
        const double scale = unit.PerMv[c];
        l.Rms = std::sqrt(squares / t.size()) * scale;
        l.Peak = peak * scale;
        l.RmsDb = LevelDb(l.Rms);
        l.PeakDb = LevelDb(l.Peak);
        l.HeldPeakDb = std::max(l.HeldPeakDb, l.PeakDb);
    }
    for (int c = m_channels; c < kMaxChannels; ++c)
        m_levels[c] = ChannelLevel();
    ++m_rounds;
    mark();
}

void NoiseMeter::SetThresholdDb(double db)
{
    if (!std::isfinite(db))
        return;
    m_thresholdDb = std::clamp(db, kScaleBottomDb, kScaleTopDb);
    mark();
}

void NoiseMeter::ClearPeakHold()
{
    for (ChannelLevel &l : m_levels)
        l.HeldPeakDb = l.HasData ? l.PeakDb : kSilentDb;
}

int NoiseMeter::ChannelsAbove() const
{
    return static_cast<int>(std::count_if(m_levels.begin(), m_levels.begin() + m_channels,
                                          [](const ChannelLevel &l) { return l.Above; }));
}

void NoiseMeter::mark()
{
    for (int c = 0; c < kMaxChannels; ++c) {
        ChannelLevel &l = m_levels[c];
        l.Above = c < m_channels && l.HasData && l.RmsDb > m_thresholdDb;
    }
}

} // namespace monitor
