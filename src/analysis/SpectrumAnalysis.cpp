#include "analysis/SpectrumAnalysis.h"

#include "analysis/CAlgorithm.h"
#include "records/RecordFormat.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr std::array<int, 5> kRefinements = {1, 2, 4, 8, 16};

constexpr double kUsPerSecond = 1000000.0;
constexpr double kUsPerMs = 1000.0;
constexpr double kNsPerUs = 1000.0;

// Major tick steps of the frequency axis, Hz; the largest that still gives
// five ticks over the range is taken.
constexpr std::array<double, 35> kTickSteps = {
    5,      10,     20,     50,     100,    200,    250,    300,    400,    500,    600,    750,
    800,    1000,   2000,   5000,   10000,  15000,  20000,  25000,  30000,  50000,  75000,  100000,
    125000, 150000, 175000, 200000, 250000, 300000, 350000, 400000, 500000, 750000, 1000000};
constexpr double kMinTicksPerRange = 5.0;
constexpr double kDefaultStep = 5.0;
constexpr int kMinorTicksPerGap = 5; // four minor ticks split a gap into five
// A sane range has about a dozen major ticks; only a damaged interval could ask
// for more, and it gets no more than this.
constexpr int kMaxMajorTicks = 100;
// Labels get two decimals while the last but one label is no larger than this.
constexpr double kSmallLabelLimit = 5.0;
constexpr int kFrequencyDecimals = 2;

constexpr double kKilo = 1000.0;
constexpr double kMega = 1000000.0;

} // namespace

int NextRefinement(int factor)
{
    const auto it = std::find(kRefinements.begin(), kRefinements.end(), factor);
    if (it == kRefinements.end() || it + 1 == kRefinements.end())
        return kRefinements.front();
    return *(it + 1);
}

bool IsRefinement(int factor)
{
    return std::find(kRefinements.begin(), kRefinements.end(), factor) != kRefinements.end();
}

int SpectrumLength(float intervalUs, int sampleCount)
{
    const double interval = FlooredSampleInterval(intervalUs);
    // At least one second of samples, so that short records are padded to a
    // resolution of 1 Hz or better; never a length that is no power of two.
    const double perSecond = std::floor(kUsPerSecond / interval);
    const int samples = std::clamp(sampleCount, 0, kMaxSpectrumSamples);
    const int needed = std::max(int(std::min(perSecond, double(kMaxSpectrumSamples))), samples);
    return int(CAlgorithm::NextPow2(std::uint32_t(needed)));
}

int SampleAtMs(double ms, float intervalUs)
{
    const double us = std::round(ms * kUsPerMs * kNsPerUs) / kNsPerUs;
    const double sample = std::trunc(us / double(FlooredSampleInterval(intervalUs)));
    if (!(sample > 0.0)) // NaN too
        return 0;
    return int(std::min(sample, double(std::numeric_limits<int>::max())));
}

double SpectrumRangeHz(float intervalUs, int refinement)
{
    // The bins span 1 / (2 s dt); the 1024000 the range used to be computed
    // from put every frequency on the axis 2.4 % high.
    return kUsPerSecond / (double(FlooredSampleInterval(intervalUs)) * 2.0 * std::max(refinement, 1));
}

int MainBin(const float *values, int bins)
{
    int best = 0;
    float peak = 0.0f;
    for (int k = 0; k < bins; ++k) {
        if (values[k] > peak) { // a NaN never compares greater
            peak = values[k];
            best = k;
        }
    }
    return best;
}

