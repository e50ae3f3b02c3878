#pragma once

#include <QVector>
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

    /// Adds the rumble of passing vehicles in mV to a record of a 1-based
    /// channel that began at t0 seconds (the simulator's clock) with samples
    /// dt seconds apart, on a spread of the given spacing.
    void AddTraffic(QVector<double> &mv, quint32 seed, int channel, double spacingM, double t0,
                    double dt) const;
};
