// Records in the exchange formats: a simulator shot filed and saved as the
// program does it, converted by the record tool and read back by independent
// readers (segyio, and a SEG-2 reader written from the standard in Python);
// folders with damaged records, outputs that exist, failed writes, short
// traces and the limits of each format.
#include "RecordBytes.h"
#include "RecordTestUtil.h"
#include "SimulatorRecord.h"
#include "support/TestProgramDir.h"

#include "records/ExchangeRecord.h"
#include "records/RecordConvert.h"
#include "records/RecordFile.h"
#include "records/SafeWriteBatch.h"
#include "records/Seg2Writer.h"
#include "records/SegyWriter.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtEndian>
#include <QtTest>


namespace {

struct Run
{
    int Code = -1;
    QString Out;
    QString Err;
};

Run run(const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(ScaledTimeout(60000)))
        return r;
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromUtf8(p.readAllStandardOutput());
    r.Err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run tool(const QStringList &args)
{
    return run(QStringLiteral(ZEB_RECORD_TOOL), args);
}

QJsonObject infoOf(const QString &path)
{
    return QJsonDocument::fromJson(tool({QStringLiteral("info"), path}).Out.toUtf8()).object();
}

Run convert(const QStringList &args)
{
    return run(QStringLiteral(ZEB_RECORD_TOOL), QStringList{QStringLiteral("convert")} + args);
}

/// The independent reader of a format checks one conversion against its record.
Run readBack(const QString &script, const QString &record, const QString &output)
{
    return run(QStringLiteral(ZEB_PYTHON3),
               {QStringLiteral(ZEB_EXCHANGE_SCRIPTS "/") + script, QStringLiteral("compare"), record, output});
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList hiddenFiles(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).filter(QRegularExpression("^\\."));
}

// A current record of the given size; every trace on screen is full.
void fillRecord(int channels, int samples)
{
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = channels;
    p.Header.SampleLength = samples;
    for (int ch = 0; ch < kMaxChannels; ++ch)
        Store().Traces[ch] = QVector<float>(samples, ch + 0.5f);
}

// Several small records in one project folder, saved by the program.
QStringList saveRecords(const QStringList &names, int channels = 12, int samples = 32)
{
    ParamSet &p = CurrentParams();
    fillRecord(channels, samples);
    QStringList paths;
    for (const QString &name : names) {
        if (SaveRecordAs(p, name) != RecordOk)
            return {};
        paths << RecordSavePath(p, name);
    }
    return paths;
}

// Where a SEG-2 file keeps one channel: its strings and its data block.
struct Seg2Channel
{
    QByteArray Strings;
    QByteArray Data;
};

Seg2Channel seg2Channel(const QByteArray &file, int channel)
{
    const char *d = file.constData();
    const quint32 at = qFromLittleEndian<quint32>(d + Seg2Layout::kFixedSize + 4 * (channel - 1));
    const quint16 blockSize = qFromLittleEndian<quint16>(d + at + Seg2Layout::kBlockSizePos);
    const quint32 dataSize = qFromLittleEndian<quint32>(d + at + Seg2Layout::kDataSizePos);
    return {file.mid(at + Seg2Layout::kFixedSize, blockSize - Seg2Layout::kFixedSize),
            file.mid(at + blockSize, dataSize)};
}

} // namespace

class TestRecordExchange : public QObject
{
    Q_OBJECT

private slots:
    void simulatorShotReadsBackInBothFormats()
    {
        TestProgramDir dir;
        ParamSet &p = CurrentParams();
        p.Header.ProjectName = QStringLiteral("南湖");
        FileSimulatorShot(p);
        QVERIFY(std::any_of(Store().Traces[10].cbegin(), Store().Traces[10].cend(),
                            [](float s) { return s != 0.0f; }));
        QCOMPARE(SaveRecordAs(p, QStringLiteral("SHOT")), int(RecordOk));
        const QString record = RecordSavePath(p, QStringLiteral("SHOT"));
        const QString folder = QFileInfo(record).absolutePath();

        const struct
        {
            const char *to, *suffix, *script;
        } formats[] = {{"seg2", "sg2", "seg2_check.py"}, {"segy", "sgy", "segy_check.py"}};
        for (const auto &[to, suffix, script] : formats) {
            const Run done = convert({QStringLiteral("--to"), QLatin1String(to), folder});
            QVERIFY2(done.Code == 0, qPrintable(done.Err));
            const QString output = folder + QStringLiteral("/SHOT.") + QLatin1String(suffix);
            QCOMPARE(done.Out.trimmed(), output);
            QVERIFY(done.Err.contains(QStringLiteral("1 of 1 records converted")));
            const Run check = readBack(QLatin1String(script), record, output);
            QVERIFY2(check.Code == 0, qPrintable(check.Out + check.Err));
        }
    }

