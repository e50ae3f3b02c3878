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

/// Unit cosines every 0.25 Hz from lowHz to highHz, each crossing the spread
/// at its own phase velocity (1 ms sampling).
template <typename Velocity>
Traces Dispersive(const SpreadGeometry &g, double lowHz, double highHz, Velocity velocity)
{
    Traces t;
    for (int ch = 1; ch <= g.ChannelCount; ++ch) {
        QVector<float> &v = t[ch - 1];
        v.fill(0.0f, g.SampleCount);
        for (double f = lowHz; f <= highHz; f += 0.25) {
            const double delay = 0.2 + g.Position(ch) / velocity(f);
            for (int i = 0; i < g.SampleCount; ++i)
                v[i] += float(std::cos(2.0 * kPi * f * (i * 1e-3 - delay)));
        }
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

    void degenerateInputIsRefused_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("result");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("one channel with data") << "channels 1" << int(DispersionTooFewChannels);
        QTest::newRow("no channel") << "channels 0" << int(DispersionTooFewChannels);
        QTest::newRow("fewer traces than channels") << "traces 1" << int(DispersionTooFewChannels);
        QTest::newRow("no samples") << "samples 0" << int(DispersionTooFewChannels);
        QTest::newRow("flat traces") << "flat" << int(DispersionTooFewChannels);
        QTest::newRow("zero spacing") << "spacing 0" << int(DispersionBadSpacing);
        QTest::newRow("negative spacing") << "spacing -2" << int(DispersionBadSpacing);
        QTest::newRow("NaN spacing") << QStringLiteral("spacing %1").arg(nan) << int(DispersionBadSpacing);
        QTest::newRow("zero interval") << "interval 0" << int(DispersionBadInterval);
        QTest::newRow("NaN interval") << QStringLiteral("interval %1").arg(nan) << int(DispersionBadInterval);
        QTest::newRow("infinite interval") << QStringLiteral("interval %1").arg(inf) << int(DispersionBadInterval);
        QTest::newRow("damaged interval") << "interval 3e38" << int(DispersionAboveNyquist);
        QTest::newRow("band above Nyquist") << "interval 600000" << int(DispersionAboveNyquist);
        QTest::newRow("NaN sample") << "sample nan" << int(DispersionBadSamples);
        QTest::newRow("infinite sample") << "sample inf" << int(DispersionBadSamples);
        QTest::newRow("frequency 0") << "fmin 0" << int(DispersionBadGrid);
        QTest::newRow("crossed frequencies") << "fmax 0.5" << int(DispersionBadGrid);
        QTest::newRow("no frequency step") << "df 0" << int(DispersionBadGrid);
        QTest::newRow("NaN step") << QStringLiteral("dv %1").arg(nan) << int(DispersionBadGrid);
        QTest::newRow("equal velocities") << "vmax 50" << int(DispersionBadGrid);
        QTest::newRow("a million frequencies") << "df 0.0001" << int(DispersionBadGrid);
    }

    void degenerateInputIsRefused()
    {
        QFETCH(QString, damage);
        QFETCH(int, result);
        SpreadGeometry g = Spread(12, 500.0, 1024);
        Traces t = PlaneWave(g, 300.0);
        DispersionGrid grid;
        int traceCount = int(t.size());
        const QString what = damage.section(QLatin1Char(' '), 0, 0);
        const double value = damage.section(QLatin1Char(' '), 1).toDouble();
        if (what == QLatin1String("channels"))
            g.ChannelCount = int(value);
        else if (what == QLatin1String("traces"))
            traceCount = int(value);
        else if (what == QLatin1String("samples"))
            g.SampleCount = int(value);
        else if (what == QLatin1String("flat"))
            for (QVector<float> &v : t)
                v.fill(3.5f);
        else if (what == QLatin1String("spacing"))
            g.SpacingM = value;
        else if (what == QLatin1String("interval"))
            g.IntervalUs = value;
        else if (what == QLatin1String("sample"))
            t[6][500] = damage.endsWith(QLatin1String("nan")) ? std::numeric_limits<float>::quiet_NaN()
                                                              : std::numeric_limits<float>::infinity();
        else if (what == QLatin1String("fmin"))
            grid.FMin = value;
        else if (what == QLatin1String("fmax"))
            grid.FMax = value;
        else if (what == QLatin1String("df"))
            grid.Df = value;
        else if (what == QLatin1String("dv"))
            grid.Dv = value;
        else if (what == QLatin1String("vmax"))
            grid.VMax = value;
        const DispersionImage image = ComputeDispersionImage(t.data(), traceCount, g, grid);
        QCOMPARE(image.Result, result);
        QVERIFY(!image.Problem.isEmpty());
        QVERIFY(!DispersionResultMessage(image.Result).isEmpty());
        QVERIFY(image.Values.empty() && image.Curve.empty());
    }

    void bandEndsAtNyquistAndShortTracesCount()
    {
        // 10 ms sampling: Nyquist 50 Hz. Channel 3 is cut short, channel 5 is
        // longer than the record; both take part over the record's length.
        const SpreadGeometry g = Spread(12, 10000.0, 256);
        Traces t = PlaneWave(g, 300.0);
        t[2].resize(100);
        t[4].append(QVector<float>(50, 1e6f));
        const DispersionImage image = ComputeDispersionImage(t.data(), int(t.size()), g);
        QCOMPARE(image.Result, int(DispersionOk));
        QCOMPARE(image.NyquistHz, 50.0);
        QCOMPARE(image.Frequencies.back(), 50.0);
        QCOMPARE(image.ChannelsUsed, 12);
        QVERIFY(DispersionSummary(image).startsWith(QStringLiteral("基阶频散曲线")));

        // A hand-made record far longer than any the unit takes is used up to a bound.
        const SpreadGeometry huge = Spread(2, 500.0, 300000);
        const Traces two = PlaneWave(huge, 300.0);
        const DispersionImage bounded = ComputeDispersionImage(two.data(), int(two.size()), huge);
        QCOMPARE(bounded.Result, int(DispersionOk));
        QCOMPARE(bounded.ChannelsUsed, 2);
    }

    void shortWavesAreNotPickedAsTheirAliases()
    {
        // A dispersive wave that slows to 80-90 m/s at 45-60 Hz: there it is
        // shorter than the 2 m spacing, and its alias stands in the image,
        // as strong, at several hundred m/s inside the wavelength window.
        const SpreadGeometry g = Spread(24, 1000.0, 2048);
        auto truth = [](double f) { return 85.0 + 215.0 * std::exp(-f / 10.0); };
        const Traces t = Dispersive(g, 2.0, 80.0, truth);
        const DispersionImage image = ComputeDispersionImage(t.data(), int(t.size()), g);
        QCOMPARE(image.Result, int(DispersionOk));
        QString picks;
        for (const DispersionPick &p : image.Curve)
            picks += QStringLiteral(" %1:%2").arg(p.Frequency).arg(p.Velocity, 0, 'f', 0);
        // The resolvable part is still picked, and it is the fundamental mode;
        // no pick, 45-60 Hz included, stands at an alias's velocity.
        QVERIFY2(image.Curve.size() >= 10 && image.Fundamental, qPrintable(picks));
        for (const DispersionPick &p : image.Curve)
            QVERIFY2(std::abs(p.Velocity / truth(p.Frequency) - 1.0) < 0.05, qPrintable(picks));
        QVERIFY(DispersionSummary(image).startsWith(QStringLiteral("基阶频散曲线")));
    }

    void aBranchThatJumpedIsNotCalledFundamental()
    {
        // Below 20 Hz a slow wave; above it only a faster one (as when the
        // pick climbs onto a higher mode): the picked branch is the longer,
        // faster one and must not bear the fundamental's name.
        const SpreadGeometry g = Spread(24, 1000.0, 2048);
        const Traces t = Dispersive(g, 8.0, 60.0, [](double f) { return f < 20.0 ? 200.0 : 330.0; });
        const DispersionImage image = ComputeDispersionImage(t.data(), int(t.size()), g);
        QVERIFY(!image.Curve.empty());
        QVERIFY(!image.Fundamental);
        for (const DispersionPick &p : image.Curve)
            QVERIFY(p.Frequency >= 20.0);
        QVERIFY(DispersionSummary(image).startsWith(QStringLiteral("频散曲线")));
    }
};

QTEST_GUILESS_MAIN(TstDispersion)
#include "tst_dispersion.moc"
