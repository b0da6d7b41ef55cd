#include "shell/DlgPLM40Link.h"

#include "framework/AppGlobals.h"

LRESULT CDlgPLM40Link::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    // Icons loaded from resources are shared: nothing to destroy.
    hQVR = ::LoadIconW(g_Module.GetInstance(), MAKEINTRESOURCEW(IDI_QVR500));
    hPLM = ::LoadIconW(g_Module.GetInstance(), MAKEINTRESOURCEW(IDI_PLM40));
    ::SendDlgItemMessageW(m_hWnd, IDC_LINK_QVR, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(hQVR));
    ::SendDlgItemMessageW(m_hWnd, IDC_LINK_PLM, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(hPLM));
    return TRUE;
}

LRESULT CDlgPLM40Link::OnQVR(UINT, WPARAM, LPARAM, BOOL&)
{
    ::SetForegroundWindow(g_hWndMain);
    return 0;
}

LRESULT CDlgPLM40Link::OnPLM(UINT, WPARAM, LPARAM, BOOL&)
{
    ::SetForegroundWindow(g_hWndSibling);
    return 0;
}

LRESULT CDlgPLM40Link::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    return 0; // Esc does not close the link window; only the link's end does
}
