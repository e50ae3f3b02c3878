// Whole shots through the acquisition logic, headless, against the unit
// simulator over loopback: the exchange with the unit, the traces filed, the
// states, stacking and undo, records, the self-check's parameters and the polls.
#include "ExpectedTrace.h"
#include "UnitSimulator.h"
#include "instrument/AcquisitionCore.h"
#include "instrument/AcquisitionOwner.h"
#include "instrument/InstrumentLink.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/InstrumentSocket.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/RecordFile.h"
#include "support/SimulatorShot.h"
#include "support/TestProgramDir.h"

#include <QFile>
#include <QElapsedTimer>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

const QString kHeaderFailed = QStringLiteral("获取数据失败，网络可能已断开！");
/// Waits of a shot whose unit answers wrongly or not at all (loopback replies come far sooner).
constexpr int kShortWaitMs = 1500;

/// Stands in for the acquisition screen: records what the logic asked it to show.
struct RecordingOwner : AcquisitionOwner
{
    QStringList messages;
    QStringList linkFailures;
    QList<int> titles;
    int triggerSeen = 0;
    int sequencesEnded = 0;
    bool settingsLocked = false;
    std::function<bool(InstrumentLink &)> selfCheck;
    std::function<void()> onTrigger;

    void RefreshButtons() override {}
    void CloseByAccept() override {}
    void HideBanner() override { titles << 0; }
    void ShowLinkFailure(const QString &text) override { linkFailures << text; }
    void CloseLinkDialog() override {}
    void ShowMessage(const QString &text) override { messages << text; }
    void ShowTitle(int state) override { titles << state; }
    void RebuildView() override {}
    void ResetView() override {}
    void RefreshStatus() override {}
    void TriggerSeen() override
    {
        ++triggerSeen;
        if (onTrigger)
            onTrigger();
    }
    void SequenceEnded() override { ++sequencesEnded; }
    void Cleared() override {}
    bool RunSelfCheck(InstrumentLink &link) override { return selfCheck ? selfCheck(link) : false; }
    void SelfCheckEnded(bool locked) override { settingsLocked = locked; }
    RecordProgress *ReadProgress() override { return nullptr; }
};

/// Equal up to float rounding, relative to the trace's largest value.
bool near(const QVector<float> &a, const QVector<float> &b, float relative = 1e-5f)
{
    if (a.size() != b.size())
        return false;
    float peak = 1.0f;
    for (float v : b)
        peak = std::max(peak, std::fabs(v));
    for (int i = 0; i < a.size(); ++i)
        if (std::fabs(a[i] - b[i]) > relative * peak)
            return false;
    return true;
}

/// The command log with repeated polls written once ("f f f" → "f").
QString exchange(const UnitSimulator &sim)
{
    QStringList out;
    for (const QString &c : sim.CommandLog())
        if (out.isEmpty() || out.last() != c)
            out << c;
    return out.join(QLatin1Char(' '));
}

QString dataRequests(int from, int to)
{
    QStringList out;
    for (int c = from; c <= to; ++c)
        out << QStringLiteral("j%1").arg(c);
    return out.join(QLatin1Char(' '));
}

/// A picture on screen the test can recognise.
TraceSet markedPicture(int channels)
{
    TraceSet t;
    for (int c = 0; c < channels; ++c)
        t[c] = {float(c), -1.0f, 2.5f};
    return t;
}

/// The parameter frame's sample-interval, length and delay fields.
int frameWord(const QByteArray &frame, int at)
{
    return qint16(quint8(frame[at]) | quint8(frame[at + 1]) << 8);
}

} // namespace

class TstAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandStateTable();
    void wholeShot();
    void stopDuringTheTriggerWait_data();
    void stopDuringTheTriggerWait();
    void pressesAfterTheTriggerDoNothing();
    void finishWaitGivesUpOnASilentUnit();
    void failureAtEachStep_data();
    void failureAtEachStep();
    void twelveStackedShots();
    void undoFromAnEmptyPictureAndAfterAPartialShot();
    void lockedChannels();
    void recordsSavedAndRead();
    void selfCheckParametersNeverReachTheOperatorsRecords();
    void pollsOnlyWhenTheLinkIsFree();
    void newSettingsAreSaved();
    void settingsTheFrameCannotCarryRefuseTheShot_data();
    void settingsTheFrameCannotCarryRefuseTheShot();

private:
    void shoot();

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<UnitSimulator> m_sim;
    std::unique_ptr<RecordingOwner> m_owner;
    std::unique_ptr<InstrumentLink> m_link;
    std::unique_ptr<AcquisitionCore> m_core;
};

void TstAcquisition::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    CurrentParams().LoadSettings(); // the data folder, as the launcher makes it
    m_sim = StartLoopbackUnit(11);
    QVERIFY(m_sim);
    UseShortShots();
    m_owner = std::make_unique<RecordingOwner>();
    m_link = std::make_unique<InstrumentLink>(m_owner.get());
    m_core = std::make_unique<AcquisitionCore>(*m_link, *m_owner);
    QVERIFY(ConnectAndWait(*m_link));
    m_sim->ResetCounters();
}

void TstAcquisition::cleanup()
{
    m_core.reset();
    m_link.reset();
    m_owner.reset();
    m_sim.reset();
    m_dir.reset();
}

void TstAcquisition::shoot()
{
    const int ended = m_owner->sequencesEnded;
    m_core->Sample();
    QCOMPARE(m_owner->sequencesEnded, ended + 1);
}

void TstAcquisition::commandStateTable()
{
    // Set Read Analysis AutoCheck Sample Add Clear Save Exit UpLoad, as one word.
    const auto row = [](int state, bool data) {
        const std::optional<CommandStates> s = CommandStatesFor(state, data);
        if (!s)
            return QStringLiteral("none");
        QString bits;
        for (bool b : {s->Set, s->Read, s->Analysis, s->AutoCheck, s->Sample, s->Add, s->Clear,
                       s->Save, s->Exit, s->UpLoad})
            bits += b ? QLatin1Char('1') : QLatin1Char('0');
        return s->SampleStops ? bits + QStringLiteral(" stop") : bits;
    };
    QCOMPARE(row(AcqIdle, false), QStringLiteral("1101101010"));
    QCOMPARE(row(AcqSampling, true), QStringLiteral("0000100000 stop"));
    // With data on screen the operator must save or clear before leaving.
    QCOMPARE(row(AcqSampled, true), QStringLiteral("0010111101"));
    QCOMPARE(row(AcqStopRequested, true), QStringLiteral("0010111101"));
    QCOMPARE(row(AcqSampled, false), QStringLiteral("1001111011"));
    QCOMPARE(row(AcqRecordLoaded, true), QStringLiteral("1110001011"));
    QCOMPARE(row(AcqSelfCheckShown, true), QStringLiteral("1111101111"));
    QCOMPARE(row(6, true), QStringLiteral("none"));
    QCOMPARE(row(-1, false), QStringLiteral("none"));
}

void TstAcquisition::wholeShot()
{
    const TraceSet before = markedPicture(12);
    Store().Traces = before;
    shoot();

    QCOMPARE(exchange(*m_sim), QStringLiteral("d e f g h ") + dataRequests(1, 12));
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(BackupParams(), false));
    const ParamSet &p = CurrentParams();
    for (int c = 1; c <= 12; ++c) {
        const QVector<float> want = ExpectedTrace(*m_sim, c, p);
        QVERIFY2(near(Store().Traces[c - 1], want), qPrintable(QStringLiteral("channel %1").arg(c)));
        QCOMPARE(Store().PreviousTraces[c - 1], before[c - 1]);
    }
    QVERIFY(Store().Traces[12].isEmpty());
    QCOMPARE(Store().AcqState, int(AcqSampled));
    QVERIFY(!Store().LinkActive);
    QCOMPARE(p.CurrentChannel, -1);
    QVERIFY(m_owner->messages.isEmpty());
    QCOMPARE(m_owner->titles, (QList<int>{1, 2, 0}));
    QCOMPARE(m_owner->triggerSeen, 1);
    QVERIFY(!m_core->SequenceRunning());
}

