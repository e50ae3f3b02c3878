#pragma once

// Dispersion curves of a known ground, as the inversion tests and the
// inversion benchmark both pick them.

#include "surfacewave/Inversion.h"
#include "surfacewave/RayleighDispersion.h"

#include <cmath>
#include <random>
#include <vector>

/// count frequencies from lowHz to highHz, evenly in their logarithm (as a
/// dispersion pick spreads over wavelengths).
inline std::vector<double> LogSpacedFrequencies(double lowHz, double highHz, int count)
{
    std::vector<double> f;
    for (int i = 0; i < count; ++i)
        f.push_back(lowHz * std::pow(highHz / lowHz, double(i) / (count - 1)));
    return f;
}

/// The fundamental mode of truth at frequencies, each velocity off by
/// Gaussian noise of noise × itself and given that as its standard
/// deviation. Box–Muller on the generator's raw output, so that a seed gives
/// the same curve with any standard library.
inline std::vector<CurvePoint> NoisyCurve(const std::vector<Layer> &truth, const std::vector<double> &frequencies,
                                          double noise, unsigned seed)
{
    const ModalCurves c = RayleighPhaseVelocities(LayeredModel(truth), frequencies, 1);
    std::mt19937_64 rng(seed);
    std::vector<CurvePoint> points;
    for (size_t i = 0; i < frequencies.size(); ++i) {
        const double u1 = (double(rng() >> 11) + 1.0) * 0x1.0p-53;
        const double u2 = double(rng() >> 11) * 0x1.0p-53;
        const double g = std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
        const double v = c.Velocities[0][i];
        points.push_back(CurvePoint{frequencies[i], v * (1.0 + noise * g), noise * v});
    }
    return points;
}
