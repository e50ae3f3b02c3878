#include "analysis/CAlgorithm.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr quint32 kSeed = 20106;
// A sample value no routine would produce: shows whether a buffer was written.
constexpr float kUntouched = -12345.0f;

std::vector<float> RandomSamples(int n, quint32 seed, double scale = 1.0)
{
    QRandomGenerator rng(seed);
    std::vector<float> v(n);
    for (float &x : v)
        x = float((rng.generateDouble() * 2.0 - 1.0) * scale);
    return v;
}

std::vector<float> Sine(int n, double f, double dt, double amplitude = 1.0, double offset = 0.0)
{
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = float(offset + amplitude * std::sin(2.0 * kPi * f * dt * i));
    return v;
}

/// Amplitude of the f component in the second half of y (the start transient
/// has died away there), by a least-squares fit of a sine and a cosine.
double SteadyAmplitude(const std::vector<float> &y, double f, double dt)
{
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (std::size_t i = y.size() / 2; i < y.size(); ++i) {
        const double s = std::sin(2.0 * kPi * f * dt * double(i));
        const double c = std::cos(2.0 * kPi * f * dt * double(i));
        ss += s * s;
        sc += s * c;
        cc += c * c;
        ys += y[i] * s;
        yc += y[i] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det;
    const double b = (yc * ss - ys * sc) / det;
    return std::hypot(a, b);
}

double ToDb(double gain)
{
    return 20.0 * std::log10(gain);
}

/// Direct DFT with exact twiddles from a table, in double precision.
void Dft(const std::vector<double> &re, const std::vector<double> &im,
         std::vector<double> &outRe, std::vector<double> &outIm)
{
    const std::size_t n = re.size();
    std::vector<double> cosT(n), sinT(n);
    for (std::size_t k = 0; k < n; ++k) {
        cosT[k] = std::cos(2.0 * kPi * double(k) / double(n));
        sinT[k] = std::sin(2.0 * kPi * double(k) / double(n));
    }
    outRe.assign(n, 0.0);
    outIm.assign(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        double sr = 0, si = 0;
        std::size_t idx = 0; // j * k mod n, kept without multiplying
        for (std::size_t j = 0; j < n; ++j) {
            // x * e^(-i theta) = (re cos + im sin) + i (im cos - re sin)
            sr += re[j] * cosT[idx] + im[j] * sinT[idx];
            si += im[j] * cosT[idx] - re[j] * sinT[idx];
            idx += k;
            if (idx >= n)
                idx -= n;
        }
        outRe[k] = sr;
        outIm[k] = si;
    }
}

template <typename T>
double RelativeError(const T *re, const T *im, const std::vector<double> &refRe,
                     const std::vector<double> &refIm)
{
    double err = 0, norm = 0;
    for (std::size_t k = 0; k < refRe.size(); ++k) {
        err += std::pow(double(re[k]) - refRe[k], 2) + std::pow(double(im[k]) - refIm[k], 2);
        norm += refRe[k] * refRe[k] + refIm[k] * refIm[k];
    }
    return std::sqrt(err / norm);
}

/// The spectrum as the routine is meant to compute it: every step-th sample, mean
/// removed, zero-padded to the transform length, magnitude over n/2.
std::vector<double> ReferenceSpectrum(const std::vector<float> &x, int step, int transformLength)
{
    const int n = int(x.size());
    const int used = n / step;
    std::vector<double> re(transformLength, 0.0), im(transformLength, 0.0);
    double sum = 0;
    for (int k = 0; k < used; ++k)
        sum += (re[k] = x[std::size_t(k) * step]);
    for (int k = 0; k < used; ++k)
        re[k] -= sum * step / n;
    std::vector<double> outRe, outIm;
    Dft(re, im, outRe, outIm);
    std::vector<double> spectrum(n, 0.0);
    for (int k = 0; k < n / 2; ++k)
        spectrum[k] = std::hypot(outRe[k], outIm[k]) / (n / 2);
    return spectrum;
}

bool AllFinite(const std::vector<float> &v)
{
    for (float x : v)
        if (!std::isfinite(x))
            return false;
    return true;
}

} // namespace

