// The normal upload's worker against the test data server over loopback:
// whole uploads arrive bit for bit, every reply code and every way a reply
// can go wrong is met the way the operator expects, failures resume where
// they stopped, and an abort is never reported as success.
#include "NormalUploadServer.h"
#include "UploadTestUtil.h"
#include "support/TestProgramDir.h"

#include "upload/CDataUpLoadThread.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

namespace {

using Fault = NormalUploadServer::Fault;

UploadTimings ShortTimings()
{
    UploadTimings t;
    t.NormalReplyUnitMs = ScaledTimeout(200); // a reply may take 3 x this
    t.RetryPauseMs = 50;
    return t;
}

/// One upload from the current record to a server, with what it reported.
struct Upload
{
    explicit Upload(NormalUploadServer &server)
        : worker(SnapshotCurrentRecord())
        , warnings(&worker, &CDataUpLoadThread::signalSetWarning)
        , progress(&worker, &CDataUpLoadThread::signalOneTagProcessed)
        , tagCount(&worker, &CDataUpLoadThread::signalTagCount)
        , failures(&worker, &CDataUpLoadThread::signalTranslateException)
        , finished(&worker, &CDataUpLoadThread::signalProcessFinished)
    {
        PointAtLoopbackServer(server.Port());
    }

    void Start() { worker.StartOrResume(CurrentUploadFields()); }
    bool WaitFinished() { return finished.count() > 0 || finished.wait(ScaledTimeout(30000)); }
    bool WaitFailure(int count = 1)
    {
        return QTest::qWaitFor([&] { return failures.count() >= count && worker.IsPaused(); },
                               ScaledTimeout(30000));
    }
    QList<int> LastFailure() const
    {
        const QList<QVariant> &f = failures.last();
        return {f[0].toInt(), f[1].toInt(), f[2].toInt(), f[3].toInt()};
    }
    QStringList Warnings() const
    {
        QStringList list;
        for (const auto &w : warnings)
            list << w.first().toString();
        return list;
    }
    QList<int> Progress() const
    {
        QList<int> list;
        for (const auto &p : progress)
            list << p.first().toInt();
        return list;
    }

    CDataUpLoadThread worker;
    QSignalSpy warnings, progress, tagCount, failures, finished;
};

bool ServerHoldsTestRecord(const NormalUploadServer &server, int channels, int samples)
{
    if (!server.Completed() || server.ChannelCount() != channels || !server.Problems().isEmpty())
        return false;
    for (int ch = 0; ch < channels; ++ch)
        if (!IsTestTrace(server.Trace(ch), ch, samples))
            return false;
    return true;
}

QList<int> Kinds(const NormalUploadServer &server, int from = 0)
{
    QList<int> kinds;
    const auto frames = server.Frames();
    for (qsizetype i = from; i < frames.size(); ++i)
        kinds << frames.at(i).Kind;
    return kinds;
}

} // namespace

class TstNormalUpload : public QObject
{
    Q_OBJECT

private slots:
    void wholeUpload_data();
    void wholeUpload();
    void replyCodes_data();
    void replyCodes();
    void repliesThatArriveOddly_data();
    void repliesThatArriveOddly();
    void shortReplyIsJudgedOnceBytesStop_data();
    void shortReplyIsJudgedOnceBytesStop();
    void silentServerCostsThreeAttemptsThenResumesThatFrame();
    void refusedConnectionThenResumeFromTheStart();
    void changedIdentityResumesFromTheParameterFrame();
    void abortIsNeverSuccess();
};

void TstNormalUpload::wholeUpload_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("steps");
    QTest::newRow("24 x 1024") << 24 << 1024 << 266;
    QTest::newRow("1 x 2550") << 1 << 2550 << 28;
    QTest::newRow("12 x 1") << 12 << 1 << 14;
}

void TstNormalUpload::wholeUpload()
{
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(int, steps);
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    PutTestRecord(channels, samples);
    Upload u(server);
    u.Start();
    QVERIFY(u.WaitFinished());
    QVERIFY2(ServerHoldsTestRecord(server, channels, samples), qPrintable(server.Problems().join('\n')));
    QCOMPARE(server.Received(), steps); // each frame exactly once
    QCOMPARE(u.tagCount.count(), 1);
    QCOMPARE(u.tagCount.first().first().toInt(), steps);
    // Progress 1 after the parameter frame, then k + T x c + 2 for each data
    // frame (2 … 265 for 24 x 1024); the end frame adds none.
    QList<int> expected;
    for (int v = 1; v <= steps - 1; ++v)
        expected << v;
    QCOMPARE(u.Progress(), expected);
    QCOMPARE(u.failures.count(), 0);
    QCOMPARE(u.Warnings().first(), QStringLiteral("连接成功"));
    QCOMPARE(u.Warnings().last(), CDataUpLoadThread::DoneText());
    QCOMPARE(u.worker.GetRunState(), int(CDataUpLoadThread::Idle));
}

