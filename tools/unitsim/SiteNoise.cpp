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

void SiteNoise::AddTraffic(QVector<double> &mv, quint32 seed, int channel, double spacingM,
                           double t0, double dt) const
{
    if (!Enabled || VehiclePeriodS <= 0.0 || VehicleMv == 0.0 || mv.isEmpty())
        return;
    const double along = (channel - 1) * spacingM;
    const double distance = std::hypot(RoadDistanceM, along);
    const double level = VehicleMv / (1.0 + (distance - RoadDistanceM) / kHalfDistanceM)
                         / std::sqrt(double(kComponents));
    // The wave reaches farther geophones a little later (about 200 m/s).
    const double delay = along / 200.0;
    const double t1 = t0 + (mv.size() - 1) * dt;
    const long first = static_cast<long>(std::floor((t0 - kReachSigmas * kPassSigmaS) / VehiclePeriodS));
    const long last = static_cast<long>(std::floor((t1 + kReachSigmas * kPassSigmaS) / VehiclePeriodS)) + 1;
    for (long k = first; k <= last; ++k) {
        // Each vehicle has its own moment (jittered around its slot) and its own phases.
        std::seed_seq seq{seed, kTrafficStream, static_cast<quint32>(k), static_cast<quint32>(k >> 32)};
        std::mt19937 g(seq);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        const double centre = (k + 0.25 + 0.5 * u(g)) * VehiclePeriodS;
        double phase[kComponents];
        for (double &ph : phase)
            ph = 2.0 * M_PI * u(g);
        for (int i = 0; i < mv.size(); ++i) {
            const double t = t0 + i * dt;
            const double e = (t - centre) / kPassSigmaS;
            if (std::fabs(e) > kReachSigmas)
                continue;
            const double envelope = level * std::exp(-0.5 * e * e);
            double sum = 0.0;
            for (int c = 0; c < kComponents; ++c)
                sum += std::sin(2.0 * M_PI * kRumbleHz[c] * (t - delay) + phase[c]);
            mv[i] += envelope * sum;
        }
    }
}
