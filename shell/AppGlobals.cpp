#include "shell/AppGlobals.h"

// Registered during static initialisation, in this order, so that both
// programs obtain the same ids.
UINT g_uMsgChannelChange = ::RegisterWindowMessageW(L"PLMQVRCHANNELCHANGE");
UINT g_uMsgInitLink = ::RegisterWindowMessageW(L"PLMQVRINITLINK");
UINT g_uMsgTermLink = ::RegisterWindowMessageW(L"PLMQVRTERMLINK");
HWND g_hWndMain = nullptr;
HWND g_hWndSibling = nullptr;

ATOM RegisterPlotClass()
{
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = nullptr;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"QVRXOPlot";
    return ::RegisterClassW(&wc);
}
