#include "analysis/DispersionImage.h"

#include "analysis/AnalysisLog.h"
#include "analysis/CAlgorithm.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

using Complex = std::complex<double>;

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kMicro = 1e-6;
constexpr int kMinChannels = 2;
/// Grid sizes beyond any useful picture; they bound memory and time.
constexpr double kMaxGridPoints = 2000.0;
/// Rounding slack when the last grid point should land on the upper bound.
constexpr double kGridSlack = 1e-9;
/// The transform is the record zero-padded to twice the next power of two:
/// a cubic through four bins then gives the spectrum between them to within
/// 0.6 % of the image's scale (padding to four times: 0.03 %, for twice the
/// transform time; a straight line between two bins: 3 %).
constexpr int kPaddingDoublings = 1;
/// Samples of a trace that take part at most: four times the longest record
/// the unit delivers (65535 samples). A longer trace (only a hand-made file
/// holds one) is taken up to here, which bounds the transform at 8 MB.
constexpr int kMaxSamplesExponent = 18;
/// Random phases stack to a power of about n over n receivers; a clear peak
/// has kClearPower times that. Over 200 noise records of 12 and of 24
/// channels none picked a frequency; at 9 one in eight did.
constexpr double kClearPower = 12.0;
constexpr double kMaxClarity = 0.9;

DispersionImage Refuse(int code, const QString &problem)
{
    DispersionImage image;
    image.Result = code;
    image.Problem = problem;
    qCDebug(lcAnalysis) << "dispersion image refused:" << problem;
    return image;
}

bool Finite(double v)
{
    return std::isfinite(v);
}

/// grid points lo, lo + step, … not above hi; empty when they would be too many.
std::vector<double> GridPoints(double lo, double hi, double step)
{
    std::vector<double> points;
    const double count = std::floor((hi - lo) / step + kGridSlack) + 1.0;
    if (!(count >= 1.0) || count > kMaxGridPoints)
        return points;
    points.reserve(size_t(count));
    for (int i = 0; i < int(count); ++i)
        points.push_back(lo + i * step);
    return points;
}

QString CheckGrid(const DispersionGrid &g)
{
    for (double v : {g.FMin, g.FMax, g.Df, g.VMin, g.VMax, g.Dv})
        if (!Finite(v))
            return QStringLiteral("a bound or step is not a number");
    if (!(g.FMin > 0.0) || g.FMax < g.FMin)
        return QStringLiteral("frequencies must satisfy 0 < fmin <= fmax");
    if (!(g.VMin > 0.0) || !(g.VMax > g.VMin))
        return QStringLiteral("velocities must satisfy 0 < vmin < vmax");
    if (!(g.Df > 0.0) || !(g.Dv > 0.0))
        return QStringLiteral("steps must be above 0");
    if ((g.FMax - g.FMin) / g.Df >= kMaxGridPoints || (g.VMax - g.VMin) / g.Dv >= kMaxGridPoints)
        return QStringLiteral("more than %1 frequencies or velocities").arg(int(kMaxGridPoints));
    return QString();
}

/// A channel that takes part: its samples, their mean and its slot on the spread.
struct Receiver
{
    const float *Samples = nullptr;
    int Count = 0;
    double Mean = 0.0;
    int Slot = 0;

    /// Copies the samples less their mean to the start of out.
    void Fill(std::vector<double> &out) const
    {
        for (int i = 0; i < Count; ++i)
            out[size_t(i)] = Samples[i] - Mean;
    }
};

/// Exponent of the transform length for records of n samples.
int FftExponent(int n)
{
    int p = 0;
    while ((1LL << p) < n && p < kMaxSamplesExponent)
        ++p;
    return p + kPaddingDoublings;
}

/// Bin k (taken round the transform, so −1 is the last) of one of two real
/// channels transformed together: partner 0 was the real part, 1 the imaginary.
Complex ChannelBin(const std::vector<double> &re, const std::vector<double> &im, long k, int partner)
{
    const long n = long(re.size());
    k = (k % n + n) % n;
    const long mirror = (n - k) % n;
    const Complex zk(re[k], im[k]);
    const Complex zm(re[mirror], -im[mirror]); // conj(Z[n - k])
    if (partner == 0)
        return 0.5 * (zk + zm);
    const Complex d = zk - zm;
    return Complex(0.5 * d.imag(), -0.5 * d.real()); // d / 2i
}

