// Times the dispersion image of a 24 x 16384 simulator shot (250 us, 4 s):
// the transform with its picked curve (100 frequencies x 191 velocities, the
// defaults) and the picture at the sizes of the screen and of the record
// tool's PNG. Prints medians of wall and processor time in milliseconds, and
// the transform stage of the job (12 packed complex transforms) with the
// program's own Fft and with FFTW. Usage: bench_dispersion [runs]

#include "BenchUtil.h"
#include "SimulatorShot.h"
#include "analysis/CAlgorithm.h"
#include "analysis/DispersionImage.h"
#include "analysis/DispersionPlot.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#ifdef ZEB_HAVE_FFTW3
#include <fftw3.h>
#endif

namespace {

constexpr int kDefaultRuns = 31;
constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr double kIntervalUs = 250.0;
constexpr int kPairs = kChannels / 2;
const QSize kScreenView(620, 400); // the image on an 800 x 480 screen
const QSize kToolImage(1024, 640);

struct Times
{
    double Wall;
    double Cpu;
};

Times Measure(int runs, const std::function<void()> &run)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    run(); // warm caches and page in the buffers
    for (int r = 0; r < runs; ++r) {
        const double c0 = bench::ThreadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        run();
        const auto t1 = std::chrono::steady_clock::now();
        cpu.push_back(bench::ThreadCpuMs() - c0);
        wall.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return {bench::Median(wall), bench::Median(cpu)};
}

void Row(const char *what, const Times &t)
{
    std::printf("%-52s %9.2f %9.2f\n", what, t.Wall, t.Cpu);
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    static char name[] = "bench_dispersion";
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    static char *qtArgv[] = {name, platform, offscreen, nullptr};
    int qtArgc = 3;
    QGuiApplication app(qtArgc, qtArgv);

    const TraceSet traces = bench::SimulatorShot(7, kChannels, kSamples, kIntervalUs);
    SpreadGeometry geometry;
    geometry.IntervalUs = kIntervalUs;
    geometry.SampleCount = kSamples;
    geometry.ChannelCount = kChannels;
    geometry.OffsetM = 4.0;
    geometry.SpacingM = 2.0;

    DispersionImage image;
    const Times compute = Measure(runs, [&] {
        image = ComputeDispersionImage(traces.data(), int(traces.size()), geometry);
    });
    const Times screen = Measure(runs, [&] { DispersionPlot(image, kScreenView).Draw(); });
    const Times tool = Measure(runs, [&] { DispersionPlot(image, kToolImage).Draw(); });
    const Times both = Measure(runs, [&] {
        const DispersionImage fresh = ComputeDispersionImage(traces.data(), int(traces.size()), geometry);
        DispersionPlot(fresh, kScreenView).Draw();
    });

    std::printf("dispersion image of %d x %d samples, %d x %d grid, %d picks; median of %d runs (ms)\n",
                kChannels, kSamples, image.FrequencyCount(), image.VelocityCount(), int(image.Curve.size()),
                runs);
    std::printf("%-52s %9s %9s\n", "stage", "wall", "cpu");
    Row("compute (spectra, phase shift, picks)", compute);
    Row("draw 620 x 400 (screen)", screen);
    Row("draw 1024 x 640 (PNG)", tool);
    Row("compute + draw 620 x 400", both);

    // The transform stage alone, at the padded lengths the image could use.
    for (int p : {15, 16}) {
        const size_t n = size_t(1) << p;
        std::vector<double> re(n);
        std::vector<double> im(n);
        const Times own = Measure(runs, [&] {
            for (int pair = 0; pair < kPairs; ++pair) {
                std::fill(re.begin(), re.end(), 0.0);
                std::fill(im.begin(), im.end(), 0.0);
                std::copy(traces[size_t(2 * pair)].begin(), traces[size_t(2 * pair)].end(), re.begin());
                std::copy(traces[size_t(2 * pair + 1)].begin(), traces[size_t(2 * pair + 1)].end(), im.begin());
                CAlgorithm::Fft(re.data(), im.data(), p);
            }
        });
        char label[96];
        std::snprintf(label, sizeof label, "%d packed transforms of %zu, CAlgorithm::Fft", kPairs, n);
        Row(label, own);
#ifdef ZEB_HAVE_FFTW3
        fftw_complex *in = fftw_alloc_complex(n);
        fftw_complex *out = fftw_alloc_complex(n);
        fftw_plan plan = fftw_plan_dft_1d(int(n), in, out, FFTW_FORWARD, FFTW_MEASURE);
        const Times fftw = Measure(runs, [&] {
            for (int pair = 0; pair < kPairs; ++pair) {
                for (size_t i = 0; i < n; ++i) {
                    in[i][0] = i < size_t(kSamples) ? traces[size_t(2 * pair)][int(i)] : 0.0;
                    in[i][1] = i < size_t(kSamples) ? traces[size_t(2 * pair + 1)][int(i)] : 0.0;
                }
                fftw_execute(plan);
            }
        });
        std::snprintf(label, sizeof label, "%d packed transforms of %zu, FFTW (MEASURE)", kPairs, n);
        Row(label, fftw);
        fftw_destroy_plan(plan);
        fftw_free(in);
        fftw_free(out);
#endif
    }
    return 0;
}
