#include "SafeWriteBatch.h"

#include "RecordFormat.h"
#include "RecordLog.h"
#include "params/DurableFile.h"
#include "platform/Platform.h"
#include "platform/Wait.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large enough that a record takes a handful of system calls, small enough
// to sit comfortably in the controller's memory.
constexpr qint64 kChunkBytes = 1 << 20;
const char kTemporarySuffix[] = ".zebpart";
const char kPidSeparator = '-';
constexpr int kTempNameAttempts = 16;
// Room for the dot, the random part and the suffix within the usual
// 255-byte limit of a name.
constexpr int kTempStemBytes = 200;

// A lone file is synced the usual way. A batch gets one flush per volume (a
// single journal commit and device cache flush instead of one per file),
// then each file's own data wait, which costs nothing by then but reports
// any write error the system kept for that file. A per-file fsync there
// would send a cache flush to the device for every file: on the test
// machine that tripled the time of an export.
bool flushFiles(const std::vector<int> &fds)
{
    if (fds.size() == 1)
        return ::fsync(fds.front()) == 0;
    bool flushed = true;
    std::vector<dev_t> volumes;
    for (int fd : fds) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            flushed = false;
            continue;
        }
        if (std::find(volumes.begin(), volumes.end(), st.st_dev) != volumes.end())
            continue;
        volumes.push_back(st.st_dev);
        flushed = ::syncfs(fd) == 0 && flushed;
    }
    const unsigned int waitForData = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    for (int fd : fds)
        flushed = ::sync_file_range(fd, 0, 0, waitForData) == 0 && flushed;
    return flushed;
}

// On the calling thread when there is no limit; otherwise on a thread of its
// own, so that a device that hangs cannot freeze the screen. The job must
// own what it touches.
JobOutcome runFlush(std::function<bool()> job, int limitMs, qint64 bytes)
{
    if (limitMs == kNoFlushLimit)
        return job() ? JobOutcome::Succeeded : JobOutcome::Failed;
    const qint64 ms = limitMs + bytes * 1000 / kSlowestBytesPerSecond;
    return RunJobWithin(std::move(job), int(std::min<qint64>(ms, std::numeric_limits<int>::max())));
}

// Hidden beside the target, so that the rename stays on one file system, and
// unique, so that no other write's file is ever taken for this one's; created
// like any new file (not with a temporary file's owner-only mode).
bool openTemporary(QFile &file, const QString &folder, const QString &name, QString *why)
{
    QString stem = name;
    while (QFile::encodeName(stem).size() > kTempStemBytes)
        stem.chop(1);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        const QString random = QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, QLatin1Char('0'));
        // The writer's process id tells a later run whether the file is still being written.
        file.setFileName(folder + QStringLiteral("/.") + stem + QLatin1Char('.') + QString::number(::getpid())
                         + QLatin1Char(kPidSeparator) + random + QLatin1String(kTemporarySuffix));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
    }
    *why = QStringLiteral("cannot create a file in %1: %2").arg(folder, file.errorString());
    return false;
}

// Through the platform, so that a test can fail or hang any write. A write
// that stops short without another reason is a disk that filled up.
bool writeAll(QFile &out, const char *data, qint64 size)
{
    errno = 0;
    const qint64 n = CurrentPlatform().WriteToFile(out, data, size);
    if (n >= 0 && n < size && errno == 0)
        errno = ENOSPC;
    return n == size;
}

int newFileResult(SafeWriteBatch &batch, bool added, QString *problem)
{
    if (added && batch.Commit())
        return RecordOk;
    if (batch.NameTaken())
        return RecordExists;
    if (problem)
        *problem = batch.Problem();
    return batch.DiskFull() ? RecordDiskFull : RecordWriteFailed;
}

} // namespace

struct SafeWriteBatch::Pending
{
    QFile File; ///< the temporary file, open until its rename
    QString Folder;
    QString Target;
    qint64 Expected = 0;
};

