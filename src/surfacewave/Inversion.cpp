#include "surfacewave/Inversion.h"

#include "surfacewave/CombinedCurve.h"
#include "surfacewave/RayleighDispersion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

/// The first interface lies no shallower than this share of the shortest
/// wavelength (thinner layers leave no mark on the curve), the last no
/// deeper than this share of the longest (the depth the curve reaches).
constexpr double kShallowestOverWavelength = 1.0 / 3.0;
constexpr double kDeepestOverWavelength = 0.5;
/// On a curve of too narrow a band of wavelengths the interfaces still get
/// this ratio of depths to move in.
constexpr double kLeastDepthRatio = 2.0;
/// No layer is thinner than this share of the shallowest depth, so that two
/// interfaces drawn at the same depth still make a valid model.
constexpr double kThinnestShare = 1e-3;
/// Shear velocities searched, as shares of the slowest and fastest pick.
constexpr double kSlowestVsShare = 0.5;
constexpr double kFastestVsShare = 1.5;

/// A pick the model has no fundamental mode at (a half-space slower than a
/// layer above makes the mode leaky at long waves) counts as this many
/// standard deviations off: such a model ranks below any that fits, yet stays
/// comparable with other poor ones.
constexpr double kMissingResidual = 100.0;

// The neighbourhood algorithm: a first sweep of uniformly drawn models (a
// tenth of the budget, at least kSamplesPerIteration), then iterations that
// each draw kSamplesPerIteration new models by random walks in the Voronoi
// cells of the kCellsPerIteration best so far. Five walks per cell lean
// towards refining; the polish below and the spread of starts across
// Poisson's ratio are what keep a narrow search from settling on one minimum.
constexpr int kFirstSweepShare = 10;
constexpr int kSamplesPerIteration = 50;
constexpr int kCellsPerIteration = 50;
/// A walk in a cell looks at this many models nearest its centre: in the
/// few dimensions searched here a cell has far fewer faces.
constexpr int kWalkNeighbours = 1000;

// The Levenberg–Marquardt polish: from the best model in each of
// kPolishStarts equal bands of Poisson's ratio, with the ratio held. The
// curve hardly tells Poisson's ratio apart (misfits differ by the noise) yet
// it moves Vs30 by up to ±10 % through the trade-off of Vp with layer depths:
// held, each start gives the best fit at its ratio rather than all drifting
// to whichever end the noise favours, and the statistics below weigh the
// bands alike.
constexpr int kPolishStarts = 5;
constexpr int kPolishIterations = 20;
/// Forward-difference step of the Jacobian in the unit parameter cube: large
/// against the forward model's 1e-9 root tolerance, small against any
/// feature of the misfit.
constexpr double kJacobianStep = 1e-4;
constexpr double kLambdaStart = 1e-2;
constexpr double kLambdaDown = 1.0 / 3.0;
constexpr double kLambdaUp = 4.0;
/// A damping this large means the step is too small to matter: stop.
constexpr double kLambdaGiveUp = 1e6;
/// Trial steps per iteration before the polish of this start ends.
constexpr int kPolishTrials = 6;
/// An iteration gaining less than this share of the misfit ends the polish.
constexpr double kPolishGain = 1e-4;

// The appraisal: from the best model of each band of Poisson's ratio, a
// random walk through the models the curve cannot tell from it (misfit
// within kAcceptableFactor of the best), its ratio held to the band. The
// search's samples crowd round the best, so on their own they hide how far
// an interface's depth can trade against the velocities either side; the
// walk's states are spread evenly over the acceptable region (a symmetric
// proposal, accepted whenever it stays acceptable), and the band and Vs30
// statistics are taken from them.
//
// Steps per band: the first kAppraisalBurnIn only tune the step and carry
// the walk away from its start; the other 600 are kept. At the acceptance
// aimed for, a state is much like the one some thirty steps before it in
// the eight dimensions of the default search, so each band keeps about
// twenty independent models and the five bands about a hundred, enough for
// 10th and 90th percentiles, at under a fifth of the default search's cost.
// Four times as many steps moved the band on synthetic curves no more than
// another seed does.
constexpr int kAppraisalSteps = 750;
constexpr int kAppraisalBurnIn = 150;
/// Steps between adjustments of the step size and reports of progress.
constexpr int kAppraisalBatch = 25;
/// Share of proposals accepted the step size is tuned to: near the best
/// rate of a random walk over a bounded region in several dimensions.
constexpr double kAppraisalAcceptance = 0.25;
/// How hard the step follows the acceptance: a batch refusing every
/// proposal shrinks the step to 0.6 of itself, so the burn-in can shrink it
/// some twentyfold.
constexpr double kAppraisalTuning = 2.0;
/// Widest proposal along a direction the curve does not resolve, in the
/// unit cube: a quarter of its side still crosses it within a few steps.
constexpr double kAppraisalWidest = 0.25;