void TstAcquisition::stopDuringTheTriggerWait_data()
{
    QTest::addColumn<char>("during");     // the command whose wait the stop falls into
    QTest::addColumn<int>("replyLateMs"); // its reply comes this late (0: on time)
    QTest::addColumn<int>("pressAfter");  // the press comes once the unit got this many
    QTest::addColumn<bool>("pictureAside");
    QTest::addColumn<QString>("sent");
    // A stop while the parameters or the start wait for their reply is a stop,
    // not a network failure, and a unit that may have started is stopped.
    QTest::newRow("parameter frame") << 'd' << 300 << 1 << false << QStringLiteral("d");
    QTest::newRow("start") << 'e' << 300 << 1 << false << QStringLiteral("d e i");
    QTest::newRow("trigger polls") << 'f' << 0 << 3 << true << QStringLiteral("d e f i");
}

void TstAcquisition::stopDuringTheTriggerWait()
{
    QFETCH(char, during);
    QFETCH(int, replyLateMs);
    QFETCH(int, pressAfter);
    QFETCH(bool, pictureAside);
    QFETCH(QString, sent);
    m_sim->SetTriggerWaitMs(-1); // the hammer never falls
    if (replyLateMs > 0)
        m_sim->SetFault(during, UnitSimulator::Fault::LateReply, replyLateMs, 1);
    const TraceSet before = markedPicture(12);
    Store().Traces = before;
    bool stateWhileWaiting = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (m_sim->Received(during) < pressAfter)
            return;
        poll.stop();
        stateWhileWaiting = Store().AcqState == AcqSampling && Store().Traces[0].isEmpty() == pictureAside;
        // The operator presses twice in a row: one stop, no second sequence.
        m_core->Sample();
        m_core->Sample();
    });
    poll.start(5);
    shoot();

    QVERIFY(stateWhileWaiting);
    QCOMPARE(exchange(*m_sim), sent);
    QCOMPARE(Store().Traces, before);
    QCOMPARE(Store().AcqState, int(AcqSampled));
    QVERIFY(m_owner->messages.isEmpty());
    QCOMPARE(m_owner->triggerSeen, 0);

    // A shot straight after the stop is not confused by the stop's reply.
    m_sim->ResetCounters();
    m_sim->SetTriggerWaitMs(0);
    shoot();
    QCOMPARE(exchange(*m_sim), QStringLiteral("d e f g h ") + dataRequests(1, 12));
    QVERIFY(m_owner->messages.isEmpty());
}

void TstAcquisition::pressesAfterTheTriggerDoNothing()
{
    m_sim->SetTimeScale(1.0); // the record takes its 256 ms
    m_owner->onTrigger = [this] { QTimer::singleShot(20, this, [this] { m_core->Sample(); }); };
    shoot();
    QCOMPARE(exchange(*m_sim), QStringLiteral("d e f g h ") + dataRequests(1, 12));
    QVERIFY(!Store().Traces[11].isEmpty());
    QVERIFY(m_owner->messages.isEmpty());
}