SafeWriteBatch::SafeWriteBatch(int flushLimitMs, OldFile oldFile)
    : m_oldFile(oldFile)
    , m_flushLimitMs(flushLimitMs)
{
}

SafeWriteBatch::~SafeWriteBatch()
{
    Abandon();
}

bool SafeWriteBatch::Fail(const QString &problem, bool nameTaken)
{
    m_problem = problem;
    m_nameTaken = nameTaken;
    m_diskFull = false;
    m_failed = true;
    return false;
}

bool SafeWriteBatch::Add(const QString &folder, const QString &name, qint64 size, const Writer &write)
{
    if (m_failed)
        return false;
    auto pending = std::make_unique<Pending>();
    pending->Folder = folder;
    pending->Target = folder + QLatin1Char('/') + name;
    const QFileInfo target(pending->Target);
    QString why;
    bool written = false;
    bool diskFull = false;
    if (m_oldFile == OldFile::Keep && (target.exists() || target.isSymLink())) {
        Fail(QStringLiteral("%1 exists already").arg(pending->Target), true);
    } else if (!openTemporary(pending->File, folder, name, &why)) {
        Fail(why);
    } else if (!RunWriter(pending->File, size, write, pending->Expected, &why, &diskFull)) {
        if (why.isEmpty())
            why = QStringLiteral("cannot write %1").arg(pending->Target);
        Fail(why);
        m_diskFull = diskFull || VolumeLacksRoom(folder, size);
        pending->File.close();
        QFile::remove(pending->File.fileName());
    } else {
        written = true;
    }
    if (!written) {
        Abandon();
        return false;
    }
    m_bytes += pending->Expected;
    m_pending.push_back(std::move(pending));
    return true;
}

