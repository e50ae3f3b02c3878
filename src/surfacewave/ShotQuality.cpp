#include "ShotQuality.h"

#include "analysis/CAlgorithm.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <complex>

namespace {

// --- the working series ------------------------------------------------------
// Every test but the clip test looks at a copy averaged down to about 2 ms
// (Nyquist 250 Hz): it keeps the surface waves (below 100 Hz) and the mains
// lines up to 200 Hz, and makes a 24 × 16384 shot cheap to check.
constexpr double kWorkingIntervalUs = 2000.0;
// Not shorter than this many points, so that a short record still resolves
// the hum lines from their neighbourhood.
constexpr int kMinWorkingPoints = 256;
// The first 2048 points (4 s at 2 ms) hold the surface waves of any spread
// this instrument lays out; the background and the mains are stationary, so
// the rest of a long record adds cost and nothing else.
constexpr int kMaxWorkingPoints = 2048;

// --- clipped -------------------------------------------------------------------
// Readings within half a converter count of each other are the same reading.
constexpr double kCountsFullScale = 32768.0;
// Three equal readings at the channel's extreme: a true peak never stays on one
// count for three samples once there is any noise at all, and a single or double
// extreme sample is an ordinary peak.
constexpr int kClipRun = 3;
// The trace on screen has its pre-trigger mean removed, which moves the clip
// level; a mean over 200 samples of a wave swinging both ways moves it by far
// less than half the full scale, and no geophone gives half the converter's
// range without being clipped somewhere.
constexpr double kClipLevel = 0.5;

// --- hum -----------------------------------------------------------------------
constexpr double kMainsHz = 50.0;
constexpr int kMaxHarmonic = 4;  // 50…200 Hz; beyond, the working series is too coarse
constexpr double kLineHalfWidthHz = 0.5; // mains frequency stays within ±0.5 Hz
constexpr double kReferenceHalfWidthHz = 10.0;
constexpr double kReferenceGapHz = 2.0;  // the line's own leakage stays out of its reference
// A short record resolves 50 Hz coarsely: its neighbourhood is widened to at
// least 24 bins, enough for a steady median.
constexpr int kMinReferenceBins = 24;
// A line 50 times (17 dB) the median power of each flank of its ±10 Hz
// neighbourhood. For white noise the largest of three bins passes 30 × a
// flank's median about once in a million, yet over 400 simulated shots a clean
// channel reached 32 once (a 100 Hz bin of a 0.5 s record): 50 leaves room over
// that, and hum of twice the ground noise's amplitude still passes it by more
// than ten times from 256 points on.
constexpr double kHumRatio = 50.0;

// --- dead and noisy ----------------------------------------------------------
// The background is the 25th percentile of the channel's power spectrum above
// 2 Hz: the surface waves fill at most about half the band (4–60 Hz of 125 Hz at
// the slowest sampling), so the lower quarter is the ground's noise, and the
// hum lines are left out.
constexpr double kBackgroundLowHz = 2.0;
constexpr double kBackgroundQuantile = 0.25;
// Every planted geophone records the site's noise, which varies along a spread
// by a few dB; an open or shorted geophone leaves the amplifier's own noise,
// about 40 dB lower. A background 20 dB (power 1/100) under the spread's median
// is dead, whatever the channel's offset or distance.
constexpr double kDeadPowerRatio = 0.01;
// A loose geophone, a bad cable or wind on one phone raises the background;
// 12 dB (power 16) above the spread's median is more than site noise differs
// between neighbours.
constexpr double kNoisyPowerRatio = 16.0;
// At 0 dB the ground's noise is about half a count and an open input sitting on
// a count's edge flickers by one: there the readings tell them apart, not the level.
constexpr int kDeadLevels = 3;

// --- reversed and swapped -------------------------------------------------------
// Each channel is compared with the next two usable channels each way (at
// most three places away, over a dead or noisy one), so that one bad channel
// cannot decide its neighbour's verdict.
constexpr int kPartners = 2;
constexpr int kMaxPairSteps = 3;
// No surface wave crosses a spread slower than 80 m/s: this bounds the
// moveout searched between two channels.
constexpr double kSlowestWaveMps = 80.0;
// Correlation below this is no evidence either way (a noisy or very far pair).
constexpr double kMinCorrelation = 0.5;
// A pair's moveout may differ from the median moveout times its distance by
// half a channel's moveout (dispersion and noise), at least 0.75 of a working
// sample, however far apart the pair: a channel out of place is off by at
// least a whole channel's moveout against every partner.
constexpr double kMoveoutTolerance = 0.75;
constexpr double kMinMoveoutToleranceSamples = 0.75;
// The neighbourhood whose pairs set a pair's expected moveout: four channels
// each way, a dozen pairs or more.
constexpr int kLocalReach = 8;
// The part of a pair's record where 2 %…98 % of their energy lies, widened by
// the moveout window, carries the wave; correlating the rest adds only noise.
constexpr double kEnergyEdge = 0.02;
// Noise power is exponentially distributed about its mean, 1.44 × its median:
// four medians leave the noise below and the wave above.
constexpr double kBackgroundTimes = 4.0;

using Cplx = std::complex<double>;

struct Working
{
    std::vector<double> W; ///< mean removed, averaged down
    double DtS = 0.0;
    std::vector<double> Power; ///< Hann-windowed power spectrum, bins 0…N/2
    double DfHz = 0.0;
    double Background = 0.0;
    bool Hum = false;
    std::vector<int> HumHarmonics;
};

int binOf(double hz, double df) { return static_cast<int>(std::lround(hz / df)); }

void workingSeries(const QVector<float> &s, double mean, double intervalUs, Working &w)
{
    const int n = static_cast<int>(s.size());
    int m = std::max(1, static_cast<int>(kWorkingIntervalUs / std::max(intervalUs, 1.0)));
    m = std::max(1, std::min(m, n / kMinWorkingPoints));
    const int points = std::min(n / m, kMaxWorkingPoints);
    w.W.assign(points, 0.0);
    w.DtS = m * intervalUs * 1e-6;
    for (int i = 0; i < points; ++i) {
        double sum = 0.0;
        const float *p = s.constData() + static_cast<size_t>(i) * m;
        for (int k = 0; k < m; ++k)
            sum += p[k];
        w.W[i] = sum / m - mean;
    }
}

std::vector<double> hannWindow(size_t n)
{
    std::vector<double> w(n);
    for (size_t i = 0; i < n; ++i)
        w[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / std::max<size_t>(n - 1, 1));
    return w;
}

// The power spectra of two real series (b may be null) from one complex
// transform: a in the real part, b in the imaginary part, taken apart by
// their symmetry. Halves the work of the check of a full shot.
void spectra(Working &a, Working *b, std::vector<double> &window)
{
    const size_t n = a.W.size();
    int exponent = 1;
    while ((size_t(1) << exponent) < n)
        ++exponent;
    const size_t nfft = size_t(1) << exponent;
    if (window.size() != n)
        window = hannWindow(n);
    std::vector<double> re(nfft, 0.0);
    std::vector<double> im(nfft, 0.0);
    for (size_t i = 0; i < n; ++i) {
        re[i] = a.W[i] * window[i];
        im[i] = b ? b->W[i] * window[i] : 0.0;
    }
    CAlgorithm::Fft(re.data(), im.data(), exponent);
    const double df = 1.0 / (nfft * a.DtS);
    a.Power.resize(nfft / 2 + 1);
    a.DfHz = df;
    if (b) {
        b->Power.resize(nfft / 2 + 1);
        b->DfHz = df;
    }
    for (size_t k = 0; k <= nfft / 2; ++k) {
        const size_t mirror = (nfft - k) % nfft;
        const Cplx xk(re[k], im[k]);
        const Cplx xm(re[mirror], -im[mirror]);
        a.Power[k] = std::norm(0.5 * (xk + xm));
        if (b)
            b->Power[k] = std::norm(0.5 * (xk - xm));
    }
    // A series without any variation keeps a spectrum of zeros, not the
    // rounding its partner left in it.
    for (Working *w : {&a, b}) {
        if (w && std::all_of(w->W.begin(), w->W.end(), [](double v) { return v == 0.0; }))
            std::fill(w->Power.begin(), w->Power.end(), 0.0);
    }
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + mid, v.end());
    return v[mid];
}

