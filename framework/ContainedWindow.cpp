#include "framework/ContainedWindow.h"
#include "framework/ExeModule.h"

HWND CContainedWindow::Create(HWND hWndParent, const RECT& rc, const wchar_t* pszName, DWORD dwStyle,
                              DWORD dwExStyle, UINT nId)
{
    HWND hWnd = ::CreateWindowExW(dwExStyle, m_pszClassName, pszName, dwStyle, rc.left, rc.top, rc.right - rc.left,
                                  rc.bottom - rc.top, hWndParent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nId)),
                                  g_Module.GetInstance(), nullptr);
    if (hWnd)
        SubclassWindow(hWnd);
    return hWnd;
}

BOOL CContainedWindow::RouteMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (!m_pObject)
        return FALSE;
    return m_pObject->ProcessWindowMessage(m_hWnd, uMsg, wParam, lParam, lResult, m_dwMsgMapID);
}
