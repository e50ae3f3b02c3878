// The witness upload's controller and worker against the test witness
// server over loopback: the task is found however it arrives, every server
// fault is met without losing or duplicating data, heartbeats go before and
// during the upload and never after, pause and quit act at once, and a
// connection that dies is reported.
#include "UploadTestUtil.h"
#include "WitnessUploadServer.h"
#include "support/TestProgramDir.h"

#include "upload/QUpLoadCtrl.h"
#include "upload/QUpLoadThread.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

namespace {

using Fault = WitnessUploadServer::Fault;

UploadTimings ShortTimings()
{
    UploadTimings t;
    t.WitnessReplyUnitMs = ScaledTimeout(200); // an answer may take 3 x this
    t.HeartbeatMs = 150;
    return t;
}

/// The controller and worker with the dialog's part played: go-ahead on a
/// link, every text and progress value recorded.
struct WitnessRun
{
    explicit WitnessRun(WitnessUploadServer &server)
        : worker(&ctrl)
        , links(&worker, &QUpLoadThread::signalLinkStatus)
        , tasks(&ctrl, &QUpLoadCtrl::signalIssuedTask)
        , progress(&ctrl, &QUpLoadCtrl::signalProgressTagNum)
    {
        steps = ctrl.Init(SnapshotCurrentRecord());
        ctrl.SetServer(QStringLiteral("127.0.0.1"), server.Port());
        QObject::connect(&worker, &QUpLoadThread::signalLinkStatus, &worker, [this](bool ok) {
            if (ok)
                worker.Go();
        });
        const auto note = [this](const QString &t) { texts << t; };
        QObject::connect(&ctrl, &QUpLoadCtrl::signalWarning, &ctrl, note);
        QObject::connect(&worker, &QUpLoadThread::signalWarning, &worker, note);
    }

    void Start()
    {
        worker.RequestLink();
        worker.StartOrResume();
    }
    bool WaitText(const QString &text, int ms = 30000)
    {
        return QTest::qWaitFor([&] { return texts.contains(text); }, ScaledTimeout(ms));
    }
    bool WaitDone() { return WaitText(QUpLoadCtrl::DoneText()) && WaitText(QUpLoadThread::ExitText()); }
    QList<int> Progress() const
    {
        QList<int> list;
        for (const auto &p : progress)
            list << p.first().toInt();
        return list;
    }

    QUpLoadCtrl ctrl;
    QUpLoadThread worker;
    QSignalSpy links, tasks, progress;
    QStringList texts;
    int steps = 0;
};

bool ServerHoldsTestRecord(const WitnessUploadServer &server, int channels, int samples)
{
    if (!server.Completed() || server.ChannelCount() != channels || server.SampleLength() != samples)
        return false;
    for (int ch = 0; ch < channels; ++ch)
        if (!IsTestTrace(server.Trace(ch), ch, samples))
            return false;
    return true;
}

QList<int> Tags(const WitnessUploadServer &server)
{
    QList<int> tags;
    for (const auto &f : server.Frames())
        if (f.Number > 0)
            tags << f.Tag;
    return tags;
}

} // namespace

class TstWitnessUpload : public QObject
{
    Q_OBJECT

private slots:
    void wholeUpload_data();
    void wholeUpload();
    void serverFaults_data();
    void serverFaults();
    void heartbeatBeforeTheTaskLeavesItToBeRead();
    void heartbeatsBeforeAndDuringButNotAfter();
    void pauseStopsAtOnceAndResumeGoesOn();
    void resumeRightAfterPauseIsNotLost();
    void pauseBetweenFramesShowsPauseNotFailure();
    void quitWithinHalfASecond();
    void connectionLostIsReportedAndReconnectGoesOn_data();
    void connectionLostIsReportedAndReconnectGoesOn();
};

void TstWitnessUpload::wholeUpload_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("steps");
    QTest::newRow("24 x 2048") << 24 << 2048 << 50;
    QTest::newRow("1 x 2500") << 1 << 2500 << 5;
    QTest::newRow("3 x 1") << 3 << 1 << 5;
}

