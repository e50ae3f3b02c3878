// The phase-shift dispersion image checked against answers known from
// outside the code: a plane wave of known speed, the simulator's own
// dispersion law, a direct evaluation of the transform's definition, noise
// with nothing to find, and records that cannot give an image at all.
#include "analysis/DispersionImage.h"
#include "instrument/InstrumentProtocol.h"
#include "params/ParamSet.h"

#include "ShotModel.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <complex>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;
using Traces = std::array<QVector<float>, kMaxChannels>;

SpreadGeometry Spread(int channels, double intervalUs, int samples, double spacing = 2.0,
                      double offset = 4.0, bool reverse = false)
{
    SpreadGeometry g;
    g.ChannelCount = channels;
    g.IntervalUs = intervalUs;
    g.SampleCount = samples;
    g.SpacingM = spacing;
    g.OffsetM = offset;
    g.Reverse = reverse;
    return g;
}

/// Ricker wavelet of peak frequency fp at time t.
double Ricker(double t, double fp)
{
    const double a = kPi * fp * t;
    return (1.0 - 2.0 * a * a) * std::exp(-a * a);
}

/// A broadband wavelet crossing the spread at one speed: each receiver sees
/// it later by its distance over the speed.
Traces PlaneWave(const SpreadGeometry &g, double velocity, const QList<int> &silent = {})
{
    constexpr double kPeakHz = 30.0;
    constexpr double kStartS = 0.05;
    Traces t;
    for (int ch = 1; ch <= g.ChannelCount; ++ch) {
        if (silent.contains(ch))
            continue;
        const double delay = kStartS + g.Position(ch) / velocity;
        QVector<float> &v = t[ch - 1];
        v.resize(g.SampleCount);
        for (int i = 0; i < g.SampleCount; ++i)
            v[i] = float(1000.0 * Ricker(i * g.IntervalUs * 1e-6 - delay, kPeakHz));
    }
    return t;
}

Traces Noise(int channels, int samples, quint32 seed)
{
    QRandomGenerator rng(seed);
    Traces t;
    for (int ch = 0; ch < channels; ++ch) {
        t[ch].resize(samples);
        for (float &v : t[ch])
            v = float(rng.bounded(2.0) - 1.0);
    }
    return t;
}

/// The transform by its definition: the spectrum of every trace by a direct
/// Fourier sum at exactly f, scaled to unit magnitude, shifted by
/// e^{i 2 pi f x / c} at the receiver's distance x and stacked.
double DirectStack(const Traces &t, const SpreadGeometry &g, double f, double c)
{
    std::complex<double> sum;
    const double dt = g.IntervalUs * 1e-6;
    for (int ch = 1; ch <= g.ChannelCount; ++ch) {
        const QVector<float> &v = t[ch - 1];
        double mean = 0.0;
        for (float s : v)
            mean += s;
        mean /= v.size();
        std::complex<double> u;
        for (int i = 0; i < v.size(); ++i)
            u += (v[i] - mean) * std::polar(1.0, -2.0 * kPi * f * i * dt);
        sum += u / std::abs(u) * std::polar(1.0, 2.0 * kPi * f * g.Position(ch) / c);
    }
    return std::abs(sum);
}

} // namespace

