// zeb-record spectrum and filter as an engineer runs them on the office
// computer: the spectrum against an independent transform (FFTW), the
// filtered record against the program's own filter, and the tool's exit
// codes for bad command lines and existing outputs.

#include "AnalysisTestUtil.h"
#include "analysis/DigitalFilter.h"
#include "records/RecordFormat.h"
#include "records/RecordToolRun.h"
#include "support/TestProgramDir.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <fftw3.h>

#include <cmath>
#include <memory>

using analysis_test::SameBits;

namespace {

constexpr int kChannels = 12;
constexpr int kSamples = 1024;
constexpr float kInterval = 500.0f;

/// A record of sines with an offset and some noise, as the unit might deliver.
QByteArray RecordBytes(TraceSet &traces, RecordBlocks &blocks)
{
    blocks.Header.ChannelCount = kChannels;
    blocks.Header.SampleLength = kSamples;
    blocks.Header.SampleInterval = kInterval;
    blocks.Header.ProjectName = QStringLiteral("南湖");
    blocks.Header.Date = QStringLiteral("2024-05-06");
    blocks.Header.Time = QStringLiteral("07:08:09");
    QRandomGenerator rng(20106);
    for (int c = 0; c < kChannels; ++c) {
        QVector<float> t = analysis_test::Sine(kSamples, 11.0 + 7.3 * c, kInterval, 300.0, 40.0 * c - 100.0);
        for (float &v : t)
            v += float(rng.generateDouble() * 20.0 - 10.0);
        traces[std::size_t(c)] = t;
    }
    return EncodeRecord(blocks, traces);
}

/// The spectrum of x over samples first … last as an independent reading of
/// its definition: every refine-th sample in the range, their mean removed,
/// zero-padded to the transform length, magnitudes over half that length.
std::vector<double> ReferenceSpectrum(const QVector<float> &x, int first, int last, int refine, int &length)
{
    const int perSecond = int(1000000.0 / kInterval);
    length = 1;
    while (length < std::max(perSecond, kSamples))
        length *= 2;
    double *in = fftw_alloc_real(std::size_t(length));
    fftw_complex *out = fftw_alloc_complex(std::size_t(length / 2 + 1));
    std::fill(in, in + length, 0.0);
    double sum = 0.0;
    int taken = 0;
    for (int k = 0; k < length / refine; ++k) {
        const int i = k * refine;
        if (i >= first && i <= last && i < x.size()) {
            sum += x[i];
            ++taken;
        }
    }
    for (int k = 0; k < length / refine; ++k) {
        const int i = k * refine;
        if (i >= first && i <= last && i < x.size())
            in[k] = x[i] - sum / taken;
    }
    fftw_plan plan = fftw_plan_dft_r2c_1d(length, in, out, FFTW_ESTIMATE);
    fftw_execute(plan);
    std::vector<double> amplitude(std::size_t(length / 2));
    for (int k = 0; k < length / 2; ++k)
        amplitude[std::size_t(k)] = std::hypot(out[k][0], out[k][1]) / (length / 2);
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
    return amplitude;
}

} // namespace

class TstAnalysisTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void spectrumMatchesAnIndependentTransform_data();
    void spectrumMatchesAnIndependentTransform();
    void filterWritesANewRecordAndNeverOverwrites();
    void badCommandLines_data();
    void badCommandLines();
    void refusedRecordsKeepTheirCodes();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    QString m_record;
    TraceSet m_traces;
    RecordBlocks m_blocks;
};

void TstAnalysisTool::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    m_record = m_dir->file(QStringLiteral("SHOT1.QDW"));
    QFile f(m_record);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray bytes = RecordBytes(m_traces, m_blocks);
    QCOMPARE(f.write(bytes), bytes.size());
}

void TstAnalysisTool::cleanup()
{
    m_dir.reset();
}

void TstAnalysisTool::spectrumMatchesAnIndependentTransform_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QStringList>("range");
    QTest::addColumn<int>("refine");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("whole record") << 3 << QStringList() << 1 << 0 << kSamples;
    QTest::newRow("10 to 400 ms, refined 2") << 5 << QStringList{"--from", "10", "--to", "400"} << 2 << 20 << 800;
    QTest::newRow("100.3 to 300 ms, refined 16") << 12 << QStringList{"--from", "100.3", "--to", "300"} << 16 << 200
                                                 << 600;
}

