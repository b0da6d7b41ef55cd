#include "model/BandResponse.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FilterCoef.h"

namespace {

// Scratch terms: the one being added to a band, and the shared channel high-pass.
enum ETerm { TERM_BAND = 0, TERM_SHARED_HP, TERM_COUNT };

constexpr float PI_F = static_cast<float>(3.141592653589793);
constexpr double BUTTERWORTH_Q = 0.7071067811865475; // 1/sqrt(2)

// Drawing factors (fixed constants of the plot, not exact dB conversions).
constexpr float FACTOR_SLOPE = 0.43f; // crossover and high-pass sections
constexpr float FACTOR_PEQ = 0.22f;   // applied to |H|^2
constexpr float FACTOR_SHELF = 0.55f; // applied to |H|

// Natural logarithm of a float, written without calls or branches so that
// the evaluation loops vectorise (the library logf does not).  Reduction to
// 2^k * m with m in [sqrt(1/2), sqrt(2)) and the classic single-precision
// polynomial in s = f / (2 + f); error below one ulp.  0 gives -inf, +inf
// and NaN are returned as they are, subnormals are scaled into range first.
inline float Ln(float x)
{
    constexpr float INF = std::numeric_limits<float>::infinity();
    const bool bSubnormal = x < 1.17549435e-38f;
    const float xs = bSubnormal ? x * 8388608.0f : x; // * 2^23
    std::uint32_t ix;
    std::memcpy(&ix, &xs, sizeof ix);
    ix += 0x3F800000u - 0x3F3504F3u;
    const int k = static_cast<int>(ix >> 23) - 0x7F - (bSubnormal ? 23 : 0);
    ix = (ix & 0x007FFFFFu) + 0x3F3504F3u;
    float m;
    std::memcpy(&m, &ix, sizeof m);
    const float f = m - 1.0f;
    const float hfsq = 0.5f * f * f;
    const float s = f / (2.0f + f);
    const float z = s * s;
    const float w = z * z;
    const float t1 = w * (0.40000972152f + w * 0.24279078841f);
    const float t2 = z * (0.66666662693f + w * 0.28498786688f);
    const float dk = static_cast<float>(k);
    float r = s * (hfsq + (t2 + t1)) + dk * 9.0580006145e-06f - hfsq + f + dk * 6.9313812256e-01f;
    r = x == 0.0f ? -INF : r;
    r = x < INF ? r : x; // +inf, NaN
    return r;
}

// out[i] = 20 * ln(|H|) * factor, or with |H|^2 when bSquared, for the
// filter c evaluated at z1, z2 in single precision.  The coefficients are
// real, so the complex products reduce to real times complex.
inline void EvalTermBody(const BiquadCoefs& c, float fltFactor, bool bSquared, const float* z1r, const float* z1i,
                         const float* z2r, const float* z2i, float* out, int n)
{
    const float b0 = c.b0.real(), b1 = c.b1.real(), b2 = c.b2.real();
    const float a0 = c.a0.real(), a1 = c.a1.real(), a2 = c.a2.real();
    const float fltHalf = bSquared ? 1.0f : 0.5f;
    for (int i = 0; i < n; ++i) {
        const float nr = b0 + b1 * z1r[i] + b2 * z2r[i];
        const float ni = b1 * z1i[i] + b2 * z2i[i];
        const float dr = a0 + a1 * z1r[i] + a2 * z2r[i];
        const float di = a1 * z1i[i] + a2 * z2i[i];
        const float mag2 = (nr * nr + ni * ni) / (dr * dr + di * di);
        out[i] = 20.0f * (fltHalf * Ln(mag2)) * fltFactor;
    }
}

// The same loop compiled for AVX2 (8 points per step), chosen at run time
// where the processor has it.  FMA is not enabled, so each point gets
// exactly the same operations and results as the baseline build.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define QVR_WIDE_EVAL 1
__attribute__((target("avx2"))) void EvalTermWide(const BiquadCoefs& c, float fltFactor, bool bSquared,
                                                  const float* z1r, const float* z1i, const float* z2r,
                                                  const float* z2i, float* out, int n)
{
    EvalTermBody(c, fltFactor, bSquared, z1r, z1i, z2r, z2i, out, n);
}

bool CpuHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}
#endif

