#pragma once
// The summed response of a channel: what the loudspeaker plays when its
// bands play together.  On the band curves' grid (4001 points, 0..20000 Hz
// in 5 Hz steps) each band present contributes its drawn magnitude (the
// band's curve as CBandResponse computes it, in dB) with the phase of the
// same biquad sections the curve is built from (a Linkwitz-Riley slope's
// Butterworth section twice), its polarity (Invert reverses the sign) and
// its own delay; a muted band contributes nothing.  The sum is the complex
// sum of the contributions, in double precision.
//
// The channel delay delays every band alike: it changes neither the sum's
// magnitude nor the shape of its phase, so the phase and group delay given
// here leave it out.  Where the sum lies below FLOOR_DB (0 Hz, a null,
// every band muted) its phase and group delay are undefined (NaN).
//
// Portable: the editor's plot draws it, qvrtool prints it and the report
// plots it from this one definition.

#include <complex>
#include <memory>

#include "model/BandResponse.h"

class CChannelConfig;

class CSummedResponse {
public:
    static constexpr int POINTS = CBandResponse::RESPONSE_POINTS;
    static constexpr double FLOOR_DB = -60.0;

    CSummedResponse();
    CSummedResponse(const CSummedResponse&) = delete;
    CSummedResponse& operator=(const CSummedResponse&) = delete;
    ~CSummedResponse();

    // Takes the bands in nMask (4 Low, 2 Mid, 1 High, 7 all) anew, their
    // curves from `bands` (which must be current for cfg) and their phase,
    // then sums every band with its flags and delays.  Changes of Mute,
    // Invert or a delay alone need nMask 0; a band whose curve changed must
    // be in the mask (the editor passes the mask it recomputes the curves with).
    void Recalc(const CChannelConfig& cfg, const CBandResponse& bands, int nMask);

    // The sum in dB (minus infinity where nothing sounds, NaN outside a
    // driver measurement's range), its phase in
    // degrees wrapped to (-180, 180] and its group delay in ms; point i at
    // 5 * i Hz.
    const double* GetSum() const { return m_pdSum.get(); }
    const double* GetPhase() const { return m_pdPhase.get(); }
    const double* GetGroupDelay() const { return m_pdGroupDelay.get(); }
    // The sum as complex values, real and imaginary parts (band delays in,
    // the channel delay left out, as above): what a prediction divides by.
    const double* GetSumRe() const { return m_pdSumRe.get(); }
    const double* GetSumIm() const { return m_pdSumIm.get(); }

    // A driver measured on its own for one band (4 Low, 2 Mid, 1 High):
    // pDriver holds POINTS complex values on the grid (NaN where it was not
    // measured, which leaves the sum undefined there), kept by the caller
    // until it is replaced; null makes the band flat again, as without
    // measurements.  The band's contribution is multiplied by it; the next
    // Recalc (any mask, 0 included) takes it into the sum.
    void SetDriver(int nBand, const std::complex<double>* pDriver);
    // Whether any band carries a driver.
    bool HasDrivers() const { return m_apDriver[0] || m_apDriver[1] || m_apDriver[2]; }

    // The deepest dip of a sum between 25 Hz and 20 kHz: the lowest local
    // minimum that both neighbouring stretches of the curve rise above by at
    // least MIN_DIP_RISE_DB, below the median level (the median taken over
    // logarithmic frequency, as the plot's axis spreads it).
    static constexpr double MIN_DIP_RISE_DB = 1.0;
    struct SDip {
        bool bFound = false;  // no dip: the sum is smooth, or silent
        double dFreq = 0.0;   // Hz
        double dLevel = 0.0;  // dB (minus infinity for an exact null)
        double dMedian = 0.0; // dB (minus infinity when every band is muted)
        double Depth() const { return dMedian - dLevel; }
    };
    static SDip FindDeepestDip(const double* pdSum);

private:
    // One band on the grid without its polarity and delay: its drawn
    // magnitude with the phase of its sections (real and imaginary part),
    // and the derivatives over w (radians per sample) of its drawn
    // log-magnitude and of its phase, for the group delay.
    struct SBand {
        std::unique_ptr<double[]> pdRe, pdIm, pdLogMagSlope, pdPhaseSlope;
    };
    void RecalcBand(const CChannelConfig& cfg, const float* pfltCurve, int nBand, SBand& out);
    void Combine(const CChannelConfig& cfg);

    // The grid: cos and sin of w and of 2w at each point (z = e^jw).
    std::unique_ptr<double[]> m_pdCos1, m_pdSin1, m_pdCos2, m_pdSin2;
    std::unique_ptr<double[]> m_pdW;
    SBand m_aBand[3]; // Low, Mid, High
    // Each band's driver (null: none) and d ln(driver) / dw, for the group delay.
    const std::complex<double>* m_apDriver[3] = {};
    std::unique_ptr<std::complex<double>[]> m_apDriverSlope[3];
    // The sum and its derivative over w, real and imaginary parts.
    std::unique_ptr<double[]> m_pdSumRe, m_pdSumIm, m_pdSlopeRe, m_pdSlopeIm;
    std::unique_ptr<double[]> m_pdSum;
    std::unique_ptr<double[]> m_pdPhase;
    std::unique_ptr<double[]> m_pdGroupDelay;
};
