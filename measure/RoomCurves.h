#pragma once
// CRoomCurves: the curves of the room measurement of the channel on show,
// on the summed response's grid (point i at 5 i Hz, POINTS of them), as the
// plot draws them and qvrtool prints them, from one computation:
//   Measured()   the measurement (smoothed as the view says);
//   Predicted()  measured * H_now / H_as_measured (CPrediction), smoothed;
//   Target()     the target curve at its level (typed, or the mean of the
//                shown prediction from 500 Hz to 2 kHz);
//   MaskMin(), MaskMax()  the tolerance mask around the target;
//   Outside()    1 where the shown prediction leaves the mask.
// NaN marks "nothing drawn" in every curve: outside the measured range,
// where H_as_measured cannot be divided out, without a level, without a mask.
// Update() is cheap enough for every drag step: the measurement is put on
// the grid once, in SetRoom.

#include <complex>
#include <memory>
#include <vector>

#include "measure/DeviationTable.h"
#include "measure/Measurement.h"
#include "measure/Prediction.h"
#include "measure/TargetCurve.h"
#include "measure/ToleranceMask.h"

class CChannelConfig;

// How the curves are shown (the sidecar keeps it).
struct SRoomView {
    ETargetCurve eTarget = ETargetCurve::X500;
    bool bTypedLevel = false;  // the target's level typed rather than taken from the prediction
    double dTypedLevel = 0.0;  // dB
    int nSmoothing = 0;        // 0, 3 or 6: none, 1/3, 1/6 octave
};

class CRoomCurves {
public:
    static constexpr int POINTS = CSummedResponse::POINTS;
    static constexpr double HZ_PER_POINT = 5.0;

    CRoomCurves();
    CRoomCurves(const CRoomCurves&) = delete;
    CRoomCurves& operator=(const CRoomCurves&) = delete;
    ~CRoomCurves();

    // The room measurement and the configuration it was made with.
    void SetRoom(const CMeasurement& room, const CChannelConfig& asMeasured, EPhaseChoice ePhase);
    void ClearRoom();
    bool HasRoom() const { return m_bHasRoom; }
    // The mask (copied); null: none.
    void SetMask(const CToleranceMask* pMask);
    void SetView(const SRoomView& view) { m_view = view; }
    const SRoomView& View() const { return m_view; }

    // Recomputes every curve for the configuration now.  sumNow: the summed
    // response of `now`, current (the plot's); when it sums driver
    // measurements the filters' own sum is computed here instead.
    void Update(const CChannelConfig& now, const CSummedResponse& sumNow);
    // The same, computing the summed response itself (qvrtool, the report).
    void Update(const CChannelConfig& now);

    const double* Freq() const { return m_pdFreq.get(); }
    const double* Measured() const { return m_pdMeasured.get(); }
    const double* Predicted() const { return m_pdPredicted.get(); }
    const double* PredictedUnsmoothed() const { return m_pdPredictedRaw.get(); }
    const std::complex<double>* PredictedComplex() const { return m_pPredicted.get(); }
    const double* Target() const { return m_pdTarget.get(); }
    const double* MaskMin() const { return m_pdMaskMin.get(); }
    const double* MaskMax() const { return m_pdMaskMax.get(); }
    const unsigned char* Outside() const { return m_pbOutside.get(); }
    // The target's level in dB (NaN when there is none to show).
    double TargetLevel() const { return m_dTargetLevel; }
    bool HasMask() const { return m_bHasMask; }

    // The third-octave deviation readout of the last Update.
    std::vector<CDeviationTable::SRow> Deviations() const;

private:
    SRoomView m_view;
    bool m_bHasRoom = false;
    bool m_bHasMask = false;
    CToleranceMask m_mask;
    double m_dTargetLevel;
    CPrediction m_prediction;
    std::unique_ptr<CBandResponse> m_pBands; // for Update(now)
    std::unique_ptr<CSummedResponse> m_pSum;
    std::unique_ptr<double[]> m_pdFreq;
    std::unique_ptr<std::complex<double>[]> m_pMeasuredComplex;
    std::unique_ptr<double[]> m_pdMeasuredRaw, m_pdMeasured, m_pdPredictedRaw, m_pdPredicted;
    std::unique_ptr<std::complex<double>[]> m_pPredicted;
    std::unique_ptr<double[]> m_pdTarget, m_pdMaskRelMin, m_pdMaskRelMax, m_pdMaskMin, m_pdMaskMax;
    std::unique_ptr<unsigned char[]> m_pbOutside;
};
