// The bytes both upload protocols put on the wire, against frames built by
// hand here from the format, and every reader of server bytes fed whole,
// split, hostile and truncated frames.
#include "UploadTestUtil.h"
#include "support/TestProgramDir.h"

#include "params/TextCodec.h"
#include "upload/CDataUpLoadThread.h"
#include "upload/NormalFrames.h"
#include "upload/QUpLoadCtrl.h"
#include "upload/UploadReplies.h"
#include "upload/WitnessFrames.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <array>
#include <cmath>
#include <limits>

namespace {

/// A frame written field by field, the way the format describes it.
class Golden
{
public:
    explicit Golden(int size) : m_bytes(size, '\0') {}
    Golden &Bytes(int pos, const QByteArray &b)
    {
        m_bytes.replace(pos, b.size(), b);
        return *this;
    }
    Golden &Text(int pos, int width, const QString &text, char pad = ' ')
    {
        QByteArray b = ToGb2312(text);
        b.append(width - b.size(), pad);
        return Bytes(pos, b);
    }
    Golden &I8(int pos, int v) { m_bytes[pos] = char(v); return *this; }
    Golden &I16(int pos, qint16 v) { qToLittleEndian(v, m_bytes.data() + pos); return *this; }
    Golden &I32(int pos, qint32 v) { qToLittleEndian(v, m_bytes.data() + pos); return *this; }
    Golden &U32(int pos, quint32 v) { qToLittleEndian(v, m_bytes.data() + pos); return *this; }
    Golden &F32(int pos, float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        return U32(pos, bits);
    }
    /// The byte sum of [from, from + count) into pos.
    Golden &Sum(int pos, int from, int count)
    {
        quint32 s = 0;
        for (int i = from; i < from + count; ++i)
            s += quint8(m_bytes.at(i));
        return I8(pos, int(s & 0xFF));
    }
    QByteArray Get() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// The 90 bytes every normal frame begins with, for the test record.
Golden NormalHead(int size, int kind)
{
    Golden g(size);
    g.Bytes(0, "VRK").I32(3, size).I32(7, size).Bytes(11, "006").I8(14, kind);
    g.Text(15, 24, QStringLiteral("ZEB-24")).Text(39, 24, QStringLiteral("SN0001")).Text(63, 16, QStringLiteral("P7"));
    g.I8(79, 1 + 34).Text(80, 10, QStringLiteral("K001"));
    return g;
}

QByteArray Normal(int (*build)(const UploadRecord *, char *), const UploadRecord &r)
{
    std::array<char, NormalLayout::kFrameSize> f{};
    return QByteArray(f.data(), build(&r, f.data()));
}

QByteArray NormalData(const UploadRecord &r, int channel, int packet, int count)
{
    std::array<char, NormalLayout::kFrameSize> f{};
    return QByteArray(f.data(), BuildDataPacket(&r, f.data(), channel, packet, count));
}

QByteArray Witness(const UploadRecord &r, WitnessKind kind, int tag, int channel = 0, int index = 0,
                   qint32 task = 4711, const QString &mileage = QStringLiteral("K12+345"))
{
    std::array<char, WitnessLayout::kMaxFrame> f{};
    return QByteArray(f.data(), BuildWitnessFrame(&r, kind, task, mileage, tag, channel, index, f.data()));
}

// A witness header as the server would send it.
QByteArray ServerFrame(int cls, int code, int channel = 0, int tag = 0, int payload = 0, qint32 task = 4711,
                       const QByteArray &mileage = "K12+345")
{
    Golden g(31);
    g.I8(0, cls).I8(1, code).I32(2, task).Bytes(6, mileage.left(16)).I8(22, channel).I16(25, qint16(tag));
    g.I16(27, qint16(payload)).Sum(29, 0, 29);
    return g.Get() + QByteArray(qMax(0, payload), 'p');
}

UploadRecord TestRecord(int channels, int samples)
{
    PutTestRecord(channels, samples);
    return SnapshotCurrentRecord();
}

} // namespace

class TstUploadFrames : public QObject
{
    Q_OBJECT

private slots:
    void normalParameterFrame();
    void normalDataAndEndFrames();
    void cutting_data();
    void cutting();
    void textFieldsCutBetweenCharacters();
    void witnessHeartbeatAndDataFrames();
    void witnessParameterTextExactly();
    void witnessTextEscapedAndBounded();
    void numbersFromFilesStaySane();
    void refusals_data();
    void refusals();
    void snapshotIsACopy();
    void normalReplies_data();
    void normalReplies();
    void witnessReplies_data();
    void witnessReplies();
    void scannerCutsTheStream();
    void taskFrames();
};

void TstUploadFrames::normalParameterFrame()
{
    TestProgramDir dir;
    const UploadRecord r = TestRecord(12, 1000);
    Golden g = NormalHead(500, 11);
    g.F32(90, 114.3f).F32(94, 30.57f).Text(98, 24, QStringLiteral("桥梁A"));
    g.U32(122, 1709294400u); // 2024-03-01 12:00:00, the test runs in UTC
    g.Text(130, 24, QStringLiteral("QUARTZON")).Text(154, 24, QStringLiteral("张三"));
    g.I32(178, 12).I32(182, 62).I32(186, 1000).I8(190, 1).F32(191, 2.5f).F32(195, 4.0f).F32(199, 0.0f);
    g.F32(203, 4096.0f).I8(207, 1).I8(208, 2).I8(209, 1).I8(210, 0);
    for (int ch = 0; ch < 24; ++ch)
        g.F32(211 + 4 * ch, CurrentParams().Sensor.Sensitivity[ch]).I32(307 + 4 * ch, CurrentParams().Gains[ch]);
    g.Bytes(498, "F").Sum(499, 0, 499);
    QCOMPARE(Normal(BuildParamPacket, r).toHex(), g.Get().toHex());
    QCOMPARE(BuildParamPacket(nullptr, nullptr), 0);
}

void TstUploadFrames::normalDataAndEndFrames()
{
    TestProgramDir dir;
    const UploadRecord r = TestRecord(3, 2550);

    Golden data = NormalHead(500, 12);
    data.I8(90, 2).I16(91, 3).I32(93, 100);
    for (int i = 0; i < 100; ++i)
        data.F32(98 + 4 * i, TestSample(2, 200 + i));
    data.Bytes(498, "F").Sum(499, 0, 499);
    QCOMPARE(NormalData(r, 2, 3, 100).toHex(), data.Get().toHex());

    // The last packet carries the 50 samples that are left, zeros behind them,
    // whatever count the caller asks for.
    Golden last = NormalHead(500, 12);
    last.I8(90, 0).I16(91, 26).I32(93, 50);
    for (int i = 0; i < 50; ++i)
        last.F32(98 + 4 * i, TestSample(0, 2500 + i));
    last.Bytes(498, "F").Sum(499, 0, 499);
    QCOMPARE(NormalData(r, 0, 26, 100).toHex(), last.Get().toHex());

    // Nothing beyond the record: packet 27, packet 0, channel 3 of 3, channel -1.
    QCOMPARE(NormalData(r, 0, 27, 100).size(), 0);
    QCOMPARE(NormalData(r, 0, 0, 100).size(), 0);
    QCOMPARE(NormalData(r, 3, 1, 100).size(), 0);
    QCOMPARE(NormalData(r, -1, 1, 100).size(), 0);

    Golden end = NormalHead(132, 14);
    end.Bytes(130, "F").Sum(131, 0, 131);
    QCOMPARE(Normal(BuildEndPacket, r).toHex(), end.Get().toHex());
}

void TstUploadFrames::cutting_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("normalPerChannel");
    QTest::addColumn<int>("normalLastCount");
    QTest::addColumn<QList<int>>("witnessCounts");
    QTest::addColumn<int>("witnessSteps");
    QTest::newRow("1000") << 1 << 1000 << 10 << 100 << QList<int>{1000} << 3;
    QTest::newRow("2500") << 1 << 2500 << 25 << 100 << QList<int>{1024, 1024, 452} << 5;
    QTest::newRow("24 x 1024") << 24 << 1024 << 11 << 24 << QList<int>{1024} << 26;
    QTest::newRow("24 x 2048") << 24 << 2048 << 21 << 48 << QList<int>{1024, 1024} << 50;
    QTest::newRow("2 x 1") << 2 << 1 << 1 << 1 << QList<int>{1} << 4;
}

