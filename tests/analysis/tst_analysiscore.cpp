// The analysis computations without widgets: the digital filter over a
// record's traces, the spectrum of a channel's range with its frequency
// axis, and the pixel arithmetic of the two spectrum plots.

#include "AnalysisTestUtil.h"
#include "analysis/DigitalFilter.h"
#include "analysis/SpectrumAnalysis.h"
#include "analysis/SpectrumPlot.h"

#include <QtTest>

#include <limits>

using analysis_test::SameBits;
using analysis_test::Sine;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

SpectrumRequest Whole(float intervalUs, int samples, int refinement = 1)
{
    SpectrumRequest r;
    r.IntervalUs = intervalUs;
    r.SampleCount = samples;
    r.RangeStart = 0;
    r.RangeEnd = samples;
    r.Refinement = refinement;
    return r;
}

} // namespace

class TstAnalysisCore : public QObject
{
    Q_OBJECT

private slots:
    // Digital filter over traces
    void filterKeepsLengthsOfShortAndEmptyTraces();
    void filterRunsOverNotANumber();

    // Spectrum
    void transformLength_data();
    void transformLength();
    void refinementCycle();
    void sineMainFrequencyWithinHalfABin_data();
    void sineMainFrequencyWithinHalfABin();
    void fortyHertzReadsForty();
    void dcOffsetDoesNotBecomeTheMainFrequency();
    void refinedSpectrumTakesTheWholeRange();
    void rangeWithoutSamplesGivesZeros_data();
    void rangeWithoutSamplesGivesZeros();
    void samplesThatAreNoNumberCountAsZero();

    // Frequency axis and readout
    void frequencyAxis_data();
    void frequencyAxis();
    void tickPositionsAtTenMicroseconds();
    void damagedRangesGiveFewTicks();
    void readoutText();

    // Plot geometry
    void cursorPressIsHeldToTheLastBin();
    void tinyPlotDrawsNothing();
    void outlineKeepsEveryBinsExtent_data();
    void outlineKeepsEveryBinsExtent();
    void traceRangePressRules();
};

// ---------------------------------------------------------- digital filter

void TstAnalysisCore::filterKeepsLengthsOfShortAndEmptyTraces()
{
    FilterSettings s;
    s.IntervalUs = 500;
    s.SampleCount = 1024;
    s.LowPassHz = 50;
    s.HighPassHz = 5;
    // A failed fetch leaves traces short or empty; a record shorter than its
    // vectors leaves the samples past its length alone.
    QVector<float> traces[3] = {Sine(300, 40, 500), {}, Sine(2000, 40, 500)};
    const QVector<float> tail = traces[2].mid(1024);
    FilterTraces(traces, 3, s);
    QCOMPARE(traces[0].size(), 300);
    QVERIFY(traces[0] != Sine(300, 40, 500));
    QVERIFY(traces[1].isEmpty());
    QCOMPARE(traces[2].size(), 2000);
    QVERIFY(SameBits(traces[2].mid(1024), tail));
    // The filtered part is what the filter gives on exactly those samples.
    QVector<float> head = Sine(2000, 40, 500).mid(0, 1024);
    FilterTrace(head, s);
    QVERIFY(SameBits(traces[2].mid(0, 1024), head));
}

void TstAnalysisCore::filterRunsOverNotANumber()
{
    FilterSettings s;
    s.IntervalUs = 0; // a damaged interval is taken as 10 us, not divided by
    s.SampleCount = 16384;
    s.LowPassHz = 100;
    s.HighPassHz = 10;
    QVector<float> t = Sine(16384, 40, 10);
    t[5000] = kNaN;
    FilterTrace(t, s);
    QCOMPARE(t.size(), 16384);
    QVERIFY(std::isfinite(t[4999]));
    QVERIFY(std::isnan(t[5000]));
}

// ---------------------------------------------------------------- spectrum