void TstAcquisition::finishWaitGivesUpOnASilentUnit()
{
    m_sim->SetFault('g', UnitSimulator::Fault::NoReply);
    const TraceSet before = markedPicture(12);
    Store().Traces = before;
    shoot(); // three unanswered finish polls of 5 s each

    QCOMPARE(m_sim->CommandLog().join(QLatin1Char(' ')), QStringLiteral("d e f g g g"));
    QCOMPARE(m_owner->messages, QStringList{kHeaderFailed});
    QCOMPARE(Store().AcqState, int(AcqSampled));
    QCOMPARE(Store().Traces, before); // the last picture is not lost
    QVERIFY(!m_link->IsWaiting());

    // A unit that answers every poll but never finishes: the shot is given up
    // once the record's time and the grace have passed since the trigger.
    m_sim->ClearFaults();
    m_sim->ResetCounters();
    m_sim->SetTimeScale(1e6);
    m_owner->messages.clear();
    m_core->SetFinishGraceMs(300);
    QElapsedTimer shot;
    shot.start();
    shoot();
    QVERIFY(shot.elapsed() >= 256 + 300); // 512 samples of 500 µs, then the grace
    QCOMPARE(m_owner->messages, QStringList{kHeaderFailed});
    QCOMPARE(Store().Traces, before);
    QVERIFY(m_sim->CommandLog().count(QStringLiteral("g")) > 3);
    QVERIFY(!m_sim->CommandLog().contains(QStringLiteral("h")));
}

void TstAcquisition::failureAtEachStep_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<int>("newChannels");
    QTest::newRow("parameters") << 'd' << 0 << QStringLiteral("设置参数失败,网络可能已断开！")
                                << QStringLiteral("d") << 0;
    QTest::newRow("start") << 'e' << 0 << QStringLiteral("开始采样失败，网络可能已断开！")
                           << QStringLiteral("d e") << 0;
    QTest::newRow("data header") << 'h' << 0 << kHeaderFailed << QStringLiteral("d e f g h") << 0;
    QTest::newRow("channel 3") << 'j' << 3 << QStringLiteral("获取数据失败！")
                               << QStringLiteral("d e f g h j1 j2 j3") << 2;
}

void TstAcquisition::failureAtEachStep()
{
    QFETCH(char, letter);
    QFETCH(int, channel);
    QFETCH(QString, message);
    QFETCH(QString, sent);
    QFETCH(int, newChannels);
    if (channel > 0)
        m_sim->SetChannelFault(channel, UnitSimulator::Fault::WrongLetter, 1);
    else
        m_sim->SetFault(letter, UnitSimulator::Fault::WrongLetter, 0, 1);
    const TraceSet before = markedPicture(12);
    Store().Traces = before;
    // The wrong reply is dropped and the wait runs out; shortened here.
    m_link->SetWaitLimits(ScaledTimeout(kShortWaitMs), ScaledTimeout(kShortWaitMs));
    shoot();
    m_link->SetWaitLimits(kCommandWaitMs, kDataWaitMs);

    QCOMPARE(exchange(*m_sim), sent);
    QCOMPARE(m_owner->messages, QStringList{message});
    QCOMPARE(Store().AcqState, int(AcqSampled));
    QVERIFY(!Store().LinkActive);
    for (int c = 0; c < 12; ++c) {
        if (c < newChannels)
            QVERIFY(near(Store().Traces[c], ExpectedTrace(*m_sim, c + 1, CurrentParams())));
        else if (newChannels > 0)
            QVERIFY(Store().Traces[c].isEmpty()); // fetched after the failure: nothing
        else
            QCOMPARE(Store().Traces[c], before[c]); // no new data: the picture stays
    }
    // The screen works on: the next shot is whole.
    m_sim->ResetCounters();
    m_owner->messages.clear();
    shoot();
    QCOMPARE(exchange(*m_sim), QStringLiteral("d e f g h ") + dataRequests(1, 12));
    QVERIFY(m_owner->messages.isEmpty());
}

