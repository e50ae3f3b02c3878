// Times of the analysis screens on record-sized data, medians in milliseconds
// of wall and processor time:
// - the digital filter (low- plus high-pass) over 24 x 16384 samples, and the
//   whole command from Alt+F through the filter dialog's OK to the repainted
//   traces, and from that OK alone;
// - the spectrum of one channel at 16384 and at 131072 transform points
//   (16384 samples at 62.5 and at 10 us): computed alone, and computed with
//   both plots repainted, as a press on the refinement button does.
// Usage: bench_analysis [runs]

#include "BenchUtil.h"
#include "ShotModel.h"
#include "analysis/CDlgAnalysis.h"
#include "analysis/CDlgPingPu.h"
#include "analysis/CPingPu.h"
#include "analysis/CSinWave.h"
#include "analysis/DigitalFilter.h"
#include "analysis/SpectrumAnalysis.h"
#include "instrument/InstrumentProtocol.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int kDefaultRuns = 25;
constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr int kWidth = 800;
constexpr int kHeight = 480;

struct Sample
{
    double wall;
    double cpu;
};

struct Samples
{
    std::vector<double> wall;
    std::vector<double> cpu;

    void Add(const Sample &s)
    {
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
    void Report(const char *what) const
    {
        std::printf("  %-44s wall %8.2f ms   processor %8.2f ms\n", what, bench::Median(wall), bench::Median(cpu));
    }
};

Sample Time(const std::function<void()> &run)
{
    QElapsedTimer t;
    const double c0 = bench::ThreadCpuMs();
    t.start();
    run();
    return {t.nsecsElapsed() / 1e6, bench::ThreadCpuMs() - c0};
}

/// A shot of the unit simulator's model at intervalUs on screen.
void PutShot(float intervalUs)
{
    ParamSet &ps = CurrentParams();
    ps.Header.ChannelCount = kChannels;
    ps.Header.SampleLength = kSamples;
    ps.Header.SampleInterval = intervalUs;
    UnitParams unit;
    unit.Channels = kChannels;
    unit.IntervalUs = intervalUs;
    unit.SampleLength = kSamples;
    const ShotModel model(7);
    for (int ch = 1; ch <= kChannels; ++ch) {
        const QVector<qint16> raw = model.Channel(unit, 1, ch);
        const double gain = GainFactor(unit.ChannelGainDb(ch));
        QVector<float> &trace = Store().Traces[std::size_t(ch - 1)];
        trace.resize(raw.size());
        for (int i = 0; i < raw.size(); ++i)
            trace[i] = SampleAmplitude(raw[i], gain);
    }
    Store().PreviousTraces = Store().Traces;
}

void BenchFilter(int runs)
{
    PutShot(62.5f);
    ParamSet &ps = CurrentParams();
    ps.LowPassLimit = 100;
    ps.HighPassLimit = 5;
    const TraceSet raw = Store().Traces;
    std::printf("digital filter, %d channels x %d samples, low-pass %d Hz, high-pass %d Hz\n", kChannels, kSamples,
                ps.LowPassLimit, ps.HighPassLimit);

    Samples filter;
    for (int i = 0; i < runs; ++i) {
        TraceSet traces = raw;
        traces[0].detach(); // the copy is not timed
        for (QVector<float> &t : traces)
            t.detach();
        filter.Add(Time([&] { FilterTraces(traces.data(), kChannels, CurrentFilterSettings()); }));
    }
    filter.Report("filter alone");

    CDlgAnalysis dlg;
    dlg.setFixedSize(kWidth, kHeight);
    dlg.show();
    QCoreApplication::processEvents();
    Samples command;
    Samples fromOk;
    for (int i = 0; i < runs; ++i) {
        Store().Traces = raw;
        QElapsedTimer sinceOk;
        double cpuAtOk = 0;
        // The filter dialog opens modally; OK is pressed as soon as it runs.
        QTimer::singleShot(0, [&] {
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                cpuAtOk = bench::ThreadCpuMs();
                sinceOk.start();
                d->accept();
            }
        });
        command.Add(Time([&] { QTest::keyClick(&dlg, Qt::Key_F, Qt::AltModifier); }));
        fromOk.Add({sinceOk.nsecsElapsed() / 1e6, bench::ThreadCpuMs() - cpuAtOk});
    }
    command.Report("Alt+F, dialog, OK, repainted (800 x 480)");
    fromOk.Report("OK to repainted traces");
    dlg.RestoreRecord();
}

void BenchSpectrum(int runs, float intervalUs)
{
    PutShot(intervalUs);
    SpectrumRequest request;
    request.IntervalUs = intervalUs;
    request.SampleCount = kSamples;
    request.RangeEnd = kSamples;
    std::printf("spectrum of one channel, %d samples at %g us: %d transform points\n", kSamples, double(intervalUs),
                SpectrumLength(intervalUs, kSamples));
    Samples compute;
    for (int i = 0; i < runs; ++i) {
        request.Refinement = 1 << (i % 5);
        compute.Add(Time([&] { ComputeSpectrum(Store().PreviousTraces[0], request); }));
    }
    compute.Report("computed (refinements 1 to 16)");

    CDlgPingPu dlg;
    dlg.setFixedSize(kWidth, kHeight);
    dlg.show();
    QCoreApplication::processEvents();
    Samples press;
    for (int i = 0; i < runs; ++i) {
        press.Add(Time([&] {
            QTest::keyClick(&dlg, Qt::Key_X, Qt::AltModifier);
            dlg.Wave()->repaint();
            dlg.Plot()->repaint();
        }));
    }
    press.Report("computed and both plots repainted (800 x 480)");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("zeb.*.debug=false"));
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    std::printf("medians of %d runs\n", runs);
    BenchFilter(runs);
    BenchSpectrum(runs, 62.5f);
    BenchSpectrum(runs, 10.0f);
    return 0;
}