void TstAnalysisCore::transformLength_data()
{
    QTest::addColumn<float>("interval");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("length");
    QTest::newRow("1000 us, 1024") << 1000.0f << 1024 << 1024;
    QTest::newRow("1000 us, 512: padded") << 1000.0f << 512 << 1024;
    QTest::newRow("500 us, 1024") << 500.0f << 1024 << 2048;
    QTest::newRow("125 us, 16384") << 125.0f << 16384 << 16384;
    QTest::newRow("62.5 us, 16384") << 62.5f << 16384 << 16384;
    QTest::newRow("10 us, 16384") << 10.0f << 16384 << 131072;
    // Lengths outside the list, from a settings file: still a power of two.
    QTest::newRow("1000 us, 1500") << 1000.0f << 1500 << 2048;
    QTest::newRow("250 us, 5000") << 250.0f << 5000 << 8192;
    QTest::newRow("10 us, 0 samples") << 10.0f << 0 << 131072;
    // Damaged intervals count as 10 us.
    QTest::newRow("interval 0") << 0.0f << 1024 << 131072;
    QTest::newRow("interval 9") << 9.0f << 1024 << 131072;
    QTest::newRow("interval negative") << -500.0f << 1024 << 131072;
    QTest::newRow("interval NaN") << kNaN << 1024 << 131072;
    QTest::newRow("interval huge") << 1e30f << 1024 << 1024;
    QTest::newRow("interval huge, no samples") << 1e30f << 0 << 1;
    QTest::newRow("absurd length") << 1000.0f << std::numeric_limits<int>::max() << kMaxSpectrumSamples;
}

void TstAnalysisCore::transformLength()
{
    QFETCH(float, interval);
    QFETCH(int, samples);
    QFETCH(int, length);
    QCOMPARE(SpectrumLength(interval, samples), length);
}

void TstAnalysisCore::refinementCycle()
{
    QList<int> seen{1};
    for (int i = 0; i < 5; ++i)
        seen << NextRefinement(seen.last());
    QCOMPARE(seen, (QList<int>{1, 2, 4, 8, 16, 1}));
    QCOMPARE(NextRefinement(3), 1);
    QVERIFY(!IsRefinement(3) && !IsRefinement(0) && IsRefinement(16));
}

void TstAnalysisCore::sineMainFrequencyWithinHalfABin_data()
{
    QTest::addColumn<float>("interval");
    QTest::addColumn<int>("samples");
    QTest::addColumn<double>("hz");
    // Whole cycles over the record, so that the window's leakage does not
    // move the peak: what is checked is the frequency each bin stands for.
    // 40 Hz at 500 us read 41 Hz while the range was taken from 1024000.
    QTest::newRow("20 cycles at 500 us") << 500.0f << 1024 << 20 / 0.512;
    QTest::newRow("6 cycles at 1000 us, padded") << 1000.0f << 512 << 6 / 0.512;
    QTest::newRow("28 cycles at 250 us") << 250.0f << 4096 << 28 / 1.024;
    QTest::newRow("40 cycles at 10 us") << 10.0f << 16384 << 40 / 0.16384;
}

void TstAnalysisCore::sineMainFrequencyWithinHalfABin()
{
    QFETCH(float, interval);
    QFETCH(int, samples);
    QFETCH(double, hz);
    const QVector<float> trace = Sine(samples, hz, interval);
    for (int refinement = 1; refinement <= 16; refinement *= 2) {
        const ChannelSpectrum s = ComputeSpectrum(trace, Whole(interval, samples, refinement));
        if (hz >= s.RangeHz)
            continue; // beyond the refined band
        QCOMPARE(s.Length, SpectrumLength(interval, samples));
        QCOMPARE(int(s.Values.size()), s.Length);
        const double halfBin = s.BinHz(1) / 2;
        QVERIFY2(std::abs(s.MainHz() - hz) <= halfBin,
                 qPrintable(QStringLiteral("refinement %1: %2 Hz").arg(refinement).arg(s.MainHz())));
    }
}

