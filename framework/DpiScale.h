#pragma once
// The screen's resolution against the 96 dpi that every pixel figure of the
// drawing (plot, meters, pixel-height fonts) was laid out for: sx = dpiX / 96
// and sy = dpiY / 96, the factors the main frame sizes itself with.  A pixel
// quantity n becomes n * s rounded to the nearest pixel, so at 96 dpi every
// figure stays exactly what it was.
//
// The program is system-DPI aware (resources/QVR500.manifest): the
// resolution is the one the session started with, the same for every window
// for the whole run; Windows stretches the program's windows on a monitor of
// another resolution, as Wine, which has one resolution for all monitors,
// never needs to.
//
// Portable apart from FromScreen, which reads the screen (Win32 only).

#include <cmath>

class CDpiScale {
public:
    static constexpr int BASE_DPI = 96;
    // Resolutions outside this range (a broken registry value) are taken at
    // its ends: Windows offers 96 .. 480 dpi, Wine any value.
    static constexpr int MIN_DPI = 48;
    static constexpr int MAX_DPI = 480;

    CDpiScale() = default;
    CDpiScale(int nDpiX, int nDpiY)
        : m_nDpiX(Bound(nDpiX)), m_nDpiY(Bound(nDpiY)),
          m_sx(static_cast<double>(m_nDpiX) / BASE_DPI), m_sy(static_cast<double>(m_nDpiY) / BASE_DPI)
    {
    }
    // The screen's logical resolution (LOGPIXELSX, LOGPIXELSY), read once.
    static const CDpiScale& FromScreen();

    int GetDpiX() const { return m_nDpiX; }
    int GetDpiY() const { return m_nDpiY; }
    double GetScaleX() const { return m_sx; }
    double GetScaleY() const { return m_sy; }
    bool IsUnscaled() const { return m_nDpiX == BASE_DPI && m_nDpiY == BASE_DPI; }

    // A horizontal / vertical quantity of 96-dpi pixels at this resolution,
    // rounded to the nearest pixel (halves away from zero).
    int X(int n) const { return Round(n * m_sx); }
    int Y(int n) const { return Round(n * m_sy); }

    bool operator==(const CDpiScale& o) const { return m_nDpiX == o.m_nDpiX && m_nDpiY == o.m_nDpiY; }
    bool operator!=(const CDpiScale& o) const { return !(*this == o); }

private:
    static int Bound(int nDpi)
    {
        if (nDpi <= 0)
            return BASE_DPI; // no answer from the screen
        return nDpi < MIN_DPI ? MIN_DPI : (nDpi > MAX_DPI ? MAX_DPI : nDpi);
    }
    static int Round(double v) { return static_cast<int>(std::lround(v)); }

    int m_nDpiX = BASE_DPI;
    int m_nDpiY = BASE_DPI;
    double m_sx = 1.0;
    double m_sy = 1.0;
};
