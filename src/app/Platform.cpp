#include "Platform.h"

#include "UsbStick.h"
#include "params/ParamSet.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>

qint64 Platform::FreeBytes(const QString &path)
{
    return VolumeFreeBytes(path);
}

bool Platform::FlushVolume(const QString &path, int timeoutMs)
{
    return FlushVolumeWithin(path, timeoutMs);
}

namespace {

const char kMountTable[] = "/proc/self/mounts";
const char kSysfsRoot[] = "/sys";

class SystemPlatform : public Platform
{
public:
    QString FindUsbStick() override
    {
        QFile mounts(QString::fromLatin1(kMountTable));
        if (!mounts.open(QIODevice::ReadOnly))
            return QString();
        const ParamSet &params = CurrentParams();
        const QString dataFolder = ProgramDir() + QLatin1Char('/') + params.DataFolderName;
        return FindUsbStickIn(mounts.readAll(), QString::fromLatin1(kSysfsRoot), dataFolder);
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
