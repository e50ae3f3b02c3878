#include "platform/UsbStick.h"
#include "platform/Wait.h"

#include "support/TestProgramDir.h"

#include <QtTest>

#include <atomic>

namespace {

bool writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

/// A sysfs tree with one disk, as the kernel lays it out: /block/<disk> with
/// its removable flag and a folder per partition.
bool addDisk(const QString &sys, const QString &disk, const QString &partition, bool removable)
{
    const QString folder = sys + "/block/" + disk;
    return QDir().mkpath(folder + "/" + partition) && writeText(folder + "/removable", removable ? "1\n" : "0\n");
}

} // namespace

class TstUsbStick : public QObject
{
    Q_OBJECT

private slots:
    void findsTheStick_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("disk");
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("removable");
        QTest::addColumn<bool>("found");
        QTest::newRow("sdb1") << "/dev/sdb1" << "sdb" << "rw,nosuid" << true << true;
        QTest::newRow("whole disk") << "/dev/sdb" << "sdb" << "rw" << true << true;
        QTest::newRow("mmcblk0p1") << "/dev/mmcblk0p1" << "mmcblk0" << "rw" << true << true;
        QTest::newRow("nvme0n1p1") << "/dev/nvme0n1p1" << "nvme0n1" << "rw" << true << true;
        QTest::newRow("fixed disk") << "/dev/sdb1" << "sdb" << "rw" << false << false;
        QTest::newRow("read-only") << "/dev/sdb1" << "sdb" << "ro,nosuid" << true << false;
        QTest::newRow("no device") << "tmpfs" << "sdb" << "rw" << true << false;
    }
    void findsTheStick()
    {
        QFETCH(QString, device);
        QFETCH(QString, disk);
        QFETCH(QString, options);
        QFETCH(bool, removable);
        QFETCH(bool, found);
        QTemporaryDir dir;
        const QString sys = dir.filePath("sys");
        const QString name = QFileInfo(device).fileName();
        QVERIFY(addDisk(sys, "vda", "vda1", false));
        QVERIFY(addDisk(sys, disk, name == disk ? QString("queue") : name, removable));
        // A label with a space is written "\040" in the mount table.
        const QString point = dir.filePath("media/MY DATA");
        QVERIFY(QDir().mkpath(point));
        const QByteArray mounts = "/dev/vda1 / ext4 rw,relatime 0 0\n"
                                  "proc /proc proc rw 0 0\n"
            + device.toUtf8() + " " + dir.filePath("media/MY\\040DATA").toUtf8() + " vfat " + options.toUtf8() + " 0 0\n";
        QCOMPARE(FindUsbStickIn(mounts, sys, dir.filePath("program/QDW-FILE")), found ? point : QString());
    }

    // The program's own disk is never the stick, however it is flagged.
    void neverTheSystemOrTheDataVolume()
    {
        QTemporaryDir dir;
        const QString sys = dir.filePath("sys");
        QVERIFY(addDisk(sys, "sda", "sda1", true) && QDir().mkpath(sys + "/block/sda/sda2"));
        QVERIFY(addDisk(sys, "sdb", "sdb1", true));
        QVERIFY(addDisk(sys, "sdc", "sdc1", true));
        const QString data = dir.filePath("data");
        const QString other = dir.filePath("other");
        const QString stick = dir.filePath("stick");
        for (const QString &p : {data, other, stick})
            QVERIFY(QDir().mkpath(p));
        const QByteArray mounts = "/dev/sda1 / ext4 rw 0 0\n"
                                  "/dev/sdb1 " + data.toUtf8() + " ext4 rw 0 0\n"
                                  "/dev/sda2 " + other.toUtf8() + " ext4 rw 0 0\n"
                                  "/dev/sdc1 " + dir.filePath("gone").toUtf8() + " vfat rw 0 0\n"
                                  "/dev/sdc1 " + stick.toUtf8() + " vfat rw 0 0\n";
        // sda holds "/" (and other), sdb the data folder: only sdc is a
        // stick, at the mount point that exists.
        QCOMPARE(FindUsbStickIn(mounts, sys, data + "/program/QDW-FILE"), stick);
        // With the data folder on sdc, sdb is the stick.
        QCOMPARE(FindUsbStickIn(mounts, sys, stick + "/QDW-FILE"), data);
    }

    // Card readers and some sticks call themselves fixed; their place on a USB bus tells.
    void usbDiskThatIsNotFlaggedRemovable()
    {
        QTemporaryDir dir;
        const QString sys = dir.filePath("sys");
        const QString device = dir.filePath("sys/devices/pci0000:00/usb2/2-1/host6/block/sdd");
        QVERIFY(QDir().mkpath(device + "/sdd1"));
        QVERIFY(writeText(device + "/removable", "0\n"));
        QVERIFY(QDir().mkpath(sys + "/block"));
        QVERIFY(QFile::link(device, sys + "/block/sdd"));
        const QString point = dir.filePath("stick");
        QVERIFY(QDir().mkpath(point));
        QCOMPARE(FindUsbStickIn("/dev/sdd1 " + point.toUtf8() + " vfat rw 0 0\n", sys, "/nowhere"), point);
    }

    void volumeHelpers()
    {
        QTemporaryDir dir;
        QVERIFY(VolumeFreeBytes(dir.path()) > 0);
        QCOMPARE(VolumeFreeBytes(dir.filePath("missing")), -1);
        QVERIFY(!FlushVolumeWithin(dir.filePath("missing"), 1000));
    }

    // A job that hangs (a stick that stops answering) ends the wait at its
    // limit with the event loop alive all the while; the job finishes later
    // on its own.
    void jobThatHangsTimesOutWhileTheScreenLives()
    {
        auto release = std::make_shared<std::atomic<bool>>(false);
        auto done = std::make_shared<std::atomic<bool>>(false);
        bool ticked = false;
        QTimer::singleShot(20, [&ticked] { ticked = true; });
        QElapsedTimer clock;
        clock.start();
        const JobOutcome outcome = RunJobWithin(
            [release, done] {
                while (!*release)
                    QThread::msleep(5);
                *done = true;
                return true;
            },
            200);
        QCOMPARE(outcome, JobOutcome::TimedOut);
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(ticked);
        *release = true;
        QTRY_VERIFY_WITH_TIMEOUT(*done, ScaledTimeout(5000));

        QCOMPARE(RunJobWithin([] { return true; }, ScaledTimeout(5000)), JobOutcome::Succeeded);
        QCOMPARE(RunJobWithin([] { return false; }, ScaledTimeout(5000)), JobOutcome::Failed);
    }
};

QTEST_GUILESS_MAIN(TstUsbStick)
#include "tst_usbstick.moc"
