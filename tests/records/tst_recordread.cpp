// Reading record files built byte by byte: what a good file puts into the
// current record, and that every damaged or foreign file is refused with the
// right code while leaving everything but the record path alone.
#include "RecordBytes.h"
#include "RecordTestUtil.h"
#include "support/TestProgramDir.h"

#include "params/TextCodec.h"
#include "records/RecordFile.h"

#include <QtEndian>
#include <QtTest>
#include <limits>

class TestRecordRead : public QObject
{
    Q_OBJECT

private:
    // Writes bytes, reads them into the current record; the result code.
    int readBytes(const TestProgramDir &dir, const QByteArray &bytes, RecordProgress *progress = nullptr)
    {
        const QString path = dir.file(QStringLiteral("r.QDW"));
        if (!WriteBytes(path, bytes))
            return 0;
        return ReadRecordFile(CurrentParams(), path, progress);
    }

    // A refused read: the code, the path set, nothing else touched.
    void expectRefused(const QByteArray &bytes, int expected)
    {
        TestProgramDir dir;
        FillTracesOnScreen();
        const RecordState before = RecordState::Take(CurrentParams());
        QCOMPARE(readBytes(dir, bytes), expected);
        QCOMPARE(CurrentParams().CurrentRecordPath, dir.file(QStringLiteral("r.QDW")));
        QVERIFY(RecordState::Take(CurrentParams()) == before);
    }

    static QByteArray patched(QByteArray bytes, int at, qint32 value)
    {
        RecordBytes::putInt(bytes, at, value);
        return bytes;
    }

private slots:
    void twelveChannelFileFillsItsTracesOnly()
    {
        TestProgramDir dir;
        FillTracesOnScreen();
        const TraceSet before = Store().Traces;
        RecordBytes rb;
        rb.Samples = 1024;
        const QByteArray bytes = rb.Build();
        QCOMPARE(bytes.size(), 646 + 4 * 12 * 1024);

        RecordingProgress progress;
        QCOMPARE(readBytes(dir, bytes, &progress), 1);
        for (int ch = 0; ch < 12; ++ch) {
            QCOMPARE(Store().Traces[ch].size(), 1024);
            for (int i = 0; i < 1024; i += 97)
                QCOMPARE(Store().Traces[ch][i], RecordBytes::Sample(ch, i));
            QCOMPARE(Store().Traces[ch].last(), RecordBytes::Sample(ch, 1023));
        }
        for (int ch = 12; ch < kMaxChannels; ++ch)
            QCOMPARE(Store().Traces[ch], before[ch]);

        const ParamSet &p = CurrentParams();
        QCOMPARE(p.Header.ProjectName, QStringLiteral("PROJ"));
        QCOMPARE(p.Header.TestUnit, QStringLiteral("UNIT"));
        QCOMPARE(p.Header.Tester, QStringLiteral("TESTER"));
        QCOMPARE(p.Header.ProfileNumber, QStringLiteral("007"));
        QCOMPARE(p.Header.SurveyMethod, 2);
        QCOMPARE(p.Header.ChannelCount, 12);
        QCOMPARE(p.Header.SampleInterval, 250.0f);
        QCOMPARE(p.Header.SampleLength, 1024);
        QCOMPARE(p.Header.TraceOrder, 0);
        QCOMPARE(p.Header.TraceSpacing, 1.5f);
        QCOMPARE(p.Header.Offset, 3.25f);
        QCOMPARE(p.Header.Delay, 10.0f);
        QCOMPARE(p.Header.Filter, 512.0f);
        QCOMPARE(p.Header.TriggerMethod, 0);
        QCOMPARE(p.Header.TriggerLevel, 2);
        QCOMPARE(p.Header.Date, QStringLiteral("2023-11-02"));
        QCOMPARE(p.Header.Time, QStringLiteral("08:09:10"));
        QCOMPARE(p.Sensor.SensorType, 0);
        QCOMPARE(p.Sensor.MeteringSignal, 0);
        QCOMPARE(p.Sensor.Sensitivity[23], 23.5f);
        // Gains follow the first channel of their group of six.
        for (int ch = 0; ch < kMaxChannels; ++ch)
            QCOMPARE(p.Gains[ch], 100 + ch - ch % 6);
        QCOMPARE(p.CurrentRecordPath, dir.file(QStringLiteral("r.QDW")));

        QCOMPARE(progress.StartCount, 1);
        QCOMPARE(progress.FinishCount, 1);
        QCOMPARE(progress.Label, QStringLiteral("文件打开中..."));
        QCOMPARE(progress.Minimum, 0);
        QCOMPARE(progress.Maximum, 12 * 1024 - 1);
        QCOMPARE(progress.Values.size(), 12 * 1024 + 1);
        QCOMPARE(progress.Values.first(), 0);
        for (int k = 1; k < progress.Values.size(); ++k)
            QCOMPARE(progress.Values[k], k - 1);
    }