// Hum: the strongest bin near each harmonic against the median of its neighbourhood.
void judgeHum(Working &w)
{
    const double nyquist = 0.5 / w.DtS;
    const int last = static_cast<int>(w.Power.size()) - 1;
    const int lineHalf = std::max(1, binOf(kLineHalfWidthHz, w.DfHz));
    const int gap = std::max(2, binOf(kReferenceGapHz, w.DfHz));
    const int refHalf = std::max(binOf(kReferenceHalfWidthHz, w.DfHz), gap + kMinReferenceBins / 2);
    for (int h = 1; h <= kMaxHarmonic; ++h) {
        const double hz = kMainsHz * h;
        if (hz + kReferenceHalfWidthHz > 0.9 * nyquist)
            break;
        const int centre = binOf(hz, w.DfHz);
        double line = 0.0;
        for (int k = std::max(0, centre - lineHalf); k <= std::min(last, centre + lineHalf); ++k)
            line = std::max(line, w.Power[k]);
        // Each flank on its own: the line must stand above both, so that a
        // line on the steep edge of the wave's own spectrum is not hum.
        std::vector<double> below, above;
        for (int k = std::max(0, centre - refHalf); k <= std::min(last, centre + refHalf); ++k) {
            if (k < centre - gap)
                below.push_back(w.Power[k]);
            else if (k > centre + gap)
                above.push_back(w.Power[k]);
        }
        if (static_cast<int>(below.size()) < kMinReferenceBins / 2
            || static_cast<int>(above.size()) < kMinReferenceBins / 2)
            continue;
        const double level = std::max(median(below), median(above));
        if (line > 0.0 && line >= kHumRatio * level) {
            w.Hum = true;
            w.HumHarmonics.push_back(h);
        }
    }
}

