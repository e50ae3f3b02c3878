#include "surfacewave/RayleighDispersion.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <numeric>

// The secular function is the fast delta matrix of Buchen and Ben-Hador
// (1996): the 2 × 2 minors of the layer propagators (Dunkin's delta matrix)
// reduced to five real components. Propagating minors instead of the
// displacement-stress vectors is what keeps it stable: the growing and the
// decaying exponentials of a layer never meet in one difference. The five
// components need about a third of the multiplications of Dunkin's six by
// six product, and stay real whether a wave propagates or decays in a layer.

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

/// No mode lies below the Rayleigh velocity of the slowest layer, at least
/// 0.874 × its Vs for any Poisson's ratio above 0 (the models allow no
/// lower); Stoneley waves at buried interfaces lie above it too.
constexpr double kLowestOverSlowestVs = 0.87;
/// Each root is refined until it lies within this share of its value.
constexpr double kRootTolerance = 1e-9;
/// Grid steps: at most this share of the velocity, and at most this part of
/// π in the total vertical phase of the layers (two neighbouring modes lie
/// about π apart in it, so eight points fall between them).
constexpr double kMaxRelativeStep = 0.08;
constexpr double kPhaseStep = 3.14159265358979323846 / 6.0;
/// Steps never shrink below this share of the velocity (the phase grows
/// like a square root just above a layer's velocity).
constexpr double kMinRelativeStep = 1e-6;
/// Fewer modes at a higher frequency than at a lower one means the grid
/// stepped over a pair of close roots: the search is repeated with steps
/// halved, at most this many times. (A mode may also end there for good:
/// in a model whose half-space is slower than a layer above, a mode turns
/// leaky once it climbs to the half-space's Vs.)
constexpr int kMaxRefinements = 2;
/// A dip of the secular function is searched for two hidden roots down to
/// this share of the velocity; closer pairs are one root in any survey.
constexpr double kPairResolution = 1e-7;
/// Golden-section step into the larger side of a dip.
constexpr double kGolden = 0.3819660112501051;
/// Brent's method converges in a dozen evaluations; this bounds a pathological bracket.
constexpr int kMaxRootIterations = 100;
/// More modes than any survey resolves; bounds the work of one call.
constexpr int kMaxModes = 50;

/// The recursion is rescaled only outside these bounds (2^±300).
const double kRescaleAbove = std::ldexp(1.0, 300);
const double kRescaleBelow = std::ldexp(1.0, -300);

/// One finite layer with the constants its recursion step needs.
struct Slab
{
    double H;        ///< thickness, m
    double InvVp2;   ///< 1 / Vp²
    double InvVs2;   ///< 1 / Vs²
    double Vs2;      ///< Vs² of this layer
    double NextVs2;  ///< Vs² of the layer below
    double Epsilon;  ///< density below over density here
    double Density;  ///< density here over the half-space's (Dunkin's form)
};

/// The model as the secular function reads it.
struct Prepared
{
    std::vector<Slab> Slabs;
    double TopVs2 = 0.0;
    double HalfInvVp2 = 0.0;
    double HalfInvVs2 = 0.0;
    double HalfVs2 = 0.0;
    double Lowest = 0.0;  ///< slowest velocity searched, m/s
    double Highest = 0.0; ///< the half-space's Vs: faster modes are leaky
};

Prepared Prepare(const LayeredModel &model)
{
    Prepared p;
    const std::vector<Layer> &layers = model.Layers();
    for (size_t i = 0; i + 1 < layers.size(); ++i) {
        const Layer &l = layers[i];
        const Layer &below = layers[i + 1];
        p.Slabs.push_back(Slab{l.Thickness, 1.0 / (l.Vp * l.Vp), 1.0 / (l.Vs * l.Vs), l.Vs * l.Vs,
                               below.Vs * below.Vs, below.Density / l.Density,
                               l.Density / layers.back().Density});
    }
    const Layer &top = layers.front();
    const Layer &half = layers.back();
    p.TopVs2 = top.Vs * top.Vs;
    p.HalfInvVp2 = 1.0 / (half.Vp * half.Vp);
    p.HalfInvVs2 = 1.0 / (half.Vs * half.Vs);
    p.HalfVs2 = half.Vs * half.Vs;
    p.Lowest = kLowestOverSlowestVs * model.SlowestVs();
    p.Highest = half.Vs;
    return p;
}

/// cosh, r·sinh and sinh/r of k·r·h for one wave in one layer, where
/// r² = 1 − c²/v² (negative when the wave propagates: then cos, −r'·sin and
/// sin/r' with r' = √−r²), scaled by e^−Exponent to stay finite.
struct Wave
{
    double C;
    double RS;
    double SR;
    double Exponent;
};