bool SafeWriteBatch::RunWriter(QFile &file, qint64 size, const Writer &write, qint64 &expected, QString *why,
                               bool *diskFull)
{
    if (m_flushLimitMs == kNoFlushLimit) {
        errno = 0;
        const bool ok = write(file, expected, why);
        *diskFull = !ok && (file.error() == QFileDevice::ResourceError || IsDiskFullError(errno));
        return ok;
    }
    // On a thread of its own, like the flush: a stick that hangs in a write
    // must not freeze the screen. The job writes through a copy of the
    // descriptor and owns what it reports into, so that a write given up
    // on can finish unobserved after this batch has removed its file.
    struct Outcome
    {
        qint64 Expected = 0;
        QString Why;
        bool DiskFull = false;
    };
    auto outcome = std::make_shared<Outcome>();
    const int fd = ::dup(file.handle());
    if (fd < 0) {
        *why = QStringLiteral("cannot write %1: %2").arg(file.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const JobOutcome result = runFlush(
        [fd, write, outcome] {
            QFile out;
            if (!out.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
                ::close(fd);
                return false;
            }
            errno = 0;
            const bool ok = write(out, outcome->Expected, &outcome->Why);
            outcome->DiskFull = !ok && (out.error() == QFileDevice::ResourceError || IsDiskFullError(errno));
            return ok;
        },
        m_flushLimitMs, size);
    if (result == JobOutcome::TimedOut) {
        *why = QStringLiteral("writing %1 took too long").arg(file.fileName());
        return false;
    }
    expected = outcome->Expected;
    *why = outcome->Why;
    *diskFull = outcome->DiskFull;
    return result == JobOutcome::Succeeded;
}

bool SafeWriteBatch::AddCopy(const QString &source, const QString &folder, const QString &name)
{
    const QFileInfo info(source);
    const QDateTime modified = info.lastModified();
    const bool isFile = info.isFile();
    // Owns everything it touches: it may run on a thread of its own.
    const auto copy = [source, modified, isFile](QFile &out, qint64 &expected, QString *why) {
        // Only a regular file: a device or a pipe might never end.
        QFile in(source);
        if (!isFile || !in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            *why = QStringLiteral("cannot read %1").arg(source);
            return false;
        }
        expected = in.size();
        QByteArray buffer(int(qBound<qint64>(1, expected, kChunkBytes)), Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            const qint64 n = in.read(buffer.data(), buffer.size());
            if (n < 0) {
                *why = QStringLiteral("cannot read %1: %2").arg(source, in.errorString());
                return false;
            }
            if (n == 0)
                break;
            if (!writeAll(out, buffer.constData(), n))
                return false;
            total += n;
        }
        if (!out.setFileTime(modified, QFileDevice::FileModificationTime))
            qCInfo(lcRecords) << "could not keep the time of" << source;
        // A source that changed size while it was read is not the file that was listed.
        if (total != expected)
            *why = QStringLiteral("%1 changed while it was copied").arg(source);
        return total == expected;
    };
    return Add(folder, name, info.size(), copy);
}

bool SafeWriteBatch::AddBytes(const QByteArray &bytes, const QString &folder, const QString &name)
{
    return Add(folder, name, bytes.size(), [bytes](QFile &out, qint64 &expected, QString *) {
        expected = bytes.size();
        return writeAll(out, bytes.constData(), bytes.size());
    });
}

bool SafeWriteBatch::AddFilled(const FileFiller &fill, qint64 expectedSize, const QString &folder,
                               const QString &name)
{
    return Add(folder, name, expectedSize, [fill, expectedSize](QFile &out, qint64 &expected, QString *why) {
        expected = expectedSize;
        return fill(out.fileName(), why);
    });
}

bool SafeWriteBatch::FlushAll()
{
    // The job owns copies of the descriptors: a stick that hangs keeps the
    // job waiting after this batch has given up and closed its own.
    std::vector<int> fds;
    for (const auto &p : m_pending) {
        const int fd = ::dup(p->File.handle());
        if (fd >= 0)
            fds.push_back(fd);
    }
    const bool complete = fds.size() == m_pending.size();
    auto full = std::make_shared<std::atomic<bool>>(false);
    const JobOutcome outcome = runFlush(
        [fds, full] {
            errno = 0;
            const bool flushed = flushFiles(fds);
            // A file system that allocates late says "no room" only here.
            full->store(!flushed && IsDiskFullError(errno));
            for (int fd : fds)
                ::close(fd);
            return flushed;
        },
        m_flushLimitMs, m_bytes);
    if (outcome == JobOutcome::TimedOut)
        return Fail(QStringLiteral("flushing %1 files to the disk took too long").arg(m_pending.size()));
    if (!complete || outcome != JobOutcome::Succeeded) {
        Fail(QStringLiteral("cannot flush %1 files to the disk").arg(m_pending.size()));
        m_diskFull = full->load();
        return false;
    }
    return true;
}

bool SafeWriteBatch::SizesHold()
{
    for (const auto &p : m_pending) {
        const qint64 size = p->File.size();
        if (size != p->Expected)
            return Fail(QStringLiteral("%1 came out at %2 bytes instead of %3")
                            .arg(p->Target, QString::number(size), QString::number(p->Expected)));
    }
    return true;
}

bool SafeWriteBatch::PutInPlace(Pending &p)
{
    const QString temporary = p.File.fileName();
    p.File.close();
    if (p.File.error() != QFileDevice::NoError)
        return Fail(QStringLiteral("cannot close %1: %2").arg(temporary, p.File.errorString()));
    if (m_oldFile == OldFile::Replace) {
        // rename() puts the new file in the old one's place in one step;
        // QFile::rename would refuse an existing target and need a removal first.
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(p.Target).constData()) == 0)
            return true;
        return Fail(QStringLiteral("cannot put %1 in place: %2").arg(p.Target, QString::fromLocal8Bit(std::strerror(errno))));
    }
    // QFile::rename never replaces a file (renameat2 with RENAME_NOREPLACE,
    // or link and unlink, where the file system allows).
    if (QFile::rename(temporary, p.Target))
        return true;
    if (QFileInfo::exists(p.Target) || QFileInfo(p.Target).isSymLink())
        return Fail(QStringLiteral("%1 exists already").arg(p.Target), true);
    return Fail(QStringLiteral("cannot rename %1 to %2").arg(temporary, p.Target));
}

