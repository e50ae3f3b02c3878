// The combined curve of several records and the Vs30 read from it: what
// the crew would see go wrong (an outlier dragging a bin, a bin one record
// alone makes, a Vs30 from a spread too short, a class off by a boundary).
#include "surfacewave/CombinedCurve.h"
#include "surfacewave/ProjectCurve.h"
#include "support/TestProgramDir.h"

#include <QtTest>

#include <cmath>

namespace {

/// The ground's true curve for the tests: phase velocity rising with wavelength.
double Truth(double wavelength)
{
    return 150.0 + 4.0 * wavelength;
}

/// Picks of the true curve every 1 Hz where the spread resolves them, each
/// off by a fixed pattern of ±offset m/s so that bins hold a spread of values.
RecordPicks Record(const QString &name, double spacing, double spread, double offset, double maxWavelength = 1e9)
{
    RecordPicks r;
    r.Record = name;
    r.SpacingM = spacing;
    r.SpreadM = spread;
    for (int f = 1; f <= 100; ++f) {
        // v = Truth(v / f) solved for v: v = 150 f / (f − 4).
        if (f <= 4)
            continue;
        const double v = 150.0 * f / (f - 4.0);
        const double lambda = v / f;
        if (lambda < 2.0 * spacing || lambda > spread || lambda > maxWavelength)
            continue;
        DispersionPick p;
        p.Frequency = f;
        p.Velocity = v + ((f % 2) ? offset : -offset);
        p.Wavelength = p.Velocity / f;
        r.Picks.push_back(p);
    }
    return r;
}

} // namespace

class TestCombinedCurve : public QObject
{
    Q_OBJECT

private slots:
    void recordsAgreeOnTheTruth();
    void outlierDropped();
    void keepRule();
    void vs30_data();
    void vs30();
    void siteClasses_data();
    void siteClasses();
    void projectFileSurvivesDamage_data();
    void projectFileSurvivesDamage();
};

void TestCombinedCurve::recordsAgreeOnTheTruth()
{
    const CombinedCurve c = CombineRecords(
        {Record("a.QDW", 2.0, 46.0, 3.0), Record("b.QDW", 2.0, 46.0, -2.0), Record("c.QDW", 2.0, 46.0, 1.0)});
    QCOMPARE(c.RecordCount, 3);
    QCOMPARE(c.ShortestWavelength, 4.0);
    QCOMPARE(c.LongestWavelength, 46.0);
    QVERIFY(c.Bins.size() >= 10);
    for (size_t i = 0; i < c.Bins.size(); ++i) {
        const CurveBin &b = c.Bins[i];
        QVERIFY(b.Records >= 2 && b.Count >= b.Records);
        QVERIFY(i == 0 || b.Wavelength > c.Bins[i - 1].Wavelength);
        // The offsets average out to within the bin's own spread of wavelengths.
        QVERIFY2(std::abs(b.Velocity - Truth(b.Wavelength)) < 3.0 + 0.02 * b.Velocity,
                 qPrintable(QStringLiteral("%1 m: %2 m/s").arg(b.Wavelength).arg(b.Velocity)));
        QVERIFY(std::abs(b.Frequency - b.Velocity / b.Wavelength) < 1e-9);
    }
}

void TestCombinedCurve::outlierDropped()
{
    // Ten records agree within 1 m/s in one bin; an eleventh picked an alias far above.
    std::vector<RecordPicks> records;
    for (int r = 0; r < 11; ++r) {
        RecordPicks rec;
        rec.Record = QStringLiteral("r%1.QDW").arg(r);
        rec.SpacingM = 2.0;
        rec.SpreadM = 46.0;
        DispersionPick p;
        p.Frequency = 20.0;
        p.Velocity = r == 10 ? 400.0 : 200.0 + 0.1 * r;
        p.Wavelength = 10.0;
        rec.Picks.push_back(p);
        records.push_back(rec);
    }
    const CombinedCurve c = CombineRecords(records);
    QCOMPARE(c.Dropped, 1);
    QCOMPARE(int(c.Bins.size()), 1);
    QCOMPARE(c.Bins[0].Count, 10);
    QVERIFY(std::abs(c.Bins[0].Velocity - 200.45) < 1e-9);
}

void TestCombinedCurve::keepRule()
{
    // One record alone makes a curve; with two, only bins both reach count.
    const CombinedCurve one = CombineRecords({Record("a.QDW", 2.0, 46.0, 0.0)});
    QVERIFY(!one.Bins.empty());
    QCOMPARE(one.Bins.back().Records, 1);
    const CombinedCurve two =
        CombineRecords({Record("a.QDW", 2.0, 46.0, 0.0), Record("b.QDW", 2.0, 46.0, 0.0, 20.0)});
    QVERIFY(!two.Bins.empty());
    for (const CurveBin &b : two.Bins)
        QVERIFY2(b.Wavelength < 21.0 && b.Records == 2, qPrintable(QString::number(b.Wavelength)));
    // A record with no spread takes no part.
    QCOMPARE(CombineRecords({Record("a.QDW", 0.0, 46.0, 0.0)}).RecordCount, 0);
}

