#include "model/CtlQVRXOPlot.h"

#include <windowsx.h>

#include <cassert>
#include <cmath>
#include <cwchar>
#include <string>

#include "framework/ExeModule.h"
#include "model/FieldRanges.h"
#include "framework/AppMessages.h"
#include "resources/resource.h"

namespace {


constexpr COLORREF RGB_HASH = RGB(80, 80, 80);
constexpr COLORREF RGB_HIGH = RGB(0, 255, 0);
constexpr COLORREF RGB_MID = RGB(0, 0, 255);
constexpr COLORREF RGB_LOW = RGB(255, 0, 0);
constexpr COLORREF RGB_ADJUSTER = RGB(128, 255, 255);
constexpr COLORREF RGB_SUM = RGB(255, 255, 255);
constexpr COLORREF RGB_PHASE = RGB(255, 255, 0);

// The phase scale: levels labelled at the area's right edge, every 90
// degrees (two 24-pixel rows at 96 dpi); tick length and the gap between
// tick and label in 96-dpi pixels.
constexpr int PHASE_LABELS[] = {180, 90, 0, -90, -180};
constexpr int PHASE_TICK = 4;
constexpr int PHASE_LABEL_GAP = 6;

constexpr int FONT_HEIGHT = 16; // pixels at 96 dpi

HFONT CreatePlotFont(int nHeight, int nEscapement)
{
    LOGFONTW lf{};
    lf.lfHeight = nHeight;
    lf.lfWeight = 400;
    lf.lfEscapement = nEscapement;
    lf.lfOrientation = nEscapement;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS; // rotated text needs an outline font
    const std::wstring face = g_Module.LoadString(IDS_PLOT_FONT);
    wcsncpy_s(lf.lfFaceName, LF_FACESIZE, face.c_str(), _TRUNCATE);
    return ::CreateFontIndirectW(&lf);
}

void Diamond(HDC hdc, const CPlotGeometry& geo, int x, int y)
{
    const int rx = geo.HandleRadiusX();
    const int ry = geo.HandleRadiusY();
    const POINT apt[4] = {{x, y - ry}, {x + rx, y}, {x, y + ry}, {x - rx, y}};
    ::Polygon(hdc, apt, 4);
}

// Points 25 Hz .. 20000 Hz every 5 Hz of a curve in dB, placed on the same
// axis walk as the grid and the adjuster so that the curve meets both.
template <class T>
void FillCurvePoints(POINT* ppt, const CPlotGeometry& geo, const T* pValues)
{
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; ++i) {
        ppt->x = geo.PointToX(i);
        ppt->y = geo.GainToY(static_cast<float>(pValues[i]));
        ++ppt;
    }
}

// y of a phase on the phase scale: +180 degrees at the area's top, -180 at its bottom.
int PhaseY(const CPlotGeometry& geo, double dDegrees)
{
    return geo.GetTop() +
           CPlotGeometry::TruncCoord(static_cast<float>((180.0 - dDegrees) * geo.PlotHeight() / 360.0));
}

RECT HandleRect(const CPlotGeometry& geo, int x, int y)
{
    const int rx = geo.HandleRadiusX();
    const int ry = geo.HandleRadiusY();
    return RECT{x - rx, y - ry, x + rx, y + ry};
}

} // namespace

CCtlQVRXOPlot::CCtlQVRXOPlot(int nChannel)
    : CChannelConfig(nChannel),
      m_scale(CDpiScale::FromScreen()),
      m_pnHash(::CreatePen(PS_SOLID, 1, RGB_HASH)),
      m_pnHigh(::CreatePen(PS_SOLID, 1, RGB_HIGH)),
      m_pnMid(::CreatePen(PS_SOLID, 1, RGB_MID)),
      m_pnLow(::CreatePen(PS_SOLID, 1, RGB_LOW)),
      m_pnAdjuster(::CreatePen(PS_SOLID, 1, RGB_ADJUSTER)),
      m_brAdjuster(::CreateSolidBrush(RGB_ADJUSTER)),
      m_pnSum(::CreatePen(PS_SOLID, 1, RGB_SUM)),
      m_pnPhase(::CreatePen(PS_DOT, 1, RGB_PHASE)),
      m_pnPhaseScale(::CreatePen(PS_SOLID, 1, RGB_PHASE))
{
    CreateFonts();
    m_overlayPainter.SetScale(m_scale);
    assert(m_pnHash && "m_pnHash");
    assert(m_pnHigh && "m_pnHigh");
    assert(m_pnMid && "m_pnMid");
    assert(m_pnLow && "m_pnLow");
    assert(m_pnAdjuster && "m_pnAdjuster");
    assert(m_brAdjuster && "m_brAdjuster");
    assert(m_pnSum && "m_pnSum");
    assert(m_pnPhase && "m_pnPhase");
    assert(m_pnPhaseScale && "m_pnPhaseScale");
    m_aptCurve.resize(CPlotGeometry::LAST_POINT - CPlotGeometry::FIRST_POINT + 1);
    m_adwRuns.reserve(m_aptCurve.size());
    m_response.RecalcBands(*this, BAND_ALL);
}

