// Level synthesis of the simulated unit's inputs.
#include "sim/SimMeter.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double PI = 3.14159265358979323846;

std::uint64_t Mix(std::uint64_t x)
{
    // splitmix64 finaliser: a well-spread hash of the inputs.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}
} // namespace

double CSimMeter::Hash01(int nChannel, int nStream, std::int64_t nIndex) const
{
    std::uint64_t h = Mix(m_dwSeed);
    h = Mix(h ^ static_cast<std::uint64_t>(nChannel * 16 + nStream));
    h = Mix(h ^ static_cast<std::uint64_t>(nIndex));
    return static_cast<double>(h >> 11) / 9007199254740992.0; // [0, 1)
}

// Smoothly interpolated value noise in [0, 1).
double CSimMeter::Noise(int nChannel, int nStream, double dX) const
{
    const double f = std::floor(dX);
    const auto i = static_cast<std::int64_t>(f);
    const double u = dX - f;
    const double s = u * u * (3.0 - 2.0 * u);
    return Hash01(nChannel, nStream, i) * (1.0 - s) + Hash01(nChannel, nStream, i + 1) * s;
}

double CSimMeter::LevelDb(int nChannel, double dSeconds) const
{
    // Per-channel character: average level, swell period and phase.
    const double dBase = -5.0 + 2.0 * Hash01(nChannel, 0, 0);
    const double dPeriod = 6.0 + 8.0 * Hash01(nChannel, 1, 0);
    const double dPhase = 2.0 * PI * Hash01(nChannel, 2, 0);
    const double dRate = 2.0 + 3.0 * Hash01(nChannel, 3, 0); // changes per second

    double dDb = dBase;
    dDb += 3.0 * std::sin(2.0 * PI * dSeconds / dPeriod + dPhase); // swell
    dDb += 6.0 * (Noise(nChannel, 4, dSeconds * dRate) - 0.5);      // phrases
    dDb += 2.0 * (Noise(nChannel, 5, dSeconds * 11.0) - 0.5);       // transients
    if (Noise(nChannel, 6, dSeconds * 0.7) < 0.12)                   // an occasional pause
        dDb -= 14.0;
    return std::clamp(dDb, -40.0, 6.0);
}

float CSimMeter::DbToValue(double dDb)
{
    return static_cast<float>(FULL_SCALE * std::pow(10.0, (dDb - METER_OFFSET_DB) / 20.0));
}

double CSimMeter::ValueToDb(float fltValue)
{
    return 20.0 * std::log10(static_cast<double>(fltValue) / FULL_SCALE) + METER_OFFSET_DB;
}
