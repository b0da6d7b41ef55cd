#include "measure/DeviationTable.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "measure/Smoothing.h"
#include "measure/TargetCurve.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
// The nominal names of the third-octave centres, 25 Hz .. 20 kHz.
constexpr double NOMINAL[CDeviationTable::BANDS] = {
    25,   31.5, 40,   50,   63,   80,   100,  125,  160,   200,   250,   315,   400,   500,   630,
    800,  1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000,  6300,  8000,  10000, 12500, 16000, 20000};
constexpr int FIRST_BAND = -16; // 1000 * 2^(-16/3) = 24.8 Hz

// Linear interpolation in log f of a curve at f (NaN outside or next to NaN).
double ValueAt(const double* pdFreq, const double* pdV, std::size_t n, double f)
{
    if (!pdV || n < 2 || !(f >= pdFreq[0]) || !(f <= pdFreq[n - 1]))
        return NaN;
    std::size_t lo = 0, hi = n - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        (pdFreq[mid] <= f ? lo : hi) = mid;
    }
    const double t = std::log(f / pdFreq[lo]) / std::log(pdFreq[hi] / pdFreq[lo]);
    return pdV[lo] + t * (pdV[hi] - pdV[lo]);
}

} // namespace

std::vector<CDeviationTable::SRow> CDeviationTable::Compute(const double* pdFreq, const double* pdPredictedDb,
                                                            const double* pdTargetDb, const double* pdMaskMin,
                                                            const double* pdMaskMax, std::size_t n)
{
    std::vector<SRow> rows(BANDS);
    const double dHalf = std::exp2(1.0 / 6.0);
    for (int b = 0; b < BANDS; ++b) {
        SRow& r = rows[static_cast<std::size_t>(b)];
        r.dNominal = NOMINAL[b];
        r.dCentre = 1000.0 * std::exp2((FIRST_BAND + b) / 3.0);
        const double dLevel = CSmoothing::WindowAverage(pdFreq, pdPredictedDb, n, r.dCentre / dHalf, r.dCentre * dHalf);
        const double dTarget = ValueAt(pdFreq, pdTargetDb, n, r.dCentre);
        r.dDeviation = dLevel - dTarget; // NaN when either is missing
        const double dMin = ValueAt(pdFreq, pdMaskMin, n, r.dCentre);
        const double dMax = ValueAt(pdFreq, pdMaskMax, n, r.dCentre);
        r.bHasMask = !std::isnan(dMin) && !std::isnan(dMax);
        r.bOutside = r.bHasMask && !std::isnan(dLevel) && (dLevel < dMin || dLevel > dMax);
    }
    return rows;
}

std::string CDeviationTable::Csv(const std::vector<SRow>& rows)
{
    std::string s = "band_hz,deviation_db,outside\n";
    char buf[64];
    for (const SRow& r : rows) {
        std::snprintf(buf, sizeof buf, "%g,", r.dNominal);
        s += buf;
        if (!std::isnan(r.dDeviation)) {
            std::snprintf(buf, sizeof buf, "%.2f", r.dDeviation);
            s += buf;
        }
        s += ',';
        if (r.bHasMask && !std::isnan(r.dDeviation))
            s += r.bOutside ? "yes" : "no";
        s += '\n';
    }
    return s;
}
