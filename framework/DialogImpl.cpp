#include "framework/DialogImpl.h"

INT_PTR CDialogImplBase::DoModalTemplate(UINT nIdd, HWND hWndParent)
{
    return ::DialogBoxParamW(g_Module.GetInstance(), MAKEINTRESOURCEW(nIdd), hWndParent, StartDialogProc,
                             reinterpret_cast<LPARAM>(this));
}

HWND CDialogImplBase::CreateTemplate(UINT nIdd, HWND hWndParent)
{
    return ::CreateDialogParamW(g_Module.GetInstance(), MAKEINTRESOURCEW(nIdd), hWndParent, StartDialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogImplBase::StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        auto* pThis = reinterpret_cast<CDialogImplBase*>(lParam);
        pThis->Attach(hWnd);
        ::SetWindowLongPtrW(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(DialogProc));
        return DialogProc(hWnd, uMsg, wParam, lParam);
    }
    return FALSE;
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = static_cast<CDialogImplBase*>(FromHandle(hWnd));
    if (!pThis)
        return FALSE;
    LRESULT lResult = 0;
    BOOL bRet = pThis->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0);
    if (uMsg == WM_NCDESTROY) {
        ::RemovePropW(hWnd, OBJECT_PROPERTY);
        pThis->m_hWnd = nullptr;
        pThis->OnFinalMessage(hWnd);
        return bRet;
    }
    if (!bRet)
        return FALSE;
    switch (uMsg) {
    // These return their result directly instead of through DWLP_MSGRESULT.
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(lResult);
    default:
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
        return TRUE;
    }
}
