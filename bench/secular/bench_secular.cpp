// Head to head, the two forms of the Rayleigh secular function: the fast
// delta matrix the root search uses (RayleighSecular) and Dunkin's 6 × 6
// delta matrix (RayleighSecularDunkin).
//  (a) The hard models of the tests and random models from a fixed seed, at
//      1–200 Hz: sign changes of each on an even velocity grid, points where
//      either is not finite or exactly 0, the cases where the counts differ,
//      and the largest relative difference of the roots each gives when its
//      own brackets are bisected to 1e-12.
//      Each form also against itself on the same ground with every layer cut
//      in two: its own rounding, with no third opinion needed.
//  (b) The same on models whose layers reach k·h of several thousand (every
//      layer cut in three for the self-check).
//  (c) Processor time of one evaluation of each, in ns, and per layer.
// Usage: bench_secular [random models] [grid steps]   (defaults 300, 4000)

#include "BenchUtil.h"
#include "SecularProbe.h"
#include "surfacewave/RayleighDispersion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kSeed = 20240917;
constexpr int kDefaultRandomModels = 300;
constexpr int kDefaultSteps = 4000;
/// The grid for (b) is finer: thick layers at 200 Hz carry hundreds of modes.
constexpr int kExtremeSteps = 200000;
/// Roots are bisected to this share of their value: far below the
/// differences the forms' rounding makes, so those are what is measured.
constexpr double kBisection = 1e-14;
/// The tests hold both forms' roots to this share; counted here to show the margin.
constexpr double kAgreement = 1e-8;
constexpr int kMaxListed = 15;

const SecularForm kForms[2] = {RayleighSecular, RayleighSecularDunkin};
const char *const kFormNames[2] = {"fast", "Dunkin"};

struct Tally
{
    long Cases = 0;
    long Changes[2] = {0, 0};
    long NonFinite[2] = {0, 0};
    long Zeros[2] = {0, 0};
    long CountsDiffer = 0;
    long Roots = 0;
    long BeyondAgreement = 0;
    double WorstRelative = 0.0;
    std::string WorstWhere;
    double LargestKh = 0.0;
    int Listed = 0;
};

/// The largest k·h of model's layers at frequency, at the slowest velocity searched.
double LargestKh(const LayeredModel &m, double frequency)
{
    const double k = 2.0 * M_PI * frequency / (0.87 * m.SlowestVs());
    double h = 0.0;
    for (const Layer &l : m.Layers())
        h = std::max(h, l.Thickness);
    return k * h;
}

void Compare(const std::string &name, const LayeredModel &m, double frequency, int steps, Tally &t)
{
    SignChanges s[2];
    for (int i = 0; i < 2; ++i) {
        s[i] = FindSignChanges(kForms[i], m, frequency, steps);
        t.Changes[i] += long(s[i].Brackets.size());
        t.NonFinite[i] += s[i].NonFinite;
        t.Zeros[i] += s[i].Zeros;
    }
    ++t.Cases;
    t.LargestKh = std::max(t.LargestKh, LargestKh(m, frequency));
    const bool unusual = s[0].NonFinite || s[1].NonFinite || s[0].Zeros || s[1].Zeros;
    if (s[0].Brackets.size() != s[1].Brackets.size() || unusual) {
        t.CountsDiffer += s[0].Brackets.size() != s[1].Brackets.size();
        if (t.Listed++ < kMaxListed)
            std::printf("  %-34s %6.1f Hz: sign changes fast %zu, Dunkin %zu; not finite %d/%d; zero %d/%d\n",
                        name.c_str(), frequency, s[0].Brackets.size(), s[1].Brackets.size(), s[0].NonFinite,
                        s[1].NonFinite, s[0].Zeros, s[1].Zeros);
        if (s[0].Brackets.size() != s[1].Brackets.size())
            return;
    }
    for (size_t r = 0; r < s[0].Brackets.size(); ++r) {
        const double a = Bisect(kForms[0], m, frequency, s[0].Brackets[r], kBisection);
        const double b = Bisect(kForms[1], m, frequency, s[1].Brackets[r], kBisection);
        const double rel = std::abs(a - b) / a;
        ++t.Roots;
        t.BeyondAgreement += rel > kAgreement;
        if (rel > t.WorstRelative) {
            t.WorstRelative = rel;
            char where[160];
            std::snprintf(where, sizeof where, "%s, %.1f Hz, root %zu at %.6f m/s", name.c_str(), frequency, r + 1,
                          a);
            t.WorstWhere = where;
        }
    }
}

