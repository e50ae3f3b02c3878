// Times the quality check of one 24 x 16384 simulator shot at the three
// common intervals (250, 500 and 1000 us), clean and with a fault on every
// fourth channel, as the acquisition screen runs it after each shot. Prints
// the median and the largest processor time in milliseconds.
// Usage: bench_qc [runs]

#include "BenchUtil.h"
#include "ShotModel.h"
#include "instrument/InstrumentProtocol.h"
#include "surfacewave/ShotQuality.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kDefaultRuns = 41;
constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr double kSpacingM = 2.0;

QcShot Shot(double intervalUs, bool faulty)
{
    UnitParams unit;
    unit.Channels = kChannels;
    unit.IntervalUs = intervalUs;
    unit.SampleLength = kSamples;
    unit.GroupGainDb = {24, 24, 36, 36};
    ShotModel model(11);
    if (faulty) {
        SensorFault dead, hum, noisy;
        dead.Dead = true;
        hum.HumMv = 0.5;
        noisy.NoiseMv = 1.0;
        model.SetSensorFault(4, dead);
        model.SetSensorFault(8, hum);
        model.SetSensorFault(12, noisy);
        model.SwapChannels(16, 20);
    }
    QcShot shot;
    shot.IntervalUs = intervalUs;
    shot.SpacingM = kSpacingM;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const int gain = unit.ChannelGainDb(ch);
        QcTrace t;
        for (qint16 raw : model.Channel(unit, 1, ch))
            t.Samples.append(SampleAmplitude(raw, GainFactor(gain)));
        t.FullScaleMv = ConverterFullScaleMv(gain);
        shot.Channels.push_back(t);
    }
    return shot;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    std::printf("quality check of a %d x %d shot, %d runs (processor time, ms)\n", kChannels, kSamples, runs);
    for (const double interval : {250.0, 500.0, 1000.0}) {
        for (const bool faulty : {false, true}) {
            const QcShot shot = Shot(interval, faulty);
            std::vector<double> times;
            int flagged = 0;
            for (int r = 0; r < runs; ++r) {
                const double t0 = bench::ThreadCpuMs();
                const QcReport report = CheckShotQuality(shot);
                times.push_back(bench::ThreadCpuMs() - t0);
                flagged = report.FaultyCount();
            }
            std::printf("  %6.0f us %-6s median %s  max %s  (%d channels flagged)\n", interval,
                        faulty ? "faulty" : "clean", qPrintable(bench::Ms(bench::Median(times))),
                        qPrintable(bench::Ms(*std::max_element(times.begin(), times.end()))), flagged);
        }
    }
    return 0;
}
