#include "DurableFile.h"

#include "platform/Platform.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

/// Bytes handed to the system per write: a failing disk is noticed within one.
constexpr qint64 kWriteChunk = 1024 * 1024;

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

const char kDurableTemporarySuffix[] = ".saving";

QString DurableTemporaryPath(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(kDurableTemporarySuffix);
}

QString DiskFullText()
{
    return QStringLiteral("磁盘空间不足");
}

bool IsDiskFullError(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

bool FailedForLackOfSpace(const QFileDevice &file, qint64 written, qint64 wanted, int err, const QString &folder)
{
    // A disk that fills up takes part of a write and refuses the rest
    // (another limit, such as a file size limit, says so in errno).
    if (written >= 0 && written < wanted && (err == 0 || IsDiskFullError(err)))
        return true;
    if (file.error() == QFileDevice::ResourceError || IsDiskFullError(err))
        return true;
    return VolumeLacksRoom(folder, wanted);
}

bool VolumeLacksRoom(const QString &folder, qint64 wanted)
{
    const qint64 free = CurrentPlatform().FreeBytes(folder);
    return free >= 0 && free < std::max<qint64>(wanted, 1);
}

WriteOutcome WriteFileDurably(const QString &path, const QString &tempPath, const QByteArray &bytes,
                              ExistingFile existing, const QByteArray &finalMark, QString *problem)
{
    return WriteFileDurably(path, tempPath, QByteArrayList{bytes}, existing, finalMark, problem);
}

WriteOutcome WriteFileDurably(const QString &path, const QString &tempPath, const QByteArrayList &pieces,
                              ExistingFile existing, const QByteArray &finalMark, QString *problem)
{
    Platform &platform = CurrentPlatform();
    const QString folder = QFileInfo(path).absolutePath();
    QFile file(tempPath);
    // A temporary left by an earlier run that was cut short is no one's.
    QFile::remove(tempPath);
    const auto fail = [&](const QString &what, qint64 written, qint64 wanted, int err) {
        const bool full = FailedForLackOfSpace(file, written, wanted, err, folder);
        if (problem)
            *problem = what + QStringLiteral(": ")
                + (err ? QString::fromLocal8Bit(std::strerror(err)) : file.errorString());
        file.close();
        QFile::remove(tempPath);
        return full ? WriteOutcome::DiskFull : WriteOutcome::Failed;
    };
    if (existing == ExistingFile::Keep && (QFileInfo::exists(path) || QFileInfo(path).isSymLink()))
        return WriteOutcome::NameTaken;
    errno = 0;
    if (!platform.CreateNewFile(file))
        return fail(QStringLiteral("cannot create %1").arg(tempPath), -1, 1, errno);
    for (const QByteArray &bytes : pieces) {
        for (qint64 at = 0; at < bytes.size(); at += kWriteChunk) {
            const qint64 size = std::min(kWriteChunk, bytes.size() - at);
            errno = 0;
            const qint64 n = platform.WriteToFile(file, bytes.constData() + at, size);
            if (n != size)
                return fail(QStringLiteral("cannot write %1").arg(tempPath), n, bytes.size() - at, errno);
        }
    }
    errno = 0;
    if (!platform.SyncFile(file))
        return fail(QStringLiteral("cannot flush %1").arg(tempPath), -1, 1, errno);
    if (!finalMark.isEmpty()) {
        // Only a file whose every byte is on the disk gets its mark.
        errno = 0;
        if (!file.seek(0))
            return fail(QStringLiteral("cannot mark %1").arg(tempPath), -1, 1, errno);
        const qint64 n = platform.WriteToFile(file, finalMark.constData(), finalMark.size());
        if (n != finalMark.size())
            return fail(QStringLiteral("cannot mark %1").arg(tempPath), n, finalMark.size(), errno);
        errno = 0;
        if (!platform.SyncFile(file))
            return fail(QStringLiteral("cannot flush the mark of %1").arg(tempPath), -1, 1, errno);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot close %1").arg(tempPath), -1, 1, errno);
    errno = 0;
    const bool renamed = existing == ExistingFile::Keep ? platform.RenameToNewName(tempPath, path)
                                                        : platform.RenameFile(tempPath, path);
    if (!renamed) {
        const int err = errno;
        if (existing == ExistingFile::Keep && err == EEXIST) {
            QFile::remove(tempPath);
            return WriteOutcome::NameTaken;
        }
        return fail(QStringLiteral("cannot rename %1 to %2").arg(tempPath, path), -1, 1, err);
    }
    syncFolder(folder);
    return WriteOutcome::Written;
}