void TstUploadFrames::cutting()
{
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(int, normalPerChannel);
    QFETCH(int, normalLastCount);
    QFETCH(QList<int>, witnessCounts);
    QFETCH(int, witnessSteps);
    TestProgramDir dir;
    const UploadRecord r = TestRecord(channels, samples);
    for (int ch = 0; ch < channels; ++ch) {
        int packets = 0;
        QByteArray f;
        while (!(f = NormalData(r, ch, packets + 1, 100)).isEmpty())
            ++packets;
        QCOMPARE(packets, normalPerChannel);
        QCOMPARE(qFromLittleEndian<qint32>(NormalData(r, ch, packets, 100).constData() + 93), normalLastCount);
        for (int k = 0; k < witnessCounts.size(); ++k) {
            const QByteArray w = Witness(r, WitnessKind::Data, 1 + ch * int(witnessCounts.size()) + k, ch, k);
            QCOMPARE(w.size(), 31 + 4 * witnessCounts[k]);
            QCOMPARE(int(w.at(1)), k == witnessCounts.size() - 1 ? 6 : 2);
            QCOMPARE(int(w.at(22)), ch + 1);
            float first;
            const quint32 bits = qFromLittleEndian<quint32>(w.constData() + 31);
            std::memcpy(&first, &bits, 4);
            QCOMPARE(first, TestSample(ch, k * 1024));
        }
        QCOMPARE(Witness(r, WitnessKind::Data, 1, ch, int(witnessCounts.size())).size(), 0);
    }
    QCOMPARE(Witness(r, WitnessKind::Data, 1, channels, 0).size(), 0); // a channel the record lacks
    QCOMPARE(Witness(r, WitnessKind::Data, 1, 0, -1).size(), 0);
    QUpLoadCtrl ctrl;
    QCOMPARE(ctrl.Init(r), witnessSteps);
}