bool g_bWideAllowed = true;

// The fields a band's curve is built from; the LP and HP frequencies a band
// does not use are 0.
struct SBandFields {
    float fltLP, fltHP, fltPEQFreq, fltPEQGain, fltPEQQ;
};

SBandFields FieldsOf(const CChannelConfig& cfg, int nBand)
{
    switch (nBand) {
    case BAND_LOW:
        return {cfg.GetLowLPFreq(), 0.0f, cfg.GetLowPEQFreq(), cfg.GetLowPEQGain(), cfg.GetLowPEQQ()};
    case BAND_MID:
        return {cfg.GetMidLPFreq(), cfg.GetMidHPFreq(), cfg.GetMidPEQFreq(), cfg.GetMidPEQGain(), cfg.GetMidPEQQ()};
    default:
        return {0.0f, cfg.GetHighHPFreq(), cfg.GetHighPEQFreq(), cfg.GetHighPEQGain(), cfg.GetHighPEQQ()};
    }
}

void EvalTerm(const BiquadCoefs& c, float fltFactor, bool bSquared, const float* z1r, const float* z1i,
              const float* z2r, const float* z2i, float* out, int n)
{
#ifdef QVR_WIDE_EVAL
    static const bool s_bAvx2 = CpuHasAvx2();
    if (s_bAvx2 && g_bWideAllowed) {
        EvalTermWide(c, fltFactor, bSquared, z1r, z1i, z2r, z2i, out, n);
        return;
    }
#endif
    EvalTermBody(c, fltFactor, bSquared, z1r, z1i, z2r, z2i, out, n);
}

// An equaliser or shelf at 0 dB has a numerator equal to its denominator:
// its contribution is exactly 0 at every point and is not evaluated.
bool IsFlat(const BiquadCoefs& c)
{
    return c.b0 == c.a0 && c.b1 == c.a1 && c.b2 == c.a2 && std::isfinite(c.a0.real()) &&
           std::isfinite(c.a1.real()) && std::isfinite(c.a2.real());
}

} // namespace

CBandResponse::CBandResponse()
    : m_pfltFrq(new std::complex<float>[GRID_POINTS]),
      m_pfltFrq2(new std::complex<float>[GRID_POINTS]),
      m_pfltLowBand(new float[RESPONSE_POINTS]()),
      m_pfltMidBand(new float[RESPONSE_POINTS]()),
      m_pfltHighBand(new float[RESPONSE_POINTS]()),
      m_pfltScratch(new float[static_cast<size_t>(RESPONSE_POINTS) * (4 + TERM_COUNT)]())
{
    for (int i = 0; i < GRID_POINTS; ++i) {
        const float w = (static_cast<float>(i) * PI_F) / 9600.0f;
        const std::complex<float> z1(std::cos(w), -std::sin(w));
        m_pfltFrq[i] = z1;
        m_pfltFrq2[i] = z1 * z1; // integer power 2
    }
    float* p = m_pfltScratch.get();
    m_pfltZ1Re = p;
    m_pfltZ1Im = p + RESPONSE_POINTS;
    m_pfltZ2Re = p + 2 * RESPONSE_POINTS;
    m_pfltZ2Im = p + 3 * RESPONSE_POINTS;
    for (int t = 0; t < TERM_COUNT; ++t)
        m_pfltTerm[t] = p + (4 + t) * RESPONSE_POINTS;
    for (int i = 0; i < RESPONSE_POINTS; ++i) {
        m_pfltZ1Re[i] = m_pfltFrq[i].real();
        m_pfltZ1Im[i] = m_pfltFrq[i].imag();
        m_pfltZ2Re[i] = m_pfltFrq2[i].real();
        m_pfltZ2Im[i] = m_pfltFrq2[i].imag();
    }
}

