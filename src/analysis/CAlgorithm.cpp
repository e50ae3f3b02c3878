#include "analysis/CAlgorithm.h"

#include "analysis/AnalysisLog.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

namespace {

// Low-pass: the cut-off at which the filter dialog's 10000 Hz limit counts as "off".
constexpr float kLowPassOffAbove = 9999.1f;
// The constants the low-pass coefficients have always been computed with.
constexpr double kPiSquared = 9.869604378534024;
constexpr double kSqrt2Pi = 4.442882925626335;

// High-pass: prewarping needs pi at full precision; the damping term keeps the
// single-precision root of two the coefficients were tuned with.
constexpr double kPi = 3.14159265358979323846;
constexpr double kHighPassSqrt2 = 1.4142135;
// Normalised cut-off (fc * dt) of the Nyquist frequency: tan() of pi times it
// has its pole here, and beyond it the recursion turns unstable.
constexpr double kNyquistFraction = 0.5;

// The transform's twiddle step has always used this eight-digit pi; kept so that
// spectra match the ones the program has always shown.
constexpr double kFftPi = 3.14159265;
// Largest transform exponent: 2^30 points, so that every index fits in an int.
constexpr int kMaxFftExponent = 30;
// log10(2): the spectrum takes its transform length from log10(n) / log10(2).
constexpr double kLog10Of2 = 0.3010299956639812;

// NextPow2 stops halving once the value is this small (only reached for 0).
constexpr double kNextPow2Floor = 1e-8;

/// y(i) from the three inputs x(i), x(i-1), x(i-2) and the two earlier outputs.
/// Both filters are the same biquad; only the sign of the middle input differs.
struct Biquad
{
    double b0;
    double middle; // +2 for the low-pass, -2 for the high-pass
    double c1;
    double c2;

    double Next(double x0, double x1, double x2, double y1, double y2) const
    {
        return b0 * (x0 + middle * x1 + x2) + c1 * y1 + c2 * y2;
    }

    /// Filters data[from..n) in place, given the two inputs and outputs before
    /// data[from]. Inputs are held in locals because the data is overwritten.
    void Run(float *data, int from, int n, double x1, double x2, double y1, double y2) const
    {
        for (int i = from; i < n; ++i) {
            const double x0 = data[i];
            const double y0 = Next(x0, x1, x2, y1, y2);
            data[i] = float(y0);
            x2 = x1;
            x1 = x0;
            y2 = y1;
            y1 = y0;
        }
    }
};

void CopyIfDistinct(const float *src, float *dst, int n)
{
    if (src != dst)
        std::copy(src, src + n, dst);
}

} // namespace

double CAlgorithm::Evaluate() const
{
    return 0.0;
}

double CAlgorithm::Estimate() const
{
    return 0.0;
}

void CAlgorithm::SetDecimationStep(int step)
{
    // A zero or negative step would divide by zero or walk backwards through the
    // caller's buffer; the dialog only offers 1 to 16, so 1 is the safe reading.
    m_step = std::max(step, 1);
}

void CAlgorithm::LowPass(const float *src, float *dst, int n, float dt, float fc)
{
    if (fc > kLowPassOffAbove)
        return;
    if (src == nullptr || dst == nullptr || n <= 0)
        return;
    CopyIfDistinct(src, dst, n);
    if (dt == 0.0f)
        return;
    if (!(dt > 0.0f) || !(fc > 0.0f)) {
        // At 0 Hz both poles sit on z = 1 and the output becomes a ramp through
        // the first two samples; below 0 (or with a negative period) the
        // recursion diverges. None of it is a filtered trace, so the samples
        // are kept as they came.
        qCDebug(lcAnalysis) << "low-pass skipped: cut-off" << fc << "Hz, period" << dt << "s";
        return;
    }
    if (n < 3)
        return;

    const double t = 1.0 / double(dt);
    const double f = fc;
    const double tt = t * t;
    const double ff = kPiSquared * f * f;
    const double cross = kSqrt2Pi * f * t;
    // D stays in double precision: at short periods and low cut-offs T² dwarfs
    // π²fc², and rounding D to float moves it by more than 4π²fc², so that
    // the gain at 0 Hz is no longer 1 and the recursion can even grow.
    const double d = tt + cross + ff;
    const Biquad filter{ff / d, 2.0, (2.0 * tt - 2.0 * ff) / d, -(tt - cross + ff) / d};

    // The filter starts at rest at the first sample's level (y0 = y1 = x0).
    // Starting it from y1 = x1 turned the first sample-to-sample step, which
    // is pure noise on a seismic trace, into a slope the poles near z = 1
    // carried on for a million times the input.
    const double x0 = dst[0];
    const double x1 = dst[1];
    dst[1] = dst[0];
    filter.Run(dst, 2, n, x1, x0, x0, x0);
}

