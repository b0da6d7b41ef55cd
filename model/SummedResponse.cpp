#include "model/SummedResponse.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FastMath.h"
#include "model/PlotGeometry.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr double LN10 = 2.302585092994046;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NEG_INF = -INF;
// Samples per millisecond.
constexpr double SAMPLES_PER_MS = CBandResponse::SAMPLE_RATE / 1000.0;

// The points the plot draws and the dip search looks at: 25 Hz .. 20 kHz.
constexpr int FIRST_POINT = CPlotGeometry::FIRST_POINT;
constexpr int LAST_POINT = CPlotGeometry::LAST_POINT;
constexpr double HZ_PER_POINT = CBandResponse::SAMPLE_RATE / (2.0 * CBandResponse::GRID_POINTS);

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
    : m_pdCos1(NewArray()),
      m_pdSin1(NewArray()),
      m_pdCos2(NewArray()),
      m_pdSin2(NewArray()),
      m_pdW(NewArray()),
      m_pdSumRe(NewArray()),
      m_pdSumIm(NewArray()),
      m_pdSlopeRe(NewArray()),
      m_pdSlopeIm(NewArray()),
      m_pdSum(NewArray()),
      m_pdPhase(NewArray()),
      m_pdGroupDelay(NewArray())
{
    for (int i = 0; i < POINTS; ++i) {
        // Point i at 5 * i Hz of 96 kHz: w = 2 pi * 5 i / 96000 = pi i / 9600.
        m_pdW[i] = PI * i / CBandResponse::GRID_POINTS;
        m_pdCos1[i] = std::cos(m_pdW[i]);
        m_pdSin1[i] = std::sin(m_pdW[i]);
        m_pdCos2[i] = std::cos(2.0 * m_pdW[i]);
        m_pdSin2[i] = std::sin(2.0 * m_pdW[i]);
    }
    for (SBand& b : m_aBand) {
        b.pdRe = NewArray();
        b.pdIm = NewArray();
        b.pdLogMagSlope = NewArray();
        b.pdPhaseSlope = NewArray();
    }
}

CSummedResponse::~CSummedResponse() = default;

