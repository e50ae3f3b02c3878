#include "app/CDlgZEB.h"
#include "platform/Platform.h"
#include "dialogs/TaskScreens.h"
#include "instrument/InstrumentSocket.h"
#include "params/ParamSet.h"
#include "support/FakePlatform.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"
#include "UnitSimulator.h"
#include "ZebVersion.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QUdpSocket>
#include <QtTest>

namespace {

const QString kFetching = QStringLiteral("硬件版本: 正在获取中……");
const QString kFailed = QStringLiteral("硬件版本: <b><font color =red>获取失败</font></b>");

QString hardLabel(const CDlgZEB &dlg)
{
    return dlg.findChild<QLabel *>(QStringLiteral("lbHardVer"))->text();
}

} // namespace

class TstCDlgZEB : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TestProgramDir>();
        m_sim = std::make_unique<UnitSimulator>();
        QVERIFY(m_sim->Start(0));
        PointAtLoopbackUnit(m_sim->Port());
    }

    void cleanup()
    {
        DeleteInstrumentSocket();
        m_sim.reset();
        m_dir.reset();
    }

    void showsTheUnitsVersion()
    {
        m_sim->SetVersionByte(0x9B);
        CDlgZEB dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("QD-ZEB 引导界面"));
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("lbVar"))->text(), QStringLiteral("软件版本: " ZEB_VERSION));
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), QStringLiteral("硬件版本: D2.1 H2.3"), ScaledTimeout(5000));
        QCOMPARE(dlg.Answer(), 1);
        QVERIFY(!dlg.IsBusy());
        QCOMPARE(m_sim->Received('b'), 1);
        // The settings file was loaded: the data folder exists.
        QVERIFY(QFileInfo(m_dir->file("QDW-FILE")).isDir());
    }

    void silentUnitFailsThenRetryRecovers()
    {
        m_sim->SetFault('b', UnitSimulator::Fault::NoReply, 0, 1);
        // The version wait runs with the launcher shown and answering.
        CDlgZEB dlg;
        QVERIFY(dlg.IsBusy());
        QCOMPARE(hardLabel(dlg), kFetching);
        // The next clock tick after the 5 s wait shows the failure.
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), kFailed, ScaledTimeout(8000));
        QCOMPARE(dlg.Answer(), 0);
        QVERIFY(!dlg.IsBusy());

        dlg.findChild<QPushButton *>(QStringLiteral("btnUpdate"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), QStringLiteral("硬件版本: D2.1 H2.3"), ScaledTimeout(5000));
        QCOMPARE(m_sim->Received('b'), 2);
    }

    void failedRetryAfterSuccessShowsTheFailure()
    {
        CDlgZEB dlg;
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), QStringLiteral("硬件版本: D2.1 H2.3"), ScaledTimeout(5000));
        // The unit goes quiet; the version text of the first attempt is still
        // in the parameter set, but must not stand for this attempt.
        m_sim->SetFault('b', UnitSimulator::Fault::NoReply);
        dlg.findChild<QPushButton *>(QStringLiteral("btnUpdate"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), kFailed, ScaledTimeout(9000));
        QCOMPARE(dlg.Answer(), 0);
    }

    void unitGoneFailsAndNewSocketOnRetry()
    {
        m_sim->Stop();
        CDlgZEB dlg;
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), kFailed, ScaledTimeout(9000));
        // After a task screen deleted the socket, a retry makes a new one.
        DeleteInstrumentSocket();
        QVERIFY(!InstrumentSocket());
        QVERIFY(m_sim->Start(0));
        CurrentParams().InstrumentPort = QString::number(m_sim->Port());
        dlg.findChild<QPushButton *>(QStringLiteral("btnUpdate"))->click();
        QVERIFY(InstrumentSocket());
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), QStringLiteral("硬件版本: D2.1 H2.3"), ScaledTimeout(5000));
    }

    void escapeWhileBusyDoesNotQuit()
    {
        m_sim->SetFault('b', UnitSimulator::Fault::NoReply, 0, 1);
        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("labelMsg")), QStringLiteral("操作正在进行中，暂时无法退出，请稍候再试！"));
            d.Key(Qt::Key_Return);
        });
        CDlgZEB dlg;
        QVERIFY(dlg.IsBusy());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), ScaledTimeout(9000));

        // Once the wait is over, Esc closes the launcher.
        QSignalSpy finished(&dlg, &QDialog::finished);
        QVERIFY(!dlg.IsBusy());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void exportWithoutUsbStick()
    {
        ScopedFakePlatform platform; // no stick
        CDlgZEB dlg;
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), ScaledTimeout(5000));
        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("labelMsg")), QStringLiteral("找不到U盘，无法导出！"));
            d.Key(Qt::Key_Return);
        });
        QTest::keyClick(&dlg, Qt::Key_E, Qt::AltModifier);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    }

    void tasksOpenTheirScreensAndTheLauncherSavesAfterAcquisition()
    {
        ScopedFakePlatform platform;
        platform->SetUsbStick(m_dir->path());
        QStringList opened;
        Screens().Acquisition = [&](QWidget *parent) {
            QVERIFY(parent);
            QVERIFY(!QFile::exists(m_dir->file("ZEB.ini")));
            opened << "acquisition";
        };
        Screens().ExportProjects = [&](QWidget *) { opened << "export"; };
        Screens().DeleteProjects = [&](QWidget *) { opened << "delete"; };
        CDlgZEB dlg;
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), ScaledTimeout(5000));
        QFile::remove(m_dir->file("ZEB.ini"));
        QTest::keyClick(&dlg, Qt::Key_S, Qt::AltModifier);
        QVERIFY(QFile::exists(m_dir->file("ZEB.ini"))); // saved when the acquisition screen returned
        QVERIFY(dlg.isVisible());
        QTest::keyClick(&dlg, Qt::Key_E, Qt::AltModifier);
        QTest::keyClick(&dlg, Qt::Key_D, Qt::AltModifier);
        QCOMPARE(opened, (QStringList{"acquisition", "export", "delete"}));
    }

    // The operator may open the acquisition screen before the unit has told
    // its version; that screen deletes the socket when it goes, and the
    // launcher must carry on without it.
    void acquisitionDuringTheVersionWait()
    {
        m_sim->SetFault('b', UnitSimulator::Fault::NoReply, 0, 1);
        CurrentParams().HardwareVersionText.clear();
        int opened = 0;
        Screens().Acquisition = [&](QWidget *) {
            ++opened;
            DeleteInstrumentSocket();
        };
        CDlgZEB dlg;
        QVERIFY(dlg.IsBusy());
        QTest::keyClick(&dlg, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(opened, 1);
        QVERIFY(!InstrumentSocket());
        QVERIFY(dlg.isVisible());
        QVERIFY(!dlg.IsBusy());
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), kFailed, ScaledTimeout(3000));
        // Nothing of the old wait is left to fire; a retry works on a new socket.
        dlg.findChild<QPushButton *>(QStringLiteral("btnUpdate"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(hardLabel(dlg), QStringLiteral("硬件版本: D2.1 H2.3"), ScaledTimeout(5000));
        QCOMPARE(dlg.Answer(), 1);
    }

    // The clock ticks on through the version wait and hides the launcher
    // under an open task screen; it must come back when the task ends.
    void launcherComesBackAfterATaskDuringTheVersionWait()
    {
        m_sim->SetFault('b', UnitSimulator::Fault::NoReply, 0, 1);
        Screens().DeleteProjects = [](QWidget *) { QTest::qWait(1500); };
        CDlgZEB dlg;
        QVERIFY(dlg.IsBusy());
        QTest::keyClick(&dlg, Qt::Key_D, Qt::AltModifier);
        QVERIFY(dlg.isVisible());
    }

    void disabledButtonsIgnoreTheirShortcut()
    {
        ScopedFakePlatform platform; // no stick
        CDlgZEB dlg;
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), ScaledTimeout(5000));
        dlg.findChild<QPushButton *>(QStringLiteral("btnFile"))->setEnabled(false);
        ModalDriver driver(300);
        driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return); });
        QTest::keyClick(&dlg, Qt::Key_E, Qt::AltModifier);
        QVERIFY(!driver.Finished(300)); // no message box: the shortcut did nothing
        QCOMPARE(driver.Answered(), 0);
    }

    // A settings file that cannot be read is put aside; the copy of the
    // last good save takes its place when there is one, and the operator is
    // told once what the survey now is.
    void damagedSettingsAreToldOnce_data()
    {
        QTest::addColumn<bool>("withCopy");
        QTest::addColumn<QString>("message");
        QTest::newRow("no copy") << false << QStringLiteral("设置文件已损坏，已恢复默认设置");
        QTest::newRow("copy of the last save") << true << QStringLiteral("设置文件已损坏，已恢复上次保存的设置");
    }
    void damagedSettingsAreToldOnce()
    {
        QFETCH(bool, withCopy);
        QFETCH(QString, message);
        if (withCopy) {
            CurrentParams().Header.ProjectName = QStringLiteral("NORTH");
            QCOMPARE(CurrentParams().SaveSettings(), 1);
            CurrentParams().Header.ProjectName = QStringLiteral("QUARTZON"); // as at a fresh start
        }
        QFile f(m_dir->file("ZEB.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x00\x00\x00\x02\x00\x31", 6));
        f.close();
        ModalDriver driver;
        driver.Expect([&](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("labelMsg")), message);
            d.Key(Qt::Key_Return);
        });
        CDlgZEB dlg;
        QVERIFY(!QFile::exists(m_dir->file("ZEB.ini")));
        QVERIFY(QFile::exists(m_dir->file("ZEB.ini.damaged")));
        QCOMPARE(CurrentParams().Header.ProjectName, withCopy ? QStringLiteral("NORTH") : QStringLiteral("QUARTZON"));
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), ScaledTimeout(5000));
        QCOMPARE(driver.Answered(), 1);
    }

private:
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<UnitSimulator> m_sim;
};

QTEST_MAIN(TstCDlgZEB)
#include "tst_cdlgzeb.moc"
