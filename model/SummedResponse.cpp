#include "model/SummedResponse.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr double LN10 = 2.302585092994046;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double NEG_INF = -std::numeric_limits<double>::infinity();
// Samples per millisecond.
constexpr double SAMPLES_PER_MS = CBandResponse::SAMPLE_RATE / 1000.0;

// The points the plot draws and the dip search looks at: 25 Hz .. 20 kHz.
constexpr int FIRST_POINT = 5;
constexpr int LAST_POINT = 4000;
constexpr double HZ_PER_POINT = 5.0;

int BandSlot(int nBand) { return nBand == BAND_LOW ? 0 : nBand == BAND_MID ? 1 : 2; }

// The bands the plot draws for a channel: Low always, Mid in Triamp, High
// and Mid not for the Subwoofer.
bool IsBandPresent(const CChannelConfig& cfg, int nBand)
{
    if (nBand == BAND_LOW)
        return true;
    if (cfg.GetChannel() == CHANNEL_SUBWOOFER)
        return false;
    return nBand == BAND_HIGH || cfg.GetMode() == MODE_TRIAMP;
}

std::unique_ptr<double[]> NewArray() { return std::unique_ptr<double[]>(new double[CSummedResponse::POINTS]()); }

} // namespace

CSummedResponse::CSummedResponse()
    : m_pcZ1(new std::complex<double>[POINTS]),
      m_pdW(NewArray()),
      m_pdSum(NewArray()),
      m_pdPhase(NewArray()),
      m_pdGroupDelay(NewArray())
{
    for (int i = 0; i < POINTS; ++i) {
        // Point i at 5 * i Hz of 96 kHz: w = 2 pi * 5 i / 96000 = pi i / 9600.
        m_pdW[i] = PI * i / 9600.0;
        m_pcZ1[i] = std::polar(1.0, -m_pdW[i]);
    }
    for (SBandPhase& b : m_aBand) {
        b.pcPhasor.reset(new std::complex<double>[POINTS]());
        b.pdLogMagSlope = NewArray();
        b.pdPhaseSlope = NewArray();
    }
}

CSummedResponse::~CSummedResponse() = default;

void CSummedResponse::RecalcBandPhase(const CChannelConfig& cfg, int nBand, SBandPhase& out)
{
    SBandSection aSec[CBandResponse::MAX_SECTIONS];
    const int nSections = CBandResponse::DesignBand(cfg, nBand, aSec);
    for (int i = 0; i < POINTS; ++i) {
        const std::complex<double> z1 = m_pcZ1[i];
        const std::complex<double> z2 = z1 * z1;
        std::complex<double> cPhase(1.0, 0.0); // carries the phase; its size is of no interest
        double dLogMagSlope = 0.0, dPhaseSlope = 0.0;
        for (int k = 0; k < nSections; ++k) {
            const BiquadCoefs& c = aSec[k].c;
            const double b0 = c.b0.real(), b1 = c.b1.real(), b2 = c.b2.real();
            const double a0 = c.a0.real(), a1 = c.a1.real(), a2 = c.a2.real();
            const std::complex<double> n = b0 + b1 * z1 + b2 * z2;
            const std::complex<double> d = a0 + a1 * z1 + a2 * z2;
            // d/dw of a polynomial in e^-jw: -j (c1 z1 + 2 c2 z2).
            const std::complex<double> dn = std::complex<double>(0.0, -1.0) * (b1 * z1 + 2.0 * b2 * z2);
            const std::complex<double> dd = std::complex<double>(0.0, -1.0) * (a1 * z1 + 2.0 * a2 * z2);
            // d ln H / dw = N'/N - D'/D: its real part is the slope of ln|H|,
            // its imaginary part the slope of the phase.
            const std::complex<double> l = dn * std::conj(n) / std::norm(n) - dd * std::conj(d) / std::norm(d);
            const double dMagPower = aSec[k].bSquaredMagnitude ? 2.0 : 1.0;
            dLogMagSlope += LN10 * aSec[k].fltFactor * dMagPower * l.real();
            dPhaseSlope += aSec[k].nPhasePower * l.imag();
            const std::complex<double> h = n * std::conj(d); // the phase of N / D
            for (int p = 0; p < aSec[k].nPhasePower; ++p)
                cPhase *= h;
            // Keep the carrier's size near 1 so that no product of sections
            // under- or overflows.
            const double dScale = std::abs(cPhase.real()) + std::abs(cPhase.imag());
            if (dScale > 0.0 && std::isfinite(dScale))
                cPhase /= dScale;
        }
        const double dAbs = std::abs(cPhase);
        out.pcPhasor[i] = dAbs > 0.0 && std::isfinite(dAbs) ? cPhase / dAbs : std::complex<double>(0.0, 0.0);
        out.pdLogMagSlope[i] = dLogMagSlope;
        out.pdPhaseSlope[i] = dPhaseSlope;
    }
}

void CSummedResponse::Recalc(const CChannelConfig& cfg, const CBandResponse& bands, int nMask)
{
    for (const int nBand : {BAND_LOW, BAND_MID, BAND_HIGH})
        if ((nMask & nBand) && IsBandPresent(cfg, nBand))
            RecalcBandPhase(cfg, nBand, m_aBand[BandSlot(nBand)]);
    Combine(cfg, bands);
}

