// The unit simulator on its own, driven by a bare UDP client: its replies,
// its shots and its fault modes are what the link tests stand on.
#include "ShotModel.h"
#include "UnitSimulator.h"
#include "instrument/InstrumentProtocol.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QProcess>
#include <QUdpSocket>
#include <QtEndian>
#include <QtTest>
#include <cmath>

namespace {

/// A bare client of the unit: one datagram out, the next one back.
class Client
{
public:
    explicit Client(quint16 port)
    {
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    }

    void send(const QByteArray &request) { m_socket.write(request); }

    /// The next reply, or an empty array when none comes within ms.
    QByteArray next(int ms = ScaledTimeout(2000))
    {
        if (!QTest::qWaitFor([&] { return m_socket.hasPendingDatagrams(); }, ms))
            return {};
        QByteArray d(int(m_socket.pendingDatagramSize()), '\0');
        m_socket.readDatagram(d.data(), d.size());
        return d;
    }

    QByteArray ask(const QByteArray &request, int ms = ScaledTimeout(2000))
    {
        send(request);
        return next(ms);
    }

private:
    QUdpSocket m_socket;
};

QByteArray shortReply(char letter, int value)
{
    return QByteArray("VRK") + letter + static_cast<char>(value);
}

double rms(const QVector<double> &v)
{
    double s = 0;
    for (double x : v)
        s += x * x;
    return v.isEmpty() ? 0 : std::sqrt(s / v.size());
}

/// Sample index of the largest excursion.
int peakIndex(const QVector<qint16> &v)
{
    int best = 0;
    for (int i = 1; i < v.size(); ++i) {
        if (std::abs(v[i]) > std::abs(v[best]))
            best = i;
    }
    return best;
}

} // namespace

class TstUnitSim : public QObject
{
    Q_OBJECT

private slots:
    void answersEveryCommand();
    void parameterFrameRoundTrip();
    void dataReplyLayout();
    void triggerAndFinish();
    void repliesKeepTheirOrder();
    void faultModes();
    void silenceFromAGivenMoment();
    void loopbackOnly();
    void dispersiveShots();
    void noiseDiffersPerShotAndStackingHelps();
    void selfCheckIsNoiseOnly();
    void gainScalesAndClips();
    void programAnswersOnLoopback();
};

void TstUnitSim::answersEveryCommand()
{
    UnitSimulator sim;
    sim.SetVersionByte(0x24);
    sim.SetBattery(6);
    QVERIFY(sim.Start());
    Client c(sim.Port());
    QCOMPARE(c.ask("VRKa"), shortReply('a', 1));
    QCOMPARE(c.ask("VRKb"), shortReply('b', 0x24));
    QCOMPARE(c.ask("VRKc"), shortReply('c', 6));
    QCOMPARE(c.ask("VRKd"), shortReply('d', 0)); // not a whole frame
    QCOMPARE(c.ask("VRKi"), shortReply('i', 1));
    QVERIFY(c.ask("XYZa", 200).isEmpty());
    QCOMPARE(sim.Received('a'), 1);
    QCOMPARE(sim.Received('d'), 1);
    QCOMPARE(sim.ReceivedTotal(), 5);
    QCOMPARE(sim.RepliesSent(), 5);
    sim.ResetCounters();
    QCOMPARE(sim.ReceivedTotal(), 0);
}

void TstUnitSim::parameterFrameRoundTrip()
{
    TestProgramDir dir;
    ParamSet p;
    p.Header.ChannelCount = 24;
    p.Header.SampleInterval = 62.5f;
    p.Header.SampleLength = 2048;
    p.Header.TriggerMethod = 0;
    p.Header.Delay = -10.7f;
    p.Gains = {};
    p.Gains[0] = 12;
    p.Gains[6] = 36;
    p.Gains[12] = 72;
    p.Gains[18] = 48;
    UnitParams u;
    QVERIFY(DecodeParaFrame(SetParaFrame(p, false), u));
    QCOMPARE(u.Channels, 24);
    QCOMPARE(u.IntervalUs, 62.5);
    QCOMPARE(u.SampleLength, 2048);
    QCOMPARE(u.TriggerMethod, 0);
    QCOMPARE(u.DelayMs, -10);
    QCOMPARE(u.GroupGainDb, (std::array<int, 4>{{12, 36, 72, 48}}));
    QCOMPARE(u.ChannelGainDb(6), 12);
    QCOMPARE(u.ChannelGainDb(7), 36);
    QCOMPARE(u.ChannelGainDb(24), 48);
    QVERIFY(DecodeParaFrame(SetParaFrame(p, true), u));
    QVERIFY(u.SelfCheck());
    QVERIFY(!DecodeParaFrame(SetParaFrame(p, true).left(24), u));
}

