// The spectrum dialog as the operator drives it: channel, range and
// refinement from keypads, keys and presses, and what the two plots show.

#include "AnalysisTestUtil.h"
#include "analysis/CDlgAnalysis.h"
#include "analysis/CDlgPingPu.h"
#include "analysis/CPingPu.h"
#include "analysis/CSinWave.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QPushButton>
#include <QtTest>
#include <limits>
#include <memory>

using analysis_test::Press;

namespace {

constexpr int kChannels = 12;
constexpr int kSamples = 1024;
constexpr float kInterval = 500.0f;

QString Caption(CDlgPingPu &dlg, const char *name)
{
    return dlg.findChild<QPushButton *>(QString::fromLatin1(name))->text();
}

/// Answers one number keypad: checks its title and start text, types text and confirms.
ModalDriver::Handler Keypad(const QString &title, const QString &start, const QString &text)
{
    return [=](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("lbTitle")), title);
        QCOMPARE(d.Text(QStringLiteral("editValue")), start);
        d.Retype(text);
        d.Key(Qt::Key_Return, Qt::AltModifier);
    };
}

/// Pixels of the grey area under the spectrum, above its axis.
int AreaPixels(CPingPu *plot)
{
    const QImage img = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const SpectrumPlotLayout l = plot->Plot();
    int n = 0;
    for (int y = l.Y1; y < l.Baseline; ++y)
        for (int x = l.X0 + 1; x <= l.X2; ++x)
            n += img.pixel(x, y) == qRgb(220, 220, 220) ? 1 : 0;
    return n;
}

} // namespace

class TstCDlgPingPu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensOnChannelOneOverTheWholeRecord();
    void channelFromTheKeypad();
    void rangeFromTheKeypads();
    void typedTimesTakeTheirOwnSample_data();
    void typedTimesTakeTheirOwnSample();
    void refinementCyclesAndResetsTheCursor();
    void pressesOnTheTraceMoveTheRange();
    void pressNearAnEndLeavesTheOtherKeypadARange_data();
    void pressNearAnEndLeavesTheOtherKeypadARange();
    void startKeypadEditsTheTimeFromItsEnd();
    void cursorPressIsHeldToTheLastBin();
    void emptyRangeDrawsNoSpectrum();
    void tinyPlotDrawsNothing();
    void keys();
    void damagedRecordsOpenAndDraw_data();
    void damagedRecordsOpenAndDraw();

private:
    std::unique_ptr<TestProgramDir> m_dir;
};

void TstCDlgPingPu::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    analysis_test::PutSinesOnScreen(kChannels, kSamples, kInterval); // channel c: 10 + 5c Hz
    Store().PreviousTraces = Store().Traces;
}

void TstCDlgPingPu::cleanup()
{
    m_dir.reset();
}

void TstCDlgPingPu::opensOnChannelOneOverTheWholeRecord()
{
    CDlgPingPu dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("频谱分析"));
    QCOMPARE(Caption(dlg, "btnCHAVG"), QStringLiteral("通道选择(B)\n1"));
    QCOMPARE(Caption(dlg, "btnHead"), QStringLiteral("数据起点(H)\n0.00ms"));
    QCOMPARE(Caption(dlg, "btnTail"), QStringLiteral("数据终点(F)\n512.00ms"));
    QCOMPARE(Caption(dlg, "btnXiHua"), QStringLiteral("频谱细化(X)\n1"));
    for (const char *hidden : {"btnBig", "btnSmall", "btnHAdd", "btnHMinus"})
        QVERIFY(dlg.findChild<QPushButton *>(QString::fromLatin1(hidden))->isHidden());
    QCOMPARE(dlg.Length(), 2048);
    QCOMPARE(dlg.Wave()->RangeStart(), 0);
    QCOMPARE(dlg.Wave()->RangeEnd(), kSamples);
    QVERIFY(std::abs(dlg.Spectrum().MainHz() - 10.0) < 0.5);

    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(AreaPixels(dlg.Plot()) > 100);
    QVERIFY(dlg.Plot()->ReadoutText().startsWith(QStringLiteral("主频：")));
    QCOMPARE(dlg.Plot()->MainFrequency(), dlg.Spectrum().MainHz());
}

