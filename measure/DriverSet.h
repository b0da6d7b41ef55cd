#pragma once
// CDriverSet: driver measurements in the summed response.  A band (Low,
// Mid, High; the Subwoofer's Low) may carry a measurement of its driver
// played on its own, without the crossover.  The band's drawn curve then is
// the driver times the band's filters, and the summed response sums the
// filtered drivers as complex values (CSummedResponse::SetDriver), with
// their phase as measured or the minimum phase.  A band without a driver
// stays flat.  Outside a driver's measured range the band, and the sum, are
// not drawn (NaN).

#include <complex>
#include <memory>

#include "measure/Measurement.h"
#include "model/SummedResponse.h"

class CDriverSet {
public:
    static constexpr int POINTS = CSummedResponse::POINTS; // point i at 5 i Hz

    CDriverSet();
    CDriverSet(const CDriverSet&) = delete;
    CDriverSet& operator=(const CDriverSet&) = delete;
    ~CDriverSet();

    // nBand: BAND_LOW, BAND_MID or BAND_HIGH (others are ignored).  The
    // measurement is put on the grid at once; it is not kept.
    void SetDriver(int nBand, const CMeasurement& driver, EPhaseChoice ePhase);
    void ClearDriver(int nBand);
    bool HasDriver(int nBand) const;
    bool IsEmpty() const;
    // The driver on the grid, or null when the band has none.
    const std::complex<double>* Driver(int nBand) const;

    // Hands each band's driver (or null) to the summed response; the next
    // Recalc (any mask) sums them.  The set must outlive that use.
    void ApplyTo(CSummedResponse& sum) const;

    // The band's drawn curve with its driver: pfltFilterDb (the band's curve
    // as CBandResponse draws it) plus the driver's level; a copy of the
    // curve where the band has no driver, NaN outside the driver's range.
    void BandCurve(int nBand, const float* pfltFilterDb, double* pdOut) const;

private:
    std::unique_ptr<std::complex<double>[]> m_apDriver[3]; // Low, Mid, High; null: none
};