/// Below this k·r·h, e^−2x − 1 comes from expm1. Above it e^−2x < ½: the
/// subtraction adds no more than one rounding, and exp costs far less.
constexpr double kExpm1Below = 0.35;

inline Wave WaveTerms(double r2, double kh)
{
    if (r2 > 0.0) {
        const double r = std::sqrt(r2);
        const double x = kh * r;
        const double m = x < kExpm1Below ? std::expm1(-2.0 * x) : std::exp(-2.0 * x) - 1.0; // e^−2x − 1
        const double s = -0.5 * m; // sinh(x)·e^−x
        return Wave{1.0 + 0.5 * m, r * s, s / r, x};
    }
    if (r2 < 0.0) {
        const double r = std::sqrt(-r2);
        const double x = kh * r;
        const double s = std::sin(x);
        return Wave{std::cos(x), -r * s, s / r, 0.0};
    }
    return Wave{1.0, 0.0, kh, 0.0};
}

/// Only a deep stack of high contrasts could carry the components of a
/// recursion out of the range of a double; a power of two brings them back
/// exactly. Scaling every step by the largest component instead would keep
/// the signs but flatten the function into a step at each root, and the
/// refinement would fall back to bisection.
void KeepInRange(std::initializer_list<double *> components)
{
    double largest = 0.0;
    for (const double *x : components)
        largest = std::max(largest, std::abs(*x));
    if (largest > kRescaleAbove || (largest < kRescaleBelow && largest > 0.0)) {
        const int shift = -std::ilogb(largest);
        for (double *x : components)
            *x = std::ldexp(*x, shift);
    }
}

/// The secular function at angular frequency omega and phase velocity c.
double Secular(const Prepared &p, double omega, double c)
{
    const double c2 = c * c;
    const double k = omega / c;
    const double t = 2.0 - c2 / p.TopVs2;
    // μ₁² of the published start vector is a positive factor and left out.
    double x1 = 2.0 * t;
    double x2 = -t * t;
    double x3 = 0.0;
    double x4 = 0.0;
    double x5 = -4.0;
    for (const Slab &s : p.Slabs) {
        const double eta = 2.0 * (s.Vs2 - s.Epsilon * s.NextVs2) / c2;
        const double a = s.Epsilon + eta;
        const double ak = a - 1.0;
        const double b = 1.0 - eta;
        const double bk = b - 1.0;
        const double kh = k * s.H;
        const Wave pw = WaveTerms(1.0 - c2 * s.InvVp2, kh);
        const Wave sw = WaveTerms(1.0 - c2 * s.InvVs2, kh);
        // The cosh and sinh terms were scaled by e^−(xa + xb); x1 meets them
        // unscaled and takes the same factor.
        if (pw.Exponent + sw.Exponent > 0.0)
            x1 *= std::exp(-(pw.Exponent + sw.Exponent));
        const double p1 = sw.C * x2 + sw.RS * x3;
        const double p2 = sw.C * x4 + sw.RS * x5;
        const double p3 = sw.SR * x2 + sw.C * x3;
        const double p4 = sw.SR * x4 + sw.C * x5;
        const double q1 = pw.C * p1 - pw.RS * p2;
        const double q2 = -pw.SR * p3 + pw.C * p4;
        const double q3 = pw.C * p3 - pw.RS * p4;
        const double q4 = -pw.SR * p1 + pw.C * p2;
        const double y1 = ak * x1 + a * q1;
        const double y2 = a * x1 + ak * q2;
        const double z1 = b * x1 + bk * q1;
        const double z2 = bk * x1 + b * q2;
        x1 = bk * y1 + b * y2;
        x2 = a * y1 + ak * y2;
        x3 = s.Epsilon * q3;
        x4 = s.Epsilon * q4;
        x5 = bk * z1 + b * z2;
        // Written out rather than through KeepInRange: taking the
        // components' addresses would keep them out of registers in the
        // loop every forward model spends its time in.
        const double largest =
            std::max({std::abs(x1), std::abs(x2), std::abs(x3), std::abs(x4), std::abs(x5)});
        if (largest > kRescaleAbove || (largest < kRescaleBelow && largest > 0.0)) {
            const int shift = -std::ilogb(largest);
            x1 = std::ldexp(x1, shift);
            x2 = std::ldexp(x2, shift);
            x3 = std::ldexp(x3, shift);
            x4 = std::ldexp(x4, shift);
            x5 = std::ldexp(x5, shift);
        }
    }
    const double r = std::sqrt(std::max(0.0, 1.0 - c2 * p.HalfInvVp2));
    const double s = std::sqrt(std::max(0.0, 1.0 - c2 * p.HalfInvVs2));
    return x2 + s * x3 - r * (x4 + s * x5);
}

