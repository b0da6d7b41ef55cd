#pragma once
// CFrameBars: the frame's toolbar and status bar.  The toolbar holds the
// buttons in their order with their tooltips (the first line of each
// command's string) and the mute button's two pictures; the status bar's
// first part is the command help (CStatusHelp), its second the connection
// indicator, "Connected" in black on green or "Disconnected" in yellow on
// red, whose colours always follow its words.  The frame lays the bars out
// and routes the tooltips' requests here; the six meters sit over the
// toolbar's right end (CMeterStrip).

#include <windows.h>
#include <commctrl.h>

#include "framework/ContainedWindow.h"
#include "framework/Handles.h"
#include "framework/MessageMap.h"

class CFrameBars : public CMessageMap {
public:
    CFrameBars();
    CFrameBars(const CFrameBars&) = delete;
    CFrameBars& operator=(const CFrameBars&) = delete;

    // Both bars as children of hFrame, the indicator showing "Disconnected".
    void Create(HWND hFrame);
    // Their font and brushes go (the windows go with the frame).
    void Destroy();

    // After the frame's WM_SIZE (passed on to the status bar): the toolbar
    // along the top, the indicator in its part.  Returns the toolbar's height.
    int Layout(UINT uMsg, WPARAM wParam, LPARAM lParam);

    // The buttons and the indicator from the link's state.
    void ShowConnection(bool bConnected, bool bConnectEnabled, bool bMuted);
    void EnableConnectButton(bool bEnabled);

    // The tooltip's text for the button in pInfo (the first line of its command's string).
    static void FillTip(NMTTDISPINFOA& info);
    static void FillTip(NMTTDISPINFOW& info);

    CContainedWindow& ToolBar() { return m_wndToolBar; }
    CContainedWindow& StatusBar() { return m_wndStatusBar; }
    // Whether the point (screen coordinates) is over the toolbar.
    bool IsOverToolBar(POINT pt);

    BEGIN_MSG_MAP(CFrameBars)
        MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnCtlColorStatic) // of the bars' children
    END_MSG_MAP()

    LRESULT OnCtlColorStatic(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

private:
    void CreateToolBar(HWND hFrame);
    void CreateStatusBar(HWND hFrame);

    CContainedWindow m_wndToolBar;
    CContainedWindow m_wndStatusBar;
    CWindow m_wndStatusText;
    // What the status text shows, so its colours always match its words.
    bool m_bShownConnected = false;
    CBrush m_hbrConnected;
    CBrush m_hbrDisconnected;
    CFont m_fntTabFont;
};