CCtlQVRXOPlot::~CCtlQVRXOPlot() = default;

void CCtlQVRXOPlot::CreateFonts()
{
    const int nHeight = m_scale.Y(FONT_HEIGHT);
    m_fntdB.Reset(CreatePlotFont(nHeight, 0));
    m_fntBand.Reset(CreatePlotFont(nHeight, 900));
    assert(m_fntdB && "m_fntdB");
    assert(m_fntBand && "m_fntBand");
}

void CCtlQVRXOPlot::SetScale(const CDpiScale& scale)
{
    if (scale == m_scale)
        return;
    m_scale = scale;
    CreateFonts();
    m_overlayPainter.SetScale(m_scale);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

CPlotGeometry CCtlQVRXOPlot::GetGeometry() const
{
    return CPlotGeometry(m_rcPlot.left, m_rcPlot.top, m_scale);
}

void CCtlQVRXOPlot::RecalcBands(int nMask)
{
    RecalcCurves(nMask);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CCtlQVRXOPlot::RecalcCurves(int nMask)
{
    m_response.RecalcBands(*this, nMask);
    // The sum costs several times what the band curves cost: it is kept
    // current only while it is shown (showing it computes it afresh).
    if (m_bShowSum || m_bShowPhase)
        m_sum.Recalc(*this, m_response, nMask);
    if (m_pOverlaySource)
        m_overlay = m_pOverlaySource->Refresh(*this, m_response, SumIfCurrent(), nMask);
}

void CCtlQVRXOPlot::SetOverlaySource(IPlotOverlaySource* pSource)
{
    m_pOverlaySource = pSource;
    if (!pSource)
        m_overlay = SPlotOverlay{};
    RefreshOverlay();
}

void CCtlQVRXOPlot::RefreshOverlay()
{
    if (m_pOverlaySource)
        m_overlay = m_pOverlaySource->Refresh(*this, m_response, SumIfCurrent(), BAND_ALL);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CCtlQVRXOPlot::ShowOverlayCurve(EOverlayCurve e, bool bShow)
{
    if (m_overlayPainter.IsShown(e) == bShow)
        return;
    m_overlayPainter.Show(e, bShow);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CCtlQVRXOPlot::ShowView(bool& bFlag, bool bShow)
{
    if (bFlag == bShow)
        return;
    const bool bWasComputed = m_bShowSum || m_bShowPhase;
    bFlag = bShow;
    if (bShow && !bWasComputed)
        m_sum.Recalc(*this, m_response, BAND_ALL);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CCtlQVRXOPlot::ShowSum(bool bShow) { ShowView(m_bShowSum, bShow); }

void CCtlQVRXOPlot::ShowPhase(bool bShow) { ShowView(m_bShowPhase, bShow); }

int CCtlQVRXOPlot::PhaseToY(double dDegrees) const { return PhaseY(GetGeometry(), dDegrees); }

void CCtlQVRXOPlot::SelectAdjuster(int nAdjuster)
{
    if (nAdjuster < 0 || nAdjuster > 10)
        return;
    m_nAdjuster = nAdjuster;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

// --- drawing ---------------------------------------------------------------

LRESULT CCtlQVRXOPlot::OnEraseBkgnd(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    HDC hdc = reinterpret_cast<HDC>(wParam);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const SIZE size{rc.right - rc.left, rc.bottom - rc.top};
    if (size.cx <= 0 || size.cy <= 0)
        return 1;
    if (!m_bmpOffscreen || size.cx != m_sizeOffscreen.cx || size.cy != m_sizeOffscreen.cy) {
        m_bmpOffscreen.Reset(::CreateCompatibleBitmap(hdc, size.cx, size.cy));
        m_sizeOffscreen = size;
    }
    CMemDC dcMem(::CreateCompatibleDC(hdc));
    if (!dcMem || !m_bmpOffscreen) {
        // No memory for the bitmap: draw straight onto the screen.
        Draw(hdc, rc);
        return 1;
    }
    {
        CSelectObject selBmp(dcMem, m_bmpOffscreen);
        Draw(dcMem, rc);
        ::BitBlt(hdc, 0, 0, size.cx, size.cy, dcMem, 0, 0, SRCCOPY);
    }
    return 1;
}

void CCtlQVRXOPlot::Draw(HDC hdc, const RECT& rcClient)
{
    CSaveDC save(hdc);
    ::SetMapMode(hdc, MM_TEXT);
    ::FillRect(hdc, &rcClient, ::GetSysColorBrush(COLOR_BTNFACE));

    // Decibel labels in a column as wide as "-60.0", one row (24 pixels at 96 dpi) each.
    const CPlotGeometry rows(0, 0, m_scale);
    CSelectObject selFont(hdc, m_fntdB);
    SIZE sizeLabel{};
    ::GetTextExtentPoint32W(hdc, L"-60.0", 5, &sizeLabel);
    const int w = sizeLabel.cx;
    ::SetTextColor(hdc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(hdc, ::GetSysColor(COLOR_BTNFACE));
    ::SetBkMode(hdc, OPAQUE);
    for (int k = 0; k < CPlotGeometry::ROWS; ++k) {
        wchar_t sz[16];
        swprintf(sz, 16, L"%d.0", 24 - 12 * k);
        RECT rcCell{0, rows.RowTop(k), w, rows.RowTop(k + 1)};
        ::DrawTextW(hdc, sz, -1, &rcCell, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }

    // The drawing area: eight rows on a dark background.
    m_rcPlot = RECT{w, 0, rcClient.right, rows.PlotHeight()};
    ::FillRect(hdc, &m_rcPlot, ::GetSysColorBrush(COLOR_WINDOWTEXT));
    const CPlotGeometry geo = GetGeometry();
    {
        CSelectObject selPen(hdc, m_pnHash);
        for (int k = 0; k < CPlotGeometry::ROWS; ++k) {
            const int y = geo.GridY(k);
            ::MoveToEx(hdc, m_rcPlot.left, y, nullptr);
            ::LineTo(hdc, m_rcPlot.right, y);
        }
    }

    // Frequency labels below the area, running upwards and ending at its bottom edge.
    {
        CSelectObject selBand(hdc, m_fntBand);
        ::SetBkMode(hdc, TRANSPARENT);
        for (int i = 0; i < CPlotGeometry::AXIS_ENTRIES; ++i) {
            const int nFreq = CPlotGeometry::s_anAxis[i];
            wchar_t sz[16];
            if (nFreq < 1000)
                swprintf(sz, 16, L"%d", nFreq);
            else
                swprintf(sz, 16, L"%.3gK", nFreq / 1000.0);
            const int n = static_cast<int>(wcslen(sz));
            SIZE size{};
            ::GetTextExtentPoint32W(hdc, sz, n, &size);
            ::TextOutW(hdc, geo.LabelX(i), m_rcPlot.bottom + size.cx, sz, n);
        }
    }

    // Vertical grid, one line per axis entry.
    {
        CSelectObject selPen(hdc, m_pnHash);
        for (int j = 0; j < CPlotGeometry::AXIS_ENTRIES; ++j) {
            const int x = geo.GridX(j);
            ::MoveToEx(hdc, x, m_rcPlot.top, nullptr);
            ::LineTo(hdc, x, m_rcPlot.bottom);
        }
    }

    // Curves, clipped to the area: Low always; Mid only in Triamp and not for
    // the Subwoofer; High not for the Subwoofer.  The phase's scale lies
    // under the curves, the sum over the bands and the phase.
    {
        CSaveDC saveClip(hdc);
        ::IntersectClipRect(hdc, m_rcPlot.left, m_rcPlot.top, m_rcPlot.right, m_rcPlot.bottom);
        m_overlayPainter.DrawUnder(hdc, geo, m_rcPlot, m_overlay);
        if (m_bShowPhase)
            DrawPhaseScale(hdc, geo);
        DrawBand(hdc, geo, 0, m_response.GetLowBand(), m_pnLow);
        if (m_nMode == MODE_TRIAMP && m_nChannel != CHANNEL_SUBWOOFER)
            DrawBand(hdc, geo, 1, m_response.GetMidBand(), m_pnMid);
        if (m_nChannel != CHANNEL_SUBWOOFER)
            DrawBand(hdc, geo, 2, m_response.GetHighBand(), m_pnHigh);
        if (m_bShowPhase)
            DrawPhase(hdc, geo);
        if (m_bShowSum)
            DrawSum(hdc, geo);
        m_overlayPainter.DrawOver(hdc, geo, m_overlay);
        m_overlayPainter.DrawLegend(hdc, m_fntdB, m_rcPlot, m_overlay);
    }

    DrawAdjuster(hdc, geo);
}

void CCtlQVRXOPlot::DrawCurve(HDC hdc, const CPlotGeometry& geo, const float* pfltBand, HPEN hPen)
{
    if (!pfltBand)
        return;
    FillCurvePoints(m_aptCurve.data(), geo, pfltBand);
    CSelectObject selPen(hdc, hPen);
    ::Polyline(hdc, m_aptCurve.data(), static_cast<int>(m_aptCurve.size()));
}

void CCtlQVRXOPlot::DrawBand(HDC hdc, const CPlotGeometry& geo, int nIndex, const float* pfltBand, HPEN hPen)
{
    // A band over its measured driver is the overlay's curve, with gaps
    // where the driver was not measured.
    if (const double* pdDriver = m_overlay.apdBand[nIndex])
        m_overlayPainter.DrawLevels(hdc, geo, pdDriver, hPen);
    else
        DrawCurve(hdc, geo, pfltBand, hPen);
}

void CCtlQVRXOPlot::DrawSum(HDC hdc, const CPlotGeometry& geo)
{
    if (m_overlay.pdSum) {
        m_overlayPainter.DrawLevels(hdc, geo, m_overlay.pdSum, m_pnSum);
        return;
    }
    FillCurvePoints(m_aptCurve.data(), geo, m_sum.GetSum());
    CSelectObject selPen(hdc, m_pnSum);
    ::Polyline(hdc, m_aptCurve.data(), static_cast<int>(m_aptCurve.size()));
}

void CCtlQVRXOPlot::DrawPhaseScale(HDC hdc, const CPlotGeometry& geo)
{
    CSelectObject selFont(hdc, m_fntdB);
    CSelectObject selPen(hdc, m_pnPhaseScale);
    ::SetTextColor(hdc, RGB_PHASE);
    ::SetBkMode(hdc, TRANSPARENT);
    const int xTick = m_rcPlot.right - m_scale.X(PHASE_TICK);
    const int xText = m_rcPlot.right - m_scale.X(PHASE_LABEL_GAP);
    for (const int nDeg : PHASE_LABELS) {
        const int y = PhaseY(geo, nDeg);
        ::MoveToEx(hdc, xTick, y, nullptr);
        ::LineTo(hdc, m_rcPlot.right, y);
        wchar_t sz[16];
        swprintf(sz, 16, nDeg > 0 ? L"+%d\u00B0" : L"%d\u00B0", nDeg);
        // The ends' labels lie inside the area: +180 below its level, -180 above.
        RECT rc{m_rcPlot.left, y - geo.RowHeight() / 2, xText, y + geo.RowHeight() / 2};
        UINT uAlign = DT_VCENTER;
        if (nDeg == 180) {
            rc = RECT{m_rcPlot.left, y, xText, y + geo.RowHeight()};
            uAlign = DT_TOP;
        } else if (nDeg == -180) {
            rc = RECT{m_rcPlot.left, y - geo.RowHeight(), xText, y};
            uAlign = DT_BOTTOM;
        }
        ::DrawTextW(hdc, sz, -1, &rc, DT_RIGHT | DT_SINGLELINE | DT_NOCLIP | uAlign);
    }
}

void CCtlQVRXOPlot::DrawPhase(HDC hdc, const CPlotGeometry& geo)
{
    // Unbroken stretches of the phase: a stretch ends where the phase wraps
    // from one end of the scale to the other and where it is undefined (the
    // sum below -60 dB).
    const double* pdPhase = m_overlay.pdSumPhase ? m_overlay.pdSumPhase : m_sum.GetPhase();
    POINT* ppt = m_aptCurve.data();
    m_adwRuns.clear();
    DWORD dwRun = 0;
    double dPrev = 0.0;
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; ++i) {
        const double d = pdPhase[i];
        if (std::isnan(d) || (dwRun > 0 && std::fabs(d - dPrev) > 180.0)) {
            if (dwRun > 1)
                m_adwRuns.push_back(dwRun);
            else
                ppt -= dwRun; // a single point draws nothing
            dwRun = 0;
        }
        if (std::isnan(d))
            continue;
        ppt->x = geo.PointToX(i);
        ppt->y = PhaseY(geo, d);
        ++ppt;
        ++dwRun;
        dPrev = d;
    }
    if (dwRun > 1)
        m_adwRuns.push_back(dwRun);
    if (m_adwRuns.empty())
        return;
    CSelectObject selPen(hdc, m_pnPhase);
    ::PolyPolyline(hdc, m_aptCurve.data(), m_adwRuns.data(), static_cast<DWORD>(m_adwRuns.size()));
}

void CCtlQVRXOPlot::DrawAdjuster(HDC hdc, const CPlotGeometry& geo)
{
    // Without a drawn handle nothing can be grabbed.
    m_rcAdjuster = RECT{};
    m_rcQLeft = RECT{};
    m_rcQRight = RECT{};
    CPlotGeometry::SAdjuster adj;
    if (m_nAdjuster == 0 || !CFieldRanges::IsAdjusterAvailable(m_nAdjuster, GetChannel(), GetMode()) ||
        !CPlotGeometry::GetAdjuster(*this, m_nAdjuster, adj) || adj.fltFreq == 0.0f)
        return;

    CSaveDC saveClip(hdc);
    ::IntersectClipRect(hdc, m_rcPlot.left, m_rcPlot.top, m_rcPlot.right, m_rcPlot.bottom);
    CSelectObject selPen(hdc, m_pnAdjuster);
    CSelectObject selBrush(hdc, m_brAdjuster);
    const int x = geo.FreqToX(adj.fltFreq);
    ::MoveToEx(hdc, x, m_rcPlot.top, nullptr);
    ::LineTo(hdc, x, m_rcPlot.bottom);
    const int y = geo.AdjusterY(*this, adj);
    Diamond(hdc, geo, x, y);
    m_rcAdjuster = HandleRect(geo, x, y);
    if (adj.bHasQ) {
        const int h = geo.QHalfWidth(adj.fltQ);
        ::MoveToEx(hdc, x - h, y, nullptr);
        ::LineTo(hdc, x + h, y);
        Diamond(hdc, geo, x - h, y);
        Diamond(hdc, geo, x + h, y);
        m_rcQLeft = HandleRect(geo, x - h, y);
        m_rcQRight = HandleRect(geo, x + h, y);
    }
}

// --- mouse -----------------------------------------------------------------

LRESULT CCtlQVRXOPlot::OnLButtonDown(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    if (!(wParam & MK_LBUTTON))
        return 0;
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const bool bQ = ::PtInRect(&m_rcQLeft, pt) || ::PtInRect(&m_rcQRight, pt);
    if (bQ || ::PtInRect(&m_rcAdjuster, pt)) {
        m_bDragQ = bQ ? 1 : 0;
        m_bDragging = 1;
        m_ptMouse = pt;
        // Before the first step moves anything: the form records from here.
        ::SendMessageW(::GetParent(m_hWnd), WM_ADJUSTER_DRAG, 1, 0);
        ::SetCapture(m_hWnd);
        ::SetTimer(m_hWnd, DRAG_TIMER, DRAG_PERIOD_MS, nullptr);
    } else {
        SelectAdjuster(0);
        ::SetFocus(m_hWnd);
    }
    return 0;
}

LRESULT CCtlQVRXOPlot::OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    if (m_bDragging)
        m_ptMouse = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return 0;
}

LRESULT CCtlQVRXOPlot::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != DRAG_TIMER) {
        bHandled = FALSE;
        return 0;
    }
    ::KillTimer(m_hWnd, DRAG_TIMER);
    if (!m_bDragging)
        return 0;
    DragStep();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    ::SetTimer(m_hWnd, DRAG_TIMER, DRAG_PERIOD_MS, nullptr);
    return 0;
}

LRESULT CCtlQVRXOPlot::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_bDragging)
        EndDrag();
    return 0;
}

LRESULT CCtlQVRXOPlot::OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&)
{
    // Losing the mouse (another window took it, a message box opened) ends
    // the drag; otherwise the timer would go on moving the handle.
    if (m_bDragging)
        EndDrag();
    return 0;
}

void CCtlQVRXOPlot::EndDrag()
{
    ::KillTimer(m_hWnd, DRAG_TIMER);
    m_bDragging = 0;
    m_bDragQ = 0;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    ::SendMessageW(::GetParent(m_hWnd), WM_ADJUSTER_DRAG, 0, 0);
}

void CCtlQVRXOPlot::DragStep()
{
    const CPlotGeometry geo = GetGeometry();
    const int nMask = geo.ApplyDragStep(*this, m_nAdjuster, m_bDragQ != 0, m_ptMouse.x, m_ptMouse.y);
    if (nMask == 0)
        return;
    RecalcCurves(nMask); // the timer repaints after the step
    ::PostMessageW(::GetParent(m_hWnd), WM_ADJUSTER_MOVED, static_cast<WPARAM>(m_nAdjuster), 0);
}

ATOM RegisterPlotClass()
{
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = nullptr;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = CCtlQVRXOPlot::CLASS_NAME;
    return ::RegisterClassW(&wc);
}
