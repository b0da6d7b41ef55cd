#include "shell/StatusHelp.h"

#include <commctrl.h>

#include <cwchar>

#include "framework/AppGlobals.h"
#include "framework/ExeModule.h"

namespace {
constexpr int kDescriptionChars = 256;
constexpr size_t kFieldTextChars = 255;
} // namespace

void CStatusHelp::Show(const wchar_t* pszText)
{
    if (m_hStatusBar)
        ::SendMessageW(m_hStatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(pszText));
}

void CStatusHelp::ShowCommand(int nId)
{
    if (nId < 1) {
        m_bCommandShown = false;
        ShowFieldSide();
        return;
    }
    wchar_t szText[kDescriptionChars];
    if (!g_Module.LoadString(static_cast<UINT>(nId), szText, kDescriptionChars))
        return;
    const wchar_t* pszNewline = std::wcschr(szText, L'\n');
    if (!pszNewline)
        return;
    m_bCommandShown = true;
    Show(pszNewline + 1);
}

namespace {
// A status text is one line: bounded, whatever the sender passed.
std::wstring BoundedText(const wchar_t* pszText)
{
    return pszText ? std::wstring(pszText, ::wcsnlen(pszText, kFieldTextChars)) : std::wstring();
}
} // namespace

void CStatusHelp::ShowFieldSide()
{
    Show(m_waitingText.empty() ? m_fieldText.c_str() : m_waitingText.c_str());
}

void CStatusHelp::SetFieldText(const wchar_t* pszText)
{
    m_fieldText = BoundedText(pszText);
    if (!m_bCommandShown)
        ShowFieldSide();
}

void CStatusHelp::SetWaitingText(const wchar_t* pszText)
{
    m_waitingText = BoundedText(pszText);
    if (!m_bCommandShown)
        ShowFieldSide();
}
