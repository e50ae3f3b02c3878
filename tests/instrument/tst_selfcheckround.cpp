// Self-check rounds against the unit simulator through a real link, no widgets.
#include "SelfCheckRig.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/SelfCheckRound.h"
#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(SelfCheckOutcome)

namespace {

constexpr int kChannels = 12;
constexpr int kShapedDcChannel = 3;
constexpr double kShapedDcMv = 0.004;
constexpr int kDeadChannel = 5;
/// Waits of a round whose unit answers wrongly or not at all (loopback replies come far sooner).
constexpr int kShortCommandWaitMs = 1000;
constexpr int kShortDataWaitMs = 500;

QVector<float> constant(int n, float v)
{
    return QVector<float>(n, v);
}

} // namespace

class TstSelfCheckRound : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundFetchesEveryChannelInSelfCheckMode();
    void failedRoundKeepsTheLastPicture_data();
    void failedRoundKeepsTheLastPicture();
    void roundEndsOnCloseLinkActiveOrStop_data();
    void roundEndsOnCloseLinkActiveOrStop();
    void roundSkipsWhileBusy();
    void linkDownIsReportedThroughTheOwner();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<SelfCheckRig> m_rig;
};

void TstSelfCheckRound::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    m_rig = std::make_unique<SelfCheckRig>();
    QVERIFY(m_rig->Connect());
    m_rig->ForceSelfCheckParameters(kChannels);
}

void TstSelfCheckRound::cleanup()
{
    m_rig.reset();
    m_dir.reset();
}

void TstSelfCheckRound::roundFetchesEveryChannelInSelfCheckMode()
{
    SelfCheckChannel dc;
    dc.DcMv = kShapedDcMv;
    dc.NoiseMv = 0.0;
    m_rig->Sim.SetSelfCheckNoise(kShapedDcChannel, dc);
    SelfCheckChannel dead;
    dead.Dead = true;
    m_rig->Sim.SetSelfCheckNoise(kDeadChannel, dead);

    // Connecting leaves LinkActive clear; a round must still get its replies.
    QVERIFY(!Store().LinkActive);
    SelfCheckRound round(*m_rig->Link);
    QCOMPARE(round.Run(), SelfCheckOutcome::Complete);

    // The self-check frame: trigger byte 3, 125 µs sent through the default
    // code 250, 1024 samples, 72 dB in every group, 512 Hz, no delay.
    const QByteArray f = m_rig->Sim.LastParaFrame();
    QCOMPARE(f.size(), 25);
    QCOMPARE(int(f[9]), 3);
    QCOMPARE(qFromLittleEndian<quint16>(f.constData() + 5), quint16(250));
    QCOMPARE(qFromLittleEndian<quint16>(f.constData() + 7), quint16(1024));
    QCOMPARE(qFromLittleEndian<qint16>(f.constData() + 15), qint16(0));
    QCOMPARE(f.mid(17, 4), QByteArray(4, char(0x77)));
    QCOMPARE(f.mid(21, 4), QByteArray(4, char(3)));

    const UnitSimulator &sim = m_rig->Sim;
    QCOMPARE(sim.Received('d'), 1);
    QCOMPARE(sim.Received('e'), 1);
    QCOMPARE(sim.Received('h'), 1);
    QCOMPARE(sim.Received('i'), 0);
    QList<int> all;
    for (int ch = 1; ch <= kChannels; ++ch)
        all << ch;
    QCOMPARE(sim.ChannelRequests(), all);

    const TraceStore &s = Store();
    for (int c = 0; c < kChannels; ++c) {
        QCOMPARE(s.PreviousTraces[c], SelfCheckRig::Amplitudes(sim.ChannelSamples(c + 1)));
        QVERIFY(s.Traces[c].isEmpty());
    }
    const float dcAmplitude = SelfCheckRig::Amplitude(qint16(std::lround(kShapedDcMv * 3938.304 * 32768 / 5000)));
    QCOMPARE(s.PreviousTraces[kShapedDcChannel - 1], constant(1024, dcAmplitude));
    QCOMPARE(s.PreviousTraces[kDeadChannel - 1], constant(1024, 0.0f));
    QVERIFY(s.PreviousTraces[kChannels].isEmpty());
    QCOMPARE(round.Noise(), s.PreviousTraces);
    QCOMPARE(s.AcqState, int(AcqSampled));
    QVERIFY(round.StateText().isEmpty());
}

