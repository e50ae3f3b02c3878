#pragma once

#include <QByteArray>
#include <QString>

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

/// Writes files so that an old file of the same name is never lost. Each new
/// file goes to a temporary name in its own folder; Commit() flushes them all
/// to the device (one flush of the volume for the batch, then a wait on each
/// file's data, which reports its write errors), checks every size and only then
/// renames each over its old file, in the order they were added. A failure
/// at any point removes the temporary files not yet renamed, leaves their old
/// files as they were and makes the batch fail; so does destroying a batch
/// that was not committed. The renames are durable once the folder's volume
/// has been flushed once more.
///
/// A batch of one is the plain safe write; larger batches save a flush per
/// file, which on a journalling or flash file system is most of the cost.
class SafeWriteBatch
{
public:
    explicit SafeWriteBatch(int flushLimitMs = kFlushLimitMs);
    ~SafeWriteBatch();
    SafeWriteBatch(const SafeWriteBatch &) = delete;
    SafeWriteBatch &operator=(const SafeWriteBatch &) = delete;

    /// Writes a copy of the regular file source (keeping its modification
    /// time) for folder/name. False, and the batch failed, when it cannot.
    bool AddCopy(const QString &source, const QString &folder, const QString &name);
    /// Writes bytes for folder/name.
    bool AddBytes(const QByteArray &bytes, const QString &folder, const QString &name);
    /// Flushes, checks and renames everything added; true when every file
    /// took its place. The batch is empty afterwards either way.
    bool Commit();

    int Count() const { return int(m_pending.size()); }

private:
    struct Pending;
    bool Add(const QString &folder, const QString &name, const std::function<bool(QFile &, qint64 &)> &write);
    bool FlushAll();
    void Abandon();

    int m_flushLimitMs;
    qint64 m_bytes = 0; ///< written by the pending files
    bool m_failed = false;
    std::vector<std::unique_ptr<Pending>> m_pending;
};

/// A batch of one: copies source to folder/name safely.
bool SafeCopyFile(const QString &source, const QString &folder, const QString &name,
                  int flushLimitMs = kFlushLimitMs);

/// A batch of one: writes bytes to folder/name safely.
bool SafeWriteBytes(const QByteArray &bytes, const QString &folder, const QString &name,
                    int flushLimitMs = kFlushLimitMs);

/// The temporary name a batch writes name under (a hidden file beside it).
QString SafeWriteTemporaryName(const QString &name);
