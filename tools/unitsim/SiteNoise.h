#pragma once

#include <QtGlobal>

/// The ground's noise at a real site, for records the unit takes without a
/// source: vehicles passing on a road beside the first geophone now and then
/// (a swelling and fading rumble of 8-25 Hz, strongest at the near end of the
/// spread), one loosely planted geophone that picks up far more than the
/// others, and one geophone whose cable is broken (only the amplifier's own
/// noise reaches the input). Off unless switched on; it adds to the shot
/// model and changes nothing else the unit does.
struct SiteNoise
{
    bool Enabled = false;
    int NoisyChannel = 7;        ///< 1-based; 0 for none
    double NoisyFactor = 10.0;   ///< how much more ground noise it picks up
    int DeadChannel = 18;        ///< 1-based; 0 for none
    double VehiclePeriodS = 15.0; ///< one vehicle about this often
    double VehicleMv = 2.0;      ///< its rumble at the geophone nearest the road
    double RoadDistanceM = 5.0;  ///< from the road to the first geophone

    /// The rumble of passing vehicles in mV at a 1-based channel at time
    /// t seconds (the simulator's clock), on a spread of the given spacing.
    double TrafficMv(quint32 seed, int channel, double spacingM, double t) const;
};
