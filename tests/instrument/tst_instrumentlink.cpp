// The instrument link against the unit simulator over real loopback sockets.
#include "ExpectedTrace.h"
#include "UnitSimulator.h"
#include "instrument/InstrumentLink.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/InstrumentSocket.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QFile>
#include <QUdpSocket>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

namespace {

/// Stands in for the acquisition screen and records what the link asked of it.
struct RecordingOwner : LinkOwner
{
    int refreshes = 0;
    int closes = 0;
    int bannerHides = 0;
    int dialogCloses = 0;
    QStringList failures;

    void RefreshButtons() override { ++refreshes; }
    void CloseByAccept() override { ++closes; }
    void HideBanner() override { ++bannerHides; }
    void ShowLinkFailure(const QString &text) override { failures << text; }
    void CloseLinkDialog() override { ++dialogCloses; }
};

QByteArray dataDatagram(int channel, const QVector<qint16> &samples)
{
    QByteArray d(10 + 2 * samples.size(), '\0');
    d[0] = 'V';
    d[1] = 'R';
    d[2] = 'K';
    d[3] = 'j';
    d[6] = 'j';
    d[8] = static_cast<char>(channel);
    for (int i = 0; i < samples.size(); ++i)
        qToLittleEndian(samples[i], d.data() + 10 + 2 * i);
    return d;
}

/// Short waits for cases where the unit answers wrongly: the wait then runs
/// out, and a loopback reply comes long before.
constexpr int kShortWaitMs = 1500;

/// Runs the link's command for a letter; data requests ask for channel.
int runCommand(InstrumentLink &link, char letter, int channel)
{
    switch (letter) {
    case 'a': return link.GetConnectStates();
    case 'b': return link.GetVersion();
    case 'c': return link.GetBattery();
    case 'd': return link.SetPara();
    case 'e': return link.StartSample();
    case 'f': return link.GetSampleStates();
    case 'g': return link.GetSampleFinishStates();
    case 'h': return link.GetSampleDataH();
    case 'i': return link.SetStopSample();
    case 'j': return link.GetSampleData(channel);
    default: return kLinkFailed;
    }
}

} // namespace

class TstInstrumentLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectChecksAndSendsParameters();
    void unsendableSettingsAreNeverSent_data();
    void unsendableSettingsAreNeverSent();
    void failedCheckThenRetry();
    void unusableAddressFailsAtOnce();
    void fullShotOf24ChannelsIsFiled();
    void versionAndBattery();
    void timeOutReturnsMinusOne();
    void nestedWaitIsRefused();
    void stopEndsTheWait();
    void stopBeforeNewDataRestoresThePicture();
    void wrongLetterIsRejected();
    void anotherChannelsDataIsNotFiled();
    void staleReplyIsRejectedByItsLetter();
    void lateReplyOfThePreviousCommandIsDropped_data();
    void lateReplyOfThePreviousCommandIsDropped();
    void oddDatagramsStayInsideTheBuffer();
    void dataOutsideAnAcquisitionIsDropped();
    void selfCheckFillsItsOwnSlot();
    void disconnectionIsReported();
    void closingOnlyFinishesTheClose();

private:
    bool connectLink();

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<UnitSimulator> m_sim;
    std::unique_ptr<RecordingOwner> m_owner;
    std::unique_ptr<InstrumentLink> m_link;
};

void TstInstrumentLink::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    m_sim = std::make_unique<UnitSimulator>();
    m_sim->SetSeed(7);
    m_sim->SetTimeScale(0);
    m_sim->SetTriggerWaitMs(0);
    QVERIFY(m_sim->Start(0));
    PointAtLoopbackUnit(m_sim->Port());
    m_owner = std::make_unique<RecordingOwner>();
    m_link = std::make_unique<InstrumentLink>(m_owner.get());
}

void TstInstrumentLink::cleanup()
{
    // The link owns the process-wide socket here (it has no parent screen).
    m_link.reset();
    QVERIFY(!InstrumentSocket());
    m_owner.reset();
    m_sim.reset();
    m_dir.reset();
}

