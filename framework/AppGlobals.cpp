#include "framework/AppGlobals.h"

// Registered during static initialisation, in this order, so that both
// programs obtain the same ids.
UINT g_uMsgChannelChange = ::RegisterWindowMessageW(L"PLMQVRCHANNELCHANGE");
UINT g_uMsgInitLink = ::RegisterWindowMessageW(L"PLMQVRINITLINK");
UINT g_uMsgTermLink = ::RegisterWindowMessageW(L"PLMQVRTERMLINK");
HWND g_hWndMain = nullptr;
HWND g_hWndSibling = nullptr;
