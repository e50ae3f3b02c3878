#include "TraceStore.h"

#include "WorkStateReset.h"

void TraceStore::Reset()
{
    *this = TraceStore();
}

void TraceStore::ResetStacking()
{
    StackingOn = false;
    ChannelLocks.fill(false);
    StackCount = 0;
    StackTail = 0;
    StackHead = 0;
    SelfCheckRunning = false;
}

void TraceStore::FileChannel(int channel, const float *amplitudes, int count, float offset)
{
    if (channel < 1 || channel > kMaxChannels || count < 0)
        return;
    const int c = channel - 1;
    const bool intoRing = !SelfCheckRunning && StackingOn && !ChannelLocks[c];
    QVector<float> &target = SelfCheckRunning ? PreviousTraces[c]
                             : intoRing       ? StackRing[qBound(0, StackHead, kStackSlots - 1)][c]
                                              : Traces[c];
    target.resize(count);
    std::copy(amplitudes, amplitudes + count, target.begin());

    if (SelfCheckRunning)
        return;
    if (intoRing) {
        // The new shot is averaged with the picture at equal weight; undo
        // reverses exactly this with t := 2t − s.
        QVector<float> &screen = Traces[c];
        StackPriorLength[qBound(0, StackHead, kStackSlots - 1)][c] = screen.size();
        const int shared = qMin(screen.size(), target.size());
        for (int i = 0; i < target.size(); ++i) {
            target[i] -= offset;
            if (i < shared)
                screen[i] = (screen[i] + target[i]) * 0.5f;
            else
                screen.append(target[i]);
        }
        return;
    }
    for (float &s : target)
        s -= offset;
}

void TraceStore::StartStack(int channelCount)
{
    ClearStack();
    const int n = qBound(0, channelCount, kMaxChannels);
    for (int c = 0; c < n; ++c) {
        if (ChannelLocks[c])
            continue;
        StackRing[0][c] = Traces[c];
        StackPriorLength[0][c] = 0;
    }
}

void TraceStore::ClearStack()
{
    StackCount = 0;
    StackTail = 0;
    StackHead = 0;
    for (TraceSet &slot : StackRing)
        for (QVector<float> &v : slot)
            v.clear();
    for (auto &lengths : StackPriorLength)
        lengths.fill(0);
}

void TraceStore::AdvanceStack()
{
    ++StackCount;
    StackHead = (qBound(0, StackHead, kStackSlots - 1) + 1) % kStackSlots;
    if (StackHead == StackTail)
        StackTail = (StackTail + 1) % kStackSlots;
    for (QVector<float> &v : StackRing[StackHead])
        v.clear();
    StackPriorLength[StackHead].fill(0);
}

bool TraceStore::UndoStackedShot(int channelCount)
{
    if (StackHead == StackTail)
        return false;
    const int head = qBound(0, StackHead, kStackSlots - 1);
    const int n = qBound(0, channelCount, kMaxChannels);
    for (int c = 0; c < n; ++c) {
        QVector<float> &t = Traces[c];
        const QVector<float> &s = StackRing[head][c];
        if (ChannelLocks[c] || t.isEmpty() || s.isEmpty())
            continue;
        // t := 2t − s undoes the equal-weight average; what the shot
        // appended beyond the old picture is cut off again.
        const int prior = qBound(0, StackPriorLength[head][c], int(t.size()));
        const int averaged = qMin(prior, int(s.size()));
        for (int i = 0; i < averaged; ++i)
            t[i] = 2 * t[i] - s[i];
        t.resize(prior);
    }
    StackHead = (head + kStackSlots - 1) % kStackSlots;
    --StackCount;
    return true;
}

void TraceStore::RestorePreviousIfEmpty(int channelCount)
{
    if (StackingOn || !Traces[0].isEmpty() || PreviousTraces[0].isEmpty())
        return;
    const int n = qBound(0, channelCount, kMaxChannels);
    for (int c = 0; c < n; ++c)
        Traces[c] = PreviousTraces[c];
}

TraceStore &Store()
{
    static TraceStore store;
    // A store built after a reset starts reset anyway, so listening from the
    // moment it exists misses nothing.
    static const bool listening = (AddWorkStateResetListener([] { Store().ResetStacking(); }), true);
    Q_UNUSED(listening);
    return store;
}
