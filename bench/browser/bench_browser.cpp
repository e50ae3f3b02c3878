// The record browser and the project export, timed:
//   1. a project of 1000 records: the browser's first paint (built, shown and
//      drawn), a change of sort order (listed again and drawn) and a page flip;
//   2. export of a project of 200 records (24 channels of 4096 samples) to a
//      temporary folder standing in for the stick, against `cp -r` followed by
//      `sync` of the same files in the same run (run here only, on the
//      temporary folder). Ratio = cp time / export time: the export's
//      throughput as a share of cp's.
//   bench_browser [rounds] [records-to-export]
#include "BenchUtil.h"
#include "app/Platform.h"
#include "params/ParamSet.h"
#include "records/FileSelectDlg.h"
#include "records/ProjectExport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <utime.h>
#include <vector>

namespace {

const int kDefaultRounds = 5;
const int kListedRecords = 1000;
const int kDefaultExported = 200;
const qint64 kRecordBytes = 646 + 4LL * 24 * 4096;
const int kFlushLimitMs = 120000;

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

/// Processor time of the finished child processes (cp, sync) in ms.
double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval &tv) { return tv.tv_sec * 1e3 + tv.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

bool makeRecords(const QString &folder, int count, qint64 bytes)
{
    if (!QDir().mkpath(folder))
        return false;
    QByteArray content(int(bytes), Qt::Uninitialized);
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < content.size(); k += 4096)
            content[k] = char(i + k);
        const QString path = folder + QStringLiteral("/R%1.QDW").arg(i, 4, 10, QLatin1Char('0'));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return false;
        f.close();
        utimbuf t{};
        t.actime = t.modtime = time_t(1600000000 + (i * 7919) % count); // dates not in name order
        ::utime(QFile::encodeName(path).constData(), &t);
    }
    return true;
}

class StickPlatform : public Platform
{
public:
    explicit StickPlatform(QString stick) : m_stick(std::move(stick)) {}
    QString FindUsbStick() override { return m_stick; }

private:
    QString m_stick;
};

class QuietObserver : public ProjectTaskObserver
{
public:
    bool ConfirmOverwrite() override { return true; }
    bool ConfirmDeletion() override { return true; }
    void Started(const QString &, int) override {}
    void Progress(int) override {}
    void Finished() override {}
    void Pace(int) override {}
};

// Wall time and the thread's processor time of one step (the machine may be shared).
struct Timing
{
    std::vector<double> Wall;
    std::vector<double> Cpu;
    template <typename Step> void Measure(Step step)
    {
        QElapsedTimer t;
        t.start();
        const double cpu = bench::ThreadCpuMs();
        step();
        Cpu.push_back(bench::ThreadCpuMs() - cpu);
        Wall.push_back(msSince(t));
    }
};

void benchBrowser(int rounds)
{
    Timing paint, sort, flip;
    for (int r = 0; r < rounds; ++r) {
        std::unique_ptr<FileSelectDlg> dlg;
        paint.Measure([&] {
            dlg = std::make_unique<FileSelectDlg>(FileSelectDlg::ModeChooseRecord);
            dlg->show();
            QCoreApplication::processEvents();
            dlg->grab();
        });
        auto *byDate = dlg->findChild<QPushButton *>("BTN_DATE");
        auto *byName = dlg->findChild<QPushButton *>("BTN_NAME");
        auto *next = dlg->findChild<QPushButton *>("BTN_NEXT");
        for (QPushButton *header : {byDate, byName})
            sort.Measure([&] {
                header->click();
                dlg->grab();
            });
        for (int i = 0; i < 10; ++i)
            flip.Measure([&] {
                next->click();
                dlg->grab();
            });
    }
    std::printf("browser, %d records, medians (processor time): first paint %.1f ms (%.1f; goal 100), "
                "sort toggle %.1f ms (%.1f; goal 50), page flip %.2f ms (%.2f; goal 10)\n",
                kListedRecords, bench::Median(paint.Wall), bench::Median(paint.Cpu), bench::Median(sort.Wall),
                bench::Median(sort.Cpu), bench::Median(flip.Wall), bench::Median(flip.Cpu));
}

void benchExport(int rounds, int records, const QString &work)
{
    const QString stick = work + "/stick";
    const QString source = CurrentParams().DataRoot + "/EXPORT.PRO";
    if (!makeRecords(source, records, kRecordBytes) || !QDir().mkpath(stick)) {
        std::fprintf(stderr, "bench_browser: cannot make the export project\n");
        return;
    }
    SetPlatform(std::make_unique<StickPlatform>(stick));
    const QString target = stick + "/EXPORT.PRO";
    std::vector<double> exported, copied, ratios, exportCpu, copyCpu;
    for (int r = 0; r < rounds; ++r) {
        QDir(target).removeRecursively();
        ::sync();
        QuietObserver observer;
        ProjectExport task(CurrentParams(), QStringLiteral("EXPORT"), observer);
        task.SetFlushLimitMs(kFlushLimitMs);
        QElapsedTimer t;
        t.start();
        const double cpuBefore = bench::ProcessCpuMs();
        const bool ok = task.Run() == ProjectTaskResult::Done;
        const double exportMs = msSince(t);
        exportCpu.push_back(bench::ProcessCpuMs() - cpuBefore);

        QDir(target).removeRecursively();
        ::sync();
        t.restart();
        const double childrenBefore = childrenCpuMs();
        const int cp = QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), source, target});
        const int sync = QProcess::execute(QStringLiteral("sync"), {});
        const double cpMs = msSince(t);
        copyCpu.push_back(childrenCpuMs() - childrenBefore);
        if (!ok || cp != 0 || sync != 0) {
            std::fprintf(stderr, "bench_browser: export %d, cp %d, sync %d\n", ok, cp, sync);
            return;
        }
        exported.push_back(exportMs);
        copied.push_back(cpMs);
        ratios.push_back(cpMs / exportMs);
    }
    QDir(target).removeRecursively();
    SetPlatform(nullptr);
    const double mb = records * kRecordBytes / 1e6;
    std::printf("export, %d records (%.1f MB): export %.0f ms (%.1f MB/s), cp -r + sync %.0f ms (%.1f MB/s), "
                "ratio %.2f (goal >= 0.8), medians of %d; ratios:",
                records, mb, bench::Median(exported), mb / bench::Median(exported) * 1e3, bench::Median(copied),
                mb / bench::Median(copied) * 1e3, bench::Median(ratios), rounds);
    for (double x : ratios)
        std::printf(" %.2f", x);
    std::printf("\nexport processor time %.0f ms, cp -r + sync %.0f ms (medians)\n", bench::Median(exportCpu),
                bench::Median(copyCpu));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;
    const int exported = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultExported;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_browser: no temporary directory\n");
        return 1;
    }
    SetProgramDir(dir.path());
    CurrentParams().LoadSettings();
    if (!makeRecords(CurrentParams().DataRoot + "/QUARTZON.PRO", kListedRecords, 646)) {
        std::fprintf(stderr, "bench_browser: cannot make the records\n");
        return 1;
    }
    benchBrowser(rounds);
    benchExport(rounds, exported, dir.path());
    return 0;
}
