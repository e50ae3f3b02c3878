// The analysis screen as the operator drives it: zoom and scroll limits, the
// cursor keys, the filter dialog and its keypads, the spectrum and dispersion
// screens it opens, and the record handed back unchanged however it is left.

#include "AnalysisTestUtil.h"
#include "analysis/CDlgAnalysis.h"
#include "analysis/CDlgPingPu.h"
#include "analysis/CDlgSetFilt.h"
#include "analysis/DigitalFilter.h"
#include "dialogs/TaskScreens.h"
#include "display/CShowWave.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QPushButton>
#include <QtTest>
#include <algorithm>
#include <limits>
#include <memory>

using analysis_test::SameBits;

namespace {

const QString kMaxGain = QStringLiteral("<font color=red><b>已达到最大范围！</b></font>");
const QString kMinGain = QStringLiteral("<font color=red><b>已达到最小范围！</b></font>");
const QString kRangeRefusal = QStringLiteral("输入范围有误,请输入0到10000之间的值(包含0和10000)!");

constexpr int kChannels = 12;
constexpr int kSamples = 1024;
constexpr float kInterval = 500.0f;

QPushButton *Button(QWidget &screen, const char *name)
{
    return screen.findChild<QPushButton *>(QString::fromLatin1(name));
}

/// Alt+letter on the screen, answering the one message box it shows with message.
void AltExpectingMessage(CDlgAnalysis &dlg, Qt::Key letter, const QString &message)
{
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("labelMsg")), message);
        d.Key(Qt::Key_Return);
    });
    QTest::keyClick(&dlg, letter, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
}

/// Runs the digital filter with the limits the parameter set holds.
void Filter(CDlgAnalysis &dlg)
{
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QVERIFY(qobject_cast<CDlgSetFilt *>(d.Widget()));
        d.Key(Qt::Key_Return); // the focus starts on OK
    });
    QTest::keyClick(&dlg, Qt::Key_F, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
}

} // namespace

class TstCDlgAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gainStaysWithinItsBounds();
    void balancingResetsTheGain();
    void timeZoomAndScrolling();
    void shiftAndFocus();
    void cursorKeysNeedACurrentChannel();
    void timeLabelsClearOfArrowsAndTraces_data();
    void timeLabelsClearOfArrowsAndTraces();

    void filterWithDefaultsLeavesTracesBitIdentical();
    void filterTwiceFiltersTwice();
    void limitAtOrAboveNyquistIsLeftOutAloud_data();
    void limitAtOrAboveNyquistIsLeftOutAloud();
    void notANumberDoesNotHang();
    void recordComesBackHoweverTheScreenIsLeft_data();
    void recordComesBackHoweverTheScreenIsLeft();
    void filterDialogKeypads();

    void spectrumGetsTheTracesOnScreen();
    void dispersionScreen();
    void openedThroughItsSeam();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    TraceSet m_raw;
};

void TstCDlgAnalysis::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    analysis_test::PutSinesOnScreen(kChannels, kSamples, kInterval);
    m_raw = Store().Traces;
}

void TstCDlgAnalysis::cleanup()
{
    m_dir.reset();
}

// -------------------------------------------------------------- the view

void TstCDlgAnalysis::gainStaysWithinItsBounds()
{
    CDlgAnalysis dlg;
    CShowWave *view = dlg.View();
    QCOMPARE(view->Mode(), int(CShowWave::AnalysisMode));
    QCOMPARE(view->GainExponent(), 0);
    AltExpectingMessage(dlg, Qt::Key_S, kMinGain);
    QCOMPARE(view->GainExponent(), 0);
    for (int i = 1; i <= CDlgAnalysis::kMaxGainExponent; ++i) {
        QTest::keyClick(&dlg, Qt::Key_E, Qt::AltModifier);
        QCOMPARE(view->GainExponent(), i);
    }
    AltExpectingMessage(dlg, Qt::Key_E, kMaxGain);
    QCOMPARE(view->GainExponent(), CDlgAnalysis::kMaxGainExponent);
    QTest::keyClick(&dlg, Qt::Key_S, Qt::AltModifier);
    QCOMPARE(view->GainExponent(), CDlgAnalysis::kMaxGainExponent - 1);
}

