// Filing of received traces: the picture on screen, the stacking ring with its
// average and undo, locked channels and the self-check slot.
#include "model/TraceStore.h"
#include "support/TestProgramDir.h"

#include <QtTest>
#include <cmath>

namespace {

QVector<float> ramp(int n, float start, float step)
{
    QVector<float> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = start + step * i;
    return v;
}

void file(int channel, const QVector<float> &v, float offset)
{
    Store().FileChannel(channel, v.constData(), v.size(), offset);
}

void undo()
{
    QVERIFY(Store().UndoStackedShot(kMaxChannels));
}

void nextShot()
{
    Store().AdvanceStack();
}

bool near(const QVector<float> &a, const QVector<float> &b, float tolerance)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (std::fabs(a[i] - b[i]) > tolerance)
            return false;
    }
    return true;
}

} // namespace

class TstTraceStore : public QObject
{
    Q_OBJECT

private slots:
    void plainFilingRemovesOffset();
    void selfCheckGoesToItsOwnSlot();
    void stackingAveragesAtEqualWeight();
    void stackingLongerAndShorterShots();
    void undoIsTheExactInverse();
    void undoCutsWhatAShotAppended_data();
    void undoCutsWhatAShotAppended();
    void advancingEmptiesTheNewSlot();
    void lockedChannelBypassesTheRing();
    void channelsOutsideTheStoreAreIgnored();
    void restorePreviousOnlyWhenStoppedEarly();
    void resetEmptiesEverything();
};

void TstTraceStore::plainFilingRemovesOffset()
{
    TestProgramDir dir;
    Store().Traces[2] = ramp(50, 9, 9); // an older, longer picture is replaced
    const QVector<float> shot = ramp(10, 1.0f, 0.5f);
    file(3, shot, 0.25f);
    QCOMPARE(Store().Traces[2].size(), 10);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(Store().Traces[2][i], shot[i] - 0.25f);
    QVERIFY(Store().PreviousTraces[2].isEmpty());
    for (const TraceSet &slot : Store().StackRing)
        QVERIFY(slot[2].isEmpty());

    file(3, {}, 1.0f);
    QVERIFY(Store().Traces[2].isEmpty());
}

void TstTraceStore::selfCheckGoesToItsOwnSlot()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    s.SelfCheckRunning = true;
    s.StackingOn = true; // the self-check wins over stacking
    s.Traces[0] = ramp(4, 7, 0);
    const QVector<float> noise = ramp(8, -1.0f, 0.25f);
    file(1, noise, 100.0f);
    QCOMPARE(s.PreviousTraces[0], noise); // no offset removal
    QCOMPARE(s.Traces[0], ramp(4, 7, 0));
    QVERIFY(s.StackRing[0][0].isEmpty());
}

void TstTraceStore::stackingAveragesAtEqualWeight()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    s.StackingOn = true;
    s.Traces[4] = ramp(6, 10, 0);      // the first shot, already on screen
    s.StartStack(kMaxChannels);
    nextShot();
    const QVector<float> shot = ramp(6, 2, 1); // 2,3,4,5,6,7
    file(5, shot, 1.0f);
    // The slot keeps the shot without its offset; the screen the mean of both.
    QCOMPARE(s.StackRing[1][4], ramp(6, 1, 1));
    QCOMPARE(s.Traces[4], QVector<float>({5.5f, 6.0f, 6.5f, 7.0f, 7.5f, 8.0f}));
    QCOMPARE(s.StackRing[0][4], ramp(6, 10, 0));
}