/// Points of the band over depth, and how far below the constrained depth it
/// goes (at least to 30 m, for Vs30).
constexpr int kBandPoints = 200;
constexpr double kBandBelowConstrained = 1.5;
constexpr double kVs30Depth = 30.0;
constexpr double kLowPercentile = 0.10;
constexpr double kHighPercentile = 0.90;

/// Uniform on [0, 1) from the top 53 bits: the same numbers on every
/// platform, unlike std::uniform_real_distribution.
double Uniform(std::mt19937_64 &rng)
{
    return double(rng() >> 11) * 0x1.0p-53;
}

/// The band of Poisson's ratio of a unit coordinate.
int PoissonBand(double unit)
{
    return std::clamp(int(unit * kPolishStarts), 0, kPolishStarts - 1);
}

/// Maps the unit cube onto layered models: N interface depths (log-uniform
/// between the shallowest and the deepest; sorted, so the order of the
/// coordinates does not matter), N + 1 shear velocities (log-uniform, surface
/// first) and Poisson's ratio (uniform).
class Space
{
public:
    Space(const InversionCurve &curve, int layers)
        : m_layers(layers)
    {
        double vMin = curve.Points.front().Velocity;
        double vMax = vMin;
        for (const CurvePoint &p : curve.Points) {
            vMin = std::min(vMin, p.Velocity);
            vMax = std::max(vMax, p.Velocity);
        }
        m_zMin = kShallowestOverWavelength * curve.ShortestWavelength;
        m_zMax = std::max(kDeepestOverWavelength * curve.LongestWavelength, kLeastDepthRatio * m_zMin);
        m_vsMin = kSlowestVsShare * vMin;
        m_vsMax = kFastestVsShare * vMax;
    }

    int Dimensions() const { return 2 * m_layers + 2; }
    int PoissonIndex() const { return 2 * m_layers + 1; }

    double Poisson(const double *x) const { return kPoissonLow + x[PoissonIndex()] * (kPoissonHigh - kPoissonLow); }

    std::vector<Layer> Layers(const double *x) const
    {
        std::vector<double> depths(static_cast<size_t>(m_layers));
        for (int i = 0; i < m_layers; ++i)
            depths[size_t(i)] = m_zMin * std::pow(m_zMax / m_zMin, x[i]);
        std::sort(depths.begin(), depths.end());
        const double nu = Poisson(x);
        std::vector<Layer> layers(size_t(m_layers) + 1);
        double top = 0.0;
        for (int i = 0; i <= m_layers; ++i) {
            Layer &l = layers[size_t(i)];
            l.Vs = m_vsMin * std::pow(m_vsMax / m_vsMin, x[m_layers + i]);
            l.Vp = VpForPoisson(l.Vs, nu);
            l.Density = DensityForVs(l.Vs);
            if (i < m_layers) {
                const double bottom = std::max(depths[size_t(i)], top + kThinnestShare * m_zMin);
                l.Thickness = bottom - top;
                top = bottom;
            }
        }
        return layers;
    }

private:
    int m_layers;
    double m_zMin = 0.0;
    double m_zMax = 0.0;
    double m_vsMin = 0.0;
    double m_vsMax = 0.0;
};

/// Forward model and misfit against the curve.
class Misfit
{
public:
    Misfit(const InversionCurve &curve, const Space &space)
        : m_curve(curve)
        , m_space(space)
    {
        for (const CurvePoint &p : curve.Points)
            m_frequencies.push_back(p.Frequency);
    }

    /// Residuals (computed − observed) / sd at the picks; the computed velocities in fitted when asked.
    void Residuals(const double *x, std::vector<double> &r, std::vector<double> *fitted = nullptr)
    {
        ++m_count;
        const size_t n = m_curve.Points.size();
        r.assign(n, kMissingResidual);
        if (fitted)
            fitted->assign(n, kNaN);
        const ModalCurves c = RayleighPhaseVelocities(LayeredModel(m_space.Layers(x)), m_frequencies, 1);
        if (!c.Ok())
            return;
        for (size_t i = 0; i < n; ++i) {
            if (!c.Has(0, int(i)))
                continue;
            const CurvePoint &p = m_curve.Points[i];
            r[i] = (c.Velocities[0][i] - p.Velocity) / p.Sd;
            if (fitted)
                (*fitted)[i] = c.Velocities[0][i];
        }
    }

    double Of(const double *x)
    {
        Residuals(x, m_scratch);
        return Rms(m_scratch);
    }

    static double Rms(const std::vector<double> &r)
    {
        double sum = 0.0;
        for (double v : r)
            sum += v * v;
        return std::sqrt(sum / double(r.size()));
    }

    int Count() const { return m_count; }

private:
    const InversionCurve &m_curve;
    const Space &m_space;
    std::vector<double> m_frequencies;
    std::vector<double> m_scratch;
    int m_count = 0;
};

