#pragma once
// Test support for the plot's drawing: the pixels of a drawing made through
// the control's own Draw into a memory bitmap.

#include <windows.h>

#include <cstdint>

// A 32-bit top-down bitmap with a DC to draw into.
class CPixels {
public:
    CPixels(int cx, int cy) : m_cx(cx), m_cy(cy)
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = cx;
        bi.bmiHeader.biHeight = -cy;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        HDC hdcScreen = ::GetDC(nullptr);
        m_hdc = ::CreateCompatibleDC(hdcScreen);
        ::ReleaseDC(nullptr, hdcScreen);
        void* pv = nullptr;
        m_hbm = ::CreateDIBSection(m_hdc, &bi, DIB_RGB_COLORS, &pv, nullptr, 0);
        m_pBits = static_cast<const std::uint32_t*>(pv);
        m_hOld = ::SelectObject(m_hdc, m_hbm);
    }
    ~CPixels()
    {
        ::SelectObject(m_hdc, m_hOld);
        ::DeleteObject(m_hbm);
        ::DeleteDC(m_hdc);
    }
    HDC Dc() const { return m_hdc; }
    RECT Rect() const { return RECT{0, 0, m_cx, m_cy}; }
    // RGB of a pixel (COLORREF order), outside the bitmap 0xFFFFFFFF.
    COLORREF At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= m_cx || y >= m_cy)
            return 0xFFFFFFFF;
        const std::uint32_t v = m_pBits[static_cast<size_t>(y) * m_cx + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // FNV-1a over every pixel's colour.
    std::uint64_t Hash() const
    {
        ::GdiFlush();
        std::uint64_t h = 0xcbf29ce484222325ull;
        for (int i = 0; i < m_cx * m_cy; ++i) {
            const std::uint32_t v = m_pBits[i] & 0x00FFFFFF;
            for (int b = 0; b < 3; ++b) {
                h ^= (v >> (8 * b)) & 0xFF;
                h *= 0x100000001b3ull;
            }
        }
        return h;
    }

private:
    int m_cx, m_cy;
    HDC m_hdc = nullptr;
    HBITMAP m_hbm = nullptr;
    HGDIOBJ m_hOld = nullptr;
    const std::uint32_t* m_pBits = nullptr;
};

// Whether colour c lies within d pixels of (x, y).
inline bool NearColour(const CPixels& px, int x, int y, COLORREF c, int d = 1)
{
    for (int dy = -d; dy <= d; ++dy)
        for (int dx = -d; dx <= d; ++dx)
            if (px.At(x + dx, y + dy) == c)
                return true;
    return false;
}