void TstAcquisition::twelveStackedShots()
{
    shoot();
    m_core->StartStacking({});
    QVERIFY(Store().StackingOn);
    QList<TraceSet> pictures{Store().Traces};
    for (int shot = 1; shot <= 12; ++shot) {
        shoot();
        pictures << Store().Traces;
    }
    QCOMPARE(Store().StackCount, 12);
    QVERIFY(m_owner->messages.isEmpty());
    // Each shot is averaged in at equal weight.
    const QVector<float> &newest = Store().StackRing[Store().StackHead][4];
    for (int i = 0; i < 512; i += 97)
        QCOMPARE(pictures[12][4][i], (pictures[11][4][i] + newest[i]) * 0.5f);

    int undone = 0;
    while (m_core->CanUndo()) {
        QVERIFY(m_core->UndoShot());
        ++undone;
        for (int c = 0; c < 12; ++c)
            // Each undo doubles the rounding of the one before; a wrong
            // formula is off by the size of the signal.
            QVERIFY2(near(Store().Traces[c], pictures[12 - undone][c], 1e-3f),
                     qPrintable(QStringLiteral("undo %1, channel %2").arg(undone).arg(c + 1)));
    }
    QCOMPARE(undone, 9);
    QCOMPARE(Store().StackCount, 3);
    QVERIFY(!m_core->UndoShot());
}

void TstAcquisition::undoFromAnEmptyPictureAndAfterAPartialShot()
{
    m_core->StartStacking({});
    shoot();
    QVERIFY(!Store().Traces[0].isEmpty());
    QVERIFY(m_core->UndoShot());
    for (const QVector<float> &t : Store().Traces)
        QVERIFY(t.isEmpty()); // the shot is gone with the count
    QCOMPARE(Store().StackCount, 0);

    shoot();
    const TraceSet afterFirst = Store().Traces;
    shoot();
    QVERIFY(m_core->UndoShot()); // the next shot reuses this slot
    // Channel 2 goes unanswered: the rest of this shot never arrives, and
    // undo must not take the old slot for it.
    m_sim->SetChannelFault(2, UnitSimulator::Fault::NoReply, 1);
    m_link->SetWaitLimits(ScaledTimeout(kShortWaitMs), ScaledTimeout(kShortWaitMs));
    shoot();
    m_link->SetWaitLimits(kCommandWaitMs, kDataWaitMs);
    QCOMPARE(m_owner->messages, QStringList{QStringLiteral("获取数据失败！")});
    QCOMPARE(Store().StackCount, 2);
    QVERIFY(m_core->UndoShot());
    for (int c = 0; c < 12; ++c)
        QVERIFY2(near(Store().Traces[c], afterFirst[c]), qPrintable(QString::number(c + 1)));
}

void TstAcquisition::lockedChannels()
{
    shoot();
    const TraceSet before = Store().Traces;
    std::array<bool, kMaxChannels> locks{};
    locks[1] = locks[4] = true;
    m_core->StartStacking(locks);
    m_sim->ResetCounters();
    shoot();
    QCOMPARE(m_sim->ChannelRequests(), (QList<int>{1, 3, 4, 6, 7, 8, 9, 10, 11, 12}));
    QCOMPARE(Store().Traces[1], before[1]);
    QCOMPARE(Store().Traces[4], before[4]);
    QVERIFY(Store().Traces[2] != before[2]);

    // Every channel in use locked: stacking stays off, whatever 13…24 say.
    locks.fill(false);
    for (int c = 0; c < 12; ++c)
        locks[c] = true;
    m_core->StartStacking(locks);
    QVERIFY(!Store().StackingOn);
    QCOMPARE(Store().StackCount, 0);
    BackupParams().Header.ChannelCount = CurrentParams().Header.ChannelCount = 24;
    m_core->StartStacking(locks);
    QVERIFY(Store().StackingOn);
}

