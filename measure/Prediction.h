#pragma once
// CPrediction: what a channel will play in the room after an edit, from a
// measurement made in the room with another configuration:
//
//   predicted(f) = measured(f) * H_now(f) / H_as_measured(f)
//
// complex, where H is the channel's whole response as CSummedResponse
// computes it (level, every band's filters and gain, polarity, mute, band
// delays) times the channel delay's e^(-j w delay).  The room, the
// microphone and its position are assumed unchanged since the measurement.
// Where |H_as_measured| lies more than DIVIDE_FLOOR_DB below its median
// (the median over 25 Hz .. 20 kHz, even in log-frequency, as the dip search
// takes it) the prediction is NaN: a muted band cannot be divided out.
// Everything is on the summed response's grid (point i at 5 i Hz).

#include <complex>
#include <memory>

#include "model/SummedResponse.h"

class CChannelConfig;

class CPrediction {
public:
    static constexpr int POINTS = CSummedResponse::POINTS;
    static constexpr double DIVIDE_FLOOR_DB = 60.0;

    CPrediction();
    CPrediction(const CPrediction&) = delete;
    CPrediction& operator=(const CPrediction&) = delete;
    ~CPrediction();

    // The configuration the measurement was made with: its H is computed
    // once here (with no driver measurements: the room measurement already
    // holds the drivers).
    void SetAsMeasured(const CChannelConfig& cfg);

    // pMeasured: the measurement on the grid (NaN where not measured).
    // sumNow: the summed response of `now`, current (the plot's own, so that
    // the plot and the prediction share one computation), computed without
    // driver measurements.  Fills pOut[0..POINTS-1]; NaN where nothing is
    // drawn.
    void Predict(const std::complex<double>* pMeasured, const CChannelConfig& now, const CSummedResponse& sumNow,
                 std::complex<double>* pOut) const;
    // The same, computing the summed response of `now` itself.
    void Predict(const std::complex<double>* pMeasured, const CChannelConfig& now, std::complex<double>* pOut);

    // H of cfg from its current summed response: the complex sum with the
    // channel delay applied.  Fills pOut[0..POINTS-1].
    static void Response(const CChannelConfig& cfg, const CSummedResponse& sum, std::complex<double>* pOut);

private:
    std::unique_ptr<std::complex<double>[]> m_pAsMeasured; // H_as_measured
    std::unique_ptr<bool[]> m_pbDivisible;                 // |H_as_measured| within the floor
    std::unique_ptr<CBandResponse> m_pBands;               // scratch for the overloads that compute
    std::unique_ptr<CSummedResponse> m_pSum;
    bool m_bHasAsMeasured = false;
};
