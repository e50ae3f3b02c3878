// Records of other instruments as the record tool takes them: SEG-2 and
// Seismic Unix files built here from the published layouts (not with the
// program's writers), placed on a spread or refused with a reason that
// names the trace.
#include "RecordTestUtil.h"
#include "RecordToolRun.h"
#include "support/TestProgramDir.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QtTest>

namespace {

/// One trace of a SEG-2 file: its strings ("KEYWORD value") and samples.
struct Seg2Trace
{
    QList<QByteArray> Strings;
    QVector<double> Samples;
    quint8 Format = 4; ///< 1 int16, 3 20-bit packed (a word each: refused anyway), 4 float32
};

class Seg2Builder
{
public:
    explicit Seg2Builder(bool bigEndian)
        : m_big(bigEndian)
    {
    }

    QByteArray Build(const QList<QByteArray> &fileStrings, const QList<Seg2Trace> &traces) const
    {
        const int n = int(traces.size());
        QByteArray out(32, '\0');
        put16(out, 0, 0x3a55);
        put16(out, 2, 1);
        put16(out, 4, quint16(4 * n));
        put16(out, 6, quint16(n));
        out[8] = 1;
        out[11] = 1;
        out[12] = '\n';
        const QByteArray strings = stringList(fileStrings);
        qint64 at = 32 + 4 * n + strings.size();
        QByteArray pointers, blocks;
        for (const Seg2Trace &t : traces) {
            const QByteArray ts = stringList(t.Strings);
            QByteArray data;
            for (double v : t.Samples)
                data += sample(v, t.Format);
            QByteArray block(32, '\0');
            put16(block, 0, 0x4422);
            put16(block, 2, quint16(32 + ts.size()));
            put32(block, 4, quint32(data.size()));
            put32(block, 8, quint32(t.Samples.size()));
            block[12] = char(t.Format);
            block += ts + data;
            QByteArray pointer(4, '\0');
            put32(pointer, 0, quint32(at));
            pointers += pointer;
            blocks += block;
            at += block.size();
        }
        return out + pointers + strings + blocks;
    }

private:
    template <typename T>
    void put(QByteArray &b, int at, T v) const
    {
        m_big ? qToBigEndian(v, b.data() + at) : qToLittleEndian(v, b.data() + at);
    }
    void put16(QByteArray &b, int at, quint16 v) const { put(b, at, v); }
    void put32(QByteArray &b, int at, quint32 v) const { put(b, at, v); }
    QByteArray stringList(const QList<QByteArray> &strings) const
    {
        QByteArray out;
        for (const QByteArray &s : strings) {
            QByteArray entry(2, '\0');
            put16(entry, 0, quint16(s.size() + 3));
            out += entry + s + '\0';
        }
        out += QByteArray(2, '\0');
        return out + QByteArray(-out.size() & 3, '\0');
    }
    QByteArray sample(double v, quint8 format) const
    {
        QByteArray b(format == 1 ? 2 : 4, '\0');
        if (format == 1)
            put16(b, 0, quint16(qint16(v)));
        else if (format == 3)
            put32(b, 0, quint32(qint32(v)));
        else
            put(b, 0, float(v));
        return b;
    }
    bool m_big;
};

/// A spread of traces at the given receiver positions, 8 samples each (ch × 10 + i).
QList<Seg2Trace> spread(const QList<double> &xs, const QByteArray &interval = "0.0005")
{
    QList<Seg2Trace> traces;
    for (int ch = 1; ch <= xs.size(); ++ch) {
        Seg2Trace t;
        t.Strings = {"DELAY 0", "RECEIVER_LOCATION " + QByteArray::number(xs[ch - 1]), "SAMPLE_INTERVAL " + interval,
                     "SOURCE_LOCATION 0"};
        for (int i = 0; i < 8; ++i)
            t.Samples << ch * 10 + i;
        traces << t;
    }
    return traces;
}

/// A Seismic Unix file: little-endian 240-byte trace headers, float samples.
QByteArray suFile(const QList<int> &groupCm, const QList<int> &offsets, const QList<int> &intervals)
{
    QByteArray out;
    for (int i = 0; i < groupCm.size(); ++i) {
        QByteArray h(240, '\0');
        qToLittleEndian<qint32>(i + 1, h.data());
        qToLittleEndian<qint32>(offsets[i], h.data() + 36);
        qToLittleEndian<qint16>(-100, h.data() + 70);
        qToLittleEndian<qint32>(groupCm[i], h.data() + 80);
        qToLittleEndian<quint16>(16, h.data() + 114);
        qToLittleEndian<quint16>(quint16(intervals[i]), h.data() + 116);
        QByteArray data(16 * 4, '\0');
        for (int k = 0; k < 16; ++k)
            qToLittleEndian<float>(float(i) + k * 0.5f, data.data() + 4 * k);
        out += h + data;
    }
    return out;
}

} // namespace

