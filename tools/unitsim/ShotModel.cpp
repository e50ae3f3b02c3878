#include "ShotModel.h"

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr int kFrameSize = 25;
constexpr int kGroupSize = 6;
constexpr int kGainStepDb = 12;

// Converter: ±32768 counts over ±5000 mV after the amplifier.
constexpr double kCountsPerMv = 32768.0 / 5000.0;

// Dispersion: phase velocity falls from 400 m/s at 5 Hz to 150 m/s at 50 Hz.
constexpr double kLowHz = 5.0;
constexpr double kHighHz = 50.0;
constexpr double kLowVelocity = 400.0;
constexpr double kHighVelocity = 150.0;
constexpr double kDispersionShape = 1.3;

// The source: a sledgehammer on a plate, energy around 18 Hz.
constexpr double kSourcePeakHz = 18.0;
constexpr double kFirstHz = 4.0;
constexpr double kLastHz = 60.0;
constexpr double kStepHz = 1.0;
constexpr double kSourceLevelMv = 2.5;   // one packet's level at 1 m
constexpr double kQuality = 25.0;        // ground attenuation
constexpr double kPacketCycles = 1.6;    // envelope width in periods
constexpr double kWindowSigmas = 4.0;

// Noise: ground and cultural noise in the field, amplifier noise in self-check.
constexpr double kGroundNoiseMv = 0.08;
constexpr double kSourceJitter = 0.05;
constexpr double kInstrumentNoiseMv = 0.0008;
constexpr double kFieldDcMv = 0.15;
constexpr double kSelfCheckDcMv = 0.0004;

constexpr size_t kMaxCachedChannels = 96;

// Mains hum of a faulty channel: 50 Hz with its third harmonic, as a ground loop gives it.
constexpr double kMainsHz = 50.0;
constexpr double kThirdHarmonic = 1.0 / 3.0;

struct GainEntry
{
    int dB;
    double factor;
};
constexpr GainEntry kGains[] = {
    {12, 4.0272}, {24, 15.8992}, {36, 62.496}, {48, 249.3952}, {60, 978.1248}, {72, 3938.304},
};

double intervalFromCode(quint16 code)
{
    // 31.25 and 62.5 µs do not fit whole half-microseconds.
    if (code == 62)
        return 31.25;
    if (code == 125)
        return 62.5;
    return code / 2.0;
}

// Deterministic per (seed, what, a, b), so a given seed repeats every shot.
std::mt19937 rng(quint32 seed, quint32 what, quint32 a, quint32 b)
{
    std::seed_seq seq{seed, what, a, b};
    return std::mt19937(seq);
}

// The converter's reading of an input in millivolts after a gain in counts per millivolt.
qint16 toCounts(double mv, double gain)
{
    return static_cast<qint16>(std::clamp(std::round(mv * gain), -32768.0, 32767.0));
}

} // namespace

int UnitParams::ChannelGainDb(int channel) const
{
    const int group = qBound(0, (channel - 1) / kGroupSize, 3);
    return GroupGainDb[group];
}

bool DecodeParaFrame(const QByteArray &frame, UnitParams &p)
{
    if (frame.size() != kFrameSize || !frame.startsWith("VRKd"))
        return false;
    const auto *b = reinterpret_cast<const uchar *>(frame.constData());
    UnitParams out;
    out.Channels = b[4] == 2 ? 24 : 12;
    out.IntervalUs = intervalFromCode(qFromLittleEndian<quint16>(b + 5));
    out.SampleLength = qFromLittleEndian<quint16>(b + 7);
    out.TriggerMethod = b[9];
    out.TriggerLevel = b[10];
    out.DelayMs = -qFromLittleEndian<qint16>(b + 15);
    for (int g = 0; g < 4; ++g) {
        const int step = b[17 + g] & 0x0F;
        out.GroupGainDb[g] = (step >= 1 && step <= 7) ? (step - 1) * kGainStepDb : 36;
    }
    out.FilterCode = b[21];
    p = out;
    return true;
}

double UnitGainFactor(int dB)
{
    for (const GainEntry &e : kGains) {
        if (e.dB == dB)
            return e.factor;
    }
    return 1.0148;
}

