// Times of the trace view on a full record: a whole rebuild (SetRedraw(true)
// and a repaint) with the per-row drawing and with the segment-by-segment
// reference, and a repaint after a cursor move, which only copies the back
// buffer and draws the overlay. Prints medians in milliseconds.

#include "BenchUtil.h"
#include "ReferenceTrace.h"
#include "display/CShowWave.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kRuns = 21;
constexpr int kChannels = 24;
constexpr int kSamples = 16384;

struct Sample
{
    double wall;
    double cpu;
};

// A surface-wave-like shot: a dispersive wave train arriving later on
// farther channels, with a little noise.
void FillShot()
{
    quint32 seed = 12345;
    auto noise = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) - 0.5f;
    };
    for (int c = 0; c < kChannels; ++c) {
        QVector<float> v(kSamples);
        const double arrival = 400.0 + 180.0 * c;
        for (int i = 0; i < kSamples; ++i) {
            const double t = i - arrival;
            const double env = t > 0 ? std::exp(-t / 2500.0) * (1.0 - std::exp(-t / 60.0)) : 0.0;
            const double f = 0.02 + 0.03 * std::exp(-std::max(t, 0.0) / 3000.0);
            v[i] = static_cast<float>(1000.0 * env * std::sin(f * std::max(t, 0.0)) + 5.0 * noise());
        }
        Store().Traces[static_cast<size_t>(c)] = v;
    }
}

Sample TimeRebuild(CShowWave &view)
{
    QElapsedTimer t;
    const double c0 = bench::ThreadCpuMs();
    t.start();
    view.SetRedraw(true);
    view.repaint();
    view.SetRedraw(false);
    return {t.nsecsElapsed() / 1e6, bench::ThreadCpuMs() - c0};
}

Sample TimeOverlay(CShowWave &view, int i)
{
    const wave::Layout &l = view.CurrentLayout();
    const QPoint at(l.Plot.left() + 5 + (i * 37) % (l.Plot.width() - 10),
                    l.Plot.top() + 5 + (i * 53) % (l.Plot.height() - 10));
    QMouseEvent e(QEvent::MouseMove, QPointF(at), view.mapToGlobal(QPointF(at)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QElapsedTimer t;
    const double c0 = bench::ThreadCpuMs();
    t.start();
    QCoreApplication::sendEvent(&view, &e);
    view.repaint();
    return {t.nsecsElapsed() / 1e6, bench::ThreadCpuMs() - c0};
}

void Report(const char *what, const std::vector<Sample> &samples)
{
    std::vector<double> wall, cpu;
    for (const Sample &s : samples) {
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
    std::printf("    %-26s wall %7.2f ms   processor %7.2f ms\n", what, bench::Median(wall), bench::Median(cpu));
}

void Run(int width, int height, bool withReference)
{
    CShowWave view;
    view.resize(width, height);
    view.show();
    QCoreApplication::processEvents();

    std::vector<Sample> fast, reference, overlay;
    for (int i = 0; i < kRuns; ++i) {
        view.SetTraceDrawer(&wave::DrawTrace);
        fast.push_back(TimeRebuild(view));
        if (withReference) {
            view.SetTraceDrawer(&DrawTraceReference);
            reference.push_back(TimeRebuild(view));
        }
    }
    view.SetTraceDrawer(&wave::DrawTrace);
    TimeRebuild(view);
    for (int i = 0; i < kRuns; ++i)
        overlay.push_back(TimeOverlay(view, i));
    std::printf("%d x %d\n", width, height);
    Report("rebuild, per-row drawing", fast);
    if (withReference)
        Report("rebuild, reference drawing", reference);
    Report("overlay after cursor move", overlay);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ParamSet &ps = CurrentParams();
    ps.Header.ChannelCount = kChannels;
    ps.Header.SampleLength = kSamples;
    ps.Header.SampleInterval = 62.5f;
    ps.CurrentChannel = 7;
    ps.MeteringOn = true;
    Store().AcqState = AcqSampled;
    FillShot();
    std::printf("trace view, %d channels x %d samples, median of %d runs\n", kChannels, kSamples, kRuns);
    // --fast leaves the reference out (for profiling the view's own drawing).
    const bool withReference = !QCoreApplication::arguments().contains(QStringLiteral("--fast"));
    Run(1280, 800, withReference);
    Run(800, 480, withReference);
    return 0;
}