/// Dunkin's (1965) form of the secular function at angular frequency omega
/// and phase velocity c: the row of 2 × 2 minors of the half-space's
/// outgoing-wave conditions, carried up through the 6 × 6 matrices of minors
/// of each layer's Thomson-Haskell matrix (the delta matrices), read at the
/// free surface's displacements. The state vector is (i·u_x, u_z,
/// σ_zz/kρc², −i·τ_xz/kρc²) with ρ the half-space's density, minors in the
/// order 12, 13, 14, 23, 24, 34. Each minor of a layer's matrix is written out
/// so that cosh² − sinh² = 1 is used exactly: what is left are the products
/// of one P and one S term (cosh, r·sinh, sinh/r, or their trigonometric
/// counterparts for a wave that propagates) and a constant, all real for
/// decaying and propagating waves alike. The products were scaled by
/// e^−(xa + xb) in WaveTerms; the constant takes the same factor.
double SecularDunkin(const Prepared &p, double omega, double c)
{
    const double c2 = c * c;
    const double k = omega / c;
    // The half-space's outgoing-wave conditions, times the positive factor r_β.
    const double ra = std::sqrt(std::max(0.0, 1.0 - c2 * p.HalfInvVp2));
    const double rb = std::sqrt(std::max(0.0, 1.0 - c2 * p.HalfInvVs2));
    const double gn = 2.0 * p.HalfVs2 / c2;
    const double gn1 = gn - 1.0;
    const double cross = gn * ra * rb - gn1;
    double x[6] = {gn1 * gn1 - gn * gn * ra * rb, -ra, cross, -cross, rb, 1.0 - ra * rb};
    for (auto s = p.Slabs.rbegin(); s != p.Slabs.rend(); ++s) {
        const double kh = k * s->H;
        const Wave pw = WaveTerms(1.0 - c2 * s->InvVp2, kh);
        const Wave sw = WaveTerms(1.0 - c2 * s->InvVs2, kh);
        const double e = std::exp(-(pw.Exponent + sw.Exponent));
        const double cc = pw.C * sw.C;
        const double cm = cc - e; // cosh·cosh − 1, scaled
        const double cz = pw.C * sw.SR;
        const double cy = pw.C * sw.RS;
        const double zc = pw.SR * sw.C;
        const double yc = pw.RS * sw.C;
        const double zz = pw.SR * sw.SR;
        const double yy = pw.RS * sw.RS;
        const double zy = pw.SR * sw.RS;
        const double yz = pw.RS * sw.SR;
        const double g = 2.0 * s->Vs2 / c2;
        const double g1 = g - 1.0;
        const double gg1 = g * g1;
        const double d = s->Density;
        const double d2 = d * d;
        // The distinct minors; the others repeat them or their negatives.
        const double m11 = cc + 2.0 * gg1 * cm - (g1 * g1 * zz + g * g * yy);
        const double m12 = (cz - yc) / d;
        const double m13 = (g1 * zz + g * yy - (2.0 * g - 1.0) * cm) / d;
        const double m15 = (cy - zc) / d;
        const double m16 = (2.0 * cm - zz - yy) / d2;
        const double m21 = d * (g * g * cy - g1 * g1 * zc);
        const double m23 = g1 * zc - g * cy;
        const double m31 = d * (gg1 * (2.0 * g - 1.0) * cm - (g1 * g1 * g1 * zz + g * g * g * yy));
        const double m32 = g1 * cz - g * yc;
        const double m33 = e - 2.0 * gg1 * cm + g1 * g1 * zz + g * g * yy;
        const double m34 = 2.0 * gg1 * cm - g1 * g1 * zz - g * g * yy;
        const double m51 = d * (g1 * g1 * cz - g * g * yc);
        const double m61 = d2 * (2.0 * gg1 * gg1 * cm - (g1 * g1 * g1 * g1 * zz + g * g * g * g * yy));
        const double delta[6][6] = {
            {m11, m12, m13, -m13, m15, m16},
            {m21, cc, m23, -m23, -zy, m15},
            {m31, m32, m33, m34, -m23, -m13},
            {-m31, -m32, m34, m33, m23, m13},
            {m51, -yz, -m32, m32, cc, m12},
            {m61, m51, -m31, m31, m21, m11},
        };
        double y[6];
        for (int j = 0; j < 6; ++j) {
            y[j] = 0.0;
            for (int i = 0; i < 6; ++i)
                y[j] += x[i] * delta[i][j];
        }
        std::copy(y, y + 6, x);
        KeepInRange({&x[0], &x[1], &x[2], &x[3], &x[4], &x[5]});
    }
    return x[0];
}

