#include "shell/SiblingLink.h"

#include "framework/AppGlobals.h"
#include "framework/AppMessages.h"
#include "shell/DlgPLM40Link.h"

CSiblingLink::CSiblingLink() = default;

CSiblingLink::~CSiblingLink() { CloseWindow(); }

bool CSiblingLink::Handle(HWND hWndMain, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == 0)
        return false; // a message that could not be registered matches nothing
    if (uMsg == g_uMsgChannelChange) {
        // Posted, not sent: the channel changes once the current message is done.
        ::PostMessageW(hWndMain, WM_SELECT_CHANNEL, wParam, 0);
        return true;
    }
    if (uMsg == g_uMsgInitLink) {
        Start(reinterpret_cast<HWND>(lParam));
        return true;
    }
    if (uMsg == g_uMsgTermLink) {
        End();
        return true;
    }
    return false;
}

void CSiblingLink::Start(HWND hWndSibling)
{
    const bool bAnswer = hWndSibling != g_hWndSibling;
    g_hWndSibling = hWndSibling;
    OpenWindow();
    if (bAnswer && hWndSibling)
        ::PostMessageW(hWndSibling, g_uMsgInitLink, 0, reinterpret_cast<LPARAM>(g_hWndMain));
}

void CSiblingLink::End()
{
    g_hWndSibling = nullptr;
    CloseWindow();
}

bool CSiblingLink::HoldChannelWhileModal(HWND hWndMain, WPARAM wParam)
{
    if (!::IsWindow(hWndMain) || ::IsWindowEnabled(hWndMain))
        return false;
    m_bChannelHeld = true;
    m_nHeldChannel = wParam;
    return true;
}

void CSiblingLink::ReleaseHeldChannel(HWND hWndMain)
{
    if (!m_bChannelHeld)
        return;
    m_bChannelHeld = false;
    // Posted: it arrives after the modal window's caller has returned, and
    // if another modal window is up by then it is held again.
    ::PostMessageW(hWndMain, WM_SELECT_CHANNEL, m_nHeldChannel, 0);
}

void CSiblingLink::OpenWindow()
{
    // One link window at most: a link start while one is up keeps it.
    if (m_pdlgLink && m_pdlgLink->IsWindow())
        return;
    m_pdlgLink = std::make_unique<CDlgPLM40Link>();
    if (!m_pdlgLink->Create(::GetDesktopWindow()))
        m_pdlgLink.reset();
}

void CSiblingLink::CloseWindow()
{
    if (!m_pdlgLink)
        return;
    if (m_pdlgLink->IsWindow())
        m_pdlgLink->DestroyWindow();
    m_pdlgLink.reset();
}

bool CSiblingLink::HasWindow() const { return m_pdlgLink && m_pdlgLink->IsWindow(); }
