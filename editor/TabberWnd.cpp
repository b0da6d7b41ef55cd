#include "editor/TabberWnd.h"

#include "editor/FieldRules.h"

namespace {
WPARAM FieldId(HWND hWnd) { return static_cast<WPARAM>(::GetDlgCtrlID(hWnd)); }
} // namespace

LRESULT CTabberWnd::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    ::SendMessageW(GetParent(), WM_FIELD_FOCUS, FieldId(m_hWnd), reinterpret_cast<LPARAM>(m_hWnd));
    ::SendMessageW(m_hWnd, EM_SETSEL, 0, -1);
    bHandled = FALSE; // the edit control takes the focus as usual
    return 0;
}

LRESULT CTabberWnd::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (CFieldRules::IsCharAllowed(static_cast<char16_t>(wParam), m_bAllowDecimalPoint)) {
        bHandled = FALSE;
        return 0;
    }
    ::MessageBeep(0xFFFFFFFF);
    return 0;
}

LRESULT CTabberWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    ::SendMessageW(GetParent(), WM_FIELD_KEYDOWN, FieldId(m_hWnd), static_cast<LPARAM>(wParam));
    bHandled = FALSE;
    return 0;
}

LRESULT CTabberWnd::OnKeyUp(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    if (!m_bError && ::SendMessageW(m_hWnd, EM_GETMODIFY, 0, 0))
        ::SendMessageW(GetParent(), WM_FIELD_CHANGED, FieldId(m_hWnd), reinterpret_cast<LPARAM>(m_hWnd));
    bHandled = FALSE;
    return 0;
}

LRESULT CTabberWnd::OnGetFieldError(UINT, WPARAM, LPARAM, BOOL&) { return m_bError ? 1 : 0; }

LRESULT CTabberWnd::OnSetFieldError(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    m_bError = wParam != 0;
    return 0;
}