ShotModel::ShotModel(quint32 seed)
    : m_seed(seed)
{
}

void ShotModel::SetGeometry(double offsetM, double spacingM)
{
    m_offsetM = offsetM;
    m_spacingM = spacingM;
    m_clean.clear();
}

double ShotModel::PhaseVelocity(double hz)
{
    const double f = std::clamp(hz, kLowHz, kHighHz);
    const double x = (kHighHz - f) / (kHighHz - kLowHz);
    return kHighVelocity + (kLowVelocity - kHighVelocity) * std::pow(x, kDispersionShape);
}

double ShotModel::dcLevelMv(int channel, bool selfCheck) const
{
    std::mt19937 g = rng(m_seed, 1, static_cast<quint32>(channel), selfCheck ? 1 : 0);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    return u(g) * (selfCheck ? kSelfCheckDcMv : kFieldDcMv);
}

const QVector<double> &ShotModel::CleanSignal(const UnitParams &p, int channel) const
{
    const Key key{p.IntervalUs, p.SampleLength, p.DelayMs, m_offsetM, m_spacingM, channel};
    auto it = m_clean.find(key);
    if (it != m_clean.end())
        return it->second;
    if (m_clean.size() >= kMaxCachedChannels)
        m_clean.clear();

    QVector<double> s(qMax(0, p.SampleLength), 0.0);
    const double dt = std::max(p.IntervalUs, 1.0) * 1e-6;
    const double t0 = p.DelayMs * 1e-3;
    const double x = std::max(0.5, std::abs(Distance(channel)));
    const double spreading = 1.0 / std::sqrt(x);
    // Each frequency band travels as a packet at its group velocity with the
    // carrier's phase running at the phase velocity; their sum is the
    // dispersed wave train of a surface-wave record.
    for (double f = kFirstHz; f <= kLastHz; f += kStepHz) {
        const double c = PhaseVelocity(f);
        const double df = 0.5;
        const double dcdf = (PhaseVelocity(f + df) - PhaseVelocity(f - df)) / (2 * df);
        const double u = c / (1.0 - f / c * dcdf);
        const double r = f / kSourcePeakHz;
        const double source = r * r * std::exp(1.0 - r * r);
        const double amp = kSourceLevelMv * source * spreading
                           * std::exp(-M_PI * f * x / (kQuality * u));
        const double tg = x / u;
        const double sigma = kPacketCycles / f;
        const int first = std::max(0, static_cast<int>(std::floor((tg - kWindowSigmas * sigma - t0) / dt)));
        const int last = std::min(static_cast<int>(s.size()) - 1,
                                  static_cast<int>(std::ceil((tg + kWindowSigmas * sigma - t0) / dt)));
        for (int i = first; i <= last; ++i) {
            const double t = t0 + i * dt;
            const double e = (t - tg) / sigma;
            s[i] += amp * std::exp(-0.5 * e * e) * std::cos(2 * M_PI * f * (t - x / c));
        }
    }
    return m_clean.emplace(key, std::move(s)).first->second;
}