void TstCDlgPingPu::channelFromTheKeypad()
{
    CDlgPingPu dlg;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        d.Retype(QStringLiteral("13"));
        d.Key(Qt::Key_Return, Qt::AltModifier);
        QVERIFY(d.IsOpen());
        d.Key(Qt::Key_Backspace);
        d.Key(Qt::Key_Backspace);
        d.Type(QStringLiteral("3"));
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("labelMsg")), QStringLiteral("输入范围有误,请输入1到12之间的值(包含1和12)!"));
        d.Key(Qt::Key_Return);
    });
    QTest::keyClick(&dlg, Qt::Key_B, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(dlg.Channel(), 2);
    QCOMPARE(dlg.Wave()->Channel(), 2);
    QCOMPARE(Caption(dlg, "btnCHAVG"), QStringLiteral("通道选择(B)\n3"));
    QVERIFY(std::abs(dlg.Spectrum().MainHz() - 20.0) < 0.5);
}

void TstCDlgPingPu::rangeFromTheKeypads()
{
    CDlgPingPu dlg;
    const std::vector<float> whole = dlg.Spectrum().Values;
    ModalDriver driver;
    driver.Expect(Keypad(QStringLiteral("数据起点(ms):"), QStringLiteral("0.00"), QStringLiteral("100")));
    QTest::keyClick(&dlg, Qt::Key_H, Qt::AltModifier);
    driver.Expect(Keypad(QStringLiteral("数据终点(ms):"), QStringLiteral("512.00"), QStringLiteral("300.25")));
    QTest::keyClick(&dlg, Qt::Key_F, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(dlg.StartTime(), 100.0f);
    QCOMPARE(dlg.EndTime(), 300.25f);
    QCOMPARE(dlg.Wave()->RangeStart(), 200);
    QCOMPARE(dlg.Wave()->RangeEnd(), 600);
    QCOMPARE(Caption(dlg, "btnHead"), QStringLiteral("数据起点(H)\n100.00ms"));
    QCOMPARE(Caption(dlg, "btnTail"), QStringLiteral("数据终点(F)\n300.25ms"));
    QVERIFY(dlg.Spectrum().Values != whole);
    QVERIFY(std::abs(dlg.Spectrum().MainHz() - 10.0) < 1.0);
}

void TstCDlgPingPu::typedTimesTakeTheirOwnSample_data()
{
    QTest::addColumn<float>("interval");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("startSample");
    QTest::addColumn<int>("endSample");
    // In binary these times lie just below their sample: they must not fall to the one before.
    QTest::newRow("10us first samples") << 10.0f << "0.01" << "2.01" << 1 << 201;
    QTest::newRow("10us later") << 10.0f << "4.06" << "8.19" << 406 << 819;
    QTest::newRow("15.625us between samples") << 15.625f << "0.03" << "15.99" << 1 << 1023;
}

void TstCDlgPingPu::typedTimesTakeTheirOwnSample()
{
    QFETCH(float, interval);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(int, startSample);
    QFETCH(int, endSample);
    analysis_test::PutSinesOnScreen(kChannels, kSamples, interval);
    Store().PreviousTraces = Store().Traces;
    CDlgPingPu dlg;
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        d.Retype(start);
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    QTest::keyClick(&dlg, Qt::Key_H, Qt::AltModifier);
    driver.Expect([&](ModalDialog &d) {
        d.Retype(end);
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    QTest::keyClick(&dlg, Qt::Key_F, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Caption(dlg, "btnHead"), QStringLiteral("数据起点(H)\n%1ms").arg(start));
    QCOMPARE(dlg.Wave()->RangeStart(), startSample);
    QCOMPARE(dlg.Wave()->RangeEnd(), endSample);
}

void TstCDlgPingPu::refinementCyclesAndResetsTheCursor()
{
    CDlgPingPu dlg;
    QList<int> factors;
    for (int i = 0; i < 5; ++i) {
        dlg.Plot()->SetCursorBin(50);
        QTest::keyClick(&dlg, Qt::Key_X, Qt::AltModifier);
        factors << dlg.Refinement();
        QCOMPARE(dlg.Plot()->CursorBin(), 0);
        QCOMPARE(dlg.Spectrum().RangeHz, 1000.0 / dlg.Refinement());
        QCOMPARE(Caption(dlg, "btnXiHua"), QStringLiteral("频谱细化(X)\n%1").arg(dlg.Refinement()));
    }
    QCOMPARE(factors, (QList<int>{2, 4, 8, 16, 1}));
}

void TstCDlgPingPu::pressesOnTheTraceMoveTheRange()
{
    CDlgPingPu dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CSinWave *wave = dlg.Wave();
    const SinWavePlot plot = wave->Plot();
    const int left = plot.Layout.Plot.left() + 5;
    const int right = plot.Layout.Plot.right() - 5;
    auto rowOf = [&](int sample) { return plot.MarkY(sample) + 1; };

    // Right half, above the blue mark at 0: nothing; lower: the red mark moves up.
    Press(wave, QPoint(right, plot.Layout.Plot.top()));
    QCOMPARE(wave->RangeEnd(), kSamples);
    Press(wave, QPoint(right, rowOf(600)));
    const int end = wave->RangeEnd();
    QVERIFY(end > 590 && end < 610);
    QCOMPARE(Caption(dlg, "btnTail"), QStringLiteral("数据终点(F)\n%1ms").arg(end * 0.5, 0, 'f', 2));
    // Left half at or below the red mark: nothing; above it: the blue mark moves.
    Press(wave, QPoint(left, rowOf(end) + 3));
    QCOMPARE(wave->RangeStart(), 0);
    const std::vector<float> before = dlg.Spectrum().Values;
    Press(wave, QPoint(left, rowOf(300)));
    const int start = wave->RangeStart();
    QVERIFY(start > 290 && start < 310);
    QCOMPARE(dlg.StartTime(), float(start * 0.5));
    QVERIFY(dlg.Spectrum().Values != before); // recomputed
    // Presses outside the plot do nothing.
    Press(wave, QPoint(plot.Layout.Plot.right() + 20, rowOf(100)));
    QCOMPARE(wave->RangeStart(), start);
}

void TstCDlgPingPu::pressNearAnEndLeavesTheOtherKeypadARange_data()
{
    QTest::addColumn<bool>("startMark");
    QTest::addColumn<int>("pressed");  // the sample pressed
    QTest::addColumn<int>("kept");     // where the mark ends up
    QTest::addColumn<char>("keypad");  // the other mark's keypad
    QTest::addColumn<QString>("offered");
    // 64 samples of 125 us: 8 ms, so 1 ms is 8 samples.
    QTest::newRow("start at the last sample") << true << 63 << 56 << 'F' << "8.00";
    QTest::newRow("start 1 ms before the end stays") << true << 56 << 56 << 'F' << "8.00";
    QTest::newRow("end at the first samples") << false << 1 << 8 << 'H' << "0.00";
}

void TstCDlgPingPu::pressNearAnEndLeavesTheOtherKeypadARange()
{
    QFETCH(bool, startMark);
    QFETCH(int, pressed);
    QFETCH(int, kept);
    QFETCH(char, keypad);
    QFETCH(QString, offered);
    constexpr int kShortRecord = 64;
    analysis_test::PutSinesOnScreen(kChannels, kShortRecord, 125.0f);
    Store().PreviousTraces = Store().Traces;
    CDlgPingPu dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CSinWave *wave = dlg.Wave();
    const SinWavePlot plot = wave->Plot();
    const int x = startMark ? plot.Layout.Plot.left() + 5 : plot.Layout.Plot.right() - 5;
    // The row of a sample: several pixels each in a record this short.
    int y = plot.MarkY(pressed) + 1;
    while (plot.PressSample(y) < pressed)
        ++y;
    QCOMPARE(plot.PressSample(y), pressed);
    Press(wave, QPoint(x, y));
    QCOMPARE(startMark ? wave->RangeStart() : wave->RangeEnd(), kept);
    QCOMPARE(startMark ? dlg.StartTime() : dlg.EndTime(), kept * 0.125f);

    // The other keypad takes the value it offers, without a range message.
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("editValue")), offered);
        d.Key(Qt::Key_Return, Qt::AltModifier);
        QVERIFY(!d.IsOpen());
    });
    QTest::keyClick(&dlg, Qt::Key(keypad), Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
}

