// Frames and reply decoding of the unit's command protocol, byte by byte.
#include "instrument/InstrumentProtocol.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <limits>

class TstInstrumentProtocol : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames();
    void intervalCodes_data();
    void intervalCodes();
    void gainCodes_data();
    void gainCodes();
    void filterCodes_data();
    void filterCodes();
    void triggerAndDelayCodes();
    void paraFrameExactBytes();
    void paraFrameFallbacks();
    void gainFactors();
    void versionText();
    void replyClassification();
    void sampleAmplitudes();
    void offsetOverFirst200();
};

void TstInstrumentProtocol::commandFrames()
{
    for (char c = 'a'; c <= 'i'; ++c)
        QCOMPARE(CommandFrame(c), QByteArray("VRK") + c);
    QCOMPARE(SampleDataFrame(7), QByteArray("VRKj\x07", 5));
    QCOMPARE(SampleDataFrame(24), QByteArray("VRKj\x18", 5));
}

void TstInstrumentProtocol::intervalCodes_data()
{
    QTest::addColumn<float>("us");
    QTest::addColumn<int>("code");
    QTest::newRow("10") << 10.0f << 20;
    QTest::newRow("9 edge") << 9.0f << 20;
    QTest::newRow("11.9 truncates to 11") << 11.9f << 20;
    QTest::newRow("12 falls through") << 12.0f << 250;
    QTest::newRow("15") << 15.0f << 30;
    QTest::newRow("31.25") << 31.25f << 62;
    QTest::newRow("62.5") << 62.5f << 125;
    QTest::newRow("125 is not in the table") << 125.0f << 250;
    QTest::newRow("250") << 250.0f << 500;
    QTest::newRow("500") << 500.0f << 1000;
    QTest::newRow("1000") << 1000.0f << 2000;
    QTest::newRow("2000") << 2000.0f << 4000;
    QTest::newRow("4000") << 4000.0f << 8000;
    QTest::newRow("8000") << 8000.0f << 16000;
    QTest::newRow("16000") << 16000.0f << 32000;
    QTest::newRow("16001") << 16001.0f << 32000;
    QTest::newRow("16002") << 16002.0f << 250;
    QTest::newRow("248.99 truncates to 248") << 248.99f << 250;
    QTest::newRow("zero") << 0.0f << 250;
    QTest::newRow("negative") << -500.0f << 250;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 250;
    QTest::newRow("huge") << 3.0e30f << 250;
}

void TstInstrumentProtocol::intervalCodes()
{
    QFETCH(float, us);
    QFETCH(int, code);
    QCOMPARE(int(SampleIntervalCode(us)), code);
}

void TstInstrumentProtocol::gainCodes_data()
{
    QTest::addColumn<int>("dB");
    QTest::addColumn<int>("code");
    QTest::newRow("0") << 0 << 0x11;
    QTest::newRow("12") << 12 << 0x22;
    QTest::newRow("24") << 24 << 0x33;
    QTest::newRow("36") << 36 << 0x44;
    QTest::newRow("48") << 48 << 0x55;
    QTest::newRow("60") << 60 << 0x66;
    QTest::newRow("72") << 72 << 0x77;
    QTest::newRow("6") << 6 << 0x44;
    QTest::newRow("-12") << -12 << 0x44;
    QTest::newRow("84") << 84 << 0x44;
}

void TstInstrumentProtocol::gainCodes()
{
    QFETCH(int, dB);
    QFETCH(int, code);
    QCOMPARE(int(GainCode(dB)), code);
}

void TstInstrumentProtocol::filterCodes_data()
{
    QTest::addColumn<float>("hz");
    QTest::addColumn<int>("code");
    QTest::newRow("512") << 512.0f << 3;
    QTest::newRow("512.9") << 512.9f << 3;
    QTest::newRow("511.9") << 511.9f << 0;
    QTest::newRow("1024") << 1024.0f << 2;
    QTest::newRow("2048") << 2048.0f << 1;
    QTest::newRow("all-pass 4096") << 4096.0f << 0;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 0;
}

void TstInstrumentProtocol::filterCodes()
{
    QFETCH(float, hz);
    QFETCH(int, code);
    QCOMPARE(int(FilterCode(hz)), code);
}

