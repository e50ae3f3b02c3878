// The analysis screen and the spectrum dialog at the controller's 800 x 480
// and at 1024 x 600, over a shot of the unit simulator's model that has just
// been filtered: saved as pictures under the build tree for a human look,
// and checked for what a look would catch (clipped captions, a readout that
// does not fit, a spectrum or cursor that is not drawn).

#include "AnalysisTestUtil.h"
#include "analysis/CDlgAnalysis.h"
#include "analysis/CDlgPingPu.h"
#include "analysis/CPingPu.h"
#include "display/CShowWave.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QPushButton>
#include <QtTest>

using analysis_test::Press;

namespace {

QString OutPath(const QString &name)
{
    return QDir(QStringLiteral(ZEB_LOOK_DIR)).filePath(name);
}

/// Captions of the visible buttons of screen that do not fit inside their frames.
QStringList ClippedCaptions(QWidget *screen)
{
    const int frame = 2 * 2; // the style sheet's 2-pixel border on both sides
    QStringList clipped;
    for (QPushButton *b : screen->findChildren<QPushButton *>()) {
        if (!b->isVisible() || b->text().isEmpty())
            continue;
        b->ensurePolished();
        const QSize need = QFontMetrics(b->font()).size(0, b->text());
        if (need.width() + frame > b->width() || need.height() + frame > b->height())
            clipped << QStringLiteral("%1 (%2x%3 in %4x%5)").arg(b->text()).arg(need.width()).arg(need.height())
                           .arg(b->width()).arg(b->height());
    }
    return clipped;
}

int CountColour(const QImage &img, const QRect &r, QRgb colour)
{
    int n = 0;
    const QRect c = r.intersected(img.rect());
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x)
            n += img.pixel(x, y) == colour ? 1 : 0;
    return n;
}

} // namespace

class TstAnalysisLook : public QObject
{
    Q_OBJECT
private slots:
    void filteredShotAndSpectrum_data();
    void filteredShotAndSpectrum();
};

void TstAnalysisLook::filteredShotAndSpectrum_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("800x480") << QSize(800, 480);
    QTest::newRow("1024x600") << QSize(1024, 600);
}

void TstAnalysisLook::filteredShotAndSpectrum()
{
    QFETCH(QSize, size);
    const QString tag = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    TestProgramDir dir;
    analysis_test::PutShotOnScreen(24, 4096, 250.0f, 11);
    ParamSet &p = CurrentParams();
    p.LowPassLimit = 60;
    p.HighPassLimit = 3;
    p.CurrentChannel = 7;
    p.Colours.Baseline = QColor(0, 160, 0);

    CDlgAnalysis dlg;
    dlg.setFixedSize(size);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY2(ClippedCaptions(&dlg).isEmpty(), qPrintable(ClippedCaptions(&dlg).join(", ")));

    const TraceSet raw = Store().Traces;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("btnColor1")), QStringLiteral("低通\n60Hz"));
        QVERIFY(ClippedCaptions(d.Widget()).isEmpty());
        d.Key(Qt::Key_Return); // the focus starts on OK
    });
    QTest::keyClick(&dlg, Qt::Key_F, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(!analysis_test::SameBits(Store().Traces, raw));

    CShowWave *view = dlg.View();
    const wave::Layout &l = view->CurrentLayout();
    Press(view, QPoint(int(l.Centre(6)) + 3, l.Plot.top() + l.Plot.height() / 3), QEvent::MouseMove);
    const QImage screen = dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(screen.save(OutPath(QStringLiteral("look_analysis_%1.png").arg(tag))));
    // Channel 7 current in red, the readout in blue.
    QVERIFY(CountColour(screen, view->geometry(), qRgb(255, 0, 0)) > 100);
    QVERIFY(CountColour(screen, view->geometry(), qRgb(0, 0, 255)) > 100);

    driver.Expect([&](ModalDialog &d) {
        auto *spectrum = qobject_cast<CDlgPingPu *>(d.Widget());
        QVERIFY(spectrum);
        spectrum->setFixedSize(size);
        QVERIFY(QTest::qWaitForWindowExposed(spectrum));
        QVERIFY2(ClippedCaptions(spectrum).isEmpty(), qPrintable(ClippedCaptions(spectrum).join(", ")));
        CPingPu *plot = spectrum->Plot();
        const SpectrumPlotLayout pl = plot->Plot();
        QVERIFY(pl.Drawable());
        Press(plot, QPoint(pl.BinX(spectrum->Spectrum().MainBin) + 12, pl.Y1 + 40));
        const QImage img = spectrum->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(img.save(OutPath(QStringLiteral("look_spectrum_%1.png").arg(tag))));
        const QRect plotArea = plot->geometry();
        QVERIFY(CountColour(img, plotArea, qRgb(220, 220, 220)) > 500); // the area under the spectrum
        QVERIFY(CountColour(img, plotArea, qRgb(255, 0, 0)) > 20);      // the cursor
        // The readout fits its box.
        const QRect box = pl.ReadoutBox();
        QFont font(QStringLiteral("yaheikr"));
        font.setPixelSize(20);
        QVERIFY2(QFontMetrics(font).horizontalAdvance(plot->ReadoutText()) <= box.width(),
                 qPrintable(plot->ReadoutText()));
        d.Key(Qt::Key_Escape);
    });
    QTest::keyClick(&dlg, Qt::Key_A, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));

    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(analysis_test::SameBits(Store().Traces, raw));
}

QTEST_MAIN(TstAnalysisLook)
#include "tst_analysis_look.moc"
