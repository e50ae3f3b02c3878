#include "records/ProjectListing.h"

#include "ProjectTestUtil.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QDate>
#include <QtTest>

#include <sys/stat.h>

class TstProjectListing : public QObject
{
    Q_OBJECT

private slots:
    // Only real folders and regular files, with the extension in exactly its
    // case; links are followed, a dangling link is nothing.
    void listsOnlyFoldersOrFilesWithTheExactExtension()
    {
        QTemporaryDir dir;
        const QString d = dir.path() + "/";
        QVERIFY(QDir().mkpath(d + "A.PRO") && QDir().mkpath(d + "b.pro") && QDir().mkpath(d + ".PRO"));
        QVERIFY(QDir().mkpath(d + "ABCQDW.PRO") && QDir().mkpath(d + "elsewhere") && QDir().mkpath(d + ".hidden.PRO"));
        QVERIFY(WriteBytes(d + "X.PRO", "plain file"));
        QVERIFY(QFile::link(d + "elsewhere", d + "C.PRO"));
        QVERIFY(QFile::link(d + "gone", d + "D.PRO"));
        QCOMPARE(ListEntries(dir.path(), "PRO", EntryKind::Folders, true), (QStringList{"A.PRO", "ABCQDW.PRO", "C.PRO"}));

        QVERIFY(WriteBytes(d + "r1.QDW", "1") && WriteBytes(d + "r2.qdw", "2") && WriteBytes(d + "QDW", "3"));
        QVERIFY(QDir().mkpath(d + "r3.QDW"));
        QVERIFY(QFile::link(d + "r1.QDW", d + "r4.QDW"));
        QCOMPARE(::mkfifo(QFile::encodeName(d + "r5.QDW").constData(), 0600), 0);
        QCOMPARE(ListEntries(dir.path(), "QDW", EntryKind::Files, true), (QStringList{"r1.QDW", "r4.QDW"}));

        QVERIFY(ListEntries(d + "missing", "QDW", EntryKind::Files, true).isEmpty());
        QVERIFY(ListEntries(QString(), "QDW", EntryKind::Files, true).isEmpty());
    }

    void sortsByDateNewestFirstAndEqualTimesByName()
    {
        QTemporaryDir dir;
        const QList<QPair<QString, qint64>> files{{"a.QDW", 3000}, {"b.QDW", 1000}, {"c.QDW", 2000}, {"d.QDW", 3000}};
        for (const auto &f : files) {
            QVERIFY(WriteBytes(dir.filePath(f.first), "x"));
            QVERIFY(SetModified(dir.filePath(f.first), f.second));
        }
        QCOMPARE(ListEntries(dir.path(), "QDW", EntryKind::Files, false), (QStringList{"a.QDW", "d.QDW", "c.QDW", "b.QDW"}));
        QCOMPARE(ListEntries(dir.path(), "QDW", EntryKind::Files, true), (QStringList{"a.QDW", "b.QDW", "c.QDW", "d.QDW"}));
    }

    void namesAndDates()
    {
        QCOMPARE(StripExtension("ABCQDW.PRO", "PRO"), QString("ABCQDW"));
        QCOMPARE(StripExtension("R1.QDW", "PRO"), QString("R1.QDW"));
        QTemporaryDir dir;
        QVERIFY(WriteBytes(dir.filePath("new.QDW"), "x"));
        QCOMPARE(EntryDateText(dir.filePath("new.QDW")), QDate::currentDate().toString("yyyy/MM/dd"));
        QVERIFY(EntryDateText(dir.filePath("missing.QDW")).isEmpty());
    }

    // A project name from a record header or the settings file never becomes a path.
    void projectFolderOnlyForPlainNames_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<bool>("plain");
        QTest::newRow("plain") << "工地 A" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "../../etc" << false;
        QTest::newRow("backslash") << "a\\b" << false;
    }
    void projectFolderOnlyForPlainNames()
    {
        QFETCH(QString, project);
        QFETCH(bool, plain);
        TestProgramDir program;
        const QString folder = ProjectFolderOf(CurrentParams(), project);
        QCOMPARE(folder, plain ? program.file("QDW-FILE/" + project + ".PRO") : QString());
    }
};

QTEST_GUILESS_MAIN(TstProjectListing)
#include "tst_projectlisting.moc"