void Print(const char *title, const Tally &t)
{
    std::printf("%s: %ld model-frequency cases, largest k*h %.0f\n", title, t.Cases, t.LargestKh);
    for (int i = 0; i < 2; ++i)
        std::printf("  %-7s sign changes %8ld, grid points not finite %ld, exactly zero %ld\n", kFormNames[i],
                    t.Changes[i], t.NonFinite[i], t.Zeros[i]);
    std::printf("  cases where the counts differ: %ld\n", t.CountsDiffer);
    std::printf("  roots compared %ld, more than %.0e apart %ld; largest relative difference %.3g (%s)\n", t.Roots,
                kAgreement, t.BeyondAgreement, t.WorstRelative, t.WorstWhere.empty() ? "-" : t.WorstWhere.c_str());
}

/// The model with each layer cut into parts equal layers of the same
/// material: the same ground, so the same roots, reached by other arithmetic.
/// What a form gives differently on the two is its own rounding; this needs
/// no third opinion where both forms might err alike.
LayeredModel SplitLayers(const std::vector<Layer> &layers, int parts)
{
    std::vector<Layer> out;
    for (const Layer &l : layers) {
        if (l.Thickness == 0.0) {
            out.push_back(l);
            continue;
        }
        Layer piece = l;
        piece.Thickness /= parts;
        out.insert(out.end(), size_t(parts), piece);
    }
    return LayeredModel(out);
}

struct SplitTally
{
    long CountsDiffer[2] = {0, 0};
    long Roots[2] = {0, 0};
    double WorstRelative[2] = {0.0, 0.0};
    std::string WorstWhere[2];
};

void CompareSplit(const std::string &name, const LayeredModel &whole, const LayeredModel &split, double frequency,
                  int steps, SplitTally &t)
{
    for (int i = 0; i < 2; ++i) {
        const SignChanges a = FindSignChanges(kForms[i], whole, frequency, steps);
        const SignChanges b = FindSignChanges(kForms[i], split, frequency, steps);
        if (a.Brackets.size() != b.Brackets.size()) {
            ++t.CountsDiffer[i];
            std::printf("  %s form: %zu sign changes whole, %zu with the layers split, at %.1f Hz\n",
                        kFormNames[i], a.Brackets.size(), b.Brackets.size(), frequency);
            continue;
        }
        for (size_t r = 0; r < a.Brackets.size(); ++r) {
            const double x = Bisect(kForms[i], whole, frequency, a.Brackets[r], kBisection);
            const double y = Bisect(kForms[i], split, frequency, b.Brackets[r], kBisection);
            ++t.Roots[i];
            if (std::abs(x - y) / x > t.WorstRelative[i]) {
                t.WorstRelative[i] = std::abs(x - y) / x;
                char where[160];
                std::snprintf(where, sizeof where, "%s, %.1f Hz, root %zu at %.6f m/s", name.c_str(), frequency,
                              r + 1, x);
                t.WorstWhere[i] = where;
            }
        }
    }
}

void PrintSplit(const char *what, const SplitTally &t)
{
    std::printf("  each form against itself with %s:\n", what);
    for (int i = 0; i < 2; ++i)
        std::printf("  %-7s cases where the counts differ %ld; roots compared %ld, largest relative difference %.3g (%s)\n",
                    kFormNames[i], t.CountsDiffer[i], t.Roots[i], t.WorstRelative[i],
                    t.WorstWhere[i].empty() ? "-" : t.WorstWhere[i].c_str());
}

/// Median processor time of one evaluation of form in ns, over velocities
/// spread across model's range at 10 Hz.
double NsPerEvaluation(SecularForm form, const LayeredModel &m, double &sink)
{
    constexpr int kEvaluations = 50000;
    constexpr int kRuns = 7;
    const double lo = 0.87 * m.SlowestVs();
    const double hi = m.HalfSpace().Vs;
    std::vector<double> ns;
    for (int r = 0; r < kRuns; ++r) {
        const double t0 = bench::ThreadCpuMs();
        for (int i = 0; i < kEvaluations; ++i)
            sink += form(m, 10.0, lo + (hi - lo) * (i + 0.5) / kEvaluations);
        ns.push_back((bench::ThreadCpuMs() - t0) * 1e6 / kEvaluations);
    }
    return bench::Median(ns);
}

} // namespace

