#include "display/WaveGeometry.h"

#include <QtTest>
#include <limits>
#include <array>
#include <cmath>

using namespace wave;

class TstWaveGeometry : public QObject
{
    Q_OBJECT
private slots:
    void layoutOfASmallScreen();
    void boundaryBelongsToTheLeftColumn();
    void channelCaptionNeverRunsIntoANumber_data();
    void channelCaptionNeverRunsIntoANumber();
    void pageTwoOfTwelve();
    void deflectionsClipAtExactly150();
    void tickStep_data();
    void tickStep();
    void timeScaleOf1024Ms();
    void timeScaleUnder10Ms();
    void timeScaleOfAnAnalysisWindow();
    void noTicksForAnEmptyRecord();
    void hugeIntervalsEndTheScale();
    void flatTracesAndTheFloor();
    void allZeroTraceHasPeakOne();
    void emptyTraceKeepsItsStatistics();
    void commonPeakRestartsOnPageOne();
    void selfCheckHalvesAfterTheCommonPeak();
    void statisticsStopAtTheSampleCount();
    void statisticsNeverPassChannel24();
    void readoutBoxPlacement();
    void readoutWidthsAndText();
    void cursorRowsAndSamples();
};

void TstWaveGeometry::layoutOfASmallScreen()
{
    const Layout l = ComputeLayout(800, 480, 24);
    QCOMPARE(l.Plot, QRect(QPoint(10, 2), QPoint(719, 439)));
    QCOMPARE(l.Labels, QRect(QPoint(10, 439), QPoint(719, 478)));
    QCOMPARE(l.Axis, QRect(QPoint(719, 2), QPoint(798, 439)));
    QCOMPARE(l.ColumnWidth, 710.0f / 24);
    QCOMPARE(l.Centre(0), 10.0f + 0.5f * 710.0f / 24);
    QCOMPARE(l.Right(23), 720.0f);
    QVERIFY(l.InPlot(10, 2));
    QVERIFY(l.InPlot(719, 439));
    QVERIFY(!l.InPlot(720, 100));
    QVERIFY(!l.InPlot(100, 440));
    // No columns: no width, and no column is ever found.
    const Layout none = ComputeLayout(800, 480, 0);
    QCOMPARE(none.ColumnWidth, 0.0f);
    QCOMPARE(ColumnAt(none, 100), 0);
}

void TstWaveGeometry::channelCaptionNeverRunsIntoANumber_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<bool>("atTheStart");
    QTest::newRow("24 narrow columns") << 800 << 24 << 28 << false;
    QTest::newRow("12 columns") << 1024 << 12 << 28 << true; // channel 1's number starts at x = 38
    QTest::newRow("two wide columns") << 800 << 2 << 28 << true;
    QTest::newRow("just too wide") << 850 << 8 << 47 << false; // channel 1's number starts at x = 47
    QTest::newRow("just fits") << 850 << 8 << 46 << true;
    QTest::newRow("no columns") << 800 << 0 << 28 << false;
}

void TstWaveGeometry::channelCaptionNeverRunsIntoANumber()
{
    QFETCH(int, width);
    QFETCH(int, columns);
    QFETCH(int, textWidth);
    QFETCH(bool, atTheStart);
    const Layout l = ComputeLayout(width, 480, columns);
    const QRect box = ChannelCaptionBox(l, textWidth);
    QCOMPARE(box.left() == 0, atTheStart);
    QCOMPARE(box.top(), l.Labels.top());
    QCOMPARE(box.bottom(), l.Labels.bottom());
    QVERIFY(l.Widget.contains(box));
    // The caption's ink, from the box's left edge, ends before the first
    // number or starts after the last column.
    const int inkRight = box.left() + textWidth - 1;
    if (columns > 0)
        QVERIFY(inkRight < int(l.Centre(0)) - kChannelNumberIndent || box.left() >= int(l.Right(columns - 1)));
    QVERIFY(box.width() >= textWidth);
}

void TstWaveGeometry::boundaryBelongsToTheLeftColumn()
{
    // 850 wide, 8 columns: 760 / 8 = 95 pixels, edges at 105, 200, …
    const Layout l = ComputeLayout(850, 480, 8);
    QCOMPARE(l.ColumnWidth, 95.0f);
    QCOMPARE(ColumnAt(l, 10), 1);
    QCOMPARE(ColumnAt(l, 105), 1);
    QCOMPARE(ColumnAt(l, 106), 2);
    QCOMPARE(ColumnAt(l, 200), 2);
    QCOMPARE(ColumnAt(l, 201), 3);
    QCOMPARE(ColumnAt(l, 770), 8);
    QCOMPARE(ColumnAt(l, 9), 0);
    QCOMPARE(ColumnAt(l, 771), 0);
}