void TstAcquisition::recordsSavedAndRead()
{
    ParamSet &p = CurrentParams();
    shoot();
    const TraceSet shot = Store().Traces;
    QCOMPARE(m_core->Save(QStringLiteral("SHOT1")), int(RecordOk));
    QCOMPARE(m_owner->messages.takeLast(), QStringLiteral("保存文件成功！"));
    QCOMPARE(Store().AcqState, int(AcqIdle));
    QVERIFY(Store().Traces[0].isEmpty());
    const QString path = RecordSavePath(p, QStringLiteral("SHOT1"));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    saved.close();

    // Refusals keep the data and its state on screen and write nothing.
    shoot();
    const TraceSet second = Store().Traces;
    QCOMPARE(m_core->Save(QStringLiteral("SHOT1")), int(RecordExists));
    QCOMPARE(m_owner->messages.takeLast(), QStringLiteral("保存文件失败，文件已存在！"));
    QCOMPARE(m_core->Save(QStringLiteral("../SHOT2")), int(RecordWriteFailed));
    QCOMPARE(m_owner->messages.takeLast(), QStringLiteral("保存文件失败，无法写入文件！"));
    // A regular file where the project folder should be (root ignores permissions).
    p.Header.ProjectName = BackupParams().Header.ProjectName = QStringLiteral("BLOCKED");
    QFile blocker(p.ProjectFolderPath());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(m_core->Save(QStringLiteral("SHOT2")), int(RecordWriteFailed));
    QCOMPARE(m_owner->messages.takeLast(), QStringLiteral("保存文件失败，无法写入文件！"));
    QCOMPARE(Store().Traces, second);
    QCOMPARE(Store().AcqState, int(AcqSampled));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), bytes);

    // Read back: the first shot with its parameters, in the record state.
    QCOMPARE(m_core->Read(QStringLiteral("QUARTZON"), QStringLiteral("SHOT1")), int(RecordOk));
    QCOMPARE(Store().AcqState, int(AcqRecordLoaded));
    QCOMPARE(p.Header.ProjectName, QStringLiteral("QUARTZON"));
    for (int c = 0; c < 12; ++c)
        QCOMPARE(Store().Traces[c], shot[c]);

    // A failed read empties the screen and brings the operator's parameters back.
    QCOMPARE(m_core->Read(QStringLiteral("QUARTZON"), QStringLiteral("NOSUCH")), int(RecordUnrecognised));
    QCOMPARE(m_owner->messages.takeLast(), QStringLiteral("打开文件失败，无法识别的文件格式！"));
    QCOMPARE(Store().AcqState, int(AcqIdle));
    QVERIFY(Store().Traces[0].isEmpty());
    QCOMPARE(p.Header.ProjectName, QStringLiteral("BLOCKED"));
}

