#include "measure/RoomCurves.h"

#include <cmath>
#include <limits>

#include "model/ChannelConfig.h"
#include "measure/Smoothing.h"
#include "model/ChannelFields.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::unique_ptr<double[]> NewArray(double v = NaN)
{
    std::unique_ptr<double[]> p(new double[CRoomCurves::POINTS]);
    for (int i = 0; i < CRoomCurves::POINTS; ++i)
        p[i] = v;
    return p;
}

void ToDb(const std::complex<double>* p, double* pdDb, int n)
{
    for (int i = 0; i < n; ++i) {
        const double a = std::abs(p[i]);
        pdDb[i] = std::isnan(a) ? NaN : 20.0 * std::log10(a);
    }
}

} // namespace

CRoomCurves::CRoomCurves()
    : m_dTargetLevel(NaN),
      m_pBands(new CBandResponse),
      m_pSum(new CSummedResponse),
      m_pdFreq(NewArray(0.0)),
      m_pMeasuredComplex(new std::complex<double>[POINTS]),
      m_pdMeasuredRaw(NewArray()),
      m_pdMeasured(NewArray()),
      m_pdPredictedRaw(NewArray()),
      m_pdPredicted(NewArray()),
      m_pPredicted(new std::complex<double>[POINTS]),
      m_pdTarget(NewArray()),
      m_pdMaskRelMin(NewArray()),
      m_pdMaskRelMax(NewArray()),
      m_pdMaskMin(NewArray()),
      m_pdMaskMax(NewArray()),
      m_pbOutside(new unsigned char[POINTS]())
{
    for (int i = 0; i < POINTS; ++i)
        m_pdFreq[i] = HZ_PER_POINT * i;
}

CRoomCurves::~CRoomCurves() = default;

void CRoomCurves::SetRoom(const CMeasurement& room, const CChannelConfig& asMeasured, EPhaseChoice ePhase)
{
    room.SampleComplex(m_pdFreq.get(), POINTS, ePhase, m_pMeasuredComplex.get());
    ToDb(m_pMeasuredComplex.get(), m_pdMeasuredRaw.get(), POINTS);
    m_prediction.SetAsMeasured(asMeasured);
    m_bHasRoom = true;
}

void CRoomCurves::ClearRoom() { m_bHasRoom = false; }

void CRoomCurves::SetMask(const CToleranceMask* pMask)
{
    m_bHasMask = pMask && !pMask->IsEmpty();
    if (m_bHasMask) {
        m_mask = *pMask;
        m_mask.Sample(m_pdFreq.get(), POINTS, m_pdMaskRelMin.get(), m_pdMaskRelMax.get());
    }
}

void CRoomCurves::Update(const CChannelConfig& now)
{
    m_pBands->RecalcBands(now, BAND_ALL);
    m_pSum->Recalc(now, *m_pBands, BAND_ALL);
    Update(now, *m_pSum);
}

void CRoomCurves::Update(const CChannelConfig& now, const CSummedResponse& sumNow)
{
    // The room measurement already holds the drivers: a sum over driver
    // measurements would count them twice.  The filters' own sum is made here.
    if (sumNow.HasDrivers() && &sumNow != m_pSum.get()) {
        Update(now);
        return;
    }
    // 0 Hz has no place on a logarithmic axis: every curve starts at point 1.
    const double* const pdFreq = m_pdFreq.get() + 1;
    const std::size_t n = POINTS - 1;
    if (m_bHasRoom) {
        m_prediction.Predict(m_pMeasuredComplex.get(), now, sumNow, m_pPredicted.get());
        ToDb(m_pPredicted.get(), m_pdPredictedRaw.get(), POINTS);
        m_pdPredictedRaw[0] = m_pdMeasured[0] = m_pdPredicted[0] = NaN;
        CSmoothing::Apply(pdFreq, m_pdMeasuredRaw.get() + 1, n, m_view.nSmoothing, m_pdMeasured.get() + 1);
        CSmoothing::Apply(pdFreq, m_pdPredictedRaw.get() + 1, n, m_view.nSmoothing, m_pdPredicted.get() + 1);
    } else {
        for (int i = 0; i < POINTS; ++i) {
            m_pdMeasured[i] = m_pdPredicted[i] = m_pdPredictedRaw[i] = NaN;
            m_pPredicted[i] = std::complex<double>(NaN, NaN);
        }
    }
    m_dTargetLevel = m_view.bTypedLevel ? m_view.dTypedLevel
                     : m_bHasRoom       ? CTargetCurve::MeanLevel(pdFreq, m_pdPredicted.get() + 1, n)
                                        : NaN;
    const bool bTarget = std::isfinite(m_dTargetLevel);
    for (int i = 0; i < POINTS; ++i) {
        const double t = bTarget && i > 0 ? m_dTargetLevel + CTargetCurve::Shape(m_view.eTarget, m_pdFreq[i]) : NaN;
        m_pdTarget[i] = t;
        m_pdMaskMin[i] = m_bHasMask ? t + m_pdMaskRelMin[i] : NaN;
        m_pdMaskMax[i] = m_bHasMask ? t + m_pdMaskRelMax[i] : NaN;
        const double p = m_pdPredicted[i];
        m_pbOutside[i] = (p < m_pdMaskMin[i] || p > m_pdMaskMax[i]) ? 1 : 0; // false where any is NaN
    }
}

std::vector<CDeviationTable::SRow> CRoomCurves::Deviations() const
{
    return CDeviationTable::Compute(m_pdFreq.get() + 1, m_pdPredictedRaw.get() + 1, m_pdTarget.get() + 1,
                                    m_bHasMask ? m_pdMaskMin.get() + 1 : nullptr,
                                    m_bHasMask ? m_pdMaskMax.get() + 1 : nullptr, POINTS - 1);
}
