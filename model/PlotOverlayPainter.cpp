#include "model/PlotOverlayPainter.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "framework/ExeModule.h"
#include "resources/resource.h"

namespace {

// The legend: per curve a line sample this long, then the name, the entries
// side by side, inset from the area's top left corner (96-dpi pixels).
constexpr int LEGEND_INSET = 6;
constexpr int LEGEND_SAMPLE = 18;
constexpr int LEGEND_GAP = 4;
constexpr int LEGEND_SPACING = 14; // between one entry and the next

bool IsOutside(double dLevel, double dMin, double dMax)
{
    // A point without a prediction or without a mask is never outside.
    if (std::isnan(dLevel) || std::isnan(dMin) || std::isnan(dMax))
        return false;
    return dLevel < dMin || dLevel > dMax;
}

} // namespace

CPlotOverlayPainter::CPlotOverlayPainter()
    : m_pnMeasured(::CreatePen(PS_SOLID, 1, RGB_MEASURED)),
      m_pnPredicted(::CreatePen(PS_SOLID, 1, RGB_PREDICTED)),
      m_pnTarget(::CreatePen(PS_SOLID, 1, RGB_TARGET)),
      m_pnMask(::CreatePen(PS_DOT, 1, RGB_TARGET)),
      m_brOutside(::CreateHatchBrush(HS_BDIAGONAL, RGB_OUTSIDE))
{
    m_apt.resize(CPlotGeometry::LAST_POINT - CPlotGeometry::FIRST_POINT + 1);
    m_adwRuns.reserve(m_apt.size());
    m_aOutside.reserve(m_apt.size() / 2 + 1);
}

void CPlotOverlayPainter::SetScale(const CDpiScale& scale) { m_scale = scale; }

void CPlotOverlayPainter::DrawLevels(HDC hdc, const CPlotGeometry& geo, const double* pdLevels, HPEN hPen,
                                     int nWidth)
{
    if (!pdLevels)
        return;
    POINT* ppt = m_apt.data();
    m_adwRuns.clear();
    DWORD dwRun = 0;
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; ++i) {
        const double d = pdLevels[i];
        if (!std::isfinite(d)) {
            if (dwRun > 1)
                m_adwRuns.push_back(dwRun);
            else
                ppt -= dwRun;
            dwRun = 0;
            continue;
        }
        const POINT pt{geo.PointToX(i), geo.GainToY(static_cast<float>(d))};
        // Several grid points share a pixel towards the top of the axis: a
        // point where the last one already is adds nothing to the line but
        // its cost (a wide pen's joins are dear).
        if (dwRun > 0 && ppt[-1].x == pt.x && ppt[-1].y == pt.y)
            continue;
        *ppt++ = pt;
        ++dwRun;
    }
    if (dwRun > 1)
        m_adwRuns.push_back(dwRun);
    if (m_adwRuns.empty())
        return;
    CSelectObject selPen(hdc, hPen);
    const DWORD dwPoints = static_cast<DWORD>(ppt - m_apt.data());
    // A bold line is the thin one drawn again shifted by up to half its
    // width up, down, left and right: a pen wider than a pixel costs the
    // drawing several times all the rest of the plot.
    const int nHalf = nWidth / 2;
    for (int d = -nHalf; d <= nHalf; ++d) {
        for (int nAxis = 0; nAxis < (d == 0 ? 1 : 2); ++nAxis) {
            for (DWORD k = 0; k < dwPoints; ++k)
                (nAxis == 0 ? m_apt[k].y : m_apt[k].x) += d;
            ::PolyPolyline(hdc, m_apt.data(), m_adwRuns.data(), static_cast<DWORD>(m_adwRuns.size()));
            for (DWORD k = 0; k < dwPoints; ++k)
                (nAxis == 0 ? m_apt[k].y : m_apt[k].x) -= d;
        }
    }
}

const std::vector<std::pair<int, int>>& CPlotOverlayPainter::OutsideRuns(const SPlotOverlay& overlay)
{
    m_aOutside.clear();
    if (!IsDrawn(EOverlayCurve::Predicted, overlay) || !IsDrawn(EOverlayCurve::Target, overlay) ||
        !overlay.pdMaskMin || !overlay.pdMaskMax)
        return m_aOutside;
    int nFirst = -1;
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; ++i) {
        const bool bOut = IsOutside(overlay.pdPredicted[i], overlay.pdMaskMin[i], overlay.pdMaskMax[i]);
        if (bOut && nFirst < 0)
            nFirst = i;
        if (!bOut && nFirst >= 0) {
            m_aOutside.emplace_back(nFirst, i - 1);
            nFirst = -1;
        }
    }
    if (nFirst >= 0)
        m_aOutside.emplace_back(nFirst, CPlotGeometry::LAST_POINT);
    return m_aOutside;
}

