#pragma once

#include "surfacewave/LayeredModel.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

struct CombinedCurve;

/// One point of the dispersion curve an inversion fits.
struct CurvePoint
{
    double Frequency = 0.0; ///< Hz
    double Velocity = 0.0;  ///< m/s, fundamental-mode phase velocity
    double Sd = 0.0;        ///< m/s; 0 or less: none given
};

/// Where a standard deviation is missing (0, negative or not a number) the
/// pick weighs as if it were known to this share of its velocity.
constexpr double kDefaultSdShare = 0.03;
/// Standard deviations below this share of the velocity are raised to it: a
/// bin of two nearly equal picks would otherwise outweigh the rest of the
/// curve by orders of magnitude, though no pick is better than the grid's
/// velocity step and the model's simplification.
constexpr double kSmallestSdShare = 0.01;
/// Fewer picks cannot constrain even a layer over a half-space (three
/// unknowns besides Poisson's ratio).
constexpr int kMinInversionPicks = 3;

/// The curve as the inversion takes it: checked, sorted by frequency, every
/// pick with a usable standard deviation, or refused with the reason.
struct InversionCurve
{
    std::vector<CurvePoint> Points; ///< lowest frequency first
    QString Problem;                ///< why it cannot be inverted; empty when Ok()
    QStringList Notes;              ///< defaults applied, in English, for logs and the record tool
    double ShortestWavelength = 0.0; ///< m
    double LongestWavelength = 0.0;  ///< m

    bool Ok() const { return Problem.isEmpty(); }
};

/// Checks picks for an inversion: a pick whose frequency or velocity is not a
/// number above 0 refuses the curve (it says which); so do fewer than
/// kMinInversionPicks picks. Picks in any order are sorted by frequency;
/// missing standard deviations get kDefaultSdShare of the velocity, tiny
/// ones kSmallestSdShare, and Notes says so.
InversionCurve PrepareCurve(std::vector<CurvePoint> points);
/// The combined curve's bins as picks (a bin of one pick has no spread: the default applies).
InversionCurve PrepareCurve(const CombinedCurve &curve);

/// Layers over the half-space searched by default, and the range allowed.
constexpr int kDefaultLayers = 3;
constexpr int kMinLayers = 1;
constexpr int kMaxLayers = 6;
/// Models the global search tries by default; the local polish adds a few
/// hundred and the appraisal of the acceptable models some four thousand.
constexpr int kDefaultModels = 20000;
/// Fewest models worth a search (the first sweep alone); most the record tool takes.
constexpr int kMinModels = 200;
constexpr int kMaxModels = 1000000;

/// Poisson's ratio searched (one for the whole profile: the curve hardly
/// depends on Vp, and one value keeps the search to what the data resolve).
constexpr double kPoissonLow = 0.2;
constexpr double kPoissonHigh = 0.45;

/// A model is acceptable when its misfit is within this factor of the best:
/// with standard deviations as weights, models that much worse still pass
/// within the picks' spread over most of the curve.
constexpr double kAcceptableFactor = 2.0;

/// Density (kg/m³) the inversion gives a layer of shear velocity vs (m/s):
/// linear between 1700 at 100 m/s, 1800 at 200, 1900 at 400, 2000 at 800,
/// 2200 at 1500 and 2500 at 3000, and held beyond the ends.
double DensityForVs(double vs);
/// Vp of a shear velocity at Poisson's ratio nu: Vs·√((2 − 2ν)/(1 − 2ν)).
double VpForPoisson(double vs, double nu);
/// Travel-time average of the shear velocity to 30 m: 30 / Σ hᵢ/Vsᵢ.
double Vs30OfLayers(const std::vector<Layer> &layers);
/// Shear velocity at a depth (m): of the layer it lies in, a depth on an
/// interface counting to the layer below; the half-space's below the last
/// (0 without layers).
double VsAtDepth(const std::vector<Layer> &layers, double depth);

struct InversionSettings
{
    int Layers = kDefaultLayers; ///< layers over the half-space, kMinLayers…kMaxLayers
    int Models = kDefaultModels; ///< models of the global search, kMinModels…kMaxModels
    std::uint64_t Seed = 1;      ///< the same seed and curve give the same result bit for bit
    bool Polish = true;          ///< the local polish after the search (off only to measure what it adds)
};

/// How far a run has come; given to the progress callback.
struct InversionProgress
{
    int Done = 0;             ///< forward models computed
    int Total = 0;            ///< expected in all (the polish may end sooner)
    double BestMisfit = 0.0;  ///< best so far; 0 before the first model
    bool Polishing = false;   ///< the local polish has begun
};

/// Called now and then (every few tens of milliseconds of work, from the
/// thread running the inversion); returning false stops the run, which then
/// returns the best model so far with Stopped set.
using InversionCallback = std::function<bool(const InversionProgress &)>;

/// Vs over depth from the acceptable models (those the appraisal walked through).
struct VsBand
{
    std::vector<double> Depth;  ///< m, evenly from 0 down past the constrained depth
    std::vector<double> Median; ///< m/s at each depth
    std::vector<double> Low;    ///< 10th percentile
    std::vector<double> High;   ///< 90th percentile
};

struct InversionResult
{
    QString Problem;            ///< why there is no result (a refused curve or settings); empty when Ok()
    bool Stopped = false;       ///< stopped by the callback: the best model so far
    InversionCurve Curve;       ///< the curve fitted
    InversionSettings Settings;

    std::vector<Layer> Best;    ///< surface first, the half-space last with thickness 0
    double Misfit = 0.0;        ///< RMS of (computed − observed) / sd over the picks
    double Poisson = 0.0;       ///< of the best model
    std::vector<double> Fitted; ///< the best model's velocity at each pick (NaN where it has none)

    int Evaluated = 0;          ///< forward models computed
    int Acceptable = 0;         ///< models computed within kAcceptableFactor of the best misfit
    double AcceptableMisfit = 0.0;
    VsBand Band;
    /// Vs30 (m/s): the median of the acceptable models' the appraisal
    /// walked through (of all acceptable models tried when stopped before
    /// it), each band of
    /// Poisson's ratio weighing alike (the curve leaves the ratio open, and
    /// through it the best model's Vs30 swings with the noise), with the 10th
    /// and 90th percentiles. The band over depth is weighed the same way.
    double Vs30 = 0.0;
    double Vs30Low = 0.0;
    double Vs30High = 0.0;
    double BestVs30 = 0.0;      ///< of the best model alone
    double ConstrainedDepth = 0.0; ///< m: half the longest picked wavelength

    bool Ok() const { return Problem.isEmpty(); }
};

/// Fits layered models to the curve: a neighbourhood-algorithm search
/// (Sambridge 1999) over thicknesses, shear velocities and Poisson's ratio
/// within ranges taken from the curve, then a Levenberg–Marquardt polish of
/// the best models across the Poisson's ratio range, then an appraisal: a
/// random walk from each band's best model spreading evenly over the models
/// within kAcceptableFactor of the best misfit, from which the band and the
/// Vs30 statistics come. Plain computation: no shared state, safe to run on
/// any thread.
InversionResult InvertCurve(const InversionCurve &curve, const InversionSettings &settings,
                            const InversionCallback &progress = {});
