// Self-check rounds of 24 x 1024 samples against the unit simulator (in a
// thread of its own, acquiring in real time) and paints of the noise view:
// a round must end well inside the 500 ms tick, and cost the controller little.
#include "BenchUtil.h"
#include "UnitThread.h"
#include "instrument/CShowNoise.h"
#include "instrument/InstrumentLink.h"
#include "instrument/SelfCheckRound.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int kChannels = 24;
constexpr int kSamples = 1024;
constexpr int kDefaultRounds = 15;
constexpr int kPaints = 200;
constexpr int kWaitMs = 5000;
constexpr int kViewWidth = 768;
constexpr int kViewHeight = 300;


} // namespace

int main(int argc, char *argv[])
{
    bench::OffscreenUnlessSet();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int rounds = app.arguments().size() > 1 ? qMax(1, app.arguments()[1].toInt()) : kDefaultRounds;

    QTemporaryDir programDir;
    SetProgramDir(programDir.path());
    ResetParamSets();

    bench::UnitThread unit;
    if (unit.Port() == 0) {
        out << "bench_selfcheck: the unit simulator could not bind 127.0.0.1\n";
        return 1;
    }
    auto link = std::make_unique<InstrumentLink>(nullptr);
    if (!unit.Connect(*link, kWaitMs)) {
        out << "bench_selfcheck: no connection to the simulator\n";
        return 1;
    }
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = kChannels;
    p.Header.SampleLength = kSamples;
    p.Header.SampleInterval = 125.0f;
    p.Header.Filter = 512.0f;
    p.Header.Delay = 0.0f;
    p.Gains.fill(72);
    Store().SelfCheckRunning = true;

    SelfCheckRound round(*link);
    QVector<double> wallMs, cpuMs;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = bench::ThreadCpuMs();
        if (round.Run() != SelfCheckOutcome::Complete) {
            out << "bench_selfcheck: round " << i + 1 << " failed: " << round.StateText() << "\n";
            return 1;
        }
        cpuMs << bench::ThreadCpuMs() - cpu0;
        wallMs << t.nsecsElapsed() / 1e6;
    }
    out << "self-check round of " << kChannels << " x " << kSamples << " samples (128 ms record), "
        << rounds << " rounds: median " << bench::Ms(bench::Median(wallMs)) << " ms wall, "
        << bench::Ms(bench::Median(cpuMs)) << " ms processor time\n";

    CShowNoise view;
    view.resize(kViewWidth, kViewHeight);
    view.SetTraces(&round.Noise());
    view.SetAmplitudeStep(5);
    QImage image(view.size(), QImage::Format_RGB32);
    QVector<double> paintMs;
    for (int i = 0; i < kPaints; ++i) {
        QElapsedTimer t;
        t.start();
        view.render(&image);
        paintMs << t.nsecsElapsed() / 1e6;
    }
    out << "noise view paint, " << kViewWidth << " x " << kViewHeight << ", " << kChannels
        << " channels: median " << bench::Ms(bench::Median(paintMs)) << " ms\n";

    link.reset();
    return 0;
}