    void lowercaseMarkReadsLikeUppercase()
    {
        TestProgramDir dir;
        RecordBytes rb;
        rb.Ident = "vrk";
        QCOMPARE(readBytes(dir, rb.Build()), 1);
        QCOMPARE(CurrentParams().Header.ProjectName, QStringLiteral("PROJ"));
    }

    void blocksAreTakenWhereTheOffsetsPoint()
    {
        TestProgramDir dir;
        RecordBytes rb;
        rb.HeaderAt = 120;
        rb.ChannelAt = 700;
        rb.DataAt = 1000;
        rb.Channels = 24;
        rb.Samples = 3;
        QByteArray bytes = rb.Build();
        bytes.append(17, '\x7f'); // bytes after the data do not matter
        QCOMPARE(readBytes(dir, bytes), 1);
        QCOMPARE(CurrentParams().Header.Tester, QStringLiteral("TESTER"));
        QCOMPARE(Store().Traces[23].size(), 3);
        QCOMPARE(Store().Traces[23][2], RecordBytes::Sample(23, 2));
    }

    void textFields()
    {
        TestProgramDir dir;
        RecordBytes rb;
        // 80 bytes of GB2312 fill the field exactly: 40 characters come back.
        const QString forty = QString(QStringLiteral("地震")).repeated(20);
        rb.Texts[0] = ToGb2312(forty);
        QCOMPARE(rb.Texts[0].size(), 80);
        rb.Texts[1] = "  padded both sides  ";
        rb.Texts[2] = QByteArray("AB\0CD", 5); // another writer's zero ends the text
        rb.Texts[3] = "";
        rb.Time = "9:05";
        QCOMPARE(readBytes(dir, rb.Build()), 1);
        const RecordHeader &h = CurrentParams().Header;
        QCOMPARE(h.ProjectName, forty);
        QCOMPARE(h.TestUnit, QStringLiteral("padded both sides"));
        QCOMPARE(h.Tester, QStringLiteral("AB"));
        QCOMPARE(h.ProfileNumber, QString());
        QCOMPARE(h.Time, QStringLiteral("9:05"));
    }

    void fileWithoutGainsKeepsTheGainsInMemory_data()
    {
        QTest::addColumn<int>("gap");
        QTest::newRow("sensor values only") << 104;
        QTest::newRow("with the reserved field") << 108;
    }
    void fileWithoutGainsKeepsTheGainsInMemory()
    {
        QFETCH(int, gap);
        TestProgramDir dir;
        // Deliberately not equalised: a file without gains must not touch them at all.
        for (int ch = 0; ch < kMaxChannels; ++ch)
            CurrentParams().Gains[ch] = ch * 3;
        const auto gains = CurrentParams().Gains;
        RecordBytes rb;
        rb.WithGains = false;
        rb.DataAt = rb.ChannelAt + gap;
        QCOMPARE(readBytes(dir, rb.Build()), 1);
        QCOMPARE(CurrentParams().Gains, gains);
        QCOMPARE(CurrentParams().Sensor.Sensitivity[5], 5.5f);
        QCOMPARE(Store().Traces[0][0], RecordBytes::Sample(0, 0));
    }

    void gainsOverTheDataReadWhereTheyStand()
    {
        // A gap above 108 means the file holds gains, even when they run into
        // the data block: they are read from the bytes that stand there.
        TestProgramDir dir;
        RecordBytes rb;
        rb.WithGains = false;
        rb.DataAt = rb.ChannelAt + 150;
        const QByteArray bytes = rb.Build();
        QCOMPARE(readBytes(dir, bytes), 1);
        for (int ch = 0; ch < kMaxChannels; ++ch) {
            const int first = ch - ch % kGainGroupSize;
            const qint32 stored = qFromLittleEndian<qint32>(bytes.constData() + rb.ChannelAt + 108 + 4 * first);
            QCOMPARE(CurrentParams().Gains[ch], stored);
        }
        QCOMPARE(Store().Traces[0][0], RecordBytes::Sample(0, 0));
    }