    // A record converted and read back by the tool itself: what both files
    // say must agree, and so must everything computed from them.
    void convertedRecordsReadBackAsTheRecord_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("alsoCarried");
        const QStringList seg2Texts = QStringLiteral("projectName testUnit tester profileNumber").split(QLatin1Char(' '));
        QTest::newRow("SEG-2 forward") << QStringLiteral("seg2") << 1 << seg2Texts;
        QTest::newRow("SEG-2 reverse") << QStringLiteral("seg2") << 0 << seg2Texts;
        QTest::newRow("SEG-Y forward") << QStringLiteral("segy") << 1 << QStringList();
        QTest::newRow("SEG-Y reverse") << QStringLiteral("segy") << 0 << QStringList();
    }

    void convertedRecordsReadBackAsTheRecord()
    {
        QFETCH(QString, to);
        QFETCH(int, order);
        QFETCH(QStringList, alsoCarried);
        TestProgramDir dir;
        ParamSet &p = CurrentParams();
        p.Header.ProjectName = QStringLiteral("南湖");
        p.Header.Delay = 10.0f;
        FileSimulatorShot(p);
        p.Header.TraceOrder = order;
        QCOMPARE(SaveRecordAs(p, QStringLiteral("RT")), int(RecordOk));
        const QString record = RecordSavePath(p, QStringLiteral("RT"));
        const Run done = convert({QStringLiteral("--to"), to, record, QStringLiteral("-o"), dir.path()});
        QVERIFY2(done.Code == 0, qPrintable(done.Err));
        const QString converted = done.Out.trimmed();

        const QJsonObject mine = infoOf(record);
        const QJsonObject back = infoOf(converted);
        QCOMPARE(back.value(QStringLiteral("layout")).toObject().value(QStringLiteral("format")).toString(),
                 to == QLatin1String("seg2") ? QStringLiteral("SEG-2") : QStringLiteral("SEG-Y"));
        const QStringList shared =
            QStringLiteral("channelCount sampleIntervalUs sampleLength traceOrder traceSpacingM offsetM delayMs date time")
                .split(QLatin1Char(' '))
            + alsoCarried;
        const QJsonObject h = mine.value(QStringLiteral("header")).toObject();
        const QJsonObject hb = back.value(QStringLiteral("header")).toObject();
        for (const QString &field : shared)
            QVERIFY2(h.value(field) == hb.value(field),
                     qPrintable(field + QLatin1Char(' ') + hb.value(field).toVariant().toString()));
        QCOMPARE(back.value(QStringLiteral("channels")).toObject().value(QStringLiteral("gainsDb")),
                 mine.value(QStringLiteral("channels")).toObject().value(QStringLiteral("gainsDb")));

        // The samples to the bit, and the picks computed from them.
        for (const QString &command : {QStringLiteral("dump"), QStringLiteral("dispersion")}) {
            const Run a = tool({command, record});
            const Run b = tool({command, converted});
            QCOMPARE(a.Code, 0);
            QCOMPARE(b.Code, 0);
            QVERIFY(!a.Out.isEmpty());
            QVERIFY2(a.Out == b.Out, qPrintable(command));
        }
    }

    // Numbers no measurement can have are refused by name, never replaced by made-up ones.
    void impossibleNumbersAreRefusedByName_data()
    {
        QTest::addColumn<float>("interval");
        QTest::addColumn<float>("offset");
        QTest::addColumn<float>("spacing");
        QTest::addColumn<QString>("named"); ///< empty: the record converts
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("NaN interval") << nan << 3.25f << 1.5f << QStringLiteral("sample interval is nan");
        QTest::newRow("infinite interval") << inf << 3.25f << 1.5f << QStringLiteral("sample interval is inf");
        QTest::newRow("negative interval") << -250.0f << 3.25f << 1.5f << QStringLiteral("sample interval is -250");
        QTest::newRow("infinite offset") << 250.0f << inf << 1.5f << QStringLiteral("offset is inf");
        QTest::newRow("minus infinite offset") << 250.0f << -inf << 1.5f << QStringLiteral("offset is -inf");
        QTest::newRow("NaN offset") << 250.0f << nan << 1.5f << QStringLiteral("offset is nan");
        QTest::newRow("no spacing") << 250.0f << 3.25f << 0.0f << QStringLiteral("trace spacing is 0");
        QTest::newRow("NaN spacing") << 250.0f << 3.25f << nan << QStringLiteral("trace spacing is nan");
        QTest::newRow("interval 0 keeps the reader's floor") << 0.0f << 3.25f << 1.5f << QString();
        QTest::newRow("negative offset") << 250.0f << -3.25f << 1.5f << QString();
    }

    void impossibleNumbersAreRefusedByName()
    {
        QFETCH(float, interval);
        QFETCH(float, offset);
        QFETCH(float, spacing);
        QFETCH(QString, named);
        TestProgramDir dir;
        RecordBytes rb;
        rb.Interval = interval;
        rb.Offset = offset;
        rb.Spacing = spacing;
        const QString path = dir.file(QStringLiteral("N.QDW"));
        QVERIFY(WriteBytes(path, rb.Build()));
        for (const QString &to : {QStringLiteral("seg2"), QStringLiteral("segy")}) {
            const Run done = convert({QStringLiteral("--to"), to, path, QStringLiteral("-o"), dir.path()});
            QCOMPARE(done.Code, named.isEmpty() ? 0 : 65);
            QVERIFY2(done.Err.contains(named), qPrintable(done.Err));
            QCOMPARE(QFileInfo::exists(dir.file(QStringLiteral("N.") + (to == QLatin1String("seg2") ? "sg2" : "sgy"))),
                     named.isEmpty());
            QVERIFY(hiddenFiles(dir.path()).isEmpty());
        }
        // The USB export's SEG-2 step gets the same refusal and reason.
        QByteArray seg2;
        QString problem;
        QCOMPARE(Seg2FromRecordFile(path, seg2, &problem), named.isEmpty() ? int(RecordOk) : int(RecordNotConvertible));
        QVERIFY(problem.contains(named));
        QCOMPARE(seg2.isEmpty(), !named.isEmpty());
    }

    void folderWithADamagedRecordConvertsTheOthers()
    {
        TestProgramDir dir;
        const QStringList records = saveRecords({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        QCOMPARE(records.size(), 3);
        QVERIFY(WriteBytes(records[1], readAll(records[1]).left(700)));
        const QString out = dir.file(QStringLiteral("seg2 out"));

        const Run done = convert({QStringLiteral("--to"), QStringLiteral("seg2"),
                                  QFileInfo(records[0]).absolutePath(), QStringLiteral("-o"), out});
        QCOMPARE(done.Code, 2);
        QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{QStringLiteral("A.sg2"), QStringLiteral("C.sg2")}));
        QVERIFY(done.Err.contains(QStringLiteral("打开文件失败，文件已损坏！")));
        QVERIFY(done.Err.contains(QStringLiteral("B.QDW")));
        QVERIFY(done.Err.contains(QStringLiteral("2 of 3 records converted to SEG-2 (1 refused")));

        // The same folder again: nothing is replaced, and the exit code says why.
        const QByteArray before = readAll(out + QStringLiteral("/A.sg2"));
        QVERIFY(WriteBytes(out + QStringLiteral("/A.sg2"), "mine"));
        const Run again = convert({QStringLiteral("--to"), QStringLiteral("seg2"), records[0], QStringLiteral("-o"), out});
        QCOMPARE(again.Code, 73);
        QCOMPARE(readAll(out + QStringLiteral("/A.sg2")), QByteArray("mine"));
        QVERIFY(again.Err.contains(QStringLiteral("exists already")));
        QVERIFY(hiddenFiles(out).isEmpty());
        QVERIFY(!before.isEmpty());
    }

    void commandLineMistakes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no format") << QStringList{QStringLiteral("X.QDW")} << 64;
        QTest::newRow("unknown format") << QStringList{QStringLiteral("--to"), QStringLiteral("segd"), QStringLiteral("X.QDW")} << 64;
        QTest::newRow("no input") << QStringList{QStringLiteral("--to"), QStringLiteral("seg2")} << 64;
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--to"), QStringLiteral("seg2"), QStringLiteral("-f"), QStringLiteral("X.QDW")} << 64;
        QTest::newRow("missing file") << QStringList{QStringLiteral("--to"), QStringLiteral("segy"), QStringLiteral("/nonexistent/X.QDW")} << 1;
    }

    void commandLineMistakes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QCOMPARE(convert(args).Code, code);
    }

    void emptyFolderIsReported()
    {
        TestProgramDir dir;
        const Run done = convert({QStringLiteral("--to"), QStringLiteral("segy"), dir.path()});
        QCOMPARE(done.Code, 1);
        QVERIFY(done.Err.contains(QStringLiteral("no record files")));
    }

    void shortTracesArePaddedWithZerosAndANote()
    {
        TestProgramDir dir;
        fillRecord(12, 16);
        Store().Traces[2] = QVector<float>(10, 7.0f);
        Store().Traces[5].clear();
        const ExchangeRecord record = ExchangeFromCurrent(CurrentParams());
        QCOMPARE(record.PaddedChannels(), (QList<int>{3, 6}));

        QByteArray seg2;
        QCOMPARE(EncodeSeg2(record, seg2), int(RecordOk));
        const Seg2Channel three = seg2Channel(seg2, 3);
        QCOMPARE(three.Data.size(), 16 * 4);
        QCOMPARE(three.Data.mid(40), QByteArray(24, '\0'));
        QVERIFY(three.Strings.contains("ONLY 10 OF 16 SAMPLES RECORDED, THE REST ARE ZEROS"));
        QCOMPARE(seg2Channel(seg2, 6).Data, QByteArray(64, '\0'));
        QVERIFY(!seg2Channel(seg2, 4).Strings.contains("ONLY"));

        const QString path = dir.file(QStringLiteral("P.sgy"));
        QCOMPARE(WriteSegyFile(record, path), int(RecordOk));
        const QByteArray segy = readAll(path);
        const int trace3 = SegyLayout::kFirstTraceAt + 2 * (240 + 64) + 240;
        QCOMPARE(segy.mid(trace3 + 40, 24), QByteArray(24, '\0'));
        QVERIFY(SegyTextHeader(record).contains("CH 3 ONLY 10 OF 16 SAMPLES RECORDED"));
    }

    void channelCountDecidesTheTraces_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("12") << 12;
        QTest::newRow("24") << 24;
    }

    void channelCountDecidesTheTraces()
    {
        QFETCH(int, channels);
        TestProgramDir dir;
        fillRecord(channels, 8);
        const ExchangeRecord record = ExchangeFromCurrent(CurrentParams());
        QByteArray seg2;
        QCOMPARE(EncodeSeg2(record, seg2), int(RecordOk));
        QCOMPARE(int(qFromLittleEndian<quint16>(seg2.constData() + Seg2Layout::kTraceCountPos)), channels);
        const QString path = dir.file(QStringLiteral("T.sgy"));
        QCOMPARE(WriteSegyFile(record, path), int(RecordOk));
        QCOMPARE(QFileInfo(path).size(), qint64(3600 + channels * (240 + 8 * 4)));
    }

    void limitsOfTheFormats_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("samples");
        QTest::addColumn<float>("interval");
        QTest::addColumn<int>("seg2");
        QTest::addColumn<int>("segy");
        QTest::newRow("no channels") << 0 << 16 << 500.0f << int(RecordNotConvertible) << int(RecordNotConvertible);
        QTest::newRow("no samples") << 12 << 0 << 500.0f << int(RecordNotConvertible) << int(RecordNotConvertible);
        QTest::newRow("15.625 us") << 12 << 16 << 15.625f << int(RecordOk) << int(RecordNotConvertible);
        QTest::newRow("40000 us") << 12 << 16 << 40000.0f << int(RecordOk) << int(RecordNotConvertible);
        QTest::newRow("32767 samples") << 1 << 32767 << 500.0f << int(RecordOk) << int(RecordOk);
        QTest::newRow("32768 samples") << 1 << 32768 << 500.0f << int(RecordOk) << int(RecordNotConvertible);
        QTest::newRow("beyond any record") << 24 << 800000 << 500.0f << int(RecordNotConvertible) << int(RecordNotConvertible);
    }

    void limitsOfTheFormats()
    {
        QFETCH(int, channels);
        QFETCH(int, samples);
        QFETCH(float, interval);
        QFETCH(int, seg2);
        QFETCH(int, segy);
        TestProgramDir dir;
        ParamSet &p = CurrentParams();
        p.Header.ChannelCount = channels;
        p.Header.SampleLength = samples;
        p.Header.SampleInterval = interval;
        const ExchangeRecord record = ExchangeFromCurrent(p);
        QByteArray bytes;
        QString problem;
        QCOMPARE(EncodeSeg2(record, bytes, &problem), seg2);
        QCOMPARE(bytes.isEmpty(), seg2 != RecordOk);
        QCOMPARE(!problem.isEmpty(), seg2 != RecordOk);
        const QString path = dir.file(QStringLiteral("L.sgy"));
        QCOMPARE(WriteSegyFile(record, path), segy);
        QCOMPARE(QFileInfo::exists(path), segy == RecordOk);
    }

    void failedWritesLeaveNothing()
    {
        TestProgramDir dir;
        const QStringList records = saveRecords({QStringLiteral("F")}, 24, 4096);
        const QString out = dir.file(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));

        // A filler that fails and one that writes the wrong size.
        QString problem;
        QCOMPARE(WriteNewFile(out + QStringLiteral("/x.sg2"), 10,
                              [](const QString &, QString *why) { *why = QStringLiteral("no"); return false; },
                              &problem),
                 int(RecordWriteFailed));
        QCOMPARE(problem, QStringLiteral("no"));
        QCOMPARE(WriteNewFile(out + QStringLiteral("/x.sg2"), QByteArray(10, 'x')), int(RecordOk));
        QCOMPARE(WriteNewFile(out + QStringLiteral("/y.sg2"), 11,
                              [](const QString &path, QString *) { return WriteBytes(path, "short"); }),
                 int(RecordWriteFailed));

        // A full disk, for both formats.
        const auto [seg2, segy] = WithFileSizeLimit(65536, [&] {
            return std::pair{ConvertRecordFile(records[0], out, ExchangeFormat::Seg2),
                             ConvertRecordFile(records[0], out, ExchangeFormat::Segy)};
        });
        QCOMPARE(seg2, int(RecordWriteFailed));
        QCOMPARE(segy, int(RecordWriteFailed));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("x.sg2")});

        // An output folder that cannot be made.
        QVERIFY(WriteBytes(dir.file(QStringLiteral("plain")), "file"));
        QCOMPARE(ConvertRecordFile(records[0], dir.file(QStringLiteral("plain/sub")), ExchangeFormat::Seg2),
                 int(RecordWriteFailed));
    }

    void exportHookGivesTheBytesTheToolWrites()
    {
        TestProgramDir dir;
        const QStringList records = saveRecords({QStringLiteral("E"), QStringLiteral("D")});
        QByteArray bytes;
        QCOMPARE(Seg2FromRecordFile(records[0], bytes), int(RecordOk));
        QString written;
        QCOMPARE(ConvertRecordFile(records[0], dir.file(QStringLiteral("o")), ExchangeFormat::Seg2, &written),
                 int(RecordOk));
        QCOMPARE(readAll(written), bytes);

        QVERIFY(WriteBytes(records[1], "OLD-damaged"));
        QString problem;
        QCOMPARE(Seg2FromRecordFile(records[1], bytes, &problem), int(RecordCorrupt));
        QVERIFY(bytes.isEmpty());
        QVERIFY(!problem.isEmpty());
    }

    void outputNamesComeFromTheFileName_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("/a/P.PRO/R1.QDW") << QStringLiteral("R1.sg2");
        QTest::newRow("dots") << QStringLiteral("/a/R.1.qdw") << QStringLiteral("R.1.sg2");
        QTest::newRow("only extension") << QStringLiteral("/a/.QDW") << QStringLiteral(".QDW.sg2");
        QTest::newRow("chinese") << QStringLiteral("南湖 1.QDW") << QStringLiteral("南湖 1.sg2");
        QTest::newRow("dot dot") << QStringLiteral("/a/...QDW") << QStringLiteral("...sg2");
    }

    void outputNamesComeFromTheFileName()
    {
        QFETCH(QString, record);
        QFETCH(QString, name);
        QCOMPARE(ExchangeFileName(record, ExchangeFormat::Seg2), name);
    }

    void surveyTextsNeverReachThePath()
    {
        TestProgramDir dir;
        CurrentParams().Header.ProjectName = QStringLiteral("../../X");
        CurrentParams().Header.Tester = QStringLiteral("a\nb\0c");
        fillRecord(12, 8);
        // Saving refuses a project name with "/"; the file could still come from elsewhere.
        const QString path = dir.file(QStringLiteral("S.QDW"));
        QCOMPARE(WriteRecord(CurrentParams(), path), int(RecordOk));
        const QString out = dir.file(QStringLiteral("out"));
        QString written;
        QCOMPARE(ConvertRecordFile(path, out, ExchangeFormat::Seg2, &written), int(RecordOk));
        QCOMPARE(written, out + QStringLiteral("/S.sg2"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("S.QDW")});
        const QByteArray seg2 = readAll(written);
        QVERIFY(seg2.contains("JOB_ID ../../X"));
        QVERIFY(seg2.contains("OBSERVER a?b"));
    }
};

QTEST_GUILESS_MAIN(TestRecordExchange)
#include "tst_recordexchange.moc"