bool TstInstrumentLink::connectLink()
{
    // Up, and the parameter frame that follows the check has been answered
    // (so that its reply cannot arrive in the middle of the test's first command).
    const int frames = m_sim->Received('d');
    m_link->Connect();
    return QTest::qWaitFor(
        [&] {
            return Store().LinkState == LinkUp && m_sim->Received('d') == frames + 1
                   && m_link->ReplyLetter() == 'd';
        },
        ScaledTimeout(5000));
}

void TstInstrumentLink::connectChecksAndSendsParameters()
{
    QVERIFY(connectLink());
    QCOMPARE(m_sim->Received('a'), 1);
    QCOMPARE(m_owner->dialogCloses, 1);
    QVERIFY(m_owner->refreshes >= 1);
    QVERIFY(m_owner->failures.isEmpty());
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(CurrentParams(), false));
    QVERIFY(!Store().LinkActive);
    QVERIFY(!m_link->IsWaiting());

    // The kernel keeps replies until they are read: its buffer must hold a
    // burst of data replies, as far as the system allows (Linux reports
    // twice the size it granted, capped at rmem_max).
    QFile rmemMax(QStringLiteral("/proc/sys/net/core/rmem_max"));
    qint64 allowed = kInstrumentBufferSize;
    if (rmemMax.open(QIODevice::ReadOnly))
        allowed = qMin<qint64>(allowed, rmemMax.readAll().trimmed().toLongLong());
    const qint64 granted =
        InstrumentSocket()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toLongLong();
    QVERIFY2(granted >= allowed, qPrintable(QString::number(granted)));
}

void TstInstrumentLink::unsendableSettingsAreNeverSent_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("length");
    QTest::addColumn<float>("delay");
    QTest::newRow("13 channels") << 13 << 1024 << 0.0f;
    QTest::newRow("no samples") << 12 << 0 << 0.0f;
    QTest::newRow("delay not a number") << 24 << 1024 << std::numeric_limits<float>::quiet_NaN();
}

void TstInstrumentLink::unsendableSettingsAreNeverSent()
{
    // Whoever asks (a shot, a self-check, the noise monitor), a frame that
    // would carry a wrapped value never leaves: the unit would record
    // something else than the screen expects.
    QFETCH(int, channels);
    QFETCH(int, length);
    QFETCH(float, delay);
    QVERIFY(connectLink());
    Store().LinkActive = true;
    const int frames = m_sim->Received('d');
    RecordHeader &h = CurrentParams().Header;
    const RecordHeader sendable = h;
    h.ChannelCount = channels;
    h.SampleLength = length;
    h.Delay = delay;
    QCOMPARE(m_link->SetPara(false), kLinkFailed);
    QCOMPARE(m_link->SetPara(true), kLinkFailed);
    h = sendable;
    QCOMPARE(m_link->SetPara(false), 1);
    QCOMPARE(m_sim->Received('d'), frames + 1);
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(CurrentParams(), false));
}

void TstInstrumentLink::failedCheckThenRetry()
{
    m_sim->SetConnectAnswer(0);
    m_link->Connect();
    QTRY_COMPARE_WITH_TIMEOUT(m_owner->failures.size(), 1, ScaledTimeout(5000));
    QCOMPARE(m_owner->failures.first(), InstrumentLink::ConnectFailedText());
    QCOMPARE(m_owner->failures.first(),
             QStringLiteral("<b><font color = red>连接失败！</font></b>"));
    QCOMPARE(Store().LinkState, int(LinkDown));
    QCOMPARE(m_sim->Received('d'), 0);
    QVERIFY(!m_link->IsWaiting());

    m_sim->SetConnectAnswer(1);
    QVERIFY(connectLink());
    QCOMPARE(m_sim->Received('a'), 2);

    // Once up, a failed check means the link was lost.
    m_sim->SetConnectAnswer(0);
    m_link->Connect();
    QTRY_COMPARE_WITH_TIMEOUT(m_owner->failures.size(), 2, ScaledTimeout(5000));
    QCOMPARE(m_owner->failures.last(),
             QStringLiteral("<b><font color = red>连接已断开！</font></b>"));
    QCOMPARE(Store().LinkState, int(LinkLost));
}