void SafeWriteBatch::SyncFolders(const QStringList &folders)
{
    // The files are complete under their names by now: a folder that cannot
    // be flushed is reported, not taken as a failed write (an export flushes
    // the whole stick afterwards and checks that).
    const JobOutcome outcome = runFlush(
        [folders] {
            for (const QString &folder : folders)
                SyncDirectory(folder);
            return true;
        },
        m_flushLimitMs, 0);
    if (outcome == JobOutcome::TimedOut)
        qCWarning(lcRecords) << "flushing the folders" << folders << "took too long";
}

bool SafeWriteBatch::Commit()
{
    bool ok = !m_failed && FlushAll() && SizesHold();
    QStringList folders;
    size_t placed = 0;
    while (ok && placed < m_pending.size()) {
        Pending &p = *m_pending[placed];
        ok = PutInPlace(p);
        if (!ok)
            break;
        if (!folders.contains(p.Folder))
            folders << p.Folder;
        ++placed;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + qint64(placed));
    Abandon();
    if (!folders.isEmpty())
        SyncFolders(folders);
    m_failed = false;
    return ok;
}

void SafeWriteBatch::Abandon()
{
    m_bytes = 0;
    for (const auto &p : m_pending) {
        p->File.close();
        QFile::remove(p->File.fileName());
    }
    m_pending.clear();
}

bool SafeCopyFile(const QString &source, const QString &folder, const QString &name, int flushLimitMs)
{
    SafeWriteBatch batch(flushLimitMs);
    return batch.AddCopy(source, folder, name) && batch.Commit();
}

bool SafeWriteBytes(const QByteArray &bytes, const QString &folder, const QString &name, int flushLimitMs)
{
    SafeWriteBatch batch(flushLimitMs);
    return batch.AddBytes(bytes, folder, name) && batch.Commit();
}

int WriteNewFile(const QString &path, qint64 expectedSize, const FileFiller &fill, QString *problem)
{
    const QFileInfo target(path);
    SafeWriteBatch batch(kNoFlushLimit, OldFile::Keep);
    return newFileResult(batch, batch.AddFilled(fill, expectedSize, target.absolutePath(), target.fileName()),
                         problem);
}

int WriteNewFile(const QString &path, const QByteArray &bytes, QString *problem)
{
    const QFileInfo target(path);
    SafeWriteBatch batch(kNoFlushLimit, OldFile::Keep);
    return newFileResult(batch, batch.AddBytes(bytes, target.absolutePath(), target.fileName()), problem);
}

void RemoveAbandonedTemporaries(const QString &folder)
{
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.')) && name.endsWith(QLatin1String(kTemporarySuffix)))
            QFile::remove(folder + QLatin1Char('/') + name);
    }
}

void RemoveStaleTemporaries(const QString &folder)
{
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(QLatin1String(kTemporarySuffix)))
            continue;
        // ".<name>.<pid>-<random>.zebpart"; names without a process id come
        // from writers that stopped long ago.
        const QString tag = name.chopped(int(std::strlen(kTemporarySuffix))).section(QLatin1Char('.'), -1);
        bool numbered = false;
        const qint64 pid = tag.section(QLatin1Char(kPidSeparator), 0, 0).toLongLong(&numbered);
        const bool writerAlive = numbered && tag.contains(QLatin1Char(kPidSeparator)) && pid > 0
            && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
        if (!writerAlive)
            QFile::remove(folder + QLatin1Char('/') + name);
    }
}

bool SyncFileToDisk(QFile &file)
{
    return file.flush() && ::fsync(file.handle()) == 0;
}

void SyncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
        qCWarning(lcRecords) << "could not sync folder" << dir << std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
}