class TstCAlgorithm : public QObject
{
    Q_OBJECT

private slots:
    // Low-pass
    void lowPassOffLeavesEverythingAlone();
    void lowPassPassesConstant_data();
    void lowPassPassesConstant();
    void lowPassStartsAtRestOnTheFirstSample();
    void lowPassNeverSwingsBeyondItsInput_data();
    void lowPassNeverSwingsBeyondItsInput();
    void lowPassMagnitudeResponse_data();
    void lowPassMagnitudeResponse();
    void lowPassInPlaceMatchesOutOfPlace();
    void lowPassWithoutFilteringOnlyCopies_data();
    void lowPassWithoutFilteringOnlyCopies();

    // High-pass
    void highPassConstantDecays();
    void highPassMagnitudeResponse_data();
    void highPassMagnitudeResponse();
    void highPassOffRules_data();
    void highPassOffRules();
    void highPassInPlaceMatchesOutOfPlace();
    void highPassAtOrAboveNyquistClears_data();
    void highPassAtOrAboveNyquistClears();

    // Power of two, transform, spectrum
    void nextPow2();
    void fftMatchesDft();
    void fftRejectsBadExponent();
    void spectrumOfOnBinSine();
    void spectrumWithDecimation_data();
    void spectrumWithDecimation();
    void spectrumStepBelowOneActsAsOne();
    void spectrumOfLengthNotPowerOfTwo();
};

// ---------------------------------------------------------------- low-pass

void TstCAlgorithm::lowPassOffLeavesEverythingAlone()
{
    const std::vector<float> src = RandomSamples(500, kSeed);
    std::vector<float> dst(src.size(), kUntouched);
    CAlgorithm::LowPass(src.data(), dst.data(), int(src.size()), 1e-3f, 10000.0f);
    // "Off" means not even the copy: the destination keeps what it had.
    QCOMPARE(dst, std::vector<float>(src.size(), kUntouched));

    std::vector<float> inPlace = src;
    CAlgorithm::LowPass(inPlace.data(), inPlace.data(), int(inPlace.size()), 1e-3f, 10000.0f);
    QCOMPARE(inPlace, src);
}

void TstCAlgorithm::lowPassPassesConstant_data()
{
    QTest::addColumn<float>("dt");
    QTest::addColumn<float>("fc");
    QTest::addColumn<float>("level");
    QTest::newRow("1 ms, 50 Hz") << 1e-3f << 50.0f << 3.75f;
    // Short periods with low cut-offs: a D rounded to float made the gain at
    // 0 Hz 1.06, 2.18 and, at 10 us and 1 Hz, greater than the poles allow.
    QTest::newRow("10 us, 10 Hz") << 10e-6f << 10.0f << 1000.0f;
    QTest::newRow("15.625 us, 1 Hz") << 15.625e-6f << 1.0f << 1000.0f;
    QTest::newRow("10 us, 1 Hz") << 10e-6f << 1.0f << 1000.0f;
}

void TstCAlgorithm::lowPassPassesConstant()
{
    QFETCH(float, dt);
    QFETCH(float, fc);
    QFETCH(float, level);
    const std::vector<float> src(16384, level);
    std::vector<float> dst(src.size(), kUntouched);
    CAlgorithm::LowPass(src.data(), dst.data(), int(src.size()), dt, fc);
    QCOMPARE(dst[0], level);
    QCOMPARE(dst[1], level);
    for (float y : dst)
        QVERIFY2(std::abs(y - level) < 1e-5f * level, qPrintable(QString::number(y)));
}

void TstCAlgorithm::lowPassStartsAtRestOnTheFirstSample()
{
    const std::vector<float> src = {5.0f, -7.0f, 2.0f, 4.0f, 1.0f, -3.0f};
    std::vector<float> dst(src.size(), kUntouched);
    const float dt = 1e-3f;
    const float fc = 100.0f;
    CAlgorithm::LowPass(src.data(), dst.data(), int(src.size()), dt, fc);
    QCOMPARE(dst[0], src[0]);
    QCOMPARE(dst[1], src[0]);
    // From the third sample on, the Part's recursion over the unfiltered inputs.
    const double k = kPi * fc * dt;
    const double d = 1.0 + std::sqrt(2.0) * k + k * k;
    const double b0 = k * k / d;
    const double c1 = (2.0 - 2.0 * k * k) / d;
    const double c2 = -(1.0 - std::sqrt(2.0) * k + k * k) / d;
    double y2 = src[0], y1 = src[0];
    for (std::size_t i = 2; i < src.size(); ++i) {
        const double y = b0 * (src[i] + 2.0 * src[i - 1] + src[i - 2]) + c1 * y1 + c2 * y2;
        QVERIFY2(std::abs(dst[i] - y) < 1e-5, qPrintable(QStringLiteral("sample %1").arg(i)));
        y2 = y1;
        y1 = y;
    }
}