void TstCDlgPingPu::startKeypadEditsTheTimeFromItsEnd()
{
    CDlgPingPu dlg;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("0.00"));
        d.Key(Qt::Key_Backspace);
        d.Type(QStringLiteral("5"));
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("0.05"));
        d.Type(QStringLiteral("1")); // a third decimal: refused aloud
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("0.05"));
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    driver.Expect([](ModalDialog &d) {
        QVERIFY(d.Text(QStringLiteral("labelMsg")).startsWith(QStringLiteral("输入范围有误,请输入0.00到")));
        d.Key(Qt::Key_Return);
    });
    QTest::keyClick(&dlg, Qt::Key_H, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Caption(dlg, "btnHead"), QStringLiteral("数据起点(H)\n0.05ms"));
}

void TstCDlgPingPu::cursorPressIsHeldToTheLastBin()
{
    CDlgPingPu dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CPingPu *plot = dlg.Plot();
    const SpectrumPlotLayout l = plot->Plot();
    const int bins = dlg.Spectrum().Bins();
    Press(plot, QPoint(l.X2, l.Y1 + 10));
    QCOMPARE(plot->CursorBin(), bins - 1);
    Press(plot, QPoint(l.BinX(100) + 1, l.Y1 + 10));
    QCOMPARE(plot->CursorBin(), SpectrumCursorBin(l, l.BinX(100) + 1, l.Y1 + 10, bins));
    plot->grab(); // paints: the readout follows the cursor
    QCOMPARE(plot->CursorFrequency(), dlg.Spectrum().BinHz(plot->CursorBin()));
    QVERIFY(plot->ReadoutText().endsWith(FrequencyText(plot->CursorFrequency())));
    // Below the plot: no change.
    Press(plot, QPoint(l.BinX(10), l.Y2 + 5));
    QCOMPARE(plot->CursorBin(), SpectrumCursorBin(l, l.BinX(100) + 1, l.Y1 + 10, bins));
}