void TstCDlgAnalysis::balancingResetsTheGain()
{
    CDlgAnalysis dlg;
    CShowWave *view = dlg.View();
    QTest::keyClick(&dlg, Qt::Key_E, Qt::AltModifier);
    QTest::keyClick(&dlg, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(view->GainExponent(), 2);
    QTest::keyClick(&dlg, Qt::Key_B, Qt::AltModifier);
    QCOMPARE(view->CommonScale(), 1);
    QCOMPARE(view->GainExponent(), 0);
    QTest::keyClick(&dlg, Qt::Key_B, Qt::AltModifier);
    QCOMPARE(view->CommonScale(), 0);
}

void TstCDlgAnalysis::timeZoomAndScrolling()
{
    CDlgAnalysis dlg;
    CShowWave *view = dlg.View();
    QCOMPARE(view->WindowStart(), 0);
    QCOMPARE(view->WindowLength(), kSamples);
    // Longer than the record: the arrows do nothing.
    QTest::keyClick(&dlg, Qt::Key_T, Qt::AltModifier);
    QCOMPARE(view->WindowLength(), kSamples + 50);
    Button(dlg, "btnUp")->click();
    QCOMPARE(view->WindowStart(), 0);
    for (int i = 0; i < 11; ++i)
        QTest::keyClick(&dlg, Qt::Key_D, Qt::AltModifier);
    QCOMPARE(view->WindowLength(), 524);
    // Later times a tenth of the window at a time, up to the record's end.
    QList<int> starts;
    for (int i = 0; i < 11; ++i) {
        Button(dlg, "btnUp")->click();
        starts << view->WindowStart();
    }
    QCOMPARE(starts, (QList<int>{52, 104, 156, 208, 260, 312, 364, 416, 468, 500, 500}));
    for (int i = 0; i < 10; ++i)
        Button(dlg, "btnDown")->click();
    QCOMPARE(view->WindowStart(), 0);
    // The window never gets shorter than 50 samples.
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(&dlg, Qt::Key_D, Qt::AltModifier);
    QCOMPARE(view->WindowLength(), CDlgAnalysis::kWindowStep);
}

void TstCDlgAnalysis::shiftAndFocus()
{
    CDlgAnalysis dlg;
    // The focus opens on the first button; Left wraps to the exit, past the
    // hidden dispersion button.
    QCOMPARE(dlg.focusWidget(), Button(dlg, "btnCHAVG"));
    QTest::keyClick(&dlg, Qt::Key_Left);
    QCOMPARE(dlg.focusWidget(), Button(dlg, "btnExit"));
    QTest::keyClick(&dlg, Qt::Key_Left);
    QCOMPARE(dlg.focusWidget(), Button(dlg, "btnPingPu"));

    CShowWave *view = dlg.View();
    QTest::keyClick(&dlg, Qt::Key_L, Qt::AltModifier);
    QCOMPARE(view->Shift(), 1);
    QTest::keyClick(&dlg, Qt::Key_R, Qt::AltModifier);
    QTest::keyClick(&dlg, Qt::Key_R, Qt::AltModifier);
    QCOMPARE(view->Shift(), -1);
    QCOMPARE(dlg.focusWidget(), Button(dlg, "btnMoveRight"));
}

void TstCDlgAnalysis::cursorKeysNeedACurrentChannel()
{
    CDlgAnalysis dlg;
    CShowWave *view = dlg.View();
    view->SetCursorSample(100);
    CurrentParams().CurrentChannel = 0;
    QTest::keyClick(&dlg, Qt::Key_Up);
    QTest::keyClick(&dlg, Qt::Key_Down);
    QCOMPARE(view->CursorSample(), 100);
    CurrentParams().CurrentChannel = 3;
    QTest::keyClick(&dlg, Qt::Key_Down);
    QCOMPARE(view->CursorSample(), 101);
    QTest::keyClick(&dlg, Qt::Key_Up);
    QTest::keyClick(&dlg, Qt::Key_Up);
    QCOMPARE(view->CursorSample(), 99);
    // The keys move the cursor, not the focus.
    QCOMPARE(dlg.focusWidget(), Button(dlg, "btnCHAVG"));
}

// ---------------------------------------------------------- digital filter

void TstCDlgAnalysis::timeLabelsClearOfArrowsAndTraces_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("800x480") << QSize(800, 480);
    QTest::newRow("1024x600") << QSize(1024, 600);
}

