// Writes and reads the largest record (24 channels of 16384 samples) and
// prints the median times: writing, reading without a window, and reading
// as the screens do, with the progress window (offscreen unless a platform is
// chosen); the last also less the window's fixed start (building it, showing
// it and the wait for it to paint), which does not depend on the record.
//   bench_records [rounds]
#include "BenchUtil.h"
#include "LargestRecord.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "browser/RecordFiles.h"
#include "browser/RecordProgressWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const int kChannels = bench::kRecordChannels;
const int kSamples = bench::kRecordSamples;
const int kDefaultRounds = 15;

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::OffscreenUnlessSet();
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_records: no temporary directory\n");
        return 1;
    }
    SetProgramDir(dir.path());
    bench::FillLargestRecord();

    std::vector<double> writes, plain, windowed, starts, finishes;
    const QString path = dir.filePath(QStringLiteral("R.QDW"));
    for (int r = 0; r < rounds; ++r) {
        const QString target = dir.filePath(QStringLiteral("W%1.QDW").arg(r));
        QElapsedTimer t;
        t.start();
        if (WriteRecord(CurrentParams(), target) != RecordOk) {
            std::fprintf(stderr, "bench_records: writing %s failed\n", qPrintable(target));
            return 1;
        }
        writes.push_back(msSince(t));
    }
    QFile::copy(dir.filePath(QStringLiteral("W0.QDW")), path);

    // Alternating, so that both reads see the same machine load.
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        if (ReadRecordFile(CurrentParams(), path, nullptr) != RecordOk)
            return 1;
        plain.push_back(msSince(t));

        t.restart();
        if (ReadRecord(CurrentParams(), path) != RecordOk)
            return 1;
        windowed.push_back(msSince(t));

        // The window's fixed part on its own: built, shown, waited for, closed.
        RecordProgressWindow window;
        t.restart();
        window.Started(QStringLiteral("bench"), 0, kChannels * kSamples - 1);
        starts.push_back(msSince(t));
        t.restart();
        window.Finished();
        finishes.push_back(msSince(t));
    }

    const double w = bench::Median(windowed);
    const double p = bench::Median(plain);
    const double s = bench::Median(starts);
    std::printf("record: %d channels x %d samples, %lld bytes, %d rounds, medians\n", kChannels, kSamples,
                static_cast<long long>(QFileInfo(path).size()), rounds);
    std::printf("write (synced to disk)        %8.2f ms\n", bench::Median(writes));
    std::printf("read without window           %8.2f ms\n", p);
    std::printf("read with window              %8.2f ms  (%.2f x)\n", w, w / p);
    std::printf("  window start (show, wait)   %8.2f ms  (measured apart)\n", s);
    std::printf("  window close                %8.2f ms  (measured apart)\n", bench::Median(finishes));
    std::printf("read with window, less start  %8.2f ms  (%.2f x; the %d value updates included)\n", w - s,
                (w - s) / p, kChannels * kSamples);
    return 0;
}