int main(int argc, char **argv)
{
    const int randomModels = argc > 1 ? std::max(0, std::atoi(argv[1])) : kDefaultRandomModels;
    const int steps = argc > 2 ? std::max(10, std::atoi(argv[2])) : kDefaultSteps;
    const double frequencies[] = {1, 2, 5, 10, 20, 50, 100, 200};

    std::printf("(a) grid of %d steps from 0.87 x slowest Vs to the half-space's Vs, roots bisected to %.0e\n", steps,
                kBisection);
    Tally hard;
    for (const NamedModel &n : HardModels())
        for (double f : frequencies)
            Compare(n.Name, LayeredModel(n.Layers), f, steps, hard);
    Print("hard models", hard);
    SplitTally hardSplit;
    for (const NamedModel &n : HardModels())
        for (double f : frequencies)
            CompareSplit(n.Name, LayeredModel(n.Layers), SplitLayers(n.Layers, 2), f, steps, hardSplit);
    PrintSplit("every layer cut in two", hardSplit);

    Tally random;
    std::mt19937_64 rng(kSeed);
    for (int i = 0; i < randomModels; ++i) {
        const LayeredModel m(RandomModel(rng));
        for (double f : frequencies)
            Compare("random model " + std::to_string(i + 1), m, f, steps, random);
    }
    Print(qPrintable(QStringLiteral("%1 random models, seed %2").arg(randomModels).arg(kSeed)), random);
    SplitTally randomSplit;
    rng.seed(kSeed);
    for (int i = 0; i < randomModels; ++i) {
        const std::vector<Layer> layers = RandomModel(rng);
        for (double f : frequencies)
            CompareSplit("random model " + std::to_string(i + 1), LayeredModel(layers), SplitLayers(layers, 2), f,
                         steps, randomSplit);
    }
    PrintSplit("every layer cut in two", randomSplit);
    if (const char *dump = std::getenv("ZEB_BENCH_SHOW_MODEL")) {
        rng.seed(kSeed);
        for (int i = 1; i <= std::atoi(dump); ++i) {
            const std::vector<Layer> layers = RandomModel(rng);
            if (i == std::atoi(dump))
                for (const Layer &l : layers)
                    std::printf("    %g m, Vp %g, Vs %g, density %g\n", l.Thickness, l.Vp, l.Vs, l.Density);
        }
    }

    std::printf("\n(b) thick layers at high frequency, grid of %d steps\n", kExtremeSteps);
    const NamedModel extreme[] = {
        {"soft skin over 500 m of stiff rock", {{2, 300, 100, 1800}, {500, 1600, 800, 2200}, {0, 2000, 1000, 2400}}},
        {"400 m of soft ground on rock", {{400, 500, 150, 1800}, {0, 2500, 1200, 2300}}},
        {"stiff lid, 600 m soft, rock", {{5, 800, 400, 2000}, {600, 600, 200, 1800}, {0, 3000, 1500, 2400}}},
        {"6 km of stiff rock over slower ground", {{6000, 2800, 1400, 2300}, {0, 1600, 800, 2100}}},
    };
    Tally thick;
    for (const NamedModel &n : extreme)
        for (double f : {20.0, 100.0, 200.0})
            Compare(n.Name, LayeredModel(n.Layers), f, kExtremeSteps, thick);
    Print("thick layers", thick);
    SplitTally split;
    for (const NamedModel &n : extreme)
        for (double f : {20.0, 100.0, 200.0})
            CompareSplit(n.Name, LayeredModel(n.Layers), SplitLayers(n.Layers, 3), f, kExtremeSteps, split);
    PrintSplit("every layer cut in three", split);
    std::printf("\n(c) processor time of one evaluation at 10 Hz, median of 7 runs (ns)\n");
    std::mt19937_64 costRng(kSeed);
    std::vector<Layer> six;
    while (six.size() != 7)
        six = RandomModel(costRng);
    const NamedModel costed[] = {
        {"half-space only", {{0, 900, 400, 2000}}},
        {"1 layer", {{5, 500, 200, 1800}, {0, 900, 400, 2000}}},
        {"3 layers (thin high-contrast)", HardModels()[2].Layers},
        {"6 layers (random)", six},
    };
    double sink = 0.0;
    double base[2] = {0.0, 0.0};
    std::printf("%-32s %10s %10s %14s %14s\n", "model", "fast", "Dunkin", "fast/layer", "Dunkin/layer");
    for (const NamedModel &n : costed) {
        const LayeredModel m(n.Layers);
        const int layers = m.LayerCount() - 1;
        double ns[2];
        for (int i = 0; i < 2; ++i)
            ns[i] = NsPerEvaluation(kForms[i], m, sink);
        if (layers == 0) {
            base[0] = ns[0];
            base[1] = ns[1];
            std::printf("%-32s %10.1f %10.1f\n", n.Name, ns[0], ns[1]);
        } else {
            std::printf("%-32s %10.1f %10.1f %14.1f %14.1f\n", n.Name, ns[0], ns[1], (ns[0] - base[0]) / layers,
                        (ns[1] - base[1]) / layers);
        }
    }
    std::printf("(checksum %g)\n", sink);
    return 0;
}