void TstUnitSim::dataReplyLayout()
{
    UnitSimulator sim;
    QVERIFY(sim.Start());
    Client c(sim.Port());
    QByteArray frame(25, '\0');
    frame.replace(0, 4, "VRKd");
    frame[4] = 1;
    qToLittleEndian<quint16>(1000, frame.data() + 5);
    qToLittleEndian<quint16>(300, frame.data() + 7);
    frame[9] = 0;
    for (int i = 17; i < 21; ++i)
        frame[i] = 0x33;
    QCOMPARE(c.ask(frame), shortReply('d', 1));
    QCOMPARE(sim.Params().SampleLength, 300);
    QCOMPARE(c.ask("VRKh"), shortReply('h', 1));
    const QByteArray d = c.ask(QByteArray("VRKj\x05", 5));
    QCOMPARE(d.size(), 10 + 2 * 300);
    QCOMPARE(d[6], 'j');
    QCOMPARE(int(d[8]), 5);
    const QVector<qint16> expected = sim.ChannelSamples(5);
    for (int i = 0; i < 300; ++i)
        QCOMPARE(qFromLittleEndian<qint16>(d.constData() + 10 + 2 * i), expected[i]);
    QCOMPARE(sim.ChannelRequests(), QList<int>{5});
}

void TstUnitSim::triggerAndFinish()
{
    UnitSimulator sim;
    sim.SetTriggerWaitMs(-1);
    sim.SetTimeScale(0);
    QVERIFY(sim.Start());
    Client c(sim.Port());
    QCOMPARE(c.ask("VRKf"), shortReply('f', 0)); // not armed
    QCOMPARE(c.ask("VRKe"), shortReply('e', 1));
    QCOMPARE(c.ask("VRKf"), shortReply('f', 0));
    QCOMPARE(c.ask("VRKg"), shortReply('g', 0));
    sim.TriggerNow();
    QCOMPARE(c.ask("VRKf"), shortReply('f', 1));
    QCOMPARE(c.ask("VRKg"), shortReply('g', 1));
    QCOMPARE(c.ask("VRKi"), shortReply('i', 1));
    QCOMPARE(c.ask("VRKf"), shortReply('f', 0)); // stopped

    // External trigger after a wait; the record then takes its own length.
    sim.SetTriggerWaitMs(50);
    sim.SetTimeScale(0.2); // 1024 × 500 µs → about 100 ms
    QCOMPARE(c.ask("VRKe"), shortReply('e', 1));
    QVERIFY(QTest::qWaitFor([&] { return c.ask("VRKf") == shortReply('f', 1); },
                            ScaledTimeout(3000)));
    QVERIFY(QTest::qWaitFor([&] { return c.ask("VRKg") == shortReply('g', 1); },
                            ScaledTimeout(3000)));

    // Automatic triggering fires at once.
    QByteArray frame = SetParaFrame(ParamSet(), false);
    frame[9] = 0;
    QCOMPARE(c.ask(frame), shortReply('d', 1));
    sim.SetTriggerWaitMs(-1);
    QCOMPARE(c.ask("VRKe"), shortReply('e', 1));
    QCOMPARE(c.ask("VRKf"), shortReply('f', 1));
}

void TstUnitSim::repliesKeepTheirOrder()
{
    UnitSimulator sim;
    QVERIFY(sim.Start());
    Client c(sim.Port());
    const QByteArray letters("acefghi");
    for (char l : letters)
        c.send(QByteArray("VRK") + l);
    for (char l : letters) {
        const QByteArray r = c.next();
        QCOMPARE(r.size(), 5);
        QCOMPARE(r[3], l);
    }
}

void TstUnitSim::faultModes()
{
    UnitSimulator sim;
    QVERIFY(sim.Start());
    Client c(sim.Port());

    sim.SetFault('a', UnitSimulator::Fault::NoReply, 0, 1);
    QVERIFY(c.ask("VRKa", 200).isEmpty());
    QCOMPARE(c.ask("VRKa"), shortReply('a', 1)); // only once
    QCOMPARE(sim.Received('a'), 2);

    sim.SetFault('e', UnitSimulator::Fault::WrongLetter);
    QCOMPARE(c.ask("VRKe"), shortReply('f', 1));
    QCOMPARE(c.ask("VRKe"), shortReply('f', 1)); // until cleared
    sim.SetFault('e', UnitSimulator::Fault::WrongLetter, 'Z', 1);
    QCOMPARE(c.ask("VRKe"), shortReply('Z', 1));
    sim.ClearFaults();
    QCOMPARE(c.ask("VRKe"), shortReply('e', 1));

    sim.SetFault('c', UnitSimulator::Fault::LateReply, 300, 1);
    c.send("VRKc");
    c.send("VRKa");
    QCOMPARE(c.next()[3], 'a'); // the late one is overtaken
    QCOMPARE(c.next()[3], 'c');

    sim.SetFault('j', UnitSimulator::Fault::WrongChannel, 0, 1);
    QCOMPARE(int(c.ask(QByteArray("VRKj\x18", 5))[8]), 1); // 24 → 1
    sim.SetFault('j', UnitSimulator::Fault::WrongChannel, 13, 1);
    QCOMPARE(int(c.ask(QByteArray("VRKj\x02", 5))[8]), 13);
    QCOMPARE(sim.ChannelRequests(), (QList<int>{24, 2}));

    sim.SetReplyOverride('b', "VRKb");
    QCOMPARE(c.ask("VRKb"), QByteArray("VRKb"));
    QCOMPARE(c.ask("VRKb"), shortReply('b', 0x9B));
}