/// The pick of one frequency's row: the largest stack among the velocities
/// from slowest to fastest (the wavelengths the spread resolves), refined by a
/// parabola through its neighbours. False unless it is a true peak (the row
/// falls off on both sides, so the real top is not beyond the search) and
/// stands clear (DispersionClarity).
bool PickPeak(const std::vector<double> &stack, const std::vector<double> &velocities, double slowest,
              double fastest, int receivers, DispersionPick &pick)
{
    const size_t n = velocities.size();
    size_t lo = 0;
    while (lo < n && velocities[lo] < slowest)
        ++lo;
    size_t hi = lo;
    while (hi < n && velocities[hi] <= fastest)
        ++hi;
    if (lo == hi)
        return false;
    const size_t peak = size_t(std::max_element(stack.begin() + long(lo), stack.begin() + long(hi)) - stack.begin());
    if (peak == 0 || peak + 1 == n || stack[peak - 1] > stack[peak] || stack[peak + 1] > stack[peak])
        return false;
    pick.Coherence = stack[peak] / receivers;
    if (pick.Coherence < DispersionClarity(receivers))
        return false;
    const double a = stack[peak - 1];
    const double b = stack[peak];
    const double c = stack[peak + 1];
    const double curvature = a - 2.0 * b + c;
    const double shift = curvature < 0.0 ? 0.5 * (a - c) / curvature : 0.0;
    pick.Velocity = velocities[peak] + shift * (velocities[peak + 1] - velocities[peak]);
    return true;
}

/// The slower twin of a velocity at frequency f: evenly spaced receivers see
/// wavenumbers f/c and f/c + 1/dx alike, so the image holds an equally
/// strong peak there, which is the true wave when that wave is shorter
/// than the spacing.
double SlowerTwin(double f, double c, double dx)
{
    return 1.0 / (1.0 / c + 1.0 / (f * dx));
}

/// Distance of two velocities on a log scale: jumps are judged as shares.
double LogDistance(double a, double b)
{
    return std::abs(std::log(a / b));
}

/// Follows one branch through the rows' peaks (rows[i] picked when
/// picked[i]): seeded at the most coherent peak whose slower twin lies below
/// the slowest velocity the image shows (so it cannot be an alias), it
/// grows to both sides while each next peak lies within kBranchMaxJump of
/// the last, at most kBranchMaxGap rows away, and nearer the last than its
/// own slower twin is. fundamental tells whether it reached the lowest peak.
std::vector<DispersionPick> FollowBranch(const std::vector<DispersionPick> &rows, const std::vector<char> &picked,
                                         double dx, double slowest, bool &fundamental)
{
    fundamental = false;
    const long n = long(rows.size());
    long seed = -1;
    long seedAnyway = -1;
    long lowest = -1;
    for (long i = 0; i < n; ++i) {
        if (!picked[size_t(i)])
            continue;
        if (lowest < 0)
            lowest = i;
        const DispersionPick &p = rows[size_t(i)];
        if (seedAnyway < 0 || p.Coherence > rows[size_t(seedAnyway)].Coherence)
            seedAnyway = i;
        if (SlowerTwin(p.Frequency, p.Velocity, dx) < slowest
            && (seed < 0 || p.Coherence > rows[size_t(seed)].Coherence))
            seed = i;
    }
    if (seed < 0)
        seed = seedAnyway;
    if (seed < 0)
        return {};
    long first = seed;
    long last = seed;
    for (int direction : {-1, 1}) {
        long at = seed;
        for (long next = seed + direction; next >= 0 && next < n && std::abs(next - at) <= kBranchMaxGap + 1;
             next += direction) {
            if (!picked[size_t(next)])
                continue;
            const double was = rows[size_t(at)].Velocity;
            const DispersionPick &p = rows[size_t(next)];
            if (LogDistance(p.Velocity, was) > std::log1p(kBranchMaxJump)
                || LogDistance(SlowerTwin(p.Frequency, p.Velocity, dx), was) < LogDistance(p.Velocity, was))
                break;
            at = next;
        }
        (direction < 0 ? first : last) = at;
    }
    fundamental = first == lowest;
    std::vector<DispersionPick> branch;
    for (long i = first; i <= last; ++i)
        if (picked[size_t(i)])
            branch.push_back(rows[size_t(i)]);
    return branch;
}

} // namespace

SpreadGeometry GeometryFromHeader(const RecordHeader &header)
{
    SpreadGeometry g;
    g.IntervalUs = header.SampleInterval;
    g.SampleCount = std::max(0, header.SampleLength);
    g.ChannelCount = std::clamp(header.ChannelCount, 0, kMaxChannels);
    g.OffsetM = header.Offset;
    g.SpacingM = header.TraceSpacing;
    g.Reverse = header.TraceOrder != 1;
    return g;
}

double DispersionClarity(int receivers)
{
    return receivers > 0 ? std::min(kMaxClarity, std::sqrt(kClearPower / receivers)) : kMaxClarity;
}

