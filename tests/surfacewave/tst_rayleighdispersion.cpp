// The forward model against answers known from outside the code: the
// closed-form Rayleigh velocity of a half-space, a three-layer reference
// from another program, a brute-force count of roots on a very fine grid,
// the models that break simple searches, and the secular function's second
// form, built independently, giving the same roots.
#include "SecularProbe.h"
#include "surfacewave/LayeredModel.h"
#include "surfacewave/RayleighDispersion.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

Q_DECLARE_METATYPE(std::vector<Layer>)

namespace {

constexpr double kDensity = 2000.0;

std::vector<Layer> Reference()
{
    return {{4.0371753, 418.01586, 173.11833, kDensity},
            {4.9936406, 439.33887, 257.74960, kDensity},
            {0.0, 515.15938, 265.55967, kDensity}};
}

std::vector<double> Sweep(double from, double to, double step)
{
    std::vector<double> f;
    for (double x = from; x <= to + 1e-9; x += step)
        f.push_back(x);
    return f;
}

/// Sign changes of the secular function on an even grid far finer than the
/// search's own: the roots a search must not lose.
int BruteForceRoots(const LayeredModel &m, double frequency, int points)
{
    const double lo = 0.87 * m.SlowestVs();
    const double hi = m.HalfSpace().Vs;
    int count = 0;
    double before = RayleighSecular(m, frequency, lo);
    for (int i = 1; i < points; ++i) {
        const double now = RayleighSecular(m, frequency, lo + (hi - lo) * i / points);
        if (now != 0.0 && before != 0.0 && (now > 0.0) != (before > 0.0))
            ++count;
        before = now;
    }
    return count;
}

/// What differs between the roots of form a in model ma and of form b in mb
/// at frequency f, each seen as a sign change on a grid of steps and
/// bisected to 1e-12 on its own form's sign: empty when both see the same
/// roots, at least one, nothing non-finite, and each pair within 1e-8.
QString RootsDiffer(SecularForm fa, const LayeredModel &ma, SecularForm fb, const LayeredModel &mb, double f,
                    int steps)
{
    const SignChanges a = FindSignChanges(fa, ma, f, steps);
    const SignChanges b = FindSignChanges(fb, mb, f, steps);
    if (a.NonFinite != 0 || b.NonFinite != 0)
        return QStringLiteral("%1 and %2 values not finite").arg(a.NonFinite).arg(b.NonFinite);
    if (a.Brackets.size() != b.Brackets.size() || a.Brackets.empty())
        return QStringLiteral("%1 roots against %2").arg(a.Brackets.size()).arg(b.Brackets.size());
    for (size_t r = 0; r < a.Brackets.size(); ++r) {
        const double x = Bisect(fa, ma, f, a.Brackets[r], 1e-12);
        const double y = Bisect(fb, mb, f, b.Brackets[r], 1e-12);
        if (!(std::abs(x - y) <= 1e-8 * x))
            return QStringLiteral("root %1: %2 and %3 m/s").arg(r + 1).arg(x, 0, 'g', 15).arg(y, 0, 'g', 15);
    }
    return {};
}

} // namespace

class TestRayleighDispersion : public QObject
{
    Q_OBJECT

private slots:
    void halfSpace_data();
    void halfSpace();
    void referenceModel();
    void hardModels_data();
    void hardModels();
    void answersDoNotDependOnOrder();
    void bothFormsAgree_data();
    void bothFormsAgree();
    void cutLayersChangeNothing_data();
    void cutLayersChangeNothing();
    void badModels_data();
    void badModels();
    void modelFiles_data();
    void modelFiles();
};

void TestRayleighDispersion::halfSpace_data()
{
    QTest::addColumn<double>("vs");
    QTest::addColumn<double>("density");
    // Poisson's ratio 0.25 (Vp = √3 Vs): c/Vs = √(2 − 2/√3) = 0.9194016…, at any scale.
    QTest::newRow("soil") << 180.0 << 1800.0;
    QTest::newRow("rock") << 2500.0 << 2700.0;
}