void TstWaveGeometry::pageTwoOfTwelve()
{
    QCOMPARE(ChannelOfColumn(12, 2, 0), 13);
    QCOMPARE(ChannelOfColumn(12, 2, 11), 24);
    QCOMPARE(ChannelOfColumn(24, 1, 0), 1);
}

void TstWaveGeometry::deflectionsClipAtExactly150()
{
    TraceScale s;
    s.Centre = 200.5f;
    s.Scale = 1.0f;
    QCOMPARE(s.X(150.0f), 350);
    QCOMPARE(s.X(150.5f), 350);
    QCOMPARE(s.X(1e9f), 350);
    QCOMPARE(s.X(-150.0f), 50);
    QCOMPARE(s.X(-1e9f), 50);
    QCOMPARE(s.X(0.0f), 200);
    // The shift moves the clipped ends with everything else.
    s.Shift = 30;
    QCOMPARE(s.X(1e9f), 320);
    QCOMPARE(s.X(-1e9f), 20);
    QCOMPARE(s.BaseX(), 170);
    // Gain exponents are powers of two on the scale.
    QCOMPARE(AmplitudeScale(30.0f, 1.5f, 0), 10.0f);
    QCOMPARE(AmplitudeScale(30.0f, 1.5f, 3), 80.0f);
}

void TstWaveGeometry::tickStep_data()
{
    QTest::addColumn<double>("t1");
    QTest::addColumn<int>("step");
    QTest::newRow("1024 ms") << 1024.0 << 200;
    QTest::newRow("8 ms") << 8.0 << 1;
    QTest::newRow("9.9 ms") << 9.9 << 1;
    QTest::newRow("4 ms") << 4.0 << 1;
    QTest::newRow("10 ms") << 10.0 << 2;
    QTest::newRow("99 ms") << 99.0 << 18;
    QTest::newRow("512 ms") << 512.0 << 100;
    QTest::newRow("32768 ms") << 32768.0 << 6000;
    QTest::newRow("0.5 ms") << 0.5 << 1;
    // Spans only a damaged interval produces: no overflow, the largest step.
    QTest::newRow("2e10 ms") << 2e10 << std::numeric_limits<int>::max();
    QTest::newRow("1e300 ms") << 1e300 << std::numeric_limits<int>::max();
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 1;
}

void TstWaveGeometry::tickStep()
{
    QFETCH(double, t1);
    QFETCH(int, step);
    QCOMPARE(TickStep(t1), step);
}

void TstWaveGeometry::timeScaleOf1024Ms()
{
    const Layout l = ComputeLayout(800, 480, 12);
    const auto ticks = TimeTicks(l, 1000.0f, 0, 1024, 1024);
    QStringList labels;
    for (const Tick &t : ticks)
        labels << t.Label;
    QCOMPARE(labels, QStringList({"0(ms)", "200", "400", "600", "800", "1000"}));
    const double p = 438.0 / 1024.0;
    QCOMPARE(ticks[0].Y, 2);
    QCOMPARE(ticks[1].Y, static_cast<int>(200 * p + 2));
    QCOMPARE(ticks[5].Y, static_cast<int>(1000 * p + 2));
    // Label boxes right of the tick lines; the first one below its tick.
    QCOMPARE(ticks[0].Box.left(), 719 + 23);
    QCOMPARE(ticks[0].Box.top(), 0);
    QCOMPARE(ticks[1].Box.top(), ticks[1].Y - 15);
    QCOMPARE(ticks[1].Box.right(), 798);
}

void TstWaveGeometry::timeScaleUnder10Ms()
{
    const Layout l = ComputeLayout(800, 480, 12);
    // 800 samples of 10 µs: 8 ms.
    const auto ticks = TimeTicks(l, 10.0f, 0, 800, 800);
    QCOMPARE(ticks.size(), 9);
    QCOMPARE(ticks[1].Label, QStringLiteral("1"));
    QCOMPARE(ticks[8].Label, QStringLiteral("8"));
}