void TstCAlgorithm::lowPassNeverSwingsBeyondItsInput_data()
{
    QTest::addColumn<float>("dt");
    QTest::addColumn<float>("fc");
    // Started from y1 = x1, the first noisy step made these 1e6 to 6e6.
    QTest::newRow("10 us, 0.5 Hz") << 10e-6f << 0.5f;
    QTest::newRow("10 us, 10 Hz") << 10e-6f << 10.0f;
    QTest::newRow("15.625 us, 1 Hz") << 15.625e-6f << 1.0f;
    QTest::newRow("31.25 us, 0.5 Hz") << 31.25e-6f << 0.5f;
    QTest::newRow("31.25 us, 10 Hz") << 31.25e-6f << 10.0f;
}

void TstCAlgorithm::lowPassNeverSwingsBeyondItsInput()
{
    QFETCH(float, dt);
    QFETCH(float, fc);
    const float noise = 3000.0f;
    std::vector<float> y = RandomSamples(16384, kSeed + 12, noise);
    float inputPeak = 0.0f;
    for (float x : y)
        inputPeak = std::max(inputPeak, std::abs(x));
    CAlgorithm::LowPass(y.data(), y.data(), int(y.size()), dt, fc);
    // A second-order Butterworth overshoots a step by about 4 %.
    const float allowed = 1.05f * inputPeak;
    for (float v : y)
        QVERIFY2(std::abs(v) <= allowed, qPrintable(QString::number(v)));
}

void TstCAlgorithm::lowPassMagnitudeResponse_data()
{
    QTest::addColumn<double>("dt");
    QTest::addColumn<double>("fc");
    QTest::newRow("1 kHz sampling, 200 Hz") << 1e-3 << 200.0;
    QTest::newRow("4 kHz sampling, 100 Hz") << 250e-6 << 100.0;
    QTest::newRow("20 kHz sampling, 3000 Hz") << 50e-6 << 3000.0;
}

void TstCAlgorithm::lowPassMagnitudeResponse()
{
    QFETCH(double, dt);
    QFETCH(double, fc);
    const int n = 16384;
    const double nyquist = 0.5 / dt;
    for (double ratio : {0.05, 0.25, 0.5, 1.0, 1.5, 2.0}) {
        const double f = ratio * fc;
        if (f >= 0.9 * nyquist)
            continue;
        std::vector<float> y = Sine(n, f, dt);
        CAlgorithm::LowPass(y.data(), y.data(), n, float(dt), float(fc));
        // Analogue Butterworth at the frequency the bilinear transform maps f to,
        // with the analogue cut-off left at fc (no prewarping).
        const double warped = std::tan(kPi * f * dt) / (kPi * fc * dt);
        const double expectedDb = ToDb(1.0 / std::sqrt(1.0 + std::pow(warped, 4)));
        const double measuredDb = ToDb(SteadyAmplitude(y, f, dt));
        QVERIFY2(std::abs(measuredDb - expectedDb) < 0.1,
                 qPrintable(QStringLiteral("%1 Hz: measured %2 dB, expected %3 dB")
                                .arg(f).arg(measuredDb).arg(expectedDb)));
    }
}

void TstCAlgorithm::lowPassInPlaceMatchesOutOfPlace()
{
    const std::vector<float> src = RandomSamples(3000, kSeed + 1, 100.0);
    const std::vector<float> original = src;
    std::vector<float> dst(src.size(), kUntouched);
    CAlgorithm::LowPass(src.data(), dst.data(), int(src.size()), 500e-6f, 120.0f);
    QCOMPARE(src, original);

    std::vector<float> inPlace = src;
    CAlgorithm::LowPass(inPlace.data(), inPlace.data(), int(inPlace.size()), 500e-6f, 120.0f);
    QCOMPARE(inPlace, dst);
    QVERIFY(dst != original);
}

void TstCAlgorithm::lowPassWithoutFilteringOnlyCopies_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<float>("dt");
    QTest::addColumn<float>("fc");
    QTest::newRow("period 0") << 1000 << 0.0f << 100.0f;
    QTest::newRow("two samples") << 2 << 1e-3f << 100.0f;
    // Both poles on z = 1: the recursion would draw a ramp through the first
    // two samples instead of a filtered trace.
    QTest::newRow("cut-off 0") << 1000 << 1e-3f << 0.0f;
    QTest::newRow("negative cut-off") << 1000 << 1e-3f << -50.0f;
    QTest::newRow("negative period") << 1000 << -1e-3f << 100.0f;
    QTest::newRow("period not a number") << 1000 << std::numeric_limits<float>::quiet_NaN() << 100.0f;
}