void TstTraceStore::stackingLongerAndShorterShots()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    s.StackingOn = true;
    s.Traces[0] = {4, 4};
    nextShot();
    file(1, {2, 2, 6, 8}, 0.0f);
    // Beyond the picture's length the new shot's samples are taken as they are.
    QCOMPARE(s.Traces[0], QVector<float>({3, 3, 6, 8}));

    nextShot();
    file(1, {1}, 0.0f);
    // A shorter shot averages its own length and leaves the rest alone.
    QCOMPARE(s.Traces[0], QVector<float>({2, 3, 6, 8}));
    QCOMPARE(s.StackRing[2][0], QVector<float>({1}));

    // Undo of the shorter shot puts the picture back over its length only.
    undo();
    QCOMPARE(s.Traces[0], QVector<float>({3, 3, 6, 8}));
}

void TstTraceStore::undoIsTheExactInverse()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    s.StackingOn = true;
    s.Traces[7] = ramp(64, -3.0f, 0.37f);
    s.StartStack(kMaxChannels);
    QList<QVector<float>> pictures{s.Traces[7]};
    // Twelve shots: the ring holds the last ten, nine of which can be undone.
    for (int shot = 1; shot <= 12; ++shot) {
        nextShot();
        QVector<float> v(64);
        for (int i = 0; i < 64; ++i)
            v[i] = std::sin(0.3f * i + shot) * 100.0f * shot;
        file(8, v, 0.125f * shot);
        pictures.append(s.Traces[7]);
    }
    QCOMPARE(s.StackCount, 12);
    QCOMPARE(s.StackHead, 2);
    QCOMPARE(s.StackTail, 3);
    int undone = 0;
    while (s.StackHead != s.StackTail) {
        undo();
        ++undone;
        pictures.removeLast();
        // Each undo doubles the rounding left by the one before; a wrong
        // formula would be off by hundreds.
        QVERIFY2(near(s.Traces[7], pictures.last(), 0.1f),
                 qPrintable(QStringLiteral("after undo %1").arg(undone)));
    }
    QCOMPARE(undone, 9);
}

void TstTraceStore::undoCutsWhatAShotAppended_data()
{
    QTest::addColumn<QVector<float>>("picture");
    QTest::addColumn<QVector<float>>("shot");
    QTest::addColumn<QVector<float>>("stacked");
    QTest::newRow("onto an empty picture") << QVector<float>{} << QVector<float>{2, 4}
                                           << QVector<float>{2, 4};
    QTest::newRow("longer than the picture") << QVector<float>{4} << QVector<float>{2, 6, 8}
                                             << QVector<float>{3, 6, 8};
    QTest::newRow("as long as the picture") << QVector<float>{4, 4} << QVector<float>{2, 6}
                                            << QVector<float>{3, 5};
}

void TstTraceStore::undoCutsWhatAShotAppended()
{
    QFETCH(QVector<float>, picture);
    QFETCH(QVector<float>, shot);
    QFETCH(QVector<float>, stacked);
    TestProgramDir dir;
    TraceStore &s = Store();
    s.StackingOn = true;
    s.Traces[5] = picture;
    s.StartStack(kMaxChannels);
    nextShot();
    file(6, shot, 0.0f);
    QCOMPARE(s.Traces[5], stacked);
    undo();
    QCOMPARE(s.Traces[5], picture);
    QCOMPARE(s.StackCount, 0);
    QVERIFY(!s.UndoStackedShot(kMaxChannels));
}

void TstTraceStore::advancingEmptiesTheNewSlot()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    s.StackingOn = true;
    s.Traces[0] = {10, 10};
    s.Traces[1] = {10, 10};
    // Ten shots fill the ring; the eleventh reuses slot 1, whose old shot
    // must not be taken for the new one of a channel that never arrives.
    for (int shot = 1; shot <= 10; ++shot) {
        nextShot();
        file(1, {2, 2}, 0.0f);
        file(2, {2, 2}, 0.0f);
    }
    nextShot();
    QCOMPARE(s.StackHead, 1);
    file(1, {6, 6}, 0.0f); // channel 2 fails to arrive
    QVERIFY(s.StackRing[1][1].isEmpty());
    const QVector<float> before = s.Traces[1];
    undo();
    QCOMPARE(s.Traces[1], before);
    QCOMPARE(s.StackCount, 10);
}

