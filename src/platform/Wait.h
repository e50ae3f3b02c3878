#pragma once

#include <functional>

/// Returns once ms milliseconds have passed on the wall clock, running the
/// event loop meanwhile (timers, sockets and buttons keep working).
void WaitMs(int ms);

/// Runs the event loop until done() is true or ms milliseconds have passed;
/// returns done() at the end. Sleeps in the event dispatcher between events,
/// so a long wait costs no processor time.
bool WaitUntil(const std::function<bool()> &done, int ms);

/// How a job run with RunJobWithin ended.
enum class JobOutcome { Succeeded, Failed, TimedOut };

/// Runs job on a thread of its own and waits at most ms milliseconds for it,
/// the event loop running meanwhile. For system calls that a failing device
/// can block for ever (flushing a USB stick): the screen stays alive and the
/// caller hears TimedOut; the job then finishes on its own, unobserved, so it
/// must own everything it touches.
JobOutcome RunJobWithin(std::function<bool()> job, int ms);