void TstAnalysisTool::spectrumMatchesAnIndependentTransform()
{
    QFETCH(int, channel);
    QFETCH(QStringList, range);
    QFETCH(int, refine);
    QFETCH(int, first);
    QFETCH(int, last);
    QStringList args{QStringLiteral("spectrum"), m_record, QStringLiteral("--channel"), QString::number(channel)};
    args << range;
    if (refine > 1)
        args << QStringLiteral("--refine") << QString::number(refine);
    const ToolRun r = RunRecordTool(args);
    QCOMPARE(r.Code, 0);
    QVERIFY(r.Err.isEmpty());

    int length = 0;
    const std::vector<double> expected = ReferenceSpectrum(m_traces[std::size_t(channel - 1)], first, last, refine, length);
    const QList<QByteArray> lines = r.Out.trimmed().split('\n');
    const int bins = length / 2;
    QCOMPARE(lines.size(), bins + 2);
    QCOMPARE(lines.first(), QByteArray("frequency_hz,amplitude"));
    const double rangeHz = 1000000.0 / (kInterval * 2 * refine);
    const double peak = *std::max_element(expected.begin(), expected.end());
    const auto mainBin = int(std::max_element(expected.begin(), expected.end()) - expected.begin());
    for (int k = 0; k < bins; ++k) {
        const QList<QByteArray> cells = lines[k + 1].split(',');
        QCOMPARE(cells.size(), 2);
        QCOMPARE(cells[0].toDouble(), rangeHz * k / bins);
        QVERIFY2(std::abs(cells[1].toDouble() - expected[std::size_t(k)]) <= 1e-5 * peak,
                 qPrintable(QStringLiteral("bin %1: %2, expected %3").arg(k).arg(QString::fromLatin1(cells[1]))
                                .arg(expected[std::size_t(k)])));
    }
    const QList<QByteArray> main = lines.last().split(',');
    QCOMPARE(main.first(), QByteArray("main_frequency_hz"));
    QCOMPARE(main.last().toDouble(), rangeHz * mainBin / bins);
}

void TstAnalysisTool::filterWritesANewRecordAndNeverOverwrites()
{
    const QString out = m_dir->file(QStringLiteral("FILT.QDW"));
    const ToolRun r = RunRecordTool({QStringLiteral("filter"), m_record, QStringLiteral("--low"), QStringLiteral("60"),
                           QStringLiteral("--high"), QStringLiteral("5"), QStringLiteral("-o"), out});
    QCOMPARE(r.Code, 0);
    QFile written(out);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    written.close();
    const ParsedRecord parsed = ParseRecord(bytes);
    QCOMPARE(parsed.Result, int(RecordOk));
    const RecordHeader &h = parsed.Blocks.Header;
    QCOMPARE(h.ProjectName, QStringLiteral("南湖"));
    QCOMPARE(h.Date, QStringLiteral("2024-05-06"));
    QCOMPARE(h.Time, QStringLiteral("07:08:09"));
    QCOMPARE(h.SampleInterval, kInterval);
    FilterSettings settings;
    settings.IntervalUs = kInterval;
    settings.SampleCount = kSamples;
    settings.LowPassHz = 60;
    settings.HighPassHz = 5;
    TraceSet expected = m_traces;
    FilterTraces(expected.data(), kChannels, settings);
    QCOMPARE(int(parsed.Traces.size()), kChannels);
    for (int c = 0; c < kChannels; ++c)
        QVERIFY(SameBits(parsed.Traces[std::size_t(c)], expected[std::size_t(c)]));

    // Once more onto the same name: refused, the first result left as it is.
    const ToolRun again = RunRecordTool({QStringLiteral("filter"), m_record, QStringLiteral("-o"), out});
    QCOMPARE(again.Code, 73);
    QVERIFY(again.Err.startsWith(QStringLiteral("保存文件失败，文件已存在！")));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), bytes);
    // Nor onto the input.
    QCOMPARE(RunRecordTool({QStringLiteral("filter"), m_record, QStringLiteral("-o"), m_record}).Code, 73);
    // A folder that does not exist: the program's write failure.
    const ToolRun nowhere = RunRecordTool({QStringLiteral("filter"), m_record, QStringLiteral("-o"),
                                 m_dir->file(QStringLiteral("none/F.QDW"))});
    QCOMPARE(nowhere.Code, 74);
    QVERIFY(nowhere.Err.contains(QStringLiteral("保存文件失败，无法写入文件！")));
}

