// zeb-record invert as the office runs it: the simulator's ground inverted to
// a profile file and a picture, and what a wrong command line, curve or
// output gives.
#include "records/RecordToolRun.h"
#include "support/TestProgramDir.h"

#include "ShotModel.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtTest>

namespace {

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// The simulator's ground as the curve command writes it: 30 picks from 5 to
/// 50 Hz with a 3 % spread, and its closing Vs30 line.
QByteArray SimulatorCurve()
{
    QByteArray csv = "wavelength_m,frequency_hz,velocity_m_s,sd_m_s,count\n";
    for (int i = 0; i < 30; ++i) {
        const double f = 5.0 * std::pow(10.0, i / 29.0);
        const double v = ShotModel::PhaseVelocity(f);
        csv += QByteArray::number(v / f, 'f', 3) + ',' + QByteArray::number(f, 'f', 4) + ','
               + QByteArray::number(v, 'f', 2) + ',' + QByteArray::number(0.03 * v, 'f', 2) + ",3\n";
    }
    return csv + "vs30_m_s,300.0,nehrp,D,ec8,C\n";
}

} // namespace

class TestInvertTool : public QObject
{
    Q_OBJECT

private slots:
    void simulatorGround();
    void refusals_data();
    void refusals();
};

void TestInvertTool::simulatorGround()
{
    TestProgramDir dir;
    const QString curve = dir.file(QStringLiteral("curve.csv"));
    QVERIFY(Write(curve, SimulatorCurve()));
    const QString profile = dir.file(QStringLiteral("profile.csv"));
    const QString png = dir.file(QStringLiteral("profile.png"));
    const ToolRun run = RunRecordTool({QStringLiteral("invert"), curve, QStringLiteral("--models"),
                                       QStringLiteral("1000"), QStringLiteral("-o"), profile, QStringLiteral("--png"),
                                       png});
    QVERIFY2(run.Code == 0, qPrintable(run.Err));
    QVERIFY(run.Out.isEmpty());

    const QList<QByteArray> lines = Read(profile).trimmed().split('\n');
    QCOMPARE(lines.size(), 1 + 4 + 2);
    QCOMPARE(lines.front(), QByteArray("depth_top_m,thickness_m,vs_m_s,vp_m_s,density_kg_m3"));
    double depth = 0.0;
    for (int i = 1; i <= 4; ++i) {
        const QList<QByteArray> f = lines[i].split(',');
        QCOMPARE(f.size(), 5);
        // Each figure is rounded to the centimetre on its own.
        QVERIFY(std::abs(f[0].toDouble() - depth) <= 0.02);
        QCOMPARE(f[1].toDouble() == 0.0, i == 4); // only the half-space, last, has thickness 0
        depth += f[1].toDouble();
    }
    QVERIFY(lines[5].startsWith("misfit,"));
    const QList<QByteArray> vs30 = lines[6].split(',');
    QCOMPARE(vs30.size(), 4);
    QCOMPARE(vs30[0], QByteArray("vs30_m_s"));
    QVERIFY(vs30[2].toDouble() <= vs30[1].toDouble() && vs30[1].toDouble() <= vs30[3].toDouble());
    qInfo("%s", Read(profile).constData());

    QCOMPARE(QImage(png).size(), QSize(1024, 600));
    // Only the two outputs: no temporary file left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // Asked again, the outputs are left as they are.
    const QByteArray before = Read(profile);
    const ToolRun again = RunRecordTool({QStringLiteral("invert"), curve, QStringLiteral("-o"), profile});
    QCOMPARE(again.Code, 73);
    QCOMPARE(Read(profile), before);
}

void TestInvertTool::refusals_data()
{
    QTest::addColumn<QByteArray>("curve");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");

    const QByteArray good = "frequency_hz,velocity_m_s\n5,400\n10,300\n20,220\n40,180\n";
    QTest::newRow("no curve named") << QByteArray() << QStringList{} << 64;
    QTest::newRow("layers 0") << good << QStringList{"--layers", "0"} << 64;
    QTest::newRow("layers 7") << good << QStringList{"--layers", "7"} << 64;
    QTest::newRow("models not a number") << good << QStringList{"--models", "many"} << 64;
    QTest::newRow("too few models") << good << QStringList{"--models", "10"} << 64;
    QTest::newRow("unknown option") << good << QStringList{"--fast"} << 64;
    QTest::newRow("one pick") << QByteArray("frequency_hz,velocity_m_s\n10,300\n") << QStringList{} << 65;
    QTest::newRow("NaN") << QByteArray("frequency_hz,velocity_m_s\n5,400\n10,nan\n20,220\n") << QStringList{} << 65;
    QTest::newRow("no velocity column") << QByteArray("frequency_hz,speed\n5,400\n10,300\n20,220\n") << QStringList{}
                                        << 65;
    QTest::newRow("empty file") << QByteArray("") << QStringList{} << 65;
    QTest::newRow("output folder missing") << good << QStringList{"-o", "missing/profile.csv"} << 74;
}

void TestInvertTool::refusals()
{
    QFETCH(QByteArray, curve);
    QFETCH(QStringList, options);
    QFETCH(int, code);

    TestProgramDir dir;
    QStringList args{QStringLiteral("invert")};
    if (code != 64 || !curve.isEmpty()) {
        const QString path = dir.file(QStringLiteral("curve.csv"));
        QVERIFY(Write(path, curve));
        args << path;
    }
    for (const QString &o : options)
        args << (o.contains('/') ? dir.file(o) : o);
    args << QStringLiteral("--models") << QStringLiteral("200");
    if (options.contains(QStringLiteral("--models")))
        args.resize(args.size() - 2);
    const ToolRun run = RunRecordTool(args);
    QCOMPARE(run.Code, code);
    QVERIFY(!run.Err.isEmpty());
}

QTEST_GUILESS_MAIN(TestInvertTool)
#include "tst_inverttool.moc"