void TestRayleighDispersion::halfSpace()
{
    QFETCH(double, vs);
    QFETCH(double, density);
    const LayeredModel m({{0.0, std::sqrt(3.0) * vs, vs, density}});
    const ModalCurves c = RayleighPhaseVelocities(m, {1.0, 50.0}, 2);
    QVERIFY2(c.Ok(), qPrintable(c.Problem));
    for (int i = 0; i < 2; ++i) {
        QVERIFY(std::abs(c.Velocities[0][size_t(i)] / vs - 0.919402) < 1e-6);
        QVERIFY(!c.Has(1, i)); // a half-space has one mode only
    }
}

void TestRayleighDispersion::referenceModel()
{
    const ModalCurves c = RayleighPhaseVelocities(LayeredModel(Reference()), {0.575440, 10.96478, 47.86301});
    QVERIFY2(c.Ok(), qPrintable(c.Problem));
    const double expected[] = {245.084, 223.187, 163.669};
    for (int i = 0; i < 3; ++i) {
        const double got = c.Velocities[0][size_t(i)];
        QVERIFY2(std::abs(got / expected[i] - 1.0) < 1e-5,
                 qPrintable(QStringLiteral("%1 Hz: %2 m/s").arg(c.Frequencies[size_t(i)]).arg(got, 0, 'f', 4)));
    }
}

void TestRayleighDispersion::hardModels_data()
{
    QTest::addColumn<std::vector<Layer>>("layers");
    for (const NamedModel &n : HardModels())
        QTest::newRow(n.Name) << n.Layers;
}

void TestRayleighDispersion::hardModels()
{
    QFETCH(std::vector<Layer>, layers);
    const LayeredModel m(layers);
    QVERIFY2(m.Ok(), qPrintable(m.Problem()));
    const std::vector<double> f = Sweep(1.0, 100.0, 0.5);
    const int modes = 5;
    const ModalCurves c = RayleighPhaseVelocities(m, f, modes);
    QVERIFY2(c.Ok(), qPrintable(c.Problem));
    const double slowest = m.SlowestVs();
    const double top = m.HalfSpace().Vs;
    for (size_t i = 0; i < f.size(); ++i) {
        for (int mode = 0; mode < modes; ++mode) {
            if (!c.Has(mode, int(i)))
                continue;
            const double v = c.Velocities[size_t(mode)][i];
            const QString where = QStringLiteral("mode %1 at %2 Hz: %3 m/s").arg(mode).arg(f[i]).arg(v);
            QVERIFY2(v > 0.87 * slowest && v < top, qPrintable(where));
            QVERIFY2(mode == 0 || (c.Has(mode - 1, int(i)) && c.Velocities[size_t(mode - 1)][i] < v),
                     qPrintable(where));
            // A true root: the function changes sign across it. Refined to
            // 1e-9, but a thin stiff layer costs the function itself about
            // eight digits (its two interfaces nearly cancel), so the sign is
            // only sure 1e-8 away.
            const double below = RayleighSecular(m, f[i], v * (1.0 - 1e-8));
            const double above = RayleighSecular(m, f[i], std::min(top, v * (1.0 + 1e-8)));
            QVERIFY2(below == 0.0 || above == 0.0 || (below > 0.0) != (above > 0.0), qPrintable(where));
        }
    }
    // Continuous: halfway between two frequencies each mode lies between its
    // velocities there (within 1 %, for a curve that bends). A search that
    // lost a root would hand the next mode's velocity to this one.
    const std::vector<double> mid = Sweep(1.25, 99.75, 0.5);
    const ModalCurves h = RayleighPhaseVelocities(m, mid, modes);
    for (size_t i = 0; i + 1 < f.size(); ++i) {
        for (int mode = 0; mode < modes; ++mode) {
            if (!c.Has(mode, int(i)) || !c.Has(mode, int(i + 1)))
                continue;
            const double a = c.Velocities[size_t(mode)][i];
            const double b = c.Velocities[size_t(mode)][i + 1];
            const double v = h.Velocities[size_t(mode)][i];
            QVERIFY2(v > 0.99 * std::min(a, b) && v < 1.01 * std::max(a, b),
                     qPrintable(QStringLiteral("mode %1 at %2 Hz: %3 m/s between %4 and %5")
                                    .arg(mode).arg(mid[i]).arg(v).arg(a).arg(b)));
        }
    }

    // Every root a grid of 100 000 points sees, the search finds (and no more).
    for (double at : {7.0, 33.0, 90.0}) {
        const ModalCurves one = RayleighPhaseVelocities(m, {at}, 50);
        int found = 0;
        while (found < 50 && one.Has(found, 0))
            ++found;
        QCOMPARE(found, BruteForceRoots(m, at, 100000));
    }
}

