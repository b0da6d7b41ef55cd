#pragma once
// The magnitude curves of the response plot: one curve per band of the
// channel on show, in dB, on a 4001-point grid from 0 to 20000 Hz in 5 Hz
// steps.  The unit-circle grid is computed once at construction and every
// array is allocated once; a recompute allocates nothing.

#include <complex>
#include <memory>

#include "model/FilterCoef.h"

class CChannelConfig;

// One biquad section of a band as its curve is built from it.  The summed
// response takes the phase of the very same sections.
struct SBandSection {
    BiquadCoefs c{};
    float fltFactor = 0.0f;         // drawing factor of 20 * ln|H|
    bool bSquaredMagnitude = false; // the curve takes |H|^2 rather than |H|
    int nPhasePower = 1;            // the phase counts once, or twice for a Linkwitz-Riley slope
};

class CBandResponse {
public:
    static constexpr int GRID_POINTS = 9600;     // unit-circle grid, point i at 5*i Hz
    static constexpr int RESPONSE_POINTS = 4001; // evaluated points, 0..20000 Hz
    static constexpr double SAMPLE_RATE = 96000.0;

    CBandResponse();
    CBandResponse(const CBandResponse&) = delete;
    CBandResponse& operator=(const CBandResponse&) = delete;
    ~CBandResponse();

    // Fills pOut[0..RESPONSE_POINTS-1] with the curve of one band (4 Low,
    // 2 Mid, 1 High).  LP and HP frequencies a band does not use are 0.
    void ComputeBand(const CChannelConfig& cfg, float fltLP, float fltHP, float fltPEQFreq, float fltPEQGain,
                     float fltPEQQ, float* pOut, int nBand);

    // Recomputes the bands whose bit is set in nMask (4 Low, 2 Mid, 1 High,
    // 7 all), in the order Low, Mid, High.  Repainting is the caller's job.
    void RecalcBands(const CChannelConfig& cfg, int nMask);

    const float* GetLowBand() const { return m_pfltLowBand.get(); }
    const float* GetMidBand() const { return m_pfltMidBand.get(); }
    const float* GetHighBand() const { return m_pfltHighBand.get(); }
    float* GetLowBand() { return m_pfltLowBand.get(); }
    float* GetMidBand() { return m_pfltMidBand.get(); }
    float* GetHighBand() { return m_pfltHighBand.get(); }

    // The evaluation uses AVX2 where the processor has it (same results);
    // tests switch it off to compare both paths.
    static void AllowWideVectors(bool bAllow);
    // Whether this build and processor have the AVX2 path at all.
    static bool HasWideVectors();

    // The sections of one band of cfg (4 Low, 2 Mid, 1 High) with the fields
    // RecalcBands takes for it, in the order the curve adds them: the channel
    // high-pass where it is drawn, low-pass, band high-pass, PEQ, SEQ, HEQ.
    // Equalisers and shelves at 0 dB are left out (they change nothing).
    // Fills pOut[0..MAX_SECTIONS-1] and returns the count.
    static constexpr int MAX_SECTIONS = 6;
    static int DesignBand(const CChannelConfig& cfg, int nBand, SBandSection* pOut);

    const std::complex<float>* GetGrid() const { return m_pfltFrq.get(); }
    const std::complex<float>* GetGrid2() const { return m_pfltFrq2.get(); }

private:
    // Evaluates filter c on the grid and adds its contribution to pOut.
    void AddTerm(const BiquadCoefs& c, float fltFactor, bool bSquared, float* pOut);
    // Which contributions a band has; see ComputeInto.
    void ComputeInto(const CChannelConfig& cfg, float fltLP, float fltHP, float fltPEQFreq, float fltPEQGain,
                     float fltPEQQ, float* pOut, int nBand, const float* pfltHPTerm);
    // The channel high-pass contribution (shared by the three bands), or
    // nullptr when the channel has none.
    const float* ComputeHighPassTerm(const CChannelConfig& cfg);
    // The channel high-pass section; false where none is drawn.
    static bool DesignHighPass(const CChannelConfig& cfg, SBandSection& s);
    // A band's own sections (without the channel high-pass); returns the count.
    static int DesignOwnSections(const CChannelConfig& cfg, float fltLP, float fltHP, float fltPEQFreq,
                                 float fltPEQGain, float fltPEQQ, int nBand, SBandSection* pOut);

    std::unique_ptr<std::complex<float>[]> m_pfltFrq;  // z1 = e^-jw
    std::unique_ptr<std::complex<float>[]> m_pfltFrq2; // z2 = z1^2
    std::unique_ptr<float[]> m_pfltLowBand;
    std::unique_ptr<float[]> m_pfltMidBand;
    std::unique_ptr<float[]> m_pfltHighBand;

    // Scratch, allocated once: the grid split into real and imaginary parts
    // for the evaluation loops, and the contribution being added.
    std::unique_ptr<float[]> m_pfltScratch;
    float* m_pfltZ1Re = nullptr;
    float* m_pfltZ1Im = nullptr;
    float* m_pfltZ2Re = nullptr;
    float* m_pfltZ2Im = nullptr;
    float* m_pfltTerm[2] = {}; // the term being added, the shared channel high-pass
};
