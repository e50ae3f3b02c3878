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
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
