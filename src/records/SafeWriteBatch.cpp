#include "SafeWriteBatch.h"

#include "RecordLog.h"
#include "params/Wait.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large enough that a record takes a handful of system calls, small enough
// to sit comfortably in the controller's memory.
constexpr qint64 kChunkBytes = 1 << 20;
const char kTemporarySuffix[] = ".zebpart";

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

} // namespace

struct SafeWriteBatch::Pending
{
    QFile File; ///< the temporary file, open until its rename
    QString Target;
    qint64 Expected = 0;
};

SafeWriteBatch::SafeWriteBatch(int flushLimitMs)
    : m_flushLimitMs(flushLimitMs)
{
}

SafeWriteBatch::~SafeWriteBatch()
{
    Abandon();
}

QString SafeWriteTemporaryName(const QString &name)
{
    return QLatin1Char('.') + name + QLatin1String(kTemporarySuffix);
}

bool SafeWriteBatch::Add(const QString &folder, const QString &name,
                         const std::function<bool(QFile &, qint64 &)> &write)
{
    if (m_failed)
        return false;
    auto pending = std::make_unique<Pending>();
    pending->Target = folder + QLatin1Char('/') + name;
    const QString temporary = folder + QLatin1Char('/') + SafeWriteTemporaryName(name);
    // Left behind by a run that was cut short; never a file anyone else uses.
    QFile::remove(temporary);
    pending->File.setFileName(temporary);
    const bool written = pending->File.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)
        && write(pending->File, pending->Expected);
    if (!written) {
        qCWarning(lcRecords) << "writing" << pending->Target << "failed:" << pending->File.errorString();
        pending->File.close();
        QFile::remove(temporary);
        m_failed = true;
        Abandon();
        return false;
    }
    m_bytes += pending->Expected;
    m_pending.push_back(std::move(pending));
    return true;
}

bool SafeWriteBatch::AddCopy(const QString &source, const QString &folder, const QString &name)
{
    const QFileInfo info(source);
    const QDateTime modified = info.lastModified();
    const auto copy = [&](QFile &out, qint64 &expected) {
        // Only a regular file: a device or a pipe might never end.
        QFile in(source);
        if (!info.isFile() || !in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        expected = in.size();
        QByteArray buffer(int(qBound<qint64>(1, expected, kChunkBytes)), Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            const qint64 n = in.read(buffer.data(), buffer.size());
            if (n < 0)
                return false;
            if (n == 0)
                break;
            if (out.write(buffer.constData(), n) != n)
                return false;
            total += n;
        }
        if (!out.setFileTime(modified, QFileDevice::FileModificationTime))
            qCInfo(lcRecords) << "could not keep the time of" << source;
        // A source that changed size while it was read is not the file that was listed.
        return total == expected;
    };
    return Add(folder, name, copy);
}

bool SafeWriteBatch::AddBytes(const QByteArray &bytes, const QString &folder, const QString &name)
{
    return Add(folder, name, [&bytes](QFile &out, qint64 &expected) {
        expected = bytes.size();
        return out.write(bytes) == bytes.size();
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
    const qint64 limitMs = m_flushLimitMs + m_bytes * 1000 / kSlowestBytesPerSecond;
    const JobOutcome outcome = RunJobWithin(
        [fds] {
            const bool flushed = flushFiles(fds);
            for (int fd : fds)
                ::close(fd);
            return flushed;
        },
        int(std::min<qint64>(limitMs, std::numeric_limits<int>::max())));
    if (outcome == JobOutcome::TimedOut)
        qCWarning(lcRecords) << "flushing" << m_pending.size() << "files took longer than" << limitMs << "ms";
    return complete && outcome == JobOutcome::Succeeded;
}

bool SafeWriteBatch::Commit()
{
    bool ok = !m_failed && FlushAll();
    for (const auto &p : m_pending) {
        if (ok && p->File.size() != p->Expected) {
            qCWarning(lcRecords) << p->Target << "came out at" << p->File.size() << "bytes instead of" << p->Expected;
            ok = false;
        }
    }
    size_t renamed = 0;
    for (; ok && renamed < m_pending.size(); ++renamed) {
        Pending &p = *m_pending[renamed];
        p.File.close();
        // rename() puts the new file in the old one's place in one step;
        // QFile::rename would refuse an existing target and need a removal first.
        if (p.File.error() != QFileDevice::NoError
            || std::rename(QFile::encodeName(p.File.fileName()).constData(), QFile::encodeName(p.Target).constData()) != 0) {
            qCWarning(lcRecords) << "cannot put" << p.Target << "in place";
            ok = false;
            break;
        }
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + qint64(renamed));
    Abandon();
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
