#include "Platform.h"

#include "UsbStick.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QEventLoop>
#include <QProcess>
#include <QStorageInfo>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

qint64 Platform::FreeBytes(const QString &path)
{
    return VolumeFreeBytes(path);
}

bool Platform::FlushVolume(const QString &path, int timeoutMs)
{
    return FlushVolumeWithin(path, timeoutMs);
}

bool Platform::CreateNewFile(QFile &file)
{
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

qint64 Platform::WriteToFile(QFile &file, const char *data, qint64 size)
{
    return file.write(data, size);
}

bool Platform::SyncFile(QFile &file)
{
    return file.flush() && ::fsync(file.handle()) == 0;
}

bool Platform::RenameFile(const QString &from, const QString &to)
{
    // rename(2) replaces atomically; QFile::rename would refuse an existing target.
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool Platform::RenameToNewName(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // A file system without the no-replace rename: a hard link is refused
    // just as well when the name is taken.
    if (::link(source.constData(), target.constData()) != 0)
        return false;
    ::unlink(source.constData());
    return true;
}

namespace {

const char kMountTable[] = "/proc/self/mounts";
const char kSysfsRoot[] = "/sys";

class SystemPlatform : public Platform
{
public:
    SystemPlatform(std::function<QString()> dataFolder, const QString &usbStickFolder)
        : m_dataFolder(std::move(dataFolder)), m_usbStickFolder(usbStickFolder)
    {
    }

    QString FindUsbStick() override
    {
        if (!m_usbStickFolder.isEmpty())
            return QFileInfo(m_usbStickFolder).isDir() ? m_usbStickFolder : QString();
        QFile mounts(QString::fromLatin1(kMountTable));
        if (!mounts.open(QIODevice::ReadOnly))
            return QString();
        const QString dataFolder = m_dataFolder ? m_dataFolder() : QString();
        return FindUsbStickIn(mounts.readAll(), QString::fromLatin1(kSysfsRoot), dataFolder);
    }

    int RunCommand(const QString &program, const QStringList &arguments, int timeoutMs) override
    {
        // A command that hangs (a hardware clock that does not answer) must
        // neither freeze the screens nor hold them for ever.
        constexpr int kKillWaitMs = 1000;
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                loop.quit();
        });
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        process.start(program, arguments);
        limit.start(timeoutMs);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kKillWaitMs);
            return kCommandTimedOut;
        }
        if (process.error() == QProcess::FailedToStart || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }

    QList<NetworkInterfaceAddresses> InterfaceAddresses() override
    {
        QList<NetworkInterfaceAddresses> list;
        const auto interfaces = QNetworkInterface::allInterfaces();
        for (const QNetworkInterface &i : interfaces) {
            if (!(i.flags() & QNetworkInterface::IsUp))
                continue;
            NetworkInterfaceAddresses entry{i.name(), {}};
            for (const QNetworkAddressEntry &a : i.addressEntries())
                if (a.ip().protocol() == QAbstractSocket::IPv4Protocol)
                    entry.IPv4 << a.ip().toString();
            list << entry;
        }
        return list;
    }

    QByteArray RoutingTable() override
    {
        // Far more than any controller's table; a larger file is not read.
        constexpr qint64 kMaxTableBytes = 64 * 1024;
        QFile table(QStringLiteral("/proc/net/route"));
        if (!table.open(QIODevice::ReadOnly))
            return {};
        const QByteArray text = table.read(kMaxTableBytes + 1);
        return text.size() > kMaxTableBytes ? QByteArray() : text;
    }

private:
    std::function<QString()> m_dataFolder;
    QString m_usbStickFolder;
};

std::unique_ptr<Platform> &installed()
{
    static std::unique_ptr<Platform> platform;
    return platform;
}

} // namespace

// Clock ------------------------------------------------------------------

namespace {
// GNU and BusyBox date both take this form; the older "MMddhhmmyyyy" is
// refused by GNU date.
const char kDateArgumentFormat[] = "yyyy-MM-dd hh:mm:ss";
const int kEarliestYear = 2000;
const int kLatestYear = 2100;
} // namespace

QDateTime Platform::EarliestClock()
{
    return QDateTime(QDate(kEarliestYear, 1, 1), QTime(0, 0, 0));
}

QDateTime Platform::LatestClock()
{
    return QDateTime(QDate(kLatestYear, 12, 31), QTime(23, 59, 59));
}

ClockResult Platform::SetClock(const QDateTime &t)
{
    if (!t.isValid() || t < EarliestClock() || t > LatestClock())
        return ClockResult::Failed;
    // The argument is built from the value alone, in a fixed format, and
    // handed over as one argument: nothing of it can reach a shell.
    const QString when = t.toLocalTime().toString(QLatin1String(kDateArgumentFormat));
    if (RunCommand(QStringLiteral("date"), {QStringLiteral("-s"), when}, m_clockCommandLimitMs) != 0)
        return ClockResult::Failed;
    // Only a system clock that really took the new time goes to the hardware
    // clock; when that fails the system clock has still changed.
    if (RunCommand(QStringLiteral("hwclock"), {QStringLiteral("--systohc")}, m_clockCommandLimitMs) != 0)
        return ClockResult::HardwareClockFailed;
    return ClockResult::Set;
}

Platform &CurrentPlatform()
{
    auto &p = installed();
    if (!p)
        p = std::make_unique<Platform>();
    return *p;
}

void SetPlatform(std::unique_ptr<Platform> platform)
{
    installed() = std::move(platform);
}

std::unique_ptr<Platform> MakeSystemPlatform(std::function<QString()> dataFolder,
                                             const QString &usbStickFolder)
{
    return std::make_unique<SystemPlatform>(std::move(dataFolder), usbStickFolder);
}