// The scroll arrows and the time labels both stay readable, also with the
// traces at the highest gain.
void TstCDlgAnalysis::timeLabelsClearOfArrowsAndTraces()
{
    QFETCH(QSize, size);
    CDlgAnalysis dlg;
    dlg.setFixedSize(size);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (int i = 0; i < CDlgAnalysis::kMaxGainExponent; ++i)
        QTest::keyClick(&dlg, Qt::Key_E, Qt::AltModifier);
    CShowWave *view = dlg.View();
    const wave::Layout &l = view->CurrentLayout();
    QCOMPARE(l.Widget.size(), view->size());

    const QVector<wave::Tick> ticks =
        wave::TimeTicks(l, kInterval, view->WindowStart(), view->WindowLength(), kSamples);
    QVERIFY(ticks.size() >= 3);
    const QList<QRect> arrows{Button(dlg, "btnUp")->geometry(), Button(dlg, "btnDown")->geometry()};
    for (const wave::Tick &t : ticks)
        for (const QRect &arrow : arrows)
            QVERIFY2(!t.Box.intersects(arrow), qPrintable(t.Label));

    // Between and beside the labels their column shows nothing but background.
    const QImage img = view->grab().toImage();
    const QRgb background = CurrentParams().Colours.Background.rgb();
    const QRect column(QPoint(ticks.first().Box.left(), l.Plot.top()), QPoint(l.Axis.right() - 2, l.Plot.bottom() - 1));
    int drawnOver = 0;
    for (int y = column.top(); y <= column.bottom(); ++y)
        for (int x = column.left(); x <= column.right(); ++x) {
            const QPoint at(x, y);
            const bool label = std::any_of(ticks.begin(), ticks.end(), [&](const wave::Tick &t) { return t.Box.contains(at); });
            const bool arrow = arrows[0].contains(at) || arrows[1].contains(at);
            drawnOver += !label && !arrow && img.pixel(at) != background ? 1 : 0;
        }
    QCOMPARE(drawnOver, 0);
}

void TstCDlgAnalysis::filterWithDefaultsLeavesTracesBitIdentical()
{
    Store().Traces[2][7] = std::numeric_limits<float>::quiet_NaN();
    Store().Traces[3][0] = -0.0f;
    m_raw = Store().Traces;
    CDlgAnalysis dlg;
    Filter(dlg);
    QVERIFY(SameBits(Store().Traces, m_raw));
}

void TstCDlgAnalysis::filterTwiceFiltersTwice()
{
    CurrentParams().LowPassLimit = 40;
    CurrentParams().HighPassLimit = 12;
    TraceSet expected = m_raw;
    FilterTraces(expected.data(), kChannels, CurrentFilterSettings());
    FilterTraces(expected.data(), kChannels, CurrentFilterSettings());
    CDlgAnalysis dlg;
    Filter(dlg);
    Filter(dlg);
    QVERIFY(SameBits(Store().Traces, expected));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(SameBits(Store().Traces, m_raw));
}

void TstCDlgAnalysis::limitAtOrAboveNyquistIsLeftOutAloud_data()
{
    QTest::addColumn<float>("interval");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("keptLow");  // what filters the record: the limits below Nyquist
    QTest::addColumn<int>("keptHigh");
    QTest::newRow("1000 us, high-pass 500") << 1000.0f << 10000 << 500 << 10000 << 0;
    QTest::newRow("500 us, high-pass 1000") << 500.0f << 10000 << 1000 << 10000 << 0;
    QTest::newRow("500 us, high-pass 999") << 500.0f << 10000 << 999 << 10000 << 999;
    QTest::newRow("125 us, low-pass 4000") << 125.0f << 4000 << 0 << 10000 << 0;
    QTest::newRow("250 us, low-pass 3000 left out, high-pass 10 kept") << 250.0f << 3000 << 10 << 10000 << 10;
    QTest::newRow("2000 us, low-pass 249") << 2000.0f << 249 << 0 << 249 << 0;
}

