// convert: records into the field's exchange formats (SEG-2, SEG-Y), one
// output per record, named after it, never replacing a file.
//   zeb-record convert --to seg2|segy FILE|PROJECT-FOLDER... [-o DIR]
// Written paths go to standard output; refusals, a progress line (folders, on
// a terminal) and the closing summary to standard error. The exit code is that
// of the first record that failed (the tool's table: 1, 2, 3, 65, 73, 74).
#include "RecordTool.h"

#include "records/RecordConvert.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace {

struct Job
{
    QString Record;
    QString OutDir;
    bool FromFolder = false;
    bool EmptyFolder = false; ///< a folder without record files, reported like an unopenable record
};

struct Tally
{
    int Converted = 0;
    int Refused = 0;      ///< the reader refused the record, or it has no place in the format
    int Existing = 0;     ///< the output was there already
    int Failed = 0;       ///< the output could not be written
    int FirstExit = 0;
};

int exitCodeOf(int result)
{
    switch (result) {
    case RecordOk:
        return 0;
    case RecordUnrecognised:
    case RecordCorrupt:
    case RecordNotSurfaceWave:
        return -result;
    case RecordNotConvertible:
        return kExitNotConvertible;
    case RecordExists:
        return kExitWouldOverwrite;
    default:
        return kExitOutput;
    }
}

bool isRecordFile(const QFileInfo &info)
{
    return info.isFile()
        && info.suffix().compare(QLatin1String(RecordLayout::kFileExtension), Qt::CaseInsensitive) == 0;
}

// A folder contributes its record files, in name order; anything else is taken as a record.
QList<Job> collectJobs(const QStringList &inputs, const QString &outDir)
{
    QList<Job> jobs;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (!info.isDir()) {
            jobs.append({input, outDir.isEmpty() ? info.absolutePath() : outDir});
            continue;
        }
        const QDir folder(input);
        const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        bool found = false;
        for (const QFileInfo &entry : entries) {
            if (isRecordFile(entry)) {
                jobs.append({entry.filePath(), outDir.isEmpty() ? folder.absolutePath() : outDir, true});
                found = true;
            }
        }
        // Reported like a record that cannot be opened: a mistyped folder must not pass as done.
        if (!found)
            jobs.append({input, QString(), true, true});
    }
    return jobs;
}

void count(Tally &tally, int result)
{
    switch (result) {
    case RecordOk:
        ++tally.Converted;
        break;
    case RecordExists:
        ++tally.Existing;
        break;
    case RecordWriteFailed:
    case RecordDiskFull: // the disk's fault, not the record's
        ++tally.Failed;
        break;
    default:
        ++tally.Refused;
        break;
    }
    if (!tally.FirstExit)
        tally.FirstExit = exitCodeOf(result);
}

} // namespace

int RunConvert(const ToolArgs &args)
{
    QString to, outDir;
    QStringList inputs;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if ((a == QLatin1String("--to") || a == QLatin1String("-o")) && i + 1 < args.size())
            (a == QLatin1String("--to") ? to : outDir) = args.at(++i);
        else if (a.startsWith(QLatin1Char('-')) && a.size() > 1)
            return UsageError();
        else
            inputs << a;
    }
    if (inputs.isEmpty() || (to != QLatin1String("seg2") && to != QLatin1String("segy")))
        return UsageError();
    const ExchangeFormat format = to == QLatin1String("seg2") ? ExchangeFormat::Seg2 : ExchangeFormat::Segy;

    const QList<Job> jobs = collectJobs(inputs, outDir);
    // Temporaries of runs that were killed would otherwise stay for good.
    QStringList cleaned;
    for (const Job &job : jobs) {
        if (!job.OutDir.isEmpty() && !cleaned.contains(job.OutDir)) {
            RemoveStaleTemporaries(job.OutDir);
            cleaned << job.OutDir;
        }
    }
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    bool progressShown = false;
    Tally tally;
    bool written = true;
    for (int i = 0; i < jobs.size(); ++i) {
        const Job &job = jobs.at(i);
        if (showProgress && job.FromFolder) {
            std::fprintf(stderr, "\r\033[K[%d/%lld] %s", i + 1, static_cast<long long>(jobs.size()),
                         QFile::encodeName(QFileInfo(job.Record).fileName()).constData());
            std::fflush(stderr);
            progressShown = true;
        }
        QString outPath, problem;
        const int result = job.EmptyFolder
            ? RecordUnrecognised
            : ConvertRecordFile(job.Record, job.OutDir, format, &outPath, &problem);
        if (job.EmptyFolder)
            problem = QStringLiteral("no record files in this folder");
        count(tally, result);
        if (result == RecordOk) {
            written = put(QFile::encodeName(outPath) + '\n') && written;
            continue;
        }
        if (progressShown)
            std::fputs("\r\033[K", stderr);
        if (result == RecordExists)
            problem = QStringLiteral("%1 exists already and is left as it is").arg(outPath);
        std::fprintf(stderr, "%s\n%s: %s\n", RecordResultMessage(result).toUtf8().constData(),
                     QFile::encodeName(job.Record).constData(), problem.toUtf8().constData());
    }
    if (progressShown)
        std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "%d of %lld records converted to %s", tally.Converted,
                 static_cast<long long>(jobs.size()), format == ExchangeFormat::Seg2 ? "SEG-2" : "SEG-Y");
    if (tally.Refused || tally.Existing || tally.Failed)
        std::fprintf(stderr, " (%d refused, %d would overwrite, %d not written)", tally.Refused,
                     tally.Existing, tally.Failed);
    std::fputs("\n", stderr);
    const int output = FinishOutput(written);
    return tally.FirstExit ? tally.FirstExit : output;
}