QVector<qint16> ShotModel::Channel(const UnitParams &p, int shot, int channel) const
{
    const bool selfCheck = p.SelfCheck();
    if (selfCheck) {
        const auto shaped = m_selfCheck.find(channel);
        if (shaped != m_selfCheck.end())
            return shapedSelfCheck(p, shot, channel, shaped->second);
    }
    SensorFault fault;
    if (!selfCheck) {
        const auto found = m_faults.find(channel);
        if (found != m_faults.end())
            fault = found->second;
    }
    // A swapped cable brings another geophone's ground motion (its signal and
    // its noise) to this channel's amplifier, DC level and gain.
    const int geophone = fault.SwapWith > 0 ? fault.SwapWith : channel;
    const int n = qMax(0, p.SampleLength);
    QVector<qint16> out(n);
    const double gain = UnitGainFactor(p.ChannelGainDb(channel)) * kCountsPerMv;
    const double dc = dcLevelMv(channel, selfCheck);
    std::mt19937 g = rng(m_seed, 2, static_cast<quint32>(shot), static_cast<quint32>(geophone));
    const bool site = m_site.Enabled && !selfCheck;
    double groundMv = selfCheck ? kInstrumentNoiseMv : kGroundNoiseMv;
    if (site && geophone == m_site.DeadChannel)
        groundMv = kInstrumentNoiseMv;
    else if (site && geophone == m_site.NoisyChannel)
        groundMv *= m_site.NoisyFactor;
    std::normal_distribution<double> noise(0.0, groundMv);
    const bool traffic = site && geophone != m_site.DeadChannel;
    const double dt = std::max(p.IntervalUs, 1.0) * 1e-6;
    const QVector<double> *clean = nullptr;
    double source = 0.0;
    // Nobody swings a hammer for a record the unit triggers by itself at a noisy site.
    const bool hammer = !site || p.TriggerMethod != 0;
    if (!selfCheck && hammer && geophone >= 1 && geophone <= 24) {
        clean = &CleanSignal(p, geophone);
        // The same hammer blow never lands twice with quite the same strength.
        std::mt19937 gs = rng(m_seed, 3, static_cast<quint32>(shot), 0);
        source = 1.0 + kSourceJitter * std::normal_distribution<double>()(gs);
    }
    QVector<double> rumble;
    if (traffic) {
        rumble.fill(0.0, n);
        m_site.AddTraffic(rumble, m_seed, geophone, m_spacingM, m_recordStartS, dt);
    }
    if (!fault.Any()) {
        for (int i = 0; i < n; ++i) {
            double mv = dc + noise(g);
            if (clean)
                mv += source * (*clean)[i];
            if (traffic)
                mv += rumble[i];
            out[i] = toCounts(mv, gain);
        }
        return out;
    }
    double drive = 1.0;
    if (fault.Overdrive > 0.0 && clean) {
        double peak = 0.0;
        for (double v : *clean)
            peak = std::max(peak, std::abs(v));
        const double fullScaleMv = 32768.0 / gain;
        if (peak > 0.0)
            drive = std::max(1.0, fault.Overdrive * fullScaleMv / peak);
    }
    const double polarity = fault.Reversed ? -1.0 : 1.0;
    std::mt19937 gf = rng(m_seed, 5, static_cast<quint32>(shot), static_cast<quint32>(channel));
    std::normal_distribution<double> extra(0.0, 1.0);
    std::normal_distribution<double> ampNoise(0.0, kInstrumentNoiseMv);
    const double humPhase = std::uniform_real_distribution<double>(0.0, 2 * M_PI)(gf);
    for (int i = 0; i < n; ++i) {
        double ground = noise(g);
        if (clean)
            ground += source * (*clean)[i];
        if (traffic)
            ground += rumble[i];
        if (fault.Dead)
            ground = ampNoise(gf);
        double mv = dc + polarity * drive * ground;
        if (fault.HumMv > 0.0) {
            const double phase = 2 * M_PI * kMainsHz * i * dt + humPhase;
            mv += fault.HumMv * (std::cos(phase) + kThirdHarmonic * std::cos(3 * phase));
        }
        if (fault.NoiseMv > 0.0)
            mv += fault.NoiseMv * extra(gf);
        out[i] = toCounts(mv, gain);
    }
    return out;
}

QVector<qint16> ShotModel::shapedSelfCheck(const UnitParams &p, int shot, int channel,
                                           const SelfCheckChannel &shape) const
{
    const int n = qMax(0, p.SampleLength);
    QVector<qint16> out(n, 0);
    if (shape.Dead)
        return out;
    const double gain = UnitGainFactor(p.ChannelGainDb(channel)) * kCountsPerMv;
    std::mt19937 g = rng(m_seed, 4, static_cast<quint32>(shot), static_cast<quint32>(channel));
    const bool noisy = shape.NoiseMv > 0.0;
    std::normal_distribution<double> noise(0.0, noisy ? shape.NoiseMv : 1.0);
    for (int i = 0; i < n; ++i) {
        double mv = shape.DcMv + (noisy ? noise(g) : 0.0);
        if (i == n / 2)
            mv += shape.SwingMv;
        out[i] = toCounts(mv, gain);
    }
    return out;
}
