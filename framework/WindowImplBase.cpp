#include "framework/WindowImplBase.h"

CWindowImplBase::~CWindowImplBase()
{
    // A window that outlives its object must not call into freed memory.
    // (When someone subclassed the window after us our procedure stays in
    // their chain; without the property it finds no object and passes the
    // messages to the default procedure.)
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        if (m_pfnSuperWindowProc == ::DefWindowProcW || !UnsubclassWindow())
            ::RemovePropW(m_hWnd, OBJECT_PROPERTY);
    }
}

CWindowImplBase* CWindowImplBase::FromHandle(HWND hWnd)
{
    return static_cast<CWindowImplBase*>(::GetPropW(hWnd, OBJECT_PROPERTY));
}

void CWindowImplBase::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropW(hWnd, OBJECT_PROPERTY, this);
}

BOOL CWindowImplBase::SubclassWindow(HWND hWnd)
{
    if (m_hWnd || !::IsWindow(hWnd))
        return FALSE;
    Attach(hWnd);
    m_pfnSuperWindowProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetWindowProc())));
    return TRUE;
}

HWND CWindowImplBase::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (!hWnd)
        return nullptr;
    if (::GetWindowLongPtrW(hWnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&CWindowImplBase::WindowProc))
        return nullptr;
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
    ::RemovePropW(hWnd, OBJECT_PROPERTY);
    m_pfnSuperWindowProc = ::DefWindowProcW;
    m_hWnd = nullptr;
    return hWnd;
}

LRESULT CWindowImplBase::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_pfnSuperWindowProc, m_hWnd, uMsg, wParam, lParam);
}

BOOL CWindowImplBase::RouteMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    return ProcessWindowMessage(m_hWnd, uMsg, wParam, lParam, lResult, 0);
}

LRESULT CALLBACK CWindowImplBase::StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        auto* pcs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* pThis = static_cast<CWindowImplBase*>(pcs->lpCreateParams);
        if (pThis) {
            pThis->Attach(hWnd);
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pThis->GetWindowProc()));
            return WindowProc(hWnd, uMsg, wParam, lParam);
        }
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowImplBase::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWindowImplBase* pThis = FromHandle(hWnd);
    if (!pThis)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    LRESULT lResult = 0;
    BOOL bRet = pThis->RouteMessage(uMsg, wParam, lParam, lResult);
    if (uMsg == WM_NCDESTROY) {
        // The last message: let the original procedure see it, then detach.
        WNDPROC pfnSuper = pThis->m_pfnSuperWindowProc;
        if (!bRet)
            lResult = ::CallWindowProcW(pfnSuper, hWnd, uMsg, wParam, lParam);
        if (pfnSuper != ::DefWindowProcW &&
            ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(pThis->GetWindowProc()))
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnSuper));
        ::RemovePropW(hWnd, OBJECT_PROPERTY);
        pThis->m_hWnd = nullptr;
        pThis->m_pfnSuperWindowProc = ::DefWindowProcW;
        pThis->OnFinalMessage(hWnd);
        return lResult;
    }
    if (!bRet)
        lResult = pThis->DefWindowProc(uMsg, wParam, lParam);
    return lResult;
}