void TstUploadFrames::textFieldsCutBetweenCharacters()
{
    TestProgramDir dir;
    PutTestRecord(1, 100);
    CurrentParams().SerialNumber.clear();
    CurrentParams().InstrumentNumber = QStringLiteral("A") + QString(12, QChar(0x6D4B)); // 1 + 24 bytes
    CurrentParams().CurrentRecordPath = QStringLiteral("/x/ABCDEFGHIJKL.QDW");
    const UploadRecord r = SnapshotCurrentRecord();
    const QByteArray f = Normal(BuildParamPacket, r);
    QCOMPARE(f.mid(39, 24), QByteArray(24, ' '));
    QCOMPARE(f.mid(15, 24), ToGb2312(QStringLiteral("A") + QString(11, QChar(0x6D4B))) + " ");
    QCOMPARE(f.mid(80, 10), QByteArray("ABCDEFGHIJ"));
    QVERIFY(WitnessParamText(r).contains("\"ABCDEFGHIJKL\""));
}

void TstUploadFrames::witnessHeartbeatAndDataFrames()
{
    TestProgramDir dir;
    const UploadRecord r = TestRecord(2, 1100);
    Golden beat(31);
    beat.I8(0, 0).I8(1, 8).I32(2, 4711).Bytes(6, "K12+345").Sum(29, 0, 29);
    QCOMPARE(Witness(r, WitnessKind::Heartbeat, 9).toHex(), beat.Get().toHex());
    // Byte 29 is the sum of the task number, the mileage number and the code.
    const QByteArray b = Witness(r, WitnessKind::Heartbeat, 0);
    quint32 sum = 8;
    for (int i = 2; i < 22; ++i)
        sum += quint8(b.at(i));
    QCOMPARE(quint8(b.at(29)), quint8(sum));

    Golden data(31 + 4 * 76);
    data.I8(0, 2).I8(1, 6).I32(2, 4711).Bytes(6, "K12+345").I8(22, 2).I16(25, 4).I16(27, 4 * 76);
    for (int i = 0; i < 76; ++i)
        data.F32(31 + 4 * i, TestSample(1, 1024 + i));
    data.Sum(29, 0, 29).Sum(30, 31, 4 * 76);
    QCOMPARE(Witness(r, WitnessKind::Data, 4, 1, 1).toHex(), data.Get().toHex());

    const QByteArray text = WitnessParamText(r);
    for (const auto &[kind, code, tag] : {std::tuple{WitnessKind::Parameter, 6, 0}, std::tuple{WitnessKind::End, 7, 5}}) {
        Golden g(31 + int(text.size()));
        g.I8(0, 1).I8(1, code).I32(2, 4711).Bytes(6, "K12+345").I16(25, qint16(tag)).I16(27, qint16(text.size()));
        g.Bytes(31, text).Sum(29, 0, 29).Sum(30, 31, int(text.size()));
        QCOMPARE(Witness(r, kind, tag).toHex(), g.Get().toHex());
    }
}

