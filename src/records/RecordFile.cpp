#include "RecordFile.h"

#include "RecordLog.h"
#include "RecordProgress.h"
#include "SafeWriteBatch.h"
#include "model/TraceStore.h"
#include "params/DurableFile.h"
#include "params/ParamSet.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>

Q_LOGGING_CATEGORY(lcRecords, "zeb.records")

using namespace RecordLayout;

namespace {

const char kDateFormat[] = "yyyy-MM-dd";
const char kTimeFormat[] = "hh:mm:ss";

} // namespace

// A name typed on the keypad, kept in the settings or read from a record
// header must not lead a path out of its folder.
bool IsPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString DataRootPath(const ParamSet &params)
{
    // Set when the settings are loaded; a save before that still goes below the program.
    if (!params.DataRoot.isEmpty())
        return params.DataRoot;
    return ProgramDir() + QLatin1Char('/') + params.DataFolderName;
}

QString RecordSavePath(const ParamSet &params, const QString &name)
{
    return DataRootPath(params) + QLatin1Char('/') + params.Header.ProjectName + QLatin1Char('.')
        + params.ProjectFolderExt + QLatin1Char('/') + name + QLatin1Char('.') + params.RecordFileExt;
}

QString RecordOpenPath(const ParamSet &params, const QString &project, const QString &record)
{
    return ProgramDir() + QLatin1Char('/') + params.DataFolderName + QLatin1Char('/') + project
        + QLatin1Char('.') + params.ProjectFolderExt + QLatin1Char('/') + record + QLatin1Char('.')
        + params.RecordFileExt;
}

int SaveRecordAs(ParamSet &params, const QString &name)
{
    params.LastRecordName = name;
    if (!IsPlainName(name) || !IsPlainName(params.Header.ProjectName)) {
        qCWarning(lcRecords) << "refusing record name" << name << "in project" << params.Header.ProjectName;
        return RecordWriteFailed;
    }
    const QString path = RecordSavePath(params, name);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        qCWarning(lcRecords) << "cannot create project folder" << folder;
        return RecordWriteFailed;
    }
    RemoveUnfinishedRecords(folder);
    if (QFileInfo::exists(path))
        return RecordExists;
    return WriteRecord(params, path);
}

RecordBlocks BlocksFromParams(const ParamSet &params)
{
    RecordBlocks blocks;
    blocks.Header = params.Header;
    blocks.Header.ChannelCount = params.ChannelsInUse();
    blocks.Header.SampleLength = params.SampleLengthInUse();
    blocks.SensorType = params.Sensor.SensorType;
    blocks.MeteringSignal = params.Sensor.MeteringSignal;
    blocks.Sensitivity = params.Sensor.Sensitivity;
    blocks.HasGains = true;
    blocks.Gains = params.Gains;
    return blocks;
}

int WriteRecord(ParamSet &params, const QString &path)
{
    RecordBlocks blocks = BlocksFromParams(params);
    const QDateTime now = QDateTime::currentDateTime();
    blocks.Header.Date = now.toString(QLatin1String(kDateFormat));
    blocks.Header.Time = now.toString(QLatin1String(kTimeFormat));
    return WriteRecordFile(blocks, Store().Traces, path);
}

int WriteRecordFile(const RecordBlocks &blocks, const TraceSet &traces, const QString &path)
{
    const RecordHeader &h = blocks.Header;
    const qint64 expected = kDataOffset + qint64(kFieldSize) * h.ChannelCount * h.SampleLength;
    // A file without channels or samples would be refused by every reader.
    if (h.ChannelCount < 1 || h.SampleLength < 1 || expected > kMaxFileBytes) {
        qCWarning(lcRecords) << "not writing" << path << "with" << h.ChannelCount << "channels of"
                             << h.SampleLength << "samples";
        return RecordWriteFailed;
    }

    QByteArray bytes = EncodeRecord(blocks, traces);
    std::memcpy(bytes.data(), kWritingMark, kMarkSize);
    // The final name only ever holds a whole record: a power cut in the
    // middle leaves a hidden temporary, which the next visit to the folder
    // clears away, not a damaged file that blocks the name.
    QString problem;
    const WriteOutcome outcome = WriteFileDurably(path, UnfinishedRecordPath(path), bytes, ExistingFile::Keep,
                                                  QByteArray(kIdentMark, kMarkSize), &problem);
    switch (outcome) {
    case WriteOutcome::Written:
        return RecordOk;
    case WriteOutcome::NameTaken:
        qCWarning(lcRecords) << "not writing over" << path;
        return RecordWriteFailed;
    case WriteOutcome::DiskFull:
        qCWarning(lcRecords) << "writing" << path << "failed, the disk is full:" << problem;
        return RecordDiskFull;
    case WriteOutcome::Failed:
        break;
    }
    qCWarning(lcRecords) << "writing" << path << "failed:" << problem;
    return RecordWriteFailed;
}

QString UnfinishedRecordPath(const QString &path)
{
    return DurableTemporaryPath(path);
}

int RemoveUnfinishedRecords(const QString &folder)
{
    int removed = 0;
    const QString suffix = QLatin1String(kDurableTemporarySuffix);
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(suffix))
            continue;
        // The shot itself is in the journal: it was kept there before any save began.
        if (QFile::remove(folder + QLatin1Char('/') + name))
            ++removed;
        else
            qCWarning(lcRecords) << "cannot remove the unfinished record" << name << "in" << folder;
    }
    return removed;
}

int LoadRecordBytes(const QString &path, QByteArray &bytes, bool *opened)
{
    if (opened)
        *opened = false;
    bytes.clear();
    // A device or a pipe is no record, and reading one might never end.
    if (!QFileInfo(path).isFile())
        return RecordUnrecognised;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return RecordUnrecognised;
    if (opened)
        *opened = true;
    if (file.size() > kMaxFileBytes) {
        qCWarning(lcRecords) << path << "is too large for a record:" << file.size() << "bytes";
        return RecordCorrupt;
    }
    // The size as it was checked, even if the file grows while it is read.
    bytes = file.read(file.size());
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcRecords) << "reading" << path << "failed:" << file.errorString();
        bytes.clear();
        return RecordCorrupt;
    }
    return RecordOk;
}

void ApplyRecord(ParsedRecord &record, ParamSet &params)
{
    const RecordBlocks &blocks = record.Blocks;
    params.Header = blocks.Header;
    params.Sensor.SensorType = blocks.SensorType;
    params.Sensor.MeteringSignal = blocks.MeteringSignal;
    params.Sensor.Sensitivity = blocks.Sensitivity;
    if (blocks.HasGains)
        params.Gains = blocks.Gains;
    TraceSet &traces = Store().Traces;
    const int count = qMin(static_cast<int>(record.Traces.size()), kMaxChannels);
    for (int ch = 0; ch < count; ++ch)
        traces[ch] = std::move(record.Traces[static_cast<size_t>(ch)]);
}

int ReadRecordFile(ParamSet &params, const QString &path, RecordProgress *progress)
{
    QByteArray bytes;
    bool opened = false;
    const int loaded = LoadRecordBytes(path, bytes, &opened);
    if (opened)
        params.CurrentRecordPath = path;
    if (loaded != RecordOk)
        return loaded;

    ParsedRecord record = ParseRecord(bytes, progress);
    if (record.Result != RecordOk) {
        qCInfo(lcRecords) << "refused" << path << ":" << record.Problem;
        return record.Result;
    }
    bytes.clear();
    ApplyRecord(record, params);
    return RecordOk;
}