void judgeBackground(Working &w)
{
    const int gap = std::max(2, binOf(kReferenceGapHz, w.DfHz));
    const int first = std::max(1, binOf(kBackgroundLowHz, w.DfHz));
    std::vector<double> bins;
    bins.reserve(w.Power.size());
    for (int k = first; k < static_cast<int>(w.Power.size()); ++k) {
        const double hz = k * w.DfHz;
        const int nearest = static_cast<int>(std::lround(hz / kMainsHz));
        if (nearest >= 1 && std::abs(k - binOf(nearest * kMainsHz, w.DfHz)) <= gap)
            continue;
        bins.push_back(w.Power[k]);
    }
    if (bins.empty())
        return;
    const size_t q = static_cast<size_t>(kBackgroundQuantile * (bins.size() - 1));
    std::nth_element(bins.begin(), bins.begin() + q, bins.end());
    w.Background = bins[q];
}

// Takes found hum lines out of the working series by least squares at the
// nominal frequency, so that the correlations see the ground, not the mains.
void removeHum(Working &w)
{
    const size_t n = w.W.size();
    for (int h : w.HumHarmonics) {
        const double omega = 2.0 * M_PI * kMainsHz * h * w.DtS;
        double c = 0.0, s = 0.0;
        for (size_t i = 0; i < n; ++i) {
            c += w.W[i] * std::cos(omega * i);
            s += w.W[i] * std::sin(omega * i);
        }
        c *= 2.0 / n;
        s *= 2.0 / n;
        for (size_t i = 0; i < n; ++i)
            w.W[i] -= c * std::cos(omega * i) + s * std::sin(omega * i);
    }
}

bool clipped(const QVector<float> &s, double fullScale)
{
    if (fullScale <= 0.0 || s.isEmpty())
        return false;
    const auto [lo, hi] = std::minmax_element(s.constBegin(), s.constEnd());
    const double tolerance = 0.5 * fullScale / kCountsFullScale;
    for (const double extreme : {static_cast<double>(*lo), static_cast<double>(*hi)}) {
        if (std::abs(extreme) < kClipLevel * fullScale)
            continue;
        int run = 0;
        for (const float v : s) {
            run = std::abs(v - extreme) <= tolerance ? run + 1 : 0;
            if (run >= kClipRun)
                return true;
        }
    }
    return false;
}