ChannelSpectrum ComputeSpectrum(const QVector<float> &trace, const SpectrumRequest &request)
{
    ChannelSpectrum spectrum;
    spectrum.Refinement = std::max(request.Refinement, 1);
    spectrum.Length = SpectrumLength(request.IntervalUs, request.SampleCount);
    spectrum.RangeHz = SpectrumRangeHz(request.IntervalUs, spectrum.Refinement);
    const int n = spectrum.Length;
    const int step = spectrum.Refinement;
    spectrum.Values.assign(std::size_t(n), 0.0f);

    const int count = std::min(std::clamp(request.SampleCount, 0, kMaxSpectrumSamples), int(trace.size()));
    const int first = std::max(request.RangeStart, 0);
    const int last = std::min({request.RangeEnd, count - 1, n - 1});
    float *buf = spectrum.Values.data();
    for (int i = first; i <= last; ++i)
        buf[i] = std::isfinite(trace[i]) ? trace[i] : 0.0f;

    // Only every step-th entry below n / step enters the transform. Their mean
    // is taken over them alone: over the padded length, a DC offset survives
    // the removal and becomes the main frequency.
    const int used = n / step;
    const int takenFirst = first <= last ? (first + step - 1) / step : 0; // first k with k * step >= first
    const int takenLast = first <= last ? std::min(last / step, used - 1) : -1;
    if (takenFirst <= takenLast) {
        double sum = 0.0;
        for (int k = takenFirst; k <= takenLast; ++k)
            sum += buf[std::size_t(k) * step];
        const double mean = sum / (takenLast - takenFirst + 1);
        for (int k = takenFirst; k <= takenLast; ++k)
            buf[std::size_t(k) * step] = float(buf[std::size_t(k) * step] - mean);
    }

    CAlgorithm algorithm;
    algorithm.SetDecimationStep(step);
    algorithm.AmplitudeSpectrum(buf, n);
    spectrum.MainBin = MainBin(buf, spectrum.Bins());
    return spectrum;
}

QString FrequencyText(double hz)
{
    if (hz >= kMega)
        return QStringLiteral("%1MHz").arg(hz / kMega, 0, 'f', kFrequencyDecimals);
    if (hz >= kKilo)
        return QStringLiteral("%1kHz").arg(hz / kKilo, 0, 'f', kFrequencyDecimals);
    return QStringLiteral("%1Hz").arg(hz, 0, 'f', kFrequencyDecimals);
}

QString SpectrumReadout(double mainHz, double cursorHz)
{
    return QStringLiteral("主频：") + FrequencyText(mainHz) + QStringLiteral("     游标频率：")
        + FrequencyText(cursorHz);
}

FrequencyAxis ChooseFrequencyAxis(double rangeHz)
{
    FrequencyAxis axis;
    if (rangeHz >= kMega) {
        axis.Unit = QStringLiteral("MHz");
        axis.Divisor = kMega;
    } else if (rangeHz >= kKilo) {
        axis.Unit = QStringLiteral("kHz");
        axis.Divisor = kKilo;
    }
    axis.Step = kDefaultStep;
    for (double s : kTickSteps)
        if (rangeHz / s >= kMinTicksPerRange)
            axis.Step = s;
    const double ticks = std::floor(rangeHz / axis.Step);
    axis.Ticks = ticks > 0.0 ? int(std::min(ticks, double(kMaxMajorTicks))) : 0; // NaN gives none
    axis.Decimals = axis.Step * (axis.Ticks - 1) / axis.Divisor <= kSmallLabelLimit ? kFrequencyDecimals : 0;
    return axis;
}

QVector<FrequencyTick> FrequencyTicks(int bins, double rangeHz)
{
    QVector<FrequencyTick> ticks;
    if (bins < 1 || !(rangeHz > 0.0) || !std::isfinite(rangeHz))
        return ticks;
    const FrequencyAxis axis = ChooseFrequencyAxis(rangeHz);
    const double minorGap = std::floor(double(bins) * axis.Step / rangeHz / kMinorTicksPerGap);
    for (int t = 0; t <= axis.Ticks; ++t) {
        // In this order the product is exact, so a tick on a bin is not cut to the one before.
        const double major = std::floor(double(bins) * axis.Step * t / rangeHz);
        if (major > bins)
            break;
        FrequencyTick tick;
        tick.Bin = int(major);
        tick.Label = QString::number(axis.Step * t / axis.Divisor, 'f', axis.Decimals);
        ticks.append(tick);
        if (t == axis.Ticks || minorGap < 1.0)
            continue;
        for (int j = 1; j < kMinorTicksPerGap; ++j) {
            const double minor = major + j * minorGap;
            if (minor > bins)
                break;
            FrequencyTick m;
            m.Bin = int(minor);
            m.Major = false;
            ticks.append(m);
        }
    }
    return ticks;
}
