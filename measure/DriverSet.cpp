#include "measure/DriverSet.h"

#include <cmath>
#include <limits>

#include "model/ChannelFields.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

int Slot(int nBand) { return nBand == BAND_LOW ? 0 : nBand == BAND_MID ? 1 : nBand == BAND_HIGH ? 2 : -1; }

} // namespace

CDriverSet::CDriverSet() = default;
CDriverSet::~CDriverSet() = default;

void CDriverSet::SetDriver(int nBand, const CMeasurement& driver, EPhaseChoice ePhase)
{
    const int k = Slot(nBand);
    if (k < 0)
        return;
    std::unique_ptr<double[]> pdFreq(new double[POINTS]);
    for (int i = 0; i < POINTS; ++i)
        pdFreq[i] = 5.0 * i;
    std::unique_ptr<std::complex<double>[]> p(new std::complex<double>[POINTS]);
    driver.SampleComplex(pdFreq.get(), POINTS, ePhase, p.get());
    m_apDriver[k] = std::move(p);
}

void CDriverSet::ClearDriver(int nBand)
{
    const int k = Slot(nBand);
    if (k >= 0)
        m_apDriver[k].reset();
}

bool CDriverSet::HasDriver(int nBand) const
{
    const int k = Slot(nBand);
    return k >= 0 && m_apDriver[k] != nullptr;
}

bool CDriverSet::IsEmpty() const { return !m_apDriver[0] && !m_apDriver[1] && !m_apDriver[2]; }

const std::complex<double>* CDriverSet::Driver(int nBand) const
{
    const int k = Slot(nBand);
    return k >= 0 ? m_apDriver[k].get() : nullptr;
}

void CDriverSet::ApplyTo(CSummedResponse& sum) const
{
    for (const int nBand : {BAND_LOW, BAND_MID, BAND_HIGH})
        sum.SetDriver(nBand, Driver(nBand));
}

void CDriverSet::BandCurve(int nBand, const float* pfltFilterDb, double* pdOut) const
{
    const std::complex<double>* p = Driver(nBand);
    for (int i = 0; i < POINTS; ++i) {
        const double dFilter = pfltFilterDb[i];
        if (!p) {
            pdOut[i] = dFilter;
            continue;
        }
        const double a = std::abs(p[i]);
        pdOut[i] = std::isnan(a) ? NaN : dFilter + 20.0 * std::log10(a);
    }
}