void TstInstrumentLink::unusableAddressFailsAtOnce()
{
    const QString port = CurrentParams().InstrumentPort;
    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("not-an-address"), port},
        {QStringLiteral("::1"), port},
        {QStringLiteral("127.0.0.1"), QStringLiteral("70000")},
        {QStringLiteral("127.0.0.1"), QStringLiteral("0")},
    };
    for (int i = 0; i < cases.size(); ++i) {
        CurrentParams().InstrumentAddress = cases[i].first;
        CurrentParams().InstrumentPort = cases[i].second;
        m_link->Connect();
        QCOMPARE(m_owner->failures.size(), i + 1);
        QCOMPARE(m_owner->failures.last(), InstrumentLink::ConnectFailedText());
        QCOMPARE(Store().LinkState, int(LinkDown));
        QVERIFY(!m_link->IsWaiting());
        QVERIFY(!Store().LinkActive);
    }
    QCOMPARE(m_sim->ReceivedTotal(), 0);
}

void TstInstrumentLink::fullShotOf24ChannelsIsFiled()
{
    QVERIFY(connectLink());
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = 24;
    p.Header.SampleLength = 4096;
    p.Header.SampleInterval = 250.0f;
    p.Header.TriggerMethod = 1;
    m_sim->SetTriggerWaitMs(-1);
    TraceStore &s = Store();
    s.LinkActive = true;

    QCOMPARE(m_link->SetPara(), 1);
    QCOMPARE(m_sim->Params().Channels, 24);
    QCOMPARE(m_sim->Params().SampleLength, 4096);
    QCOMPARE(m_link->StartSample(), 1);
    QCOMPARE(m_link->GetSampleStates(), 0); // armed, waiting for the hammer
    m_sim->TriggerNow();
    QCOMPARE(m_link->GetSampleStates(), 1);
    QCOMPARE(m_link->GetSampleFinishStates(), 1);
    QCOMPARE(m_link->GetSampleDataH(), 1);
    for (int ch = 1; ch <= 24; ++ch)
        QCOMPARE(m_link->GetSampleData(ch), 1);

    QList<int> asked;
    for (int ch = 1; ch <= 24; ++ch)
        asked << ch;
    QCOMPARE(m_sim->ChannelRequests(), asked);
    for (int ch = 1; ch <= 24; ++ch) {
        const QVector<float> want = ExpectedTrace(*m_sim, ch, p);
        const QVector<float> &t = s.Traces[ch - 1];
        QCOMPARE(t.size(), 4096);
        for (int i = 0; i < t.size(); ++i) {
            const double expected = want[i];
            if (std::fabs(t[i] - expected) > 1e-4 * (1 + std::fabs(expected)))
                QFAIL(qPrintable(QStringLiteral("channel %1 sample %2: %3 instead of %4")
                                     .arg(ch).arg(i).arg(t[i]).arg(expected)));
        }
        QVERIFY(s.PreviousTraces[ch - 1].isEmpty());
    }
    QVERIFY(!m_link->IsWaiting());
}

void TstInstrumentLink::versionAndBattery()
{
    QVERIFY(connectLink());
    Store().LinkActive = true;
    CurrentParams().HardwareVersionText.clear();
    // The version byte 0x9B reads as a negative answer; the text is what
    // counts, and the wait ends with the reply rather than at its time-out
    // (the marker fires long before that, long after any loopback reply).
    QObject scope;
    bool markerFired = false;
    QTimer::singleShot(ScaledTimeout(2500), &scope, [&] { markerFired = true; });
    QCOMPARE(m_link->GetVersion(), -101);
    QVERIFY(!markerFired);
    QCOMPARE(m_link->ReplyLetter(), 'b');
    QCOMPARE(CurrentParams().HardwareVersionText, QStringLiteral("硬件版本: D2.1 H2.3"));

    m_sim->SetBattery(4);
    QCOMPARE(m_link->GetBattery(), 4);
    m_sim->SetReplyOverride('c', QByteArray("VRKC\x07", 5));
    QCOMPARE(m_link->GetBattery(), 7);
    QCOMPARE(m_link->ReplyLetter(), 'C');
}

