#include "display/SampleTitleWidget.h"

#include <QImage>
#include <QSignalSpy>
#include <QtTest>

class TstSampleTitleWidget : public QObject
{
    Q_OBJECT
private slots:
    void sizedAndCentredOnItsParent();
    void acquiringAfterHiddenKeepsGeometryAndStandsStill();
    void turnsOncePerSecond();
    void hiddenStopsTheTimer();
    void withoutParentNeverShows();
    void messageFontFollowsTheBox();
    void ringIsDrawnOnlyWhileShown();
};

void TstSampleTitleWidget::sizedAndCentredOnItsParent()
{
    QWidget parent;
    parent.resize(800, 480);
    SampleTitleWidget banner(&parent);
    parent.show();
    QVERIFY(!banner.isVisible());
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    QCOMPARE(banner.size(), QSize(570, 114));
    QCOMPARE(banner.geometry().center(), QPoint(399, 239));
    // Equal margins left and right, above and below.
    QCOMPARE(banner.x(), 800 - (banner.x() + banner.width()));
    QCOMPARE(banner.y(), 480 - (banner.y() + banner.height()));
    QVERIFY(banner.isVisible());
    QVERIFY(banner.Animating());
    QCOMPARE(banner.Message(), QStringLiteral("等待触发..."));
    QCOMPARE(banner.Clock(), 0);
}

void TstSampleTitleWidget::acquiringAfterHiddenKeepsGeometryAndStandsStill()
{
    QWidget parent;
    parent.resize(800, 480);
    SampleTitleWidget banner(&parent);
    parent.show();
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    const QRect shown = banner.geometry();
    QTRY_VERIFY(banner.Clock() > 0);
    banner.SetState(SampleTitleWidget::Hidden);
    parent.resize(1280, 800); // a later size must not move it: state 2 does not size
    banner.SetState(SampleTitleWidget::Acquiring);
    QCOMPARE(banner.geometry(), shown);
    QCOMPARE(banner.Clock(), 0);
    QVERIFY(!banner.Animating());
    QVERIFY(banner.isVisible());
    QCOMPARE(banner.Message(), QStringLiteral("数据采集中.."));
}

void TstSampleTitleWidget::turnsOncePerSecond()
{
    QWidget parent;
    parent.resize(800, 480);
    SampleTitleWidget banner(&parent);
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    for (int i = 1; i <= 30; ++i) {
        banner.DoAnimate();
        QCOMPARE(banner.Clock(), (i * 40) % 1000);
    }
    // Acquiring restarts the ring at 0 and keeps it turning.
    banner.SetState(SampleTitleWidget::Acquiring);
    QCOMPARE(banner.Clock(), 0);
    QVERIFY(banner.Animating());
}

void TstSampleTitleWidget::hiddenStopsTheTimer()
{
    QWidget parent;
    parent.resize(800, 480);
    SampleTitleWidget banner(&parent);
    parent.show();
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    banner.SetState(SampleTitleWidget::Hidden);
    QVERIFY(!banner.isVisible());
    QVERIFY(!banner.Animating());
    QCOMPARE(banner.State(), 0);
}

void TstSampleTitleWidget::withoutParentNeverShows()
{
    SampleTitleWidget banner;
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    QVERIFY(!banner.isVisible());
    banner.SetState(SampleTitleWidget::Acquiring);
    QVERIFY(!banner.isVisible());
    QVERIFY(!banner.Animating());
}

void TstSampleTitleWidget::messageFontFollowsTheBox()
{
    // 570 × 114 banner: box 456 × 114; 456 / 6 = 76 ≥ 2·114/3 = 76, so half the height.
    QCOMPARE(SampleTitleWidget::MessagePointSize(456, 114), 57);
    // A flat box gives the width rule.
    QCOMPARE(SampleTitleWidget::MessagePointSize(300, 114), 33);
    QCOMPARE(SampleTitleWidget::BannerHeight(1280, 800), 182);
    QCOMPARE(SampleTitleWidget::BannerHeight(800, 100), 50);
}

void TstSampleTitleWidget::ringIsDrawnOnlyWhileShown()
{
    QWidget parent;
    parent.resize(800, 480);
    SampleTitleWidget banner(&parent);
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    QImage img(banner.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    banner.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    // Some green of the comet tails in the ring square, none in the text box.
    auto greenIn = [&](const QRect &r) {
        int count = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.green() > 150 && c.red() < 100 && c.blue() < 100)
                    ++count;
            }
        return count;
    };
    const int h = banner.height();
    QVERIFY(greenIn(QRect(0, 0, h, h)) > 0);
    QCOMPARE(greenIn(QRect(h, 0, banner.width() - h, h)), 0);

    banner.SetState(SampleTitleWidget::Hidden);
    img.fill(Qt::black);
    banner.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    QCOMPARE(greenIn(QRect(0, 0, h, h)), 0);
}

QTEST_MAIN(TstSampleTitleWidget)
#include "tst_sampletitlewidget.moc"
