// Times the Rayleigh forward model as the inversion uses it: the fundamental
// mode at 100 frequencies (1 to 100 Hz) of a model of four layers over a
// half-space and of three, and five modes of the same. Prints the median
// processor time of one call in milliseconds. Usage: bench_forward [runs]

#include "BenchUtil.h"
#include "surfacewave/RayleighDispersion.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kDefaultRuns = 201;
constexpr int kFrequencies = 100;

struct Case
{
    const char *Name;
    std::vector<Layer> Layers;
};

double Time(const LayeredModel &model, const std::vector<double> &f, int modes, int runs, int &found)
{
    std::vector<double> ms;
    RayleighPhaseVelocities(model, f, modes); // warm the caches
    for (int r = 0; r < runs; ++r) {
        const double t0 = bench::ThreadCpuMs();
        const ModalCurves c = RayleighPhaseVelocities(model, f, modes);
        ms.push_back(bench::ThreadCpuMs() - t0);
        found = 0;
        for (int m = 0; m < c.ModeCount(); ++m)
            for (size_t i = 0; i < f.size(); ++i)
                found += c.Has(m, int(i));
    }
    return bench::Median(ms);
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    std::vector<double> f;
    for (int i = 1; i <= kFrequencies; ++i)
        f.push_back(i);
    const Case cases[] = {
        {"3 layers + half-space", {{2, 350, 150, 1800}, {4, 500, 230, 1850}, {8, 700, 320, 1900}, {0, 900, 450, 2000}}},
        {"4 layers + half-space",
         {{2, 350, 150, 1800}, {4, 500, 230, 1850}, {6, 700, 320, 1900}, {10, 900, 400, 1950}, {0, 1200, 550, 2000}}},
        {"4 layers + half-space, soft layer at 6 m",
         {{2, 450, 200, 1800}, {4, 800, 320, 1900}, {5, 450, 170, 1800}, {10, 900, 400, 1950}, {0, 1200, 550, 2000}}},
    };
    std::printf("forward model, %d frequencies 1-100 Hz; median processor time of one call over %d runs (ms)\n",
                kFrequencies, runs);
    std::printf("%-44s %12s %12s %8s\n", "model", "fundamental", "five modes", "roots");
    for (const Case &c : cases) {
        const LayeredModel model(c.Layers);
        int one = 0;
        int five = 0;
        const double t1 = Time(model, f, 1, runs, one);
        const double t5 = Time(model, f, 5, runs, five);
        std::printf("%-44s %12s %12s %4d/%d\n", c.Name, qPrintable(bench::Ms(t1)), qPrintable(bench::Ms(t5)), one,
                    five);
    }
    return 0;
}
