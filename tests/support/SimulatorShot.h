#pragma once

#include <QtGlobal>
#include <memory>

class InstrumentLink;
class UnitSimulator;

/// The unit simulator on the loopback with the program pointed at it,
/// answering at once and triggered as soon as it is armed: a shot takes
/// milliseconds. Null if it could not start.
std::unique_ptr<UnitSimulator> StartLoopbackUnit(quint32 seed = 1);

/// The operator's short shots: the parameters live in the backup set and
/// each shot copies them in, as the acquisition screen does.
void UseShortShots();

/// Connects link and waits until it is up and the parameter frame sent on
/// connecting is answered, so that its reply cannot land in a test's command.
bool ConnectAndWait(InstrumentLink &link);

/// Takes one shot from sim (started, answering on loopback) as the program
/// does: points the current parameter set at it with channels, samples and
/// intervalUs, connects the program's own link, sends the parameters, starts,
/// waits for the trigger and the end, and fetches every channel into the
/// traces on screen. False when any step fails or times out.
bool TakeSimulatorShot(UnitSimulator &sim, int channels, int samples, float intervalUs);