CBandResponse::~CBandResponse() = default;

void CBandResponse::AllowWideVectors(bool bAllow) { g_bWideAllowed = bAllow; }

bool CBandResponse::HasWideVectors()
{
#ifdef QVR_WIDE_EVAL
    return CpuHasAvx2();
#else
    return false;
#endif
}

bool CBandResponse::DesignHighPass(const CChannelConfig& cfg, SBandSection& s)
{
    // No channel high-pass at its 20 Hz floor, and none drawn for the Subwoofer.
    if (!(cfg.GetHPFreq() > 20.0f) || cfg.GetChannel() == CHANNEL_SUBWOOFER)
        return false;
    CalcBiquadCoefs(BIQUAD_HIGHPASS, 0.0, cfg.GetHPFreq(), SAMPLE_RATE, cfg.GetHPQ(), 0.0, &s.c);
    s.fltFactor = FACTOR_SLOPE;
    s.bSquaredMagnitude = false;
    s.nPhasePower = 1;
    return true;
}

const float* CBandResponse::ComputeHighPassTerm(const CChannelConfig& cfg)
{
    SBandSection s;
    if (!DesignHighPass(cfg, s))
        return nullptr;
    EvalTerm(s.c, s.fltFactor, s.bSquaredMagnitude, m_pfltZ1Re, m_pfltZ1Im, m_pfltZ2Re, m_pfltZ2Im,
             m_pfltTerm[TERM_SHARED_HP], RESPONSE_POINTS);
    return m_pfltTerm[TERM_SHARED_HP];
}

void CBandResponse::ComputeBand(const CChannelConfig& cfg, float fltLP, float fltHP, float fltPEQFreq,
                                float fltPEQGain, float fltPEQQ, float* pOut, int nBand)
{
    ComputeInto(cfg, fltLP, fltHP, fltPEQFreq, fltPEQGain, fltPEQQ, pOut, nBand, ComputeHighPassTerm(cfg));
}

void CBandResponse::AddTerm(const BiquadCoefs& c, float fltFactor, bool bSquared, float* pOut)
{
    float* const pTerm = m_pfltTerm[TERM_BAND];
    EvalTerm(c, fltFactor, bSquared, m_pfltZ1Re, m_pfltZ1Im, m_pfltZ2Re, m_pfltZ2Im, pTerm, RESPONSE_POINTS);
    for (int i = 0; i < RESPONSE_POINTS; ++i)
        pOut[i] += pTerm[i];
}

void CBandResponse::ComputeInto(const CChannelConfig& cfg, float fltLP, float fltHP, float fltPEQFreq,
                                float fltPEQGain, float fltPEQQ, float* pOut, int nBand, const float* pfltHPTerm)
{
    if (pOut == nullptr)
        return;
    const int n = RESPONSE_POINTS;

    // Level and gain, then each contribution in a fixed order: high-pass,
    // low-pass, band high-pass, PEQ, SEQ, HEQ.  A contribution that does not
    // apply is skipped (adding its 0 would change nothing).
    float fltGain = 0.0f;
    switch (nBand) {
    case BAND_LOW: fltGain = cfg.GetLowGain(); break;
    case BAND_MID: fltGain = cfg.GetMidGain(); break;
    case BAND_HIGH: fltGain = cfg.GetHighGain(); break;
    default: break;
    }
    const float fltBase = cfg.GetLevel() + fltGain;
    for (int i = 0; i < n; ++i)
        pOut[i] = fltBase;
    if (pfltHPTerm) {
        for (int i = 0; i < n; ++i)
            pOut[i] += pfltHPTerm[i];
    }

    SBandSection aSections[MAX_SECTIONS];
    const int nSections = DesignOwnSections(cfg, fltLP, fltHP, fltPEQFreq, fltPEQGain, fltPEQQ, nBand, aSections);
    for (int k = 0; k < nSections; ++k)
        AddTerm(aSections[k].c, aSections[k].fltFactor, aSections[k].bSquaredMagnitude, pOut);
}