void TstInstrumentLink::timeOutReturnsMinusOne()
{
    QVERIFY(connectLink());
    Store().LinkActive = true;
    m_sim->SetFault('e', UnitSimulator::Fault::NoReply);
    QCOMPARE(m_link->StartSample(), -1);
    QCOMPARE(m_sim->Received('e'), 1);
    QVERIFY(!m_link->IsWaiting());
    QVERIFY(Store().LinkActive);
    QCOMPARE(Store().LinkState, int(LinkUp));
}

void TstInstrumentLink::nestedWaitIsRefused()
{
    QObject scope; // timers of this case die with it, even when it fails early
    QVERIFY(connectLink());
    Store().LinkActive = true;
    QCOMPARE(m_link->StartSample(), 1);
    m_sim->SetFault('f', UnitSimulator::Fault::LateReply, 300);

    bool sawWaiting = false;
    int nested = 0;
    QTimer::singleShot(30, &scope, [&] {
        sawWaiting = m_link->IsWaiting();
        nested = m_link->GetSockAnswer(2000);
    });
    QCOMPARE(m_link->GetSampleStates(), 1);
    QVERIFY(sawWaiting);
    QCOMPARE(nested, -1);

    // A command issued in the middle of a wait is refused, but its bytes went
    // out; its reply is dropped and the outer wait still gets its own.
    int nestedCommand = 0;
    QSignalSpy dropped(m_link.get(), &InstrumentLink::ReplyDropped);
    QTimer::singleShot(30, &scope, [&] { nestedCommand = m_link->GetBattery(); });
    QCOMPARE(m_link->GetSampleStates(), 1);
    QCOMPARE(nestedCommand, -1);
    QCOMPARE(m_sim->Received('c'), 1);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped[0][0].value<char>(), 'c');
    QCOMPARE(m_link->ReplyLetter(), 'f');
    QVERIFY(!m_link->IsWaiting());
}

void TstInstrumentLink::stopEndsTheWait()
{
    QObject scope; // timers of this case die with it, even when it fails early
    QVERIFY(connectLink());
    TraceStore &s = Store();
    m_sim->SetFault('f', UnitSimulator::Fault::NoReply);

    s.LinkActive = true;
    s.AcqState = AcqSampling;
    QTimer::singleShot(50, &scope, [&] { s.AcqState = AcqStopRequested; });
    QCOMPARE(m_link->GetSampleStates(), -1);
    QVERIFY(!m_link->IsWaiting());

    s.AcqState = AcqSampling;
    QTimer::singleShot(50, &scope, [&] { s.LinkActive = false; });
    QCOMPARE(m_link->GetSampleStates(), -1);
    QVERIFY(!m_link->IsWaiting());
    QCOMPARE(m_sim->Received('f'), 2);
}

void TstInstrumentLink::stopBeforeNewDataRestoresThePicture()
{
    QVERIFY(connectLink());
    TraceStore &s = Store();
    CurrentParams().Header.ChannelCount = 12;
    for (int c = 0; c < kMaxChannels; ++c)
        s.PreviousTraces[c] = {float(c), 1.0f};
    s.LinkActive = true;
    QCOMPARE(m_link->SetStopSample(), 1);
    QCOMPARE(m_sim->Received('i'), 1);
    QCOMPARE(s.Traces[11], QVector<float>({11.0f, 1.0f}));
    QVERIFY(s.Traces[12].isEmpty());
}