void TstWaveGeometry::timeScaleOfAnAnalysisWindow()
{
    // Window 200…400 of a 1024-sample record at 1 ms: ticks every 80 ms up to
    // t1 = 400 ms, placed relative to the window's top at 200 ms.
    const Layout l = ComputeLayout(800, 480, 12);
    const auto ticks = TimeTicks(l, 1000.0f, 200, 200, 1024);
    QCOMPARE(ticks.last().Time, 400.0);
    QCOMPARE(ticks[3].Time, 240.0);
    QCOMPARE(ticks[3].Y, static_cast<int>(240 * (438.0 / 200) + 2 - (438.0 / 200) * 200));
    // A record shorter than the window: no tick past the record's end.
    const auto shortTicks = TimeTicks(l, 1000.0f, 0, 1024, 300);
    QCOMPARE(shortTicks.last().Time, 200.0);
}

void TstWaveGeometry::noTicksForAnEmptyRecord()
{
    const Layout l = ComputeLayout(800, 480, 12);
    QVERIFY(TimeTicks(l, 1000.0f, 0, 0, 0).isEmpty());
    QVERIFY(TimeTicks(l, 0.0f, 0, 1024, 1024).isEmpty());
}

void TstWaveGeometry::hugeIntervalsEndTheScale()
{
    // A damaged record or settings file may carry any interval: the scale
    // must stay small (or be left out), never run on until memory is gone.
    const Layout l = ComputeLayout(800, 480, 12);
    QVERIFY(TimeTicks(l, 1e7f, 0, 1024, 1024).size() <= 51);
    QVERIFY(TimeTicks(l, 2e10f, 0, 1024, 1024).size() <= 1000);
    QVERIFY(TimeTicks(l, 3e38f, 0, 16384, 16384).size() <= 1000);
    QVERIFY(TimeTicks(l, std::numeric_limits<float>::quiet_NaN(), 0, 1024, 1024).isEmpty());
}

using Traces = std::array<QVector<float>, 24>;

void TstWaveGeometry::flatTracesAndTheFloor()
{
    Traces t;
    t[0] = QVector<float>(100, 0.5f);
    t[1] = QVector<float>(100, -2.0f);
    t[2] = QVector<float>(100, -0.9995f);
    t[3] = {0.0002f, -0.0001f, 0.0f};
    PageStats s;
    UpdateStats(s, t, 0, 4, 100, true, false);
    QCOMPARE(s.Max[0], 1.5f);
    QCOMPARE(s.Peak[0], 1.5f);
    // A flat negative trace below −0.999 has its lifted peak floored.
    QCOMPARE(s.Peak[1], kPeakFloor);
    QCOMPARE(s.Peak[2], kPeakFloor);
    QCOMPARE(s.Peak[3], kPeakFloor);
    QCOMPARE(s.CommonPeak, 1.5f);
    // So that trace is drawn at the clip limit.
    TraceScale sc;
    sc.Centre = 100.0f;
    sc.Scale = AmplitudeScale(30.0f, s.Peak[1], 0);
    QCOMPARE(sc.X(-2.0f), 100 - kClipLimit);
}

void TstWaveGeometry::allZeroTraceHasPeakOne()
{
    Traces t;
    t[0] = QVector<float>(50, 0.0f);
    PageStats s;
    UpdateStats(s, t, 0, 1, 50, true, false);
    QCOMPARE(s.Peak[0], 1.0f);
    TraceScale sc;
    sc.Centre = 40.5f;
    sc.Scale = AmplitudeScale(29.0f, s.Peak[0], 0);
    QCOMPARE(sc.X(0.0f), 40);
}

void TstWaveGeometry::emptyTraceKeepsItsStatistics()
{
    Traces t;
    t[0] = {1.0f, -3.0f, 2.0f};
    PageStats s;
    UpdateStats(s, t, 0, 2, 3, true, false);
    QCOMPARE(s.Peak[0], 3.0f);
    QCOMPARE(s.Max[0], 2.0f);
    QCOMPARE(s.Min[0], -3.0f);
    // Channel 2 never had data: zeros lifted to a flat peak of 1.
    QCOMPARE(s.Peak[1], 1.0f);
    t[0].clear();
    UpdateStats(s, t, 0, 1, 3, true, false);
    QCOMPARE(s.Peak[0], 3.0f);
    // No samples counted when the record length is 0.
    t[0] = {7.0f};
    UpdateStats(s, t, 0, 1, 0, true, false);
    QCOMPARE(s.Peak[0], 3.0f);
}