void TstUploadFrames::witnessParameterTextExactly()
{
    TestProgramDir dir;
    UploadRecord r = TestRecord(12, 1000);
    r.Sensor.Sensitivity[3] = 2678.125f; // an exact tie: %g rounds it to even
    QStringList sensitivity{QStringLiteral("28.8"), QStringLiteral("0.000125"), QStringLiteral("1e+06"),
                            QStringLiteral("2678.12")};
    while (sensitivity.size() < 24)
        sensitivity << QStringLiteral("1");
    QStringList gains;
    for (int g : {0, 24, 48, 60})
        for (int i = 0; i < 6; ++i)
            gains << QString::number(g);
    const QStringList zeros(24, QStringLiteral("0"));
    const QString expected =
        QStringLiteral(" {\"厂家编号\":\"VRK\",\"设备编号\":\"00000005\",\"测试日期\":\"2024-03-01 12:00:00\","
                       "\"流水号\":\"SN0001\",\"勘测方式\":1,\"文件名\":\"K001\",\"经度\":114.3,\"纬度\":30.57,"
                       "\"工程名称\":\"桥梁A\",\"检测单位\":\"QUARTZON\",\"检测人员\":\"张三\",\"通道数量\":12,"
                       "\"采样间隔\":62.5,\"采样长度\":1000,\"道序\":1,\"道间距\":2,\"偏移距\":4,\"延迟\":0,"
                       "\"滤波\":4096,\"触发方式\":1,\"触发水平\":2,\"传感器类型\":1,\"传感器计量信号\":0,"
                       "\"传感器灵敏度系数\":[")
        + (sensitivity + zeros).join(QLatin1Char(',')) + QStringLiteral("],\"传感器增益\":[")
        + (gains + zeros).join(QLatin1Char(',')) + QStringLiteral("]}");
    QCOMPARE(FromGb2312(WitnessParamText(r)), expected);
}

void TstUploadFrames::witnessTextEscapedAndBounded()
{
    TestProgramDir dir;
    PutTestRecord(1, 100);
    CurrentParams().Header.ProjectName = QStringLiteral("a\"b\\c\nd");
    CurrentParams().SerialNumber = QStringLiteral("\",\"通道数量\":99,\"x\":\"");
    UploadRecord r = SnapshotCurrentRecord();
    const QString text = FromGb2312(WitnessParamText(r));
    QVERIFY2(text.contains(QStringLiteral("\"工程名称\":\"a\\\"b\\\\c\\u000ad\"")), qPrintable(text));
    // Parsed as the server parses it: the texts stay texts, no member is added.
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    QCOMPARE(o.size(), 25);
    QCOMPARE(o.value(QStringLiteral("流水号")).toString(), CurrentParams().SerialNumber);
    QCOMPARE(o.value(QStringLiteral("通道数量")).toInt(), 1);
    QVERIFY(QUpLoadCtrl::Refusal(r).isEmpty());

    // A text that cannot fit a frame: no frame, and the upload is refused up front.
    r.Fields.SerialNumber = QString(5000, QLatin1Char('x'));
    QCOMPARE(Witness(r, WitnessKind::Parameter, 0).size(), 0);
    QCOMPARE(Witness(r, WitnessKind::End, 2).size(), 0);
    QCOMPARE(QUpLoadCtrl::Refusal(r), QStringLiteral("参数过长，无法上传！"));
}