void TstInstrumentProtocol::triggerAndDelayCodes()
{
    QCOMPARE(int(TriggerMethodCode(0, false)), 0);
    QCOMPARE(int(TriggerMethodCode(1, false)), 1);
    QCOMPARE(int(TriggerMethodCode(2, false)), 2);
    QCOMPARE(int(TriggerMethodCode(3, false)), 1);
    QCOMPARE(int(TriggerMethodCode(-1, false)), 1);
    QCOMPARE(int(TriggerMethodCode(0, true)), 3);
    QCOMPARE(int(TriggerMethodCode(7, true)), 3);

    QCOMPARE(int(TriggerLevelCode(0)), 1);
    QCOMPARE(int(TriggerLevelCode(1)), 3);
    QCOMPARE(int(TriggerLevelCode(2)), 5);
    QCOMPARE(int(TriggerLevelCode(3)), 3);
    QCOMPARE(int(TriggerLevelCode(-1)), 3);

    QCOMPARE(int(DelayCode(-10.7f)), 10);
    QCOMPARE(int(DelayCode(20.0f)), -20);
    QCOMPARE(quint16(DelayCode(20.0f)), quint16(0xFFEC));
    QCOMPARE(int(DelayCode(0.9f)), 0);
    QCOMPARE(int(DelayCode(std::numeric_limits<float>::quiet_NaN())), 0);
}

void TstInstrumentProtocol::paraFrameExactBytes()
{
    TestProgramDir dir;
    ParamSet p;
    p.Header.ChannelCount = 24;
    p.Header.SampleInterval = 31.25f;
    p.Header.SampleLength = 16384;
    p.Header.TriggerMethod = 0;
    p.Header.TriggerLevel = 2;
    p.Header.Delay = 20.0f;
    p.Header.Filter = 1024.0f;
    p.Gains.fill(36);
    p.Gains[0] = 72;
    p.Gains[6] = 6;
    p.Gains[12] = 0;
    p.Gains[18] = 60;
    // Only the first channel of each group counts; the rest must not leak in.
    p.Gains[5] = 12;
    p.Gains[23] = 24;

    const uchar expected[25] = {
        'V', 'R', 'K', 'd',
        0x02,             // 24 channels
        62, 0x00,         // 31.25 µs
        0x00, 0x40,       // 16384 samples
        0x00,             // automatic
        0x05,             // high level
        0x00, 0x00, 0x00, 0x00,
        0xEC, 0xFF,       // delay 20 ms goes as −20
        0x77, 0x44, 0x11, 0x66,
        0x02, 0x02, 0x02, 0x02,
    };
    QCOMPARE(SetParaFrame(p, false), QByteArray(reinterpret_cast<const char *>(expected), 25));

    QByteArray selfCheck = SetParaFrame(p, true);
    QCOMPARE(selfCheck.size(), 25);
    QCOMPARE(int(uchar(selfCheck[9])), 3);
    selfCheck[9] = 0;
    QCOMPARE(selfCheck, QByteArray(reinterpret_cast<const char *>(expected), 25));
}

void TstInstrumentProtocol::paraFrameFallbacks()
{
    TestProgramDir dir;
    ParamSet p;
    p.Header.ChannelCount = 12;
    p.Header.SampleInterval = 125.0f;
    p.Header.SampleLength = 70000;   // only its low 16 bits fit the frame
    p.Header.TriggerMethod = 9;
    p.Header.TriggerLevel = 9;
    p.Header.Delay = -10.7f;
    p.Header.Filter = 4096.0f;
    const QByteArray f = SetParaFrame(p, false);
    QCOMPARE(f.size(), 25);
    QCOMPARE(int(uchar(f[4])), 1);
    QCOMPARE(qFromLittleEndian<quint16>(f.constData() + 5), quint16(250));
    QCOMPARE(qFromLittleEndian<quint16>(f.constData() + 7), quint16(70000 & 0xFFFF));
    QCOMPARE(int(uchar(f[9])), 1);
    QCOMPARE(int(uchar(f[10])), 3);
    QCOMPARE(qFromLittleEndian<qint16>(f.constData() + 15), qint16(10));
    for (int i = 21; i < 25; ++i)
        QCOMPARE(int(uchar(f[i])), 0);
    // A channel count that is neither 12 nor 24 (from a damaged file) goes as 12.
    p.Header.ChannelCount = 99;
    QCOMPARE(int(uchar(SetParaFrame(p, false)[4])), 1);
}

void TstInstrumentProtocol::gainFactors()
{
    QCOMPARE(GainFactor(12), 4.0272);
    QCOMPARE(GainFactor(24), 15.8992);
    QCOMPARE(GainFactor(36), 62.496);
    QCOMPARE(GainFactor(48), 249.3952);
    QCOMPARE(GainFactor(60), 978.1248);
    QCOMPARE(GainFactor(72), 3938.304);
    QCOMPARE(GainFactor(0), 1.0148);
    QCOMPARE(GainFactor(6), 1.0148);
    QCOMPARE(GainFactor(-1), 1.0148);
}

