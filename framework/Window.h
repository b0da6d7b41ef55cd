#pragma once
// A thin, non-owning wrapper of a window handle with the helpers the
// program's windows use.

#include <windows.h>
#include <string>

class CWindow {
public:
    HWND m_hWnd = nullptr;

    CWindow(HWND hWnd = nullptr) noexcept : m_hWnd(hWnd) {}
    operator HWND() const noexcept { return m_hWnd; }
    bool IsWindow() const noexcept { return m_hWnd && ::IsWindow(m_hWnd); }

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
    }
    BOOL PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
    }
    HWND GetDlgItem(int nId) const { return ::GetDlgItem(m_hWnd, nId); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    BOOL SetWindowText(const wchar_t* psz) const { return ::SetWindowTextW(m_hWnd, psz); }
    std::wstring GetWindowText() const
    {
        int n = ::GetWindowTextLengthW(m_hWnd);
        std::wstring s(static_cast<size_t>(n > 0 ? n : 0) + 1, L'\0');
        int got = ::GetWindowTextW(m_hWnd, s.data(), static_cast<int>(s.size()));
        s.resize(static_cast<size_t>(got > 0 ? got : 0));
        return s;
    }
    BOOL ShowWindow(int nCmd) const { return ::ShowWindow(m_hWnd, nCmd); }
    BOOL EnableWindow(BOOL bEnable) const { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL Invalidate(BOOL bErase = TRUE) const { return ::InvalidateRect(m_hWnd, nullptr, bErase); }
    BOOL GetClientRect(RECT* prc) const { return ::GetClientRect(m_hWnd, prc); }
    BOOL GetWindowRect(RECT* prc) const { return ::GetWindowRect(m_hWnd, prc); }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    BOOL DestroyWindow()
    {
        BOOL b = ::DestroyWindow(m_hWnd);
        return b;
    }
    BOOL SetWindowPos(HWND hAfter, int x, int y, int cx, int cy, UINT uFlags) const
    {
        return ::SetWindowPos(m_hWnd, hAfter, x, y, cx, cy, uFlags);
    }
};