void TstInstrumentLink::wrongLetterIsRejected()
{
    QVERIFY(connectLink());
    Store().LinkActive = true;
    m_link->SetWaitLimits(ScaledTimeout(kShortWaitMs), ScaledTimeout(kShortWaitMs));
    QSignalSpy dropped(m_link.get(), &InstrumentLink::ReplyDropped);
    // The wrong reply does not end the wait; the wait runs out.
    m_sim->SetFault('e', UnitSimulator::Fault::WrongLetter, 0, 1);
    QCOMPARE(m_link->StartSample(), -1);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped[0][0].value<char>(), 'f');
    QCOMPARE(m_link->StartSample(), 1); // the fault was for one reply only

    // Upper-case letters are as good as lower-case ones.
    m_sim->SetReplyOverride('e', QByteArray("VRKE\x01", 5));
    QCOMPARE(m_link->StartSample(), 1);
    QCOMPARE(m_link->ReplyLetter(), 'E');

    m_sim->SetFault('j', UnitSimulator::Fault::WrongLetter, 0, 1);
    QCOMPARE(m_link->GetSampleData(1), -1);
    QCOMPARE(dropped.size(), 2);
    QVERIFY(Store().Traces[0].isEmpty());
}

void TstInstrumentLink::anotherChannelsDataIsNotFiled()
{
    QVERIFY(connectLink());
    TraceStore &s = Store();
    CurrentParams().Header.ChannelCount = 12;
    s.LinkActive = true;
    m_link->SetWaitLimits(ScaledTimeout(kShortWaitMs), ScaledTimeout(kShortWaitMs));
    QSignalSpy dropped(m_link.get(), &InstrumentLink::ReplyDropped);

    m_sim->SetFault('j', UnitSimulator::Fault::WrongChannel, 0, 1);
    QCOMPARE(m_link->GetSampleData(3), -1);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped[0][1].toInt(), 4);
    QVERIFY(s.Traces[2].isEmpty());
    QVERIFY(s.Traces[3].isEmpty());

    // Channel 13 while the record has 12, and channel 0.
    m_sim->SetFault('j', UnitSimulator::Fault::WrongChannel, 13, 1);
    QCOMPARE(m_link->GetSampleData(12), -1);
    m_sim->SetReplyOverride('j', dataDatagram(0, QVector<qint16>(1024, 5)));
    QCOMPARE(m_link->GetSampleData(1), -1);
    QCOMPARE(dropped.size(), 3);
    for (const QVector<float> &t : s.Traces)
        QVERIFY(t.isEmpty());

    // Asking for channel 13 of 12 fails even when the unit obliges.
    QCOMPARE(m_link->GetSampleData(13), -1);
    QVERIFY(s.Traces[12].isEmpty());

    QCOMPARE(m_link->GetSampleData(3), 1);
    QCOMPARE(s.Traces[2].size(), 1024);
}

void TstInstrumentLink::staleReplyIsRejectedByItsLetter()
{
    QObject scope; // timers of this case die with it, even when it fails early
    QVERIFY(connectLink());
    TraceStore &s = Store();
    s.LinkActive = true;
    m_sim->SetFault('f', UnitSimulator::Fault::LateReply, 300, 1);
    QTimer::singleShot(30, &scope, [&] { s.AcqState = AcqStopRequested; });
    QCOMPARE(m_link->GetSampleStates(), -1);

    s.AcqState = AcqSampling;
    m_sim->SetFault('g', UnitSimulator::Fault::LateReply, 1000, 1);
    // The late trigger reply arrives while the finish state is awaited: it is
    // dropped, and the finish reply (not finished: nothing was started) ends the wait.
    QSignalSpy dropped(m_link.get(), &InstrumentLink::ReplyDropped);
    QCOMPARE(m_link->GetSampleFinishStates(), 0);
    QCOMPARE(m_link->ReplyLetter(), 'g');
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped[0][0].value<char>(), 'f');
    QCOMPARE(m_sim->Received('g'), 1);
}