void CPlotOverlayPainter::DrawUnder(HDC hdc, const CPlotGeometry& geo, const RECT& rcPlot,
                                    const SPlotOverlay& overlay)
{
    const auto& runs = OutsideRuns(overlay);
    if (runs.empty())
        return;
    CSaveDC save(hdc);
    ::SetBkMode(hdc, TRANSPARENT);
    for (const auto& [nFirst, nLast] : runs) {
        // A stretch of one point still shows: it is at least a pixel wide.
        const int x0 = geo.PointToX(nFirst);
        const int x1 = std::max(geo.PointToX(nLast), x0 + 1);
        const RECT rc{x0, rcPlot.top, x1 + 1, rcPlot.bottom};
        ::FillRect(hdc, &rc, m_brOutside);
    }
}

void CPlotOverlayPainter::DrawOver(HDC hdc, const CPlotGeometry& geo, const SPlotOverlay& overlay)
{
    if (IsDrawn(EOverlayCurve::Target, overlay)) {
        DrawLevels(hdc, geo, overlay.pdMaskMin, m_pnMask);
        DrawLevels(hdc, geo, overlay.pdMaskMax, m_pnMask);
        DrawLevels(hdc, geo, overlay.pdTarget, m_pnTarget);
    }
    if (IsDrawn(EOverlayCurve::Predicted, overlay))
        DrawLevels(hdc, geo, overlay.pdPredicted, m_pnPredicted, m_scale.X(PREDICTED_WIDTH));
    if (IsDrawn(EOverlayCurve::Measured, overlay))
        DrawLevels(hdc, geo, overlay.pdMeasured, m_pnMeasured);
}

void CPlotOverlayPainter::DrawLegend(HDC hdc, HFONT hFont, const RECT& rcPlot, const SPlotOverlay& overlay)
{
    struct SEntry {
        EOverlayCurve e;
        UINT nName;
        HPEN hPen;
        COLORREF rgb;
    };
    const SEntry aEntries[] = {
        {EOverlayCurve::Measured, IDS_CURVE_MEASURED, m_pnMeasured, RGB_MEASURED},
        {EOverlayCurve::Predicted, IDS_CURVE_PREDICTED, m_pnPredicted, RGB_PREDICTED},
        {EOverlayCurve::Target, IDS_CURVE_TARGET, m_pnTarget, RGB_TARGET},
    };
    CSaveDC save(hdc);
    ::SelectObject(hdc, hFont);
    ::SetBkMode(hdc, TRANSPARENT);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(hdc, &tm);
    const int nRow = tm.tmHeight;
    // One row along the area's top, where the +24 .. +16 dB band leaves the
    // curves room (a column of rows reached down to 0 dB and hid them).
    int x = rcPlot.left + m_scale.X(LEGEND_INSET);
    const int y = rcPlot.top + m_scale.Y(LEGEND_INSET) / 2;
    for (const SEntry& entry : aEntries) {
        if (!IsDrawn(entry.e, overlay))
            continue;
        const int yLine = y + nRow / 2;
        const std::wstring name = entry.e == EOverlayCurve::Target && overlay.pszTargetLegend
                                      ? std::wstring(overlay.pszTargetLegend)
                                      : g_Module.LoadString(entry.nName);
        const int xText = x + m_scale.X(LEGEND_SAMPLE + LEGEND_GAP);
        SIZE size{};
        ::GetTextExtentPoint32W(hdc, name.c_str(), static_cast<int>(name.size()), &size);
        // On the area's own background, so that curves running under the
        // legend do not cross its words.
        const RECT rcEntry{x, y, xText + size.cx, y + nRow};
        ::FillRect(hdc, &rcEntry, ::GetSysColorBrush(COLOR_WINDOWTEXT));
        ::SelectObject(hdc, entry.hPen);
        const int nHalf = entry.e == EOverlayCurve::Predicted ? m_scale.X(PREDICTED_WIDTH) / 2 : 0;
        for (int d = -nHalf; d <= nHalf; ++d) {
            ::MoveToEx(hdc, x, yLine + d, nullptr);
            ::LineTo(hdc, x + m_scale.X(LEGEND_SAMPLE), yLine + d);
        }
        ::SetTextColor(hdc, entry.rgb);
        ::TextOutW(hdc, xText, y, name.c_str(), static_cast<int>(name.size()));
        x = xText + size.cx + m_scale.X(LEGEND_SPACING);
    }
}