/// Every model tried, in the unit cube, with its misfit.
struct Ensemble
{
    int D = 0;
    std::vector<double> X; ///< row-major, D per model
    std::vector<double> Misfits;

    int Size() const { return int(Misfits.size()); }
    const double *At(int i) const { return X.data() + size_t(i) * size_t(D); }
    void Add(const double *x, double misfit)
    {
        X.insert(X.end(), x, x + D);
        Misfits.push_back(misfit);
    }
    int Best() const
    {
        int best = 0;
        for (int i = 1; i < Size(); ++i)
            if (Misfits[size_t(i)] < Misfits[size_t(best)])
                best = i;
        return best;
    }
};

/// The runner: owns the progress reporting and the stop.
class Run
{
public:
    Run(const InversionCurve &curve, const InversionSettings &settings, const InversionCallback &progress)
        : m_space(curve, settings.Layers)
        , m_misfit(curve, m_space)
        , m_settings(settings)
        , m_callback(progress)
        , m_rng(settings.Seed)
    {
        m_ensemble.D = m_space.Dimensions();
        const int d = m_space.Dimensions();
        m_total = settings.Models + kPolishStarts * kPolishIterations * (d + 2)
                  + kPolishStarts * (d + 1 + kAppraisalSteps);
    }

    bool Search();
    bool Polish();
    /// The walk through the acceptable models; false when stopped.
    bool Appraise();

    const Space &Spc() const { return m_space; }
    Misfit &Fit() { return m_misfit; }
    const Ensemble &Models() const { return m_ensemble; }
    /// The appraisal's states after its burn-in (a model repeats while
    /// proposals are refused), with the band of Poisson's ratio of each.
    const Ensemble &Walked() const { return m_walked; }
    const std::vector<int> &WalkedBands() const { return m_walkedBands; }

private:
    /// Tells the callback; false when it asks to stop.
    bool Report(bool polishing)
    {
        if (!m_callback)
            return true;
        InversionProgress p;
        p.Done = m_misfit.Count();
        p.Total = std::max(m_total, p.Done);
        p.BestMisfit = m_ensemble.Size() ? m_ensemble.Misfits[size_t(m_ensemble.Best())] : 0.0;
        p.Polishing = polishing;
        return m_callback(p);
    }
    /// A random walk of count steps in the Voronoi cell of model cell; the
    /// models it visits go to out.
    void Walk(int cell, int count, std::vector<double> &out);
    /// Levenberg–Marquardt from x (in place); false when stopped.
    bool PolishFrom(std::vector<double> &x);
    /// The appraisal's walk in band from x keeping to misfits up to limit;
    /// false when stopped.
    bool WalkFrom(int band, std::vector<double> x, double limit);

    Space m_space;
    Misfit m_misfit;
    InversionSettings m_settings;
    const InversionCallback &m_callback;
    std::mt19937_64 m_rng;
    Ensemble m_ensemble;
    int m_total = 0;
    std::vector<double> m_d2;
    std::vector<int> m_near;
    std::vector<double> m_axes;
    std::vector<double> m_walkD2;
    Ensemble m_walked;
    std::vector<int> m_walkedBands;
};

void Run::Walk(int cell, int count, std::vector<double> &out)
{
    const int d = m_ensemble.D;
    const int n = m_ensemble.Size();
    const double *centre = m_ensemble.At(cell);
    // Only the models nearest the cell's centre bound it; the rest are
    // left out of the walk, which keeps its cost from growing with the
    // ensemble. The cell then is at most a little larger than the true one.
    m_d2.assign(size_t(n), 0.0);
    for (int j = 0; j < n; ++j) {
        const double *v = m_ensemble.At(j);
        double s = 0.0;
        for (int k = 0; k < d; ++k)
            s += (centre[k] - v[k]) * (centre[k] - v[k]);
        m_d2[size_t(j)] = s;
    }
    m_near.resize(size_t(n));
    std::iota(m_near.begin(), m_near.end(), 0);
    const int kept = std::min(n, kWalkNeighbours);
    if (kept < n)
        std::nth_element(m_near.begin(), m_near.begin() + kept, m_near.end(), [&](int a, int b) {
            return m_d2[size_t(a)] < m_d2[size_t(b)] || (m_d2[size_t(a)] == m_d2[size_t(b)] && a < b);
        });
    m_near.resize(size_t(kept));
    std::sort(m_near.begin(), m_near.end());
    // The neighbours' coordinates axis by axis, and the squared distances of
    // the walker to them, kept up to date as it moves: the cell's bounds
    // along an axis follow from them in one pass.
    m_axes.resize(size_t(kept) * size_t(d));
    m_walkD2.resize(size_t(kept));
    int self = -1;
    for (int j = 0; j < kept; ++j) {
        const int m = m_near[size_t(j)];
        for (int k = 0; k < d; ++k)
            m_axes[size_t(k) * size_t(kept) + size_t(j)] = m_ensemble.At(m)[k];
        m_walkD2[size_t(j)] = m_d2[size_t(m)];
        if (m == cell)
            self = j;
    }
    std::vector<double> x(centre, centre + d);
    for (int step = 0; step < count; ++step) {
        for (int k = 0; k < d; ++k) {
            const double *axis = m_axes.data() + size_t(k) * size_t(kept);
            const double xk = x[size_t(k)];
            const double a = centre[k];
            const double dc = m_walkD2[size_t(self)] - (xk - a) * (xk - a);
            double lo = 0.0;
            double hi = 1.0;
            for (int j = 0; j < kept; ++j) {
                const double b = axis[j];
                if (b == a) // the centre itself, or a model level with it on this axis
                    continue;
                const double dj = m_walkD2[size_t(j)] - (xk - b) * (xk - b);
                // Where the walker is as near model j as the cell's centre.
                const double t = 0.5 * (a + b) + 0.5 * (dj - dc) / (b - a);
                if (b > a)
                    hi = std::min(hi, t);
                else
                    lo = std::max(lo, t);
            }
            // Rounding can cross the bounds by an ulp when the walker sits on a face.
            if (hi < lo)
                hi = lo;
            const double t = lo + Uniform(m_rng) * (hi - lo);
            for (int j = 0; j < kept; ++j) {
                const double b = axis[j];
                m_walkD2[size_t(j)] += (t - b) * (t - b) - (xk - b) * (xk - b);
            }
            x[size_t(k)] = t;
        }
        out.insert(out.end(), x.begin(), x.end());
    }
}