void TstAcquisition::selfCheckParametersNeverReachTheOperatorsRecords()
{
    ParamSet &p = CurrentParams();
    QByteArray checkFrame;
    bool keep = true;
    // What the self-check dialog does with the link: rounds in self-check
    // mode, each filling PreviousTraces; true when its data is kept.
    m_owner->selfCheck = [&](InstrumentLink &link) {
        Store().LinkActive = true;
        link.SetPara(true);
        checkFrame = m_sim->LastParaFrame();
        link.StartSample();
        const auto until = [](const std::function<int()> &poll) {
            for (int tries = 0; tries < 20 && poll() != 1; ++tries) {}
        };
        until([&] { return link.GetSampleStates(); });
        until([&] { return link.GetSampleFinishStates(); });
        link.GetSampleDataH();
        for (int c = 1; c <= p.ChannelsInUse(); ++c)
            link.GetSampleData(c);
        Store().LinkActive = false;
        return keep;
    };
    const QByteArray operatorFrame = SetParaFrame(BackupParams(), false);
    // Not while a command waits: the dialog's own commands would all be refused.
    m_link->SetWaiting(true);
    m_core->SelfCheck();
    m_link->SetWaiting(false);
    QCOMPARE(m_owner->messages, QStringList{AcquisitionCore::BusyText()});
    QVERIFY(checkFrame.isEmpty());
    QCOMPARE(p.Header.SampleInterval, BackupParams().Header.SampleInterval);

    m_core->SelfCheck();

    QCOMPARE(int(checkFrame[9]), 3);          // self-check trigger
    QCOMPARE(frameWord(checkFrame, 5), 250);   // 125 µs goes through the default code
    QCOMPARE(frameWord(checkFrame, 7), 1024);
    QCOMPARE(frameWord(checkFrame, 15), 0);    // no delay
    QCOMPARE(checkFrame.mid(17, 4), QByteArray(4, '\x77')); // 72 dB
    QCOMPARE(checkFrame.mid(21, 4), QByteArray(4, '\x03')); // 512 Hz
    QCOMPARE(m_sim->LastParaFrame(), operatorFrame);       // the unit is the operator's again
    QCOMPARE(Store().AcqState, int(AcqSelfCheckShown));
    QVERIFY(Store().SelfCheckShown && !Store().SelfCheckRunning);
    QVERIFY(m_owner->settingsLocked);
    QCOMPARE(Store().Traces[3], Store().PreviousTraces[3]);
    QCOMPARE(Store().Traces[3].size(), 1024);
    QCOMPARE(p.Header.SampleInterval, 125.0f); // the data keeps its own parameters
    const TraceSet noise = Store().Traces;

    // Link down: the press is refused before anything changes.
    Store().LinkState = LinkLost;
    m_core->Sample();
    QCOMPARE(m_owner->linkFailures.size(), 1);
    QCOMPARE(p.Header.SampleInterval, 125.0f);
    QCOMPARE(Store().AcqState, int(AcqSelfCheckShown));
    Store().LinkState = LinkUp;

    // A second self-check that is dropped leaves the first one's data and
    // parameters on screen, and the unit with the operator's.
    keep = false;
    m_core->SelfCheck();
    QCOMPARE(m_sim->LastParaFrame(), operatorFrame);
    QCOMPARE(Store().AcqState, int(AcqSelfCheckShown));
    QCOMPARE(Store().Traces, noise);
    QCOMPARE(p.Header.SampleInterval, 125.0f);

    // Saved with the self-check's parameters; the operator's come back after.
    QCOMPARE(m_core->Save(QStringLiteral("NOISE")), int(RecordOk));
    QCOMPARE(p.Header.SampleInterval, BackupParams().Header.SampleInterval);
    QVERIFY(m_core->ApplySettings()); // a settings visit works on the operator's set again
    QCOMPARE(ReadRecordFile(p, RecordSavePath(p, QStringLiteral("NOISE")), nullptr), int(RecordOk));
    QCOMPARE(p.Header.SampleInterval, 125.0f);
    QCOMPARE(p.Gains[0], 72);
}

void TstAcquisition::pollsOnlyWhenTheLinkIsFree()
{
    m_sim->SetBattery(6);
    CurrentParams().HardwareVersionText = QStringLiteral("known");
    // Due on the first tick, but a command is waiting: the poll waits too.
    m_link->SetWaiting(true);
    QCOMPARE(m_core->PollTick(), -1);
    m_link->SetWaiting(false);
    QCOMPARE(m_sim->ReceivedTotal(), 0);
    QCOMPARE(m_core->PollTick(), 6);
    QVERIFY(!Store().LinkActive); // as it was before the poll
    int polls = 1;
    for (int tick = 2; tick <= 123; ++tick)
        if (m_core->PollTick() >= 0)
            ++polls;
    QCOMPARE(polls, 3); // ticks 1, 62 and 123
    QCOMPARE(m_sim->Received('c'), 3);

    // Never during a shot, where a battery reply would end a data wait.
    m_sim->ResetCounters();
    m_sim->SetTriggerWaitMs(-1);
    CurrentParams().HardwareVersionText.clear();
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        for (int i = 0; i < 61; ++i)
            m_core->PollTick();
        if (m_sim->Received('f') >= 3)
            m_core->Sample(); // stop
    });
    poll.start(20);
    shoot();
    poll.stop();
    QCOMPARE(m_sim->Received('c') + m_sim->Received('b'), 0);
    // Free again: battery and the missing version.
    QCOMPARE(m_core->PollTick(), 6);
    QCOMPARE(m_sim->Received('b'), 1);
    QCOMPARE(CurrentParams().HardwareVersionText, QStringLiteral("硬件版本: D2.1 H2.3"));
}