void TstInstrumentLink::lateReplyOfThePreviousCommandIsDropped_data()
{
    QTest::addColumn<char>("previous");
    QTest::addColumn<char>("letter");
    QTest::addColumn<int>("result");
    QTest::newRow("connection check") << 'c' << 'a' << 1;
    QTest::newRow("version") << 'a' << 'b' << -101; // 0x9B read as a signed byte
    QTest::newRow("battery") << 'b' << 'c' << 8;
    QTest::newRow("parameters") << 'c' << 'd' << 1;
    QTest::newRow("start") << 'd' << 'e' << 1;
    QTest::newRow("trigger poll") << 'e' << 'f' << 1;
    QTest::newRow("finish poll") << 'f' << 'g' << 0; // nothing was started
    QTest::newRow("data header") << 'g' << 'h' << 1;
    QTest::newRow("stop") << 'e' << 'i' << 1;
    QTest::newRow("channel") << 'j' << 'j' << 1; // channel 2's data while 3 is awaited
}

void TstInstrumentLink::lateReplyOfThePreviousCommandIsDropped()
{
    QFETCH(char, previous);
    QFETCH(char, letter);
    QFETCH(int, result);
    QVERIFY(connectLink());
    TraceStore &s = Store();
    CurrentParams().Header.ChannelCount = 12;
    s.LinkActive = true;
    runCommand(*m_link, previous, 2);
    const QVector<float> channel2 = s.Traces[1];

    m_sim->SetFault(letter, UnitSimulator::Fault::StaleFirst, 0, 1);
    QSignalSpy dropped(m_link.get(), &InstrumentLink::ReplyDropped);
    QCOMPARE(runCommand(*m_link, letter, 3), result);
    QVERIFY(IsReplyLetter(m_link->ReplyLetter(), letter));
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped[0][0].value<char>(), previous);
    if (letter == 'j') {
        QCOMPARE(dropped[0][1].toInt(), 2);
        QCOMPARE(s.Traces[1], channel2); // not filed a second time
        QVERIFY(!s.Traces[2].isEmpty());
    }
    // The next command is not disturbed either.
    QCOMPARE(m_link->GetBattery(), 8);
}

void TstInstrumentLink::oddDatagramsStayInsideTheBuffer()
{
    QVERIFY(connectLink());
    TraceStore &s = Store();
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = 12;
    p.Header.SampleLength = 1024;
    p.Header.TriggerMethod = 0; // no offset, so every sample can be checked
    p.Gains.fill(0);
    s.LinkActive = true;

    // Longer than the record: cut at the record's length.
    m_sim->SetReplyOverride('j', dataDatagram(1, QVector<qint16>(30000, 100)));
    QCOMPARE(m_link->GetSampleData(1), 1);
    QCOMPARE(s.Traces[0].size(), 1024);
    QCOMPARE(s.Traces[0].last(), SampleAmplitude(100, GainFactor(0)));

    // Shorter: zeros behind the one sample that came.
    m_sim->SetReplyOverride('j', dataDatagram(2, {1000}));
    QCOMPARE(m_link->GetSampleData(2), 1);
    QCOMPARE(s.Traces[1].size(), 1024);
    QCOMPARE(s.Traces[1][0], SampleAmplitude(1000, GainFactor(0)));
    QCOMPARE(s.Traces[1][1], 0.0f);
    QCOMPARE(s.Traces[1][1023], 0.0f);

    // A short reply without its value byte reads as 0.
    m_sim->SetReplyOverride('e', QByteArray("VRKe"));
    QCOMPARE(m_link->StartSample(), 0);

    // A sample length from a damaged file far beyond any datagram: the read
    // stops at the receive buffer.
    p.Header.SampleLength = 1 << 24;
    QCOMPARE(m_link->GetSampleData(3), 1);
    QCOMPARE(s.Traces[2].size(), (kInstrumentBufferSize - 10) / 2);

    p.Header.SampleLength = -5;
    QCOMPARE(m_link->GetSampleData(4), 1);
    QVERIFY(s.Traces[3].isEmpty());

    // A channel count from a damaged file is bounded to the 24 channels.
    p.Header.SampleLength = 16;
    p.Header.ChannelCount = 99;
    QCOMPARE(m_link->GetSampleData(24), 1);
    QCOMPARE(s.Traces[23].size(), 16);
    QCOMPARE(m_link->GetSampleData(25), -1);
}