void TstWitnessUpload::wholeUpload()
{
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(int, steps);
    TestProgramDir dir;
    WitnessUploadServer server;
    QVERIFY(server.Start());
    PutTestRecord(channels, samples);
    WitnessRun run(server);
    QCOMPARE(run.steps, steps);
    run.Start();
    QVERIFY2(run.WaitDone(), qPrintable(run.texts.join('\n')));
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(ServerHoldsTestRecord(server, channels, samples));
    QCOMPARE(server.Received(), steps); // every frame once
    QList<int> expected;
    for (int v = 1; v <= steps; ++v)
        expected << v;
    QCOMPARE(run.Progress(), expected);
    QCOMPARE(run.tasks.count(), 1);
    QCOMPARE(run.tasks.first().at(0).toString(), QStringLiteral("K12+345"));
    QCOMPARE(run.tasks.first().at(1).toInt(), WitnessUploadServer::kDefaultTask);
    QCOMPARE(server.ParameterText(), server.EndText());
}

void TstWitnessUpload::serverFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("times");
    QTest::addColumn<int>("param");
    QTest::addColumn<QList<int>>("tags"); // the tags the server received, in order (empty: not checked)
    // 2 channels of 2048 samples: T = 2, tags 0 (parameter), 1…4, 5 (end).
    const QList<int> plain{0, 1, 2, 3, 4, 5};
    QTest::newRow("delayed task") << int(Fault::DelayTask) << 0 << 1 << 400 << plain;
    QTest::newRow("split task") << int(Fault::SplitTask) << 0 << 1 << 80 << plain;
    QTest::newRow("heartbeat answer before the task") << int(Fault::HeartbeatBeforeTask) << 0 << 1 << 0 << plain;
    QTest::newRow("empty mileage first") << int(Fault::EmptyMileageFirst) << 0 << 1 << 300 << plain;
    QTest::newRow("hostile length before the task") << int(Fault::HostileBeforeTask) << 0 << 1 << 30000 << plain;
    QTest::newRow("parameter frame asked again twice") << int(Fault::AskAgain) << 1 << 2 << 0 << QList<int>{0, 0, 0, 1, 2, 3, 4, 5};
    QTest::newRow("end frame asked again") << int(Fault::AskAgain) << 6 << 1 << 0 << QList<int>{0, 1, 2, 3, 4, 5, 5};
    // Frame 5 carries tag 4: "from 2" sends 2, 3, 4 again.
    QTest::newRow("resend from 2") << int(Fault::ResendFrom) << 5 << 1 << 2 << QList<int>{0, 1, 2, 3, 4, 2, 3, 4, 5};
    QTest::newRow("resend this frame") << int(Fault::ResendFrom) << 3 << 1 << 2 << QList<int>{0, 1, 2, 2, 3, 4, 5};
    // Tags never sent, or no tag at all: the same frame again, nothing skipped.
    QTest::newRow("resend from 0") << int(Fault::ResendFrom) << 3 << 1 << 0 << QList<int>{0, 1, 2, 2, 3, 4, 5};
    QTest::newRow("resend from -7") << int(Fault::ResendFrom) << 3 << 1 << -7 << QList<int>{0, 1, 2, 2, 3, 4, 5};
    QTest::newRow("resend from 30000") << int(Fault::ResendFrom) << 3 << 1 << 30000 << QList<int>{0, 1, 2, 2, 3, 4, 5};
    QTest::newRow("ack for another channel") << int(Fault::AckOtherChannel) << 4 << 1 << 0 << QList<int>{0, 1, 2, 3, 3, 4, 5};
    // Skipped, the answer behind them taken: nothing sent twice.
    QTest::newRow("heartbeat and task before the ack") << int(Fault::HeartbeatBeforeAck) << 2 << 5 << 0 << plain;
    QTest::newRow("hostile length before the ack") << int(Fault::HostilePayloadLength) << 3 << 1 << -2 << QList<int>{};
    QTest::newRow("late acks") << int(Fault::Delay) << 1 << 6 << 60 << plain;
    QTest::newRow("silence once") << int(Fault::Silence) << 4 << 1 << 0 << QList<int>{0, 1, 2, 3, 3, 4, 5};
}

