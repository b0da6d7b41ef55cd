#include "editor/TabberWnd.h"

#include "editor/FieldRules.h"

#include <string>

namespace {
WPARAM FieldId(HWND hWnd) { return static_cast<WPARAM>(::GetDlgCtrlID(hWnd)); }

// More than any field holds; the rest of a longer clipboard text is not read.
constexpr std::size_t PASTE_UNITS = 256;

// The clipboard's text, at most PASTE_UNITS units; empty when there is none.
std::wstring ClipboardText(HWND hWnd)
{
    std::wstring text;
    if (!::OpenClipboard(hWnd))
        return text;
    if (const HANDLE hData = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(hData))) {
            const std::size_t nUnits = ::GlobalSize(hData) / sizeof(wchar_t);
            for (std::size_t i = 0; i < nUnits && i < PASTE_UNITS && p[i] != L'\0'; ++i)
                text.push_back(p[i]);
            ::GlobalUnlock(hData);
        }
    }
    ::CloseClipboard();
    return text;
}
} // namespace

LRESULT CTabberWnd::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    ::SendMessageW(GetParent(), WM_FIELD_FOCUS, FieldId(m_hWnd), reinterpret_cast<LPARAM>(m_hWnd));
    ::SendMessageW(m_hWnd, EM_SETSEL, 0, -1);
    bHandled = FALSE; // the edit control takes the focus as usual
    return 0;
}

LRESULT CTabberWnd::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    // Leaving the field (Tab, a click elsewhere, another window) confirms
    // what it shows.
    if (m_bWaiting)
        ::SendMessageW(GetParent(), WM_FIELD_COMMIT, FieldId(m_hWnd), reinterpret_cast<LPARAM>(m_hWnd));
    bHandled = FALSE;
    return 0;
}

LRESULT CTabberWnd::OnGetDlgCode(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    // While a value waits, Enter is the field's (it applies the value)
    // rather than the dialog navigation's.
    const MSG* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (m_bWaiting && pMsg && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN)
        return DefWindowProc(WM_GETDLGCODE, wParam, lParam) | DLGC_WANTALLKEYS;
    bHandled = FALSE;
    return 0;
}

LRESULT CTabberWnd::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam == L'\r' || wParam == L'\n')
        return 0; // Enter is a command here, never text (a single-line field would beep)
    if (CFieldRules::IsCharAllowed(static_cast<char16_t>(wParam), m_bAllowDecimalPoint)) {
        bHandled = FALSE;
        return 0;
    }
    ::MessageBeep(0xFFFFFFFF);
    return 0;
}

// Pasted text passes the same filter as typed text: what typing could not
// enter is left out (with one beep), the rest is inserted as typed.
LRESULT CTabberWnd::OnPaste(UINT, WPARAM, LPARAM, BOOL&)
{
    const std::wstring text = ClipboardText(m_hWnd);
    std::wstring kept;
    for (const wchar_t ch : text)
        if (ch >= L' ' && (ch < 0x7F || ch > 0x9F) &&
            CFieldRules::IsCharAllowed(static_cast<char16_t>(ch), m_bAllowDecimalPoint))
            kept.push_back(ch);
    if (kept.size() != text.size())
        ::MessageBeep(0xFFFFFFFF);
    if (!kept.empty())
        ::SendMessageW(m_hWnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
    return 0;
}

LRESULT CTabberWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam == VK_RETURN && m_bWaiting)
        ::SendMessageW(GetParent(), WM_FIELD_COMMIT, FieldId(m_hWnd), reinterpret_cast<LPARAM>(m_hWnd));
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