void TstInstrumentLink::dataOutsideAnAcquisitionIsDropped()
{
    QVERIFY(connectLink());
    TraceStore &s = Store();
    s.LinkActive = false;
    const int sent = m_sim->RepliesSent();
    QCOMPARE(m_link->GetSampleData(1), -1); // cut short at once
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->RepliesSent(), sent + 1, ScaledTimeout(5000));
    QCoreApplication::processEvents();
    QVERIFY(s.Traces[0].isEmpty());
}

void TstInstrumentLink::selfCheckFillsItsOwnSlot()
{
    QVERIFY(connectLink());
    TraceStore &s = Store();
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = 12;
    p.Header.SampleLength = 1024;
    p.Header.SampleInterval = 125.0f;
    p.Gains.fill(72);
    for (int c = 0; c < kMaxChannels; ++c)
        s.PreviousTraces[c] = {1, 2, 3};
    s.SelfCheckRunning = true;
    s.LinkActive = true;

    QCOMPARE(m_link->SetPara(true), 1);
    QVERIFY(m_sim->Params().SelfCheck());
    QCOMPARE(m_link->StartSample(), 1);
    QCOMPARE(m_link->GetSampleStates(), 1);
    QCOMPARE(m_link->GetSampleFinishStates(), 1);
    QCOMPARE(m_link->GetSampleDataH(), 1);
    for (int c = 0; c < 12; ++c)
        QVERIFY(s.PreviousTraces[c].isEmpty());
    QCOMPARE(s.PreviousTraces[12], QVector<float>({1, 2, 3}));
    for (int ch = 1; ch <= 12; ++ch)
        QCOMPARE(m_link->GetSampleData(ch), 1);
    for (int c = 0; c < 12; ++c) {
        QCOMPARE(s.PreviousTraces[c].size(), 1024);
        QVERIFY(s.Traces[c].isEmpty());
        // Only the amplifier's own noise: microvolts.
        for (float a : s.PreviousTraces[c])
            QVERIFY(std::fabs(a) < 0.02f);
    }
}

void TstInstrumentLink::disconnectionIsReported()
{
    QVERIFY(connectLink());
    TraceStore &s = Store();
    m_sim->Stop();
    s.LinkActive = true;
    QCOMPARE(m_link->GetSampleStates(), -1);
    QTRY_COMPARE_WITH_TIMEOUT(s.LinkState, int(LinkLost), ScaledTimeout(5000));
    QCOMPARE(m_owner->failures.last(), InstrumentLink::ConnectionLostText());
    QVERIFY(m_owner->bannerHides >= 1);
    QVERIFY(!s.LinkActive);
    QVERIFY(!m_link->IsWaiting());

    // The unit comes back on the same port: a retry brings the link up again.
    const quint16 port = CurrentParams().InstrumentPort.toUShort();
    QVERIFY(m_sim->Start(port));
    m_sim->ResetCounters();
    QVERIFY(connectLink());
}

void TstInstrumentLink::closingOnlyFinishesTheClose()
{
    QVERIFY(connectLink());
    m_link->SetClosing(true);
    Store().LinkActive = true;
    m_link->onSockFailed();
    QCOMPARE(m_owner->closes, 1);
    QCOMPARE(Store().LinkState, int(LinkDown));
    QVERIFY(!Store().LinkActive);
    QVERIFY(m_owner->failures.isEmpty());
    m_link->onSockOK();
    QCOMPARE(m_owner->closes, 2);
    QCOMPARE(m_sim->Received('a'), 1); // no new connection check
    m_link->OnSockError(QAbstractSocket::NetworkError);
    QCOMPARE(m_owner->closes, 3);
}

QTEST_GUILESS_MAIN(TstInstrumentLink)
#include "tst_instrumentlink.moc"
