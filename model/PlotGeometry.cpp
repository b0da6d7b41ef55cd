#include "model/PlotGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/FieldRanges.h"

const int CPlotGeometry::s_anAxis[AXIS_ENTRIES] = {25,   31,   40,   50,   63,   80,    100,   125,   160,   200,
                                                   250,  316,  400,  500,  630,  800,   1000,  1250,  1600,  2000,
                                                   2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};

namespace {

constexpr int FREQ_SPAN = CPlotGeometry::MAX_FREQ - CPlotGeometry::MIN_FREQ + 1; // 20..20000

} // namespace

// The axis walk: from 25 Hz the position advances one hertz at a time by
// 22 / (next entry - entry) pixels, the step changing at each table entry,
// accumulated in single precision exactly as the drawing always did (so
// 20000 Hz lands on 648 rather than the nominal 649).  Two walks are kept:
// FreqToX starts at 11 pixels, XToFreq one pixel further left at 10.  Below
// 25 Hz the step is 2.2 pixels per hertz from 0 at 20 Hz.  At another
// resolution every pixel figure of the walk (not the one pixel of XToFreq's
// offset) is multiplied by sx before the accumulation.
struct CPlotGeometry::SAxisWalk {
    float fltSx;
    std::array<std::int16_t, FREQ_SPAN> anFreqToX{}; // offset of f, index f - 20
    std::array<std::int16_t, FREQ_SPAN> anXToFreq{}; // offset on the walk from 10, index f - 20

    explicit SAxisWalk(float sx) : fltSx(sx)
    {
        float fltPos = 0.0f;
        const float fltLowStep = 2.2f * sx;
        for (int f = 20; f < 25; ++f) {
            anFreqToX[f - 20] = static_cast<std::int16_t>(fltPos);
            anXToFreq[f - 20] = static_cast<std::int16_t>(fltPos);
            fltPos += fltLowStep;
        }
        Walk(11.0f * sx, sx, anFreqToX);
        Walk(11.0f * sx - 1.0f, sx, anXToFreq);
    }

    static void Walk(float fltStart, float sx, std::array<std::int16_t, FREQ_SPAN>& an)
    {
        const int* pnAxis = CPlotGeometry::s_anAxis;
        const float fltAxisStep = 22.0f * sx;
        float fltPos = fltStart;
        float fltStep = fltAxisStep / static_cast<float>(pnAxis[1] - pnAxis[0]);
        int j = 0;
        for (int k = 25; k <= CPlotGeometry::MAX_FREQ; ++k) {
            an[k - 20] = static_cast<std::int16_t>(fltPos);
            if (j < CPlotGeometry::AXIS_ENTRIES - 1 && k == pnAxis[j]) {
                fltStep = fltAxisStep / static_cast<float>(pnAxis[j + 1] - pnAxis[j]);
                ++j;
            }
            fltPos += fltStep;
        }
    }
};

namespace {

// The walks are made once per resolution: a paint or a drag step only looks
// positions up.  A process sees one resolution, tests a few; the cache is
// emptied should it ever hold many (the geometries keep theirs).
std::shared_ptr<const CPlotGeometry::SAxisWalk> AxisWalk(float sx)
{
    static std::mutex s_mutex;
    static std::vector<std::shared_ptr<const CPlotGeometry::SAxisWalk>> s_walks;
    constexpr size_t MAX_WALKS = 8;
    std::lock_guard<std::mutex> lock(s_mutex);
    for (const auto& p : s_walks)
        if (p->fltSx == sx)
            return p;
    if (s_walks.size() >= MAX_WALKS)
        s_walks.clear();
    s_walks.push_back(std::make_shared<const CPlotGeometry::SAxisWalk>(sx));
    return s_walks.back();
}

} // namespace

CPlotGeometry::CPlotGeometry(int nLeft, int nTop, const CDpiScale& scale)
    : m_nLeft(nLeft), m_nTop(nTop), m_scale(scale), m_fltSx(static_cast<float>(scale.GetScaleX())),
      m_fltSy(static_cast<float>(scale.GetScaleY())), m_pWalk(AxisWalk(m_fltSx))
{
}

int CPlotGeometry::TruncCoord(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 30000.0f)
        return 30000;
    if (v <= -30000.0f)
        return -30000;
    return static_cast<int>(v);
}

int CPlotGeometry::FreqOffset(int nFreq) const
{
    if (nFreq < MIN_FREQ)
        nFreq = 25; // left + 11, where the axis starts
    if (nFreq > MAX_FREQ)
        nFreq = MAX_FREQ;
    return m_pWalk->anFreqToX[static_cast<size_t>(nFreq - MIN_FREQ)];
}

