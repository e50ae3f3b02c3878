// Journalling a 24 x 16384-sample shot:
//  - processor time on the interface thread to hand the picture over (the
//    journal copies nothing there; goal 2 ms or less);
//  - wall time until the entry is whole on the disk: encoding, checksum,
//    writes, flush, rename, folder flush and pruning (goal 300 ms or less);
//  - view rebuilds per shot on the acquisition screen with the journal at
//    work, shots from the unit simulator (in a thread of its own): still the
//    two a shot always had.
// Usage: bench_journal [pictures] [shots]   (defaults 20 and 5)
#include "BenchUtil.h"
#include "UnitThread.h"
#include "display/CShowWave.h"
#include "instrument/AcquisitionCore.h"
#include "instrument/CDlgMain.h"
#include "instrument/InstrumentLink.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"
#include "records/RecordFile.h"
#include "records/ShotJournal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr int kDefaultPictures = 20;
constexpr int kDefaultShots = 5;
constexpr int kConnectWaitMs = 5000;
constexpr QSize kScreenSize(800, 480);

} // namespace

int main(int argc, char *argv[])
{
    bench::OffscreenUnlessSet();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const int pictures = args.size() > 1 ? qMax(1, args[1].toInt()) : kDefaultPictures;
    const int shots = args.size() > 2 ? qMax(1, args[2].toInt()) : kDefaultShots;

    QTemporaryDir programDir;
    SetProgramDir(programDir.path());
    ResetParamSets();
    ParamSet &p = CurrentParams();
    p.LoadSettings();
    p.Header.ChannelCount = kChannels;
    p.Header.SampleLength = kSamples;

    // --- handing over and writing ----------------------------------------------
    QVector<double> handMs, writeMs;
    {
        ShotJournal journal(JournalFolderPath());
        journal.WaitIdle();
        QRandomGenerator rng(7);
        TraceStore &store = Store();
        for (int i = 0; i < pictures; ++i) {
            // A new shot on screen, as the link files it.
            for (int c = 0; c < kChannels; ++c) {
                store.Traces[c].resize(kSamples);
                for (float &v : store.Traces[c])
                    v = float(rng.generateDouble());
            }
            QElapsedTimer wall;
            const double cpu0 = bench::ThreadCpuMs();
            wall.start();
            // What the acquisition logic does after a shot.
            JournalPicture picture;
            picture.Blocks = BlocksFromParams(p);
            picture.Traces = store.Traces;
            picture.StackCount = store.StackCount;
            journal.Record(picture, QDateTime::currentDateTime());
            handMs << bench::ThreadCpuMs() - cpu0;
            journal.WaitIdle();
            writeMs << wall.nsecsElapsed() / 1e6;
        }
    }
    out << "journal, " << kChannels << " x " << kSamples << ", " << pictures
        << " pictures: interface thread processor time median " << bench::Ms(bench::Median(handMs))
        << " ms (goal 2 ms or less); entry whole on the disk, flush included, median "
        << bench::Ms(bench::Median(writeMs)) << " ms (goal 300 ms or less)\n";

    // --- the screen with the journal at work -------------------------------------
    bench::UnitThread unit([](UnitSimulator &sim) {
        sim.SetTimeScale(0);
        sim.SetTriggerWaitMs(0);
    });
    if (unit.Port() == 0) {
        out << "bench_journal: the unit simulator could not bind 127.0.0.1\n";
        return 1;
    }
    p.InstrumentAddress = QStringLiteral("127.0.0.1");
    p.InstrumentPort = QString::number(unit.Port());
    p.HardwareVersionText = QStringLiteral("known");
    CDlgMain screen;
    screen.setFixedSize(kScreenSize);
    if (!WaitUntil([&] { return Store().LinkState == LinkUp && screen.Link().ReplyLetter() == 'd'; },
                   kConnectWaitMs)) {
        out << "bench_journal: no connection to the simulator\n";
        return 1;
    }
    auto *sample = screen.findChild<QAbstractButton *>(QStringLiteral("btnSample"));
    CShowWave *view = screen.View();
    QVector<double> rebuilds;
    for (int shot = 0; shot < shots; ++shot) {
        const int before = view->RebuildCount();
        sample->click();
        if (Store().Traces[kChannels - 1].size() != kSamples) {
            out << "bench_journal: shot " << shot + 1 << " failed\n";
            return 1;
        }
        rebuilds << view->RebuildCount() - before;
    }
    screen.Core().Journal().WaitIdle();
    out << "view rebuilds per shot with the journal: median " << bench::Median(rebuilds)
        << " (a shot without it: 2); unsaved entries kept: "
        << ShotJournal::WholeEntries(JournalFolderPath(), true).size() << "\n";
    return 0;
}