struct Pair
{
    int A = 0, B = 0;
    double Corr = 0.0; ///< the correlation of largest magnitude
    double Lag = 0.0;  ///< its lag in working samples, B later than A when positive
};

// Where 2 %…98 % of a series' energy above its background lies: the wave
// train. The background is taken as a few times the median power, which the
// noise sets in a shot record whose wave fills a fraction of it.
std::pair<int, int> energySpan(const std::vector<double> &w)
{
    std::vector<double> power(w.size());
    for (size_t i = 0; i < w.size(); ++i)
        power[i] = w[i] * w[i];
    const double floor = kBackgroundTimes * median(power);
    double total = 0.0;
    for (double &p : power) {
        p = std::max(0.0, p - floor);
        total += p;
    }
    if (total <= 0.0)
        return {0, static_cast<int>(w.size())};
    double run = 0.0;
    int first = -1, last = static_cast<int>(w.size());
    for (size_t i = 0; i < power.size(); ++i) {
        run += power[i];
        if (first < 0 && run >= kEnergyEdge * total)
            first = static_cast<int>(i);
        if (run >= (1.0 - kEnergyEdge) * total) {
            last = static_cast<int>(i) + 1;
            break;
        }
    }
    return {std::max(first, 0), last};
}

Pair correlate(const Working &a, const Working &b, int ia, int ib, int maxLag,
               const std::pair<int, int> &spanA, const std::pair<int, int> &spanB)
{
    Pair p;
    p.A = ia;
    p.B = ib;
    const int n = static_cast<int>(std::min(a.W.size(), b.W.size()));
    const int from = std::max(0, std::min(spanA.first, spanB.first) - maxLag);
    const int to = std::min(n, std::max(spanA.second, spanB.second) + maxLag);
    double ea = 0.0, eb = 0.0;
    for (int i = from; i < to; ++i) {
        ea += a.W[i] * a.W[i];
        eb += b.W[i] * b.W[i];
    }
    if (ea <= 0.0 || eb <= 0.0)
        return p;
    const double norm = 1.0 / std::sqrt(ea * eb);
    std::vector<double> c(2 * maxLag + 1, 0.0);
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        const int i0 = std::max(from, from - lag);
        const int i1 = std::min(to, to - lag);
        double sum = 0.0;
        for (int i = i0; i < i1; ++i)
            sum += a.W[i] * b.W[i + lag];
        c[lag + maxLag] = sum * norm;
    }
    int best = 0;
    for (int k = 1; k < static_cast<int>(c.size()); ++k) {
        if (std::abs(c[k]) > std::abs(c[best]))
            best = k;
    }
    double shift = 0.0;
    if (best > 0 && best + 1 < static_cast<int>(c.size())) {
        const double l = c[best - 1], m = c[best], r = c[best + 1];
        const double den = l - 2 * m + r;
        if (den != 0.0)
            shift = std::clamp(0.5 * (l - r) / den, -0.5, 0.5);
    }
    p.Corr = c[best];
    p.Lag = best - maxLag + shift;
    return p;
}

