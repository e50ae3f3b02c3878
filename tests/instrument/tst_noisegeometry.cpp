// Bar geometry of the self-check noise view.
#include "instrument/NoiseGeometry.h"

#include <QtTest>

using noise::Extremes;

Q_DECLARE_METATYPE(QVector<float>)

namespace {

constexpr int kWidth = 781;  // plot right 740, 701 pixels of columns
constexpr int kHeight = 410; // plot bottom 404, baseline 205
constexpr int kBaseline = 205;
constexpr int kPlotTop = 5;

} // namespace

class TstNoiseGeometry : public QObject
{
    Q_OBJECT

private slots:
    void extremesAndLargestExcursion_data();
    void extremesAndLargestExcursion();
    void barsFollowTheLargerSwing_data();
    void barsFollowTheLargerSwing();
    void nothingToScaleAgainstDrawsNoBars();
    void barsStayInsideTheirColumns();
};

void TstNoiseGeometry::extremesAndLargestExcursion_data()
{
    QTest::addColumn<QVector<float>>("channel1");
    QTest::addColumn<QVector<float>>("channel2");
    QTest::addColumn<int>("sampleLength");
    QTest::addColumn<float>("max1");
    QTest::addColumn<float>("min1");
    QTest::addColumn<float>("largest");

    // Channel 1 without data: no first sample to start from (the view used to read it).
    QTest::newRow("channel 1 empty") << QVector<float>{} << QVector<float>{0.2f, -0.7f} << 1024
                                     << 0.0f << 0.0f << 0.7f;
    QTest::newRow("all negative") << QVector<float>{-0.3f, -0.1f} << QVector<float>{} << 1024
                                  << -0.1f << -0.3f << 0.3f;
    QTest::newRow("all positive") << QVector<float>{0.4f, 0.2f} << QVector<float>{} << 1024
                                  << 0.4f << 0.2f << 0.4f;
    // Only the first sample-length samples count.
    QTest::newRow("beyond the sample length") << QVector<float>{0.1f, -0.2f, 5.0f} << QVector<float>{}
                                              << 2 << 0.1f << -0.2f << 0.2f;
    QTest::newRow("no samples wanted") << QVector<float>{0.1f} << QVector<float>{} << 0 << 0.0f
                                       << 0.0f << 0.0f;
}

void TstNoiseGeometry::extremesAndLargestExcursion()
{
    QFETCH(QVector<float>, channel1);
    QFETCH(QVector<float>, channel2);
    QFETCH(int, sampleLength);
    QFETCH(float, max1);
    QFETCH(float, min1);
    QFETCH(float, largest);

    TraceSet traces;
    traces[0] = channel1;
    traces[1] = channel2;
    traces[2] = {9.0f}; // beyond the channel count
    const QVector<Extremes> e = noise::ChannelExtremes(traces, 2, sampleLength);
    QCOMPARE(e.size(), 2);
    QCOMPARE(e[0].Max, max1);
    QCOMPARE(e[0].Min, min1);
    QCOMPARE(noise::LargestExcursion(e), largest);
}

void TstNoiseGeometry::barsFollowTheLargerSwing_data()
{
    QTest::addColumn<float>("max");
    QTest::addColumn<float>("min");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("filled");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom"); // last row inside the bar

    // Usable height 400: at step 9 the largest excursion's bar is 200 pixels,
    // from the baseline up to the plot's top edge: half the plot.
    QTest::newRow("largest at step 9") << 0.8f << -0.1f << 9 << true << kPlotTop << kBaseline - 1;
    // 22.2 pixels, truncated.
    QTest::newRow("largest at step 1") << 0.8f << -0.1f << 1 << true << kBaseline - 22 << kBaseline - 1;
    // Self-check noise stays far below 1: a negative swing larger than the
    // positive one still hangs down (it never did when compared as whole numbers).
    QTest::newRow("negative below 1") << 0.3f << -0.8f << 9 << false << kBaseline << kBaseline + 199;
    QTest::newRow("negative, half") << 0.1f << -0.4f << 9 << false << kBaseline << kBaseline + 99;
    QTest::newRow("equal swings stand up") << 0.4f << -0.4f << 9 << true << kBaseline - 100
                                           << kBaseline - 1;
}

void TstNoiseGeometry::barsFollowTheLargerSwing()
{
    QFETCH(float, max);
    QFETCH(float, min);
    QFETCH(int, step);
    QFETCH(bool, filled);
    QFETCH(int, top);
    QFETCH(int, bottom);

    // Channel 2 carries the largest excursion, 0.8.
    const QVector<Extremes> e{{max, min}, {0.8f, -0.2f}};
    const noise::Layout l = noise::ComputeLayout(kWidth, kHeight, step, e, 0.8f);
    QCOMPARE(l.Baseline, kBaseline);
    QCOMPARE(l.Bars.size(), 2);
    QCOMPARE(l.Bars[0].Filled, filled);
    QCOMPARE(l.Bars[0].Rect.top(), top);
    QCOMPARE(l.Bars[0].Rect.bottom(), bottom);
}

void TstNoiseGeometry::nothingToScaleAgainstDrawsNoBars()
{
    // Every sample 0 (or no data): labels, but nothing to divide by.
    const noise::Layout zero = noise::ComputeLayout(kWidth, kHeight, 9, QVector<Extremes>(12), 0.0f);
    QCOMPARE(zero.NumberBoxes.size(), 12);
    QVERIFY(zero.Bars.isEmpty());

    const noise::Layout none = noise::ComputeLayout(kWidth, kHeight, 9, {}, 0.0f);
    QVERIFY(none.NumberBoxes.isEmpty());
    QVERIFY(none.Bars.isEmpty());
    QCOMPARE(none.ColumnWidth, 0.0f);
}

void TstNoiseGeometry::barsStayInsideTheirColumns()
{
    for (int channels : {1, 12, 24}) {
        for (int width : {400, 781, 1004}) {
            const QVector<Extremes> e(channels, Extremes{0.5f, -0.1f});
            const noise::Layout l = noise::ComputeLayout(width, kHeight, 9, e, 0.5f);
            QCOMPARE(l.Bars.size(), channels);
            int previousRight = noise::kPlotLeft;
            for (const noise::Bar &b : l.Bars) {
                QVERIFY2(b.Rect.left() > previousRight, qPrintable(QStringLiteral("%1 channels, %2 px").arg(channels).arg(width)));
                QVERIFY(b.Rect.width() > 0);
                previousRight = b.Rect.right() + 1; // the outline takes one more column
            }
            QVERIFY(previousRight <= l.PlotRight + 1);
        }
    }
}

QTEST_GUILESS_MAIN(TstNoiseGeometry)
#include "tst_noisegeometry.moc"
