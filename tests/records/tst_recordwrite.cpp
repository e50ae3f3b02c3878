// Writing record files: the bytes on disk checked field by field, the record
// read back, and every way a write can fail reported as a failure with no
// file left that could pass for a record.
#include "RecordTestUtil.h"
#include "support/FakePlatform.h"
#include "support/TestProgramDir.h"

#include "params/TextCodec.h"
#include "records/RecordFile.h"

#include <QDateTime>
#include <QProcess>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <cstdio>


namespace {

qint32 intAt(const QByteArray &b, int at) { return qFromLittleEndian<qint32>(b.constData() + at); }

float floatAt(const QByteArray &b, int at)
{
    const quint32 bits = qFromLittleEndian<quint32>(b.constData() + at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Twelve channels of 1024 samples; channel 3 short, channel 5 too long,
// channel 13 (beyond the count) filled but not to be written.
void prepareRecord()
{
    ParamSet &p = CurrentParams();
    p.Header.ProjectName = QStringLiteral("北山");
    p.Header.TestUnit = QStringLiteral("UNIT");
    p.Header.Tester = QStringLiteral("李四");
    p.Header.ProfileNumber = QStringLiteral("12");
    p.Header.SurveyMethod = 3;
    p.Header.ChannelCount = 12;
    p.Header.SampleInterval = 125.0f;
    p.Header.SampleLength = 1024;
    p.Header.TraceOrder = 2;
    p.Header.TraceSpacing = 1.25f;
    p.Header.Offset = -4.5f;
    p.Header.Delay = 7.0f;
    p.Header.Filter = 1024.0f;
    p.Header.TriggerMethod = 0;
    p.Header.TriggerLevel = 2;
    p.Header.Date = QStringLiteral("1999-01-01");
    p.Header.Time = QStringLiteral("00:00:00");
    p.Sensor.SensorType = 7;
    p.Sensor.MeteringSignal = 8;
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        p.Sensor.Sensitivity[ch] = 0.125f * ch;
        p.Gains[ch] = 6 * ch;
    }
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        const int length = ch == 2 ? 100 : ch == 4 ? 2000 : 1024;
        QVector<float> t(length);
        for (int i = 0; i < length; ++i)
            t[i] = ch + i / 1024.0f;
        Store().Traces[ch] = t;
    }
}

QStringList everyFile(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

const char kSaverOption[] = "--save-for-ever";

/// The child the kill test starts: saves numbered records of 24 channels
/// into the project folder below its program directory for ever, saying
/// each name once its save has returned (names of earlier children are
/// stepped over).
int runSaver(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SetProgramDir(QString::fromLocal8Bit(argv[2]));
    CurrentParams().LoadSettings();
    prepareRecord();
    CurrentParams().Header.ChannelCount = 24;
    CurrentParams().Header.SampleLength = 4096;
    for (int ch = 0; ch < kMaxChannels; ++ch)
        Store().Traces[ch] = QVector<float>(4096, float(ch));
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("K%1").arg(n, 5, 10, QLatin1Char('0'));
        const int saved = SaveRecordAs(CurrentParams(), name);
        if (saved == RecordExists)
            continue; // saved by an earlier child
        if (saved != RecordOk)
            return 1;
        std::printf("%s\n", qPrintable(name));
        std::fflush(stdout);
    }
}

} // namespace