void TstAnalysisCore::fortyHertzReadsForty()
{
    const ChannelSpectrum s = ComputeSpectrum(Sine(1024, 40, 500), Whole(500, 1024));
    QCOMPARE(s.RangeHz, 1000.0);
    QCOMPARE(s.Bins(), 1024);
    QVERIFY2(std::abs(s.MainHz() - 40.0) <= s.BinHz(1) / 2, qPrintable(QString::number(s.MainHz())));
}

void TstAnalysisCore::dcOffsetDoesNotBecomeTheMainFrequency()
{
    // A short range of a long record: the padding is most of the transform,
    // and a mean taken over it would leave most of the offset in.
    const QVector<float> trace = Sine(4096, 40, 250, 50.0, 3000.0);
    for (int refinement = 1; refinement <= 16; refinement *= 2) {
        SpectrumRequest r = Whole(250, 4096, refinement);
        r.RangeStart = 1000;
        r.RangeEnd = 1799;
        const ChannelSpectrum s = ComputeSpectrum(trace, r);
        QVERIFY2(std::abs(s.MainHz() - 40.0) <= s.BinHz(1) / 2 + 1.0 / (800 * 250e-6) / 2,
                 qPrintable(QStringLiteral("refinement %1: %2 Hz").arg(refinement).arg(s.MainHz())));
    }
}

void TstAnalysisCore::refinedSpectrumTakesTheWholeRange()
{
    // The sine lives only in the second half of the record: a fill that stopped
    // at length / refinement would give a spectrum of zeros.
    QVector<float> trace(2048, 0.0f);
    const QVector<float> sine = Sine(2048, 20, 1000);
    std::copy(sine.begin() + 1024, sine.end(), trace.begin() + 1024);
    for (int refinement : {2, 4, 8}) {
        const ChannelSpectrum s = ComputeSpectrum(trace, Whole(1000, 2048, refinement));
        QVERIFY2(std::abs(s.MainHz() - 20.0) <= s.BinHz(1), qPrintable(QString::number(s.MainHz())));
    }
}

void TstAnalysisCore::rangeWithoutSamplesGivesZeros_data()
{
    QTest::addColumn<QVector<float>>("trace");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    const QVector<float> sine = Sine(1024, 40, 500, 100.0, 20.0);
    QTest::newRow("start after end") << sine << 600 << 599;
    QTest::newRow("beyond the sample count") << sine << 1024 << 5000;
    QTest::newRow("beyond a short trace") << sine.mid(0, 100) << 200 << 900;
    QTest::newRow("empty trace") << QVector<float>() << 0 << 1024;
    QTest::newRow("one sample") << sine << 10 << 10;
}

void TstAnalysisCore::rangeWithoutSamplesGivesZeros()
{
    QFETCH(QVector<float>, trace);
    QFETCH(int, start);
    QFETCH(int, end);
    SpectrumRequest r = Whole(500, 1024);
    r.RangeStart = start;
    r.RangeEnd = end;
    const ChannelSpectrum s = ComputeSpectrum(trace, r);
    QCOMPARE(s.Length, 2048);
    QCOMPARE(s.Values, std::vector<float>(2048, 0.0f));
    QCOMPARE(s.MainBin, 0);
    QCOMPARE(s.MainHz(), 0.0);
}

void TstAnalysisCore::samplesThatAreNoNumberCountAsZero()
{
    QVector<float> trace = Sine(1024, 40, 500);
    trace[100] = kNaN;
    trace[101] = std::numeric_limits<float>::infinity();
    const ChannelSpectrum s = ComputeSpectrum(trace, Whole(500, 1024));
    for (float v : s.Values)
        QVERIFY(std::isfinite(v));
    QVERIFY(std::abs(s.MainHz() - 40.0) <= s.BinHz(1) / 2);
}

// ------------------------------------------------- frequency axis, readout

