// zeb-record dispersion as the office runs it: the picked curve of a
// simulator shot as CSV, the picture as PNG without a display, the bounds
// from the command line, and the tool's exit codes for what goes wrong.
#include "instrument/InstrumentProtocol.h"
#include "records/RecordFormat.h"
#include "records/RecordToolRun.h"
#include "support/TestProgramDir.h"

#include "ShotModel.h"

#include <QFile>
#include <QImage>
#include <QtTest>

namespace {

ToolRun RunTool(const QStringList &args)
{
    return RunRecordTool(QStringList{QStringLiteral("dispersion")} + args);
}

/// A record file of one 24-channel simulator shot (2048 samples at 500 us).
bool WriteShot(const QString &path, float spacing = 2.0f)
{
    UnitParams unit;
    unit.Channels = kMaxChannels;
    unit.SampleLength = 2048;
    ShotModel model(3);
    RecordBlocks blocks;
    RecordHeader &h = blocks.Header;
    h.ChannelCount = unit.Channels;
    h.SampleInterval = float(unit.IntervalUs);
    h.SampleLength = unit.SampleLength;
    h.TraceSpacing = spacing;
    model.SetGeometry(h.Offset, 2.0);
    TraceSet traces;
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        blocks.Gains[ch - 1] = unit.ChannelGainDb(ch);
        const double factor = GainFactor(blocks.Gains[ch - 1]);
        for (qint16 raw : model.Channel(unit, 1, ch))
            traces[ch - 1].append(SampleAmplitude(raw, factor));
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(EncodeRecord(blocks, traces)) > 0;
}

struct Row
{
    double Frequency;
    double Velocity;
    double Wavelength;
};

/// The CSV rows after the header; empty on any malformed line.
QList<Row> ParseCurve(const QByteArray &csv)
{
    QList<QByteArray> lines = csv.split('\n');
    if (lines.isEmpty() || lines.takeFirst() != "frequency_hz,velocity_m_s,wavelength_m")
        return {};
    QList<Row> rows;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> cells = line.split(',');
        if (cells.size() != 3)
            return {};
        rows.append({cells[0].toDouble(), cells[1].toDouble(), cells[2].toDouble()});
    }
    return rows;
}

} // namespace

class TstDispersionTool : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TestProgramDir>(); }
    void cleanup() { m_dir.reset(); }

    void curveAndPictureOfAShot()
    {
        const QString record = m_dir->file(QStringLiteral("S.QDW"));
        const QString png = m_dir->file(QStringLiteral("S.png"));
        QVERIFY(WriteShot(record));
        const ToolRun r = RunTool({record, QStringLiteral("-o"), png});
        QCOMPARE(r.Code, 0);
        QVERIFY2(r.Err.contains(QStringLiteral("resolvable wavelengths: 4.0 to 46.0 m")), qPrintable(r.Err));
        const QList<Row> rows = ParseCurve(r.Out);
        int inBand = 0;
        for (const Row &row : rows) {
            QVERIFY(std::abs(row.Wavelength - row.Velocity / row.Frequency) < 0.002); // both printed rounded
            if (row.Frequency >= 10.0 && row.Frequency <= 40.0) {
                ++inBand;
                QVERIFY(std::abs(row.Velocity / ShotModel::PhaseVelocity(row.Frequency) - 1.0) <= 0.05);
            }
        }
        QCOMPARE(inBand, 31);

        const QImage picture(png);
        QCOMPARE(picture.size(), QSize(1024, 640));
        // Mostly the colour map: the field is neither blank nor one colour.
        QSet<QRgb> colours;
        for (int x = 100; x < 900; x += 7)
            colours.insert(picture.pixel(x, 320));
        QVERIFY(colours.size() > 20);
    }

    void boundsFromTheCommandLine()
    {
        const QString record = m_dir->file(QStringLiteral("S.QDW"));
        QVERIFY(WriteShot(record));
        const ToolRun r = RunTool({QStringLiteral("--fmin"), QStringLiteral("10"), QStringLiteral("--fmax"),
                               QStringLiteral("30"), QStringLiteral("--df"), QStringLiteral("2.5"), record,
                               QStringLiteral("--vmin"), QStringLiteral("100"), QStringLiteral("--vmax"),
                               QStringLiteral("500"), QStringLiteral("--dv"), QStringLiteral("2")});
        QCOMPARE(r.Code, 0);
        QList<double> frequencies;
        for (const Row &row : ParseCurve(r.Out)) {
            frequencies << row.Frequency;
            QVERIFY(row.Velocity > 100.0 && row.Velocity < 500.0);
        }
        QCOMPARE(frequencies, (QList<double>{10, 12.5, 15, 17.5, 20, 22.5, 25, 27.5, 30}));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString usage = QStringLiteral("usage:");
        QTest::newRow("no file") << QStringList{} << 64 << usage;
        QTest::newRow("two files") << QStringList{"@", "@"} << 64 << usage;
        QTest::newRow("unknown option") << QStringList{"@", "--fast"} << 64 << usage;
        QTest::newRow("missing value") << QStringList{"@", "--dv"} << 64 << usage;
        QTest::newRow("not a number") << QStringList{"@", "--fmin", "low"} << 64 << usage;
        QTest::newRow("image twice") << QStringList{"@", "-o", "a.png", "-o", "b.png"} << 64 << usage;
        QTest::newRow("bounds crossed") << QStringList{"@", "--fmin", "50", "--fmax", "10"} << 64
                                        << QStringLiteral("频率或速度范围设置无效！");
        QTest::newRow("no spacing") << QStringList{"#"} << 65 << QStringLiteral("道间距无效，无法计算频散图！");
        QTest::newRow("above Nyquist") << QStringList{"@", "--fmin", "2000", "--fmax", "3000"} << 65
                                       << QStringLiteral("频率范围超出采样所能分辨的范围，无法计算频散图！");
        QTest::newRow("no record") << QStringList{"missing.QDW"} << 1
                                   << QStringLiteral("打开文件失败，无法识别的文件格式！");
        QTest::newRow("image unwritable") << QStringList{"@", "-o", "no-such-folder/x.png"} << 74
                                          << QStringLiteral("cannot write");
    }

    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        // "@" stands for a good record, "#" for one whose spacing is 0.
        QVERIFY(WriteShot(m_dir->file(QStringLiteral("good.QDW"))));
        QVERIFY(WriteShot(m_dir->file(QStringLiteral("flat.QDW")), 0.0f));
        for (QString &a : args) {
            if (a == QLatin1String("@"))
                a = m_dir->file(QStringLiteral("good.QDW"));
            else if (a == QLatin1String("#"))
                a = m_dir->file(QStringLiteral("flat.QDW"));
            else if (a.contains(QLatin1Char('.')))
                a = m_dir->file(a);
        }
        const ToolRun r = RunTool(args);
        QCOMPARE(r.Code, code);
        QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
        QVERIFY(r.Out.isEmpty());
    }

private:
    std::unique_ptr<TestProgramDir> m_dir;
};

QTEST_GUILESS_MAIN(TstDispersionTool)
#include "tst_dispersiontool.moc"