bool Run::Search()
{
    const int d = m_ensemble.D;
    const int budget = m_settings.Models;
    const int first = std::min(budget, std::max(kSamplesPerIteration, budget / kFirstSweepShare));
    std::vector<double> x(static_cast<size_t>(d));
    for (int i = 0; i < first; ++i) {
        for (double &v : x)
            v = Uniform(m_rng);
        m_ensemble.Add(x.data(), m_misfit.Of(x.data()));
        if ((i + 1) % kSamplesPerIteration == 0 && !Report(false))
            return false;
    }
    std::vector<int> order;
    std::vector<double> drawn;
    while (m_ensemble.Size() < budget) {
        const int n = m_ensemble.Size();
        const int samples = std::min(kSamplesPerIteration, budget - n);
        const int cells = std::min(kCellsPerIteration, n);
        order.resize(size_t(n));
        std::iota(order.begin(), order.end(), 0);
        // Ties go to the older model, so the ranking is the same on every run.
        std::partial_sort(order.begin(), order.begin() + cells, order.end(), [&](int a, int b) {
            const double ma = m_ensemble.Misfits[size_t(a)];
            const double mb = m_ensemble.Misfits[size_t(b)];
            return ma < mb || (ma == mb && a < b);
        });
        drawn.clear();
        for (int c = 0; c < cells; ++c) {
            const int walks = samples / cells + (c < samples % cells ? 1 : 0);
            if (walks > 0)
                Walk(order[size_t(c)], walks, drawn);
        }
        for (size_t i = 0; i < drawn.size(); i += size_t(d))
            m_ensemble.Add(drawn.data() + i, m_misfit.Of(drawn.data() + i));
        if (!Report(false))
            return false;
    }
    return true;
}

/// Cholesky factor L (A = L·Lᵀ) of a small symmetric positive definite A,
/// in place in the lower triangle; false when A is not.
bool Cholesky(std::vector<double> &a, int n)
{
    for (int j = 0; j < n; ++j) {
        double s = a[size_t(j * n + j)];
        for (int k = 0; k < j; ++k)
            s -= a[size_t(j * n + k)] * a[size_t(j * n + k)];
        if (!(s > 0.0))
            return false;
        const double l = std::sqrt(s);
        a[size_t(j * n + j)] = l;
        for (int i = j + 1; i < n; ++i) {
            double t = a[size_t(i * n + j)];
            for (int k = 0; k < j; ++k)
                t -= a[size_t(i * n + k)] * a[size_t(j * n + k)];
            a[size_t(i * n + j)] = t / l;
        }
    }
    return true;
}

/// Solves Lᵀ·x = b in place for the factor of Cholesky().
void SolveUpperT(const std::vector<double> &l, std::vector<double> &b, int n)
{
    for (int i = n - 1; i >= 0; --i) {
        double t = b[size_t(i)];
        for (int k = i + 1; k < n; ++k)
            t -= l[size_t(k * n + i)] * b[size_t(k)];
        b[size_t(i)] = t / l[size_t(i * n + i)];
    }
}

/// Solves A·x = b for a small symmetric positive definite A; false when it is not.
bool SolveSpd(std::vector<double> a, std::vector<double> &b, int n)
{
    if (!Cholesky(a, n))
        return false;
    for (int i = 0; i < n; ++i) {
        double t = b[size_t(i)];
        for (int k = 0; k < i; ++k)
            t -= a[size_t(i * n + k)] * b[size_t(k)];
        b[size_t(i)] = t / a[size_t(i * n + i)];
    }
    SolveUpperT(a, b, n);
    return true;
}

