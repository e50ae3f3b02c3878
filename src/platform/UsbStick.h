#pragma once

#include <QByteArray>
#include <QString>

/// The root of the first USB stick that is ready for use, or an empty text.
/// mounts is the text of a mount table (/proc/self/mounts: device, mount
/// point, type, options, with "\040"-style escapes), sysRoot the root of a
/// sysfs tree (/sys). A mount counts when it is mounted read-write from a
/// block device whose disk (sdb for sdb1, mmcblk0 for mmcblk0p1, nvme0n1 for
/// nvme0n1p1) is removable or hangs on a USB bus, and its mount point is a
/// folder. Never "/", nor any volume on the disk that holds "/" or
/// dataFolder: the program must not copy its data onto itself.
QString FindUsbStickIn(const QByteArray &mounts, const QString &sysRoot, const QString &dataFolder);

/// Bytes an unprivileged program may still write on the volume holding path; −1 when unknown.
qint64 VolumeFreeBytes(const QString &path);

/// Flushes the volume holding path to its device (syncfs); false when that
/// fails or takes longer than timeoutMs, the event loop running meanwhile.
bool FlushVolumeWithin(const QString &path, int timeoutMs);