void TstAnalysisCore::frequencyAxis_data()
{
    QTest::addColumn<float>("interval");
    QTest::addColumn<int>("refinement");
    QTest::addColumn<double>("range");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("1000 us") << 1000.0f << 1 << 500.0 << "Hz"
                             << QStringList{"0", "100", "200", "300", "400", "500"};
    QTest::newRow("500 us: two decimals in kHz") << 500.0f << 1 << 1000.0 << "kHz"
                                                 << QStringList{"0.00", "0.20", "0.40", "0.60", "0.80", "1.00"};
    QTest::newRow("1000 us refined 16") << 1000.0f << 16 << 31.25 << "Hz"
                                        << QStringList{"0", "5", "10", "15", "20", "25", "30"};
    QTest::newRow("10 us") << 10.0f << 1 << 50000.0 << "kHz"
                           << QStringList{"0", "10", "20", "30", "40", "50"};
}

void TstAnalysisCore::frequencyAxis()
{
    QFETCH(float, interval);
    QFETCH(int, refinement);
    QFETCH(double, range);
    QFETCH(QString, unit);
    QFETCH(QStringList, labels);
    QCOMPARE(SpectrumRangeHz(interval, refinement), range);
    QCOMPARE(ChooseFrequencyAxis(range).Unit, unit);
    QStringList got;
    for (const FrequencyTick &t : FrequencyTicks(1024, range))
        if (t.Major)
            got << t.Label;
    QCOMPARE(got, labels);
}

void TstAnalysisCore::tickPositionsAtTenMicroseconds()
{
    // 65536 bins x 10000 Hz x 5 is beyond 32 bits.
    const QVector<FrequencyTick> ticks = FrequencyTicks(65536, SpectrumRangeHz(10.0f, 1));
    QList<int> major;
    QList<int> minorAfterFirst;
    for (const FrequencyTick &t : ticks) {
        if (t.Major)
            major << t.Bin;
        else if (major.size() == 1)
            minorAfterFirst << t.Bin;
    }
    QCOMPARE(major, (QList<int>{0, 13107, 26214, 39321, 52428, 65536}));
    QCOMPARE(minorAfterFirst, (QList<int>{2621, 5242, 7863, 10484}));
    QCOMPARE(ticks.size(), 6 + 5 * 4);
}

void TstAnalysisCore::damagedRangesGiveFewTicks()
{
    QVERIFY(FrequencyTicks(1024, std::numeric_limits<double>::quiet_NaN()).isEmpty());
    QVERIFY(FrequencyTicks(1024, std::numeric_limits<double>::infinity()).isEmpty());
    QVERIFY(FrequencyTicks(0, 500.0).isEmpty());
    QVERIFY(FrequencyTicks(1024, 1e15).size() <= 5 * 101);
    // A range below the smallest step still has its 0 Hz tick.
    QCOMPARE(FrequencyTicks(1024, 3.0).size(), 1);
}

void TstAnalysisCore::readoutText()
{
    QCOMPARE(SpectrumReadout(40.0390625, 0.0), QStringLiteral("主频：40.04Hz     游标频率：0.00Hz"));
    QCOMPARE(SpectrumReadout(1500.0, 999.999), QStringLiteral("主频：1.50kHz     游标频率：1000.00Hz"));
    QCOMPARE(FrequencyText(2500000.0), QStringLiteral("2.50MHz"));
}

// ------------------------------------------------------------ plot geometry

void TstAnalysisCore::cursorPressIsHeldToTheLastBin()
{
    const int bins = 512;
    const SpectrumPlotLayout l = ComputeSpectrumPlot(630, 240, bins);
    QVERIFY(l.Drawable());
    QCOMPARE(l.Baseline, l.Y1 + 22 + l.AxisHeight);
    QCOMPARE(l.BinX(bins), l.X2 - 1);
    QCOMPARE(SpectrumCursorBin(l, l.X1, 10, bins), 0);
    QCOMPARE(SpectrumCursorBin(l, l.X2, l.Y2, bins), bins - 1);
    QCOMPARE(SpectrumCursorBin(l, l.X2 + 1, 10, bins), -1);
    QCOMPARE(SpectrumCursorBin(l, 100, l.Y2 + 1, bins), -1);
    const int x = l.BinX(100) + 1;
    QCOMPARE(SpectrumCursorBin(l, x, 10, bins), int((x + 1 - l.X1) / l.BinWidth));
}