/// Standard normal from two uniforms (Box–Muller): the same numbers on
/// every platform, unlike std::normal_distribution.
double Gaussian(std::mt19937_64 &rng)
{
    const double u1 = 1.0 - Uniform(rng); // (0, 1]: the logarithm stays finite
    const double u2 = Uniform(rng);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

/// v folded back into [lo, hi] as by mirrors at both ends: a proposal so
/// reflected stays symmetric, so the walk's states stay evenly spread up to
/// the walls.
double Reflect(double v, double lo, double hi)
{
    const double w = hi - lo;
    if (!(w > 0.0))
        return lo;
    double t = std::fmod(v - lo, 2.0 * w);
    if (t < 0.0)
        t += 2.0 * w;
    return t <= w ? lo + t : lo + 2.0 * w - t;
}

bool Run::PolishFrom(std::vector<double> &x)
{
    const int d = m_ensemble.D;
    std::vector<double> r;
    m_misfit.Residuals(x.data(), r);
    double misfit = Misfit::Rms(r);
    const size_t m = r.size();
    std::vector<double> jac(m * size_t(d));
    std::vector<double> shifted;
    std::vector<double> rs;
    std::vector<double> jtj(size_t(d * d));
    std::vector<double> g(static_cast<size_t>(d));
    std::vector<double> trial(static_cast<size_t>(d));
    double lambda = kLambdaStart;
    for (int it = 0; it < kPolishIterations; ++it) {
        for (int k = 0; k < d; ++k) {
            if (k == m_space.PoissonIndex()) {
                for (size_t i = 0; i < m; ++i)
                    jac[i * size_t(d) + size_t(k)] = 0.0;
                continue;
            }
            // Step inwards at the walls of the cube.
            shifted = x;
            const double h = x[size_t(k)] + kJacobianStep <= 1.0 ? kJacobianStep : -kJacobianStep;
            shifted[size_t(k)] += h;
            m_misfit.Residuals(shifted.data(), rs);
            for (size_t i = 0; i < m; ++i)
                jac[i * size_t(d) + size_t(k)] = (rs[i] - r[i]) / h;
        }
        for (int a = 0; a < d; ++a) {
            double s = 0.0;
            for (size_t i = 0; i < m; ++i)
                s += jac[i * size_t(d) + size_t(a)] * r[i];
            g[size_t(a)] = -s;
            for (int b = 0; b <= a; ++b) {
                double t = 0.0;
                for (size_t i = 0; i < m; ++i)
                    t += jac[i * size_t(d) + size_t(a)] * jac[i * size_t(d) + size_t(b)];
                jtj[size_t(a * d + b)] = jtj[size_t(b * d + a)] = t;
            }
        }
        bool improved = false;
        double gained = 0.0;
        for (int t = 0; t < kPolishTrials && lambda < kLambdaGiveUp; ++t) {
            std::vector<double> damped = jtj;
            for (int k = 0; k < d; ++k)
                damped[size_t(k * d + k)] += lambda * std::max(jtj[size_t(k * d + k)], 1e-12);
            std::vector<double> step = g;
            if (!SolveSpd(damped, step, d)) {
                lambda *= kLambdaUp;
                continue;
            }
            for (int k = 0; k < d; ++k)
                trial[size_t(k)] = std::clamp(x[size_t(k)] + step[size_t(k)], 0.0, 1.0);
            m_misfit.Residuals(trial.data(), rs);
            const double next = Misfit::Rms(rs);
            if (next < misfit) {
                gained = (misfit - next) / misfit;
                x = trial;
                r = rs;
                misfit = next;
                m_ensemble.Add(x.data(), misfit);
                lambda *= kLambdaDown;
                improved = true;
                break;
            }
            lambda *= kLambdaUp;
        }
        if (!Report(true))
            return false;
        if (!improved || gained < kPolishGain)
            break;
    }
    return true;
}

bool Run::Polish()
{
    const int d = m_ensemble.D;
    const int nu = m_space.PoissonIndex();
    // The best model of each band of Poisson's ratio, taken before the
    // polish adds its own models.
    std::vector<int> starts(kPolishStarts, -1);
    for (int i = 0; i < m_ensemble.Size(); ++i) {
        int &s = starts[size_t(PoissonBand(m_ensemble.At(i)[nu]))];
        if (s < 0 || m_ensemble.Misfits[size_t(i)] < m_ensemble.Misfits[size_t(s)])
            s = i;
    }
    for (int s : starts) {
        if (s < 0)
            continue;
        std::vector<double> x(m_ensemble.At(s), m_ensemble.At(s) + d);
        if (!PolishFrom(x))
            return false;
    }
    return true;
}

bool Run::Appraise()
{
    const int d = m_ensemble.D;
    const int nu = m_space.PoissonIndex();
    m_walked.D = d;
    if (m_ensemble.Size() == 0)
        return true;
    const double limit = kAcceptableFactor * m_ensemble.Misfits[size_t(m_ensemble.Best())];
    std::vector<int> starts(kPolishStarts, -1);
    for (int i = 0; i < m_ensemble.Size(); ++i) {
        int &s = starts[size_t(PoissonBand(m_ensemble.At(i)[nu]))];
        if (s < 0 || m_ensemble.Misfits[size_t(i)] < m_ensemble.Misfits[size_t(s)])
            s = i;
    }
    for (int band = 0; band < kPolishStarts; ++band) {
        const int s = starts[size_t(band)];
        // A band no acceptable model reached has nothing to appraise.
        if (s < 0 || !(m_ensemble.Misfits[size_t(s)] <= limit))
            continue;
        if (!WalkFrom(band, std::vector<double>(m_ensemble.At(s), m_ensemble.At(s) + d), limit))
            return false;
    }
    return true;
}

bool Run::WalkFrom(int band, std::vector<double> x, double limit)
{
    const int d = m_ensemble.D;
    const int nu = m_space.PoissonIndex();
    const double bandLow = double(band) / kPolishStarts;
    const double bandHigh = double(band + 1) / kPolishStarts;
    // The shape of the proposals: the linearised acceptable region round the
    // start, (Δx)ᵀ·JᵀJ·Δx ≤ Δχ², so that steps run along the valleys where
    // depth trades against velocity; directions the curve hardly resolves
    // are capped at kAppraisalWidest.
    std::vector<double> r0;
    m_misfit.Residuals(x.data(), r0);
    const size_t m = r0.size();
    double misfit = Misfit::Rms(r0);
    const double chi2Room = double(m) * (limit * limit - misfit * misfit);
    std::vector<double> jac(m * size_t(d));
    std::vector<double> shifted;
    std::vector<double> rs;
    for (int k = 0; k < d; ++k) {
        shifted = x;
        const double hi = k == nu ? bandHigh : 1.0;
        const double h = x[size_t(k)] + kJacobianStep <= hi ? kJacobianStep : -kJacobianStep;
        shifted[size_t(k)] += h;
        m_misfit.Residuals(shifted.data(), rs);
        for (size_t i = 0; i < m; ++i)
            jac[i * size_t(d) + size_t(k)] = (rs[i] - r0[i]) / h;
    }
    std::vector<double> shape(size_t(d * d));
    for (int a = 0; a < d; ++a)
        for (int b = 0; b <= a; ++b) {
            double t = 0.0;
            for (size_t i = 0; i < m; ++i)
                t += jac[i * size_t(d) + size_t(a)] * jac[i * size_t(d) + size_t(b)];
            t = chi2Room > 0.0 ? t / chi2Room : 0.0;
            if (a == b)
                t += 1.0 / (kAppraisalWidest * kAppraisalWidest);
            shape[size_t(a * d + b)] = shape[size_t(b * d + a)] = t;
        }
    // The shape is positive definite unless the residuals were not numbers;
    // then steps of the same size along every axis.
    if (!Cholesky(shape, d)) {
        std::fill(shape.begin(), shape.end(), 0.0);
        for (int k = 0; k < d; ++k)
            shape[size_t(k * d + k)] = 1.0 / kAppraisalWidest;
    }
    // The first steps reach the linearised region's edge on average; the
    // burn-in then tunes them to the region as it is.
    double scale = 1.0 / std::sqrt(double(d));
    std::vector<double> step(static_cast<size_t>(d));
    std::vector<double> trial(static_cast<size_t>(d));
    int accepted = 0;
    for (int i = 0; i < kAppraisalSteps; ++i) {
        for (double &v : step)
            v = scale * Gaussian(m_rng);
        SolveUpperT(shape, step, d);
        for (int k = 0; k < d; ++k)
            trial[size_t(k)] = k == nu ? Reflect(x[size_t(k)] + step[size_t(k)], bandLow, bandHigh)
                                       : Reflect(x[size_t(k)] + step[size_t(k)], 0.0, 1.0);
        const double next = m_misfit.Of(trial.data());
        m_ensemble.Add(trial.data(), next);
        if (next <= limit) {
            x = trial;
            misfit = next;
            ++accepted;
        }
        if (i >= kAppraisalBurnIn) {
            m_walked.Add(x.data(), misfit);
            m_walkedBands.push_back(band);
        }
        if ((i + 1) % kAppraisalBatch == 0) {
            // The step follows the acceptance during the burn-in only: a
            // walk whose step changes with its own history no longer
            // spreads its states evenly.
            if (i < kAppraisalBurnIn)
                scale *= std::exp(kAppraisalTuning * (double(accepted) / kAppraisalBatch - kAppraisalAcceptance));
            accepted = 0;
            if (!Report(true))
                return false;
        }
    }
    return true;
}

/// A value with the weight it carries in the statistics.
struct Weighted
{
    double Value;
    double Weight;
};

/// The share-quantile of weighted values (sorted here): the smallest value
/// at which the cumulative weight reaches share of the total.
double Percentile(std::vector<Weighted> &values, double share)
{
    std::sort(values.begin(), values.end(), [](const Weighted &a, const Weighted &b) { return a.Value < b.Value; });
    double total = 0.0;
    for (const Weighted &w : values)
        total += w.Weight;
    double sum = 0.0;
    for (const Weighted &w : values) {
        sum += w.Weight;
        if (sum >= share * total)
            return w.Value;
    }
    return values.back().Value;
}

} // namespace