    void sampleIntervalFloor_data()
    {
        QTest::addColumn<float>("stored");
        QTest::addColumn<float>("read");
        QTest::newRow("9") << 9.0f << 10.0f;
        QTest::newRow("1") << 1.0f << 10.0f;
        QTest::newRow("0") << 0.0f << 10.0f;
        QTest::newRow("negative") << -125.0f << 10.0f;
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 10.0f;
        QTest::newRow("10") << 10.0f << 10.0f;
        QTest::newRow("9.5") << 9.5f << 9.5f;
        QTest::newRow("125") << 125.0f << 125.0f;
    }
    void sampleIntervalFloor()
    {
        QFETCH(float, stored);
        QFETCH(float, read);
        TestProgramDir dir;
        RecordBytes rb;
        rb.Interval = stored;
        QCOMPARE(readBytes(dir, rb.Build()), 1);
        QCOMPARE(CurrentParams().Header.SampleInterval, read);
    }

    void refusedByTheirPreamble_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        RecordBytes rb;
        const QByteArray good = rb.Build();
        QTest::newRow("interrupted while writing") << QByteArray("BAD" + good.mid(3)) << -1;
        QTest::newRow("old") << QByteArray("OLD" + good.mid(3)) << -2;
        QTest::newRow("mixed case") << QByteArray("Vrk" + good.mid(3)) << -1;
        QTest::newRow("zero inside the mark") << QByteArray(QByteArray("VR\0", 3) + good.mid(3)) << -1;
        QTest::newRow("not a record") << QByteArray(2000, 'x') << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("type 1") << patched(good, 40, 1) << -3;
        QTest::newRow("type -1") << patched(good, 40, -1) << -3;
    }
    void refusedByTheirPreamble()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        expectRefused(bytes, result);
    }

    void fileThatDoesNotOpenLeavesThePath()
    {
        TestProgramDir dir;
        CurrentParams().CurrentRecordPath = QStringLiteral("/earlier/record.QDW");
        FillTracesOnScreen();
        const RecordState before = RecordState::Take(CurrentParams());
        QCOMPARE(ReadRecordFile(CurrentParams(), dir.file(QStringLiteral("missing.QDW")), nullptr), -1);
        QCOMPARE(ReadRecordFile(CurrentParams(), dir.path(), nullptr), -1);
        QCOMPARE(CurrentParams().CurrentRecordPath, QStringLiteral("/earlier/record.QDW"));
        QVERIFY(RecordState::Take(CurrentParams()) == before);
    }

    void everyCutOfThePreambleAndBlocksIsRefused()
    {
        RecordBytes rb;
        rb.Samples = 8;
        const QByteArray good = rb.Build();
        TestProgramDir dir;
        FillTracesOnScreen();
        const RecordState before = RecordState::Take(CurrentParams());
        const QString path = dir.file(QStringLiteral("cut.QDW"));
        for (int size = 0; size <= 646; ++size) {
            QVERIFY(WriteBytes(path, good.left(size)));
            CurrentParams().CurrentRecordPath.clear();
            RecordingProgress progress;
            const int result = ReadRecordFile(CurrentParams(), path, &progress);
            // Fewer than three bytes cannot even show the mark.
            QCOMPARE(result, size < 3 ? -1 : -2);
            QCOMPARE(CurrentParams().CurrentRecordPath, path);
            QCOMPARE(progress.StartCount, 0);
            if (!(RecordState::Take(CurrentParams()) == before))
                QFAIL(qPrintable(QStringLiteral("state changed by a file cut at %1").arg(size)));
        }
    }

    void cutsInsideTheDataAreRefused()
    {
        RecordBytes rb;
        rb.Channels = 24;
        rb.Samples = 64;
        const QByteArray good = rb.Build();
        TestProgramDir dir;
        FillTracesOnScreen();
        const RecordState before = RecordState::Take(CurrentParams());
        const QString path = dir.file(QStringLiteral("cut.QDW"));
        const qsizetype cuts[] = {647, 649, 650, 646 + 4 * 64, 646 + 4 * 64 * 12 + 2, good.size() - 4, good.size() - 1};
        for (qsizetype size : cuts) {
            QVERIFY(WriteBytes(path, good.left(size)));
            QCOMPARE(ReadRecordFile(CurrentParams(), path, nullptr), -2);
            QVERIFY(RecordState::Take(CurrentParams()) == before);
        }
        QVERIFY(WriteBytes(path, good));
        QCOMPARE(ReadRecordFile(CurrentParams(), path, nullptr), 1);
    }

    void hostileCountsAndOffsets_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        RecordBytes rb;
        const QByteArray good = rb.Build(); // 12 channels of 16 samples
        const int count = 56 + 324;
        const int length = 56 + 332;
        QTest::newRow("no channels") << patched(good, count, 0);
        QTest::newRow("25 channels") << patched(good, count, 25);
        QTest::newRow("negative channels") << patched(good, count, -1);
        QTest::newRow("lowest channel count") << patched(good, count, std::numeric_limits<qint32>::min());
        QTest::newRow("no samples") << patched(good, length, 0);
        QTest::newRow("negative samples") << patched(good, length, -16);
        QTest::newRow("one sample too many") << patched(good, length, 17);
        QTest::newRow("largest sample length") << patched(good, length, std::numeric_limits<qint32>::max());
        QTest::newRow("more channels than the data holds") << patched(good, count, 13);
        QTest::newRow("header over the preamble") << patched(good, 44, 40);
        QTest::newRow("header at zero") << patched(good, 44, 0);
        QTest::newRow("negative header") << patched(good, 44, -56);
        QTest::newRow("header over the channel block") << patched(good, 44, 100);
        QTest::newRow("channel block before the header") << patched(good, 48, 56);
        QTest::newRow("channel block over the data") << patched(good, 48, 600);
        QTest::newRow("data before the channel block") << patched(good, 52, 442);
        QTest::newRow("data beyond the end") << patched(good, 52, good.size() + 4);
        QTest::newRow("largest data offset") << patched(good, 52, std::numeric_limits<qint32>::max());
        QTest::newRow("largest offsets") << patched(patched(patched(good, 44, std::numeric_limits<qint32>::max()), 48,
                                                            std::numeric_limits<qint32>::max()),
                                                    52, std::numeric_limits<qint32>::max());
        // Gains claimed (gap above 108) but the file ends inside them.
        RecordBytes cutGains;
        cutGains.WithGains = false;
        cutGains.DataAt = cutGains.ChannelAt + 150;
        cutGains.Channels = 1;
        cutGains.Samples = 1;
        QTest::newRow("file ends inside the gains") << cutGains.Build();
    }
    void hostileCountsAndOffsets()
    {
        QFETCH(QByteArray, bytes);
        expectRefused(bytes, -2);
    }

    void hugeFileIsRefusedUnread()
    {
        TestProgramDir dir;
        RecordBytes rb;
        const QString path = dir.file(QStringLiteral("huge.QDW"));
        QVERIFY(WriteBytes(path, rb.Build()));
        {
            // Sparse: costs no disk space.
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(qint64(65) * 1024 * 1024));
        }
        FillTracesOnScreen();
        const RecordState before = RecordState::Take(CurrentParams());
        QCOMPARE(ReadRecordFile(CurrentParams(), path, nullptr), -2);
        QCOMPARE(CurrentParams().CurrentRecordPath, path);
        QVERIFY(RecordState::Take(CurrentParams()) == before);
    }

    void messages()
    {
        QCOMPARE(RecordResultMessage(-1), QStringLiteral("打开文件失败，无法识别的文件格式！"));
        QCOMPARE(RecordResultMessage(-2), QStringLiteral("打开文件失败，文件已损坏！"));
        QCOMPARE(RecordResultMessage(-3), QStringLiteral("打开文件失败，此文件非面波文件！"));
        QVERIFY(RecordResultMessage(1).isEmpty());
        QVERIFY(!RecordResultMessage(RecordWriteFailed).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordRead)
#include "tst_recordread.moc"
