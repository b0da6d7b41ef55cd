#pragma once
// CMessageLoop: the program's one message loop.  It discards the mouse
// wheel, routes key presses through dialog navigation among the frame's
// controls (Undo and Redo keys excepted: they are accelerators first),
// handles the sibling program's link messages and applies the accelerator
// table with the main frame as target.

#include <windows.h>

class CMainFrame;

class CMessageLoop {
public:
    CMessageLoop(CMainFrame& frame, HACCEL hAccel) : m_Frame(frame), m_hAccel(hAccel) {}

    // Runs until WM_QUIT; returns its exit code.
    int Run();
    // One message through the filters (what Run does for each message).
    void ProcessMessage(MSG& msg);

    // A link start from the sibling program's frame hWndSibling: link up and
    // answer, unless this very window is already linked (two programs that
    // both answer must not bounce link starts forever).
    void OnLinkStart(HWND hWndSibling);
    void OnLinkEnd();

private:
    CMainFrame& m_Frame;
    HACCEL m_hAccel;
};
