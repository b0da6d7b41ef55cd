#pragma once
// CSiblingLink: this program's side of the link with the sibling
// cinema-processor program: the three registered messages it posts to the
// main frame (link start, link end, channel change) and the link window that
// is up while linked.
//
// The messages are posted to the frame, so whichever loop runs takes them:
// the program's own loop, or the loop of a modal dialog or message box (a
// firmware download keeps one up for minutes).  Both hand them here, and
// handling one twice changes nothing.

#include <windows.h>

#include <memory>

class CDlgPLM40Link;

class CSiblingLink {
public:
    CSiblingLink();
    ~CSiblingLink();
    CSiblingLink(const CSiblingLink&) = delete;
    CSiblingLink& operator=(const CSiblingLink&) = delete;

    // One of the three registered messages, for the frame hWndMain: acted on
    // and true; any other message: false.
    bool Handle(HWND hWndMain, UINT uMsg, WPARAM wParam, LPARAM lParam);

    // A link start from the sibling program's frame hWndSibling: link up and
    // answer, unless this very window is already linked (two programs that
    // both answer must not bounce link starts forever).
    void Start(HWND hWndSibling);
    void End();

    // A channel change from the sibling (WM_SELECT_CHANNEL) reaching the
    // frame hWndMain.  While a modal window of ours is up it is held (the
    // last one counts) and true is returned: the form must not change under
    // a dialog that works on the channel shown (Copy Channel, the speaker
    // library, Profile Information) or a question about it.  Every modal
    // dialog and message box of the program is owned by the frame or by a
    // window inside it, and a modal window disables its owner's top-level
    // window while it is up: a disabled frame is that one sign, whatever
    // the window.
    bool HoldChannelWhileModal(HWND hWndMain, WPARAM wParam);
    // The frame is enabled again (WM_ENABLE): the last channel change held
    // is posted again, so it is applied once the code that ran the modal
    // window has finished with it (a dialog's OK applies its result first).
    void ReleaseHeldChannel(HWND hWndMain);

    void OpenWindow(); // one link window at most
    void CloseWindow();
    bool HasWindow() const;

private:
    std::unique_ptr<CDlgPLM40Link> m_pdlgLink; // null when none
    bool m_bChannelHeld = false;
    WPARAM m_nHeldChannel = 0; // the sibling's number
};
