#pragma once

// Models that break simple searches, random models from a fixed seed, and
// the brute-force look at a secular function the tests and the comparison
// benchmark of its two forms share: sign changes on an even grid, each
// bisected on its own.

#include "surfacewave/LayeredModel.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

struct NamedModel
{
    const char *Name;
    std::vector<Layer> Layers;
};

inline std::vector<NamedModel> HardModels()
{
    return {
        {"soft layer under a stiff one", {{3, 800, 300, 1900}, {5, 400, 120, 1700}, {0, 1200, 450, 2000}}},
        {"stiff layer over soft ground", {{2, 1400, 600, 2100}, {6, 500, 200, 1800}, {0, 700, 300, 1900}}},
        {"thin high-contrast layer",
         {{4, 350, 150, 1800}, {0.3, 3000, 1500, 2400}, {6, 450, 200, 1900}, {0, 900, 400, 2000}}},
        {"Poisson's ratio near 0.49", {{5, 1500, 100, 1900}, {10, 1550, 220, 1950}, {0, 1700, 400, 2000}}},
        {"nearly equal velocities", {{4, 500, 200, 1800}, {4, 500.5, 200.2, 1850}, {0, 520, 210, 1900}}},
        {"thick deep layers, short waves", {{30, 600, 250, 1900}, {80, 1800, 700, 2100}, {0, 3500, 1800, 2500}}},
    };
}

/// A model drawn from rng: 2 to 6 layers over a half-space, Vs 80–1500 m/s
/// evenly, thicknesses 0.3–40 m evenly in their logarithm (thin layers are
/// the hard ones and would be rare on an even scale), Poisson's ratio
/// 0.2–0.49, density 1600–2400 kg/m³. Only the generator's raw output is
/// used, never a library distribution, so a seed gives the same models
/// with any standard library.
inline std::vector<Layer> RandomModel(std::mt19937_64 &rng)
{
    const auto uniform = [&rng](double lo, double hi) { return lo + (hi - lo) * double(rng() >> 11) * 0x1p-53; };
    const int layers = 2 + int(rng() % 5);
    std::vector<Layer> out;
    for (int i = 0; i <= layers; ++i) {
        Layer l;
        l.Thickness = i == layers ? 0.0 : 0.3 * std::exp(uniform(0.0, std::log(40.0 / 0.3)));
        l.Vs = uniform(80.0, 1500.0);
        const double poisson = uniform(0.2, 0.49);
        l.Vp = l.Vs * std::sqrt((2.0 - 2.0 * poisson) / (1.0 - 2.0 * poisson));
        l.Density = uniform(1600.0, 2400.0);
        out.push_back(l);
    }
    return out;
}

using SecularForm = double (*)(const LayeredModel &, double frequency, double velocity);

/// What an even grid of steps + 1 velocities from 0.87 × the slowest Vs up
/// to the half-space's Vs sees of form: each sign change as the pair of
/// grid points around it, the points where form is NaN or infinite, and
/// those where it is exactly 0 (skipped: the sign is taken across them).
struct SignChanges
{
    std::vector<std::pair<double, double>> Brackets;
    int NonFinite = 0;
    int Zeros = 0;
};

inline SignChanges FindSignChanges(SecularForm form, const LayeredModel &m, double frequency, int steps)
{
    SignChanges out;
    const double lo = 0.87 * m.SlowestVs();
    const double hi = m.HalfSpace().Vs;
    double before = 0.0;
    double at = lo;
    for (int i = 0; i <= steps; ++i) {
        const double c = i == steps ? hi : lo + (hi - lo) * i / steps;
        const double f = form(m, frequency, c);
        if (!std::isfinite(f))
            ++out.NonFinite;
        else if (f == 0.0)
            ++out.Zeros;
        else if (before != 0.0 && (f > 0.0) != (before > 0.0))
            out.Brackets.push_back({at, c});
        if (std::isfinite(f) && f != 0.0) {
            before = f;
            at = c;
        }
    }
    return out;
}

/// The root of form in a bracket, by bisection down to relative width tol:
/// bisection trusts nothing but the sign, so it shows what each form's
/// own rounding leaves of the root.
inline double Bisect(SecularForm form, const LayeredModel &m, double frequency, std::pair<double, double> bracket,
                     double tol)
{
    double a = bracket.first;
    double b = bracket.second;
    const bool negativeAtA = form(m, frequency, a) < 0.0;
    while (b - a > tol * b) {
        const double mid = 0.5 * (a + b);
        const double f = form(m, frequency, mid);
        if (f == 0.0 || !std::isfinite(f))
            return mid;
        if ((f < 0.0) == negativeAtA)
            a = mid;
        else
            b = mid;
    }
    return 0.5 * (a + b);
}