void TstAcquisition::newSettingsAreSaved()
{
    ParamSet &p = CurrentParams();
    p.Header.ProjectName = QStringLiteral("NEWSITE");
    p.Header.SampleInterval = 1000.0f;
    QVERIFY(m_core->ApplySettings());
    QCOMPARE(BackupParams().Header.ProjectName, QStringLiteral("NEWSITE"));
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(p, false));
    ResetParamSets();
    PointAtLoopbackUnit(m_sim->Port());
    CurrentParams().LoadSettings();
    QCOMPARE(CurrentParams().Header.ProjectName, QStringLiteral("NEWSITE"));
    QCOMPARE(CurrentParams().Header.SampleInterval, 1000.0f);

    // With a record on screen the settings visit changes nothing lasting.
    Store().AcqState = AcqRecordLoaded;
    CurrentParams().Header.ProjectName = QStringLiteral("RECORD");
    QFile::remove(CurrentParams().SettingsPath());
    QVERIFY(!m_core->ApplySettings());
    QVERIFY(!QFile::exists(CurrentParams().SettingsPath()));
}

void TstAcquisition::settingsTheFrameCannotCarryRefuseTheShot_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<float>("delay");
    QTest::addColumn<QString>("message");
    QTest::newRow("sample length past 16 bits") << 12 << 70000 << 0.0f << "采样长度为70000，仪器无法接受，请重新设置！";
    QTest::newRow("sample length 0") << 24 << 0 << 0.0f << "采样长度为0，仪器无法接受，请重新设置！";
    QTest::newRow("channel count -3") << -3 << 512 << 0.0f << "通道数量为-3，仪器无法接受，请重新设置！";
    QTest::newRow("channel count 13") << 13 << 512 << 0.0f << "通道数量为13，仪器无法接受，请重新设置！";
    QTest::newRow("delay past 16 bits") << 12 << 512 << 40000.0f << "延迟为40000ms，仪器无法接受，请重新设置！";
}

void TstAcquisition::settingsTheFrameCannotCarryRefuseTheShot()
{
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(float, delay);
    QFETCH(QString, message);
    // A settings file that says so is read back as it is.
    RecordHeader &h = CurrentParams().Header;
    h.ChannelCount = channels;
    h.SampleLength = samples;
    h.Delay = delay;
    CurrentParams().SaveSettings();
    ResetParamSets();
    PointAtLoopbackUnit(m_sim->Port());
    CurrentParams().LoadSettings();
    QCOMPARE(CurrentParams().Header.ChannelCount, channels);
    QCOMPARE(CurrentParams().Header.SampleLength, samples);
    QCOMPARE(CurrentParams().Header.Delay, delay);
    ParamSet::CopyAcquisition(BackupParams(), CurrentParams());

    const TraceSet before = markedPicture(12);
    Store().Traces = before;
    m_core->Sample();
    QCOMPARE(m_owner->messages, QStringList{message});
    QCOMPARE(m_owner->sequencesEnded, 0);
    QCOMPARE(Store().AcqState, int(AcqIdle));
    QVERIFY(Store().Traces == before);
    // Nor does a visit to the settings screen hand the unit a wrapped copy.
    QVERIFY(m_core->ApplySettings());
    QCOMPARE(m_sim->CommandLog(), QStringList());
    QCOMPARE(BackupParams().Header.SampleLength, samples);
}

QTEST_GUILESS_MAIN(TstAcquisition)
#include "tst_acquisition.moc"