void TstCAlgorithm::lowPassWithoutFilteringOnlyCopies()
{
    QFETCH(int, n);
    QFETCH(float, dt);
    QFETCH(float, fc);
    const std::vector<float> src = RandomSamples(n, kSeed + 2);
    std::vector<float> dst(n, kUntouched);
    CAlgorithm::LowPass(src.data(), dst.data(), n, dt, fc);
    QCOMPARE(dst, src);
}

// --------------------------------------------------------------- high-pass

void TstCAlgorithm::highPassConstantDecays()
{
    const float level = 5.0f;
    const std::vector<float> src(8192, level);
    std::vector<float> dst(src.size(), kUntouched);
    CAlgorithm::HighPass(src.data(), dst.data(), int(src.size()), 1e-3f, 10);
    // Starting from rest, the step at the start passes almost whole...
    QVERIFY(dst[0] > 0.9f * level);
    // ...and dies away to nothing.
    for (std::size_t i = dst.size() / 2; i < dst.size(); ++i)
        QVERIFY2(std::abs(dst[i]) < 1e-6f, qPrintable(QString::number(dst[i])));
}

void TstCAlgorithm::highPassMagnitudeResponse_data()
{
    QTest::addColumn<double>("dt");
    QTest::addColumn<int>("fc");
    QTest::newRow("1 kHz sampling, 50 Hz") << 1e-3 << 50;
    QTest::newRow("1 kHz sampling, 300 Hz") << 1e-3 << 300;
    QTest::newRow("4 kHz sampling, 10 Hz") << 250e-6 << 10;
}

void TstCAlgorithm::highPassMagnitudeResponse()
{
    QFETCH(double, dt);
    QFETCH(int, fc);
    const int n = 16384;
    const double nyquist = 0.5 / dt;
    const double kc = std::tan(kPi * fc * dt);
    for (double ratio : {0.25, 0.5, 1.0, 1.4, 3.0}) {
        const double f = ratio * fc;
        if (f >= 0.9 * nyquist)
            continue;
        std::vector<float> y = Sine(n, f, dt);
        CAlgorithm::HighPass(y.data(), y.data(), n, float(dt), fc);
        const double r4 = std::pow(std::tan(kPi * f * dt) / kc, 4);
        const double expectedDb = ToDb(std::sqrt(r4 / (1.0 + r4)));
        const double measuredDb = ToDb(SteadyAmplitude(y, f, dt));
        QVERIFY2(std::abs(measuredDb - expectedDb) < 0.1,
                 qPrintable(QStringLiteral("%1 Hz: measured %2 dB, expected %3 dB")
                                .arg(f).arg(measuredDb).arg(expectedDb)));
        if (ratio == 1.0) // prewarped: the cut-off lands exactly where asked
            QVERIFY(std::abs(measuredDb + 3.0103) < 0.1);
    }
}

void TstCAlgorithm::highPassOffRules_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("fc");
    QTest::newRow("cut-off 0") << 100 << 0;
    QTest::newRow("negative cut-off") << 100 << -20;
    QTest::newRow("no samples") << 0 << 20;
    QTest::newRow("negative count") << -5 << 20;
}

void TstCAlgorithm::highPassOffRules()
{
    QFETCH(int, n);
    QFETCH(int, fc);
    const std::vector<float> src = RandomSamples(100, kSeed + 3);
    std::vector<float> dst(100, kUntouched);
    CAlgorithm::HighPass(src.data(), dst.data(), n, 1e-3f, fc);
    QCOMPARE(dst, std::vector<float>(100, kUntouched));

    std::vector<float> inPlace = src;
    CAlgorithm::HighPass(inPlace.data(), inPlace.data(), n, 1e-3f, fc);
    QCOMPARE(inPlace, src);
}

void TstCAlgorithm::highPassInPlaceMatchesOutOfPlace()
{
    const std::vector<float> src = RandomSamples(3000, kSeed + 4, 100.0);
    const std::vector<float> original = src;
    std::vector<float> dst(src.size(), kUntouched);
    CAlgorithm::HighPass(src.data(), dst.data(), int(src.size()), 500e-6f, 30);
    QCOMPARE(src, original);

    std::vector<float> inPlace = src;
    CAlgorithm::HighPass(inPlace.data(), inPlace.data(), int(inPlace.size()), 500e-6f, 30);
    QCOMPARE(inPlace, dst);
    QVERIFY(dst != original);
}

