#include "Platform.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
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