QString DispersionResultMessage(int code)
{
    switch (code) {
    case DispersionOk:
        return QString();
    case DispersionTooFewChannels:
        return QStringLiteral("有数据的通道少于两道，无法计算频散图！");
    case DispersionBadSpacing:
        return QStringLiteral("道间距无效，无法计算频散图！");
    case DispersionBadInterval:
        return QStringLiteral("采样间隔无效，无法计算频散图！");
    case DispersionBadSamples:
        return QStringLiteral("数据中含有无效数值，无法计算频散图！");
    case DispersionAboveNyquist:
        return QStringLiteral("频率范围超出采样所能分辨的范围，无法计算频散图！");
    case DispersionBadGrid:
    default:
        return QStringLiteral("频率或速度范围设置无效！");
    }
}

DispersionImage RecordOnScreenImage(const DispersionGrid &grid)
{
    const TraceSet &traces = Store().Traces;
    return ComputeDispersionImage(traces.data(), int(traces.size()), GeometryFromHeader(CurrentParams().Header), grid);
}

QString PickedCurveName(const DispersionImage &image)
{
    return image.Fundamental ? QStringLiteral("基阶频散曲线") : QStringLiteral("频散曲线");
}

QString DispersionSummary(const DispersionImage &image)
{
    if (!image.Ok())
        return DispersionResultMessage(image.Result);
    const QString resolved = QStringLiteral("可分辨波长%1～%2m")
                                 .arg(image.ShortestWavelength, 0, 'f', 1)
                                 .arg(image.LongestWavelength, 0, 'f', 1);
    if (image.Curve.empty())
        return QStringLiteral("未拾取到清晰的频散曲线，%1").arg(resolved);
    return QStringLiteral("%1%2～%3Hz（%4个频点），%5")
        .arg(PickedCurveName(image))
        .arg(image.Curve.front().Frequency, 0, 'g', 6)
        .arg(image.Curve.back().Frequency, 0, 'g', 6)
        .arg(image.Curve.size())
        .arg(resolved);
}

