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

    void OpenWindow(); // one link window at most
    void CloseWindow();
    bool HasWindow() const;

private:
    std::unique_ptr<CDlgPLM40Link> m_pdlgLink; // null when none
};
