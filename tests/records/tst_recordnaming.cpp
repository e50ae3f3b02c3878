// Numbered record names: what the save prompt offers after the last saved
// record, and which record counts as the last one in a project folder.
#include "params/ParamSet.h"
#include "records/RecordFile.h"
#include "records/RecordNaming.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TstRecordNaming : public QObject
{
    Q_OBJECT

private slots:
    void nextName_data();
    void nextName();
    void lastSavedIsTheNewestFileOfTheProject();
};

void TstRecordNaming::nextName_data()
{
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("taken"); // names the project has, comma separated
    QTest::addColumn<QString>("next");

    QTest::newRow("width kept") << "T0009" << "" << "T0010";
    QTest::newRow("number grows past its width") << "B99" << "" << "B100";
    QTest::newRow("digits only") << "0099" << "" << "0100";
    QTest::newRow("no number") << "LINE" << "" << "LINE1";
    QTest::newRow("no number, LINE1 taken") << "LINE" << "LINE1,LINE2" << "LINE3";
    QTest::newRow("digit inside the name") << "L2X" << "" << "L2X1";
    QTest::newRow("empty project") << "" << "" << "0001";
    QTest::newRow("empty last, 0001 made elsewhere") << "" << "0001,0002" << "0003";
    QTest::newRow("existing names stepped over") << "T0009" << "T0010,T0011" << "T0012";
    // Gaps below the last saved record are not filled.
    QTest::newRow("gap below") << "T0005" << "T0001,T0002,T0005" << "T0006";
    QTest::newRow("gap above the taken run") << "T0001" << "T0002,T0004" << "T0003";
    QTest::newRow("eight characters") << "ABCD9998" << "" << "ABCD9999";
    QTest::newRow("increase passes the limit") << "ABCD9999" << "" << "";
    QTest::newRow("eight letters, no room for a number") << "ABCDEFGH" << "" << "";
    QTest::newRow("last free name taken") << "ABCDEFG8" << "ABCDEFG9" << "";
}

void TstRecordNaming::nextName()
{
    QFETCH(QString, last);
    QFETCH(QString, taken);
    QFETCH(QString, next);
    const QStringList list = taken.split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QSet<QString> set(list.begin(), list.end());
    QCOMPARE(NextRecordName(last, set, kMaxRecordNameLength), next);
}

void TstRecordNaming::lastSavedIsTheNewestFileOfTheProject()
{
    TestProgramDir dir;
    ParamSet &p = CurrentParams();
    p.LoadSettings();
    QCOMPARE(SuggestedRecordName(p), QStringLiteral("0001")); // no project folder yet

    QDir().mkpath(p.ProjectFolderPath());
    const QDateTime base = QDateTime::currentDateTime().addSecs(-100);
    // Written in this order, at these times; "K7" is the newest although it sorts first.
    const QList<QPair<QString, int>> files{{"T0003", 10}, {"T0002", 20}, {"K7", 30}, {"T0010", 30}};
    for (const auto &[name, seconds] : files) {
        QFile f(RecordSavePath(p, name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.setFileTime(base.addSecs(seconds), QFileDevice::FileModificationTime));
    }
    // Equal times: the higher name was saved last (quick automatic saves).
    QCOMPARE(LastSavedRecordName(p), QStringLiteral("T0010"));
    QCOMPARE(SuggestedRecordName(p), QStringLiteral("T0011"));
    QFile newest(RecordSavePath(p, QStringLiteral("K7")));
    QVERIFY(newest.open(QIODevice::ReadWrite));
    QVERIFY(newest.setFileTime(base.addSecs(40), QFileDevice::FileModificationTime));
    QCOMPARE(SuggestedRecordName(p), QStringLiteral("K8"));
    // Other extensions and other projects do not count.
    QFile other(p.ProjectFolderPath() + QStringLiteral("/Z0099.SG2"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    QCOMPARE(SuggestedRecordName(p), QStringLiteral("K8"));
    p.Header.ProjectName = QStringLiteral("OTHER");
    QCOMPARE(SuggestedRecordName(p), QStringLiteral("0001"));
}

QTEST_GUILESS_MAIN(TstRecordNaming)
#include "tst_recordnaming.moc"
