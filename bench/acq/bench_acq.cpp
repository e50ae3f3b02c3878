// The acquisition screen's costs with 24 x 16384-sample shots from the unit
// simulator (in a thread of its own, as the unit is a device of its own):
//  - from the unit reporting "finished" to the picture on screen, against a
//    plain fetch of the same data plus one rebuild of the view, in the same run;
//  - the processor time of a trigger wait (100 ms polls, 40 ms banner frames);
//  - stacking one shot into the picture and undoing it.
// Usage: bench_acq [shots] [wait seconds]   (defaults 15 and 60)
#include "BenchUtil.h"
#include "UnitThread.h"
#include "display/CShowWave.h"
#include "instrument/CDlgMain.h"
#include "instrument/InstrumentLink.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>

namespace {

constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr int kDefaultShots = 15;
constexpr int kDefaultWaitSeconds = 60;
constexpr int kStackRounds = 51;
constexpr int kBannerAloneSeconds = 20;
constexpr int kConnectWaitMs = 5000;
constexpr QSize kScreenSize(800, 480);

qint64 SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}


} // namespace

int main(int argc, char *argv[])
{
    bench::OffscreenUnlessSet();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const int shots = args.size() > 1 ? qMax(1, args[1].toInt()) : kDefaultShots;
    const int waitSeconds = args.size() > 2 ? qMax(1, args[2].toInt()) : kDefaultWaitSeconds;

    QTemporaryDir programDir;
    SetProgramDir(programDir.path());
    ResetParamSets();

    // The moment the unit says "finished", seen from its own thread.
    std::atomic<qint64> finishedNs{0};
    bench::UnitThread unit([&](UnitSimulator &sim) {
        sim.SetTimeScale(0);
        sim.SetTriggerWaitMs(0);
        QObject::connect(&sim, &UnitSimulator::ReplySent, &sim, [&](char letter) {
            if (letter == 'g')
                finishedNs = SteadyNs();
        }, Qt::DirectConnection);
    });
    const quint16 port = unit.Port();
    if (port == 0) {
        out << "bench_acq: the unit simulator could not bind 127.0.0.1\n";
        return 1;
    }

    ParamSet &p = CurrentParams();
    p.LoadSettings();
    p.InstrumentAddress = QStringLiteral("127.0.0.1");
    p.InstrumentPort = QString::number(port);
    p.HardwareVersionText = QStringLiteral("known");
    p.Header.ChannelCount = kChannels;
    p.Header.SampleLength = kSamples;

    CDlgMain screen;
    screen.setFixedSize(kScreenSize);
    if (!WaitUntil([&] { return Store().LinkState == LinkUp && screen.Link().ReplyLetter() == 'd'; },
                   kConnectWaitMs)) {
        out << "bench_acq: no connection to the simulator\n";
        return 1;
    }
    QAbstractButton *sample = screen.findChild<QAbstractButton *>(QStringLiteral("btnSample"));
    CShowWave *view = screen.View();
    TraceStore &store = Store();

    // --- finished to picture, and the plain fetch + rebuild -------------------
    QVector<double> shotMs, plainMs, rebuilds;
    for (int shot = 0; shot < shots; ++shot) {
        const int before = view->RebuildCount();
        sample->click();
        const qint64 end = SteadyNs();
        if (store.Traces[kChannels - 1].size() != kSamples) {
            out << "bench_acq: shot " << shot + 1 << " failed\n";
            return 1;
        }
        shotMs << (end - finishedNs) / 1e6;
        rebuilds << view->RebuildCount() - before;

        QElapsedTimer t;
        t.start();
        store.LinkActive = true;
        bool ok = screen.Link().GetSampleDataH() == 1;
        for (int ch = 1; ok && ch <= kChannels; ++ch)
            ok = screen.Link().GetSampleData(ch) == 1;
        store.LinkActive = false;
        view->SetRedraw(true);
        view->repaint();
        view->SetRedraw(false);
        plainMs << t.nsecsElapsed() / 1e6;
        if (!ok) {
            out << "bench_acq: plain fetch " << shot + 1 << " failed\n";
            return 1;
        }
    }
    const double shotMedian = bench::Median(shotMs);
    const double plainMedian = bench::Median(plainMs);
    out << "finished to picture, " << kChannels << " x " << kSamples << " at " << kScreenSize.width() << "x"
        << kScreenSize.height() << ", " << shots << " shots: median " << bench::Ms(shotMedian) << " ms; header + "
        << kChannels << " data requests + one rebuild: median " << bench::Ms(plainMedian) << " ms; ratio "
        << QString::number(shotMedian / plainMedian, 'f', 2) << " (goal 1.2 or less)\n";
    out << "view rebuilds per shot: " << bench::Median(rebuilds)
        << " (the emptied picture at the start, the new one at the end)\n";

    // --- a trigger wait ---------------------------------------------------------
    unit.Run([](UnitSimulator &sim) { sim.SetTriggerWaitMs(-1); });
    QTimer::singleShot(waitSeconds * 1000, &screen, [&] { sample->click(); }); // the operator stops
    const double thread0 = bench::ThreadCpuMs();
    QElapsedTimer wall;
    wall.start();
    sample->click();
    const double waitCpu = bench::ThreadCpuMs() - thread0;
    const qint64 waitWall = wall.elapsed();
    out << "trigger wait of " << waitWall / 1000.0 << " s: " << bench::Ms(waitCpu)
        << " ms processor time in the screen's thread = "
        << QString::number(100.0 * waitCpu / waitWall, 'f', 3) << " % of one core (goal under 1 %)\n";

    // The banner's share: the same screen with only the banner turning.
    const int bannerMs = qMin(waitSeconds, kBannerAloneSeconds) * 1000;
    view->ShowTitle(1);
    const double banner0 = bench::ThreadCpuMs();
    WaitMs(bannerMs);
    const double bannerCpu = bench::ThreadCpuMs() - banner0;
    view->ShowTitle(0);
    out << "  of which the banner alone (" << bannerMs / 1000 << " s): "
        << QString::number(100.0 * bannerCpu / bannerMs, 'f', 3) << " % of one core\n";

    // --- stacking and undo --------------------------------------------------------
    store.StackingOn = true;
    store.ChannelLocks.fill(false);
    store.StartStack(kChannels);
    QVector<float> shotData(kSamples);
    for (int i = 0; i < kSamples; ++i)
        shotData[i] = float(std::sin(i * 0.01) * 100.0);
    QVector<double> stackMs, undoMs;
    for (int round = 0; round < kStackRounds; ++round) {
        QElapsedTimer t;
        t.start();
        store.AdvanceStack();
        for (int c = 1; c <= kChannels; ++c)
            store.FileChannel(c, shotData.constData(), kSamples, 0.5f);
        stackMs << t.nsecsElapsed() / 1e6;
        t.restart();
        store.UndoStackedShot(kChannels);
        undoMs << t.nsecsElapsed() / 1e6;
    }
    out << "stacking one shot of " << kChannels << " x " << kSamples << ": median " << bench::Ms(bench::Median(stackMs))
        << " ms; undoing it: median " << bench::Ms(bench::Median(undoMs)) << " ms (goal 2 ms or less)\n";
    return 0;
}
