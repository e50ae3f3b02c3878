// The record browser and the project export, timed:
//   1. a project of 1000 records: the browser's first paint (built, shown and
//      drawn), a change of sort order (listed again and drawn) and a page flip;
//   2. export of a project of 200 records (24 channels of 4096 samples) to a
//      temporary folder standing in for the stick, records and their SEG-2
//      files, against `cp -r` of the same records and of the same SEG-2 files
//      (converted beforehand) followed by `sync`, in the same run (run here
//      only, on the temporary folder). Ratio = cp time / export time: the
//      export's throughput as a share of cp's. Beside it, two steps of the
//      export: building every SEG-2 file once to know its size, and writing
//      the record files (from the first to the last in place), the latter
//      against `cp -r` of the records alone and `sync`.
//   bench_browser [rounds] [records-to-export]
#include "BenchUtil.h"
#include "platform/Platform.h"
#include "records/LargestRecord.h"
#include "params/ParamSet.h"
#include "browser/FileSelectDlg.h"
#include "records/ProjectExport.h"
#include "records/RecordConvert.h"
#include "records/RecordFile.h"

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
const int kExportSamples = 4096;
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

void setModified(const QString &path, int i, int count)
{
    utimbuf t{};
    t.actime = t.modtime = time_t(1600000000 + (i * 7919) % count); // dates not in name order
    ::utime(QFile::encodeName(path).constData(), &t);
}

QString recordName(int i)
{
    return QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0'));
}

bool makeRecords(const QString &folder, int count, qint64 bytes)
{
    if (!QDir().mkpath(folder))
        return false;
    QByteArray content(int(bytes), Qt::Uninitialized);
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < content.size(); k += 4096)
            content[k] = char(i + k);
        const QString path = folder + QLatin1Char('/') + recordName(i) + QStringLiteral(".QDW");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return false;
        f.close();
        setModified(path, i, count);
    }
    return true;
}

/// The project the export copies: count real records, and beside it their
/// SEG-2 files for the yardstick. Returns the records' total size, 0 on failure.
qint64 makeExportProject(int count, const QString &seg2Folder)
{
    ParamSet &p = CurrentParams();
    p.Header.ProjectName = QStringLiteral("EXPORT");
    bench::FillRecord(kExportSamples);
    if (SaveRecordAs(p, recordName(0)) != RecordOk)
        return 0;
    const QString first = RecordSavePath(p, recordName(0));
    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        const QString path = RecordSavePath(p, recordName(i));
        if ((i > 0 && !QFile::copy(first, path))
            || ConvertRecordFile(path, seg2Folder, ExchangeFormat::Seg2) != RecordOk)
            return 0;
        setModified(path, i, count);
        total += QFileInfo(path).size() + QFileInfo(seg2Folder + QLatin1Char('/') + recordName(i) + ".sg2").size();
    }
    return total;
}

class StickPlatform : public Platform
{
public:
    explicit StickPlatform(QString stick) : m_stick(std::move(stick)) {}
    QString FindUsbStick() override { return m_stick; }

private:
    QString m_stick;
};