void TstWaveGeometry::commonPeakRestartsOnPageOne()
{
    Traces t;
    t[0] = {2.0f, -1.0f};
    t[12] = {0.5f, 0.25f};
    PageStats s;
    s.CommonPeak = 100.0f; // left from an earlier record
    UpdateStats(s, t, 0, 12, 2, true, false);
    QCOMPARE(s.CommonPeak, 2.0f);
    // Page 2 only grows it.
    UpdateStats(s, t, 12, 12, 2, false, false);
    QCOMPARE(s.CommonPeak, 2.0f);
    QCOMPARE(s.Peak[12], 0.5f);
}

void TstWaveGeometry::selfCheckHalvesAfterTheCommonPeak()
{
    Traces t;
    t[0] = {4.0f, -1.0f};
    PageStats s;
    UpdateStats(s, t, 0, 1, 2, true, true);
    QCOMPARE(s.Peak[0], 8.0f);
    QCOMPARE(s.CommonPeak, 4.0f);
}

void TstWaveGeometry::statisticsStopAtTheSampleCount()
{
    Traces t;
    t[0] = {1.0f, 2.0f, 50.0f};
    PageStats s;
    UpdateStats(s, t, 0, 1, 2, true, false);
    QCOMPARE(s.Peak[0], 2.0f);
}

void TstWaveGeometry::statisticsNeverPassChannel24()
{
    Traces t;
    for (auto &v : t)
        v = {1.0f};
    PageStats s;
    // Page 3 of 12 channels would be channels 25…36: nothing to read.
    UpdateStats(s, t, 24, 12, 1, false, false);
    QCOMPARE(s.CommonPeak, 0.0f);
    // Page 2 of 20: channels 21…24 only.
    UpdateStats(s, t, 20, 20, 1, false, false);
    QCOMPARE(s.Peak[23], 2.0f); // flat 1.0 lifted to 2.0
}

void TstWaveGeometry::readoutBoxPlacement()
{
    // 24 columns: the right third begins after channel 16.
    QCOMPARE(ReadoutLeft(500, 355, 16, 24, 1, 24), 500);
    QCOMPARE(ReadoutLeft(500, 355, 17, 24, 1, 24), 500 - 355);
    // Page 2 of 12: channels 13…24, right third after 20.
    QCOMPARE(ReadoutLeft(600, 365, 20, 12, 2, 12), 600);
    QCOMPARE(ReadoutLeft(600, 365, 21, 12, 2, 12), 600 - 365);
    QCOMPARE(ReadoutBaseline(29), 59);
    QCOMPARE(ReadoutBaseline(30), 30);
}

void TstWaveGeometry::readoutWidthsAndText()
{
    QCOMPARE(ReadoutWidth(999.99), 355);
    QCOMPARE(ReadoutWidth(1000.0), 365);
    QCOMPARE(ReadoutWidth(9999.0), 365);
    QCOMPARE(ReadoutWidth(10000.0), 375);
    QCOMPARE(ReadoutText(3, 12.5, 123.4f), QStringLiteral("CH3:12.50ms,1.234E+02"));
    QCOMPARE(ReadoutText(24, 1023.5, -0.00125f), QStringLiteral("CH24:1023.50ms,-1.250E-03"));
}

void TstWaveGeometry::cursorRowsAndSamples()
{
    const Layout l = ComputeLayout(800, 480, 12); // plot rows 2…439
    QCOMPARE(MoveCursorSample(l, 2, 0, 1024), 0);
    QCOMPARE(MoveCursorSample(l, 439, 0, 1024), 1024);
    QCOMPARE(MoveCursorSample(l, 2, 300, 100), 300);
    const int s = MoveCursorSample(l, 200, 0, 1024);
    QCOMPARE(s, static_cast<int>(1024.0 / 437 * 198));
    // The row of that sample is the row it came from, or the one above after truncation.
    const int row = CursorRow(l, s, 0, 1024);
    QVERIFY(row == 200 || row == 199);
    QCOMPARE(PressCursorSample(l, 439, 16384), 16384);
    QCOMPARE(PressCursorSample(l, 2, 16384), 0);
    // Degenerate plots never divide by zero.
    const Layout flat = ComputeLayout(200, 43, 1);
    QCOMPARE(CursorRow(flat, 10, 0, 100), flat.Plot.top());
    QCOMPARE(PressCursorSample(flat, 1, 100), 0);
    QCOMPARE(CursorRow(l, 10, 0, 0), 2);
}

QTEST_APPLESS_MAIN(TstWaveGeometry)
#include "tst_wavegeometry.moc"
