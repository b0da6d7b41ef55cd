#pragma once
// Process-wide state of the program shared by the shell and the editor: the
// registered messages of the sibling program link and the two frame windows.
// (It lives at the bottom of the layers because the editor form's channel
// buttons tell the sibling program too, not only the shell.)

#include <windows.h>

extern UINT g_uMsgChannelChange; // "PLMQVRCHANNELCHANGE"
extern UINT g_uMsgInitLink;      // "PLMQVRINITLINK"
extern UINT g_uMsgTermLink;      // "PLMQVRTERMLINK"
extern HWND g_hWndMain;          // this program's main frame
extern HWND g_hWndSibling;       // the linked sibling program's frame; null while unlinked
