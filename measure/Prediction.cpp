#include "measure/Prediction.h"

#include <cmath>
#include <limits>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double SAMPLES_PER_MS = CBandResponse::SAMPLE_RATE / 1000.0;

} // namespace

CPrediction::CPrediction()
    : m_pAsMeasured(new std::complex<double>[POINTS]),
      m_pbDivisible(new bool[POINTS]()),
      m_pBands(new CBandResponse),
      m_pSum(new CSummedResponse)
{
}

CPrediction::~CPrediction() = default;

void CPrediction::Response(const CChannelConfig& cfg, const CSummedResponse& sum, std::complex<double>* pOut)
{
    // The summed response leaves the channel delay out (it changes neither
    // its magnitude nor the shape of its phase); a ratio of two
    // configurations with different channel delays needs it.
    const double dDelay = static_cast<double>(cfg.GetDelay()) * SAMPLES_PER_MS;
    const double* re = sum.GetSumRe();
    const double* im = sum.GetSumIm();
    for (int i = 0; i < POINTS; ++i) {
        const double w = PI * i / CBandResponse::GRID_POINTS;
        pOut[i] = std::complex<double>(re[i], im[i]) * std::polar(1.0, -w * dDelay);
    }
}

void CPrediction::SetAsMeasured(const CChannelConfig& cfg)
{
    m_pBands->RecalcBands(cfg, BAND_ALL);
    m_pSum->Recalc(cfg, *m_pBands, BAND_ALL);
    Response(cfg, *m_pSum, m_pAsMeasured.get());
    const double* pdSum = m_pSum->GetSum();
    const double dMedian = CSummedResponse::FindDeepestDip(pdSum).dMedian;
    for (int i = 0; i < POINTS; ++i)
        m_pbDivisible[i] = std::isfinite(pdSum[i]) && pdSum[i] >= dMedian - DIVIDE_FLOOR_DB;
    m_bHasAsMeasured = true;
}

void CPrediction::Predict(const std::complex<double>* pMeasured, const CChannelConfig& now,
                          const CSummedResponse& sumNow, std::complex<double>* pOut) const
{
    if (!m_bHasAsMeasured) {
        // No other configuration to divide out: the measurement was made
        // with this one, and the prediction is the measurement.
        for (int i = 0; i < POINTS; ++i)
            pOut[i] = pMeasured[i];
        return;
    }
    Response(now, sumNow, pOut);
    for (int i = 0; i < POINTS; ++i) {
        const std::complex<double> m = pMeasured[i];
        if (!m_pbDivisible[i] || std::isnan(m.real()) || std::isnan(m.imag())) {
            pOut[i] = std::complex<double>(NaN, NaN);
            continue;
        }
        pOut[i] = m * pOut[i] / m_pAsMeasured[i];
    }
}

void CPrediction::Predict(const std::complex<double>* pMeasured, const CChannelConfig& now,
                          std::complex<double>* pOut)
{
    m_pBands->RecalcBands(now, BAND_ALL);
    m_pSum->Recalc(now, *m_pBands, BAND_ALL);
    Predict(pMeasured, now, *m_pSum, pOut);
}
