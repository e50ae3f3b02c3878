#include "ShotJournal.h"

#include "RecordFile.h"
#include "RecordLog.h"
#include "SafeWriteBatch.h"
#include "params/DurableFile.h"
#include "platform/Platform.h"
#include "params/ParamSet.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

const char kFolderName[] = "QDW-JOURNAL";
const char kProjectName[] = "未保存数据";
const char kUnsavedExt[] = "JNL";
const char kSavedExt[] = "JSV";
const char kTempExt[] = "tmp";
const char kNameTimeFormat[] = "MMdd-hhmmss";

const char kMagic[] = "ZEBJNL01";
constexpr int kMagicSize = 8;
constexpr int kSequencePos = 8;
constexpr int kTakenPos = 16;
constexpr int kStackCountPos = 24;
constexpr int kLengthPos = 28;
constexpr int kChecksumPos = 32;
constexpr int kEntryHeaderSize = 36;

quint32 Crc32(const char *data, qint64 size, quint32 crc = 0)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (qint64 i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QString EntryPath(const QString &folder, const QString &name, const char *ext)
{
    return folder + QLatin1Char('/') + name + QLatin1Char('.') + QLatin1String(ext);
}

/// The sequence a journal name ends in, 0 when it is none of ours.
quint64 SequenceOf(const QString &name)
{
    const int dash = name.lastIndexOf(QLatin1Char('-'));
    bool ok = false;
    const quint64 sequence = dash >= 0 ? name.mid(dash + 1).toULongLong(&ok) : 0;
    return ok ? sequence : 0;
}

} // namespace

QString JournalFolderPath()
{
    return ProgramDir() + QLatin1Char('/') + QLatin1String(kFolderName);
}

QString JournalProjectName()
{
    return QString::fromUtf8(kProjectName);
}

QString JournalEntryExtension()
{
    return QLatin1String(kUnsavedExt);
}

ShotJournal::ShotJournal(const QString &folder, qint64 byteLimit, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_byteLimit(byteLimit)
{
    const QList<JournalEntry> entries = ListEntries(folder);
    if (!entries.isEmpty())
        m_nextSequence = entries.first().Sequence + 1;
    m_thread = std::thread([this] { Run(); });
    // Temporaries left by a write that was cut short (a crash, the power).
    Enqueue([this] { RemoveTemporaries(); });
}

ShotJournal::~ShotJournal()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

quint64 ShotJournal::Record(const JournalPicture &picture, const QDateTime &taken)
{
    const quint64 sequence = m_nextSequence++;
    // The traces are shared with the screen's: the screen detaches its own
    // when it changes them, so this copy stays as it was handed over.
    Enqueue([this, sequence, picture, taken] {
        QString problem;
        bool diskFull = false;
        if (Write(sequence, picture, taken, &problem, &diskFull)) {
            emit Written(sequence);
        } else {
            qCWarning(lcRecords) << "journal entry" << sequence << "not written:" << problem;
            emit Failed(problem, diskFull);
        }
        Prune();
    });
    return sequence;
}

void ShotJournal::MarkSaved(quint64 sequence)
{
    Enqueue([this, sequence] { Rename(sequence); });
}

void ShotJournal::WaitIdle()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_running; });
}

void ShotJournal::Enqueue(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void ShotJournal::Run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            // Stopping still writes what was handed over: nothing is dropped.
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_running = true;
        }
        job();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_running = false;
        }
        m_idle.notify_all();
    }
}

bool ShotJournal::Write(quint64 sequence, const JournalPicture &picture, const QDateTime &taken, QString *problem,
                        bool *diskFull)
{
    *diskFull = false;
    if (!QDir().mkpath(m_folder) || !QFileInfo(m_folder).isDir()) {
        *problem = QStringLiteral("cannot create the journal folder %1").arg(m_folder);
        return false;
    }
    const QByteArray record = EncodeRecord(picture.Blocks, picture.Traces);
    char header[kEntryHeaderSize];
    std::memcpy(header, kMagic, kMagicSize);
    qToLittleEndian<quint64>(sequence, header + kSequencePos);
    qToLittleEndian<qint64>(taken.toMSecsSinceEpoch(), header + kTakenPos);
    qToLittleEndian<qint32>(picture.StackCount, header + kStackCountPos);
    qToLittleEndian<quint32>(quint32(record.size()), header + kLengthPos);
    const quint32 crc = Crc32(record.constData(), record.size(), Crc32(header, kChecksumPos));
    qToLittleEndian<quint32>(crc, header + kChecksumPos);

    const QString name = taken.toString(QLatin1String(kNameTimeFormat)) + QLatin1Char('-') + QString::number(sequence);
    // Hidden, so that nothing that lists the folder ever takes it for an entry.
    const QString temp = EntryPath(m_folder, QLatin1Char('.') + name, kTempExt);
    const QString target = EntryPath(m_folder, name, kUnsavedExt);
    const QByteArrayList pieces{QByteArray(header, kEntryHeaderSize), record};
    const WriteOutcome outcome = WriteFileDurably(target, temp, pieces, ExistingFile::Replace, QByteArray(), problem);
    *diskFull = outcome == WriteOutcome::DiskFull;
    return outcome == WriteOutcome::Written;
}

