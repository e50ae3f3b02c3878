#include "SafeWrite.h"

#include "RecordFormat.h"
#include "RecordLog.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const int kTempNameAttempts = 16;
// Room for the dot and the random part within the usual 255-byte name limit.
const int kTempNameStem = 200;

int failed(QString *problem, const QString &why)
{
    if (problem)
        *problem = why;
    return RecordWriteFailed;
}

// Removes the temporary file however the write ends, unless it became the real one.
class TempFileGuard
{
public:
    explicit TempFileGuard(const QString &path)
        : m_path(path)
    {
    }
    ~TempFileGuard()
    {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }
    void Release() { m_path.clear(); }
    TempFileGuard(const TempFileGuard &) = delete;
    TempFileGuard &operator=(const TempFileGuard &) = delete;

private:
    QString m_path;
};

} // namespace

bool SyncFileToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return true;
#endif
}

void SyncDirectory(const QString &dir)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
        qCWarning(lcRecords) << "could not sync folder" << dir << std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
#else
    Q_UNUSED(dir);
#endif
}

int WriteNewFile(const QString &path, qint64 expectedSize, const FileFiller &fill, QString *problem)
{
    const QFileInfo target(path);
    if (target.exists() || target.isSymLink())
        return RecordExists;
    const QString folder = target.absolutePath();

    // Hidden and unique beside the target, so that the rename stays on one file
    // system; created like any new file (not QTemporaryFile's owner-only mode).
    QString tempPath;
    QString why;
    for (int attempt = 0; attempt < kTempNameAttempts && tempPath.isEmpty(); ++attempt) {
        const QString candidate = QStringLiteral("%1/.%2.%3")
                                      .arg(folder, target.fileName().left(kTempNameStem))
                                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        QFile create(candidate);
        if (create.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            tempPath = candidate;
        else
            why = create.errorString();
    }
    if (tempPath.isEmpty())
        return failed(problem, QStringLiteral("cannot create a file in %1: %2").arg(folder, why));
    TempFileGuard guard(tempPath);

    why.clear();
    if (!fill(tempPath, &why))
        return failed(problem, why.isEmpty() ? QStringLiteral("cannot write %1").arg(tempPath) : why);

    QFile written(tempPath);
    if (!written.open(QIODevice::ReadOnly) || !SyncFileToDisk(written))
        return failed(problem, QStringLiteral("cannot sync %1: %2").arg(tempPath, written.errorString()));
    const qint64 size = written.size();
    written.close();
    if (size != expectedSize)
        return failed(problem, QStringLiteral("%1 holds %2 bytes instead of %3")
                                   .arg(tempPath).arg(size).arg(expectedSize));

    // QFile::rename never replaces an existing file (renameat2 with
    // RENAME_NOREPLACE, or link and unlink, where the file system allows).
    if (!QFile::rename(tempPath, path)) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return RecordExists;
        return failed(problem, QStringLiteral("cannot rename %1 to %2").arg(tempPath, path));
    }
    guard.Release();
    SyncDirectory(folder);
    return RecordOk;
}

int WriteNewFile(const QString &path, const QByteArray &bytes, QString *problem)
{
    const FileFiller fill = [&bytes](const QString &tempPath, QString *why) {
        QFile file(tempPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()
            || !file.flush()) {
            *why = QStringLiteral("cannot write %1: %2").arg(tempPath, file.errorString());
            return false;
        }
        return true;
    };
    return WriteNewFile(path, bytes.size(), fill, problem);
}
