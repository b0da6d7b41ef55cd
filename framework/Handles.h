#pragma once
// RAII owners for kernel and GDI handles: copy deleted, move allowed.

#include <windows.h>
#include <utility>

template <class Traits>
class CUniqueHandle {
public:
    using type = typename Traits::type;

    CUniqueHandle() noexcept : m_h(Traits::Invalid()) {}
    explicit CUniqueHandle(type h) noexcept : m_h(h) {}
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& o) noexcept : m_h(o.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& o) noexcept
    {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }
    ~CUniqueHandle() { Reset(); }

    type Get() const noexcept { return m_h; }
    operator type() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != Traits::Invalid(); }

    type Release() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    void Reset(type h = Traits::Invalid()) noexcept
    {
        type old = std::exchange(m_h, h);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

private:
    type m_h;
};

struct KernelHandleTraits {
    using type = HANDLE;
    static type Invalid() { return nullptr; }
    static void Close(type h) { ::CloseHandle(h); }
};
// Files and pipe ends use INVALID_HANDLE_VALUE as "none".
struct FileHandleTraits {
    using type = HANDLE;
    static type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(type h) { ::CloseHandle(h); }
};
template <class T>
struct GdiObjectTraits {
    using type = T;
    static type Invalid() { return nullptr; }
    static void Close(type h) { ::DeleteObject(h); }
};
struct DCTraits {
    using type = HDC;
    static type Invalid() { return nullptr; }
    static void Close(type h) { ::DeleteDC(h); }
};
struct IconTraits {
    using type = HICON;
    static type Invalid() { return nullptr; }
    static void Close(type h) { ::DestroyIcon(h); }
};
struct AccelTraits {
    using type = HACCEL;
    static type Invalid() { return nullptr; }
    static void Close(type h) { ::DestroyAcceleratorTable(h); }
};
struct MenuTraits {
    using type = HMENU;
    static type Invalid() { return nullptr; }
    static void Close(type h) { ::DestroyMenu(h); }
};

using CHandle = CUniqueHandle<KernelHandleTraits>;
using CFileHandle = CUniqueHandle<FileHandleTraits>;
using CFont = CUniqueHandle<GdiObjectTraits<HFONT>>;
using CPen = CUniqueHandle<GdiObjectTraits<HPEN>>;
using CBrush = CUniqueHandle<GdiObjectTraits<HBRUSH>>;
using CBitmap = CUniqueHandle<GdiObjectTraits<HBITMAP>>;
using CRgn = CUniqueHandle<GdiObjectTraits<HRGN>>;
using CMemDC = CUniqueHandle<DCTraits>;
using CIcon = CUniqueHandle<IconTraits>;
using CAccelTable = CUniqueHandle<AccelTraits>;
using CMenu = CUniqueHandle<MenuTraits>;

// A font of one face, cell height and weight, every other attribute left at its default.
inline HFONT CreateFaceFont(int nHeight, int nWeight, const wchar_t* pszFace)
{
    return ::CreateFontW(nHeight, 0, 0, 0, nWeight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, pszFace);
}

// Selects an object into a DC and restores the previous one into that same
// DC when it goes out of scope.
class CSelectObject {
public:
    CSelectObject(HDC hdc, HGDIOBJ hObj) noexcept : m_hdc(hdc), m_hOld(::SelectObject(hdc, hObj)) {}
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;
    ~CSelectObject()
    {
        if (m_hOld && m_hOld != HGDI_ERROR)
            ::SelectObject(m_hdc, m_hOld);
    }

private:
    HDC m_hdc;
    HGDIOBJ m_hOld;
};

// SaveDC / RestoreDC pair.
class CSaveDC {
public:
    explicit CSaveDC(HDC hdc) noexcept : m_hdc(hdc), m_nSaved(::SaveDC(hdc)) {}
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;
    ~CSaveDC()
    {
        if (m_nSaved)
            ::RestoreDC(m_hdc, m_nSaved);
    }

private:
    HDC m_hdc;
    int m_nSaved;
};

// BeginPaint / EndPaint pair.
class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) noexcept : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    operator HDC() const noexcept { return m_hDC; }
    const PAINTSTRUCT& Info() const noexcept { return m_ps; }

private:
    HWND m_hWnd;
    HDC m_hDC;
    PAINTSTRUCT m_ps{};
};

// GetDC / ReleaseDC pair (nullptr window: the screen).
class CClientDC {
public:
    explicit CClientDC(HWND hWnd) noexcept : m_hWnd(hWnd), m_hDC(::GetDC(hWnd)) {}
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    ~CClientDC()
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    operator HDC() const noexcept { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// A critical section and its scoped lock.
class CCriticalSection {
public:
    CCriticalSection() noexcept { ::InitializeCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    void Enter() noexcept { ::EnterCriticalSection(&m_cs); }
    void Leave() noexcept { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CLock {
public:
    explicit CLock(CCriticalSection& cs) noexcept : m_cs(cs) { m_cs.Enter(); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
    ~CLock() { m_cs.Leave(); }

private:
    CCriticalSection& m_cs;
};