void ShotJournal::Rename(quint64 sequence)
{
    const QList<JournalEntry> entries = ListEntries(m_folder);
    for (const JournalEntry &e : entries) {
        if (e.Sequence != sequence || e.Saved)
            continue;
        if (CurrentPlatform().RenameFile(e.Path, EntryPath(m_folder, e.Name, kSavedExt)))
            SyncDirectory(m_folder);
        else
            qCWarning(lcRecords) << "cannot mark journal entry" << e.Path << "saved";
        return;
    }
}

void ShotJournal::Prune()
{
    const QList<JournalEntry> entries = ListEntries(m_folder);
    int unsavedKept = 0;
    qint64 bytes = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const JournalEntry &e = entries.at(i);
        const qint64 size = QFileInfo(e.Path).size();
        // The newest entry always stays, saved or not: it tells the next
        // start whether the last picture was saved.
        bool keep = i == 0;
        if (!keep && !e.Saved)
            keep = unsavedKept < kJournalUnsavedEntries && bytes + size <= m_byteLimit;
        if (keep) {
            bytes += size;
            unsavedKept += e.Saved ? 0 : 1;
        } else if (!QFile::remove(e.Path)) {
            qCWarning(lcRecords) << "cannot remove old journal entry" << e.Path;
        }
    }
}

void ShotJournal::RemoveTemporaries()
{
    const QString suffix = QLatin1Char('.') + QLatin1String(kTempExt);
    QDirIterator it(m_folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString file = it.fileName();
        if (file.startsWith(QLatin1Char('.')) && file.endsWith(suffix))
            QFile::remove(path);
    }
}

QList<JournalEntry> ShotJournal::ListEntries(const QString &folder)
{
    QList<JournalEntry> entries;
    const QString unsaved = QLatin1Char('.') + QLatin1String(kUnsavedExt);
    const QString saved = QLatin1Char('.') + QLatin1String(kSavedExt);
    // Folders too: something that bears an entry's name but cannot be read
    // must be met, and refused, like any damaged entry.
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString file = it.fileName();
        const bool isSaved = file.endsWith(saved, Qt::CaseSensitive);
        if (!isSaved && !file.endsWith(unsaved, Qt::CaseSensitive))
            continue;
        JournalEntry e;
        e.Path = path;
        e.Name = file.chopped(unsaved.size());
        e.Sequence = SequenceOf(e.Name);
        e.Saved = isSaved;
        if (e.Sequence > 0)
            entries.append(e);
    }
    std::sort(entries.begin(), entries.end(),
              [](const JournalEntry &a, const JournalEntry &b) { return a.Sequence > b.Sequence; });
    return entries;
}

QList<JournalEntry> ShotJournal::WholeEntries(const QString &folder, bool unsavedOnly)
{
    QList<JournalEntry> whole;
    const QList<JournalEntry> entries = ListEntries(folder);
    for (const JournalEntry &e : entries) {
        if (unsavedOnly && e.Saved)
            continue;
        JournalPicture picture;
        if (ReadEntry(e.Path, picture) == RecordOk)
            whole.append(e);
    }
    return whole;
}

int ShotJournal::ReadEntry(const QString &path, JournalPicture &picture)
{
    QByteArray bytes;
    const int loaded = LoadRecordBytes(path, bytes);
    if (loaded != RecordOk)
        return loaded;
    if (bytes.size() < kEntryHeaderSize) {
        // Cut short; an entry is only ever renamed into place complete.
        return bytes.startsWith(QByteArray(kMagic).left(bytes.size())) ? RecordCorrupt : RecordUnrecognised;
    }
    const char *header = bytes.constData();
    if (std::memcmp(header, kMagic, kMagicSize) != 0)
        return RecordUnrecognised;
    const quint32 length = qFromLittleEndian<quint32>(header + kLengthPos);
    if (qint64(length) != bytes.size() - kEntryHeaderSize)
        return RecordCorrupt;
    const quint32 crc = Crc32(header + kEntryHeaderSize, length, Crc32(header, kChecksumPos));
    if (crc != qFromLittleEndian<quint32>(header + kChecksumPos))
        return RecordCorrupt;
    ParsedRecord record = ParseRecord(bytes.mid(kEntryHeaderSize));
    if (record.Result != RecordOk)
        return record.Result;
    picture.Blocks = record.Blocks;
    picture.StackCount = qFromLittleEndian<qint32>(header + kStackCountPos);
    for (int c = 0; c < kMaxChannels; ++c)
        picture.Traces[c] = c < int(record.Traces.size()) ? std::move(record.Traces[size_t(c)]) : QVector<float>();
    return RecordOk;
}
