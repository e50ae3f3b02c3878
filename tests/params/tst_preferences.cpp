// The program's own preferences file: defaults, what survives a save, what a
// damaged or foreign file does, and that the instrument settings file is
// never touched.
#include "params/ParamSet.h"
#include "params/Preferences.h"
#include "support/TestProgramDir.h"

#include <QFile>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstPreferences : public QObject
{
    Q_OBJECT

private slots:
    void savedAndLoadedBesideTheSettings();
    void fileAsWritten_data();
    void fileAsWritten();
};

void TstPreferences::savedAndLoadedBesideTheSettings()
{
    TestProgramDir dir;
    CurrentParams().LoadSettings();
    CurrentParams().SaveSettings();
    const QByteArray settings = readAll(CurrentParams().SettingsPath());

    Preferences prefs;
    QVERIFY(prefs.Load()); // no file yet: the defaults
    QVERIFY(!prefs.AutoSave);
    prefs.AutoSave = true;
    QVERIFY(prefs.Save());
    QCOMPARE(QFileInfo(Preferences::FilePath()).absolutePath(), QFileInfo(CurrentParams().SettingsPath()).absolutePath());
    QVERIFY(readAll(Preferences::FilePath()).contains("\nAutoSave=true\n"));

    Preferences again;
    QVERIFY(again.Load());
    QVERIFY(again.AutoSave);
    QCOMPARE(readAll(CurrentParams().SettingsPath()), settings);
}

void TstPreferences::fileAsWritten_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<QByteArray>("keptAfterSave"); // a line the next save must still hold

    QTest::newRow("blanks, comments, CR LF") << QByteArray("# mine\r\n\r\n  AutoSave = true \r\n") << true
                                             << QByteArray("AutoSave=true");
    // A newer program's key survives this one's save.
    QTest::newRow("unknown key") << QByteArray("Journal=9\nAutoSave=false\n") << false << QByteArray("Journal=9");
    QTest::newRow("bad value keeps the default") << QByteArray("AutoSave=yes\n") << false
                                                 << QByteArray("AutoSave=false");
    QTest::newRow("no value") << QByteArray("AutoSave\n=true\n") << false << QByteArray("AutoSave=false");
    QTest::newRow("binary rubbish") << QByteArray("\x00\xff\x01=\x02\n", 6) << false << QByteArray("AutoSave=false");
}

void TstPreferences::fileAsWritten()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, autoSave);
    QFETCH(QByteArray, keptAfterSave);
    TestProgramDir dir;
    QFile f(Preferences::FilePath());
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    Preferences prefs;
    QVERIFY(prefs.Load());
    QCOMPARE(prefs.AutoSave, autoSave);
    QVERIFY(prefs.Save());
    QVERIFY2(readAll(Preferences::FilePath()).contains(keptAfterSave), readAll(Preferences::FilePath()).constData());
}

QTEST_GUILESS_MAIN(TstPreferences)
#include "tst_preferences.moc"
