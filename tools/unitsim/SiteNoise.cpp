#include "SiteNoise.h"

#include <cmath>
#include <random>

namespace {
/// Components of a vehicle's rumble, Hz.
constexpr double kRumbleHz[] = {8.5, 12.0, 16.5, 21.0, 25.0};
constexpr int kComponents = sizeof(kRumbleHz) / sizeof(kRumbleHz[0]);
/// Standard deviation of a pass's envelope in seconds: about five seconds audible.
constexpr double kPassSigmaS = 1.2;
/// Passes further away than this many sigmas contribute nothing.
constexpr double kReachSigmas = 4.0;
/// Distance over which the rumble falls to half.
constexpr double kHalfDistanceM = 10.0;
constexpr quint32 kTrafficStream = 7;
} // namespace

double SiteNoise::TrafficMv(quint32 seed, int channel, double spacingM, double t) const
{
    if (!Enabled || VehiclePeriodS <= 0.0)
        return 0.0;
    const double along = (channel - 1) * spacingM;
    const double distance = std::hypot(RoadDistanceM, along);
    const double level = VehicleMv / (1.0 + (distance - RoadDistanceM) / kHalfDistanceM);
    // Each vehicle has its own moment (jittered around its slot) and its own phases.
    const long first = static_cast<long>(std::floor((t - kReachSigmas * kPassSigmaS) / VehiclePeriodS));
    const long last = static_cast<long>(std::floor((t + kReachSigmas * kPassSigmaS) / VehiclePeriodS)) + 1;
    double mv = 0.0;
    for (long k = first; k <= last; ++k) {
        std::seed_seq seq{seed, kTrafficStream, static_cast<quint32>(k), static_cast<quint32>(k >> 32)};
        std::mt19937 g(seq);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        const double centre = (k + 0.25 + 0.5 * u(g)) * VehiclePeriodS;
        const double e = (t - centre) / kPassSigmaS;
        if (std::fabs(e) > kReachSigmas)
            continue;
        const double envelope = std::exp(-0.5 * e * e);
        // The wave reaches farther geophones a little later (about 200 m/s).
        const double delay = along / 200.0;
        for (int i = 0; i < kComponents; ++i) {
            const double phase = 2.0 * M_PI * u(g);
            mv += level * envelope / std::sqrt(double(kComponents))
                  * std::sin(2.0 * M_PI * kRumbleHz[i] * (t - delay) + phase);
        }
    }
    return mv;
}