void TstSelfCheckRound::failedRoundKeepsTheLastPicture_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sent"); // commands of that letter in the failed round

    const int wrong = int(UnitSimulator::Fault::WrongLetter);
    // Sent twice, then given up.
    QTest::newRow("parameters") << 'd' << wrong << 2 << SelfCheckRound::SetParaFailedText() << 2;
    QTest::newRow("parameters once") << 'd' << wrong << 1 << QString() << 2;
    QTest::newRow("start") << 'e' << wrong << -1 << SelfCheckRound::StartFailedText() << 1;
    // Three wrong answers in a row: the unit counts as gone.
    QTest::newRow("trigger poll") << 'f' << wrong << -1 << SelfCheckRound::DataFailedText() << 3;
    QTest::newRow("finish poll") << 'g' << wrong << -1 << SelfCheckRound::DataFailedText() << 3;
    QTest::newRow("data header") << 'h' << wrong << -1 << SelfCheckRound::DataFailedText() << 1;
    // Every channel unanswered (one failing channel still makes a picture).
    QTest::newRow("every channel") << 'j' << int(UnitSimulator::Fault::NoReply) << -1
                                   << SelfCheckRound::DataFailedText() << kChannels;
}

void TstSelfCheckRound::failedRoundKeepsTheLastPicture()
{
    QFETCH(char, letter);
    QFETCH(int, fault);
    QFETCH(int, times);
    QFETCH(QString, text);
    QFETCH(int, sent);

    SelfCheckRound round(*m_rig->Link);
    QCOMPARE(round.Run(), SelfCheckOutcome::Complete);
    const TraceSet good = Store().PreviousTraces;

    UnitSimulator &sim = m_rig->Sim;
    sim.ResetCounters();
    sim.SetFault(letter, UnitSimulator::Fault(fault), 0, times);
    // A wrong reply is dropped and the wait runs out: shortened here.
    m_rig->Link->SetWaitLimits(ScaledTimeout(kShortCommandWaitMs), ScaledTimeout(kShortDataWaitMs));
    const SelfCheckOutcome outcome = round.Run();
    m_rig->Link->SetWaitLimits(kCommandWaitMs, kDataWaitMs);
    QCOMPARE(sim.Received(letter), sent);
    if (text.isEmpty()) {
        // One wrong answer to the parameters is made good by the second try.
        QCOMPARE(outcome, SelfCheckOutcome::Complete);
        return;
    }
    QCOMPARE(outcome, SelfCheckOutcome::Failed);
    QCOMPARE(round.StateText(), text);
    QCOMPARE(Store().PreviousTraces, good);
    QCOMPARE(round.Noise(), good);
    QVERIFY(round.FailedChannels().isEmpty());

    // The next good round brings a new picture and clears the text.
    sim.ClearFaults();
    QCOMPARE(round.Run(), SelfCheckOutcome::Complete);
    QVERIFY(round.StateText().isEmpty());
    QVERIFY(Store().PreviousTraces != good);
    QCOMPARE(Store().PreviousTraces[0], SelfCheckRig::Amplitudes(sim.ChannelSamples(1)));
}

void TstSelfCheckRound::roundEndsOnCloseLinkActiveOrStop_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<SelfCheckOutcome>("outcome");
    QTest::addColumn<int>("stops"); // 'i' commands the unit receives

    QTest::newRow("close request") << 0 << SelfCheckOutcome::Closed << 0;
    QTest::newRow("LinkActive cleared") << 1 << SelfCheckOutcome::Closed << 0;
    QTest::newRow("stop request") << 2 << SelfCheckOutcome::Stopped << 1;
}

