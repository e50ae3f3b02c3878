#include "surfacewave/CombinedCurve.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

/// Brown, Diehl and Nigbor (2000): Vs30 ≈ 1.076 × c at 36 m wavelength.
constexpr double kVs30Wavelength = 36.0;
constexpr double kVs30Factor = 1.076;
/// Floating slack at the ends of the resolved range, so that a pick on a
/// bound (a picker's own limit) stays in.
constexpr double kEdgeSlack = 1e-9;

struct Sample
{
    double Velocity;
    double Wavelength;
    int Record;
};

void MeanSd(const std::vector<Sample> &s, double &mean, double &sd)
{
    mean = 0.0;
    for (const Sample &x : s)
        mean += x.Velocity;
    mean /= double(s.size());
    double sum = 0.0;
    for (const Sample &x : s)
        sum += (x.Velocity - mean) * (x.Velocity - mean);
    sd = s.size() > 1 ? std::sqrt(sum / double(s.size() - 1)) : 0.0;
}

} // namespace

RecordPicks PicksOfImage(const QString &record, const DispersionImage &image)
{
    RecordPicks r;
    r.Record = record;
    if (!image.Ok())
        return r;
    r.SpacingM = 0.5 * image.ShortestWavelength;
    r.SpreadM = image.LongestWavelength;
    r.Picks = image.Curve;
    return r;
}

CombinedCurve CombineRecords(const std::vector<RecordPicks> &records)
{
    CombinedCurve out;
    double spacing = 0.0;
    std::vector<const RecordPicks *> used;
    for (const RecordPicks &r : records) {
        if (!(r.SpacingM > 0.0) || !(r.SpreadM > 2.0 * r.SpacingM) || !std::isfinite(r.SpreadM))
            continue;
        spacing = used.empty() ? r.SpacingM : std::min(spacing, r.SpacingM);
        out.LongestWavelength = std::max(out.LongestWavelength, r.SpreadM);
        used.push_back(&r);
    }
    out.RecordCount = int(used.size());
    if (used.empty())
        return out;
    out.ShortestWavelength = 2.0 * spacing;

    const double lo = std::log(out.ShortestWavelength);
    const double width = (std::log(out.LongestWavelength) - lo) / kCurveBins;
    std::vector<std::vector<Sample>> bins(kCurveBins);
    for (size_t r = 0; r < used.size(); ++r) {
        for (const DispersionPick &p : used[r]->Picks) {
            if (!(p.Wavelength > 0.0) || !std::isfinite(p.Velocity) || !std::isfinite(p.Wavelength))
                continue;
            const double at = (std::log(p.Wavelength) - lo) / width;
            if (at < -kEdgeSlack || at > kCurveBins + kEdgeSlack)
                continue;
            const int bin = std::clamp(int(std::floor(at)), 0, kCurveBins - 1);
            bins[size_t(bin)].push_back({p.Velocity, p.Wavelength, int(r)});
        }
    }
    const int needed = used.size() > 1 ? 2 : 1;
    for (std::vector<Sample> &s : bins) {
        if (s.empty())
            continue;
        double mean = 0.0;
        double sd = 0.0;
        MeanSd(s, mean, sd);
        const size_t before = s.size();
        s.erase(std::remove_if(s.begin(), s.end(),
                               [&](const Sample &x) { return std::abs(x.Velocity - mean) > kOutlierSd * sd; }),
                s.end());
        out.Dropped += int(before - s.size());
        std::set<int> contributors;
        for (const Sample &x : s)
            contributors.insert(x.Record);
        if (int(contributors.size()) < needed)
            continue;
        CurveBin b;
        MeanSd(s, b.Velocity, b.Sd);
        for (const Sample &x : s)
            b.Wavelength += x.Wavelength;
        b.Wavelength /= double(s.size());
        b.Frequency = b.Velocity / b.Wavelength;
        b.Count = int(s.size());
        b.Records = int(contributors.size());
        out.Bins.push_back(b);
    }
    return out;
}

QString NehrpClass(double vs30)
{
    if (vs30 > 1500.0)
        return QStringLiteral("A");
    if (vs30 >= 760.0)
        return QStringLiteral("B");
    if (vs30 >= 360.0)
        return QStringLiteral("C");
    if (vs30 >= 180.0)
        return QStringLiteral("D");
    return QStringLiteral("E");
}

QString Ec8Class(double vs30)
{
    if (vs30 > 800.0)
        return QStringLiteral("A");
    if (vs30 >= 360.0)
        return QStringLiteral("B");
    if (vs30 >= 180.0)
        return QStringLiteral("C");
    return QStringLiteral("D");
}

Vs30Estimate EstimateVs30(const CombinedCurve &curve)
{
    Vs30Estimate e;
    if (curve.Bins.empty()) {
        e.Refusal = Vs30Refusal::NoCurve;
        e.Reason = QStringLiteral("no combined curve");
        return e;
    }
    if (kVs30Wavelength < curve.ShortestWavelength || kVs30Wavelength > curve.LongestWavelength) {
        e.Refusal = Vs30Refusal::ShortSpread;
        e.Reason = QStringLiteral("36 m lies outside the wavelengths the spread resolves (%1 to %2 m)")
                       .arg(curve.ShortestWavelength, 0, 'f', 1)
                       .arg(curve.LongestWavelength, 0, 'f', 1);
        return e;
    }
    const std::vector<CurveBin> &b = curve.Bins;
    if (kVs30Wavelength < b.front().Wavelength || kVs30Wavelength > b.back().Wavelength) {
        e.Refusal = Vs30Refusal::OutsidePicks;
        e.Reason = QStringLiteral("36 m lies outside the picked wavelengths (%1 to %2 m)")
                       .arg(b.front().Wavelength, 0, 'f', 1)
                       .arg(b.back().Wavelength, 0, 'f', 1);
        return e;
    }
    size_t i = 1;
    while (i + 1 < b.size() && b[i].Wavelength < kVs30Wavelength)
        ++i;
    if (b.size() == 1) {
        e.PhaseVelocity36 = b.front().Velocity;
    } else {
        const CurveBin &p = b[i - 1];
        const CurveBin &q = b[i];
        const double w = (std::log(kVs30Wavelength) - std::log(p.Wavelength)) / (std::log(q.Wavelength) - std::log(p.Wavelength));
        e.PhaseVelocity36 = p.Velocity + w * (q.Velocity - p.Velocity);
    }
    e.Refusal = Vs30Refusal::None;
    e.Vs30 = kVs30Factor * e.PhaseVelocity36;
    e.Nehrp = NehrpClass(e.Vs30);
    e.Ec8 = Ec8Class(e.Vs30);
    return e;
}

QString Vs30Text(const Vs30Estimate &e)
{
    switch (e.Refusal) {
    case Vs30Refusal::None:
        return QStringLiteral("Vs30 ≈ %1 m/s (%2类 / EC8 %3)").arg(e.Vs30, 0, 'f', 0).arg(e.Nehrp, e.Ec8);
    case Vs30Refusal::ShortSpread:
        return QStringLiteral("无Vs30：排列过短，36m波长超出可分辨范围");
    case Vs30Refusal::OutsidePicks:
        return QStringLiteral("无Vs30：拾取的波长未达到36m");
    case Vs30Refusal::NoCurve:
    default:
        return QStringLiteral("无Vs30：尚无综合频散曲线");
    }
}