void TestRayleighDispersion::answersDoNotDependOnOrder()
{
    // Callers pass frequencies in any order and get the same bits at each.
    const LayeredModel m(Reference());
    const std::vector<double> up = Sweep(2.0, 60.0, 2.0);
    const std::vector<double> down(up.rbegin(), up.rend());
    const ModalCurves a = RayleighPhaseVelocities(m, up, 3);
    const ModalCurves b = RayleighPhaseVelocities(m, down, 3);
    for (int mode = 0; mode < 3; ++mode)
        for (size_t i = 0; i < up.size(); ++i) {
            const double x = a.Velocities[size_t(mode)][i];
            const double y = b.Velocities[size_t(mode)][up.size() - 1 - i];
            QVERIFY(x == y || (std::isnan(x) && std::isnan(y)));
        }
}

void TestRayleighDispersion::bothFormsAgree_data()
{
    hardModels_data();
    QTest::newRow("half-space") << std::vector<Layer>{{0, std::sqrt(3.0) * 300, 300, 2000}};
    // Random models whose half-space is the fastest layer: over a slower
    // one, every mode may be leaky and there would be nothing to compare.
    std::mt19937_64 rng(7);
    for (int i = 1; i <= 4;) {
        const std::vector<Layer> layers = RandomModel(rng);
        if (std::all_of(layers.begin(), layers.end(), [&](const Layer &l) { return l.Vs <= layers.back().Vs; }))
            QTest::addRow("random model %d", i++) << layers;
    }
}

void TestRayleighDispersion::bothFormsAgree()
{
    // The fast delta matrix and Dunkin's six minors share no arithmetic past
    // the cosh and sinh terms, so a wrong entry in either moves or loses
    // roots. Each root is bisected on each form's own sign to 1e-12 and the
    // two must agree to 1e-8, where a wrong entry moves them by percents. The
    // rows need fewer digits than that: the thin stiff layer costs each form
    // about nine (a model against itself with every layer cut in two moves
    // its roots by up to 8e-10). Two thin stiff lids over thick soft soil can
    // cost the fast form 3e-8 (bench_secular finds one in 300 random models),
    // so the random rows are fixed by their seed, not drawn anew.
    QFETCH(std::vector<Layer>, layers);
    const LayeredModel m(layers);
    for (double f : {3.0, 25.0, 120.0}) {
        const QString differ = RootsDiffer(RayleighSecular, m, RayleighSecularDunkin, m, f, 3000);
        QVERIFY2(differ.isEmpty(), qPrintable(QStringLiteral("%1 Hz, %2").arg(f).arg(differ)));
    }
}

void TestRayleighDispersion::cutLayersChangeNothing_data()
{
    hardModels_data();
}

void TestRayleighDispersion::cutLayersChangeNothing()
{
    // A layer cut in two is the same ground. Both forms share the cosh and
    // sinh terms, so only this sees a fault there: the cut halves k·r·h and
    // moves the terms between the ways they are computed (short and long
    // decays, 0.5 Hz to 120 Hz). Roots bisected to 1e-12 must stay within
    // 1e-8; rounding moves these models' roots by under 1e-9.
    QFETCH(std::vector<Layer>, layers);
    std::vector<Layer> cut;
    for (const Layer &l : layers) {
        Layer half = l;
        half.Thickness /= 2.0;
        cut.insert(cut.end(), l.Thickness > 0.0 ? 2 : 1, l.Thickness > 0.0 ? half : l);
    }
    const LayeredModel whole(layers);
    const LayeredModel halves(cut);
    for (SecularForm form : {RayleighSecular, RayleighSecularDunkin}) {
        for (double f : {0.5, 4.0, 30.0, 120.0}) {
            const QString differ = RootsDiffer(form, whole, form, halves, f, 2000);
            QVERIFY2(differ.isEmpty(), qPrintable(QStringLiteral("%1 form at %2 Hz, %3")
                                                      .arg(form == RayleighSecular ? "fast" : "Dunkin").arg(f).arg(differ)));
        }
    }
}