int CPlotGeometry::PointOffset(int nPoint) const
{
    nPoint = std::min(std::max(nPoint, 0), LAST_POINT);
    return FreqOffset(nPoint * 5);
}

int CPlotGeometry::FreqToX(int nFreq) const { return m_nLeft + FreqOffset(nFreq); }

int CPlotGeometry::FreqToX(float fltFreq) const
{
    if (std::isnan(fltFreq) || fltFreq < 0.0f)
        return FreqToX(0);
    if (fltFreq >= static_cast<float>(MAX_FREQ))
        return FreqToX(MAX_FREQ);
    return FreqToX(static_cast<int>(std::lround(fltFreq)));
}

int CPlotGeometry::XToFreq(int x) const
{
    const int rx = x - m_nLeft;
    const auto& an = m_pWalk->anXToFreq;
    if (rx < an[25 - MIN_FREQ]) {
        for (int k = 20; k <= 24; ++k)
            if (an[static_cast<size_t>(k - 20)] > rx)
                return k;
        return 25;
    }
    // The walk rises monotonically: the first k in 25..19999 whose position
    // exceeds rx, else 20000.
    const auto first = an.begin() + (25 - MIN_FREQ);
    const auto last = an.begin() + (MAX_FREQ - MIN_FREQ); // 20000 itself is not tested
    const auto it = std::upper_bound(first, last, rx);
    if (it == last)
        return MAX_FREQ;
    return MIN_FREQ + static_cast<int>(it - an.begin());
}

int CPlotGeometry::GainToY(float fltGain) const
{
    // 60 pixels from the top to 0 dB, 2 per dB (times sy; 1 at 96 dpi, which
    // leaves these sums exact).
    return TruncCoord((static_cast<float>(m_nTop) + 60.0f * m_fltSy) - (2.0f * m_fltSy) * fltGain);
}

float CPlotGeometry::YToGain(int y, int nAdjuster, const CChannelConfig& cfg) const
{
    const int nZero = GainToY(cfg.GetLevel());
    // Whole pixels are half dB at 96 dpi (the rounding changes nothing there).
    float fltGain = std::round(static_cast<float>(nZero - y) / m_fltSy) / 2.0f;
    switch (nAdjuster) {
    case 1:
    case 3:
    case 4:
    case 6:
        fltGain += 6.0f;
        break;
    case 2:
        fltGain -= cfg.GetLowGain();
        break;
    case 5:
        fltGain -= cfg.GetMidGain();
        break;
    case 7:
    case 8:
    case 9:
        fltGain -= cfg.GetHighGain();
        break;
    default:
        break;
    }
    return fltGain;
}

float CPlotGeometry::QFromX(float fltCentreFreq, int x) const
{
    int d = std::abs(x - FreqToX(fltCentreFreq));
    if (d < 1)
        d = 1;
    return (100.0f * m_fltSx) / static_cast<float>(d);
}

bool CPlotGeometry::GetAdjuster(const CChannelConfig& cfg, int nAdjuster, SAdjuster& adj)
{
    adj = SAdjuster{};
    switch (nAdjuster) {
    case 1:
        adj.fltFreq = cfg.GetLowLPFreq();
        adj.fltOffset = -6.0f;
        adj.fltGain = cfg.GetLowGain();
        break;
    case 2:
        adj.fltFreq = cfg.GetLowPEQFreq();
        adj.fltOffset = cfg.GetLowGain();
        adj.fltGain = cfg.GetLowPEQGain();
        adj.bHasQ = true;
        adj.fltQ = cfg.GetLowPEQQ();
        break;
    case 3:
        adj.fltFreq = cfg.GetMidHPFreq();
        adj.fltOffset = -6.0f;
        adj.fltGain = cfg.GetMidGain();
        break;
    case 4:
        adj.fltFreq = cfg.GetMidLPFreq();
        adj.fltOffset = -6.0f;
        adj.fltGain = cfg.GetMidGain();
        break;
    case 5:
        adj.fltFreq = cfg.GetMidPEQFreq();
        adj.fltOffset = cfg.GetMidGain();
        adj.fltGain = cfg.GetMidPEQGain();
        adj.bHasQ = true;
        adj.fltQ = cfg.GetMidPEQQ();
        break;
    case 6:
        adj.fltFreq = cfg.GetHighHPFreq();
        adj.fltOffset = -6.0f;
        adj.fltGain = cfg.GetHighGain();
        break;
    case 7:
        adj.fltFreq = cfg.GetHighPEQFreq();
        adj.fltOffset = cfg.GetHighGain();
        adj.fltGain = cfg.GetHighPEQGain();
        adj.bHasQ = true;
        adj.fltQ = cfg.GetHighPEQQ();
        break;
    case 8:
        adj.fltFreq = cfg.GetSEQFreq();
        adj.fltOffset = cfg.GetHighGain();
        adj.fltGain = cfg.GetSEQGain();
        break;
    case 9:
        adj.fltFreq = cfg.GetHEQFreq();
        adj.fltOffset = cfg.GetHighGain();
        adj.fltGain = cfg.GetHEQGain();
        break;
    case 10:
        adj.fltFreq = cfg.GetHPFreq();
        break;
    default:
        return false;
    }
    return true;
}