class TestRecordWrite : public QObject
{
    Q_OBJECT

private slots:
    void bytesOnDisk()
    {
        TestProgramDir dir;
        prepareRecord();
        const QString path = dir.file(QStringLiteral("A1.QDW"));
        const QDateTime before = QDateTime::currentDateTime();
        QCOMPARE(WriteRecord(CurrentParams(), path), 1);
        const QDateTime after = QDateTime::currentDateTime();
        const QByteArray b = readAll(path);
        QCOMPARE(b.size(), 646 + 4 * 12 * 1024);

        QCOMPARE(b.left(40), QByteArray("VRK-ZEB-2.1.0-20130618").leftJustified(40, ' '));
        QCOMPARE(intAt(b, 40), 0);
        QCOMPARE(intAt(b, 44), 56);
        QCOMPARE(intAt(b, 48), 442);
        QCOMPARE(intAt(b, 52), 646);

        QCOMPARE(b.mid(56, 80), ToGb2312(QStringLiteral("北山")).leftJustified(80, ' '));
        QCOMPARE(b.mid(136, 80), QByteArray("UNIT").leftJustified(80, ' '));
        QCOMPARE(b.mid(216, 80), ToGb2312(QStringLiteral("李四")).leftJustified(80, ' '));
        QCOMPARE(b.mid(296, 80), QByteArray("12").leftJustified(80, ' '));
        QCOMPARE(intAt(b, 56 + 320), 3);
        QCOMPARE(intAt(b, 56 + 324), 12);
        QCOMPARE(floatAt(b, 56 + 328), 125.0f);
        QCOMPARE(intAt(b, 56 + 332), 1024);
        QCOMPARE(intAt(b, 56 + 336), 2);
        QCOMPARE(floatAt(b, 56 + 340), 1.25f);
        QCOMPARE(floatAt(b, 56 + 344), -4.5f);
        QCOMPARE(floatAt(b, 56 + 348), 7.0f);
        QCOMPARE(floatAt(b, 56 + 352), 1024.0f);
        QCOMPARE(intAt(b, 56 + 356), 0);
        QCOMPARE(intAt(b, 56 + 360), 2);
        QCOMPARE(intAt(b, 56 + 382), 0);

        // The moment of saving, not the header's date and time.
        const QDateTime saved = QDateTime::fromString(QString::fromLatin1(b.mid(56 + 364, 10) + ' ' + b.mid(56 + 374, 8)),
                                                      QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY(saved.isValid());
        QVERIFY(saved >= before.addSecs(-1) && saved <= after);
        QCOMPARE(CurrentParams().Header.Date, QStringLiteral("1999-01-01"));

        QCOMPARE(intAt(b, 442), 7);
        QCOMPARE(intAt(b, 446), 8);
        for (int ch = 0; ch < kMaxChannels; ++ch) {
            QCOMPARE(floatAt(b, 442 + 8 + 4 * ch), 0.125f * ch);
            QCOMPARE(intAt(b, 442 + 108 + 4 * ch), 6 * ch);
        }
        QCOMPARE(intAt(b, 442 + 104), 0);

        auto sample = [&](int ch, int i) { return floatAt(b, 646 + 4 * (ch * 1024 + i)); };
        QCOMPARE(sample(0, 0), 0.0f);
        QCOMPARE(sample(11, 1023), 11 + 1023 / 1024.0f);
        QCOMPARE(sample(2, 99), 2 + 99 / 1024.0f);
        QCOMPARE(sample(2, 100), 0.0f); // a short trace is completed with zeros
        QCOMPARE(sample(2, 1023), 0.0f);
        QCOMPARE(sample(4, 1023), 4 + 1023 / 1024.0f); // a long one is cut at the sample length
        QCOMPARE(sample(5, 0), 5.0f);
    }

    void longTextIsCutBetweenCharacters()
    {
        TestProgramDir dir;
        prepareRecord();
        // 41 two-byte characters: the field takes the first 40.
        const QString chinese = QString(QStringLiteral("波")).repeated(41);
        CurrentParams().Header.ProjectName = chinese;
        // 79 bytes of ASCII and one two-byte character: it does not fit whole.
        CurrentParams().Header.TestUnit = QString(79, QLatin1Char('a')) + QStringLiteral("中");
        const QString path = dir.file(QStringLiteral("T.QDW"));
        QCOMPARE(WriteRecord(CurrentParams(), path), 1);
        const QByteArray b = readAll(path);
        QCOMPARE(b.mid(56, 80), ToGb2312(chinese.left(40)));
        QCOMPARE(b.mid(136, 80), QByteArray(79, 'a') + ' ');

        QCOMPARE(ReadRecordFile(CurrentParams(), path, nullptr), 1);
        QCOMPARE(CurrentParams().Header.ProjectName, chinese.left(40));
        QCOMPARE(CurrentParams().Header.TestUnit, QString(79, QLatin1Char('a')));
    }

    void writtenRecordReadsBack()
    {
        TestProgramDir dir;
        prepareRecord();
        CurrentParams().Header.ProfileNumber = QStringLiteral(" P-7 ");
        const QString path = dir.file(QStringLiteral("RB.QDW"));
        QCOMPARE(WriteRecord(CurrentParams(), path), 1);
        const TraceSet written = Store().Traces;
        const QByteArray onDisk = readAll(path);

        ResetProcessState();
        FillTracesOnScreen();
        const QVector<float> thirteen = Store().Traces[12];
        QCOMPARE(ReadRecordFile(CurrentParams(), path, nullptr), 1);
        const ParamSet &p = CurrentParams();
        QCOMPARE(p.Header.ProjectName, QStringLiteral("北山"));
        QCOMPARE(p.Header.ProfileNumber, QStringLiteral("P-7")); // without its spaces
        QCOMPARE(p.Header.ChannelCount, 12);
        QCOMPARE(p.Header.SampleLength, 1024);
        QCOMPARE(p.Header.SampleInterval, 125.0f);
        QCOMPARE(p.Header.Offset, -4.5f);
        QCOMPARE(p.Sensor.SensorType, 7);
        QCOMPARE(p.Gains[7], 36); // channels 7 to 12 take channel 7's gain
        QCOMPARE(p.Gains[11], 36);
        QCOMPARE(p.Header.Date, QString::fromLatin1(onDisk.mid(56 + 364, 10)));
        QCOMPARE(p.Header.Time, QString::fromLatin1(onDisk.mid(56 + 374, 8)));
        QCOMPARE(Store().Traces[0], written[0]);
        QCOMPARE(Store().Traces[4], written[4].mid(0, 1024));
        QCOMPARE(Store().Traces[2].mid(0, 100), written[2]);
        QCOMPARE(Store().Traces[12], thirteen);
    }

    void neverOverwritesAFile()
    {
        TestProgramDir dir;
        prepareRecord();
        const QString path = dir.file(QStringLiteral("OLD1.QDW"));
        QVERIFY(WriteBytes(path, "operator's earlier record"));
        QCOMPARE(WriteRecord(CurrentParams(), path), int(RecordWriteFailed));
        QCOMPARE(readAll(path), QByteArray("operator's earlier record"));
    }

    void fileThatCannotBeCreated()
    {
        TestProgramDir dir;
        prepareRecord();
        const QString path = dir.file(QStringLiteral("no-such-folder/X.QDW"));
        QCOMPARE(WriteRecord(CurrentParams(), path), int(RecordWriteFailed));
        QVERIFY(!QFile::exists(path));
    }

    void nothingToStoreIsNotWritten_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("samples");
        QTest::newRow("no channels") << 0 << 1024;
        QTest::newRow("no samples") << 12 << 0;
        QTest::newRow("negative samples") << 12 << -5;
        QTest::newRow("far too many samples") << 24 << 100000000;
    }
    void nothingToStoreIsNotWritten()
    {
        QFETCH(int, channels);
        QFETCH(int, samples);
        TestProgramDir dir;
        prepareRecord();
        CurrentParams().Header.ChannelCount = channels;
        CurrentParams().Header.SampleLength = samples;
        const QString path = dir.file(QStringLiteral("E.QDW"));
        QCOMPARE(WriteRecord(CurrentParams(), path), int(RecordWriteFailed));
        QVERIFY(!QFile::exists(path));
    }

