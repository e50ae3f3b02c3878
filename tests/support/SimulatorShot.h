#pragma once

class UnitSimulator;

/// Takes one shot from sim (started, answering on loopback) as the program
/// does: points the current parameter set at it with channels, samples and
/// intervalUs, connects the program's own link, sends the parameters, starts,
/// waits for the trigger and the end, and fetches every channel into the
/// traces on screen. False when any step fails or times out.
bool TakeSimulatorShot(UnitSimulator &sim, int channels, int samples, float intervalUs);