int CPlotGeometry::AdjusterY(const CChannelConfig& cfg, const SAdjuster& adj) const
{
    const float fltDb = cfg.GetLevel() + adj.fltGain + adj.fltOffset;
    return TruncCoord((static_cast<float>(m_nTop) + 60.0f * m_fltSy + 1.0f) - (2.0f * m_fltSy) * fltDb) - 1;
}

int CPlotGeometry::QHalfWidth(float fltQ) const
{
    // A Q of 0 or less (possible in a file) would make the bar infinite.
    const float fltWidth = 100.0f * m_fltSx;
    if (std::isnan(fltQ) || fltQ <= fltWidth / 30000.0f)
        return 30000;
    return static_cast<int>(std::lround(fltWidth / fltQ));
}

int CPlotGeometry::ApplyDragStep(CChannelConfig& cfg, int nAdjuster, bool bDragQ, int x, int y) const
{
    // The adjuster's fields (frequency, gain, Q) give the ranges of the drag,
    // the same the form checks typed values against.
    const EChannelField* peFields = CFieldRanges::FieldsOfAdjuster(nAdjuster);
    // A handle of a band the channel does not have in its mode (its fields
    // are disabled on the form) moves nothing.
    if (!peFields || !CFieldRanges::IsAdjusterAvailable(nAdjuster, cfg.GetChannel(), cfg.GetMode()))
        return 0;
    auto clamp = [&](EChannelField eField, float v) { return CFieldRanges::Clamp(eField, cfg.GetMode(), v); };
    const float fltFreq = clamp(peFields[0], static_cast<float>(XToFreq(x)));
    const float fltGain = peFields[1] != FIELD_NONE ? clamp(peFields[1], YToGain(y, nAdjuster, cfg)) : 0.0f;
    auto q = [&](float fltCentre) { return clamp(peFields[2], QFromX(fltCentre, x)); };

    switch (nAdjuster) {
    case 1:
        if (cfg.GetChannel() != CHANNEL_SUBWOOFER)
            cfg.SetLowLPFreq(fltFreq, true);
        cfg.SetLowGain(fltGain, true, false);
        return BAND_LOW;
    case 2:
        if (bDragQ) {
            cfg.SetLowPEQQ(q(cfg.GetLowPEQFreq()), true);
        } else {
            cfg.SetLowPEQFreq(fltFreq, true);
            cfg.SetLowPEQGain(fltGain, true);
        }
        return BAND_LOW;
    case 3:
        cfg.SetMidHPFreq(fltFreq, true);
        cfg.SetMidGain(fltGain, true, false);
        return BAND_MID;
    case 4:
        cfg.SetMidLPFreq(fltFreq, true);
        cfg.SetMidGain(fltGain, true, false);
        return BAND_MID;
    case 5:
        if (bDragQ) {
            cfg.SetMidPEQQ(q(cfg.GetMidPEQFreq()), true);
        } else {
            cfg.SetMidPEQFreq(fltFreq, true);
            cfg.SetMidPEQGain(fltGain, true);
        }
        return BAND_MID;
    case 6:
        cfg.SetHighHPFreq(fltFreq, true);
        cfg.SetHighGain(fltGain, true, false);
        return BAND_HIGH;
    case 7:
        if (bDragQ) {
            cfg.SetHighPEQQ(q(cfg.GetHighPEQFreq()), true);
        } else {
            cfg.SetHighPEQFreq(fltFreq, true);
            cfg.SetHighPEQGain(fltGain, true);
        }
        return BAND_HIGH;
    case 8:
        cfg.SetSEQFreq(fltFreq, true);
        cfg.SetSEQGain(fltGain, true);
        return BAND_HIGH;
    case 9:
        cfg.SetHEQFreq(fltFreq, true);
        cfg.SetHEQGain(fltGain, true);
        return BAND_HIGH;
    case 10:
        cfg.SetHPFreq(fltFreq, true);
        return BAND_ALL;
    default:
        return 0;
    }
}