void TstTraceStore::lockedChannelBypassesTheRing()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    s.StackingOn = true;
    s.ChannelLocks[1] = true;
    s.StackHead = 3;
    file(2, {5, 6}, 1.0f);
    QCOMPARE(s.Traces[1], QVector<float>({4, 5}));
    for (const TraceSet &slot : s.StackRing)
        QVERIFY(slot[1].isEmpty());
    // Its unlocked neighbour still stacks into slot 3.
    file(3, {5, 6}, 1.0f);
    QCOMPARE(s.StackRing[3][2], QVector<float>({4, 5}));
}

void TstTraceStore::channelsOutsideTheStoreAreIgnored()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    const QVector<float> v{1, 2, 3};
    file(0, v, 0);
    file(25, v, 0);
    file(-3, v, 0);
    s.Traces[0] = {9};
    s.FileChannel(1, v.constData(), -5, 0);
    QCOMPARE(s.Traces[0], QVector<float>({9}));
    // A corrupted ring index still lands inside the ring.
    s.StackingOn = true;
    s.StackHead = 42;
    file(24, v, 0);
    QCOMPARE(s.StackRing[kStackSlots - 1][23], v);
    QCOMPARE(s.Traces[23], v);
    for (int c = 1; c < kMaxChannels - 1; ++c)
        QVERIFY(s.Traces[c].isEmpty());
}

void TstTraceStore::restorePreviousOnlyWhenStoppedEarly()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    for (int c = 0; c < kMaxChannels; ++c)
        s.PreviousTraces[c] = ramp(3, c, 1);

    s.RestorePreviousIfEmpty(12);
    for (int c = 0; c < kMaxChannels; ++c)
        QCOMPARE(s.Traces[c].isEmpty(), c >= 12);
    QCOMPARE(s.Traces[11], ramp(3, 11, 1));
    QCOMPARE(s.PreviousTraces[11], ramp(3, 11, 1)); // a copy, not a move

    // New data on channel 1 already: nothing is put back.
    s.Traces = TraceSet();
    s.Traces[0] = {42};
    s.RestorePreviousIfEmpty(24);
    QVERIFY(s.Traces[1].isEmpty());

    // Stacking: the picture is the average and stays.
    s.Traces = TraceSet();
    s.StackingOn = true;
    s.RestorePreviousIfEmpty(24);
    QVERIFY(s.Traces[0].isEmpty());

    // Nothing kept: nothing restored; counts beyond the store are bounded.
    s.StackingOn = false;
    s.PreviousTraces[0].clear();
    s.RestorePreviousIfEmpty(24);
    QVERIFY(s.Traces[1].isEmpty());
    s.PreviousTraces[0] = {1};
    s.RestorePreviousIfEmpty(1000);
    QCOMPARE(s.Traces[23], ramp(3, 23, 1));
    s.Traces = TraceSet();
    s.RestorePreviousIfEmpty(-4);
    QVERIFY(s.Traces[0].isEmpty());
}

void TstTraceStore::resetEmptiesEverything()
{
    TestProgramDir dir;
    TraceStore &s = Store();
    s.Traces[3] = {1};
    s.StackRing[9][23] = {2};
    s.StackingOn = true;
    s.ChannelLocks[5] = true;
    s.StackCount = 4;
    s.LinkState = LinkUp;
    s.ResetStacking();
    QVERIFY(!s.StackingOn);
    QVERIFY(!s.ChannelLocks[5]);
    QCOMPARE(s.StackCount, 0);
    s.Reset();
    QVERIFY(s.Traces[3].isEmpty());
    QVERIFY(s.StackRing[9][23].isEmpty());
    QCOMPARE(s.LinkState, int(LinkDown));
    QCOMPARE(s.AcqState, int(AcqIdle));
}

QTEST_GUILESS_MAIN(TstTraceStore)
#include "tst_tracestore.moc"