class TstDispersion : public QObject
{
    Q_OBJECT

private slots:
    void planeWavePicksItsSpeed_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("reverse");
        QTest::addColumn<double>("spacing");
        QTest::addColumn<QList<int>>("silent");
        QTest::newRow("24 forward") << 24 << false << 2.0 << QList<int>{};
        QTest::newRow("24 reverse") << 24 << true << 2.0 << QList<int>{};
        QTest::newRow("12 at 3 m") << 12 << false << 3.0 << QList<int>{};
        QTest::newRow("dead channels") << 24 << false << 2.0 << QList<int>{1, 7, 8, 24};
    }

    void planeWavePicksItsSpeed()
    {
        QFETCH(int, channels);
        QFETCH(bool, reverse);
        QFETCH(double, spacing);
        QFETCH(QList<int>, silent);
        constexpr double kSpeed = 300.0;
        const SpreadGeometry g = Spread(channels, 500.0, 2048, spacing, 4.0, reverse);
        const Traces t = PlaneWave(g, kSpeed, silent);
        const DispersionImage image = ComputeDispersionImage(t.data(), int(t.size()), g);
        QCOMPARE(image.Result, int(DispersionOk));
        QCOMPARE(image.ChannelsUsed, channels - int(silent.size()));
        QCOMPARE(image.ShortestWavelength, 2.0 * spacing);

        // Every frequency whose wavelength the spread resolves is picked, within 2 %, and no other.
        const double fLow = kSpeed / image.LongestWavelength;
        const double fHigh = kSpeed / image.ShortestWavelength;
        for (const DispersionPick &p : image.Curve) {
            QVERIFY2(std::abs(p.Velocity / kSpeed - 1.0) <= 0.02,
                     qPrintable(QStringLiteral("%1 Hz: %2 m/s").arg(p.Frequency).arg(p.Velocity)));
            QCOMPARE(p.Wavelength, p.Velocity / p.Frequency);
        }
        QCOMPARE(int(image.Curve.size()), int(std::floor(fHigh) - std::ceil(fLow)) + 1);
        QCOMPARE(image.Curve.front().Frequency, std::ceil(fLow));
    }

    void noiseHasNoClearMode_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 8; ++seed) {
            QTest::addRow("24 channels, seed %u", seed) << 24 << seed;
            QTest::addRow("12 channels, seed %u", seed) << 12 << seed;
        }
    }

    void noiseHasNoClearMode()
    {
        QFETCH(int, channels);
        QFETCH(quint32, seed);
        const SpreadGeometry g = Spread(channels, 500.0, 2048);
        const Traces t = Noise(channels, g.SampleCount, seed);
        const DispersionImage image = ComputeDispersionImage(t.data(), int(t.size()), g);
        QCOMPARE(image.Result, int(DispersionOk));
        QString picks;
        for (const DispersionPick &p : image.Curve)
            picks += QStringLiteral(" %1Hz:%2").arg(p.Frequency).arg(p.Coherence);
        QVERIFY2(image.Curve.empty(), qPrintable(picks));
    }

    void simulatorShotFollowsTheModelsLaw_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("intervalUs");
        QTest::addColumn<int>("gainDb");
        QTest::newRow("program's gains, 1 s") << 2048 << 500.0 << -1;
        QTest::newRow("36 dB, 0.5 s") << 1024 << 500.0 << 36;
        QTest::newRow("36 dB, 250 us, 4 s") << 16384 << 250.0 << 36;
    }

    void simulatorShotFollowsTheModelsLaw()
    {
        QFETCH(int, samples);
        QFETCH(double, intervalUs);
        QFETCH(int, gainDb);
        UnitParams unit;
        unit.Channels = kMaxChannels;
        unit.IntervalUs = intervalUs;
        unit.SampleLength = samples;
        if (gainDb >= 0)
            unit.GroupGainDb = {gainDb, gainDb, gainDb, gainDb};
        ShotModel model(7);
        const SpreadGeometry g = Spread(kMaxChannels, intervalUs, samples);
        model.SetGeometry(g.OffsetM, g.SpacingM);
        Traces t;
        for (int ch = 1; ch <= kMaxChannels; ++ch) {
            const QVector<qint16> raw = model.Channel(unit, 1, ch);
            const double factor = GainFactor(unit.ChannelGainDb(ch));
            for (qint16 r : raw)
                t[ch - 1].append(SampleAmplitude(r, factor));
        }
        const DispersionImage image = ComputeDispersionImage(t.data(), int(t.size()), g);
        QCOMPARE(image.Result, int(DispersionOk));
        QStringList report;
        int inBand = 0;
        for (const DispersionPick &p : image.Curve) {
            QVERIFY(p.Wavelength >= image.ShortestWavelength && p.Wavelength <= image.LongestWavelength);
            report << QStringLiteral("%1:%2").arg(p.Frequency).arg(p.Velocity, 0, 'f', 1);
            if (p.Frequency < 10.0 || p.Frequency > 40.0)
                continue;
            ++inBand;
            QVERIFY2(std::abs(p.Velocity / ShotModel::PhaseVelocity(p.Frequency) - 1.0) <= 0.05,
                     qPrintable(report.join(' ')));
        }
        QCOMPARE(inBand, 31);
    }

    void definitionAndTransformAgree()
    {
        // Two crossing waves and noise, on frequencies between the transform's bins.
        const SpreadGeometry g = Spread(kMaxChannels, 500.0, 1500, 1.5, 7.0);
        Traces t = Noise(kMaxChannels, g.SampleCount, 11);
        const Traces fast = PlaneWave(g, 420.0);
        const Traces slow = PlaneWave(g, 160.0);
        for (int ch = 0; ch < kMaxChannels; ++ch)
            for (int i = 0; i < g.SampleCount; ++i)
                t[ch][i] += fast[ch][i] + 0.7f * slow[ch][i];
        DispersionGrid grid;
        grid.FMin = 5.3;
        grid.FMax = 80.0;
        grid.Df = 7.31;
        grid.VMin = 90.0;
        grid.VMax = 700.0;
        grid.Dv = 3.7;
        const DispersionImage image = ComputeDispersionImage(t.data(), int(t.size()), g, grid);
        QCOMPARE(image.Result, int(DispersionOk));
        QCOMPARE(image.FrequencyCount(), 11);
        QCOMPARE(image.Frequencies.back(), 5.3 + 10 * 7.31);
        QCOMPARE(image.VelocityCount(), 165);
        double worst = 0.0;
        for (int fi = 0; fi < image.FrequencyCount(); ++fi) {
            std::vector<double> direct;
            for (double c : image.Velocities)
                direct.push_back(DirectStack(t, g, image.Frequencies[fi], c));
            const double peak = *std::max_element(direct.begin(), direct.end());
            for (int vi = 0; vi < image.VelocityCount(); ++vi) {
                worst = std::max(worst, std::abs(direct[vi] / peak - image.Value(fi, vi)));
            }
        }
        QVERIFY2(worst < 0.01, qPrintable(QString::number(worst)));
    }
};

QTEST_GUILESS_MAIN(TstDispersion)
#include "tst_dispersion.moc"
