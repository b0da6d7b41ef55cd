#pragma once
// CStatusHelp: the status bar's first part.  While a menu item or a toolbar
// button is pointed at it shows that command's description; otherwise what
// the focused field says: that a typed value waits for Enter, or a red
// field's range.  The field's text comes back as soon as the pointer leaves
// the menu or the toolbar.

#include <windows.h>

#include <string>

class CStatusHelp {
public:
    void Attach(HWND hStatusBar) { m_hStatusBar = hStatusBar; }
    // The description of command nId (its string after the first newline);
    // nId < 1 (nothing pointed at) shows the field's text again.  A command
    // without a description leaves the part as it is.
    void ShowCommand(int nId);
    // What the focused field says (empty: nothing); shown at once unless a
    // command's description is up.
    void SetFieldText(const wchar_t* pszText);
    const std::wstring& GetFieldText() const { return m_fieldText; }
    // That a typed value waits to be applied (empty: nothing waits).  It
    // comes before the field's range: a waiting value is in range, and the
    // user must learn that Enter applies it.
    void SetWaitingText(const wchar_t* pszText);

private:
    void Show(const wchar_t* pszText);
    void ShowFieldSide();

    HWND m_hStatusBar = nullptr;
    std::wstring m_fieldText;
    std::wstring m_waitingText;
    bool m_bCommandShown = false;
};
