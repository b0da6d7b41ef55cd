#pragma once
// Synthesised input levels of the simulated unit: each channel moves like
// programme material (a slow swell, phrase-length changes and short dips),
// differently per channel, as a pure function of a seed and the time.

#include <cstdint>

class CSimMeter {
public:
    // Full scale of the level value; the meter reads 20*log10(v / FULL_SCALE) + 29.
    static constexpr double FULL_SCALE = 2147483392.0;
    static constexpr double METER_OFFSET_DB = 29.0;

    explicit CSimMeter(std::uint32_t dwSeed = 1) : m_dwSeed(dwSeed) {}
    void SetSeed(std::uint32_t dwSeed) { m_dwSeed = dwSeed; }

    // Level in dB on the meter's scale (mostly -12..+2) of channel 0..5 at
    // dSeconds since the unit was switched on.
    double LevelDb(int nChannel, double dSeconds) const;

    // The value the unit reports for a meter level in dB, and back.
    static float DbToValue(double dDb);
    static double ValueToDb(float fltValue);

private:
    double Noise(int nChannel, int nStream, double dX) const;
    double Hash01(int nChannel, int nStream, std::int64_t nIndex) const;

    std::uint32_t m_dwSeed;
};