int CBandResponse::DesignOwnSections(const CChannelConfig& cfg, float fltLP, float fltHP, float fltPEQFreq,
                                     float fltPEQGain, float fltPEQQ, int nBand, SBandSection* pOut)
{
    int n = 0;
    auto add = [&](float fltFactor, bool bSquared, int nPhasePower) {
        pOut[n].fltFactor = fltFactor;
        pOut[n].bSquaredMagnitude = bSquared;
        pOut[n].nPhasePower = nPhasePower;
        ++n;
    };
    if (nBand != BAND_HIGH) {
        CalcBiquadCoefs(BIQUAD_LOWPASS, 0.0, fltLP, SAMPLE_RATE, BUTTERWORTH_Q, 0.0, &pOut[n].c);
        // The Subwoofer's low-pass is drawn at 12 dB per octave (one
        // Butterworth section), the others at 24 (the section squared: a
        // Linkwitz-Riley slope).
        const bool bSquared = cfg.GetChannel() != CHANNEL_SUBWOOFER;
        add(FACTOR_SLOPE, bSquared, bSquared ? 2 : 1);
    }
    if (nBand != BAND_LOW) {
        CalcBiquadCoefs(BIQUAD_HIGHPASS, 0.0, fltHP, SAMPLE_RATE, BUTTERWORTH_Q, 0.0, &pOut[n].c);
        add(FACTOR_SLOPE, true, 2);
    }
    // The equaliser's curve takes |H|^2 with half the factor: one section.
    CalcBiquadCoefs(BIQUAD_PEAKING, fltPEQGain, fltPEQFreq, SAMPLE_RATE, fltPEQQ, 0.0, &pOut[n].c);
    if (!IsFlat(pOut[n].c))
        add(FACTOR_PEQ, true, 1);
    if (nBand == BAND_HIGH) {
        CalcBiquadCoefs(BIQUAD_HIGHSHELF, cfg.GetSEQGain(), 0.75 * cfg.GetSEQFreq(), SAMPLE_RATE, 0.0, 1.0,
                        &pOut[n].c);
        if (!IsFlat(pOut[n].c))
            add(FACTOR_SHELF, false, 1);
        CalcBiquadCoefs(BIQUAD_HIGHSHELF, cfg.GetHEQGain(), 0.75 * cfg.GetHEQFreq(), SAMPLE_RATE, 0.0, 1.0,
                        &pOut[n].c);
        if (!IsFlat(pOut[n].c))
            add(FACTOR_SHELF, false, 1);
    }
    return n;
}

int CBandResponse::DesignBand(const CChannelConfig& cfg, int nBand, SBandSection* pOut)
{
    if (nBand != BAND_LOW && nBand != BAND_MID && nBand != BAND_HIGH)
        return 0;
    const int n = DesignHighPass(cfg, pOut[0]) ? 1 : 0;
    const SBandFields f = FieldsOf(cfg, nBand);
    return n + DesignOwnSections(cfg, f.fltLP, f.fltHP, f.fltPEQFreq, f.fltPEQGain, f.fltPEQQ, nBand, pOut + n);
}

void CBandResponse::RecalcBands(const CChannelConfig& cfg, int nMask)
{
    if ((nMask & BAND_ALL) == 0)
        return;
    // The channel high-pass is the same for every band: evaluate it once.
    const float* pfltHPTerm = ComputeHighPassTerm(cfg);
    for (const int nBand : {BAND_LOW, BAND_MID, BAND_HIGH}) {
        if (!(nMask & nBand))
            continue;
        const SBandFields f = FieldsOf(cfg, nBand);
        float* pOut = nBand == BAND_LOW ? m_pfltLowBand.get() : nBand == BAND_MID ? m_pfltMidBand.get()
                                                                                  : m_pfltHighBand.get();
        ComputeInto(cfg, f.fltLP, f.fltHP, f.fltPEQFreq, f.fltPEQGain, f.fltPEQQ, pOut, nBand, pfltHPTerm);
    }
}
