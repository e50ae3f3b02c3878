#pragma once

#include "RecordFormat.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

/// Unsaved pictures the journal keeps (and what a saved newest entry adds).
constexpr int kJournalUnsavedEntries = 10;
/// Bytes the journal's entries may take together: ten of the largest
/// records the unit delivers. The newest entry is kept whatever its size.
constexpr qint64 kJournalByteLimit = qint64(64) * 1024 * 1024;

/// One picture as the journal keeps it: the whole record (blocks with the
/// date and time of the shot, traces) and the stack count it showed.
struct JournalPicture
{
    RecordBlocks Blocks;
    TraceSet Traces;
    int StackCount = 0;
};

/// An entry of the journal folder, as its file name tells.
struct JournalEntry
{
    QString Path;
    QString Name;      ///< file name without extension, as the record browser lists it
    quint64 Sequence = 0;
    bool Saved = false;
};

/// The journal of unsaved shots: after every change of the picture on
/// screen that is not saved, the whole record goes to an entry in the
/// journal folder (beside the data folder, never inside a project), so that
/// a crash or a power cut loses nothing.
///
/// Entries are written on a thread of the journal's own: the caller only
/// hands over the picture, whose traces are shared, not copied. Each entry
/// is written under a hidden temporary name, flushed to the disk and only
/// then renamed, and carries a CRC-32 over all its bytes, so a torn or
/// damaged entry is recognised and never taken for data. The journal keeps
/// the newest kJournalUnsavedEntries unsaved entries within its byte limit;
/// saving a picture renames its entry to the saved extension.
///
/// Entry file: name "MMdd-hhmmss-<sequence>" with extension "JNL" (unsaved)
/// or "JSV" (saved); content, little-endian:
///   0  8 bytes  "ZEBJNL01"
///   8  u64      sequence (grows by one per entry)
///  16  i64      time of the picture, ms since the epoch (UTC)
///  24  i32      stack count
///  28  u32      length of the record that follows
///  32  u32      CRC-32 (IEEE) of bytes 0…31 and the record
///  36  …        the record, exactly as a saved record file
class ShotJournal : public QObject
{
    Q_OBJECT

public:
    /// folder: where the entries go (created when first written);
    /// byteLimit: what all entries may take together.
    explicit ShotJournal(const QString &folder, qint64 byteLimit = kJournalByteLimit, QObject *parent = nullptr);
    /// Finishes every entry handed over before it returns.
    ~ShotJournal() override;
    ShotJournal(const ShotJournal &) = delete;
    ShotJournal &operator=(const ShotJournal &) = delete;

    const QString &Folder() const { return m_folder; }
    /// The sequence the next entry will get.
    quint64 NextSequence() const { return m_nextSequence; }

    /// Hands picture over for its entry; returns the entry's sequence.
    quint64 Record(const JournalPicture &picture, const QDateTime &taken);
    /// Marks the entry of sequence saved (after its write, if that is still under way).
    void MarkSaved(quint64 sequence);
    /// Returns once every entry handed over so far is written (or has failed).
    void WaitIdle();

    /// The entries of folder with a final name, newest (highest sequence) first.
    /// Only names are read: an entry listed may still turn out damaged.
    static QList<JournalEntry> ListEntries(const QString &folder);
    /// The whole entries of folder, newest first; unsavedOnly leaves saved ones out.
    static QList<JournalEntry> WholeEntries(const QString &folder, bool unsavedOnly);
    /// Reads the entry at path: RecordOk, RecordUnrecognised when it cannot
    /// be opened or is no journal entry, RecordCorrupt when it is torn or its
    /// checksum does not match.
    static int ReadEntry(const QString &path, JournalPicture &picture);

signals:
    /// The entry of sequence is whole on the disk.
    void Written(quint64 sequence);
    /// An entry could not be written; problem says why (for the log),
    /// diskFull whether the disk had no room left.
    void Failed(const QString &problem, bool diskFull);

private:
    void Enqueue(std::function<void()> job);
    void Run();
    bool Write(quint64 sequence, const JournalPicture &picture, const QDateTime &taken, QString *problem,
               bool *diskFull);
    void Rename(quint64 sequence);
    void Prune();
    void RemoveTemporaries();

    QString m_folder;
    qint64 m_byteLimit;
    quint64 m_nextSequence = 1;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    bool m_running = false; ///< a job is being run
    bool m_stopping = false;
    std::thread m_thread;
};

/// The journal folder beside the data folder: program directory / "QDW-JOURNAL".
QString JournalFolderPath();
/// How the record browser names the journal among the projects.
QString JournalProjectName();
/// The extension of unsaved journal entries, as the record browser lists them.
QString JournalEntryExtension();