// Moveout and polarity along the spread: each channel against the next two
// usable channels on either side. Channels whose pairs disagree with the
// spread's moveout are taken out one at a time, worst first, so that a crossed
// cable does not drag its neighbours along; among the pairs that agree, a
// channel whose pairs are mostly negative is reversed. One bad channel spoils
// only the pairs it belongs to, never a majority of its neighbour's.
void judgeAlongSpread(const QcShot &shot, const std::vector<Working> &work,
                      std::vector<QcChannel> &out)
{
    const int count = static_cast<int>(work.size());
    std::vector<int> usable;
    for (int c = 0; c < count; ++c) {
        if (!(out[c].Flags & (QcDead | QcNoisy)) && work[c].W.size() > 4)
            usable.push_back(c);
    }
    if (usable.size() < 3)
        return;
    const double dt = work[usable.front()].DtS;
    const double lagPerStep = std::abs(shot.SpacingM) / kSlowestWaveMps / dt;

    std::vector<std::pair<int, int>> spans(count);
    for (int c : usable)
        spans[c] = energySpan(work[c].W);

    std::vector<Pair> pairs;
    for (size_t i = 0; i < usable.size(); ++i) {
        for (size_t j = i + 1; j <= i + kPartners && j < usable.size(); ++j) {
            const int a = usable[i], b = usable[j];
            if (b - a > kMaxPairSteps)
                break;
            const int maxLag = std::max(2, static_cast<int>(std::ceil((b - a) * lagPerStep)) + 1);
            pairs.push_back(correlate(work[a], work[b], a, b, maxLag, spans[a], spans[b]));
        }
    }
    // The moveout a pair should show, from the pairs around it: along a
    // spread it changes as the dispersed train spreads out, and a crossed
    // cable is a minority of its neighbourhood.
    std::vector<bool> fits(pairs.size(), false);
    bool anyStrong = false;
    for (size_t k = 0; k < pairs.size(); ++k) {
        const Pair &p = pairs[k];
        if (std::abs(p.Corr) < kMinCorrelation)
            continue;
        anyStrong = true;
        std::vector<double> perStep;
        for (const Pair &q : pairs) {
            if (std::abs(q.Corr) >= kMinCorrelation && std::abs((q.A + q.B) - (p.A + p.B)) <= 2 * kLocalReach)
                perStep.push_back(q.Lag / (q.B - q.A));
        }
        const double moveout = median(perStep);
        const double tolerance = std::max(kMinMoveoutToleranceSamples, kMoveoutTolerance * std::abs(moveout));
        fits[k] = std::abs(p.Lag - moveout * (p.B - p.A)) <= tolerance;
    }
    if (!anyStrong)
        return;

    std::vector<bool> outOfPlace(count, false);
    std::vector<int> pairsOf(count, 0);
    for (const Pair &p : pairs) {
        ++pairsOf[p.A];
        ++pairsOf[p.B];
    }
    for (;;) {
        // Pairs with a channel already out of place say nothing more.
        std::vector<int> agree(count, 0), disagree(count, 0);
        for (size_t k = 0; k < pairs.size(); ++k) {
            const Pair &p = pairs[k];
            if (outOfPlace[p.A] || outOfPlace[p.B])
                continue;
            ++(fits[k] ? agree : disagree)[p.A];
            ++(fits[k] ? agree : disagree)[p.B];
        }
        int worst = -1;
        for (int c : usable) {
            // Two pairs at least: a lone pair cannot tell which of the two is out of place.
            if (outOfPlace[c] || pairsOf[c] < 2 || disagree[c] == 0 || disagree[c] <= agree[c])
                continue;
            if (worst < 0 || disagree[c] - agree[c] > disagree[worst] - agree[worst])
                worst = c;
        }
        if (worst < 0)
            break;
        outOfPlace[worst] = true;
        out[worst].Flags |= QcSwapped;
    }

    std::vector<int> positive(count, 0), negative(count, 0);
    for (size_t k = 0; k < pairs.size(); ++k) {
        const Pair &p = pairs[k];
        if (!fits[k] || outOfPlace[p.A] || outOfPlace[p.B])
            continue;
        for (int c : {p.A, p.B})
            ++(p.Corr > 0 ? positive : negative)[c];
    }
    for (int c : usable) {
        if (!outOfPlace[c] && positive[c] + negative[c] >= 2 && negative[c] > positive[c])
            out[c].Flags |= QcReversed;
    }
}

// At most three distinct readings: an open input sitting on the converter's
// threshold flickers between two counts, while the ground's noise spreads a
// live channel over more counts at every gain of the instrument.
bool flat(const QVector<float> &s)
{
    float seen[kDeadLevels + 1];
    int distinct = 0;
    for (const float v : s) {
        if (std::find(seen, seen + distinct, v) != seen + distinct)
            continue;
        if (distinct == kDeadLevels)
            return false;
        seen[distinct++] = v;
    }
    return true;
}

} // namespace

