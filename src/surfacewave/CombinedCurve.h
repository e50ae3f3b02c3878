#pragma once

#include "analysis/DispersionImage.h"

#include <QString>
#include <vector>

/// One record's picked curve and the spread it was shot with.
struct RecordPicks
{
    QString Record;  ///< the record's file name, which identifies it in a project
    double SpacingM = 0.0; ///< receiver spacing
    double SpreadM = 0.0;  ///< spread length: the longest wavelength it resolves
    std::vector<DispersionPick> Picks;
};

/// A record's picks and spread as its dispersion image gives them.
RecordPicks PicksOfImage(const QString &record, const DispersionImage &image);

/// One wavelength bin of the combined curve.
struct CurveBin
{
    double Wavelength = 0.0; ///< m, mean of the kept picks
    double Frequency = 0.0;  ///< Hz, Velocity / Wavelength
    double Velocity = 0.0;   ///< m/s, mean of the kept picks
    double Sd = 0.0;         ///< m/s, their standard deviation (0 for one pick)
    int Count = 0;           ///< picks kept
    int Records = 0;         ///< records among them
};

/// The dispersion curve of a spread from several records (source offsets,
/// forward and reverse shots): picks gathered by wavelength.
struct CombinedCurve
{
    std::vector<CurveBin> Bins;     ///< shortest wavelength first
    double ShortestWavelength = 0.0; ///< 2 × the spacing: shorter waves alias
    double LongestWavelength = 0.0;  ///< the spread length
    int RecordCount = 0;             ///< records with a spread that took part
    int Dropped = 0;                 ///< picks beyond kOutlierSd of their bin
};

/// Wavelength bins between 2 × spacing and the spread length, log-spaced.
constexpr int kCurveBins = 30;
/// A pick further than this many standard deviations from its bin's mean is dropped.
constexpr double kOutlierSd = 2.5;

/// Combines the records' picks: each pick in its log-spaced wavelength bin
/// (kCurveBins between 2 × the smallest spacing and the longest spread),
/// picks beyond kOutlierSd standard deviations of their bin dropped, then
/// the mean, standard deviation and counts per bin. A bin is kept where at
/// least two records contribute, or the one record when there is only one.
/// Records without a usable spacing or spread are left out.
CombinedCurve CombineRecords(const std::vector<RecordPicks> &records);

/// Why no Vs30 could be given.
enum class Vs30Refusal {
    None,
    NoCurve,      ///< no bin was kept
    ShortSpread,  ///< 36 m lies outside the wavelengths the spread resolves
    OutsidePicks, ///< 36 m lies outside the wavelengths the picks reach
};

/// Vs30 from the combined curve and its site classes.
struct Vs30Estimate
{
    Vs30Refusal Refusal = Vs30Refusal::NoCurve;
    double PhaseVelocity36 = 0.0; ///< m/s at 36 m wavelength
    double Vs30 = 0.0;            ///< m/s
    QString Nehrp;                ///< "A" … "E"
    QString Ec8;                  ///< "A" … "D"
    QString Reason;               ///< English, without commas, when refused

    bool Ok() const { return Refusal == Vs30Refusal::None; }
};

/// Vs30 ≈ 1.076 × the phase velocity at 36 m wavelength (Brown, Diehl and
/// Nigbor 2000), interpolated between the bins either side in log wavelength.
Vs30Estimate EstimateVs30(const CombinedCurve &curve);

/// NEHRP site class of a Vs30 (m/s): A > 1500, B 760–1500, C 360–760, D 180–360, E < 180.
QString NehrpClass(double vs30);
/// Eurocode 8 ground type of a Vs30 (m/s): A > 800, B 360–800, C 180–360, D < 180.
QString Ec8Class(double vs30);

/// The operator's line: "Vs30 ≈ 412 m/s (C类 / EC8 B)" or why there is none.
QString Vs30Text(const Vs30Estimate &estimate);