void TstNormalUpload::replyCodes_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("code");
    QTest::addColumn<QList<int>>("failure"); // empty: the upload goes through
    QTest::newRow("e03 on the parameter frame") << 1 << 3 << QList<int>{0, -1, -1, -3};
    QTest::newRow("e04 on a data frame") << 5 << 4 << QList<int>{1, -1, -1, -4};
    QTest::newRow("e04 on the end frame") << 14 << 4 << QList<int>{2, -1, -1, -4};
    QTest::newRow("unknown code") << 2 << 5 << QList<int>{1, -1, -1, 0};
    QTest::newRow("e09 counts as accepted") << 3 << 9 << QList<int>{};
}

void TstNormalUpload::replyCodes()
{
    QFETCH(int, frame);
    QFETCH(int, code);
    QFETCH(QList<int>, failure);
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    NormalUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault::ReplyCode, frame, 1, code);
    PutTestRecord(12, 1); // frames: parameter, 12 data, end (14)
    Upload u(server);
    u.Start();
    if (failure.isEmpty()) {
        QVERIFY(u.WaitFinished());
        QVERIFY(ServerHoldsTestRecord(server, 12, 1));
        return;
    }
    QVERIFY(u.WaitFailure());
    QCOMPARE(u.LastFailure(), failure);
    QCOMPARE(server.Received(), frame); // a refusal is final: no second attempt
    QVERIFY(!u.Warnings().contains(CDataUpLoadThread::DoneText()));
}

void TstNormalUpload::repliesThatArriveOddly_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("frames"); // frames the server received in all
    // A reply in two segments or longer than 100 bytes is one reply.
    QTest::newRow("split") << int(Fault::SplitReply) << 80 << 1 << 14;
    QTest::newRow("long") << int(Fault::LongReply) << 0 << 1 << 14;
    // A second copy of a reply is stale by the next frame, not its answer.
    QTest::newRow("duplicated") << int(Fault::DuplicateReply) << 50 << 1 << 14;
    QTest::newRow("late but in time") << int(Fault::Delay) << 150 << 1 << 14;
    // Too late: the frame goes again on a fresh connection, the late reply
    // reaches the old one and is never taken for the next frame's.
    QTest::newRow("too late") << int(Fault::Delay) << -1 << 2 << 15;
    // A closed connection fails the next attempt, which goes again on a new one.
    QTest::newRow("closed after a frame") << int(Fault::CloseAfter) << 0 << 2 << 14;
    QTest::newRow("closed mid-frame") << int(Fault::CloseMidFrame) << 0 << 2 << 15;
}

void TstNormalUpload::repliesThatArriveOddly()
{
    QFETCH(int, fault);
    QFETCH(int, param);
    QFETCH(int, connections);
    QFETCH(int, frames);
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    if (param < 0)
        param = 3 * DefaultUploadTimings().NormalReplyUnitMs + 300;
    NormalUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault(fault), 4, 1, param);
    PutTestRecord(12, 1);
    Upload u(server);
    u.Start();
    QVERIFY(u.WaitFinished());
    QVERIFY2(ServerHoldsTestRecord(server, 12, 1), qPrintable(server.Problems().join('\n')));
    QCOMPARE(u.failures.count(), 0);
    QCOMPARE(server.Connections(), connections);
    QCOMPARE(server.Received(), frames);
}

void TstNormalUpload::shortReplyIsJudgedOnceBytesStop_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("param");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("27 bytes") << int(Fault::ShortReply) << 0 << false;
    // The halves 300 ms apart: a pause within a reply is not its end.
    QTest::newRow("28 bytes in two") << int(Fault::SplitReply) << 300 << true;
}

