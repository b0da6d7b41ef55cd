#pragma once
// Process-wide state of the shell shared with the editor: the registered
// messages of the sibling program link and the two frame windows.

#include <windows.h>

extern UINT g_uMsgChannelChange; // "PLMQVRCHANNELCHANGE"
extern UINT g_uMsgInitLink;      // "PLMQVRINITLINK"
extern UINT g_uMsgTermLink;      // "PLMQVRTERMLINK"
extern HWND g_hWndMain;          // this program's main frame
extern HWND g_hWndSibling;       // the linked sibling program's frame; null while unlinked

// Registers the window class "QVRXOPlot" of the response plot control, which
// the editor form's template creates; returns the class atom.
ATOM RegisterPlotClass();