void TestRayleighDispersion::badModels_data()
{
    QTest::addColumn<std::vector<Layer>>("layers");
    QTest::addColumn<QString>("reason");
    const double nan = std::nan("");
    QTest::newRow("no layers") << std::vector<Layer>{} << "no half-space";
    QTest::newRow("no half-space") << std::vector<Layer>{{5, 500, 200, 1800}} << "no half-space";
    QTest::newRow("zero thickness") << std::vector<Layer>{{0, 500, 200, 1800}, {0, 900, 400, 2000}} << "thickness";
    QTest::newRow("negative thickness") << std::vector<Layer>{{-2, 500, 200, 1800}, {0, 900, 400, 2000}}
                                        << "thickness";
    QTest::newRow("Vs zero") << std::vector<Layer>{{5, 500, 0, 1800}, {0, 900, 400, 2000}} << "Vs";
    QTest::newRow("Vp at sqrt2 Vs") << std::vector<Layer>{{0, std::sqrt(2.0) * 300, 300, 1800}} << "Vp";
    QTest::newRow("density zero") << std::vector<Layer>{{5, 500, 200, 0}, {0, 900, 400, 2000}} << "density";
    QTest::newRow("not a number") << std::vector<Layer>{{5, 500, nan, 1800}, {0, 900, 400, 2000}} << "not a number";
}

void TestRayleighDispersion::badModels()
{
    QFETCH(std::vector<Layer>, layers);
    QFETCH(QString, reason);
    const LayeredModel m(layers);
    QVERIFY(!m.Ok());
    QVERIFY2(m.Problem().contains(reason), qPrintable(m.Problem()));
    const ModalCurves c = RayleighPhaseVelocities(m, {10.0});
    QCOMPARE(c.Problem, m.Problem());
    QVERIFY(c.Velocities.empty());
    QVERIFY(std::isnan(RayleighSecular(m, 10.0, 100.0)));
    QVERIFY(std::isnan(RayleighSecularDunkin(m, 10.0, 100.0)));
}

void TestRayleighDispersion::modelFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason"); // empty: accepted
    const QByteArray header = "thickness_m,vp_m_s,vs_m_s,density_kg_m3\n";
    QTest::newRow("good, CRLF and blank lines") << header + "4,400,170,1900\r\n\n0,800,300,2000\r\n" << QString();
    QTest::newRow("empty") << QByteArray() << "header";
    QTest::newRow("wrong header") << QByteArray("h,vp,vs,rho\n0,800,300,2000\n") << "line 1";
    QTest::newRow("three fields") << header + "4,400,170\n0,800,300,2000\n" << "line 2";
    QTest::newRow("a word") << header + "4,400,slow,1900\n0,800,300,2000\n" << "slow";
    QTest::newRow("infinite") << header + "inf,400,170,1900\n0,800,300,2000\n" << "not a number";
}

void TestRayleighDispersion::modelFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    const LayeredModel m = ParseModelCsv(text);
    if (reason.isEmpty()) {
        QVERIFY2(m.Ok(), qPrintable(m.Problem()));
        QCOMPARE(m.LayerCount(), 2);
        QCOMPARE(m.Layers()[0].Vs, 170.0);
        return;
    }
    QVERIFY(!m.Ok());
    QVERIFY2(m.Problem().contains(reason), qPrintable(m.Problem()));
}

QTEST_GUILESS_MAIN(TestRayleighDispersion)
#include "tst_rayleighdispersion.moc"
