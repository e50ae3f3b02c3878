#pragma once

#include <functional>

/// Returns once ms milliseconds have passed on the wall clock, running the
/// event loop meanwhile (timers, sockets and buttons keep working).
void WaitMs(int ms);

/// Runs the event loop until done() is true or ms milliseconds have passed;
/// returns done() at the end. Sleeps in the event dispatcher between events,
/// so a long wait costs no processor time.
bool WaitUntil(const std::function<bool()> &done, int ms);
