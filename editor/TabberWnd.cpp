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

LRESULT CTabberWnd::OnKillFocus(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    // Where the focus went decides what becomes of a held value (the form
    // knows which of its controls are the user's moves); wParam is the
    // window that takes the focus, or none.
    if (m_bWaiting)
        ::SendMessageW(GetParent(), WM_FIELD_LEAVE, FieldId(m_hWnd), static_cast<LPARAM>(wParam));
    bHandled = FALSE;
    return 0;
}

LRESULT CTabberWnd::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    // Ctrl+Z's character: the edit control's own undo (the Edit menu's Undo
    // is the one that counts).
    // Enter's character: the key-down already told the form (it ends the
    // field's edit, and applies a value that waits); a single-line edit
    // control has no use for it.
    constexpr WPARAM CHAR_CTRL_Z = 0x1A;
    if (wParam == CHAR_CTRL_Z || wParam == L'\r')
        return 0;
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

std::u16string CTabberWnd::FieldText(HWND hWnd)
{
    wchar_t sz[32] = {};
    ::GetWindowTextW(hWnd, sz, 32);
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");
    return std::u16string(reinterpret_cast<const char16_t*>(sz));
}

// Enter comes to the field (and so to the form, as a key-down) rather than
// being taken by dialog navigation as the default button's key.  Tab stays
// with dialog navigation, which asks here first: Tab is the user's
// confirmation wherever it takes the focus next (a channel button too).
LRESULT CTabberWnd::OnGetDlgCode(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    LRESULT lr = DefWindowProc(uMsg, wParam, lParam);
    const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (pMsg && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN)
        lr |= DLGC_WANTMESSAGE;
    if (pMsg && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_TAB && m_bWaiting)
        ::SendMessageW(GetParent(), WM_FIELD_COMMIT, FieldId(m_hWnd), reinterpret_cast<LPARAM>(m_hWnd));
    return lr;
}

// Nothing to undo, and nothing undone (also from the context menu's Undo).
LRESULT CTabberWnd::OnOwnUndo(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT CTabberWnd::OnGetFieldError(UINT, WPARAM, LPARAM, BOOL&) { return m_bError ? 1 : 0; }

LRESULT CTabberWnd::OnSetFieldError(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    m_bError = wParam != 0;
    return 0;
}