double DensityForVs(double vs)
{
    static const double kTable[][2] = {{100, 1700}, {200, 1800}, {400, 1900}, {800, 2000}, {1500, 2200}, {3000, 2500}};
    constexpr size_t kRows = sizeof kTable / sizeof kTable[0];
    if (!(vs > kTable[0][0]))
        return kTable[0][1];
    for (size_t i = 1; i < kRows; ++i)
        if (vs <= kTable[i][0])
            return kTable[i - 1][1]
                   + (vs - kTable[i - 1][0]) / (kTable[i][0] - kTable[i - 1][0]) * (kTable[i][1] - kTable[i - 1][1]);
    return kTable[kRows - 1][1];
}

double VpForPoisson(double vs, double nu)
{
    return vs * std::sqrt((2.0 - 2.0 * nu) / (1.0 - 2.0 * nu));
}

double VsAtDepth(const std::vector<Layer> &layers, double depth)
{
    if (layers.empty())
        return 0.0;
    double top = 0.0;
    for (size_t i = 0; i + 1 < layers.size(); ++i) {
        top += layers[i].Thickness;
        if (depth < top)
            return layers[i].Vs;
    }
    return layers.back().Vs;
}

double Vs30OfLayers(const std::vector<Layer> &layers)
{
    if (layers.empty())
        return 0.0;
    double time = 0.0;
    double top = 0.0;
    for (size_t i = 0; i + 1 < layers.size() && top < kVs30Depth; ++i) {
        const double h = std::min(layers[i].Thickness, kVs30Depth - top);
        time += h / layers[i].Vs;
        top += layers[i].Thickness;
    }
    if (top < kVs30Depth)
        time += (kVs30Depth - top) / layers.back().Vs;
    return kVs30Depth / time;
}

