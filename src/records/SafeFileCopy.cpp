#include "SafeFileCopy.h"

#include "RecordLog.h"
#include "params/Wait.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// Large enough that a record takes a handful of system calls, small enough
// to sit comfortably in the controller's memory.
constexpr qint64 kChunkBytes = 1 << 20;
const char kTemporarySuffix[] = ".zebpart";

/// Writes the new content into out and tells how many bytes it must come to.
using ContentWriter = std::function<bool(QFile &out, qint64 &expected)>;

// fsync waits for the device; a stick that stops answering would block it
// for minutes, so it runs where the screen cannot be held up by it.
bool flushToDevice(QFile &file, int limitMs)
{
    if (!file.flush())
        return false;
    const int fd = ::dup(file.handle());
    if (fd < 0)
        return false;
    const JobOutcome outcome = RunJobWithin(
        [fd] {
            const bool synced = ::fsync(fd) == 0;
            ::close(fd);
            return synced;
        },
        limitMs);
    if (outcome == JobOutcome::TimedOut)
        qCWarning(lcRecords) << "flushing" << file.fileName() << "took longer than" << limitMs << "ms";
    return outcome == JobOutcome::Succeeded;
}

bool replaceSafely(const QString &folder, const QString &name, const ContentWriter &write,
                   const QDateTime &modified, int flushLimitMs)
{
    const QString target = folder + QLatin1Char('/') + name;
    const QString temporary = folder + QLatin1Char('/') + SafeWriteTemporaryName(name);
    // Left behind by a run that was cut short; never a file anyone else uses.
    QFile::remove(temporary);
    QFile out(temporary);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        qCWarning(lcRecords) << "cannot create" << temporary << out.errorString();
        return false;
    }
    const auto fail = [&](const char *what) {
        qCWarning(lcRecords) << "writing" << target << "failed:" << what << out.errorString();
        out.close();
        QFile::remove(temporary);
        return false;
    };
    qint64 expected = -1;
    if (!write(out, expected))
        return fail("content");
    if (modified.isValid() && !out.setFileTime(modified, QFileDevice::FileModificationTime))
        qCInfo(lcRecords) << "could not keep the time of" << target;
    if (!flushToDevice(out, flushLimitMs))
        return fail("flush");
    if (out.size() != expected)
        return fail("size");
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fail("close");
    // rename() replaces the old file in one step; QFile::rename would refuse
    // an existing target and need a removal first.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0)
        return fail("rename");
    return true;
}

} // namespace

QString SafeWriteTemporaryName(const QString &name)
{
    return QLatin1Char('.') + name + QLatin1String(kTemporarySuffix);
}

bool SafeCopyFile(const QString &source, const QString &folder, const QString &name, int flushLimitMs)
{
    const QFileInfo info(source);
    if (!info.isFile()) {
        qCWarning(lcRecords) << "not a file to copy:" << source;
        return false;
    }
    const auto copy = [&source](QFile &out, qint64 &expected) {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        expected = in.size();
        QByteArray buffer(int(qMin(kChunkBytes, qMax<qint64>(expected, 1))), Qt::Uninitialized);
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
        // A source that changed size while it was read is not the file that was listed.
        return total == expected;
    };
    return replaceSafely(folder, name, copy, info.lastModified(), flushLimitMs);
}

bool SafeWriteBytes(const QByteArray &bytes, const QString &folder, const QString &name, int flushLimitMs)
{
    const auto write = [&bytes](QFile &out, qint64 &expected) {
        expected = bytes.size();
        return out.write(bytes) == bytes.size();
    };
    return replaceSafely(folder, name, write, QDateTime(), flushLimitMs);
}
