#include "Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
// Longest stretch without looking at the clock and the caller's condition.
constexpr int kMaxPassMs = 100;
}

bool WaitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    // The timer only wakes the dispatcher; between events the thread sleeps.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            break;
        wake.start(static_cast<int>(qMin<qint64>(left, kMaxPassMs)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

void WaitMs(int ms)
{
    WaitUntil([] { return false; }, ms);
}