void TstUploadFrames::numbersFromFilesStaySane()
{
    TestProgramDir dir;
    PutTestRecord(1, 100);
    RecordHeader &h = CurrentParams().Header;
    h.SampleInterval = std::numeric_limits<float>::quiet_NaN();
    h.TraceSpacing = 1e20f;
    h.Offset = -std::numeric_limits<float>::infinity();
    h.SurveyMethod = std::numeric_limits<int>::max();
    CurrentParams().Longitude = std::numeric_limits<float>::infinity();
    CurrentParams().Latitude = std::numeric_limits<float>::quiet_NaN();
    UploadRecord r = SnapshotCurrentRecord();
    const QByteArray f = Normal(BuildParamPacket, r);
    QCOMPARE(qFromLittleEndian<qint32>(f.constData() + 182), 0);
    QCOMPARE(quint8(f.at(79)), quint8(0x7FFFFFFF + 34u));
    const QString text = FromGb2312(WitnessParamText(r));
    QVERIFY2(!text.contains(QStringLiteral("nan")) && !text.contains(QStringLiteral("inf")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\"经度\":3.40282e+38,\"纬度\":0,")));
    QVERIFY(text.contains(QStringLiteral("\"采样间隔\":0,")));
    QVERIFY(text.contains(QStringLiteral("\"道间距\":2147483647,\"偏移距\":-2147483648,")));

    // The test time: all ones when it does not parse or does not fit 32 bits.
    const auto timeOf = [&](const char *date, const char *time) {
        r.Header.Date = QString::fromLatin1(date);
        r.Header.Time = QString::fromLatin1(time);
        return qFromLittleEndian<quint32>(Normal(BuildParamPacket, r).constData() + 122);
    };
    QCOMPARE(timeOf("1970-01-01", "00:00:00"), 0u);
    QCOMPARE(timeOf("2106-02-07", "06:28:14"), 0xFFFFFFFEu);
    QCOMPARE(timeOf("2200-01-01", "00:00:00"), 0xFFFFFFFFu);
    QCOMPARE(timeOf("1969-12-31", "23:59:59"), 0xFFFFFFFFu);
    QCOMPARE(timeOf("2024-02-30", "12:00:00"), 0xFFFFFFFFu);
    QCOMPARE(timeOf("", ""), 0xFFFFFFFFu);
}

void TstUploadFrames::refusals_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("firstTraceEmpty");
    QTest::addColumn<QString>("normal");
    QTest::addColumn<QString>("witness");
    const QString invalid = QStringLiteral("记录参数无效，无法上传！");
    const QString noData = QStringLiteral("无数据可上传，请先采样数据！");
    const QString tooLong = QStringLiteral("数据过长，无法上传！");
    QTest::newRow("usual") << 24 << 16384 << false << QString() << QString();
    QTest::newRow("no channels") << 0 << 1024 << false << invalid << invalid;
    QTest::newRow("25 channels") << 25 << 1024 << false << invalid << invalid;
    QTest::newRow("no samples") << 12 << 0 << false << invalid << invalid;
    QTest::newRow("nothing on screen") << 12 << 1024 << true << noData << noData;
    // 32767 packets per channel is the most a 16-bit packet number holds.
    QTest::newRow("normal's last packet number") << 24 << 3276700 << false << QString() << tooLong;
    QTest::newRow("normal packet number wraps") << 1 << 3276701 << false << tooLong << QString();
    // Witness: N + 1 tags must fit, 24 x 1365 + 1 = 32761 does, 24 x 1366 + 1 does not.
    QTest::newRow("witness's last tag") << 24 << 1365 * 1024 << false << QString() << QString();
    QTest::newRow("witness tag wraps") << 24 << 1366 * 1024 << false << QString() << tooLong;
}