void TstNormalUpload::shortReplyIsJudgedOnceBytesStop()
{
    QFETCH(int, fault);
    QFETCH(int, param);
    QFETCH(bool, accepted);
    TestProgramDir dir;
    // The real waits: a reply may take 15 s, and a short one must not cost them.
    ScopedUploadTimings timings(UploadTimings{});
    NormalUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault(fault), 1, 1, param);
    PutTestRecord(2, 1);
    Upload u(server);
    u.Start();
    if (accepted) {
        QVERIFY(u.WaitFinished());
        QCOMPARE(u.failures.count(), 0);
        QVERIFY(ServerHoldsTestRecord(server, 2, 1));
        QCOMPARE(server.Received(), 4);
        return;
    }
    QVERIFY(QTest::qWaitFor([&] { return u.failures.count() > 0; }, ScaledTimeout(2000)));
    const QList<int> f = u.LastFailure();
    QCOMPARE(CDataUpLoadThread::FailureText(f[0], f[3]), QStringLiteral("未知异常!"));
    QCOMPARE(server.Received(), 1); // judged, not sent again
}

void TstNormalUpload::silentServerCostsThreeAttemptsThenResumesThatFrame()
{
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    NormalUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault::Silence, 5, 3); // the fourth data frame, three times
    PutTestRecord(12, 1);
    Upload u(server);
    u.Start();
    QVERIFY(u.WaitFailure());
    QCOMPARE(u.LastFailure(), (QList<int>{1, -1, -1, 0}));
    QCOMPARE(server.Received(), 7);
    QCOMPARE(server.Connections(), 3); // every attempt after the first on a fresh connection
    const auto frames = server.Frames();
    for (int i = 4; i < 7; ++i)
        QCOMPARE(frames.at(i).Channel, 3);
    QCOMPARE(u.Progress().last(), 4);

    // OK again: a new connection, that data frame again, no parameter frame.
    u.Start();
    QVERIFY(u.WaitFinished());
    QCOMPARE(Kinds(server, 7).first(), 12);
    QCOMPARE(server.Frames().at(7).Channel, 3);
    QVERIFY(!Kinds(server, 7).contains(11));
    QVERIFY(ServerHoldsTestRecord(server, 12, 1));
    QCOMPARE(u.Warnings().last(), CDataUpLoadThread::DoneText());
}

void TstNormalUpload::refusedConnectionThenResumeFromTheStart()
{
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    QVERIFY(server.SetRefusing(true));
    PutTestRecord(2, 300);
    Upload u(server);
    u.Start();
    QVERIFY(u.WaitFailure());
    QCOMPARE(u.LastFailure(), (QList<int>{-1, -1, -1, -1}));
    QCOMPARE(server.Received(), 0);
    QVERIFY(server.SetRefusing(false));
    u.Start();
    QVERIFY(u.WaitFinished());
    QCOMPARE(Kinds(server).first(), 11);
    QVERIFY(ServerHoldsTestRecord(server, 2, 300));
}

void TstNormalUpload::changedIdentityResumesFromTheParameterFrame()
{
    TestProgramDir dir;
    ScopedUploadTimings timings(ShortTimings());
    NormalUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault::ReplyCode, 3, 1, 4); // "no such serial number"
    PutTestRecord(2, 300);
    Upload u(server);
    u.Start();
    QVERIFY(u.WaitFailure());
    CurrentParams().SerialNumber = QStringLiteral("SN0002");
    u.Start();
    QVERIFY(u.WaitFinished());
    QCOMPARE(Kinds(server, 3), (QList<int>{11, 12, 12, 12, 12, 12, 12, 14}));
    QVERIFY2(ServerHoldsTestRecord(server, 2, 300), qPrintable(server.Problems().join('\n')));
    QCOMPARE(server.ParameterFrame().mid(39, 6), QByteArray("SN0002"));
}

void TstNormalUpload::abortIsNeverSuccess()
{
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(Fault::Silence, 3, -1); // waits of 15 s from the second data frame on
    PutTestRecord(12, 100);
    Upload u(server);
    u.Start();
    QTRY_COMPARE_WITH_TIMEOUT(server.Received(), 3, ScaledTimeout(10000));
    QElapsedTimer clock;
    clock.start();
    u.worker.DoHandleAbortUpLoad();
    QVERIFY(u.WaitFinished());
    const qint64 took = clock.elapsed();
    QVERIFY2(took < ScaledTimeout(500), qPrintable(QString::number(took)));
    QCOMPARE(u.LastFailure(), (QList<int>{1, -1, -1, 255}));
    QVERIFY(!u.Warnings().contains(CDataUpLoadThread::DoneText()));
    QCOMPARE(server.Received(), 3); // no attempt after the abort
}

QTEST_GUILESS_MAIN(TstNormalUpload)
#include "tst_normalupload.moc"
