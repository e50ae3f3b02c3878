#include "TraceStore.h"

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
    return store;
}
