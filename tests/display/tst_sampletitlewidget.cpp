#include "ReferenceBanner.h"
#include "display/SampleTitleWidget.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

namespace {

/// Stands in for the trace view: a fixed picture of scattered colours, so
/// that every level of blending under the ring and the message is seen.
class Backdrop : public QWidget
{
public:
    explicit Backdrop(const QSize &size)
        : m_picture(size, QImage::Format_RGB32)
    {
        quint32 seed = 2024;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                m_picture.setPixel(x, y, 0xff000000u | (seed >> 8));
            }
        resize(size);
    }
    void Paint(QPainter &p) const { p.drawImage(0, 0, m_picture); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        Paint(p);
    }

private:
    QImage m_picture;
};

/// What the backdrop with the banner over it must look like.
QImage Expected(const Backdrop &backdrop, const SampleTitleWidget &banner, QImage::Format format)
{
    QImage img(backdrop.size(), format);
    QPainter p(&img);
    backdrop.Paint(p);
    p.translate(banner.pos());
    DrawBannerReference(p, banner.size(), true, banner.Clock(), banner.Message(), banner.font());
    return img;
}

/// Position of the first pixel where a and b differ, or (-1, -1).
QPoint FirstDifference(const QImage &a, const QImage &b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QPoint(x, y);
    return QPoint(-1, -1);
}

} // namespace

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
    void drawsWhatTheStraightforwardDrawingDraws_data();
    void drawsWhatTheStraightforwardDrawingDraws();
    void standsStillWhileItsScreenIsHidden();
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

void TstSampleTitleWidget::drawsWhatTheStraightforwardDrawingDraws_data()
{
    QTest::addColumn<QSize>("parentSize");
    QTest::addColumn<int>("state");
    const QList<QSize> sizes{{800, 480}, {1024, 600}, {1280, 800}, {803, 97}, {320, 240}};
    for (const QSize &size : sizes)
        for (int state : {int(SampleTitleWidget::WaitingForTrigger), int(SampleTitleWidget::Acquiring)})
            QTest::addRow("%dx%d state %d", size.width(), size.height(), state) << size << state;
}

void TstSampleTitleWidget::drawsWhatTheStraightforwardDrawingDraws()
{
    QFETCH(QSize, parentSize);
    QFETCH(int, state);
    Backdrop backdrop(parentSize);
    SampleTitleWidget banner(&backdrop);
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    if (state == SampleTitleWidget::Acquiring)
        banner.SetState(SampleTitleWidget::Acquiring);
    const QRegion ringSquare(QRect(banner.pos(), QSize(banner.height(), banner.height())));

    for (QImage::Format format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32, QImage::Format_RGB16}) {
        // Whole paints at a few angles, the second turn coming from the frames of the first.
        for (int steps : {0, 1, 7, 24, 26}) {
            while (banner.Clock() != steps * 40 % 1000)
                banner.DoAnimate();
            QImage shown(parentSize, format);
            backdrop.render(&shown);
            const QImage expected = Expected(backdrop, banner, format);
            QCOMPARE(FirstDifference(shown, expected), QPoint(-1, -1));

            // An animation step repaints only the ring's square, the backdrop beneath it first.
            banner.DoAnimate();
            backdrop.render(&shown, ringSquare.boundingRect().topLeft(), ringSquare);
            QCOMPARE(FirstDifference(shown, Expected(backdrop, banner, format)), QPoint(-1, -1));
        }
    }

    // And on screen, where the window's backing store takes the repaints.
    backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
    for (int step = 0; step < 3; ++step) {
        banner.DoAnimate();
        banner.repaint(ringSquare.translated(-banner.pos()));
        const QImage onScreen = backdrop.screen()->grabWindow(backdrop.winId()).toImage();
        QCOMPARE(onScreen.size(), parentSize);
        QCOMPARE(FirstDifference(onScreen, Expected(backdrop, banner, onScreen.format())), QPoint(-1, -1));
    }
}

void TstSampleTitleWidget::standsStillWhileItsScreenIsHidden()
{
    QWidget parent;
    parent.resize(800, 480);
    SampleTitleWidget banner(&parent);
    parent.show();
    banner.SetState(SampleTitleWidget::WaitingForTrigger);
    QTRY_VERIFY(banner.Clock() > 0);
    parent.hide();
    const int clock = banner.Clock();
    QTest::qWait(200);
    QCOMPARE(banner.Clock(), clock);
    QVERIFY(banner.Animating());
    parent.show();
    QTRY_VERIFY(banner.Clock() != clock);
    // State 2 after a hidden spell keeps turning; state 0 ends it for good.
    banner.SetState(SampleTitleWidget::Acquiring);
    QTRY_VERIFY(banner.Clock() > 0);
    banner.SetState(SampleTitleWidget::Hidden);
    parent.hide();
    parent.show();
    QTest::qWait(200);
    QCOMPARE(banner.Clock(), 0);
    QVERIFY(!banner.isVisible());
}

QTEST_MAIN(TstSampleTitleWidget)
#include "tst_sampletitlewidget.moc"
