// Times the analysis routines on record-sized data and prints the median
// nanoseconds per sample of each. Usage: bench_dsp [repeats]

#include "analysis/CAlgorithm.h"

#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#ifdef ZEB_HAVE_FFTW3F
#include <fftw3.h>
#endif

namespace {

constexpr int kExponent = 14;
constexpr int kLength = 1 << kExponent; // the longest record: 16384 samples
constexpr int kChannels = 24;
constexpr int kDefaultRepeats = 101;
constexpr int kSpectrumStep = 4; // a refined spectrum, as the spectrum dialog asks for
constexpr float kSamplePeriod = 250e-6f; // 250 us
constexpr float kLowPassCutoff = 200.0f;
constexpr int kHighPassCutoff = 5;
constexpr double kPi = 3.14159265358979323846;
constexpr quint32 kSeed = 20106;

/// A surface-wave-like trace: a few decaying tones over noise.
std::vector<float> Trace(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i) {
        const double t = i * double(kSamplePeriod);
        const double tones = 800.0 * std::sin(2 * kPi * 12.0 * t) + 300.0 * std::sin(2 * kPi * 37.0 * t);
        v[i] = float(tones * std::exp(-t) + (rng.generateDouble() - 0.5) * 50.0);
    }
    return v;
}

/// Median wall time in nanoseconds of `run`; `prepare` restores the input
/// before each run and is not timed.
double MedianNs(int repeats, const std::function<void()> &prepare, const std::function<void()> &run)
{
    std::vector<double> times;
    times.reserve(repeats);
    prepare();
    run(); // warm caches and page in the buffers
    for (int r = 0; r < repeats; ++r) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto stop = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::nano>(stop - start).count());
    }
    std::nth_element(times.begin(), times.begin() + repeats / 2, times.end());
    return times[repeats / 2];
}

void Row(const char *name, double nsPerSample, double yardstick)
{
    if (yardstick > 0)
        std::printf("%-44s %10.2f %10.2f\n", name, nsPerSample, nsPerSample / yardstick);
    else
        std::printf("%-44s %10.2f %10s\n", name, nsPerSample, "-");
}

} // namespace

int main(int argc, char **argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRepeats;

    const std::vector<float> signal = Trace(kLength, kSeed);
    std::vector<std::vector<float>> channels;
    for (int c = 0; c < kChannels; ++c)
        channels.push_back(Trace(kLength, kSeed + 1 + c));
    std::vector<std::vector<float>> work = channels;
    double checksum = 0;

    // Transform, 32-bit interface (double inside) and the double core.
    std::vector<float> re(kLength), im(kLength);
    const double fftNs = MedianNs(
        repeats, [&] { re = signal; std::fill(im.begin(), im.end(), 0.0f); },
        [&] { CAlgorithm::Fft(re.data(), im.data(), kExponent); });
    checksum += re[1];

    std::vector<double> dre(kLength), dim(kLength);
    const double fftDoubleNs = MedianNs(
        repeats,
        [&] { std::copy(signal.begin(), signal.end(), dre.begin()); std::fill(dim.begin(), dim.end(), 0.0); },
        [&] { CAlgorithm::Fft(dre.data(), dim.data(), kExponent); });
    checksum += dre[1];

    // Amplitude spectrum, plain and refined.
    CAlgorithm algorithm;
    std::vector<float> buf(kLength);
    const double spectrumNs = MedianNs(
        repeats, [&] { buf = signal; }, [&] { algorithm.AmplitudeSpectrum(buf.data(), kLength); });
    checksum += buf[1];
    algorithm.SetDecimationStep(kSpectrumStep);
    const double refinedNs = MedianNs(
        repeats, [&] { buf = signal; }, [&] { algorithm.AmplitudeSpectrum(buf.data(), kLength); });
    checksum += buf[1];

    // Both filters over a whole 24-channel record, in place as the analysis screen does.
    const auto restore = [&] { for (int c = 0; c < kChannels; ++c) work[c] = channels[c]; };
    const double lowNs = MedianNs(repeats, restore, [&] {
        for (auto &ch : work)
            CAlgorithm::LowPass(ch.data(), ch.data(), kLength, kSamplePeriod, kLowPassCutoff);
    });
    checksum += work[0][kLength - 1];
    const double highNs = MedianNs(repeats, restore, [&] {
        for (auto &ch : work)
            CAlgorithm::HighPass(ch.data(), ch.data(), kLength, kSamplePeriod, kHighPassCutoff);
    });
    checksum += work[0][kLength - 1];

    double fftwNs = 0;
#ifdef ZEB_HAVE_FFTW3F
    {
        fftwf_complex *in = fftwf_alloc_complex(kLength);
        fftwf_complex *out = fftwf_alloc_complex(kLength);
        // Planned with measurement: the yardstick is FFTW at its best.
        fftwf_plan plan = fftwf_plan_dft_1d(kLength, in, out, FFTW_FORWARD, FFTW_MEASURE);
        fftwNs = MedianNs(
            repeats,
            [&] { for (int i = 0; i < kLength; ++i) { in[i][0] = signal[i]; in[i][1] = 0.0f; } },
            [&] { fftwf_execute(plan); });
        checksum += out[1][0];
        fftwf_destroy_plan(plan);
        fftwf_free(in);
        fftwf_free(out);
    }
#endif

    const double fftwPerSample = fftwNs / kLength;
    std::printf("N = %d, %d channels, median of %d runs\n", kLength, kChannels, repeats);
    std::printf("%-44s %10s %10s\n", "routine", "ns/sample", "x FFTW");
    Row("Fft (float arrays, double inside)", fftNs / kLength, fftwPerSample);
    Row("Fft (double arrays)", fftDoubleNs / kLength, fftwPerSample);
    Row("AmplitudeSpectrum (step 1)", spectrumNs / kLength, fftwPerSample);
    Row("AmplitudeSpectrum (step 4)", refinedNs / kLength, fftwPerSample);
    Row("LowPass (24 x 16384, in place)", lowNs / (double(kChannels) * kLength), 0);
    Row("HighPass (24 x 16384, in place)", highNs / (double(kChannels) * kLength), 0);
#ifdef ZEB_HAVE_FFTW3F
    Row("FFTW fftwf_plan_dft_1d (complex, MEASURE)", fftwPerSample, fftwPerSample);
#else
    std::printf("FFTW single precision not available: no yardstick column\n");
#endif
    std::printf("(checksum %g)\n", checksum);
    return 0;
}
