#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QFile;

/// Longest a healthy device takes to start and finish a flush; a stick that
/// takes longer (plus the time the bytes need at kSlowestBytesPerSecond) is
/// treated as failed rather than left to freeze the screen.
constexpr int kFlushLimitMs = 60000;
/// Slowest write speed of a stick that still works.
constexpr qint64 kSlowestBytesPerSecond = 256 * 1024;
/// As a flush limit: wait on the calling thread for as long as the disk takes,
/// for programs that have no screen to keep alive.
constexpr int kNoFlushLimit = -1;

/// What a safe write does about a file that already bears the new file's name.
enum class OldFile {
    Replace, ///< the new file takes its place once the new one is safely written
    Keep,    ///< the write fails and the old file stays as it is
};

/// Fills a temporary file, given its path, for writers that open files
/// themselves; says why in problem when it cannot.
using FileFiller = std::function<bool(const QString &tempPath, QString *problem)>;

/// Writes files so that a name only ever shows a complete file and an old
/// file is never lost. Each new file goes to a hidden temporary name of its
/// own in its folder; Commit() flushes them all to the device (one flush of
/// the volume for the batch, then a wait on each file's data, which reports
/// its write errors), checks every size and only then renames each to its
/// name, in the order they were added, and flushes the folders. A failure at
/// any point removes the temporary files not yet renamed, leaves their old
/// files as they were and makes the batch fail; so does destroying a batch
/// that was not committed.
///
/// With a flush limit, the writes too run on a thread of their own within
/// the limit (for the bytes they write at kSlowestBytesPerSecond), so that
/// a device that hangs in a write fails the batch instead of freezing the
/// screen. Every write goes through the platform (CurrentPlatform()).
///
/// A batch of one is the plain safe write; larger batches save a flush per
/// file, which on a journalling or flash file system is most of the cost.
class SafeWriteBatch
{
public:
    /// flushLimitMs: how long a flush may take before the batch fails, or kNoFlushLimit.
    explicit SafeWriteBatch(int flushLimitMs = kFlushLimitMs, OldFile oldFile = OldFile::Replace);
    ~SafeWriteBatch();
    SafeWriteBatch(const SafeWriteBatch &) = delete;
    SafeWriteBatch &operator=(const SafeWriteBatch &) = delete;

    /// Writes a copy of the regular file source (keeping its modification
    /// time) for folder/name. False, and the batch failed, when it cannot.
    bool AddCopy(const QString &source, const QString &folder, const QString &name);
    /// Writes bytes for folder/name.
    bool AddBytes(const QByteArray &bytes, const QString &folder, const QString &name);
    /// Lets fill write the temporary file (which exists, empty) for
    /// folder/name; it must then hold expectedSize bytes.
    bool AddFilled(const FileFiller &fill, qint64 expectedSize, const QString &folder, const QString &name);
    /// Flushes, checks and renames everything added; true when every file
    /// took its place. The batch is empty afterwards either way.
    bool Commit();

    int Count() const { return int(m_pending.size()); }
    /// Why the batch failed last.
    const QString &Problem() const { return m_problem; }
    /// The batch failed last because a name was taken (OldFile::Keep).
    bool NameTaken() const { return m_nameTaken; }
    /// The batch failed last because the disk had no room left.
    bool DiskFull() const { return m_diskFull; }

private:
    struct Pending;
    using Writer = std::function<bool(QFile &out, qint64 &expected, QString *problem)>;
    /// size: the bytes the writer will write, for its time limit.
    bool Add(const QString &folder, const QString &name, qint64 size, const Writer &write);
    /// Runs write into file: on this thread without a limit, otherwise on a
    /// thread of its own within the limit for size bytes.
    bool RunWriter(QFile &file, qint64 size, const Writer &write, qint64 &expected, QString *why, bool *diskFull);
    bool Fail(const QString &problem, bool nameTaken = false);
    bool FlushAll();
    bool SizesHold();
    bool PutInPlace(Pending &p);
    void SyncFolders(const QStringList &folders);
    void Abandon();

    OldFile m_oldFile;
    int m_flushLimitMs;
    qint64 m_bytes = 0; ///< written by the pending files
    bool m_failed = false;
    bool m_nameTaken = false;
    bool m_diskFull = false;
    QString m_problem;
    std::vector<std::unique_ptr<Pending>> m_pending;
};

/// A batch of one: copies source to folder/name safely, replacing an old file.
bool SafeCopyFile(const QString &source, const QString &folder, const QString &name,
                  int flushLimitMs = kFlushLimitMs);

/// A batch of one: writes bytes to folder/name safely, replacing an old file.
bool SafeWriteBytes(const QByteArray &bytes, const QString &folder, const QString &name,
                    int flushLimitMs = kFlushLimitMs);

/// A batch of one that never replaces anything: creates the file at path from
/// what fill writes (expectedSize bytes), waiting for the disk on this thread.
/// RecordOk; RecordExists when path is taken (before or meanwhile);
/// RecordDiskFull when the disk had no room; RecordWriteFailed otherwise,
/// with the reason in problem.
int WriteNewFile(const QString &path, qint64 expectedSize, const FileFiller &fill,
                 QString *problem = nullptr);
/// The same for bytes that are already in memory.
int WriteNewFile(const QString &path, const QByteArray &bytes, QString *problem = nullptr);

/// Removes the temporary files that batches cut short (a stick pulled, the
/// power lost) left in folder.
void RemoveAbandonedTemporaries(const QString &folder);

/// Removes the temporary files in folder whose writer is gone: a process
/// killed mid-way (power, Ctrl-C, a crash) leaves them; a writer still at
/// work, in this process or another, keeps its own.
void RemoveStaleTemporaries(const QString &folder);

/// Hands what was written to file to the system and waits until it is on the disk.
bool SyncFileToDisk(QFile &file);
/// Makes a folder's new or renamed entries durable; a file's own sync does not.
void SyncDirectory(const QString &dir);