InversionCurve PrepareCurve(std::vector<CurvePoint> points)
{
    InversionCurve out;
    for (size_t i = 0; i < points.size(); ++i) {
        const CurvePoint &p = points[i];
        if (!(p.Frequency > 0.0) || !std::isfinite(p.Frequency) || !(p.Velocity > 0.0) || !std::isfinite(p.Velocity)) {
            out.Problem = QStringLiteral("pick %1: frequency %2 Hz and velocity %3 m/s must both be numbers above 0")
                              .arg(i + 1)
                              .arg(p.Frequency)
                              .arg(p.Velocity);
            return out;
        }
    }
    if (int(points.size()) < kMinInversionPicks) {
        out.Problem = QStringLiteral("%1 picks: an inversion needs at least %2").arg(points.size()).arg(kMinInversionPicks);
        return out;
    }
    const auto byFrequency = [](const CurvePoint &a, const CurvePoint &b) { return a.Frequency < b.Frequency; };
    if (!std::is_sorted(points.begin(), points.end(), byFrequency)) {
        std::stable_sort(points.begin(), points.end(), byFrequency);
        out.Notes << QStringLiteral("picks sorted by frequency");
    }
    int missing = 0;
    int raised = 0;
    for (CurvePoint &p : points) {
        if (!(p.Sd > 0.0) || !std::isfinite(p.Sd)) {
            p.Sd = kDefaultSdShare * p.Velocity;
            ++missing;
        } else if (p.Sd < kSmallestSdShare * p.Velocity) {
            p.Sd = kSmallestSdShare * p.Velocity;
            ++raised;
        }
    }
    if (missing)
        out.Notes << QStringLiteral("%1 picks without a standard deviation: %2 % of the velocity used")
                         .arg(missing)
                         .arg(100.0 * kDefaultSdShare);
    if (raised)
        out.Notes << QStringLiteral("%1 standard deviations below %2 % of the velocity raised to it")
                         .arg(raised)
                         .arg(100.0 * kSmallestSdShare);
    out.ShortestWavelength = out.LongestWavelength = points.front().Velocity / points.front().Frequency;
    for (const CurvePoint &p : points) {
        out.ShortestWavelength = std::min(out.ShortestWavelength, p.Velocity / p.Frequency);
        out.LongestWavelength = std::max(out.LongestWavelength, p.Velocity / p.Frequency);
    }
    out.Points = std::move(points);
    return out;
}