void TestCombinedCurve::vs30_data()
{
    QTest::addColumn<double>("spread");
    QTest::addColumn<double>("reach");
    QTest::addColumn<int>("refusal"); // -1: a Vs30 is given
    QTest::newRow("46 m spread") << 46.0 << 1e9 << -1;
    QTest::newRow("short spread") << 23.0 << 1e9 << int(Vs30Refusal::ShortSpread);
    QTest::newRow("picks stop short") << 46.0 << 30.0 << int(Vs30Refusal::OutsidePicks);
    QTest::newRow("nothing picked") << 46.0 << 0.0 << int(Vs30Refusal::NoCurve);
}

void TestCombinedCurve::vs30()
{
    QFETCH(double, spread);
    QFETCH(double, reach);
    QFETCH(int, refusal);
    const Vs30Estimate e = EstimateVs30(CombineRecords({Record("a.QDW", 2.0, spread, 0.0, reach)}));
    if (refusal >= 0) {
        QCOMPARE(int(e.Refusal), refusal);
        QVERIFY(!e.Reason.isEmpty() && !e.Reason.contains(QLatin1Char(',')));
        QVERIFY(Vs30Text(e).startsWith(QStringLiteral("无Vs30")));
        return;
    }
    QVERIFY2(e.Ok(), qPrintable(e.Reason));
    // Interpolated between bins: within a percent of the true c(36 m) = 294 m/s.
    QVERIFY2(std::abs(e.PhaseVelocity36 / Truth(36.0) - 1.0) < 0.01, qPrintable(QString::number(e.PhaseVelocity36)));
    QCOMPARE(e.Vs30, 1.076 * e.PhaseVelocity36);
    QCOMPARE(e.Nehrp, QStringLiteral("D"));
    QCOMPARE(e.Ec8, QStringLiteral("C"));
    QCOMPARE(Vs30Text(e), QStringLiteral("Vs30 ≈ %1 m/s (D类 / EC8 C)").arg(e.Vs30, 0, 'f', 0));
}

void TestCombinedCurve::siteClasses_data()
{
    QTest::addColumn<double>("vs30");
    QTest::addColumn<QString>("nehrp");
    QTest::addColumn<QString>("ec8");
    QTest::newRow("1500.1") << 1500.1 << "A" << "A";
    QTest::newRow("1500") << 1500.0 << "B" << "A";
    QTest::newRow("800") << 800.0 << "B" << "B";
    QTest::newRow("760") << 760.0 << "B" << "B";
    QTest::newRow("759.9") << 759.9 << "C" << "B";
    QTest::newRow("360") << 360.0 << "C" << "B";
    QTest::newRow("359.9") << 359.9 << "D" << "C";
    QTest::newRow("180") << 180.0 << "D" << "C";
    QTest::newRow("179.9") << 179.9 << "E" << "D";
}

void TestCombinedCurve::siteClasses()
{
    QFETCH(double, vs30);
    QFETCH(QString, nehrp);
    QFETCH(QString, ec8);
    QCOMPARE(NehrpClass(vs30), nehrp);
    QCOMPARE(Ec8Class(vs30), ec8);
}

void TestCombinedCurve::projectFileSurvivesDamage_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray header = "record,spacing_m,spread_m,frequency_hz,velocity_m_s,wavelength_m,coherence\n";
    QTest::newRow("not a table") << QByteArray("\x01\x02garbage");
    QTest::newRow("cut short") << header + "a.QDW,2,46,10,250";
    QTest::newRow("not a number") << header + "a.QDW,2,46,10,nan,25,0.9\n";
}

void TestCombinedCurve::projectFileSurvivesDamage()
{
    // A damaged file is reported, never half read; adding anew replaces it
    // with a complete one, and a round trip keeps every pick.
    QFETCH(QByteArray, content);
    TestProgramDir dir;
    ProjectCurve curve(dir.path());
    QFile f(curve.Path());
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    f.close();
    QVERIFY(!curve.Load());
    QVERIFY(!curve.Problem().isEmpty());
    QVERIFY(curve.Records().empty());
    const RecordPicks a = Record("a.QDW", 2.0, 46.0, 1.0);
    QVERIFY(curve.Add(a));
    QVERIFY(!curve.Add(Record("b,c.QDW", 2.0, 46.0, 0.0))); // a name the table cannot hold
    ProjectCurve again(dir.path());
    QVERIFY(again.Load());
    QCOMPARE(int(again.Records().size()), 1);
    QCOMPARE(again.Records()[0].Picks.size(), a.Picks.size());
    QCOMPARE(again.Records()[0].Picks.back().Velocity, a.Picks.back().Velocity);
}

QTEST_GUILESS_MAIN(TestCombinedCurve)
#include "tst_combinedcurve.moc"
