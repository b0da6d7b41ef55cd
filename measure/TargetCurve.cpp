#include "measure/TargetCurve.h"

#include <cmath>
#include <limits>

namespace {

struct SCurve {
    ETargetCurve eCurve;
    const char* pszName;
    double dKnee;   // Hz: flat below
    double dSlope1; // dB per octave from the knee
    double dBreak;  // Hz: where the second slope begins (0: none)
    double dSlope2; // dB per octave above it
};

// Slopes fall: a positive figure here is a loss per octave.
constexpr SCurve CURVES[CTargetCurve::COUNT] = {
    {ETargetCurve::X30, "X30", 2000.0, 2.0, 10000.0, 4.0},
    {ETargetCurve::X150, "X150", 2000.0, 2.5, 10000.0, 5.0},
    {ETargetCurve::X500, "X500", 2000.0, 3.0, 10000.0, 6.0},
    {ETargetCurve::X1000, "X1000", 2000.0, 3.5, 10000.0, 7.0},
    {ETargetCurve::X1500, "X1500", 2000.0, 4.0, 10000.0, 8.0},
    {ETargetCurve::X2000, "X2000", 2000.0, 4.5, 10000.0, 9.0},
    {ETargetCurve::S2K, "S2K", 2000.0, 1.5, 0.0, 0.0},
    {ETargetCurve::S4K, "S4K", 4000.0, 3.0, 0.0, 0.0},
};

const SCurve& CurveOf(ETargetCurve e)
{
    for (const SCurve& c : CURVES)
        if (c.eCurve == e)
            return c;
    return CURVES[2];
}

} // namespace

const char* CTargetCurve::Name(ETargetCurve eCurve) { return CurveOf(eCurve).pszName; }

bool CTargetCurve::FromName(std::string_view name, ETargetCurve& eCurve)
{
    for (const SCurve& c : CURVES)
        if (name == c.pszName) {
            eCurve = c.eCurve;
            return true;
        }
    return false;
}

double CTargetCurve::Shape(ETargetCurve eCurve, double dFreq)
{
    const SCurve& c = CurveOf(eCurve);
    if (!(dFreq > c.dKnee))
        return 0.0;
    if (c.dBreak <= 0.0 || dFreq <= c.dBreak)
        return -c.dSlope1 * std::log2(dFreq / c.dKnee);
    return -c.dSlope1 * std::log2(c.dBreak / c.dKnee) - c.dSlope2 * std::log2(dFreq / c.dBreak);
}

double CTargetCurve::MeanLevel(const double* pdFreq, const double* pdDb, std::size_t n, double dFrom, double dTo)
{
    double dArea = 0.0, dSpan = 0.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const double fa = pdFreq[i], fb = pdFreq[i + 1];
        if (fa < dFrom || fb > dTo || !(fb > fa) || !(fa > 0.0))
            continue;
        if (std::isnan(pdDb[i]) || std::isnan(pdDb[i + 1]))
            continue;
        const double w = std::log(fb / fa);
        dArea += w * 0.5 * (pdDb[i] + pdDb[i + 1]);
        dSpan += w;
    }
    return dSpan > 0.0 ? dArea / dSpan : std::numeric_limits<double>::quiet_NaN();
}
