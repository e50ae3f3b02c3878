// A shot from the unit simulator, fetched over loopback and drawn at the
// controller's 800 × 480: saved as pictures under the build tree for a human
// look, and checked for the things a look would catch.

#include "UnitSimulator.h"
#include "display/CShowWave.h"
#include "display/SampleTitleWidget.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "support/SimulatorShot.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QtTest>

namespace {

int Count(const QImage &img, const QRect &r, const std::function<bool(QColor)> &match)
{
    int n = 0;
    const QRect c = r.intersected(img.rect());
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x)
            n += match(img.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool IsRed(QColor c) { return c.red() == 255 && c.green() == 0 && c.blue() == 0; }
bool IsBlue(QColor c) { return c.red() == 0 && c.green() == 0 && c.blue() == 255; }
bool IsGreenish(QColor c) { return c.green() > 150 && c.red() < 120 && c.blue() < 120; }

void Send(CShowWave &view, QEvent::Type type, QPoint at)
{
    QMouseEvent e(type, QPointF(at), view.mapToGlobal(QPointF(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
}

QString OutPath(const QString &name)
{
    return QDir(QStringLiteral(ZEB_LOOK_DIR)).filePath(name);
}

} // namespace

class TstWaveViewLook : public QObject
{
    Q_OBJECT
private slots:
    void shotFromTheSimulator();
};

void TstWaveViewLook::shotFromTheSimulator()
{
    TestProgramDir dir;
    UnitSimulator sim;
    sim.SetSeed(11);
    sim.SetTimeScale(0);
    sim.SetTriggerWaitMs(0);
    QVERIFY(sim.Start(0));
    QVERIFY(TakeSimulatorShot(sim, 24, 4096, 250.0f)); // 1024 ms
    ParamSet &p = CurrentParams();
    for (int c = 0; c < 24; ++c)
        QCOMPARE(Store().Traces[c].size(), 4096);

    TraceStore &st = Store();
    st.AcqState = AcqSampled;
    st.StackingOn = true;
    st.ChannelLocks[2] = true;  // channels 3 and 10 locked: red numbers
    st.ChannelLocks[9] = true;
    p.MeteringOn = true;
    p.CurrentChannel = 7;
    p.Colours.Background = QColor(255, 255, 255);
    p.Colours.Baseline = QColor(0, 160, 0);
    p.Colours.Fill = QColor(0, 0, 0);

    CShowWave view;
    view.resize(800, 480);
    view.show();
    view.SetRedraw(true);
    QImage img = view.grab().toImage();
    view.SetRedraw(false);
    const wave::Layout &l = view.CurrentLayout();

    // Metering range on channel 7: press its right half low, its left half high.
    const int left7 = static_cast<int>(l.Left(6)) + 2;
    const int right7 = static_cast<int>(l.Right(6)) - 2;
    Send(view, QEvent::MouseButtonPress, QPoint(right7, 300));
    Send(view, QEvent::MouseButtonPress, QPoint(left7, 120));
    Send(view, QEvent::MouseMove, QPoint(static_cast<int>(l.Centre(6)) + 4, 200));
    img = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(img.save(OutPath(QStringLiteral("look_view_800x480.png"))));

    QCOMPARE(p.CurrentChannel, 7);
    // The current channel in red, only in its column.
    const QRect col7(static_cast<int>(l.Left(6)), l.Plot.top(), static_cast<int>(l.ColumnWidth), l.Plot.height());
    QVERIFY(Count(img, col7, IsRed) > 100);
    QCOMPARE(Count(img, QRect(static_cast<int>(l.Left(12)), l.Plot.top(), 200, l.Plot.height()), IsRed), 0);
    // Locked channels' numbers in red.
    auto labelBox = [&](int i) {
        return QRect(static_cast<int>(l.Centre(i)) - 10, l.Labels.top(), static_cast<int>(l.ColumnWidth), l.Labels.height());
    };
    QVERIFY(Count(img, labelBox(2), IsRed) > 0);
    QVERIFY(Count(img, labelBox(9), IsRed) > 0);
    QCOMPARE(Count(img, labelBox(4), IsRed), 0);
    // Readout and range marks in blue.
    QVERIFY(Count(img, img.rect(), IsBlue) > 200);
    // Ticks every 200 ms.
    for (const auto &t : wave::TimeTicks(l, 250.0f, 0, 4096, 4096))
        QCOMPARE(img.pixelColor(5, t.Y), QColor(128, 128, 128));

    // The banner over the picture while a shot is taken (no rebuild while sampling).
    st.AcqState = AcqSampling;
    view.ShowTitle(1);
    for (int i = 0; i < 5; ++i)
        view.Banner()->DoAnimate();
    img = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(img.save(OutPath(QStringLiteral("look_banner_waiting.png"))));
    const QRect ring(view.Banner()->geometry().topLeft(), QSize(view.Banner()->height(), view.Banner()->height()));
    QVERIFY(Count(img, ring, IsGreenish) > 0);
    view.ShowTitle(2);
    img = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(img.save(OutPath(QStringLiteral("look_banner_acquiring.png"))));
    QCOMPARE(view.Banner()->Message(), QStringLiteral("数据采集中.."));
    view.ShowTitle(0);
    st.AcqState = AcqSampled;
}

QTEST_MAIN(TstWaveViewLook)
#include "tst_waveview_look.moc"