/// Total vertical phase of the waves that propagate in the layers at c:
/// it grows by about π from one mode to the next.
double Phase(const Prepared &p, double omega, double c)
{
    const double slowness2 = 1.0 / (c * c);
    double sum = 0.0;
    for (const Slab &s : p.Slabs)
        sum += s.H * (std::sqrt(std::max(0.0, s.InvVs2 - slowness2)) + std::sqrt(std::max(0.0, s.InvVp2 - slowness2)));
    return omega * sum;
}

/// Brent's method on a bracket [a, b] whose ends have opposite signs.
double Refine(const Prepared &p, double omega, double a, double b, double fa, double fb)
{
    double c = a;
    double fc = fa;
    double d = b - a;
    double e = d;
    for (int i = 0; i < kMaxRootIterations; ++i) {
        if ((fb > 0.0) == (fc > 0.0)) {
            c = a;
            fc = fa;
            d = e = b - a;
        }
        if (std::abs(fc) < std::abs(fb)) {
            a = b;
            b = c;
            c = a;
            fa = fb;
            fb = fc;
            fc = fa;
        }
        // The root lies between b and c, at most 2 × tol from b on return.
        const double tol = 2.0 * DBL_EPSILON * std::abs(b) + 0.5 * kRootTolerance * std::abs(b);
        const double m = 0.5 * (c - b);
        if (std::abs(m) <= tol || fb == 0.0)
            return b;
        if (std::abs(e) >= tol && std::abs(fa) > std::abs(fb)) {
            const double s = fb / fa;
            double pp;
            double q;
            if (a == c) {
                pp = 2.0 * m * s;
                q = 1.0 - s;
            } else {
                const double qa = fa / fc;
                const double r = fb / fc;
                pp = s * (2.0 * m * qa * (qa - r) - (b - a) * (r - 1.0));
                q = (qa - 1.0) * (r - 1.0) * (s - 1.0);
            }
            if (pp > 0.0)
                q = -q;
            else
                pp = -pp;
            if (2.0 * pp < std::min(3.0 * m * q - std::abs(tol * q), std::abs(e * q))) {
                e = d;
                d = pp / q;
            } else {
                d = m;
                e = m;
            }
        } else {
            d = m;
            e = m;
        }
        a = b;
        fa = fb;
        b += std::abs(d) > tol ? d : (m > 0.0 ? tol : -tol);
        fb = Secular(p, omega, b);
    }
    return b;
}

/// Looks into a dip of |F| that did not cross zero: a and c flank b, where F
/// has the same sign σ and σF is smallest. Two roots closer than the grid
/// (modes of two waveguides that hardly couple, where their curves nearly
/// cross) hide in such a dip. Returns a velocity inside where F changes sign,
/// or 0 when the dip stays clear of zero.
double LookIntoDip(const Prepared &p, double omega, double a, double b, double c, double fb)
{
    const double sign = fb > 0.0 ? 1.0 : -1.0;
    double gb = sign * fb;
    while (c - a > kPairResolution * b) {
        const bool left = b - a > c - b;
        const double x = left ? b - kGolden * (b - a) : b + kGolden * (c - b);
        const double gx = sign * Secular(p, omega, x);
        if (gx <= 0.0)
            return x;
        if (gx < gb) {
            (left ? c : a) = b;
            b = x;
            gb = gx;
        } else {
            (left ? a : c) = x;
        }
    }
    return 0.0;
}