void CAlgorithm::HighPass(const float *src, float *dst, int n, float dt, int fc)
{
    if (fc <= 0 || n <= 0 || src == nullptr || dst == nullptr)
        return;
    CopyIfDistinct(src, dst, n);
    if (!(dt > 0.0f)) {
        // dt = 0 gives K = 0, where the filter is the identity; a negative
        // period has no meaning. Either way the copy is the answer.
        return;
    }

    const double fraction = double(fc) * double(dt);
    if (fraction >= kNyquistFraction) {
        // A cut-off at or above the Nyquist frequency removes the whole band.
        // tan() would give a pole on or outside the unit circle here (or alias
        // back to a low cut-off), and the trace would blow up to infinity.
        qCDebug(lcAnalysis) << "high-pass cut-off" << fc << "Hz at or above Nyquist: trace cleared";
        std::fill(dst, dst + n, 0.0f);
        return;
    }

    const double k = std::tan(kPi * fraction);
    const double kk = k * k;
    const double d = kk + kHighPassSqrt2 * k + 1.0;
    const Biquad filter{1.0 / d, -2.0, -(2.0 * kk - 2.0) / d, -(kk + 1.0 - kHighPassSqrt2 * k) / d};

    // Starting from rest: earlier inputs and outputs are 0.
    filter.Run(dst, 0, n, 0.0, 0.0, 0.0, 0.0);
}

std::uint64_t CAlgorithm::NextPow2(std::uint32_t n)
{
    // Halving a double is exact, so this is ceil(log2 n) without any rounding doubt.
    double c = n;
    int halvings = 0;
    while (c > kNextPow2Floor) {
        c *= 0.5;
        if (c == 0.5)
            break;
        ++halvings;
        if (c < 1.0)
            break;
    }
    return std::uint64_t(1) << halvings;
}

void CAlgorithm::Fft(double *re, double *im, int p)
{
    if (re == nullptr || im == nullptr || p < 0 || p > kMaxFftExponent)
        return;
    const std::size_t m = std::size_t(1) << p;

    // Decimation in frequency: butterflies first, bit reversal at the end.
    // Each stage's twiddles are advanced by one complex multiplication per j
    // (not a cos/sin pair per butterfly) into a small table, so that the
    // butterflies can then run block by block: walking j first with a
    // power-of-two stride through the arrays thrashes the cache and took twice
    // as long at 16384 points.
    std::vector<double> twiddleRe(m / 2 + 1);
    std::vector<double> twiddleIm(m / 2 + 1);
    for (int stage = 0; stage < p; ++stage) {
        const std::size_t span = m >> stage;
        const std::size_t half = span / 2;
        const double stepRe = std::cos(kFftPi / double(half));
        const double stepIm = std::sin(-kFftPi / double(half));
        double wRe = 1.0;
        double wIm = 0.0;
        for (std::size_t j = 0; j < half; ++j) {
            twiddleRe[j] = wRe;
            twiddleIm[j] = wIm;
            const double next = wRe * stepRe - wIm * stepIm;
            wIm = wRe * stepIm + wIm * stepRe;
            wRe = next;
        }
        for (std::size_t block = 0; block < m; block += span) {
            double *const aRe = re + block;
            double *const aIm = im + block;
            double *const cRe = aRe + half;
            double *const cIm = aIm + half;
            for (std::size_t j = 0; j < half; ++j) {
                const double dRe = aRe[j] - cRe[j];
                const double dIm = aIm[j] - cIm[j];
                aRe[j] += cRe[j];
                aIm[j] += cIm[j];
                cRe[j] = dRe * twiddleRe[j] - dIm * twiddleIm[j];
                cIm[j] = dRe * twiddleIm[j] + dIm * twiddleRe[j];
            }
        }
    }

    for (std::size_t i = 0, j = 0; i < m; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        std::size_t bit = m >> 1;
        while (bit != 0 && (j & bit) != 0) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
}

void CAlgorithm::Fft(float *re, float *im, int p)
{
    if (re == nullptr || im == nullptr || p < 0 || p > kMaxFftExponent)
        return;
    const std::size_t m = std::size_t(1) << p;
    std::vector<double> wideRe(re, re + m);
    std::vector<double> wideIm(im, im + m);
    Fft(wideRe.data(), wideIm.data(), p);
    std::transform(wideRe.begin(), wideRe.end(), re, [](double v) { return float(v); });
    std::transform(wideIm.begin(), wideIm.end(), im, [](double v) { return float(v); });
}

void CAlgorithm::AmplitudeSpectrum(float *buf, int n) const
{
    if (buf == nullptr || n <= 0)
        return;
    const int step = m_step;
    const int used = n / step;
    const int p = int(std::floor(std::log10(double(n)) / kLog10Of2 + 0.5));
    if (p > kMaxFftExponent) {
        qCDebug(lcAnalysis) << "spectrum of" << n << "samples is beyond the transform's range";
        return;
    }

    // For n not a power of two the rounded exponent may give a transform longer
    // than n; the work arrays cover it so that it never runs past them.
    const std::size_t length = std::max<std::size_t>(std::size_t(n), std::size_t(1) << p);
    std::vector<double> re(length, 0.0);
    std::vector<double> im(length, 0.0);
    for (int k = 0; k < used; ++k)
        re[k] = buf[std::size_t(k) * step];

    const double sum = std::accumulate(re.begin(), re.begin() + used, 0.0);
    const double mean = sum * step / n;
    for (int k = 0; k < used; ++k)
        re[k] -= mean;

    Fft(re.data(), im.data(), p);

    const int bins = n / 2;
    for (int k = 0; k < bins; ++k)
        buf[k] = float(std::sqrt(re[k] * re[k] + im[k] * im[k]) / bins);
    std::fill(buf + bins, buf + n, 0.0f);
}
