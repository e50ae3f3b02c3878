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