void TstUploadFrames::refusals()
{
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(bool, firstTraceEmpty);
    QFETCH(QString, normal);
    QFETCH(QString, witness);
    TestProgramDir dir;
    PutTestRecord(qBound(0, channels, 24), qMin(samples, 100));
    CurrentParams().Header.ChannelCount = channels;
    CurrentParams().Header.SampleLength = samples;
    if (firstTraceEmpty)
        Store().Traces[0].clear();
    const UploadRecord r = SnapshotCurrentRecord();
    QCOMPARE(CDataUpLoadThread::Refusal(r), normal);
    QCOMPARE(QUpLoadCtrl::Refusal(r), witness);
}

void TstUploadFrames::snapshotIsACopy()
{
    TestProgramDir dir;
    PutTestRecord(2, 50);
    Store().Traces[1].resize(20); // shorter than the record: the rest goes out as zeros
    const UploadRecord r = SnapshotCurrentRecord();
    Store().Traces[0][0] = 1234.0f;
    CurrentParams().SerialNumber = QStringLiteral("changed");
    QCOMPARE(r.Sample(0, 0), TestSample(0, 0));
    QCOMPARE(r.Fields.SerialNumber, QStringLiteral("SN0001"));
    QCOMPARE(r.Sample(1, 19), TestSample(1, 19));
    QCOMPARE(r.Sample(1, 20), 0.0f);
    QCOMPARE(r.FileName, QStringLiteral("K001"));
}

void TstUploadFrames::normalReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("result");
    const auto reply = [](const char *code, int size) {
        QByteArray r(size, '\0');
        r.replace(0, 3, "VRK");
        r.replace(15, 6, code);
        return r;
    };
    QTest::newRow("accepted") << reply("VRKsok", 28) << 1;
    QTest::newRow("27 bytes are no answer") << reply("VRKsok", 27) << 0;
    QTest::newRow("long reply") << reply("VRKsok", 150) << 1;
    QTest::newRow("no such device") << reply("VRKe03", 28) << -3;
    QTest::newRow("no such serial number") << reply("VRKe04", 28) << -4;
    QTest::newRow("repeated data goes on") << reply("VRKe09", 28) << 1;
    QTest::newRow("unknown code") << reply("VRKe05", 28) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TstUploadFrames::normalReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, result);
    QCOMPARE(JudgeNormalReply(reply), result);
}

void TstUploadFrames::witnessReplies_data()
{
    QTest::addColumn<int>("sent");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("resendTag");
    const int param = int(WitnessKind::Parameter);
    const int data = int(WitnessKind::Data);
    const int end = int(WitnessKind::End);
    // Data frame sent: channel byte 3, tag 7.
    QTest::newRow("parameter accepted") << param << ServerFrame(1, 5) << 1 << 0;
    QTest::newRow("parameter again") << param << ServerFrame(1, 3) << 0 << 0;
    QTest::newRow("end accepted") << end << ServerFrame(1, 5) << 1 << 0;
    QTest::newRow("parameter answered as data") << param << ServerFrame(2, 5) << -2 << 0;
    QTest::newRow("data accepted") << data << ServerFrame(2, 5, 3) << 1 << 0;
    QTest::newRow("data for another channel") << data << ServerFrame(2, 5, 4) << -2 << 0;
    QTest::newRow("resend from 5") << data << ServerFrame(2, 3, 3, 5) << 0 << 5;
    QTest::newRow("resend this one") << data << ServerFrame(2, 3, 3, 7) << 0 << 7;
    QTest::newRow("resend from 0") << data << ServerFrame(2, 3, 3, 0) << -2 << 0;
    QTest::newRow("resend from -3") << data << ServerFrame(2, 3, 3, -3) << -2 << 0;
    QTest::newRow("resend never sent") << data << ServerFrame(2, 3, 3, 8) << -2 << 0;
    QTest::newRow("server heartbeat") << data << ServerFrame(0, 8) << -2 << 0;
    QTest::newRow("cut header") << data << ServerFrame(2, 5, 3).left(30) << -2 << 0;
}