void TstAnalysisTool::badCommandLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("spectrum without a channel") << QStringList{"spectrum", "@"};
    QTest::newRow("channel 0") << QStringList{"spectrum", "@", "--channel", "0"};
    QTest::newRow("channel beyond the record") << QStringList{"spectrum", "@", "--channel", "13"};
    QTest::newRow("refinement 3") << QStringList{"spectrum", "@", "--channel", "1", "--refine", "3"};
    QTest::newRow("range backwards") << QStringList{"spectrum", "@", "--channel", "1", "--from", "300", "--to", "100"};
    QTest::newRow("negative time") << QStringList{"spectrum", "@", "--channel", "1", "--from", "-1"};
    QTest::newRow("time not a number") << QStringList{"spectrum", "@", "--channel", "1", "--to", "nan"};
    QTest::newRow("two files") << QStringList{"spectrum", "@", "@", "--channel", "1"};
    QTest::newRow("filter without output") << QStringList{"filter", "@", "--low", "50"};
    QTest::newRow("low-pass above 10000") << QStringList{"filter", "@", "--low", "10001", "-o", "x.QDW"};
    QTest::newRow("negative high-pass") << QStringList{"filter", "@", "--high", "-1", "-o", "x.QDW"};
    QTest::newRow("limit not a number") << QStringList{"filter", "@", "--low", "abc", "-o", "x.QDW"};
    QTest::newRow("unknown option") << QStringList{"filter", "@", "--band", "5", "-o", "x.QDW"};
}

void TstAnalysisTool::badCommandLines()
{
    QFETCH(QStringList, args);
    args.replaceInStrings(QStringLiteral("@"), m_record);
    args.replaceInStrings(QStringLiteral("x.QDW"), m_dir->file(QStringLiteral("x.QDW")));
    const ToolRun r = RunRecordTool(args);
    QCOMPARE(r.Code, 64);
    QVERIFY(r.Out.isEmpty());
    QVERIFY(!r.Err.isEmpty());
    QVERIFY(!QFile::exists(m_dir->file(QStringLiteral("x.QDW"))));
}

void TstAnalysisTool::refusedRecordsKeepTheirCodes()
{
    QFile f(m_record);
    QVERIFY(f.resize(f.size() - 1)); // cut short: damaged
    for (const QString &command : {QStringLiteral("spectrum"), QStringLiteral("filter")}) {
        const ToolRun r = RunRecordTool({command, m_record, QStringLiteral("--channel"), QStringLiteral("1"), QStringLiteral("-o"),
                               m_dir->file(QStringLiteral("y.QDW"))});
        // spectrum knows no -o and filter no --channel: both are usage errors before the file is read.
        QCOMPARE(r.Code, 64);
    }
    QCOMPARE(RunRecordTool({QStringLiteral("spectrum"), m_record, QStringLiteral("--channel"), QStringLiteral("1")}).Code, 2);
    const ToolRun filtered = RunRecordTool({QStringLiteral("filter"), m_record, QStringLiteral("-o"), m_dir->file(QStringLiteral("y.QDW"))});
    QCOMPARE(filtered.Code, 2);
    QCOMPARE(filtered.Err.section(QLatin1Char('\n'), 0, 0), QStringLiteral("打开文件失败，文件已损坏！"));
    QVERIFY(!QFile::exists(m_dir->file(QStringLiteral("y.QDW"))));
}

QTEST_GUILESS_MAIN(TstAnalysisTool)
#include "tst_analysistool.moc"
