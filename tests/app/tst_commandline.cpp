#include "app/CommandLine.h"
#include "params/ParamSet.h"

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
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
