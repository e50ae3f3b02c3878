#pragma once

#include "surfacewave/LayeredModel.h"

#include <QString>
#include <vector>

/// Rayleigh-wave phase velocities of a layered model, mode by mode.
struct ModalCurves
{
    QString Problem;                 ///< why nothing was computed; empty when Ok()
    std::vector<double> Frequencies; ///< Hz, in the order asked for
    /// Velocities[mode][i]: m/s at Frequencies[i]; NaN where that mode does
    /// not exist (below its cut-off, or no guided wave at all).
    std::vector<std::vector<double>> Velocities;

    bool Ok() const { return Problem.isEmpty(); }
    int ModeCount() const { return int(Velocities.size()); }
    /// True where mode has a velocity at frequency index i.
    bool Has(int mode, int i) const;
};

/// Phase velocities of the fundamental (mode 0) and the next modes − 1
/// higher modes at each frequency (Hz, any order, each above 0). Every mode
/// lies between 0.87 × the model's slowest Vs and the half-space's Vs; mode m
/// is the m-th root from the slowest, refined to 1e-9 relative. Cheap enough
/// to call many thousand times (no shared state, one small allocation per
/// mode); a refused model or frequency fills only Problem.
ModalCurves RayleighPhaseVelocities(const LayeredModel &model, const std::vector<double> &frequencies,
                                    int modes = 1);

/// The Rayleigh secular function of model at frequency (Hz) and phase
/// velocity (m/s) below the half-space's Vs, scaled by a positive factor
/// that keeps it finite: only its sign and its zeros carry meaning. Exposed
/// for checks and plots; NaN for a refused model or arguments out of range.
double RayleighSecular(const LayeredModel &model, double frequency, double velocity);

/// The same secular function in Dunkin's delta-matrix form: the 6 × 6
/// matrices of 2 × 2 minors of each layer's propagator, exponentials scaled
/// out, in real arithmetic. Its zeros are RayleighSecular's; its sign and
/// scale may differ. Kept for checks and for comparing the two forms'
/// robustness; the root search uses RayleighSecular's fast form. NaN where
/// RayleighSecular is NaN.
double RayleighSecularDunkin(const LayeredModel &model, double frequency, double velocity);