void TstSelfCheckRound::roundEndsOnCloseLinkActiveOrStop()
{
    QFETCH(int, how);
    QFETCH(SelfCheckOutcome, outcome);
    QFETCH(int, stops);

    SelfCheckRound round(*m_rig->Link);
    QCOMPARE(round.Run(), SelfCheckOutcome::Complete);
    const TraceSet good = Store().PreviousTraces;

    // The unit never triggers: the round polls until something ends it.
    UnitSimulator &sim = m_rig->Sim;
    sim.ResetCounters();
    sim.SetReplyOverride('f', QByteArray("VRKf\0", 5), 1000000);
    constexpr int kPollsBeforeEnd = 3;
    QObject::connect(&sim, &UnitSimulator::CommandReceived, &sim, [&](char l) {
        if (l != 'f' || sim.Received('f') != kPollsBeforeEnd)
            return;
        QTimer::singleShot(0, &sim, [&round, how] {
            if (how == 0)
                round.RequestClose();
            else if (how == 1)
                Store().LinkActive = false;
            else
                Store().AcqState = AcqStopRequested;
        });
    });
    QCOMPARE(round.Run(), outcome);
    QCOMPARE(Store().PreviousTraces, good);
    QCOMPARE(Store().AcqState, int(AcqSampled));

    // Nothing goes on polling afterwards.
    WaitMs(ScaledTimeout(300));
    const int total = sim.ReceivedTotal();
    WaitMs(ScaledTimeout(300));
    QCOMPARE(sim.ReceivedTotal(), total);
    QCOMPARE(sim.Received('i'), stops);
    QVERIFY(sim.Received('f') <= kPollsBeforeEnd + 1);
    if (how == 0)
        QCOMPARE(round.Run(), SelfCheckOutcome::Skipped);
}

void TstSelfCheckRound::roundSkipsWhileBusy()
{
    SelfCheckRound round(*m_rig->Link);
    UnitSimulator &sim = m_rig->Sim;

    // The owner's command is waiting for its reply.
    m_rig->Link->SetWaiting(true);
    QCOMPARE(round.Run(), SelfCheckOutcome::Skipped);
    m_rig->Link->SetWaiting(false);

    // No self-check on: the replies would land in the traces on screen.
    Store().SelfCheckRunning = false;
    QCOMPARE(round.Run(), SelfCheckOutcome::Skipped);
    Store().SelfCheckRunning = true;
    QCOMPARE(sim.ReceivedTotal(), 0);

    // A tick that fires while a round waits is dropped.
    QList<SelfCheckOutcome> nested;
    QObject::connect(&sim, &UnitSimulator::CommandReceived, &sim, [&](char l) {
        if (l == 'g')
            QTimer::singleShot(0, &sim, [&] { nested << round.Run(); });
    });
    QCOMPARE(round.Run(), SelfCheckOutcome::Complete);
    QVERIFY(!nested.isEmpty());
    QCOMPARE(nested, QList<SelfCheckOutcome>(nested.size(), SelfCheckOutcome::Skipped));
    QCOMPARE(sim.Received('h'), 1);
}

void TstSelfCheckRound::linkDownIsReportedThroughTheOwner()
{
    SelfCheckRound round(*m_rig->Link);
    QCOMPARE(round.Run(), SelfCheckOutcome::Complete);
    const TraceSet good = Store().PreviousTraces;
    UnitSimulator &sim = m_rig->Sim;

    // The unit goes away once it has said the acquisition is finished: the
    // data header is refused.
    QObject::connect(&sim, &UnitSimulator::ReplySent, &sim, [&](char l) {
        if (l == 'g')
            QTimer::singleShot(0, &sim, [&sim] { sim.Stop(); });
    });
    QCOMPARE(round.Run(), SelfCheckOutcome::LinkDown);
    QCOMPARE(Store().LinkState, int(LinkLost));
    QCOMPARE(Store().PreviousTraces, good);
    QCOMPARE(m_rig->Owner.failures, QStringList{InstrumentLink::ConnectionLostText()});

    // The next tick tells the owner again and shows the text itself.
    QCOMPARE(round.Run(), SelfCheckOutcome::LinkDown);
    QCOMPARE(m_rig->Owner.failures.size(), 2);
    QCOMPARE(round.StateText(), InstrumentLink::ConnectionLostText());

    Store().LinkState = LinkDown;
    QCOMPARE(round.Run(), SelfCheckOutcome::LinkDown);
    QCOMPARE(round.StateText(), InstrumentLink::ConnectFailedText());
    QCOMPARE(Store().PreviousTraces, good);
}

QTEST_GUILESS_MAIN(TstSelfCheckRound)
#include "tst_selfcheckround.moc"