void TstCDlgAnalysis::limitAtOrAboveNyquistIsLeftOutAloud()
{
    QFETCH(float, interval);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, keptLow);
    QFETCH(int, keptHigh);
    analysis_test::PutSinesOnScreen(kChannels, kSamples, interval);
    m_raw = Store().Traces;
    TraceSet expected = m_raw;
    FilterSettings kept;
    kept.IntervalUs = interval;
    kept.SampleCount = kSamples;
    kept.LowPassHz = keptLow;
    kept.HighPassHz = keptHigh;
    FilterTraces(expected.data(), kChannels, kept);
    CurrentParams().LowPassLimit = low;
    CurrentParams().HighPassLimit = high;

    CDlgAnalysis dlg;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return); }); // the filter dialog's OK
    const bool leftOut = keptLow != low || keptHigh != high;
    if (leftOut)
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("labelMsg")), QStringLiteral("滤波频率超过采样频率的一半，滤波无效！"));
            d.Key(Qt::Key_Return);
        });
    QTest::keyClick(&dlg, Qt::Key_F, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(driver.Answered(), leftOut ? 2 : 1);
    QVERIFY(SameBits(Store().Traces, expected));
    QVERIFY(!SameBits(Store().Traces[0], QVector<float>(kSamples, 0.0f))); // never flattened
}

void TstCDlgAnalysis::notANumberDoesNotHang()
{
    Store().Traces[0][10] = std::numeric_limits<float>::quiet_NaN();
    Store().Traces[1][10] = std::numeric_limits<float>::infinity();
    m_raw = Store().Traces;
    CurrentParams().LowPassLimit = 30;
    CurrentParams().HighPassLimit = 3;
    CDlgAnalysis dlg;
    dlg.show();
    Filter(dlg); // the view is rebuilt over the NaN run the filter leaves behind
    QVERIFY(std::isnan(Store().Traces[0][kSamples - 1]));
    QVERIFY(dlg.View()->HasBackBuffer());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(SameBits(Store().Traces, m_raw));
}

void TstCDlgAnalysis::recordComesBackHoweverTheScreenIsLeft_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("exit button") << "exit";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("closed from outside") << "close";
    QTest::newRow("rejected by its caller") << "reject";
    QTest::newRow("parent deleted") << "parent";
}

void TstCDlgAnalysis::recordComesBackHoweverTheScreenIsLeft()
{
    QFETCH(QString, way);
    Store().Traces[4].resize(700);
    Store().Traces[5].clear();
    m_raw = Store().Traces;
    CurrentParams().LowPassLimit = 25;
    CurrentParams().HighPassLimit = 8;
    auto parent = std::make_unique<QWidget>();
    QPointer<CDlgAnalysis> dlg = new CDlgAnalysis(parent.get());
    dlg->show();
    Filter(*dlg);
    QVERIFY(!SameBits(Store().Traces, m_raw));
    // A failed fetch leaves traces short or empty: filtered as they are, never resized.
    QCOMPARE(Store().Traces[4].size(), 700);
    QVERIFY(!SameBits(Store().Traces[4], m_raw[4]));
    QVERIFY(Store().Traces[5].isEmpty());
    if (way == QLatin1String("exit"))
        Button(*dlg, "btnExit")->click();
    else if (way == QLatin1String("esc"))
        QTest::keyClick(dlg.data(), Qt::Key_Escape);
    else if (way == QLatin1String("close"))
        dlg->close();
    else if (way == QLatin1String("reject"))
        dlg->reject();
    else
        parent.reset();
    QVERIFY(SameBits(Store().Traces, m_raw));
    if (dlg) {
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        // A second restore does nothing, even over traces changed since.
        Store().Traces[0].clear();
        dlg->RestoreRecord();
        QVERIFY(Store().Traces[0].isEmpty());
    }
}

