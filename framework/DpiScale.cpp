#include "framework/DpiScale.h"

#include <windows.h>

const CDpiScale& CDpiScale::FromScreen()
{
    // A system-aware process keeps the resolution it started with.
    static const CDpiScale s_scale = [] {
        HDC hdc = ::GetDC(nullptr);
        const CDpiScale scale(hdc ? ::GetDeviceCaps(hdc, LOGPIXELSX) : BASE_DPI,
                              hdc ? ::GetDeviceCaps(hdc, LOGPIXELSY) : BASE_DPI);
        if (hdc)
            ::ReleaseDC(nullptr, hdc);
        return scale;
    }();
    return s_scale;
}
