#include "editor/measurements/MeasurementOverlay.h"

#include <cmath>
#include <cwchar>

#include "measure/TargetCurve.h"
#include "resources/resource.h"
#include "resources/strings/StringTable.h"

#include "model/ChannelFields.h"

namespace {

constexpr int BAND_BITS[3] = {BAND_LOW, BAND_MID, BAND_HIGH};

// dst = src - dOffset, NaN kept; a null source gives no curve.
const double* Shifted(const double* pdSrc, double dOffset, double* pdDst, int n)
{
    if (!pdSrc)
        return nullptr;
    for (int i = 0; i < n; ++i)
        pdDst[i] = pdSrc[i] - dOffset;
    return pdDst;
}

std::wstring Decibels(double d)
{
    wchar_t sz[32];
    std::swprintf(sz, 32, L"%.1f", std::fabs(d) < 0.05 ? 0.0 : d);
    return sz;
}

// "Target X500 at 85.2 dB (0 on the scale: 84.9 dB)": the string table's
// pattern with its fields filled in.
std::wstring TargetLegend(ETargetCurve eTarget, double dLevel, double dZero)
{
    std::wstring name;
    for (const char* p = CTargetCurve::Name(eTarget); p && *p; ++p)
        name += static_cast<wchar_t>(*p);
    const std::wstring fields[3] = {name, Decibels(dLevel), Decibels(dZero)};
    std::wstring out;
    int nField = 0;
    for (const char16_t* p = qvr::LoadStringText(IDS_TARGET_LEGEND); p && *p; ++p) {
        if (p[0] == u'%' && p[1] == u'l' && p[2] == u's' && nField < 3) {
            out += fields[nField++];
            p += 2;
        } else {
            out += static_cast<wchar_t>(*p);
        }
    }
    return out;
}

const float* BandCurveOf(const CBandResponse& bands, int k)
{
    return k == 0 ? bands.GetLowBand() : k == 1 ? bands.GetMidBand() : bands.GetHighBand();
}

} // namespace

CMeasurementOverlay::CMeasurementOverlay()
    : m_pdMeasured(new double[POINTS]),
      m_pdPredicted(new double[POINTS]),
      m_pdTarget(new double[POINTS]),
      m_pdMaskMin(new double[POINTS]),
      m_pdMaskMax(new double[POINTS])
{
    for (auto& pd : m_apdBand)
        pd.reset(new double[POINTS]);
}

CMeasurementOverlay::~CMeasurementOverlay() = default;

void CMeasurementOverlay::Load(int nChannel)
{
    m_nLoadedChannel = nChannel;
    m_bSumDriversStale = true;
    m_room.SetView(m_doc.view);
    m_room.SetMask(m_doc.mask ? &*m_doc.mask : nullptr);
    m_bHasRoom = false;
    m_bHasDrivers = false;
    for (int k = 0; k < 3; ++k)
        m_drivers.ClearDriver(BAND_BITS[k]);
    if (nChannel < 0 || nChannel >= CHANNEL_COUNT) {
        m_room.ClearRoom();
        return;
    }
    const SSidecarChannel& ch = m_doc.channels[static_cast<std::size_t>(nChannel)];
    if (ch.room && ch.asMeasured) {
        m_room.SetRoom(ch.room->data, *ch.asMeasured, ch.room->ePhase);
        m_bHasRoom = true;
    } else {
        m_room.ClearRoom();
    }
    for (int k = 0; k < 3; ++k) {
        if (ch.drivers[k]) {
            m_drivers.SetDriver(BAND_BITS[k], ch.drivers[k]->data, ch.drivers[k]->ePhase);
            m_bHasDrivers = true;
        }
    }
    m_drivers.ApplyTo(m_sumDrivers);
}

double CMeasurementOverlay::MeasuredLevel() const
{
    const SRoomView& view = m_room.View();
    if (view.bTypedLevel)
        return view.dTypedLevel;
    return CTargetCurve::MeanLevel(m_room.Freq(), m_room.Measured(), POINTS);
}

SPlotOverlay CMeasurementOverlay::Refresh(const CChannelConfig& cfg, const CBandResponse& bands,
                                          const CSummedResponse* pSum, int nMask)
{
    if (cfg.GetChannel() != m_nLoadedChannel) {
        Load(cfg.GetChannel());
        nMask = BAND_ALL; // the sums below were not kept current for this channel
        m_bSumFlatStale = true;
    }
    SPlotOverlay out;
    m_dOffset = 0.0;
    if (m_bHasRoom) {
        // The plot's own sum is the one the prediction divides by: taken
        // when the plot keeps it current, computed here otherwise.
        if (!pSum) {
            m_sumFlat.Recalc(cfg, bands, m_bSumFlatStale ? BAND_ALL : nMask);
            m_bSumFlatStale = false;
            pSum = &m_sumFlat;
        } else {
            m_bSumFlatStale = true;
        }
        m_room.Update(cfg, *pSum);
        const double dLevel = m_room.TargetLevel();
        const double dZero = MeasuredLevel();
        m_dOffset = std::isfinite(dZero) ? dZero : 0.0;
        out.pdMeasured = Shifted(m_room.Measured(), m_dOffset, m_pdMeasured.get(), POINTS);
        out.pdPredicted = Shifted(m_room.Predicted(), m_dOffset, m_pdPredicted.get(), POINTS);
        if (std::isfinite(dLevel)) {
            out.pdTarget = Shifted(m_room.Target(), m_dOffset, m_pdTarget.get(), POINTS);
            m_targetLegend = TargetLegend(m_room.View().eTarget, dLevel, m_dOffset);
            out.pszTargetLegend = m_targetLegend.c_str();
            if (m_room.HasMask()) {
                out.pdMaskMin = Shifted(m_room.MaskMin(), m_dOffset, m_pdMaskMin.get(), POINTS);
                out.pdMaskMax = Shifted(m_room.MaskMax(), m_dOffset, m_pdMaskMax.get(), POINTS);
            }
        }
    }
    if (m_bHasDrivers) {
        m_sumDrivers.Recalc(cfg, bands, m_bSumDriversStale ? BAND_ALL : nMask);
        m_bSumDriversStale = false;
        for (int k = 0; k < 3; ++k) {
            if (!m_drivers.HasDriver(BAND_BITS[k]) || !BandCurveOf(bands, k))
                continue;
            m_drivers.BandCurve(BAND_BITS[k], BandCurveOf(bands, k), m_apdBand[k].get());
            out.apdBand[k] = m_apdBand[k].get();
        }
        out.pdSum = m_sumDrivers.GetSum();
        out.pdSumPhase = m_sumDrivers.GetPhase();
    }
    return out;
}