DispersionImage ComputeDispersionImage(const QVector<float> *traces, int traceCount,
                                       const SpreadGeometry &geometry, const DispersionGrid &grid)
{
    if (!(geometry.IntervalUs > 0.0) || !Finite(geometry.IntervalUs))
        return Refuse(DispersionBadInterval, QStringLiteral("sample interval %1 us").arg(geometry.IntervalUs));
    if (!(geometry.SpacingM > 0.0) || !Finite(geometry.SpacingM))
        return Refuse(DispersionBadSpacing, QStringLiteral("receiver spacing %1 m").arg(geometry.SpacingM));
    const QString gridProblem = CheckGrid(grid);
    if (!gridProblem.isEmpty())
        return Refuse(DispersionBadGrid, gridProblem);

    // Channels that carry a wave: samples present, all finite, not flat.
    const int channels = std::clamp(std::min(geometry.ChannelCount, traceCount), 0, kMaxChannels);
    std::vector<Receiver> receivers;
    int longest = 0;
    for (int ch = 1; traces && ch <= channels; ++ch) {
        const QVector<float> &trace = traces[ch - 1];
        const int n = std::min({int(trace.size()), std::max(0, geometry.SampleCount), 1 << kMaxSamplesExponent});
        if (n == 0)
            continue;
        const float *s = trace.constData();
        if (!std::all_of(s, s + n, [](float v) { return std::isfinite(v); }))
            return Refuse(DispersionBadSamples, QStringLiteral("channel %1 holds samples that are not numbers").arg(ch));
        const auto [lo, hi] = std::minmax_element(s, s + n);
        if (*lo == *hi)
            continue;
        Receiver r;
        r.Samples = s;
        r.Count = n;
        r.Slot = geometry.Slot(ch);
        for (int i = 0; i < n; ++i)
            r.Mean += s[i];
        r.Mean /= n;
        receivers.push_back(r);
        longest = std::max(longest, n);
    }
    if (int(receivers.size()) < kMinChannels)
        return Refuse(DispersionTooFewChannels,
                      QStringLiteral("%1 channel(s) with data, at least %2 needed").arg(receivers.size()).arg(kMinChannels));

    const double dt = geometry.IntervalUs * kMicro;
    DispersionImage image;
    image.Grid = grid;
    image.NyquistHz = 0.5 / dt;
    image.Frequencies = GridPoints(grid.FMin, std::min(grid.FMax, image.NyquistHz), grid.Df);
    if (image.Frequencies.empty())
        return Refuse(DispersionAboveNyquist,
                      QStringLiteral("fmin %1 Hz lies above Nyquist, %2 Hz").arg(grid.FMin).arg(image.NyquistHz));
    image.Velocities = GridPoints(grid.VMin, grid.VMax, grid.Dv);
    const size_t nf = image.Frequencies.size();
    const size_t nv = image.Velocities.size();

    int minSlot = receivers.front().Slot;
    int maxSlot = minSlot;
    for (const Receiver &r : receivers) {
        minSlot = std::min(minSlot, r.Slot);
        maxSlot = std::max(maxSlot, r.Slot);
    }
    const size_t span = size_t(maxSlot - minSlot + 1);

    // Unit spectra U/|U| of every receiver at every frequency, slot by slot;
    // a receiver with no energy at a frequency stays 0 and is not counted there.
    std::vector<Complex> unit(nf * span, Complex());
    std::vector<int> counted(nf, 0);
    const int p = FftExponent(longest);
    const size_t m = size_t(1) << p;
    std::vector<double> re(m);
    std::vector<double> im(m);
    const double binsPerHz = double(m) * dt;
    for (size_t first = 0; first < receivers.size(); first += 2) {
        // Two real channels in one complex transform: one as the real part, one as the imaginary.
        const size_t pair = std::min<size_t>(2, receivers.size() - first);
        std::fill(re.begin(), re.end(), 0.0);
        std::fill(im.begin(), im.end(), 0.0);
        receivers[first].Fill(re);
        if (pair == 2)
            receivers[first + 1].Fill(im);
        CAlgorithm::Fft(re.data(), im.data(), p);
        for (size_t partner = 0; partner < pair; ++partner) {
            const size_t slot = size_t(receivers[first + partner].Slot - minSlot);
            for (size_t fi = 0; fi < nf; ++fi) {
                // Between bins the spectrum of a padded record is smooth:
                // interpolate there rather than take the nearest bin, whose
                // frequency would differ from the row's.
                const double pos = image.Frequencies[fi] * binsPerHz;
                const long k = long(pos);
                const double a = pos - double(k);
                const Complex u = -a * (a - 1.0) * (a - 2.0) / 6.0 * ChannelBin(re, im, k - 1, int(partner))
                                  + (a + 1.0) * (a - 1.0) * (a - 2.0) / 2.0 * ChannelBin(re, im, k, int(partner))
                                  - (a + 1.0) * a * (a - 2.0) / 2.0 * ChannelBin(re, im, k + 1, int(partner))
                                  + (a + 1.0) * a * (a - 1.0) / 6.0 * ChannelBin(re, im, k + 2, int(partner));
                const double mag = std::abs(u);
                if (mag > 0.0 && Finite(mag)) {
                    unit[fi * span + slot] = u / mag;
                    ++counted[fi];
                }
            }
        }
    }

    // Phase shift and stack: receiver k at k spacings beyond the nearest gets
    // e^{i 2 pi f k dx / c}; the nearest receiver's own phase factor has unit
    // magnitude and drops out, so the stack is a polynomial in z = e^{i 2 pi f dx / c}.
    image.Values.assign(nf * nv, 0.0f);
    std::vector<double> stack(nv);
    std::vector<DispersionPick> rows(nf);
    std::vector<char> picked(nf, 0);
    const double dx = geometry.SpacingM;
    image.ShortestWavelength = 2.0 * dx;
    image.NearestM = geometry.OffsetM + minSlot * dx;
    image.FarthestM = geometry.OffsetM + maxSlot * dx;
    image.LongestWavelength = (maxSlot - minSlot) * dx;
    image.ChannelsUsed = int(receivers.size());
    for (size_t fi = 0; fi < nf; ++fi) {
        const double f = image.Frequencies[fi];
        const Complex *u = &unit[fi * span];
        double largest = 0.0;
        for (size_t vi = 0; vi < nv; ++vi) {
            const double phase = kTwoPi * f * dx / image.Velocities[vi];
            const double zr = std::cos(phase);
            const double zi = std::sin(phase);
            // Horner's rule in plain arithmetic: std::complex's product
            // checks for infinities on every step, which cannot occur here.
            double sr = u[span - 1].real();
            double si = u[span - 1].imag();
            for (size_t k = span - 1; k-- > 0;) {
                const double r = sr * zr - si * zi + u[k].real();
                si = sr * zi + si * zr + u[k].imag();
                sr = r;
            }
            stack[vi] = std::sqrt(sr * sr + si * si);
            largest = std::max(largest, stack[vi]);
        }
        if (counted[fi] < kMinChannels || !(largest > 0.0))
            continue;
        float *row = &image.Values[fi * nv];
        for (size_t vi = 0; vi < nv; ++vi)
            row[vi] = float(stack[vi] / largest);

        DispersionPick pick;
        if (PickPeak(stack, image.Velocities, f * image.ShortestWavelength, f * image.LongestWavelength,
                     counted[fi], pick)) {
            pick.Frequency = f;
            pick.Wavelength = pick.Velocity / f;
            rows[fi] = pick;
            picked[fi] = 1;
        }
    }
    image.Curve = FollowBranch(rows, picked, dx, image.Velocities.front(), image.Fundamental);
    image.Result = DispersionOk;
    return image;
}
