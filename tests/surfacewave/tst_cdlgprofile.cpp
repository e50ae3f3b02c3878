// The profile screen as the operator uses it: a run ends in a profile with
// its Vs30 that is stored beside the combined curve and saved as a picture;
// S stops a run and shows the best so far; Esc leaves at once.
#include "surfacewave/CDlgProfile.h"
#include "surfacewave/ProfileFiles.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

InversionCurve Curve()
{
    return PrepareCurve({{4, 420, 0}, {6, 380, 0}, {8, 320, 0}, {11, 260, 0}, {15, 220, 0}, {20, 195, 0},
                         {30, 175, 0}, {45, 165, 0}});
}

bool HasStatus(const QDialog &screen, const QString &text)
{
    for (const QLabel *l : screen.findChildren<QLabel *>())
        if (l->text().contains(text))
            return true;
    return false;
}

} // namespace

class TestCDlgProfile : public QObject
{
    Q_OBJECT

private slots:
    void runStoresAndSaves_data();
    void runStoresAndSaves();
    void stopShowsBestSoFar();
    void escapeLeavesAtOnce();
};

void TestCDlgProfile::runStoresAndSaves_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("800 x 480") << QSize(800, 480);
    QTest::newRow("1024 x 600") << QSize(1024, 600);
}

void TestCDlgProfile::runStoresAndSaves()
{
    QFETCH(QSize, size);
    TestProgramDir dir;
    CDlgProfile screen(Curve(), dir.path(), {kDefaultLayers, 400});
    screen.resize(size);
    screen.show();
    QTRY_VERIFY_WITH_TIMEOUT(!screen.Running(), ScaledTimeout(60000));
    QTRY_VERIFY(screen.Result().Ok());
    QVERIFY(!screen.Result().Stopped);
    QCOMPARE(screen.ProgressValue(), 1000);
    QVERIFY(HasStatus(screen, QStringLiteral("Vs30 = ")));
    // The longest status (answer, misfit, models, file saved) still leaves
    // the screen its size: on a small controller nothing may run off its edge.
    QApplication::processEvents();
    QCOMPARE(screen.size(), size);
    for (const QPushButton *b : screen.findChildren<QPushButton *>())
        QVERIFY2(b->geometry().right() < size.width(), qPrintable(b->text()));

    QFile stored(QDir(dir.path()).filePath(QString::fromLatin1(kProjectProfileFile)));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), ProfileCsv(screen.Result()));

    // P saves a new picture each time, never over the last.
    QTest::keyClick(&screen, Qt::Key_P);
    QVERIFY(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("profile_1.png"))));
    QCOMPARE(QFileInfo(screen.SavePicture()).fileName(), QStringLiteral("profile_2.png"));

    // The best model is drawn in red on the screen.
    QApplication::processEvents();
    const QImage shot = screen.grab().toImage();
    int red = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) {
            const QColor c = shot.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 90 && c.blue() < 90;
        }
    QVERIFY(red > 20);
    const QString shots = qEnvironmentVariable("ZEB_SHOTS_DIR");
    if (!shots.isEmpty())
        shot.save(QDir(shots).filePath(QStringLiteral("profile_%1x%2.png").arg(size.width()).arg(size.height())));
}

void TestCDlgProfile::stopShowsBestSoFar()
{
    TestProgramDir dir;
    CDlgProfile screen(Curve(), dir.path(), {kDefaultLayers, kMaxModels}); // hours, unless stopped
    screen.show();
    QVERIFY(screen.Running());
    QTest::keyClick(&screen, Qt::Key_S);
    QTRY_VERIFY_WITH_TIMEOUT(!screen.Running(), ScaledTimeout(20000));
    QTRY_VERIFY(screen.Result().Ok());
    QVERIFY(screen.Result().Stopped);
    QVERIFY(HasStatus(screen, QStringLiteral("已停止")));
    QVERIFY(!screen.Result().Best.empty());
}

void TestCDlgProfile::escapeLeavesAtOnce()
{
    TestProgramDir dir;
    CDlgProfile screen(Curve(), dir.path(), {kDefaultLayers, kMaxModels});
    screen.show();
    QTest::keyClick(&screen, Qt::Key_Escape);
    QVERIFY(!screen.isVisible());
    QVERIFY(!screen.Running());
    QCOMPARE(screen.result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestCDlgProfile)
#include "tst_cdlgprofile.moc"
