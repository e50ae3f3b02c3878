// The record tool run as the operator's office runs it: JSON and CSV of a
// good file, the program's messages and distinct exit codes for bad ones.
#include "RecordBytes.h"
#include "RecordTestUtil.h"
#include "RecordToolRun.h"
#include "support/TestProgramDir.h"

#include "params/TextCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <limits>

class TestRecordTool : public QObject
{
    Q_OBJECT

private slots:
    void infoPrintsHeaderChannelsAndLayout()
    {
        TestProgramDir dir;
        RecordBytes rb;
        rb.Texts[0] = ToGb2312(QStringLiteral("南湖工程"));
        rb.Spacing = 2.1f;
        const QString path = dir.file(QStringLiteral("I.QDW"));
        QVERIFY(WriteBytes(path, rb.Build()));
        const ToolRun r = RunRecordTool({QStringLiteral("info"), path});
        QCOMPARE(r.Code, 0);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(r.Out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject h = o.value(QStringLiteral("header")).toObject();
        QCOMPARE(h.value(QStringLiteral("projectName")).toString(), QStringLiteral("南湖工程"));
        QCOMPARE(h.value(QStringLiteral("channelCount")).toInt(), 12);
        QCOMPARE(h.value(QStringLiteral("sampleLength")).toInt(), 16);
        QCOMPARE(h.value(QStringLiteral("traceSpacingM")).toDouble(), 2.1); // the float's shortest text
        QCOMPARE(h.value(QStringLiteral("date")).toString(), QStringLiteral("2023-11-02"));
        const QJsonObject c = o.value(QStringLiteral("channels")).toObject();
        QCOMPARE(c.value(QStringLiteral("sensitivity")).toArray().size(), 24);
        QCOMPARE(c.value(QStringLiteral("gainsDb")).toArray().at(11).toInt(), 106);
        const QJsonObject l = o.value(QStringLiteral("layout")).toObject();
        QCOMPARE(l.value(QStringLiteral("dataOffset")).toInt(), 646);
        QCOMPARE(l.value(QStringLiteral("fileSize")).toInt(), 646 + 4 * 12 * 16);
        QCOMPARE(l.value(QStringLiteral("hasGains")).toBool(), true);
    }

    void dumpReadsBackToTheSameFloats()
    {
        TestProgramDir dir;
        RecordBytes rb;
        rb.Channels = 3;
        rb.Samples = 5;
        rb.Data = {0.1f, -1e-30f, 3.4028235e38f, 1.0f / 3, 123456.789f,
                   std::numeric_limits<float>::denorm_min(), -0.0f, 7, 8, 9,
                   1e7f, 16777217.0f, -2.5f, 0.3f, 65504.0f};
        const QString path = dir.file(QStringLiteral("D.QDW"));
        QVERIFY(WriteBytes(path, rb.Build()));
        const ToolRun r = RunRecordTool({QStringLiteral("dump"), path});
        QCOMPARE(r.Code, 0);
        const QList<QByteArray> lines = r.Out.trimmed().split('\n');
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], QByteArray("ch1,ch2,ch3"));
        for (int i = 0; i < 5; ++i) {
            const QList<QByteArray> cells = lines[i + 1].split(',');
            QCOMPARE(cells.size(), 3);
            for (int ch = 0; ch < 3; ++ch) {
                const float expected = rb.Data[ch * 5 + i];
                const float read = std::strtof(cells[ch].constData(), nullptr);
                QVERIFY2(std::memcmp(&read, &expected, 4) == 0, cells[ch].constData());
            }
        }
    }

    void refusalsGiveTheMessageAndTheirOwnCode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        RecordBytes rb;
        const QByteArray good = rb.Build();
        QByteArray typeOne = good;
        RecordBytes::putInt(typeOne, 40, 1);
        QTest::newRow("unrecognised") << QByteArray("BAD" + good.mid(3)) << 1
                                      << QStringLiteral("打开文件失败，无法识别的文件格式！");
        QTest::newRow("damaged") << good.left(good.size() - 1) << 2
                                 << QStringLiteral("打开文件失败，文件已损坏！");
        QTest::newRow("not surface-wave") << typeOne << 3 << QStringLiteral("打开文件失败，此文件非面波文件！");
    }
    void refusalsGiveTheMessageAndTheirOwnCode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(QString, message);
        TestProgramDir dir;
        const QString path = dir.file(QStringLiteral("X.QDW"));
        QVERIFY(WriteBytes(path, bytes));
        for (const QString &command : {QStringLiteral("info"), QStringLiteral("dump")}) {
            const ToolRun r = RunRecordTool({command, path});
            QCOMPARE(r.Code, code);
            QVERIFY(r.Out.isEmpty());
            QCOMPARE(r.Err.section(QLatin1Char('\n'), 0, 0), message);
        }
    }

    void missingFileAndBadArguments()
    {
        TestProgramDir dir;
        const ToolRun missing = RunRecordTool({QStringLiteral("info"), dir.file(QStringLiteral("none.QDW"))});
        QCOMPARE(missing.Code, 1);
        QVERIFY(missing.Err.startsWith(QStringLiteral("打开文件失败，无法识别的文件格式！")));
        QVERIFY(RunRecordTool({QStringLiteral("show"), dir.path()}).Code > 3);
        QVERIFY(RunRecordTool({QStringLiteral("info")}).Code > 3);
    }
};

QTEST_GUILESS_MAIN(TestRecordTool)
#include "tst_recordtool.moc"