void TstCDlgAnalysis::filterDialogKeypads()
{
    ModalDriver driver;
    QStringList titles;
    driver.Expect([&](ModalDialog &d) {
        d.Key(Qt::Key_Escape); // no way out but OK
        QVERIFY(d.IsOpen());
        d.Key(Qt::Key_Left);   // from OK to the high-pass button
        d.Key(Qt::Key_Return);
        QCOMPARE(d.Text(QStringLiteral("btnColor2")), QStringLiteral("高通\n10000Hz"));
        QVERIFY(d.Click(QStringLiteral("btnColor1")));
        QCOMPARE(d.Text(QStringLiteral("btnColor1")), QStringLiteral("低通\n120Hz"));
        d.Key(Qt::Key_Up);     // wraps from the first item to OK
        d.Key(Qt::Key_Return);
    });
    driver.Expect([&](ModalDialog &d) {
        titles << d.Text(QStringLiteral("lbTitle"));
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("0"));
        d.Retype(QStringLiteral("10001"));
        d.Key(Qt::Key_Return, Qt::AltModifier);
        // Refused, and still open; 10000 is the top of the range.
        QVERIFY(d.IsOpen());
        for (int i = 0; i < 5; ++i)
            d.Key(Qt::Key_Backspace);
        d.Type(QStringLiteral("10000"));
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    driver.Expect([&](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("labelMsg")), kRangeRefusal);
        d.Key(Qt::Key_Return);
    });
    driver.Expect([&](ModalDialog &d) {
        titles << d.Text(QStringLiteral("lbTitle"));
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("10000"));
        d.Retype(QStringLiteral("120"));
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    CDlgSetFilt filter;
    QCOMPARE(filter.windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(filter.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(titles, (QStringList{QStringLiteral("高通(Hz):"), QStringLiteral("低通(Hz):")}));
    QCOMPARE(CurrentParams().HighPassLimit, 10000);
    QCOMPARE(CurrentParams().LowPassLimit, 120);
    QVERIFY(!filter.findChild<QPushButton *>(QStringLiteral("btnColor1"))->isDown());
}

// ------------------------------------------------------- screens it opens

void TstCDlgAnalysis::spectrumGetsTheTracesOnScreen()
{
    CurrentParams().LowPassLimit = 30;
    CDlgAnalysis dlg;
    Filter(dlg);
    const TraceSet filtered = Store().Traces;
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QVERIFY(qobject_cast<CDlgPingPu *>(d.Widget()));
        for (int c = 0; c < kMaxChannels; ++c)
            QVERIFY(SameBits(Store().PreviousTraces[c], c < kChannels ? filtered[c] : QVector<float>()));
        d.Key(Qt::Key_Escape);
    });
    QTest::keyClick(&dlg, Qt::Key_A, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(SameBits(Store().Traces, filtered));
}

void TstCDlgAnalysis::dispersionScreen()
{
    int calls = 0;
    {
        CDlgAnalysis without;
        QVERIFY(Button(without, "btnDispersion")->isHidden());
        QTest::keyClick(&without, Qt::Key_X, Qt::AltModifier);
    }
    QWidget *parentSeen = nullptr;
    QWidget *grabberDuring = nullptr;
    Screens().Dispersion = [&](QWidget *parent) {
        ++calls;
        parentSeen = parent;
        grabberDuring = QWidget::keyboardGrabber();
        Store().Traces[0].clear(); // whatever the screen does with the traces
    };
    CDlgAnalysis dlg;
    dlg.show();
    QPushButton *button = Button(dlg, "btnDispersion");
    QVERIFY(!button->isHidden());
    QCOMPARE(button->text(), QStringLiteral("频散(X)"));
    QCOMPARE(calls, 0);
    const QWidget *grabberBefore = QWidget::keyboardGrabber();
    QTest::keyClick(&dlg, Qt::Key_X, Qt::AltModifier);
    QCOMPARE(calls, 1);
    QCOMPARE(parentSeen, &dlg);
    QVERIFY(grabberDuring != &dlg);
    QCOMPARE(QWidget::keyboardGrabber(), grabberBefore);
    QVERIFY(SameBits(Store().Traces, m_raw));
}

void TstCDlgAnalysis::openedThroughItsSeam()
{
    InstallTaskScreens();
    QVERIFY(bool(Screens().Analysis));
    CurrentParams().LowPassLimit = 30;
    QWidget acquisition;
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QVERIFY(qobject_cast<CDlgAnalysis *>(d.Widget()));
        QCOMPARE(d.Widget()->parentWidget(), &acquisition);
        QTest::keyClick(d.Widget(), Qt::Key_F, Qt::AltModifier);
        QVERIFY(!SameBits(Store().Traces, m_raw));
        d.Key(Qt::Key_Escape);
    });
    driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return); });
    Screens().Analysis(&acquisition);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(SameBits(Store().Traces, m_raw));
}

QTEST_MAIN(TstCDlgAnalysis)
#include "tst_cdlganalysis.moc"
