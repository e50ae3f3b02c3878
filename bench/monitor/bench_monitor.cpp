// The site-noise monitor: what one refresh costs (the measurement of 24
// channels of a 0.2 s record and the paint of the screen's picture), and, with
// the screen running against the unit simulator (in a thread of its own,
// acquiring in real time, a noisy site), how often it refreshes and what
// share of one processor core the interface thread takes meanwhile.
#include "BenchUtil.h"
#include "UnitThread.h"
#include "instrument/CDlgNoiseMonitor.h"
#include "instrument/InstrumentLink.h"
#include "instrument/NoiseMonitorView.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QEventLoop>
#include <QTimer>

namespace {

constexpr int kChannels = 24;
constexpr int kRepeats = 200;
constexpr int kWindows = 5;
constexpr int kWindowMs = 2000;
constexpr int kWaitMs = 5000;

} // namespace

int main(int argc, char *argv[])
{
    bench::OffscreenUnlessSet();
    QApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir programDir;
    SetProgramDir(programDir.path());
    ResetParamSets();

    bench::UnitThread unit([](UnitSimulator &s) {
        SiteNoise site;
        site.Enabled = true;
        s.SetSiteNoise(site);
    });
    if (unit.Port() == 0) {
        out << "bench_monitor: the unit simulator could not bind 127.0.0.1\n";
        return 1;
    }
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = kChannels;
    p.Header.SampleInterval = 500.0f; // the operator's default interval
    p.Sensor.Sensitivity.fill(28.8f);
    ParamSet::CopyAcquisition(BackupParams(), p);
    auto link = std::make_unique<InstrumentLink>(nullptr);
    if (!unit.Connect(*link, kWaitMs)) {
        out << "bench_monitor: no connection to the simulator\n";
        return 1;
    }

    CDlgNoiseMonitor screen(nullptr, *link);
    screen.setFixedSize(800, 480);
    screen.show();
    int rounds = 0;
    QObject::connect(&screen, &CDlgNoiseMonitor::RoundShown, [&rounds] { ++rounds; });
    const auto wait = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    wait(kWaitMs / 5);
    if (rounds == 0) {
        out << "bench_monitor: no round arrived\n";
        return 1;
    }

    // Running: refreshes a second and the interface thread's processor share.
    QVector<double> rates, shares;
    for (int w = 0; w < kWindows; ++w) {
        const int before = rounds;
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = bench::ThreadCpuMs();
        wait(kWindowMs);
        const double cpu = bench::ThreadCpuMs() - cpu0;
        const double ms = wall.nsecsElapsed() / 1e6;
        rates << (rounds - before) * 1000.0 / ms;
        shares << 100.0 * cpu / ms;
    }
    const int samples = Store().PreviousTraces[0].size();
    out << "monitor against the simulator, " << kChannels << " channels x " << samples
        << " samples at 500 us, " << kWindows << " windows of " << kWindowMs / 1000
        << " s: median " << QString::number(bench::Median(rates), 'f', 2) << " refreshes/s, "
        << QString::number(bench::Median(shares), 'f', 1) << " % of one core (interface thread)\n";

    // One refresh: the measurement and the picture, at both screen sizes.
    const NoiseMonitorSession &session = screen.Session();
    monitor::NoiseMeter meter;
    QVector<double> measureMs;
    for (int i = 0; i < kRepeats; ++i) {
        const double t0 = bench::ThreadCpuMs();
        meter.Measure(session.Traces(), kChannels, session.Unit());
        measureMs << bench::ThreadCpuMs() - t0;
    }
    out << "measurement of one round: median " << bench::Ms(bench::Median(measureMs)) << " ms\n";
    for (const QSize size : {QSize(800, 380), QSize(1024, 500)}) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        QVector<double> paintMs, refreshMs;
        for (int i = 0; i < kRepeats; ++i) {
            const double t0 = bench::ThreadCpuMs();
            meter.Measure(session.Traces(), kChannels, session.Unit());
            const double t1 = bench::ThreadCpuMs();
            QPainter painter(&image);
            screen.View()->Draw(painter, size);
            painter.end();
            const double t2 = bench::ThreadCpuMs();
            paintMs << t2 - t1;
            refreshMs << t2 - t0;
        }
        out << "refresh (measure + paint) of a " << size.width() << " x " << size.height()
            << " view: median " << bench::Ms(bench::Median(refreshMs)) << " ms (paint "
            << bench::Ms(bench::Median(paintMs)) << " ms)\n";
    }
    screen.reject();
    return 0;
}