void CSummedResponse::Combine(const CChannelConfig& cfg, const CBandResponse& bands)
{
    struct SPlaying {
        const float* pfltCurve;
        const SBandPhase* pPhase;
        double dSign;
        double dDelay; // samples
    };
    SPlaying aPlaying[3];
    int nPlaying = 0;
    for (const int nBand : {BAND_LOW, BAND_MID, BAND_HIGH}) {
        if (!IsBandPresent(cfg, nBand))
            continue;
        const std::uint32_t dwFlags =
            nBand == BAND_LOW ? cfg.GetLowFlags() : nBand == BAND_MID ? cfg.GetMidFlags() : cfg.GetHighFlags();
        if (dwFlags & BAND_FLAG_MUTE)
            continue;
        const float fltDelay =
            nBand == BAND_LOW ? cfg.GetLowDelay() : nBand == BAND_MID ? cfg.GetMidDelay() : cfg.GetHighDelay();
        const float* pfltCurve =
            nBand == BAND_LOW ? bands.GetLowBand() : nBand == BAND_MID ? bands.GetMidBand() : bands.GetHighBand();
        aPlaying[nPlaying++] = {pfltCurve, &m_aBand[BandSlot(nBand)], (dwFlags & BAND_FLAG_INVERT) ? -1.0 : 1.0,
                                static_cast<double>(fltDelay) * SAMPLES_PER_MS};
    }

    for (int i = 0; i < POINTS; ++i) {
        std::complex<double> cSum(0.0, 0.0);
        std::complex<double> cSlope(0.0, 0.0); // d(sum)/dw
        for (int b = 0; b < nPlaying; ++b) {
            const SPlaying& p = aPlaying[b];
            const double dDb = p.pfltCurve[i];
            if (dDb == NEG_INF)
                continue; // silent here (a high-pass at 0 Hz)
            const double dAmp = std::exp(dDb * (LN10 / 20.0));
            std::complex<double> c = p.dSign * dAmp * p.pPhase->pcPhasor[i];
            if (p.dDelay != 0.0)
                c *= std::polar(1.0, -m_pdW[i] * p.dDelay);
            cSum += c;
            cSlope += c * std::complex<double>(p.pPhase->pdLogMagSlope[i], p.pPhase->pdPhaseSlope[i] - p.dDelay);
        }
        const double dNorm = std::norm(cSum);
        const double dDb = dNorm > 0.0 ? 10.0 * std::log10(dNorm) : (dNorm == 0.0 ? NEG_INF : NaN);
        m_pdSum[i] = dDb;
        if (!(dDb >= FLOOR_DB) || !std::isfinite(dDb)) {
            m_pdPhase[i] = NaN;
            m_pdGroupDelay[i] = NaN;
            continue;
        }
        double dDeg = std::atan2(cSum.imag(), cSum.real()) * (180.0 / PI);
        if (dDeg <= -180.0)
            dDeg += 360.0;
        m_pdPhase[i] = dDeg;
        // Group delay -d(phase)/dw = -Im(S' / S), in samples.
        m_pdGroupDelay[i] = -(cSlope * std::conj(cSum)).imag() / dNorm / SAMPLES_PER_MS;
    }
}

CSummedResponse::SDip CSummedResponse::FindDeepestDip(const double* pdSum)
{
    SDip dip;
    if (!pdSum)
        return dip;
    // The median over logarithmic frequency: each point weighs the share of
    // the axis it covers (2.5 Hz either side), as the plot spreads them.
    std::vector<std::pair<double, double>> values; // level, weight
    values.reserve(LAST_POINT - FIRST_POINT + 1);
    double dTotal = 0.0;
    for (int i = FIRST_POINT; i <= LAST_POINT; ++i) {
        if (std::isnan(pdSum[i]))
            continue;
        const double f = HZ_PER_POINT * i;
        const double lo = std::max(f - HZ_PER_POINT / 2, HZ_PER_POINT * FIRST_POINT);
        const double hi = std::min(f + HZ_PER_POINT / 2, HZ_PER_POINT * LAST_POINT);
        const double w = std::log(hi / lo);
        values.emplace_back(pdSum[i], w);
        dTotal += w;
    }
    if (values.empty()) {
        dip.dMedian = NaN;
        return dip;
    }
    std::sort(values.begin(), values.end());
    double dAcc = 0.0;
    dip.dMedian = values.back().first;
    for (const auto& v : values) {
        dAcc += v.second;
        if (dAcc >= dTotal / 2) {
            dip.dMedian = v.first;
            break;
        }
    }
    if (dip.dMedian == NEG_INF)
        return dip; // nothing sounds

    // Local minima (a run of equal points lower than both neighbours) and
    // how far the curve rises on each side before it falls below them.
    for (int a = FIRST_POINT + 1; a < LAST_POINT; ++a) {
        const double v = pdSum[a];
        if (!(v < pdSum[a - 1]))
            continue;
        int b = a;
        while (b < LAST_POINT && pdSum[b + 1] == v)
            ++b;
        if (b == LAST_POINT || !(pdSum[b + 1] > v) || !(v < dip.dMedian)) {
            a = b;
            continue;
        }
        double dLeft = v, dRight = v;
        for (int k = a - 1; k >= FIRST_POINT && !(pdSum[k] < v); --k)
            dLeft = std::max(dLeft, pdSum[k]);
        for (int k = b + 1; k <= LAST_POINT && !(pdSum[k] < v); ++k)
            dRight = std::max(dRight, pdSum[k]);
        if (std::min(dLeft, dRight) - v >= MIN_DIP_RISE_DB && (!dip.bFound || v < dip.dLevel)) {
            dip.bFound = true;
            dip.dLevel = v;
            dip.dFreq = HZ_PER_POINT * (a + b) / 2.0;
        }
        a = b;
    }
    return dip;
}