/// The lowest wanted roots at omega, slowest first, from a scan of the grid
/// with steps scaled by refine (1, ½, ¼ …).
void ScanRoots(const Prepared &p, double omega, size_t wanted, double refine, std::vector<double> &roots)
{
    roots.clear();
    double before = 0.0; // the grid point before c, 0 at the start
    double fBefore = 0.0;
    double c = p.Lowest;
    double f = Secular(p, omega, c);
    double phase = Phase(p, omega, c);
    const double phaseStep = kPhaseStep * refine;
    double lastStep = p.Highest; // no step taken yet
    while (c < p.Highest && roots.size() < wanted) {
        // The phase changes smoothly: start from twice the last step rather
        // than halving all the way down from the largest at every point.
        double step = std::min({kMaxRelativeStep * refine * c, 2.0 * lastStep, p.Highest - c});
        double next = c + step;
        double nextPhase = Phase(p, omega, next);
        while (nextPhase - phase > phaseStep && step > kMinRelativeStep * c) {
            step *= 0.5;
            next = c + step;
            nextPhase = Phase(p, omega, next);
        }
        lastStep = step;
        if (step >= p.Highest - c)
            next = p.Highest; // land exactly on the cut-off, never beyond it
        const double fNext = Secular(p, omega, next);
        // A root on the cut-off itself is the mode's end, not a guided wave.
        if (fNext == 0.0) {
            if (next < p.Highest)
                roots.push_back(next);
        } else if (f != 0.0 && (f > 0.0) != (fNext > 0.0)) {
            const double root = Refine(p, omega, c, next, f, fNext);
            if (root < p.Highest)
                roots.push_back(root);
        } else if (before > 0.0 && fBefore != 0.0 && (fBefore > 0.0) == (f > 0.0)
                   && std::abs(f) < std::abs(fBefore) && std::abs(f) < std::abs(fNext)) {
            const double x = LookIntoDip(p, omega, before, c, next, f);
            if (x > 0.0) {
                const double fx = Secular(p, omega, x);
                if (fx == 0.0) {
                    roots.push_back(x); // a double root: one mode touching the next
                } else {
                    roots.push_back(Refine(p, omega, before, x, fBefore, fx));
                    if (roots.size() < wanted)
                        roots.push_back(Refine(p, omega, x, next, fx, fNext));
                }
            }
        }
        before = c;
        fBefore = f;
        c = next;
        f = fNext;
        phase = nextPhase;
    }
    std::sort(roots.begin(), roots.end());
    if (roots.size() > wanted)
        roots.resize(wanted);
}

} // namespace

bool ModalCurves::Has(int mode, int i) const
{
    return mode >= 0 && mode < ModeCount() && i >= 0 && size_t(i) < Velocities[size_t(mode)].size()
           && !std::isnan(Velocities[size_t(mode)][size_t(i)]);
}

ModalCurves RayleighPhaseVelocities(const LayeredModel &model, const std::vector<double> &frequencies, int modes)
{
    ModalCurves out;
    out.Frequencies = frequencies;
    if (!model.Ok()) {
        out.Problem = model.Problem();
        return out;
    }
    if (modes < 1 || modes > kMaxModes) {
        out.Problem = QStringLiteral("%1 modes asked for, 1 to %2 possible").arg(modes).arg(kMaxModes);
        return out;
    }
    for (double f : frequencies) {
        if (!(f > 0.0) || !std::isfinite(f)) {
            out.Problem = QStringLiteral("frequency %1 Hz, must be a number above 0").arg(f);
            return out;
        }
    }
    const Prepared p = Prepare(model);
    out.Velocities.assign(size_t(modes), std::vector<double>(frequencies.size(), kNaN));

    // Modes are followed from low to high frequency: a guided mode, once
    // born at its cut-off, persists to higher frequencies.
    std::vector<size_t> order(frequencies.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return frequencies[a] < frequencies[b]; });
    std::vector<double> roots;
    roots.reserve(size_t(modes));
    size_t before = 0;
    for (size_t i : order) {
        const double omega = kTwoPi * frequencies[i];
        double refine = 1.0;
        ScanRoots(p, omega, size_t(modes), refine, roots);
        for (int r = 0; r < kMaxRefinements && roots.size() < before; ++r) {
            refine *= 0.5;
            ScanRoots(p, omega, size_t(modes), refine, roots);
        }
        for (size_t m = 0; m < roots.size(); ++m)
            out.Velocities[m][i] = roots[m];
        before = roots.size();
    }
    return out;
}

double RayleighSecular(const LayeredModel &model, double frequency, double velocity)
{
    if (!model.Ok() || !(frequency > 0.0) || !std::isfinite(frequency) || !(velocity > 0.0)
        || !(velocity <= model.HalfSpace().Vs))
        return kNaN;
    return Secular(Prepare(model), kTwoPi * frequency, velocity);
}

double RayleighSecularDunkin(const LayeredModel &model, double frequency, double velocity)
{
    if (!model.Ok() || !(frequency > 0.0) || !std::isfinite(frequency) || !(velocity > 0.0)
        || !(velocity <= model.HalfSpace().Vs))
        return kNaN;
    return SecularDunkin(Prepare(model), kTwoPi * frequency, velocity);
}