void TstWitnessUpload::serverFaults()
{
    QFETCH(int, fault);
    QFETCH(int, at);
    QFETCH(int, times);
    QFETCH(int, param);
    QFETCH(QList<int>, tags);
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    WitnessUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault(fault), at, times, param);
    if (fault == int(Fault::HeartbeatBeforeTask) || fault == int(Fault::SplitTask))
        server.SetTask(-3, "0123456789ABCDEF"); // a mileage of all 16 bytes, no zero
    PutTestRecord(2, 2048);
    WitnessRun run(server);
    run.Start();
    QVERIFY2(run.WaitDone(), qPrintable(run.texts.join('\n')));
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(ServerHoldsTestRecord(server, 2, 2048));
    if (!tags.isEmpty())
        QCOMPARE(Tags(server), tags);
    QCOMPARE(run.tasks.count(), 1);
    QCOMPARE(run.Progress().last(), 6);
}

void TstWitnessUpload::heartbeatBeforeTheTaskLeavesItToBeRead()
{
    // The controller on this thread, step by step: the task is in the socket
    // when a heartbeat goes out; sending must not swallow it.
    TestProgramDir dir;
    WitnessUploadServer server;
    QVERIFY(server.Start());
    PutTestRecord(1, 100);
    QUpLoadCtrl ctrl;
    ctrl.Init(SnapshotCurrentRecord());
    ctrl.SetServer(QStringLiteral("127.0.0.1"), server.Port());
    QVERIFY(ctrl.ConnectToServer());
    QTRY_VERIFY(server.TaskIssued());
    QTest::qWait(50);
    ctrl.HeartTimeOut();
    ctrl.SendHeartbeatIfDue();
    QTRY_COMPARE(server.HeartbeatsDuringUpload() + server.HeartbeatsBeforeTask(), 1);
    QCOMPARE(ctrl.OnReadyRead(ScaledTimeout(1000)), 1);
    QVERIFY(ctrl.TaskHeld());
    ctrl.DropLink();
}

void TstWitnessUpload::heartbeatsBeforeAndDuringButNotAfter()
{
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    WitnessUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault::DelayTask, 0, 1, 700);
    server.SetFault(Fault::Delay, 1, -1, 40); // 50 frames: about 2 s of upload
    PutTestRecord(24, 2048);
    WitnessRun run(server);
    run.Start();
    QVERIFY(run.WaitDone());
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(ServerHoldsTestRecord(server, 24, 2048));
    QVERIFY2(server.HeartbeatsBeforeTask() >= 2, qPrintable(QString::number(server.HeartbeatsBeforeTask())));
    QVERIFY2(server.HeartbeatsDuringUpload() >= 2, qPrintable(QString::number(server.HeartbeatsDuringUpload())));
    QTest::qWait(6 * DefaultUploadTimings().HeartbeatMs);
    QCOMPARE(server.HeartbeatsAfterEnd(), 0);
}

void TstWitnessUpload::pauseStopsAtOnceAndResumeGoesOn()
{
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    WitnessUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault::Delay, 1, -1, 30);
    PutTestRecord(24, 2048);
    WitnessRun run(server);
    run.Start();
    QTRY_VERIFY_WITH_TIMEOUT(server.Received() >= 10, ScaledTimeout(20000));
    run.worker.Pause();
    // The frame waiting for its answer fails at once, or the next one is held back.
    QVERIFY(QTest::qWaitFor([&] {
        return run.texts.last().endsWith(QStringLiteral("通讯失败,请重传")) || run.texts.last() == QStringLiteral("上传暂停");
    }, ScaledTimeout(1000)));
    QTRY_COMPARE_WITH_TIMEOUT(run.worker.GetRunState(), int(QUpLoadThread::Paused), ScaledTimeout(1000));
    const int held = server.Received();
    QTest::qWait(400);
    QCOMPARE(server.Received(), held);
    run.worker.Resume();
    QVERIFY(run.WaitDone());
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(ServerHoldsTestRecord(server, 24, 2048));
}

void TstWitnessUpload::resumeRightAfterPauseIsNotLost()
{
    // Pause and resume in one breath, while the worker is still on its way
    // into the pause: the resume must still count.
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    WitnessUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault::Delay, 1, -1, 20);
    PutTestRecord(8, 2048);
    WitnessRun run(server);
    run.Start();
    QTRY_VERIFY_WITH_TIMEOUT(server.Received() >= 4, ScaledTimeout(10000));
    for (int i = 0; i < 5; ++i) {
        run.worker.Pause();
        run.worker.Resume();
        QTest::qWait(30);
    }
    QVERIFY(run.WaitDone());
    QVERIFY(ServerHoldsTestRecord(server, 8, 2048));
}