    void channelCountIsStoredAsWritten()
    {
        // A count beyond 24 from a damaged settings file: the file says what it holds.
        TestProgramDir dir;
        prepareRecord();
        CurrentParams().Header.ChannelCount = 30;
        CurrentParams().Header.SampleLength = 16;
        const QString path = dir.file(QStringLiteral("C.QDW"));
        QCOMPARE(WriteRecord(CurrentParams(), path), 1);
        const QByteArray b = readAll(path);
        QCOMPARE(intAt(b, 56 + 324), 24);
        QCOMPARE(b.size(), 646 + 4 * 24 * 16);
        QCOMPARE(ReadRecordFile(CurrentParams(), path, nullptr), 1);
    }

    void saveAsUsesTheProjectFolderAndNeverOverwrites()
    {
        TestProgramDir dir;
        CurrentParams().LoadSettings();
        prepareRecord();
        CurrentParams().Header.ProjectName = QStringLiteral("P9");
        const QString path = dir.file(QStringLiteral("QDW-FILE/P9.PRO/S1.QDW"));
        QCOMPARE(RecordSavePath(CurrentParams(), QStringLiteral("S1")), path);
        QCOMPARE(SaveRecordAs(CurrentParams(), QStringLiteral("S1")), 1);
        QCOMPARE(CurrentParams().LastRecordName, QStringLiteral("S1"));
        const QByteArray first = readAll(path);
        QCOMPARE(first.size(), 646 + 4 * 12 * 1024);

        Store().Traces[0].fill(99.0f);
        QCOMPARE(SaveRecordAs(CurrentParams(), QStringLiteral("S1")), int(RecordExists));
        QCOMPARE(RecordResultMessage(RecordExists), QStringLiteral("保存文件失败，文件已存在！"));
        QCOMPARE(readAll(path), first);

        QCOMPARE(RecordOpenPath(CurrentParams(), QStringLiteral("P9"), QStringLiteral("S1")), path);
    }

