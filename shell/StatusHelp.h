#pragma once
// CStatusHelp: the status bar's first part.  While a menu item or a toolbar
// button is pointed at it shows that command's description; otherwise the
// focused field's text (a red field's range), which comes back as soon as
// the pointer leaves the menu or the toolbar.

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

private:
    void Show(const wchar_t* pszText);

    HWND m_hStatusBar = nullptr;
    std::wstring m_fieldText;
    bool m_bCommandShown = false;
};