void TstCAlgorithm::highPassAtOrAboveNyquistClears_data()
{
    QTest::addColumn<int>("fc");
    QTest::addColumn<bool>("cleared");
    // 1 kHz sampling: Nyquist at 500 Hz; the dialog accepts up to 10000 Hz.
    QTest::newRow("just below") << 499 << false;
    QTest::newRow("at Nyquist") << 500 << true;
    QTest::newRow("above, unstable") << 600 << true;
    QTest::newRow("far above, aliased") << 1100 << true;
    QTest::newRow("dialog maximum") << 10000 << true;
}

void TstCAlgorithm::highPassAtOrAboveNyquistClears()
{
    QFETCH(int, fc);
    QFETCH(bool, cleared);
    std::vector<float> y = RandomSamples(16384, kSeed + 5, 1000.0);
    CAlgorithm::HighPass(y.data(), y.data(), int(y.size()), 1e-3f, fc);
    QVERIFY(AllFinite(y));
    if (cleared)
        QCOMPARE(y, std::vector<float>(y.size(), 0.0f));
    else
        QVERIFY(y != std::vector<float>(y.size(), 0.0f));
}

// ------------------------------------------------- power of two, transform

void TstCAlgorithm::nextPow2()
{
    QCOMPARE(CAlgorithm::NextPow2(1), std::uint64_t(1));
    QCOMPARE(CAlgorithm::NextPow2(2), std::uint64_t(2));
    QCOMPARE(CAlgorithm::NextPow2(3), std::uint64_t(4));
    QCOMPARE(CAlgorithm::NextPow2(5), std::uint64_t(8));
    QCOMPARE(CAlgorithm::NextPow2(1000), std::uint64_t(1024));
    for (int k = 0; k <= 20; ++k) {
        const std::uint32_t pow = std::uint32_t(1) << k;
        QCOMPARE(CAlgorithm::NextPow2(pow), std::uint64_t(pow));
        QCOMPARE(CAlgorithm::NextPow2(pow + 1), std::uint64_t(pow) * 2);
        if (k >= 2)
            QCOMPARE(CAlgorithm::NextPow2(pow - 1), std::uint64_t(pow));
    }
    // The largest counts need 2^32, which does not fit 32 bits.
    QCOMPARE(CAlgorithm::NextPow2(std::numeric_limits<std::uint32_t>::max()),
             std::uint64_t(1) << 32);
}

void TstCAlgorithm::fftMatchesDft()
{
    // Normwise relative error ||X - X_dft|| / ||X_dft||. The double transform is
    // limited by the 8-digit pi of its twiddle step, about 1e-9 per stage (1.2e-8
    // measured at 16384 points). The float version only rounds that result to 32
    // bits (3e-8 measured); a transform computed in single precision inside
    // would exceed its bound.
    const double doubleBound = 5e-8;
    const double floatBound = 1e-7;
    for (int p = 1; p <= 14; ++p) {
        const int n = 1 << p;
        const std::vector<float> re = RandomSamples(n, kSeed + 10 + p);
        const std::vector<float> im = RandomSamples(n, kSeed + 100 + p);
        std::vector<double> refRe, refIm;
        Dft(std::vector<double>(re.begin(), re.end()), std::vector<double>(im.begin(), im.end()),
            refRe, refIm);

        std::vector<double> dRe(re.begin(), re.end()), dIm(im.begin(), im.end());
        CAlgorithm::Fft(dRe.data(), dIm.data(), p);
        const double dErr = RelativeError(dRe.data(), dIm.data(), refRe, refIm);
        QVERIFY2(dErr < doubleBound, qPrintable(QStringLiteral("n %1: %2").arg(n).arg(dErr)));

        std::vector<float> fRe = re, fIm = im;
        CAlgorithm::Fft(fRe.data(), fIm.data(), p);
        const double fErr = RelativeError(fRe.data(), fIm.data(), refRe, refIm);
        QVERIFY2(fErr < floatBound, qPrintable(QStringLiteral("n %1: %2").arg(n).arg(fErr)));
    }

    // Length 1: the transform of one point is the point itself.
    float one[] = {2.5f};
    float zero[] = {-1.0f};
    CAlgorithm::Fft(one, zero, 0);
    QCOMPARE(one[0], 2.5f);
    QCOMPARE(zero[0], -1.0f);
}