    void saveAsRefusesNamesThatLeaveTheFolder_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << QStringLiteral("P") << QStringLiteral("..");
        QTest::newRow("slash") << QStringLiteral("P") << QStringLiteral("../x");
        QTest::newRow("backslash") << QStringLiteral("P") << QStringLiteral("a\\b");
        QTest::newRow("empty") << QStringLiteral("P") << QString();
        QTest::newRow("project with slash") << QStringLiteral("../../etc") << QStringLiteral("x");
    }
    void saveAsRefusesNamesThatLeaveTheFolder()
    {
        QFETCH(QString, project);
        QFETCH(QString, name);
        TestProgramDir dir;
        CurrentParams().LoadSettings();
        prepareRecord();
        CurrentParams().Header.ProjectName = project;
        QCOMPARE(SaveRecordAs(CurrentParams(), name), int(RecordWriteFailed));
        QCOMPARE(QDir(dir.file(QStringLiteral("QDW-FILE"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }

    void writeThatFailsHalfWayLeavesNoRecord()
    {
        // A file size limit makes the system refuse the write part way, as a full disk does.
        TestProgramDir dir;
        prepareRecord();
        const QString path = dir.file(QStringLiteral("FULL.QDW"));
        const int result = WithFileSizeLimit(4096, [&] { return WriteRecord(CurrentParams(), path); });
        QCOMPARE(result, int(RecordWriteFailed));
        QVERIFY(!QFile::exists(path));
        // And the name is free again for the next try.
        QCOMPARE(WriteRecord(CurrentParams(), path), 1);
    }

    // Every step of a save failing, through the platform: never a file
    // under the record's name, no temporary left, the name free again, and
    // a disk that filled up named as such.
    void everyFailingStepLeavesNoRecord_data()
    {
        using Step = FakePlatform::FileStep;
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<int>("result");
        QTest::newRow("create") << int(Step::Create) << 1 << false << int(RecordWriteFailed);
        QTest::newRow("write") << int(Step::Write) << 1 << false << int(RecordWriteFailed);
        QTest::newRow("disk full") << int(Step::Write) << 1 << true << int(RecordDiskFull);
        QTest::newRow("flush of the data") << int(Step::Sync) << 1 << false << int(RecordWriteFailed);
        QTest::newRow("mark") << int(Step::Write) << 2 << false << int(RecordWriteFailed);
        QTest::newRow("flush of the mark") << int(Step::Sync) << 2 << false << int(RecordWriteFailed);
        QTest::newRow("rename") << int(Step::Rename) << 1 << false << int(RecordWriteFailed);
    }
    void everyFailingStepLeavesNoRecord()
    {
        QFETCH(int, step);
        QFETCH(int, occurrence);
        QFETCH(bool, diskFull);
        QFETCH(int, result);
        TestProgramDir dir;
        CurrentParams().LoadSettings();
        prepareRecord();
        ScopedFakePlatform platform;
        platform->FailFileStep(FakePlatform::FileStep(step), occurrence, diskFull);
        QCOMPARE(SaveRecordAs(CurrentParams(), QStringLiteral("S1")), result);
        QCOMPARE(platform->FileStepCalls(FakePlatform::FileStep(step)), occurrence);
        const QString folder = QFileInfo(RecordSavePath(CurrentParams(), QStringLiteral("S1"))).absolutePath();
        QCOMPARE(everyFile(folder), QStringList());
        if (diskFull)
            QVERIFY(RecordResultMessage(result).contains(QStringLiteral("磁盘空间不足")));
        platform->ClearFileFault();
        QCOMPARE(SaveRecordAs(CurrentParams(), QStringLiteral("S1")), int(RecordOk));
        QCOMPARE(everyFile(folder), QStringList{QStringLiteral("S1.QDW")});
    }

    // What a save cut short left is cleared when the project is next saved
    // into; a record of that name is never touched.
    void unfinishedSavesAreCleared()
    {
        TestProgramDir dir;
        CurrentParams().LoadSettings();
        prepareRecord();
        const QString path = RecordSavePath(CurrentParams(), QStringLiteral("T1"));
        const QString folder = QFileInfo(path).absolutePath();
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(WriteBytes(UnfinishedRecordPath(path), "BAD half a record"));
        QVERIFY(WriteBytes(folder + QStringLiteral("/T0.QDW"), "kept"));
        QCOMPARE(SaveRecordAs(CurrentParams(), QStringLiteral("T1")), int(RecordOk));
        QCOMPARE(everyFile(folder), (QStringList{QStringLiteral("T0.QDW"), QStringLiteral("T1.QDW")}));
        QCOMPARE(readAll(folder + QStringLiteral("/T0.QDW")), QByteArray("kept"));
    }

    // A save killed at random moments (fixed seed): every record under its
    // name is whole, every save reported done is there, and what is left
    // besides is one hidden temporary at most, gone at the next save.
    void killedWhileSaving()
    {
        TestProgramDir dir;
        QRandomGenerator rng(2107);
        constexpr int kRuns = 30;
        constexpr int kLongestDelayUs = 40000;
        CurrentParams().LoadSettings();
        const QString folder = CurrentParams().DataRoot + QStringLiteral("/北山.PRO");
        QStringList reported;
        for (int run = 0; run < kRuns; ++run) {
            QList<QByteArray> printed;
            QVERIFY(KilledAtRandomMoment(kSaverOption, dir.path(), rng, kLongestDelayUs, &printed));
            for (const QByteArray &line : printed)
                reported << QString::fromUtf8(line) + QStringLiteral(".QDW");

            const QStringList records = QDir(folder).entryList({QStringLiteral("*.QDW")}, QDir::Files);
            for (const QString &name : reported)
                QVERIFY2(records.contains(name), qPrintable(name));
            for (const QString &name : records) {
                QByteArray bytes;
                QCOMPARE(LoadRecordBytes(folder + QLatin1Char('/') + name, bytes), int(RecordOk));
                QVERIFY2(bytes.size() == 646 + 4 * 24 * 4096 && bytes.startsWith("VRK"), qPrintable(name));
                QCOMPARE(ParseRecord(bytes).Result, int(RecordOk));
            }
            QVERIFY(everyFile(folder).size() <= records.size() + 1);
            // The next child's first save clears it; the last run's, here.
            if (run == kRuns - 1) {
                RemoveUnfinishedRecords(folder);
                QCOMPARE(everyFile(folder), records);
            }
        }
    }
};

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], kSaverOption) == 0)
        return runSaver(argc, argv);
    QCoreApplication app(argc, argv);
    TestRecordWrite test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_recordwrite.moc"