int QcReport::FaultyCount() const
{
    return static_cast<int>(std::count_if(Channels.begin(), Channels.end(),
                                          [](const QcChannel &c) { return c.Flags != 0; }));
}

QcReport CheckShotQuality(const QcShot &shot)
{
    QcReport report;
    const int count = static_cast<int>(shot.Channels.size());
    report.Channels.resize(count);
    std::vector<Working> work(count);
    std::vector<double> backgrounds;
    for (int c = 0; c < count; ++c) {
        const QVector<float> &s = shot.Channels[c].Samples;
        QcChannel &r = report.Channels[c];
        if (s.isEmpty()) {
            r.Flags |= QcDead;
            continue;
        }
        double sum = 0.0;
        for (float v : s)
            sum += v;
        const double mean = sum / s.size();
        double sq = 0.0, peak = 0.0;
        for (float v : s) {
            const double d = v - mean;
            sq += d * d;
            peak = std::max(peak, std::abs(d));
        }
        r.RmsMv = std::sqrt(sq / s.size());
        r.PeakMv = peak;
        if (clipped(s, shot.Channels[c].FullScaleMv))
            r.Flags |= QcClipped;

        workingSeries(s, mean, shot.IntervalUs, work[c]);
    }
    // Channels of one shot share their length: their spectra go in twos.
    std::vector<int> pending;
    std::vector<double> window;
    for (int c = 0; c < count; ++c) {
        if (work[c].W.empty())
            continue;
        if (!pending.empty() && work[pending.back()].W.size() == work[c].W.size()) {
            spectra(work[pending.back()], &work[c], window);
            pending.pop_back();
        } else {
            if (!pending.empty())
                spectra(work[pending.back()], nullptr, window);
            pending.assign(1, c);
        }
    }
    if (!pending.empty())
        spectra(work[pending.back()], nullptr, window);
    for (int c = 0; c < count; ++c) {
        Working &w = work[c];
        if (w.W.empty())
            continue;
        judgeHum(w);
        judgeBackground(w);
        if (w.Hum)
            report.Channels[c].Flags |= QcHum;
        backgrounds.push_back(w.Background);
    }
    const double spread = median(backgrounds);
    for (int c = 0; c < count; ++c) {
        QcChannel &r = report.Channels[c];
        if (r.Flags & QcDead)
            continue;
        const double b = work[c].Background;
        // A channel with hardly any readings is dead whatever the others do.
        if (flat(shot.Channels[c].Samples) || b < kDeadPowerRatio * spread)
            r.Flags |= QcDead;
        // A clipped trace's flat tops spread its energy over the whole band:
        // that is the clip's doing, already flagged, not a noisy phone.
        else if (spread > 0.0 && b > kNoisyPowerRatio * spread && !(r.Flags & QcClipped))
            r.Flags |= QcNoisy;
        removeHum(work[c]);
    }
    judgeAlongSpread(shot, work, report.Channels);
    return report;
}

namespace {
struct FlagName
{
    unsigned Flag;
    const char *Name;
    const char *Label;
};
const FlagName kFlagNames[] = {
    {QcDead, "dead", "无信号"},   {QcClipped, "clipped", "削波"}, {QcReversed, "reversed", "极性反"},
    {QcHum, "hum", "工频干扰"},   {QcNoisy, "noisy", "噪声大"},   {QcSwapped, "swapped", "道序错"},
};

/// The flags' texts in the table's order, one member of each entry, joined by separator.
QString JoinedFlags(unsigned flags, const char *FlagName::*text, const QString &separator)
{
    QStringList names;
    for (const FlagName &f : kFlagNames) {
        if (flags & f.Flag)
            names << QString::fromUtf8(f.*text);
    }
    return names.join(separator);
}
} // namespace

QString QcFlagNames(unsigned flags)
{
    return JoinedFlags(flags, &FlagName::Name, QStringLiteral(";"));
}

QString QcFlagLabels(unsigned flags)
{
    return JoinedFlags(flags, &FlagName::Label, QStringLiteral("、"));
}