// The loops below are written in real arithmetic over whole arrays, one
// section at a time, so that the compiler can vectorise them: a drag step
// recomputes a band and the sum every 20 ms.
void CSummedResponse::RecalcBand(const CChannelConfig& cfg, const float* pfltCurve, int nBand, SBand& out)
{
    // Distinct arrays: saying so lets the loops be vectorised.
    double* __restrict const pr = out.pdRe.get();
    double* __restrict const pi = out.pdIm.get();
    double* __restrict const pm = out.pdLogMagSlope.get();
    double* __restrict const pp = out.pdPhaseSlope.get();
    const double* __restrict const c1 = m_pdCos1.get();
    const double* __restrict const s1 = m_pdSin1.get();
    const double* __restrict const c2 = m_pdCos2.get();
    const double* __restrict const s2 = m_pdSin2.get();
    for (int i = 0; i < POINTS; ++i) {
        pr[i] = 1.0;
        pi[i] = 0.0;
        pm[i] = 0.0;
        pp[i] = 0.0;
    }
    SBandSection aSec[CBandResponse::MAX_SECTIONS];
    const int nSections = CBandResponse::DesignBand(cfg, nBand, aSec);
    for (int k = 0; k < nSections; ++k) {
        const BiquadCoefs& c = aSec[k].c;
        const double b0 = c.b0.real(), b1 = c.b1.real(), b2 = c.b2.real();
        const double a0 = c.a0.real(), a1 = c.a1.real(), a2 = c.a2.real();
        // The slope of the drawn log-magnitude: the curve takes
        // 20 * factor * ln|H| (twice that for |H|^2) as its decibels.
        const double dMag = LN10 * aSec[k].fltFactor * (aSec[k].bSquaredMagnitude ? 2.0 : 1.0);
        const int nPower = aSec[k].nPhasePower;
        const bool bSquare = nPower == 2;
        for (int i = 0; i < POINTS; ++i) {
            // H = N / D with N = b0 + b1 z^-1 + b2 z^-2, z^-1 = cos w - j sin w.
            const double nr = b0 + b1 * c1[i] + b2 * c2[i], ni = -(b1 * s1[i] + b2 * s2[i]);
            const double dr = a0 + a1 * c1[i] + a2 * c2[i], di = -(a1 * s1[i] + a2 * s2[i]);
            // dN/dw = -j (b1 z^-1 + 2 b2 z^-2), and the same for D.
            const double dnr = -(b1 * s1[i] + 2.0 * b2 * s2[i]), dni = -(b1 * c1[i] + 2.0 * b2 * c2[i]);
            const double ddr = -(a1 * s1[i] + 2.0 * a2 * s2[i]), ddi = -(a1 * c1[i] + 2.0 * a2 * c2[i]);
            // d ln H / dw = N'/N - D'/D: the real part is the slope of ln|H|,
            // the imaginary part the slope of the phase.
            // (Both quotients over one division.)
            const double nn = nr * nr + ni * ni, dd = dr * dr + di * di;
            const double dInv = 1.0 / (nn * dd);
            const double lr = ((dnr * nr + dni * ni) * dd - (ddr * dr + ddi * di) * nn) * dInv;
            const double li = ((dni * nr - dnr * ni) * dd - (ddi * dr - ddr * di) * nn) * dInv;
            pm[i] += dMag * lr;
            pp[i] += nPower * li;
            // N conj(D) has the phase of H (squared for a Linkwitz-Riley
            // slope); the carrier's size is of no interest and is normalised
            // at the end: with coefficients of the editor's ranges a section's
            // |N conj(D)| lies between about 1e-14 (next to 0 Hz) and 1e3,
            // so six of them, squared, stay far inside double's range.
            const double gr = nr * dr + ni * di, gi = ni * dr - nr * di;
            const double hr = bSquare ? gr * gr - gi * gi : gr, hi = bSquare ? 2.0 * gr * gi : gi;
            const double xr = pr[i] * hr - pi[i] * hi;
            pi[i] = pr[i] * hi + pi[i] * hr;
            pr[i] = xr;
        }
    }
    // The drawn magnitude with the sections' phase.  Where the curve is
    // minus infinity (a high-pass at 0 Hz) the band is silent and its
    // phase is of no account.
    for (int i = 0; i < POINTS; ++i) {
        const double dAbs = std::sqrt(pr[i] * pr[i] + pi[i] * pi[i]);
        const double dDb = pfltCurve[i];
        const double dAmp = dDb == NEG_INF ? 0.0 : CFastMath::Exp(dDb * (LN10 / 20.0));
        const double dUnit = dAbs > 0.0 && dAbs < INF ? dAmp / dAbs : 0.0;
        pr[i] *= dUnit;
        pi[i] *= dUnit;
        if (dAmp == 0.0)
            pm[i] = pp[i] = 0.0;
    }
}

void CSummedResponse::SetDriver(int nBand, const std::complex<double>* pDriver)
{
    if (nBand != BAND_LOW && nBand != BAND_MID && nBand != BAND_HIGH)
        return;
    const int k = BandSlot(nBand);
    m_apDriver[k] = pDriver;
    if (!pDriver)
        return;
    if (!m_apDriverSlope[k])
        m_apDriverSlope[k].reset(new std::complex<double>[POINTS]);
    // The driver is known only at the grid's points: its log-derivative by
    // central differences (one-sided at the ends).  Where it is undefined
    // or silent the group delay leaves it out.
    std::complex<double>* const pSlope = m_apDriverSlope[k].get();
    const double dStep = m_pdW[1];
    for (int i = 0; i < POINTS; ++i) {
        const int a = i > 0 ? i - 1 : i, b = i + 1 < POINTS ? i + 1 : i;
        const std::complex<double> d = pDriver[i];
        const std::complex<double> q = (pDriver[b] - pDriver[a]) / (d * (dStep * (b - a)));
        pSlope[i] = std::isfinite(q.real()) && std::isfinite(q.imag()) ? q : std::complex<double>();
    }
}

void CSummedResponse::Recalc(const CChannelConfig& cfg, const CBandResponse& bands, int nMask)
{
    for (const int nBand : {BAND_LOW, BAND_MID, BAND_HIGH})
        if ((nMask & nBand) && IsBandPresent(cfg, nBand)) {
            const float* pfltCurve = nBand == BAND_LOW   ? bands.GetLowBand()
                                     : nBand == BAND_MID ? bands.GetMidBand()
                                                         : bands.GetHighBand();
            RecalcBand(cfg, pfltCurve, nBand, m_aBand[BandSlot(nBand)]);
        }
    Combine(cfg);
}