void TstAnalysisCore::tinyPlotDrawsNothing()
{
    for (QSize size : {QSize(1, 1), QSize(90, 300), QSize(600, 60), QSize(0, 0)}) {
        const SpectrumPlotLayout l = ComputeSpectrumPlot(size.width(), size.height(), 1024);
        QVERIFY(!l.Drawable());
        QCOMPARE(SpectrumCursorBin(l, 30, 5, 1024), -1);
        const std::vector<float> values(1024, 1.0f);
        QVERIFY(SpectrumOutline(l, values.data(), 1024, 1.0).isEmpty());
    }
    QVERIFY(!ComputeSpectrumPlot(630, 240, 0).Drawable());
}

void TstAnalysisCore::outlineKeepsEveryBinsExtent_data()
{
    QTest::addColumn<int>("bins");
    QTest::newRow("fewer bins than pixels") << 256;
    QTest::newRow("131072-point transform") << 65536;
}

void TstAnalysisCore::outlineKeepsEveryBinsExtent()
{
    QFETCH(int, bins);
    const SpectrumPlotLayout l = ComputeSpectrumPlot(700, 300, bins);
    std::vector<float> values(static_cast<std::size_t>(bins));
    for (int k = 0; k < bins; ++k)
        values[std::size_t(k)] = float(std::abs(std::sin(k * 0.37)) * (k % 97 == 0 ? 5.0 : 1.0));
    values[7] = kNaN;
    const double scale = l.AxisHeight / 5.0;
    const QPolygon outline = SpectrumOutline(l, values.data(), bins, scale);
    // At most four points per pixel column, whatever the number of bins.
    QVERIFY(outline.size() <= 4 * (l.X2 - l.X0 + 1));
    // Every bin's point lies within its column's drawn extent.
    QMap<int, QPair<int, int>> extent;
    for (const QPoint &pt : outline) {
        auto it = extent.find(pt.x());
        if (it == extent.end())
            extent.insert(pt.x(), {pt.y(), pt.y()});
        else
            *it = {std::min(it->first, pt.y()), std::max(it->second, pt.y())};
    }
    for (int k = 0; k < bins; ++k) {
        const float v = values[std::size_t(k)];
        const int y = std::isnan(v) ? l.Baseline : int(l.Baseline - scale * v);
        const auto it = extent.constFind(l.BinX(k));
        QVERIFY(it != extent.constEnd());
        QVERIFY2(it->first <= y && y <= it->second, qPrintable(QStringLiteral("bin %1").arg(k)));
    }
    for (int i = 1; i < outline.size(); ++i)
        QVERIFY(outline[i].x() >= outline[i - 1].x());
}

void TstAnalysisCore::traceRangePressRules()
{
    // Part of an 800 x 480 dialog: the upper plot.
    const SinWavePlot p = ComputeSinWavePlot(630, 238, 1024);
    QCOMPARE(p.Layout.Plot, QRect(QPoint(10, 2), QPoint(629 - 80, 237)));
    QCOMPARE(p.Layout.Centre(0), 10 + (629 - 89) / 2.0f);
    QCOMPARE(p.MarkY(0), 2);
    QCOMPARE(p.MarkY(1024), int(1024 * ((237 + 1 - 2) / 1024.0f) + 2));
    QCOMPARE(p.PressSample(2), 0);
    QCOMPARE(p.PressSample(237), 1024);
    QCOMPARE(p.PressSample(120), int(1024.0 / 235 * 118));
    QVERIFY(p.InLeftHalf(10 + 270));
    QVERIFY(!p.InLeftHalf(10 + 271));
    // A plot too small for rows never divides by zero.
    QCOMPARE(ComputeSinWavePlot(100, 3, 1024).PressSample(2), 0);
}

QTEST_GUILESS_MAIN(TstAnalysisCore)
#include "tst_analysiscore.moc"