class TestRecordImport : public QObject
{
    Q_OBJECT

private slots:
    void foreignFilesArePlacedOnTheirSpread_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QJsonObject>("header"); // fields info must report
        QTest::addColumn<int>("lines");          // of the dump, the channel line first
        QTest::addColumn<int>("at");
        QTest::addColumn<QByteArray>("line");    // the dump's line at
        // Big-endian, 16-bit samples with a descaling factor, the source
        // stated once for the file and the spread recorded from its far end.
        QList<Seg2Trace> traces = spread({17.5, 16, 14.5, 13});
        for (Seg2Trace &t : traces) {
            t.Format = 1;
            t.Strings.removeLast();
            t.Strings << "DESCALING_FACTOR 0.5" << "STACK 4";
        }
        QTest::newRow("SEG-2")
            << QStringLiteral("F.sg2")
            << Seg2Builder(true).Build({"ACQUISITION_DATE 02/11/2023", "ACQUISITION_TIME 8:09:10", "JOB_ID LAKE",
                                        "SOURCE_LOCATION 10.0 0 0"},
                                       traces)
            << QJsonObject{{"channelCount", 4}, {"traceOrder", 0}, {"offsetM", 3.0}, {"traceSpacingM", 1.5},
                           {"sampleIntervalUs", 500.0}, {"sampleLength", 8}, {"date", "2023-11-02"},
                           {"time", "08:09:10"}, {"projectName", "LAKE"}}
            << 9 << 3 << QByteArray("6,11,16,21"); // (ch × 10 + 2) × 0.5
        const QJsonObject su{{"channelCount", 3}, {"traceOrder", 1}, {"sampleIntervalUs", 500.0}, {"offsetM", 3.0}};
        QTest::newRow("SU coordinates") << QStringLiteral("S.su") << suFile({300, 450, 600}, {3, 4, 6}, {500, 500, 500})
                                        << su << 17 << 16 << QByteArray("7.5,8.5,9.5");
        QTest::newRow("SU offsets only") << QStringLiteral("S.su") << suFile({0, 0, 0}, {3, 5, 7}, {500, 500, 500})
                                         << su << 17 << 16 << QByteArray("7.5,8.5,9.5");
    }

    void foreignFilesArePlacedOnTheirSpread()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(QJsonObject, header);
        QFETCH(int, lines);
        QFETCH(int, at);
        QFETCH(QByteArray, line);
        TestProgramDir dir;
        const QString path = dir.file(name);
        QVERIFY(WriteBytes(path, file));

        const ToolRun info = RunRecordTool({QStringLiteral("info"), path});
        QVERIFY2(info.Code == 0, qPrintable(info.Err));
        const QJsonObject h = QJsonDocument::fromJson(info.Out).object().value(QStringLiteral("header")).toObject();
        for (auto it = header.begin(); it != header.end(); ++it)
            QVERIFY2(h.value(it.key()) == it.value(),
                     qPrintable(it.key() + QLatin1Char(' ') + h.value(it.key()).toVariant().toString()));

        const ToolRun dump = RunRecordTool({QStringLiteral("dump"), path});
        QCOMPARE(dump.Code, 0);
        const QList<QByteArray> dumped = dump.Out.trimmed().split('\n');
        QCOMPARE(dumped.size(), lines);
        QCOMPARE(dumped[at], line);
        const QString last = QString::number(header.value(QStringLiteral("channelCount")).toInt());
        QCOMPARE(RunRecordTool({QStringLiteral("spectrum"), path, QStringLiteral("--channel"), last}).Code, 0);
    }

    void foreignFilesTheToolCannotPlaceAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const auto row = [](const char *title, const QByteArray &file, int code, const char *says,
                            const char *name = "X.sg2") {
            QTest::newRow(title) << QString::fromLatin1(name) << file << code << QString::fromUtf8(says);
        };
        // A little-endian spread at xs, changed by change before it is built.
        const auto le = [](const QList<double> &xs, void (*change)(QList<Seg2Trace> &) = nullptr) {
            QList<Seg2Trace> traces = spread(xs);
            if (change)
                change(traces);
            return Seg2Builder(false).Build({}, traces);
        };
        row("uneven spacing", le({2, 3, 4, 5.5, 6.5}), 4, "not evenly spaced: trace 4 is 1.5 m from trace 3");
        row("receivers on one spot", le({2, 2, 2}), 4, "not evenly spaced: trace 2");
        row("both sides of the source", le({-1, 1, 3}), 4, "both sides of the source: trace 1");
        row("mixed intervals", le({2, 3, 4}, [](QList<Seg2Trace> &t) { t[2].Strings[2] = "SAMPLE_INTERVAL 0.00025"; }),
            4, "mixed sample intervals: trace 3");
        row("mixed lengths", le({2, 3, 4}, [](QList<Seg2Trace> &t) { t[1].Samples.removeLast(); }), 4,
            "mixed trace lengths: trace 2");
        row("no receiver positions", le({2, 3}, [](QList<Seg2Trace> &ts) {
                for (Seg2Trace &t : ts)
                    t.Strings.removeAt(1);
            }), 4, "trace 1 states no receiver position");
        row("no source", le({2, 3}, [](QList<Seg2Trace> &ts) {
                for (Seg2Trace &t : ts)
                    t.Strings.removeLast();
            }), 4, "trace 1 states no source position");
        QList<double> many;
        for (int i = 0; i < 30; ++i)
            many << 2 + i;
        row("30 traces", le(many), 4, "at most 24");
        row("20-bit samples", le({2, 3}, [](QList<Seg2Trace> &t) { t[1].Format = 3; }), 1, "format 3");
        row("cut short", le({2, 3, 4}).chopped(5), 2, "trace 3's blocks run past the end");
        row("only the block id", QByteArray("\x55\x3a", 2), 2, "file descriptor block is cut short");
        row("SU with neither coordinates nor offsets", suFile({0, 0, 0}, {0, 0, 0}, {500, 500, 500}), 4,
            "neither receiver coordinates nor offsets", "S.su");
        row("SU with mixed intervals", suFile({300, 450, 600}, {3, 4, 6}, {500, 250, 500}), 4,
            "mixed sample intervals: trace 2", "S.su");
    }

    void foreignFilesTheToolCannotPlaceAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(int, code);
        QFETCH(QString, says);
        TestProgramDir dir;
        const QString path = dir.file(name);
        QVERIFY(WriteBytes(path, file));
        for (const QString &command : {QStringLiteral("info"), QStringLiteral("dispersion")}) {
            const ToolRun r = RunRecordTool({command, path});
            QCOMPARE(r.Code, code);
            QVERIFY(r.Out.isEmpty());
            QVERIFY2(r.Err.contains(says), qPrintable(r.Err));
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordImport)
#include "tst_recordimport.moc"
