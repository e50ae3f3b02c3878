// Times the combined curve of ten 24 x 16384 simulator shots (250 us, 4 s,
// 2 m spacing, each its own seed): every record's dispersion image and
// picks (the screen's default grid), then the bins and Vs30. Prints the
// median processor time of the whole job and of the combining alone, in
// milliseconds. Usage: bench_curve [runs]

#include "BenchUtil.h"
#include "SimulatorShot.h"
#include "analysis/DispersionImage.h"
#include "surfacewave/CombinedCurve.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kDefaultRuns = 11;
constexpr int kRecords = 10;
constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr double kIntervalUs = 250.0;

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    std::vector<TraceSet> shots;
    for (int r = 0; r < kRecords; ++r)
        shots.push_back(bench::SimulatorShot(quint32(11 + r), kChannels, kSamples, kIntervalUs));
    SpreadGeometry geometry;
    geometry.IntervalUs = kIntervalUs;
    geometry.SampleCount = kSamples;
    geometry.ChannelCount = kChannels;
    geometry.OffsetM = 4.0;
    geometry.SpacingM = 2.0;

    std::vector<double> whole;
    std::vector<double> combine;
    CombinedCurve curve;
    Vs30Estimate vs30;
    for (int run = 0; run < runs; ++run) {
        const double t0 = bench::ThreadCpuMs();
        std::vector<RecordPicks> records;
        for (int r = 0; r < kRecords; ++r) {
            const DispersionImage image = ComputeDispersionImage(shots[size_t(r)].data(), kChannels, geometry);
            records.push_back(PicksOfImage(QStringLiteral("R%1.QDW").arg(r), image));
        }
        const double t1 = bench::ThreadCpuMs();
        curve = CombineRecords(records);
        vs30 = EstimateVs30(curve);
        const double t2 = bench::ThreadCpuMs();
        whole.push_back(t2 - t0);
        combine.push_back(t2 - t1);
    }
    std::printf("combined curve of %d records of %d x %d samples: %d bins, %s; median of %d runs (ms)\n", kRecords,
                kChannels, kSamples, int(curve.Bins.size()),
                vs30.Ok() ? qPrintable(QStringLiteral("Vs30 %1 m/s").arg(vs30.Vs30, 0, 'f', 0))
                          : qPrintable(vs30.Reason),
                runs);
    std::printf("%-44s %9s\n", "images, picks, bins and Vs30", qPrintable(bench::Ms(bench::Median(whole))));
    std::printf("%-44s %9s\n", "bins and Vs30 alone", qPrintable(bench::Ms(bench::Median(combine))));
    return 0;
}
