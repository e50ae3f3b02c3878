#include "UsbStick.h"

#include "platform/Wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStorageInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char kDevicePrefix[] = "/dev/";
const char kReadWriteOption[] = "rw";
const char kUsbPathPart[] = "/usb";
const int kOctalEscapeLength = 4; // "\040"

struct Mount
{
    QString Device; ///< the device's name in /dev, resolved when it is a link
    QString Point;
    bool ReadWrite = false;
};

// The kernel writes spaces, tabs, newlines and backslashes in a mount table
// as three octal digits after a backslash (a stick labelled "MY DATA").
QString unescapeField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](int k) { return k < field.size() && field[k] >= '0' && field[k] <= '7'; };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            out.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += kOctalEscapeLength - 1;
        } else {
            out.append(field[i]);
        }
    }
    return QFile::decodeName(out);
}

QList<Mount> parseMounts(const QByteArray &text)
{
    QList<Mount> mounts;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4)
            continue;
        Mount m;
        m.Device = unescapeField(fields[0]);
        m.Point = unescapeField(fields[1]);
        m.ReadWrite = fields[3].split(',').contains(kReadWriteOption);
        mounts.append(m);
    }
    return mounts;
}

// Name of the block device in /dev ("sdb1"), or empty for a mount of no device.
QString blockName(const QString &device)
{
    if (!device.startsWith(QLatin1String(kDevicePrefix)))
        return QString();
    const QFileInfo info(device);
    // /dev/disk/by-label/… and the like are links to the real node.
    return (info.isSymLink() ? QFileInfo(info.canonicalFilePath()) : info).fileName();
}

// The disk a block device belongs to: itself for a whole disk, otherwise the
// disk whose sysfs folder holds the partition's.
QString diskOf(const QString &sysRoot, const QString &name)
{
    if (name.isEmpty())
        return QString();
    const QString block = sysRoot + QLatin1String("/block/");
    if (QFileInfo(block + name).isDir())
        return name;
    const QStringList disks = QDir(block).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &disk : disks)
        if (QFileInfo(block + disk + QLatin1Char('/') + name).isDir())
            return disk;
    return QString();
}

bool isUsbDisk(const QString &sysRoot, const QString &disk)
{
    const QString folder = sysRoot + QLatin1String("/block/") + disk;
    QFile flag(folder + QLatin1String("/removable"));
    if (flag.open(QIODevice::ReadOnly) && flag.readAll().trimmed() == "1")
        return true;
    // Card readers and some sticks do not call themselves removable.
    return QFileInfo(folder).canonicalFilePath().contains(QLatin1String(kUsbPathPart));
}

// The canonical form of path, or of its nearest existing parent.
QString existingCanonical(const QString &path)
{
    QString p = QFileInfo(path).absoluteFilePath();
    for (;;) {
        const QString canonical = QFileInfo(p).canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical;
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            return QString();
        p = parent;
    }
}

bool holds(const QString &point, const QString &path)
{
    return point == QLatin1String("/") || path == point || path.startsWith(point + QLatin1Char('/'));
}

// The mount whose point holds path most closely (the last of equals wins: it hides the others).
const Mount *mountHolding(const QList<Mount> &mounts, const QString &path)
{
    const Mount *best = nullptr;
    for (const Mount &m : mounts)
        if (holds(m.Point, path) && (!best || m.Point.size() >= best->Point.size()))
            best = &m;
    return best;
}

} // namespace

QString FindUsbStickIn(const QByteArray &mountTable, const QString &sysRoot, const QString &dataFolder)
{
    const QList<Mount> mounts = parseMounts(mountTable);
    QStringList ownDisks;
    for (const QString &path : {QStringLiteral("/"), existingCanonical(dataFolder)}) {
        if (path.isEmpty())
            continue;
        if (const Mount *m = mountHolding(mounts, path)) {
            const QString name = blockName(m->Device);
            ownDisks << name << diskOf(sysRoot, name);
        }
    }
    for (const Mount &m : mounts) {
        if (!m.ReadWrite || m.Point == QLatin1String("/"))
            continue;
        const QString name = blockName(m.Device);
        const QString disk = diskOf(sysRoot, name);
        if (disk.isEmpty() || ownDisks.contains(name) || ownDisks.contains(disk))
            continue;
        if (isUsbDisk(sysRoot, disk) && QFileInfo(m.Point).isDir())
            return m.Point;
    }
    return QString();
}

qint64 VolumeFreeBytes(const QString &path)
{
    const QStorageInfo volume(path);
    return volume.isValid() ? volume.bytesAvailable() : -1;
}

bool FlushVolumeWithin(const QString &path, int timeoutMs)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const JobOutcome outcome = RunJobWithin(
        [fd] {
            const bool synced = ::syncfs(fd) == 0;
            ::close(fd);
            return synced;
        },
        timeoutMs);
    return outcome == JobOutcome::Succeeded;
}