void TstCDlgPingPu::emptyRangeDrawsNoSpectrum()
{
    Store().PreviousTraces[0].clear(); // a channel a failed fetch left empty
    CDlgPingPu dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.Spectrum().MainBin, 0);
    QCOMPARE(AreaPixels(dlg.Plot()), 0);
    QCOMPARE(dlg.Plot()->ReadoutText(), QStringLiteral("主频：0.00Hz     游标频率：0.00Hz"));
}

void TstCDlgPingPu::tinyPlotDrawsNothing()
{
    CDlgPingPu dlg;
    CPingPu plot;
    plot.SetSpectrum(&dlg.Spectrum());
    for (QSize size : {QSize(1, 1), QSize(8, 8), QSize(120, 40)}) {
        plot.resize(size);
        const QImage img = plot.grab().toImage();
        QCOMPARE(img.size(), size);
        Press(&plot, QPoint(size.width() / 2, size.height() / 2));
        QCOMPARE(plot.CursorBin(), 0);
    }
    // The frequencies are still those of the spectrum.
    QCOMPARE(plot.MainFrequency(), dlg.Spectrum().MainHz());
}

void TstCDlgPingPu::keys()
{
    CDlgPingPu dlg;
    dlg.findChild<QPushButton *>(QStringLiteral("btnXiHua"))->setEnabled(false);
    QTest::keyClick(&dlg, Qt::Key_X, Qt::AltModifier);
    QCOMPARE(dlg.Refinement(), 1);
    dlg.show();
    QSignalSpy finished(&dlg, &QDialog::finished);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void TstCDlgPingPu::damagedRecordsOpenAndDraw_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<float>("interval");
    QTest::addColumn<bool>("emptyTraces");
    QTest::newRow("no channels") << 0 << kSamples << kInterval << false;
    QTest::newRow("no samples") << kChannels << 0 << kInterval << false;
    QTest::newRow("interval not a number") << kChannels << kSamples << std::numeric_limits<float>::quiet_NaN() << false;
    QTest::newRow("interval 0") << kChannels << kSamples << 0.0f << false;
    QTest::newRow("interval huge") << kChannels << kSamples << 3e38f << false;
    QTest::newRow("every trace empty") << 24 << kSamples << kInterval << true;
    QTest::newRow("absurd length, short traces") << kChannels << (1 << 30) << kInterval << false;
}

void TstCDlgPingPu::damagedRecordsOpenAndDraw()
{
    // A settings file or record that says this must not take either screen down.
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(float, interval);
    QFETCH(bool, emptyTraces);
    analysis_test::SetRecord(channels, samples, interval);
    if (emptyTraces)
        Store().Traces = TraceSet();
    Store().PreviousTraces = Store().Traces;
    CurrentParams().LowPassLimit = 20;
    CDlgAnalysis analysis;
    analysis.show();
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return); });
    // Half the sampling rate of a huge interval lies below the 20 Hz low-pass.
    if (interval >= 25000.0f)
        driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return); });
    QTest::keyClick(&analysis, Qt::Key_F, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    driver.Expect([](ModalDialog &d) {
        auto *spectrum = qobject_cast<CDlgPingPu *>(d.Widget());
        QVERIFY(spectrum);
        QVERIFY(spectrum->Length() >= 1 && spectrum->Length() <= kMaxSpectrumSamples);
        spectrum->grab();
        const SpectrumPlotLayout l = spectrum->Plot()->Plot();
        Press(spectrum->Plot(), QPoint(l.X2, l.Y1 + 5));
        Press(spectrum->Wave(), QPoint(20, 40));
        QTest::keyClick(spectrum, Qt::Key_X, Qt::AltModifier);
        spectrum->grab();
        d.Key(Qt::Key_Escape);
    });
    QTest::keyClick(&analysis, Qt::Key_A, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(!analysis.grab().isNull());
}

QTEST_MAIN(TstCDlgPingPu)
#include "tst_cdlgpingpu.moc"
