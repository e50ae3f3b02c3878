// Times the inversion as the crew runs it: forward models per second of
// processor time (fundamental mode at 40 picks, three layers over a
// half-space), then a default inversion (3 layers, 20 000 models) of a
// synthetic 40-pick curve with 3 % noise, then the same curve from several
// seeds with a smaller search, with and without the local polish, to show
// what the polish adds (the appraisal of the acceptable models runs in
// both). Usage: bench_inversion [models of the seed table] [seeds]

#include "BenchUtil.h"
#include "SyntheticCurve.h"
#include "surfacewave/Inversion.h"
#include "surfacewave/RayleighDispersion.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kPicks = 40;
constexpr double kLowHz = 5.0;
constexpr double kHighHz = 60.0;
constexpr double kNoise = 0.03;
constexpr double kForwardSeconds = 1.0;
constexpr int kDefaultTableModels = 6000;
constexpr int kDefaultSeeds = 8;

const std::vector<Layer> kTruth = {
    {3, 300, 150, 1750}, {7, 520, 260, 1830}, {10, 800, 400, 1900}, {0, 1100, 550, 1950}};

} // namespace

int main(int argc, char **argv)
{
    const int tableModels = argc > 1 ? std::max(int(kMinModels), std::atoi(argv[1])) : kDefaultTableModels;
    const int seeds = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultSeeds;

    const std::vector<double> f = LogSpacedFrequencies(kLowHz, kHighHz, kPicks);
    const LayeredModel model(kTruth);
    int calls = 0;
    const double t0 = bench::ThreadCpuMs();
    while (bench::ThreadCpuMs() - t0 < kForwardSeconds * 1000.0) {
        RayleighPhaseVelocities(model, f, 1);
        ++calls;
    }
    const double perSecond = calls / ((bench::ThreadCpuMs() - t0) / 1000.0);
    std::printf("forward model, fundamental mode at %d picks, 3 layers + half-space: %.0f models per second of one core\n",
                kPicks, perSecond);

    const InversionCurve curve = PrepareCurve(NoisyCurve(kTruth, f, kNoise, 7));
    const double trueVs30 = Vs30OfLayers(kTruth);
    const double t1 = bench::ThreadCpuMs();
    const InversionResult r = InvertCurve(curve, InversionSettings{});
    const double ms = bench::ThreadCpuMs() - t1;
    std::printf("default inversion (%d layers, %d models, %d picks): %s ms processor time, %d forward models\n",
                kDefaultLayers, kDefaultModels, kPicks, qPrintable(bench::Ms(ms)), r.Evaluated);
    std::printf("  misfit %.3f, Vs30 %.1f m/s (%.1f-%.1f), true %.1f m/s, %d acceptable models\n", r.Misfit, r.Vs30,
                r.Vs30Low, r.Vs30High, trueVs30, r.Acceptable);

    std::printf("seeds at %d models: Vs30 error %% and misfit, search alone / with the polish\n", tableModels);
    for (int s = 1; s <= seeds; ++s) {
        InversionSettings alone;
        alone.Models = tableModels;
        alone.Seed = std::uint64_t(s);
        alone.Polish = false;
        InversionSettings polished = alone;
        polished.Polish = true;
        const InversionResult a = InvertCurve(curve, alone);
        const InversionResult b = InvertCurve(curve, polished);
        std::printf("  seed %2d: %6.1f %% %6.3f  /  %6.1f %% %6.3f\n", s, 100.0 * (a.Vs30 / trueVs30 - 1.0), a.Misfit,
                    100.0 * (b.Vs30 / trueVs30 - 1.0), b.Misfit);
    }
    return 0;
}
