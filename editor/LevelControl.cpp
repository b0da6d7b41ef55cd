#include "editor/LevelControl.h"

#include <cmath>
#include <cwchar>

#include "editor/EditRecorder.h"
#include "editor/EditStepNames.h"
#include "framework/Handles.h"
#include "model/CtlQVRXOPlot.h"
#include "model/FieldRanges.h"
#include "model/PlotGeometry.h"
#include "resources/resource.h"

CLevelControl::CLevelControl(CCtlQVRXOPlot& workingCopy, CEditRecorder& recorder)
    : m_workingCopy(workingCopy),
      m_recorder(recorder),
      m_wndLevel(TRACKBAR_CLASSW, nullptr, 0),
      m_wndLevelText(L"Static", nullptr, 0)
{
}

void CLevelControl::Attach(HWND hForm)
{
    m_hForm = hForm;
    m_wndLevel.SubclassWindow(::GetDlgItem(hForm, IDC_LEVEL));
    m_wndLevelText.SubclassWindow(::GetDlgItem(hForm, IDC_LEVEL_TEXT));
    // Positions -16 (top, +8 dB) .. 44 (bottom, -22 dB), the selection mark at 0 dB.
    m_wndLevel.SendMessage(TBM_SETTICFREQ, 4, 0);
    m_wndLevel.SendMessage(TBM_SETSELSTART, FALSE, 0);
    const CFieldRanges::SRange levelRange = CFieldRanges::GetLevelRange();
    const int nTopPos = static_cast<int>(-levelRange.fltMax / CFieldRanges::LEVEL_STEP);
    const int nBottomPos = static_cast<int>(-levelRange.fltMin / CFieldRanges::LEVEL_STEP);
    m_wndLevel.SendMessage(TBM_SETRANGE, FALSE, MAKELPARAM(static_cast<WORD>(nTopPos), static_cast<WORD>(nBottomPos)));
    m_wndLevel.SendMessage(TBM_SETPAGESIZE, 0, 0);
}

void CLevelControl::SetText(float fltLevel)
{
    // One decimal, cut toward zero; never "-0.0".
    const float fltShown = std::trunc(fltLevel * 10.0f) / 10.0f + 0.0f;
    wchar_t sz[64];
    swprintf(sz, 64, L"%2.1f", static_cast<double>(fltShown));
    ::SetDlgItemTextW(m_hForm, IDC_LEVEL_TEXT, sz);
}

void CLevelControl::Show()
{
    const float fltLevel = m_workingCopy.GetLevel();
    SetText(fltLevel);
    // Saturated, so a level from a file or the unit cannot overflow; the
    // trackbar clamps the position to its range.
    ::SendMessageW(::GetDlgItem(m_hForm, IDC_LEVEL), TBM_SETPOS, TRUE, CPlotGeometry::TruncCoord(-2.0f * fltLevel));
}

bool CLevelControl::OnScroll(WPARAM wParam, HWND hScroll)
{
    HWND hTrack = ::GetDlgItem(m_hForm, IDC_LEVEL);
    if (hScroll != hTrack || !hTrack)
        return false;
    const int nPos = static_cast<int>(::SendMessageW(hTrack, TBM_GETPOS, 0, 0));
    const float fltLevel = static_cast<float>(-nPos) / 2.0f;
    SetText(fltLevel);
    if (LOWORD(wParam) != TB_ENDTRACK) {
        m_recorder.Begin(CEditStepNames::Level()); // press to release, or one key
        m_workingCopy.SetLevel(fltLevel, true);    // also re-sends the band gains
    } else {
        m_workingCopy.RecalcBands(BAND_ALL);
        m_recorder.End();
    }
    return true;
}

LRESULT CLevelControl::OnCustomDraw(const NMCUSTOMDRAW& cd)
{
    if (cd.dwDrawStage == CDDS_PREPAINT) {
        m_bFocus = ::GetFocus() == cd.hdr.hwndFrom;
        return CDRF_NOTIFYITEMDRAW;
    }
    if (cd.dwDrawStage != CDDS_ITEMPREPAINT)
        return CDRF_DODEFAULT;

    const RECT& rc = cd.rc;
    if (cd.dwItemSpec == TBCD_CHANNEL) {
        if (!m_bFocus)
            return CDRF_DODEFAULT;
        // Blue to white, top left to bottom right, along the slot's length.
        TRIVERTEX av[2] = {{rc.left, rc.top, 0x0000, 0x3333, 0xFFFF, 0x0000},
                           {rc.right, rc.bottom, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000}};
        GRADIENT_RECT gr{0, 1};
        const bool bVertical = (rc.right - rc.left) <= (rc.bottom - rc.top);
        CSelectObject selPen(cd.hdc, ::GetStockObject(NULL_PEN));
        CSelectObject selBrush(cd.hdc, ::GetStockObject(NULL_BRUSH));
        ::GradientFill(cd.hdc, av, 2, &gr, 1, bVertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
        return CDRF_SKIPDEFAULT;
    }
    if (cd.dwItemSpec == TBCD_THUMB) {
        TRIVERTEX av[2] = {{rc.left, rc.top, 0x0000, 0xCCCC, 0x0000, 0x0000},
                           {rc.right, rc.bottom, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000}};
        GRADIENT_RECT gr{0, 1};
        ::GradientFill(cd.hdc, av, 2, &gr, 1, GRADIENT_FILL_RECT_H);
        CSelectObject selPen(cd.hdc, ::GetStockObject(BLACK_PEN));
        CSelectObject selBrush(cd.hdc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(cd.hdc, rc.left, rc.top, rc.right, rc.bottom);
        return CDRF_SKIPDEFAULT;
    }
    return CDRF_DODEFAULT; // tick marks
}
