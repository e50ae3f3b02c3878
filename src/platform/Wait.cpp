#include "Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

namespace {
// Shared by the waiter and the job's thread, which may outlive the wait.
struct JobState
{
    std::mutex Lock;
    bool Finished = false;
    bool Result = false;
    QObject *Waker = nullptr; ///< the waiter's, while it waits
};
} // namespace

JobOutcome RunJobWithin(std::function<bool()> job, int ms)
{
    auto state = std::make_shared<JobState>();
    QObject waker;
    state->Waker = &waker;
    try {
        std::thread([state, job = std::move(job)] {
            const bool result = job();
            std::lock_guard<std::mutex> guard(state->Lock);
            state->Finished = true;
            state->Result = result;
            // Wakes the waiter's event loop at once instead of at its next pass.
            if (state->Waker)
                QMetaObject::invokeMethod(state->Waker, [] {}, Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error &) {
        // No thread to be had (the system is out of them): the job did not run.
        return JobOutcome::Failed;
    }

    WaitUntil(
        [&state] {
            std::lock_guard<std::mutex> guard(state->Lock);
            return state->Finished;
        },
        ms);
    std::lock_guard<std::mutex> guard(state->Lock);
    state->Waker = nullptr;
    if (!state->Finished)
        return JobOutcome::TimedOut;
    return state->Result ? JobOutcome::Succeeded : JobOutcome::Failed;
}
