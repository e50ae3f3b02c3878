#include "Platform.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>

namespace {

// A block device is removable when the kernel says so for its disk.
bool isRemovableDevice(const QByteArray &device)
{
    QString name = QFileInfo(QString::fromLocal8Bit(device)).fileName();
    while (!name.isEmpty() && name.back().isDigit())
        name.chop(1); // sdb1 -> sdb
    if (name.isEmpty())
        return false;
    QFile flag(QStringLiteral("/sys/block/%1/removable").arg(name));
    if (!flag.open(QIODevice::ReadOnly))
        return false;
    return flag.readAll().trimmed() == "1";
}

class SystemPlatform : public Platform
{
public:
    QString FindUsbStick() override
    {
        const auto volumes = QStorageInfo::mountedVolumes();
        for (const QStorageInfo &v : volumes) {
            if (v.isValid() && v.isReady() && !v.isReadOnly() && isRemovableDevice(v.device()))
                return v.rootPath();
        }
        return QString();
    }

    int RunCommand(const QString &program, const QStringList &arguments) override
    {
        return QProcess::execute(program, arguments);
    }
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

bool Platform::SetClock(const QDateTime &t)
{
    if (!t.isValid() || t < EarliestClock() || t > LatestClock())
        return false;
    // The argument is built from the value alone, in a fixed format, and
    // handed over as one argument: nothing of it can reach a shell.
    const QString when = t.toLocalTime().toString(QLatin1String(kDateArgumentFormat));
    if (RunCommand(QStringLiteral("date"), {QStringLiteral("-s"), when}) != 0)
        return false;
    // Only a system clock that really took the new time goes to the hardware clock.
    return RunCommand(QStringLiteral("hwclock"), {QStringLiteral("--systohc")}) == 0;
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

std::unique_ptr<Platform> MakeSystemPlatform()
{
    return std::make_unique<SystemPlatform>();
}