void TstUnitSim::silenceFromAGivenMoment()
{
    UnitSimulator sim;
    QVERIFY(sim.Start());
    Client c(sim.Port());
    sim.SetSilentAfter(2);
    QVERIFY(!c.ask("VRKa").isEmpty());
    QVERIFY(!c.ask("VRKc").isEmpty());
    QVERIFY(c.ask("VRKa", 200).isEmpty());
    QVERIFY(c.ask("VRKb", 200).isEmpty());
    QCOMPARE(sim.ReceivedTotal(), 4);
    QCOMPARE(sim.RepliesSent(), 2);
    sim.SetSilentAfter(-1);
    QVERIFY(!c.ask("VRKa").isEmpty());
}

void TstUnitSim::loopbackOnly()
{
    UnitSimulator sim;
    QVERIFY(sim.Start());
    QVERIFY(sim.IsRunning());
    QCOMPARE(sim.findChild<QUdpSocket *>()->localAddress(), QHostAddress(QHostAddress::LocalHost));
    UnitSimulator second;
    QVERIFY(!second.Start(sim.Port())); // taken
    QVERIFY(!second.IsRunning());
    sim.Stop();
    QVERIFY(!sim.IsRunning());
}

void TstUnitSim::dispersiveShots()
{
    QCOMPARE(ShotModel::PhaseVelocity(5), 400.0);
    QCOMPARE(ShotModel::PhaseVelocity(50), 150.0);
    for (double f = 5; f < 50; f += 1)
        QVERIFY(ShotModel::PhaseVelocity(f + 1) < ShotModel::PhaseVelocity(f));

    ShotModel m(3);
    UnitParams p;
    p.Channels = 24;
    p.SampleLength = 2048;
    p.IntervalUs = 250;
    p.GroupGainDb = {36, 36, 36, 36};
    // The wave train reaches farther geophones later, and weaker.
    int lastPeak = -1;
    double lastLevel = 1e9;
    for (int ch = 1; ch <= 24; ch += 4) {
        const QVector<double> &s = m.CleanSignal(p, ch);
        int peak = 0;
        for (int i = 1; i < s.size(); ++i) {
            if (std::fabs(s[i]) > std::fabs(s[peak]))
                peak = i;
        }
        QVERIFY2(peak > lastPeak, qPrintable(QStringLiteral("channel %1").arg(ch)));
        QVERIFY(std::fabs(s[peak]) < lastLevel);
        lastPeak = peak;
        lastLevel = std::fabs(s[peak]);
    }
    // Dispersion: the far trace rings for longer than the near one.
    auto spread = [&](int ch) {
        const QVector<double> &s = m.CleanSignal(p, ch);
        double peak = 0;
        for (double x : s)
            peak = std::max(peak, std::fabs(x));
        int first = -1, last = -1;
        for (int i = 0; i < s.size(); ++i) {
            if (std::fabs(s[i]) > 0.1 * peak) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        return last - first;
    };
    QVERIFY(spread(24) > spread(1));
    QCOMPARE(m.Distance(1), 4.0);
    QCOMPARE(m.Distance(24), 50.0);
}

void TstUnitSim::noiseDiffersPerShotAndStackingHelps()
{
    ShotModel m(11);
    UnitParams p;
    p.SampleLength = 1024;
    p.GroupGainDb = {36, 36, 36, 36};
    const int ch = 9;
    QCOMPARE(m.Channel(p, 1, ch), ShotModel(11).Channel(p, 1, ch)); // repeatable per seed
    QVERIFY(m.Channel(p, 1, ch) != m.Channel(p, 2, ch));
    QVERIFY(m.Channel(p, 1, ch) != ShotModel(12).Channel(p, 1, ch));

    const QVector<double> &clean = m.CleanSignal(p, ch);
    const double counts = UnitGainFactor(36) * 32768.0 / 5000.0;
    constexpr int kShots = 16;
    QVector<double> sum(p.SampleLength, 0.0);
    double singleError = 0;
    for (int shot = 1; shot <= kShots; ++shot) {
        const QVector<qint16> v = m.Channel(p, shot, ch);
        for (int i = 0; i < v.size(); ++i)
            sum[i] += v[i];
        if (shot == 1) {
            QVector<double> e(v.size());
            double mean = 0;
            for (int i = 0; i < v.size(); ++i)
                mean += v[i] - clean[i] * counts;
            mean /= v.size();
            for (int i = 0; i < v.size(); ++i)
                e[i] = v[i] - clean[i] * counts - mean;
            singleError = rms(e);
        }
    }
    // Noise falls with the square root of the shots; the source jitter
    // (a few per cent of the signal) stays.
    QVector<double> e(p.SampleLength);
    double mean = 0;
    for (int i = 0; i < e.size(); ++i)
        mean += sum[i] / kShots - clean[i] * counts;
    mean /= e.size();
    for (int i = 0; i < e.size(); ++i)
        e[i] = sum[i] / kShots - clean[i] * counts - mean;
    QVERIFY2(rms(e) < singleError / 2.5,
             qPrintable(QStringLiteral("%1 vs %2").arg(rms(e)).arg(singleError)));
    QVERIFY(singleError > 5); // the noise is there to be seen
}

void TstUnitSim::selfCheckIsNoiseOnly()
{
    ShotModel m(5);
    UnitParams p;
    p.TriggerMethod = 3;
    p.SampleLength = 1024;
    p.IntervalUs = 125;
    p.GroupGainDb = {72, 72, 72, 72};
    for (int ch = 1; ch <= 24; ++ch) {
        const QVector<qint16> v = m.Channel(p, 1, ch);
        QVector<double> d(v.begin(), v.end());
        const double level = rms(d);
        QVERIFY(level > 2);   // the amplifier's own noise, visible at 72 dB
        QVERIFY(level < 100); // and nothing else
    }
    QVERIFY(m.Channel(p, 1, 1) != m.Channel(p, 2, 1));
}

void TstUnitSim::gainScalesAndClips()
{
    ShotModel m(2);
    UnitParams low;
    low.SampleLength = 1024;
    low.GroupGainDb = {0, 0, 0, 0};
    UnitParams high = low;
    high.GroupGainDb = {72, 72, 72, 72};
    const QVector<qint16> a = m.Channel(low, 1, 2);
    const QVector<qint16> b = m.Channel(high, 1, 2);
    const int pa = peakIndex(a);
    QVERIFY(std::abs(a[pa]) > 20);
    QVERIFY(std::abs(a[pa]) < 32767);
    // 72 dB drives the near channel into the converter's limits.
    int clipped = 0;
    for (qint16 s : b)
        clipped += (s == 32767 || s == -32768);
    QVERIFY(clipped > 0);
}

void TstUnitSim::programAnswersOnLoopback()
{
    QProcess bad;
    bad.start(QStringLiteral(ZEB_UNITSIM_PROGRAM), {QStringLiteral("--battery"), QStringLiteral("x")});
    QVERIFY(bad.waitForFinished(ScaledTimeout(5000)));
    QCOMPARE(bad.exitCode(), 2);
    QVERIFY(bad.readAllStandardError().contains("--battery"));

    QProcess unit;
    unit.start(QStringLiteral(ZEB_UNITSIM_PROGRAM),
               {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--version-byte"),
                QStringLiteral("0x42"), QStringLiteral("--battery"), QStringLiteral("3"),
                QStringLiteral("--no-reply"), QStringLiteral("g")});
    QVERIFY(unit.waitForStarted(ScaledTimeout(5000)));
    QVERIFY(QTest::qWaitFor([&] { return unit.canReadLine(); }, ScaledTimeout(5000)));
    const QString line = QString::fromUtf8(unit.readLine()).trimmed();
    QVERIFY2(line.startsWith(QStringLiteral("zeb-unitsim: acquisition unit on 127.0.0.1:")),
             qPrintable(line));
    const quint16 port = line.section(QLatin1Char(':'), -1).toUShort();
    QVERIFY(port != 0);
    Client c(port);
    QCOMPARE(c.ask("VRKb"), shortReply('b', 0x42));
    QCOMPARE(c.ask("VRKc"), shortReply('c', 3));
    QVERIFY(c.ask("VRKg", 200).isEmpty());
    unit.terminate();
    QVERIFY(unit.waitForFinished(ScaledTimeout(5000)));
}

QTEST_GUILESS_MAIN(TstUnitSim)
#include "tst_unitsim.moc"