void TstCAlgorithm::fftRejectsBadExponent()
{
    std::vector<float> re = RandomSamples(4, kSeed + 6);
    std::vector<float> im = RandomSamples(4, kSeed + 7);
    const std::vector<float> re0 = re, im0 = im;
    CAlgorithm::Fft(re.data(), im.data(), -1);
    CAlgorithm::Fft(re.data(), im.data(), 31);
    QCOMPARE(re, re0);
    QCOMPARE(im, im0);
}

// ----------------------------------------------------------------- spectrum

void TstCAlgorithm::spectrumOfOnBinSine()
{
    const int n = 1024;
    const int bin = 37;
    const double amplitude = 3.0;
    // On the bin: bin / n cycles per sample; the offset must be removed as the mean.
    std::vector<float> buf = Sine(n, double(bin) / n, 1.0, amplitude, 250.0);
    CAlgorithm algorithm;
    algorithm.AmplitudeSpectrum(buf.data(), n);
    QVERIFY(std::abs(buf[bin] - amplitude) < 1e-4 * amplitude);
    QVERIFY2(std::abs(buf[0]) < 1e-4, qPrintable(QString::number(buf[0])));
    for (int k = 1; k < n / 2; ++k)
        if (k != bin)
            QVERIFY2(std::abs(buf[k]) < 1e-4, qPrintable(QStringLiteral("bin %1").arg(k)));
    for (int k = n / 2; k < n; ++k)
        QCOMPARE(buf[k], 0.0f);
}

void TstCAlgorithm::spectrumWithDecimation_data()
{
    QTest::addColumn<int>("step");
    QTest::newRow("step 2") << 2;
    QTest::newRow("step 4") << 4;
    QTest::newRow("step 16") << 16;
}

void TstCAlgorithm::spectrumWithDecimation()
{
    QFETCH(int, step);
    const int n = 1024;
    // Samples the routine must skip are huge: if any of them, or anything past
    // n / step, slips into the transform, the spectrum is far off.
    std::vector<float> buf = RandomSamples(n, kSeed + 8, 10.0);
    for (int i = 0; i < n; ++i)
        if (i % step != 0)
            buf[i] = 1e6f;
    for (int i = 0; i < n; i += step)
        buf[i] += 40.0f; // a mean to remove
    const std::vector<double> expected = ReferenceSpectrum(buf, step, n);

    CAlgorithm algorithm;
    algorithm.SetDecimationStep(step);
    QCOMPARE(algorithm.DecimationStep(), step);
    algorithm.AmplitudeSpectrum(buf.data(), n);
    double peak = 0;
    for (double v : expected)
        peak = std::max(peak, v);
    for (int k = 0; k < n; ++k)
        QVERIFY2(std::abs(buf[k] - expected[k]) < 1e-5 * peak,
                 qPrintable(QStringLiteral("bin %1: %2, expected %3").arg(k).arg(buf[k]).arg(expected[k])));
}

void TstCAlgorithm::spectrumStepBelowOneActsAsOne()
{
    const std::vector<float> src = RandomSamples(256, kSeed + 9);
    std::vector<float> plain = src;
    CAlgorithm().AmplitudeSpectrum(plain.data(), int(plain.size()));
    for (int step : {0, -4}) {
        CAlgorithm algorithm;
        algorithm.SetDecimationStep(step);
        std::vector<float> buf = src;
        algorithm.AmplitudeSpectrum(buf.data(), int(buf.size()));
        QCOMPARE(buf, plain);
    }
}

void TstCAlgorithm::spectrumOfLengthNotPowerOfTwo()
{
    // 1500 rounds to a transform of 2048 points: longer than the buffer, which
    // must neither be overrun nor come back with anything past its half.
    const int n = 1500;
    std::vector<float> buf = RandomSamples(n, kSeed + 11, 5.0);
    const std::vector<double> expected = ReferenceSpectrum(buf, 1, 2048);
    CAlgorithm().AmplitudeSpectrum(buf.data(), n);
    for (int k = 0; k < n; ++k)
        QVERIFY2(std::abs(buf[k] - expected[k]) < 1e-5,
                 qPrintable(QStringLiteral("bin %1: %2, expected %3").arg(k).arg(buf[k]).arg(expected[k])));
}

QTEST_GUILESS_MAIN(TstCAlgorithm)
#include "tst_calgorithm.moc"
