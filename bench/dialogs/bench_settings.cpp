// How long the settings screen takes to open (form, captions fitted to their
// buttons, first paint) and what its one-second clock tick costs.
//
//   QT_QPA_PLATFORM=offscreen build/bench/dialogs/bench_settings [rounds]

#include "BenchUtil.h"

#include "dialogs/CDlgSet.h"
#include "params/ParamSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {
constexpr int kDefaultRounds = 21;
constexpr int kTicks = 100;
} // namespace

int main(int argc, char **argv)
{
    // The offscreen platform says so at every keyboard grab; the figures are what matters.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultRounds;
    QTemporaryDir dir;
    SetProgramDir(dir.path());
    // Long names make every caption on the first row shrink to fit.
    RecordHeader &h = CurrentParams().Header;
    h.ProjectName = QStringLiteral("黄河大桥北岸工程");
    h.TestUnit = QStringLiteral("水利勘测设计研究");
    h.Tester = QStringLiteral("欧阳慕容司马诸葛");
    h.ProfileNumber = QStringLiteral("北岸剖面第一二号");

    for (const QSize size : {QSize(800, 480), QSize(1024, 600)}) {
        std::vector<double> openCpu, openWall, tickCpu;
        for (int r = 0; r < rounds; ++r) {
            QElapsedTimer wall;
            wall.start();
            const double cpu0 = bench::ThreadCpuMs();
            CDlgSet screen;
            screen.setFixedSize(size);
            screen.show();
            screen.grab(); // the first full paint
            openCpu.push_back(bench::ThreadCpuMs() - cpu0);
            openWall.push_back(wall.nsecsElapsed() / 1e6);

            const double tick0 = bench::ThreadCpuMs();
            for (int t = 0; t < kTicks; ++t) {
                screen.UpdateTime();
                QCoreApplication::processEvents();
            }
            tickCpu.push_back((bench::ThreadCpuMs() - tick0) / kTicks);
        }
        std::printf("%dx%d: open %.1f ms processor (%.1f ms wall), clock tick %.3f ms processor, median of %d\n",
                    size.width(), size.height(), bench::Median(openCpu), bench::Median(openWall),
                    bench::Median(tickCpu), rounds);
    }
    return 0;
}