/// Says yes and notes when the export reached each progress value.
class TimingObserver : public ProjectTaskObserver
{
public:
    explicit TimingObserver(const QElapsedTimer &clock) : m_clock(clock) {}
    bool ConfirmOverwrite() override { return true; }
    bool ConfirmDeletion() override { return true; }
    void Started(const QString &, int maximum) override { m_at.assign(size_t(maximum) + 1, 0.0); }
    void Progress(int value) override
    {
        if (value >= 0 && size_t(value) < m_at.size())
            m_at[size_t(value)] = msSince(m_clock);
    }
    void Finished() override {}
    void Pace(int) override {}
    /// ms since the clock started when the export reached value.
    double At(int value) const { return m_at.at(size_t(value)); }

private:
    const QElapsedTimer &m_clock;
    std::vector<double> m_at;
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
    const QString seg2Source = work + "/EXPORT.SG2";
    const qint64 bytes = makeExportProject(records, seg2Source);
    if (bytes == 0 || !QDir().mkpath(stick)) {
        std::fprintf(stderr, "bench_browser: cannot make the export project\n");
        return;
    }
    SetPlatform(std::make_unique<StickPlatform>(stick));
    const QString target = stick + "/EXPORT.PRO";
    const QString seg2Target = stick + "/EXPORT.SG2";
    const auto clearStick = [&] {
        QDir(target).removeRecursively();
        QDir(seg2Target).removeRecursively();
        ::sync();
    };
    const auto copy = [](const QStringList &folders) {
        bool ok = true;
        for (int i = 0; i + 1 < folders.size(); i += 2)
            ok = QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), folders[i], folders[i + 1]}) == 0 && ok;
        return QProcess::execute(QStringLiteral("sync"), {}) == 0 && ok;
    };
    std::vector<double> exported, copied, ratios, exportCpu, copyCpu, sizing, recordStep, recordCopy, recordRatios;
    for (int r = 0; r < rounds; ++r) {
        clearStick();
        QElapsedTimer t;
        TimingObserver observer(t);
        ProjectExport task(CurrentParams(), QStringLiteral("EXPORT"), observer);
        task.SetFlushLimitMs(kFlushLimitMs);
        t.start();
        const double cpuBefore = bench::ProcessCpuMs();
        const bool ok = task.Run() == ProjectTaskResult::Done;
        const double exportMs = msSince(t);
        exportCpu.push_back(bench::ProcessCpuMs() - cpuBefore);

        clearStick();
        t.restart();
        const double childrenBefore = childrenCpuMs();
        const bool copiedAll = copy({source, target, seg2Source, seg2Target});
        const double cpMs = msSince(t);
        copyCpu.push_back(childrenCpuMs() - childrenBefore);

        clearStick();
        t.restart();
        const bool copiedRecords = copy({source, target});
        const double cpRecordsMs = msSince(t);
        if (!ok || !copiedAll || !copiedRecords) {
            std::fprintf(stderr, "bench_browser: export %d, cp %d %d\n", ok, copiedAll, copiedRecords);
            return;
        }
        exported.push_back(exportMs);
        copied.push_back(cpMs);
        ratios.push_back(cpMs / exportMs);
        // Progress 0 comes once the SEG-2 sizes are known; progress "records"
        // once the last batch of record files is in place.
        sizing.push_back(observer.At(0));
        recordStep.push_back(observer.At(records) - observer.At(0));
        recordCopy.push_back(cpRecordsMs);
        recordRatios.push_back(cpRecordsMs / recordStep.back());
    }
    clearStick();
    SetPlatform(nullptr);
    const double mb = bytes / 1e6;
    std::printf("export, %d records and their SEG-2 files (%.1f MB): export %.0f ms (%.1f MB/s), "
                "cp -r + sync %.0f ms (%.1f MB/s), ratio %.2f (goal >= 0.8), medians of %d; ratios:",
                records, mb, bench::Median(exported), mb / bench::Median(exported) * 1e3, bench::Median(copied),
                mb / bench::Median(copied) * 1e3, bench::Median(ratios), rounds);
    for (double x : ratios)
        std::printf(" %.2f", x);
    std::printf("\nexport processor time %.0f ms, cp -r + sync %.0f ms (medians)\n", bench::Median(exportCpu),
                bench::Median(copyCpu));
    std::printf("of the export: SEG-2 sizes %.0f ms; record files %.0f ms against cp -r + sync of them %.0f ms, "
                "ratio %.2f\n",
                bench::Median(sizing), bench::Median(recordStep), bench::Median(recordCopy), bench::Median(recordRatios));
}

} // namespace

int main(int argc, char *argv[])
{
    bench::OffscreenUnlessSet();
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
