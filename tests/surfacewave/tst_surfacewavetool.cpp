// zeb-record's surface-wave commands as the office runs them: the forward
// model of a model file, the combined curve of a folder of shots, and what
// a wrong command line, model or output gives.
#include "instrument/InstrumentProtocol.h"
#include "records/RecordFormat.h"
#include "records/RecordToolRun.h"
#include "support/TestProgramDir.h"

#include "ShotModel.h"

#include <QFile>
#include <QtTest>

#include <map>

namespace {

const QByteArray kHeader = "thickness_m,vp_m_s,vs_m_s,density_kg_m3\n";
const QByteArray kReference = kHeader
                              + "4.0371753,418.01586,173.11833,2000\n"
                                "4.9936406,439.33887,257.74960,2000\n"
                                "0,515.15938,265.55967,2000\n";

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

/// A record file of one 24-channel simulator shot at 2 m spacing, with the
/// geophone faults planted.
bool WriteShot(const QString &path, quint32 seed, const std::map<int, SensorFault> &faults = {})
{
    UnitParams unit;
    unit.Channels = kMaxChannels;
    unit.SampleLength = 4096;
    ShotModel model(seed);
    for (const auto &[channel, fault] : faults)
        model.SetSensorFault(channel, fault);
    RecordBlocks blocks;
    RecordHeader &h = blocks.Header;
    h.ChannelCount = unit.Channels;
    h.SampleInterval = float(unit.IntervalUs);
    h.SampleLength = unit.SampleLength;
    h.TraceSpacing = 2.0f;
    model.SetGeometry(h.Offset, 2.0);
    TraceSet traces;
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        blocks.Gains[ch - 1] = unit.ChannelGainDb(ch);
        const double factor = GainFactor(blocks.Gains[ch - 1]);
        for (qint16 raw : model.Channel(unit, 1, ch))
            traces[ch - 1].append(SampleAmplitude(raw, factor));
    }
    return Write(path, EncodeRecord(blocks, traces));
}

} // namespace

class TestSurfaceWaveTool : public QObject
{
    Q_OBJECT

private slots:
    void forwardReference();
    void refusals_data();
    void refusals();
    void curveOfAFolder();
    void qcOfAShot();
};

void TestSurfaceWaveTool::forwardReference()
{
    TestProgramDir dir;
    const QString model = dir.file(QStringLiteral("model.csv"));
    QVERIFY(Write(model, kReference));
    const ToolRun r = RunRecordTool(
        {"forward", model, "--fmin", "10.96478", "--fmax", "47.86301", "--df", "36.89823", "--modes", "3"});
    QCOMPARE(r.Code, 0);
    QList<QByteArray> lines = r.Out.trimmed().split('\n');
    QCOMPARE(lines.takeFirst(), QByteArray("frequency_hz,mode,velocity_m_s"));
    QMap<QPair<double, int>, double> got;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(',');
        QCOMPARE(f.size(), 3);
        got[{f[0].toDouble(), f[1].toInt()}] = f[2].toDouble();
    }
    QVERIFY(std::abs(got.value({10.9648, 0}) / 223.187 - 1.0) < 1e-5);
    QVERIFY(std::abs(got.value({47.863, 0}) / 163.669 - 1.0) < 1e-5);
    // Higher modes follow their fundamental at each frequency, slower ones first.
    QVERIFY(got.value({47.863, 1}) > got.value({47.863, 0}));
    QVERIFY(got.value({47.863, 2}) > got.value({47.863, 1}));
    QVERIFY(got.size() >= 4);
}

void TestSurfaceWaveTool::refusals_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("model"); // written and named first unless empty
    QTest::addColumn<QStringList>("options"); // "@name": a file of that name in the test's folder
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QString forward = QStringLiteral("forward");
    QTest::newRow("forward, no model") << forward << QByteArray() << QStringList{"--fmin", "2"} << 64 << "usage";
    QTest::newRow("fmax below fmin") << forward << kReference << QStringList{"--fmin", "20", "--fmax", "10"} << 64
                                     << "usage";
    QTest::newRow("zero step") << forward << kReference << QStringList{"--df", "0"} << 64 << "usage";
    QTest::newRow("no modes") << forward << kReference << QStringList{"--modes", "0"} << 64 << "usage";
    QTest::newRow("unknown option") << forward << kReference << QStringList{"--fast"} << 64 << "usage";
    QTest::newRow("Vp too low") << forward << kHeader + "0,300,300,2000\n" << QStringList{} << 65 << "Vp";
    QTest::newRow("no half-space") << forward << kHeader + "5,800,300,2000\n" << QStringList{} << 65 << "half-space";
    QTest::newRow("not a table") << forward << QByteArray("hello\n") << QStringList{} << 65 << "header";
    QTest::newRow("too many modes") << forward << kReference << QStringList{"--modes", "500"} << 65 << "modes";
    QTest::newRow("curve, no such folder") << "curve" << QByteArray() << QStringList{"@nothing"} << 1 << "cannot open";
    QTest::newRow("qc, no file") << "qc" << QByteArray() << QStringList{} << 64 << "usage";
    QTest::newRow("qc, no such file") << "qc" << QByteArray() << QStringList{"@NONE.QDW"} << 1 << "cannot open";
}