void TstWitnessUpload::pauseBetweenFramesShowsPauseNotFailure()
{
    // The controller run on this thread, so that the pause falls exactly
    // after the third frame was accepted and before the fourth goes.
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    WitnessUploadServer server;
    QVERIFY(server.Start());
    PutTestRecord(4, 2048);
    QUpLoadCtrl ctrl;
    ctrl.Init(SnapshotCurrentRecord());
    ctrl.SetServer(QStringLiteral("127.0.0.1"), server.Port());
    QStringList texts;
    QObject::connect(&ctrl, &QUpLoadCtrl::signalWarning, &ctrl, [&](const QString &t) { texts << t; });
    QObject::connect(&ctrl, &QUpLoadCtrl::signalProgressTagNum, &ctrl, [&](int value) {
        if (value == 3)
            ctrl.Pause(true);
    });
    QVERIFY(ctrl.ConnectToServer());
    // Run as the worker runs it: again after no task yet or an answer that came too late.
    const auto runUntil = [&ctrl](int wanted) {
        int r = 0;
        const bool settled =
            QTest::qWaitFor([&] { return (r = ctrl.RunUpload()) != -4 && r != -2; }, ScaledTimeout(10000));
        return settled && r == wanted;
    };
    QVERIFY(runUntil(-3));
    QCOMPARE(texts.last(), QStringLiteral("上传暂停"));
    QCOMPARE(Tags(server).last(), 2); // the data frame after the pause did not go
    ctrl.Pause(false);
    QVERIFY(runUntil(1));
    QVERIFY(ServerHoldsTestRecord(server, 4, 2048));
}

void TstWitnessUpload::quitWithinHalfASecond()
{
    TestProgramDir dir;
    WitnessUploadServer server; // real timings: the silent answer would take 9 s
    QVERIFY(server.Start());
    server.SetFault(Fault::Silence, 3, -1);
    PutTestRecord(4, 2048);
    WitnessRun run(server);
    run.Start();
    QTRY_COMPARE_WITH_TIMEOUT(server.Received(), 3, ScaledTimeout(10000));
    QElapsedTimer clock;
    clock.start();
    run.worker.Quit();
    QVERIFY(run.WaitText(QUpLoadThread::ExitText()));
    QVERIFY2(clock.elapsed() < ScaledTimeout(500), qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!run.texts.contains(QUpLoadCtrl::DoneText()));
    QVERIFY(!server.Completed());
}

void TstWitnessUpload::connectionLostIsReportedAndReconnectGoesOn_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("param");
    QTest::newRow("closed before the task") << int(Fault::CloseBeforeTask) << 200;
    QTest::newRow("closed during the upload") << int(Fault::CloseAfter) << 3;
}

void TstWitnessUpload::connectionLostIsReportedAndReconnectGoesOn()
{
    QFETCH(int, fault);
    QFETCH(int, param);
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    WitnessUploadServer server;
    QVERIFY(server.Start());
    if (Fault(fault) == Fault::CloseBeforeTask)
        server.SetFault(Fault::CloseBeforeTask, 0, 1, param);
    else
        server.SetFault(Fault::CloseAfter, param);
    PutTestRecord(2, 2048);
    WitnessRun run(server);
    run.Start();
    QTRY_COMPARE_WITH_TIMEOUT(run.links.count(), 2, ScaledTimeout(10000));
    QCOMPARE(run.links.at(0).first().toBool(), true);
    QCOMPARE(run.links.at(1).first().toBool(), false); // not left showing success
    QVERIFY(!run.texts.contains(QUpLoadCtrl::DoneText()));
    server.ClearFaults();
    run.worker.RequestLink();
    QVERIFY(run.WaitDone());
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(ServerHoldsTestRecord(server, 2, 2048));
    QCOMPARE(run.tasks.count(), 1); // the task held carries on
}

QTEST_GUILESS_MAIN(TstWitnessUpload)
#include "tst_witnessupload.moc"
