#include "dialogs/Prodwidget.h"

#include "support/TestProgramDir.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QtTest>

namespace {
const int kChannels = 24;
const int kSamples = 16384;
const QColor kChunkColour(100, 100, 200);
} // namespace

class TestProdwidget : public QObject
{
    Q_OBJECT

private slots:
    void windowIsFramelessAndCentred();
    void everySampleRepaintsOnlyOnVisibleChanges();
    void valuesOutsideTheRangeAreBounded();
    void barShowsTheFilledPart();
};

void TestProdwidget::windowIsFramelessAndCentred()
{
    TestProgramDir dir;
    Prodwidget w;
    QVERIFY(w.isWindow());
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.windowTitle(), QStringLiteral("进度"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w.width(), screen.width() / 2);
    QCOMPARE(w.height(), screen.height() / 3);
    QVERIFY(qAbs(w.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(w.geometry().center().y() - screen.center().y()) <= 1);
}

void TestProdwidget::everySampleRepaintsOnlyOnVisibleChanges()
{
    TestProgramDir dir;
    Prodwidget w;
    w.SetText(QStringLiteral("正在读取文件..."));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *bar = w.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QVERIFY(bar);

    const int total = kChannels * kSamples;
    w.SetRange(0, total);
    const int before = w.BarPaintCount();
    for (int v = 0; v <= total; ++v)
        w.SetValue(v);
    const int paints = w.BarPaintCount() - before;

    // Each of the hundred percentages must have been painted, but nowhere
    // near one paint per sample: at most one per percent and one per pixel.
    QVERIFY2(paints >= 100, qPrintable(QString::number(paints)));
    QVERIFY2(paints <= 101 + bar->width(), qPrintable(QString::number(paints)));
    QCOMPARE(bar->value(), total);
    QCOMPARE(bar->text(), QStringLiteral("100%"));
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("正在读取文件..."));
}

void TestProdwidget::valuesOutsideTheRangeAreBounded()
{
    TestProgramDir dir;
    Prodwidget w;
    w.SetRange(10, 20);
    w.SetValue(25);
    QCOMPARE(w.Value(), 20);
    w.SetValue(-3);
    QCOMPARE(w.Value(), 10);
    w.SetRange(5, 5); // an empty record must not divide by zero
    w.SetValue(5);
    QCOMPARE(w.Value(), 5);
}

void TestProdwidget::barShowsTheFilledPart()
{
    TestProgramDir dir;
    Prodwidget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.SetRange(0, 100);
    w.SetValue(50);
    auto *bar = w.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    const QImage img = bar->grab().toImage();
    const int y = img.height() / 2;
    QCOMPARE(QColor(img.pixel(img.width() / 8, y)), kChunkColour);
    QCOMPARE(QColor(img.pixel(img.width() * 7 / 8, y)), QColor(Qt::white));
    img.save(QStringLiteral("prodwidget_bar.png"));
}

QTEST_MAIN(TestProdwidget)
#include "tst_prodwidget.moc"
