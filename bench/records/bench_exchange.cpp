// Converting the largest record (24 channels of 16384 samples) into the
// exchange formats, as ratios to reading the record file itself:
//   read      the QDW file loaded and parsed (the yardstick)
//   seg2 mem  the SEG-2 bytes built from the parsed record
//   seg2 hook the export's call: SEG-2 bytes from the record file (read and build)
//   seg2      file to file: read, build, write through a temporary name, sync, rename
//   segy      file to file with segyio, the same way
//   write     for scale: the SEG-2 bytes written to a new file, no sync
//   sync      for scale: that file's fsync alone
// Medians of the rounds, wall clock and this thread's processor time.
//   bench_exchange [rounds]
#include "BenchUtil.h"
#include "LargestRecord.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/ExchangeRecord.h"
#include "records/RecordConvert.h"
#include "records/RecordFile.h"
#include "records/SafeWriteBatch.h"
#include "records/Seg2Writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

const int kDefaultRounds = 15;

struct Timing
{
    std::vector<double> Wall, Cpu;
};

bool measure(Timing &t, const std::function<bool()> &step)
{
    QElapsedTimer wall;
    const double cpu = bench::ThreadCpuMs();
    wall.start();
    const bool ok = step();
    t.Wall.push_back(wall.nsecsElapsed() / 1e6);
    t.Cpu.push_back(bench::ThreadCpuMs() - cpu);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    SetProgramDir(dir.path());

    bench::FillLargestRecord();
    const QString record = dir.filePath(QStringLiteral("R.QDW"));
    if (WriteRecord(CurrentParams(), record) != RecordOk) {
        std::fprintf(stderr, "bench_exchange: cannot write the record\n");
        return 1;
    }

    Timing read, seg2Memory, seg2Hook, seg2, segy, write, sync;
    bool ok = true;
    for (int r = 0; r < rounds && ok; ++r) {
        // Interleaved, so that every step sees the same machine load.
        // Each step also frees what it made, as its real callers do.
        ok &= measure(read, [&] {
            ParsedRecord parsed;
            return LoadParsedRecord(record, parsed) == RecordOk;
        });
        ParsedRecord parsed;
        ok &= LoadParsedRecord(record, parsed) == RecordOk;
        ok &= measure(seg2Memory, [&] {
            QByteArray built;
            return EncodeSeg2(ExchangeFromParsed(parsed, QStringLiteral("R")), built) == RecordOk;
        });
        QByteArray bytes;
        ok &= EncodeSeg2(ExchangeFromParsed(parsed, QStringLiteral("R")), bytes) == RecordOk;
        ok &= measure(seg2Hook, [&] {
            QByteArray hooked;
            return Seg2FromRecordFile(record, hooked) == RecordOk;
        });
        const QString out = dir.filePath(QStringLiteral("out%1").arg(r));
        ok &= measure(seg2, [&] { return ConvertRecordFile(record, out, ExchangeFormat::Seg2) == RecordOk; });
        ok &= measure(segy, [&] { return ConvertRecordFile(record, out, ExchangeFormat::Segy) == RecordOk; });
        QFile plain(dir.filePath(QStringLiteral("plain%1").arg(r)));
        ok &= measure(write, [&] { return plain.open(QIODevice::WriteOnly) && plain.write(bytes) == bytes.size() && plain.flush(); });
        ok &= measure(sync, [&] { return SyncFileToDisk(plain); });
        plain.remove();
        QDir(out).removeRecursively();
    }
    if (!ok) {
        std::fprintf(stderr, "bench_exchange: a conversion failed\n");
        return 1;
    }

    const double base = bench::Median(read.Wall);
    const double baseCpu = bench::Median(read.Cpu);
    std::printf("24 x 16384 record, %d rounds (medians)\n", rounds);
    std::printf("%-10s %9s %7s %9s %7s\n", "step", "wall ms", "ratio", "cpu ms", "ratio");
    const std::pair<const char *, const Timing *> rows[] = {
        {"read", &read}, {"seg2 mem", &seg2Memory}, {"seg2 hook", &seg2Hook}, {"seg2", &seg2}, {"segy", &segy},
        {"write", &write}, {"sync", &sync}};
    for (const auto &[name, t] : rows) {
        const double w = bench::Median(t->Wall), c = bench::Median(t->Cpu);
        std::printf("%-10s %9.2f %7.2f %9.2f %7.2f\n", name, w, w / base, c, c / baseCpu);
    }
    return 0;
}