void TestSurfaceWaveTool::refusals()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, model);
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, message);
    TestProgramDir dir;
    QStringList args{command};
    if (!model.isEmpty()) {
        const QString path = dir.file(QStringLiteral("model.csv"));
        QVERIFY(Write(path, model));
        args << path;
    }
    for (const QString &o : options)
        args << (o.startsWith(QLatin1Char('@')) ? dir.file(o.mid(1)) : o);
    const ToolRun r = RunRecordTool(args);
    QCOMPARE(r.Code, code);
    QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
    QVERIFY(r.Out.isEmpty());
}

void TestSurfaceWaveTool::curveOfAFolder()
{
    TestProgramDir dir;
    const QString folder = dir.file(QStringLiteral("LINE1.PRO"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteShot(folder + QStringLiteral("/A.QDW"), 3));
    QVERIFY(WriteShot(folder + QStringLiteral("/B.QDW"), 4));
    QVERIFY(Write(folder + QStringLiteral("/notes.txt"), "not a record\n")); // a folder's other files stay out

    const QString out = dir.file(QStringLiteral("curve.csv"));
    const ToolRun r = RunRecordTool({QStringLiteral("curve"), folder, QStringLiteral("-o"), out});
    QVERIFY2(r.Code == 0, qPrintable(r.Err));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    QList<QByteArray> lines = written.trimmed().split('\n');
    QCOMPARE(lines.takeFirst(), QByteArray("wavelength_m,frequency_hz,velocity_m_s,sd_m_s,count"));
    const QByteArray last = lines.takeLast();
    QVERIFY2(last.startsWith("vs30_m_s,"), last.constData());
    QVERIFY(lines.size() >= 5);
    double previous = 0.0;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> v = line.split(',');
        QCOMPARE(v.size(), 5);
        QVERIFY(v[0].toDouble() > previous);
        previous = v[0].toDouble();
        QVERIFY(std::abs(v[1].toDouble() * v[0].toDouble() / v[2].toDouble() - 1.0) < 1e-3);
        QVERIFY(v[4].toInt() >= 2);
    }
    // A 46 m spread reaches 36 m; the simulator's ground gives a value or says why not.
    const QList<QByteArray> vs30 = last.split(',');
    QVERIFY(vs30.size() == 6 ? vs30[2] == "nehrp" && vs30[4] == "ec8" : vs30.size() == 3 && vs30[1] == "none");

    // Standard output gives the same; an existing output is never replaced.
    const ToolRun again = RunRecordTool({QStringLiteral("curve"), folder});
    QCOMPARE(again.Code, 0);
    QCOMPARE(again.Out, written);
    const ToolRun kept = RunRecordTool({QStringLiteral("curve"), folder, QStringLiteral("-o"), out});
    QCOMPARE(kept.Code, 73);
    QVERIFY(f.seek(0));
    QCOMPARE(f.readAll(), written);
}

// Every channel of a shot with planted faults: one line each, the planted
// flag on its channel and nothing elsewhere.
void TestSurfaceWaveTool::qcOfAShot()
{
    TestProgramDir dir;
    std::map<int, SensorFault> faults;
    faults[3].Dead = true;
    faults[8].Overdrive = 2.0;
    faults[10].Reversed = true;
    faults[15].HumMv = 0.5;
    faults[20].NoiseMv = 1.0;
    const std::map<int, QByteArray> expected{
        {3, "dead"}, {8, "clipped"}, {10, "reversed"}, {15, "hum"}, {20, "noisy"}};
    const QString shot = dir.file(QStringLiteral("FAULTS.QDW"));
    QVERIFY(WriteShot(shot, 5, faults));

    const ToolRun r = RunRecordTool({QStringLiteral("qc"), shot});
    QCOMPARE(r.Code, 0);
    QList<QByteArray> lines = r.Out.trimmed().split('\n');
    QCOMPARE(lines.takeFirst(), QByteArray("channel,rms,peak,flags"));
    QCOMPARE(lines.size(), kMaxChannels);
    for (int c = 1; c <= kMaxChannels; ++c) {
        const QList<QByteArray> f = lines.at(c - 1).split(',');
        QCOMPARE(f.size(), 4);
        QCOMPARE(f.at(0).toInt(), c);
        const auto it = expected.find(c);
        const bool dead = it != expected.end() && it->second == "dead";
        QVERIFY2((dead || f.at(1).toDouble() > 0) && f.at(2).toDouble() >= f.at(1).toDouble(),
                 lines.at(c - 1).constData());
        QCOMPARE(f.at(3), it == expected.end() ? QByteArray() : it->second);
    }
}

QTEST_GUILESS_MAIN(TestSurfaceWaveTool)
#include "tst_surfacewavetool.moc"
