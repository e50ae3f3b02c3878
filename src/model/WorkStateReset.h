#pragma once

/// The operator's work state (look, current channel, filter limits, browser
/// position) goes back to its defaults whenever a parameter set is reset; what
/// lives beside the parameters, such as the stacking state, listens here so
/// that the parameters need not know who keeps it.
using WorkStateResetListener = void (*)();

/// Adds a listener; called once by each keeper of such state when it is built.
void AddWorkStateResetListener(WorkStateResetListener listener);
/// Calls every listener, oldest first.
void NotifyWorkStateReset();