void TstInstrumentProtocol::versionText()
{
    QCOMPARE(HardwareVersionText(0x9B), QStringLiteral("硬件版本: D2.1 H2.3"));
    QCOMPARE(HardwareVersionText(0x00), QStringLiteral("硬件版本: D0.0 H0.0"));
    QCOMPARE(HardwareVersionText(0xFF), QStringLiteral("硬件版本: D3.3 H3.3"));
    QCOMPARE(HardwareVersionText(0x24), QStringLiteral("硬件版本: D0.2 H1.0"));
}

void TstInstrumentProtocol::replyClassification()
{
    auto reply = [](const QByteArray &head) {
        QByteArray b = head;
        b.append(QByteArray(16, '\0'));
        return b;
    };
    for (char c : QByteArray("acdefghi")) {
        QCOMPARE(ClassifyReply(reply(QByteArray("VRK") + c + '\x01').constData()), ReplyKind::Short);
        const char upper = static_cast<char>(c - 'a' + 'A');
        QCOMPARE(ClassifyReply(reply(QByteArray("VRK") + upper + '\x01').constData()),
                 ReplyKind::Short);
        QVERIFY(IsReplyLetter(c, c));
        QVERIFY(IsReplyLetter(upper, c));
    }
    QVERIFY(!IsReplyLetter('f', 'e'));
    QVERIFY(!IsReplyLetter('F', 'e'));
    QCOMPARE(ClassifyReply(reply("VRKb\x9b").constData()), ReplyKind::Version);
    QCOMPARE(ClassifyReply(reply("VRKB\x9b").constData()), ReplyKind::Version);
    QCOMPARE(ClassifyReply(reply(QByteArray("VRKj\0\0j\0\x01\0", 10)).constData()), ReplyKind::Data);
    QCOMPARE(ClassifyReply(reply(QByteArray("\0\0\0\0\0\0J\0\x01\0", 10)).constData()), ReplyKind::Data);
    // The short letters are looked at first: byte 3 decides before byte 6.
    QCOMPARE(ClassifyReply(reply(QByteArray("VRKa\0\0j\0\x01\0", 10)).constData()), ReplyKind::Short);
    QCOMPARE(ClassifyReply(reply("VRKk\x01").constData()), ReplyKind::Ignored);
    QCOMPARE(ClassifyReply(reply("").constData()), ReplyKind::Ignored);
}

void TstInstrumentProtocol::sampleAmplitudes()
{
    QVERIFY(std::fabs(SampleAmplitude(32767, GainFactor(0)) - 4926.93f) < 0.01f);
    QVERIFY(std::fabs(SampleAmplitude(32767, GainFactor(72)) - 1.26954f) < 1e-5f);
    QCOMPARE(SampleAmplitude(0, GainFactor(36)), 0.0f);
    QVERIFY(std::fabs(SampleAmplitude(-32768, 1.0) + 5000.0f) < 1e-3f);

    // The batch conversion rounds every sample exactly as the single one does.
    const qint16 raw[5] = {32767, -32768, 1, -1, 12345};
    QByteArray le(10, '\0');
    for (int i = 0; i < 5; ++i)
        qToLittleEndian(raw[i], le.data() + 2 * i);
    QVector<float> out;
    ConvertSamples(le.constData(), 5, GainFactor(48), false, out);
    QCOMPARE(out.size(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(out[i], SampleAmplitude(raw[i], GainFactor(48)));
}

void TstInstrumentProtocol::offsetOverFirst200()
{
    auto samples = [](int n, qint16 value) {
        QByteArray le(2 * n, '\0');
        for (int i = 0; i < n; ++i)
            qToLittleEndian(value, le.data() + 2 * i);
        return le;
    };
    QVector<float> out;
    const float a = SampleAmplitude(1000, 1.0);

    // N = 100: the sum of all 100 over 200, half the level.
    QByteArray le = samples(100, 1000);
    float offset = ConvertSamples(le.constData(), 100, 1.0, true, out);
    QVERIFY(std::fabs(offset - a * 100 / 200) < 1e-3f);

    // N = 300, the level changes after sample 200: only the first 200 count.
    le = samples(300, 1000);
    for (int i = 200; i < 300; ++i)
        qToLittleEndian<qint16>(-30000, le.data() + 2 * i);
    offset = ConvertSamples(le.constData(), 300, 1.0, true, out);
    QVERIFY(std::fabs(offset - a) < 1e-3f);

    // Not removed (automatic trigger, or the self-check): 0.
    QCOMPARE(ConvertSamples(le.constData(), 300, 1.0, false, out), 0.0f);
    QCOMPARE(out.size(), 300);

    QCOMPARE(ConvertSamples(nullptr, 0, 1.0, true, out), 0.0f);
    QVERIFY(out.isEmpty());
}

QTEST_GUILESS_MAIN(TstInstrumentProtocol)
#include "tst_instrumentprotocol.moc"
