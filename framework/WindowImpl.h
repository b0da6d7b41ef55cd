#pragma once
// Window implementation for windows of a class of our own.  The derived
// class T describes its class by a static GetWndClassInfo() and creates the
// window with Create().

#include "framework/ExeModule.h"
#include "framework/WindowImplBase.h"

struct CWndClassInfo {
    const wchar_t* pszClassName;
    UINT uStyle;
    HBRUSH hbrBackground;  // e.g. (HBRUSH)(COLOR_BTNFACE + 1)
    LPCWSTR pszCursor;     // IDC_ARROW
};

template <class T>
class CWindowImpl : public CWindowImplBase {
public:
    // Registers the class once (ignored when already registered).
    static ATOM Register()
    {
        const CWndClassInfo info = T::GetWndClassInfo();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        if (::GetClassInfoExW(g_Module.GetInstance(), info.pszClassName, &wc))
            return 1;
        wc.cbSize = sizeof wc;
        wc.style = info.uStyle;
        wc.lpfnWndProc = StartWindowProc;
        wc.hInstance = g_Module.GetInstance();
        wc.hCursor = ::LoadCursorW(nullptr, info.pszCursor ? info.pszCursor : IDC_ARROW);
        wc.hbrBackground = info.hbrBackground;
        wc.lpszClassName = info.pszClassName;
        return ::RegisterClassExW(&wc);
    }

    HWND Create(HWND hWndParent, const RECT& rc, const wchar_t* pszName, DWORD dwStyle, DWORD dwExStyle = 0,
                HMENU hMenuOrId = nullptr)
    {
        Register();
        return ::CreateWindowExW(dwExStyle, T::GetWndClassInfo().pszClassName, pszName, dwStyle, rc.left, rc.top,
                                 rc.right - rc.left, rc.bottom - rc.top, hWndParent, hMenuOrId,
                                 g_Module.GetInstance(), static_cast<CWindowImplBase*>(this));
    }
};