InversionCurve PrepareCurve(const CombinedCurve &curve)
{
    std::vector<CurvePoint> points;
    for (const CurveBin &b : curve.Bins)
        points.push_back(CurvePoint{b.Frequency, b.Velocity, b.Sd});
    return PrepareCurve(std::move(points));
}

InversionResult InvertCurve(const InversionCurve &curve, const InversionSettings &settings,
                            const InversionCallback &progress)
{
    InversionResult out;
    out.Curve = curve;
    out.Settings = settings;
    if (!curve.Ok()) {
        out.Problem = curve.Problem;
        return out;
    }
    if (int(curve.Points.size()) < kMinInversionPicks) {
        out.Problem = QStringLiteral("%1 picks: an inversion needs at least %2").arg(curve.Points.size()).arg(kMinInversionPicks);
        return out;
    }
    if (settings.Layers < kMinLayers || settings.Layers > kMaxLayers) {
        out.Problem = QStringLiteral("%1 layers asked for, %2 to %3 possible").arg(settings.Layers).arg(kMinLayers).arg(kMaxLayers);
        return out;
    }
    if (settings.Models < kMinModels || settings.Models > kMaxModels) {
        out.Problem = QStringLiteral("%1 models asked for, %2 to %3 possible").arg(settings.Models).arg(kMinModels).arg(kMaxModels);
        return out;
    }

    Run run(curve, settings, progress);
    out.Stopped = !run.Search() || (settings.Polish && !run.Polish()) || !run.Appraise();
    const Ensemble &models = run.Models();
    out.Evaluated = run.Fit().Count();
    if (models.Size() == 0) {
        out.Problem = QStringLiteral("stopped before the first model");
        return out;
    }
    const int best = models.Best();
    const Space &space = run.Spc();
    out.Best = space.Layers(models.At(best));
    out.Poisson = space.Poisson(models.At(best));
    std::vector<double> r;
    run.Fit().Residuals(models.At(best), r, &out.Fitted);
    out.Misfit = Misfit::Rms(r);
    out.BestVs30 = Vs30OfLayers(out.Best);
    out.ConstrainedDepth = kDeepestOverWavelength * curve.LongestWavelength;

    out.AcceptableMisfit = kAcceptableFactor * out.Misfit;
    out.Acceptable = 0;
    for (int i = 0; i < models.Size(); ++i)
        out.Acceptable += models.Misfits[size_t(i)] <= out.AcceptableMisfit;
    // The statistics come from the appraisal's walk. A walk that met a
    // better model than it started from holds states now outside the limit:
    // left out, the rest stay evenly spread. Every acceptable model tried
    // stands in when the walk left none (stopped before it, or no band had
    // an acceptable start); the best model always is one.
    // Each band of Poisson's ratio weighs alike, however densely it was
    // sampled: the curve does not choose between them.
    std::vector<std::vector<Layer>> accepted;
    std::vector<int> bands;
    std::vector<int> perBand(kPolishStarts, 0);
    const auto collect = [&](const Ensemble &source, const std::vector<int> *sourceBands) {
        for (int i = 0; i < source.Size(); ++i) {
            if (source.Misfits[size_t(i)] <= out.AcceptableMisfit) {
                accepted.push_back(space.Layers(source.At(i)));
                bands.push_back(sourceBands ? (*sourceBands)[size_t(i)]
                                            : PoissonBand(source.At(i)[space.PoissonIndex()]));
                ++perBand[size_t(bands.back())];
            }
        }
    };
    collect(run.Walked(), &run.WalkedBands());
    if (accepted.empty())
        collect(models, nullptr);
    std::vector<double> weights(accepted.size());
    for (size_t m = 0; m < accepted.size(); ++m)
        weights[m] = 1.0 / perBand[size_t(bands[m])];
    std::vector<Weighted> vs30(accepted.size());
    for (size_t m = 0; m < accepted.size(); ++m)
        vs30[m] = Weighted{Vs30OfLayers(accepted[m]), weights[m]};
    out.Vs30 = Percentile(vs30, 0.5);
    out.Vs30Low = Percentile(vs30, kLowPercentile);
    out.Vs30High = Percentile(vs30, kHighPercentile);

    const double bottom = std::max(kVs30Depth, kBandBelowConstrained * out.ConstrainedDepth);
    std::vector<Weighted> at(accepted.size());
    for (int i = 0; i < kBandPoints; ++i) {
        const double depth = bottom * double(i) / double(kBandPoints - 1);
        for (size_t m = 0; m < accepted.size(); ++m)
            at[m] = Weighted{VsAtDepth(accepted[m], depth), weights[m]};
        out.Band.Depth.push_back(depth);
        out.Band.Median.push_back(Percentile(at, 0.5));
        out.Band.Low.push_back(Percentile(at, kLowPercentile));
        out.Band.High.push_back(Percentile(at, kHighPercentile));
    }
    return out;
}