void TstUploadFrames::witnessReplies()
{
    QFETCH(int, sent);
    QFETCH(QByteArray, reply);
    QFETCH(int, result);
    QFETCH(int, resendTag);
    const WitnessVerdict v = JudgeWitnessReply(WitnessKind(sent), 3, 7, reply);
    QCOMPARE(v.Result, result);
    QCOMPARE(v.ResendTag, resendTag);
}

void TstUploadFrames::scannerCutsTheStream()
{
    const QByteArray beat = ServerFrame(0, 8);
    const QByteArray withPayload = ServerFrame(2, 5, 1, 1, 4969);
    const QByteArray task = ServerFrame(1, 1);
    const QByteArray stream = beat + withPayload + task;
    // Whatever the pieces, the same three frames come out, and never more
    // than one frame's worth waits.
    for (int piece : {1, 7, 31, 32, 4999, 100000}) {
        WitnessFrameScanner s;
        QList<QByteArray> frames;
        for (int at = 0; at < stream.size(); at += piece) {
            s.Append(stream.mid(at, piece));
            QByteArray f;
            while (s.Next(f))
                frames << f;
            QVERIFY(s.Buffered() < WitnessLayout::kMaxFrame);
        }
        QCOMPARE(frames, (QList<QByteArray>{beat, withPayload, task}));
        QCOMPARE(s.Buffered(), 0);
    }
    // A header announcing an impossible payload drops everything buffered.
    for (int hostile : {4970, 32767, -1}) {
        WitnessFrameScanner s;
        s.Append(beat);
        QByteArray f;
        QVERIFY(s.Next(f)); // a well-formed frame first
        QByteArray bad = ServerFrame(0, 8);
        qToLittleEndian<qint16>(qint16(hostile), bad.data() + 27);
        s.Append(bad + task);
        QVERIFY(!s.Next(f));
        QCOMPARE(s.Buffered(), 0);
        s.Append(task);
        QVERIFY(s.Next(f));
        QCOMPARE(f, task);
    }
}

void TstUploadFrames::taskFrames()
{
    WitnessTask t;
    QVERIFY(ReadTaskFrame(ServerFrame(1, 1, 0, 0, 0, 815, "  K7+100 "), t));
    QCOMPARE(t.Number, 815);
    QCOMPARE(t.Mileage, QStringLiteral("K7+100"));
    QVERIFY(ReadTaskFrame(ServerFrame(0, 1, 0, 0, 0, -2, "0123456789ABCDEF"), t));
    QCOMPARE(t.Mileage, QStringLiteral("0123456789ABCDEF")); // 16 bytes, no zero: all of them
    QCOMPARE(t.Number, -2);
    QVERIFY(ReadTaskFrame(ServerFrame(1, 1, 0, 0, 0, 1, ToGb2312(QStringLiteral("里程")) + '\0' + "junk"), t));
    QCOMPARE(t.Mileage, QStringLiteral("里程"));
    QVERIFY(!ReadTaskFrame(ServerFrame(1, 1, 0, 0, 0, 1, QByteArray()), t)); // empty: ignored
    QVERIFY(!ReadTaskFrame(ServerFrame(1, 1, 0, 0, 0, 1, "   "), t));
    QVERIFY(!ReadTaskFrame(ServerFrame(1, 5), t));
    QVERIFY(!ReadTaskFrame(ServerFrame(1, 1).left(30), t));
    QVERIFY(IsUnsolicitedFrame(ServerFrame(0, 8)));
    QVERIFY(IsUnsolicitedFrame(ServerFrame(2, 1)));
    QVERIFY(!IsUnsolicitedFrame(ServerFrame(1, 5)));
}

int main(int argc, char *argv[])
{
    // Test times are written for UTC.
    qputenv("TZ", "UTC");
    QCoreApplication app(argc, argv);
    TstUploadFrames test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uploadframes.moc"