void CSummedResponse::Combine(const CChannelConfig& cfg)
{
    double* const sr = m_pdSumRe.get();
    double* const si = m_pdSumIm.get();
    double* const tr = m_pdSlopeRe.get();
    double* const ti = m_pdSlopeIm.get();
    for (int i = 0; i < POINTS; ++i)
        sr[i] = si[i] = tr[i] = ti[i] = 0.0;

    for (const int nBand : {BAND_LOW, BAND_MID, BAND_HIGH}) {
        if (!IsBandPresent(cfg, nBand))
            continue;
        const std::uint32_t dwFlags =
            nBand == BAND_LOW ? cfg.GetLowFlags() : nBand == BAND_MID ? cfg.GetMidFlags() : cfg.GetHighFlags();
        if (dwFlags & BAND_FLAG_MUTE)
            continue;
        const double dSign = (dwFlags & BAND_FLAG_INVERT) ? -1.0 : 1.0;
        // The band's own delay in samples; the channel delay is left out.
        const double dDelay = static_cast<double>(nBand == BAND_LOW   ? cfg.GetLowDelay()
                                                  : nBand == BAND_MID ? cfg.GetMidDelay()
                                                                      : cfg.GetHighDelay()) *
                              SAMPLES_PER_MS;
        const SBand& b = m_aBand[BandSlot(nBand)];
        const std::complex<double>* const pDriver = m_apDriver[BandSlot(nBand)];
        const std::complex<double>* const pDriverSlope = m_apDriverSlope[BandSlot(nBand)].get();
        // The delay turns point i by -w_i * delay: a rotation by a fixed
        // step per point, taken afresh every 64 points so that rounding
        // cannot build up.
        const double dStep = -m_pdW[1] * dDelay;
        const double cStep = std::cos(dStep), sStep = std::sin(dStep);
        double rc = 1.0, rs = 0.0;
        for (int i = 0; i < POINTS; ++i) {
            if ((i & 63) == 0 && dDelay != 0.0) {
                rc = std::cos(dStep * i);
                rs = std::sin(dStep * i);
            }
            double xr = dSign * (b.pdRe[i] * rc - b.pdIm[i] * rs);
            double xi = dSign * (b.pdRe[i] * rs + b.pdIm[i] * rc);
            double gr = b.pdLogMagSlope[i], gi = b.pdPhaseSlope[i] - dDelay;
            if (pDriver) {
                // The filtered driver: the band's value times the driver's.
                const double dr = pDriver[i].real(), di = pDriver[i].imag();
                const double yr = xr * dr - xi * di;
                xi = xr * di + xi * dr;
                xr = yr;
                gr += pDriverSlope[i].real();
                gi += pDriverSlope[i].imag();
            }
            sr[i] += xr;
            si[i] += xi;
            // d/dw of the band's value: the value times (log-magnitude slope
            // + j (phase slope - delay)).
            tr[i] += xr * gr - xi * gi;
            ti[i] += xr * gi + xi * gr;
            const double nc = rc * cStep - rs * sStep;
            rs = rc * sStep + rs * cStep;
            rc = nc;
        }
    }

    for (int i = 0; i < POINTS; ++i) {
        const double dNorm = sr[i] * sr[i] + si[i] * si[i];
        const double dDb = dNorm > 0.0 ? 10.0 * std::log10(dNorm) : (dNorm == 0.0 ? NEG_INF : NaN);
        m_pdSum[i] = dDb;
        if (!(dDb >= FLOOR_DB) || !(dDb < INF)) {
            m_pdPhase[i] = NaN;
            m_pdGroupDelay[i] = NaN;
            continue;
        }
        double dDeg = CFastMath::Atan2(si[i], sr[i]) * (180.0 / PI);
        if (dDeg <= -180.0)
            dDeg += 360.0;
        m_pdPhase[i] = dDeg;
        // Group delay -d(phase)/dw = -Im(S' / S) = -Im(S' conj S) / |S|^2, in samples.
        m_pdGroupDelay[i] = -(ti[i] * sr[i] - tr[i] * si[i]) / dNorm / SAMPLES_PER_MS;
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
