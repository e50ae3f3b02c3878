#include "app/CommandLine.h"
#include "platform/Platform.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"
#include "upload/UploadRecord.h"
#include "ZebVersion.h"

#include <QtTest>

class TstCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void instrumentOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        // The factory address is only compared here, never contacted.
        const QString factory = ParamSet().InstrumentAddress;
        QTest::newRow("none") << QStringList{"zeb"} << true << factory << "6543";
        QTest::newRow("host and port") << QStringList{"zeb", "--instrument", "127.0.0.1:16543"} << true
                                       << "127.0.0.1" << "16543";
        QTest::newRow("host only keeps port") << QStringList{"zeb", "--instrument=127.0.0.2"} << true
                                              << "127.0.0.2" << "6543";
        QTest::newRow("missing value") << QStringList{"zeb", "--instrument"} << false << factory
                                       << "6543";
        QTest::newRow("port zero") << QStringList{"zeb", "--instrument", "127.0.0.1:0"} << false
                                   << factory << "6543";
        QTest::newRow("port too large") << QStringList{"zeb", "--instrument", "127.0.0.1:65536"} << false
                                        << factory << "6543";
        QTest::newRow("not an address") << QStringList{"zeb", "--instrument", "unit.local:1"} << false
                                        << factory << "6543";
        QTest::newRow("unknown option") << QStringList{"zeb", "--fast"} << false << factory << "6543";
    }

    void instrumentOption()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QFETCH(QString, address);
        QFETCH(QString, port);
        ParamSet p;
        QString error;
        QCOMPARE(ApplyCommandLine(args, p, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        QCOMPARE(p.InstrumentAddress, address);
        QCOMPARE(p.InstrumentPort, port);
    }

    void uploadGatewayOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<int>("port");
        QTest::newRow("none: the network's gateway") << QStringList{"zeb"} << true << QString() << 5555;
        QTest::newRow("host and port") << QStringList{"zeb", "--upload-gateway", "127.0.0.1:15555"} << true
                                       << "127.0.0.1" << 15555;
        QTest::newRow("with both options")
            << QStringList{"zeb", "--instrument=127.0.0.1:16543", "--upload-gateway=127.0.0.2:2"} << true
            << "127.0.0.2" << 2;
        QTest::newRow("not an address") << QStringList{"zeb", "--upload-gateway", "gw:1"} << false << QString() << 5555;
        QTest::newRow("port too large") << QStringList{"zeb", "--upload-gateway", "127.0.0.1:70000"} << false
                                        << QString() << 5555;
        QTest::newRow("missing value") << QStringList{"zeb", "--upload-gateway"} << false << QString() << 5555;
    }

    void uploadGatewayOption()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QFETCH(QString, gateway);
        QFETCH(int, port);
        ParamSet p;
        QString error;
        QCOMPARE(ApplyCommandLine(args, p, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        QCOMPARE(p.WitnessGateway, gateway);
        QCOMPARE(p.WitnessPort, port);
    }

    void uploadServerOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("server"); // where an upload goes, "a.b.c.d:port"
        const QString saved = QStringLiteral("127.0.0.1:5005");
        QTest::newRow("none: the saved server") << QStringList{"zeb"} << true << saved;
        QTest::newRow("pinned") << QStringList{"zeb", "--upload-server", "127.0.0.1:15005"} << true
                                << "127.0.0.1:15005";
        QTest::newRow("pinned, high bytes") << QStringList{"zeb", "--upload-server=127.200.255.9:1"} << true
                                            << "127.200.255.9:1";
        QTest::newRow("no port") << QStringList{"zeb", "--upload-server", "127.0.0.1"} << false << saved;
        QTest::newRow("not an address") << QStringList{"zeb", "--upload-server", "srv:1"} << false << saved;
    }

    void uploadServerOption()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QFETCH(QString, server);
        TestProgramDir dir;
        ParamSet &p = CurrentParams();
        QString error;
        QCOMPARE(ApplyCommandLine(args, p, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        // The settings file, read after the command line, leaves the pin alone.
        p.LoadSettings();
        const UploadFields fields = CurrentUploadFields();
        QString address;
        for (qint8 b : fields.ServerAddress)
            address += QString::number(quint8(b)) + QLatin1Char('.');
        address.chop(1);
        QCOMPARE(QStringLiteral("%1:%2").arg(address).arg(fields.ServerPort), server);

        // An edit on the upload screen changes the pinned server only; the
        // settings file keeps the operator's own.
        p.UploadServerPort() = 17;
        p.SaveSettings();
        ParamSet reread;
        reread.LoadSettings();
        QCOMPARE(reread.ServerPort, args.size() > 1 && ok ? 5005 : 17);
        QCOMPARE(reread.ServerAddress, (std::array<qint8, 4>{127, 0, 0, 1}));
    }

    // The stand-in stick of a test run: only an existing writable folder,
    // and the platform then offers it and nothing else.
    void usbStickOption()
    {
        QTemporaryDir stick;
        const QString missing = stick.filePath(QStringLiteral("gone"));
        struct Case
        {
            QStringList args;
            bool ok;
            QString folder;
        };
        const QList<Case> cases{
            {{"zeb"}, true, QString()},
            {{"zeb", "--usb-stick", stick.path()}, true, stick.path()},
            {{"zeb", "--usb-stick=" + stick.path() + "/."}, true, stick.path()},
            {{"zeb", "--usb-stick", missing}, false, QString()},
            {{"zeb", "--usb-stick"}, false, QString()},
        };
        for (const Case &c : cases) {
            ParamSet p;
            CommandLineChoices choices;
            QString error;
            QCOMPARE(ApplyCommandLine(c.args, p, &error, &choices), c.ok);
            QCOMPARE(choices.UsbStickFolder, c.folder);
            if (!c.ok)
                QVERIFY(error.contains(QStringLiteral("--usb-stick")));
        }
        QVERIFY(CommandLineUsage().contains(QStringLiteral("--usb-stick DIR")));
        // The stick's folder stands in for a mounted stick; the platform is
        // only built here, never installed, so nothing runs.
        QCOMPARE(MakeSystemPlatform(nullptr, stick.path())->FindUsbStick(), stick.path());
        QCOMPARE(MakeSystemPlatform(nullptr, missing)->FindUsbStick(), QString());
    }

    // An installed program keeps its settings and records in a folder it is
    // told; what the operator saves must land there, and a folder that cannot
    // hold them is refused before any shot is taken.
    void programDirOption_data()
    {
        QTest::addColumn<QString>("value"); // below the scratch folder; "FILE" is a plain file there
        QTest::addColumn<bool>("ok");
        QTest::newRow("existing folder") << "" << true;
        QTest::newRow("missing folders are created") << "var/lib/zeb" << true;
        QTest::newRow("a file, not a folder") << "FILE" << false;
        QTest::newRow("below a file") << "FILE/zeb" << false;
        QTest::newRow("empty name") << "NONE" << false;
    }

    void programDirOption()
    {
        QFETCH(QString, value);
        QFETCH(bool, ok);
        TestProgramDir before;
        QTemporaryDir scratch;
        QFile plain(scratch.filePath(QStringLiteral("FILE")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString dir = value == QLatin1String("NONE") ? QString() : scratch.filePath(value);

        ParamSet &p = CurrentParams();
        QString error;
        QCOMPARE(ApplyCommandLine({"zeb", "--program-dir=" + dir}, p, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (!ok) {
            QVERIFY(error.contains(dir));
            QCOMPARE(ProgramDir(), before.path());
            return;
        }
        QCOMPARE(ProgramDir(), QDir::cleanPath(dir));
        p.LoadSettings();
        p.SaveSettings();
        QVERIFY(QFileInfo(dir + "/ZEB.ini").isFile());
        QVERIFY(QFileInfo(dir + "/QDW-FILE").isDir());
        QVERIFY(!QFileInfo::exists(before.file("ZEB.ini")));
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("answerStart"); // empty: the program starts
        const QString version = QStringLiteral("zeb " ZEB_VERSION "\n");
        QTest::newRow("nothing asked") << QStringList{"zeb", "--instrument", "127.0.0.1"} << QString();
        QTest::newRow("version") << QStringList{"zeb", "--version"} << version;
        QTest::newRow("help") << QStringList{"zeb", "--help"} << "usage: zeb";
        QTest::newRow("among other options")
            << QStringList{"zeb", "--instrument", "127.0.0.1", "-h"} << "usage: zeb";
        QTest::newRow("a folder named --help")
            << QStringList{"zeb", "--program-dir", "--help"} << QString();
    }

    void helpAndVersion()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, answerStart);
        const QString answer = CommandLineAnswer(args);
        QCOMPARE(answer.isNull(), answerStart.isEmpty());
        QVERIFY(answer.startsWith(answerStart));
        if (answerStart.startsWith(QLatin1String("usage"))) {
            for (const char *option : {"--instrument", "--upload-server", "--upload-gateway", "--program-dir", "--version"})
                QVERIFY2(answer.count(QLatin1String(option)) >= 2, option); // in the usage and explained
        }
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
