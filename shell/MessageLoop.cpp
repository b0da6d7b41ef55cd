#include "shell/MessageLoop.h"

#include "framework/AppGlobals.h"
#include "framework/AppMessages.h"
#include "shell/MainFrame.h"

namespace {

bool IsArrowKey(WPARAM vk)
{
    return vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN;
}

// Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z: Undo and Redo, also while a field has the
// focus.  They go to the accelerators before dialog navigation would hand
// them to the field, whose edit control would undo its own text.
bool IsUndoRedoKey(const MSG& msg)
{
    return msg.message == WM_KEYDOWN && (msg.wParam == 'Z' || msg.wParam == 'Y') && ::GetKeyState(VK_CONTROL) < 0 &&
           ::GetKeyState(VK_MENU) >= 0;
}

bool IsButton(HWND hWnd)
{
    wchar_t szClass[251] = {};
    ::GetClassNameW(hWnd, szClass, 251);
    return ::lstrcmpiW(szClass, L"Button") == 0;
}

} // namespace

int CMessageLoop::Run()
{
    MSG msg;
    for (;;) {
        const BOOL bRet = ::GetMessageW(&msg, nullptr, 0, 0);
        if (bRet == 0 || bRet == -1)
            break;
        ProcessMessage(msg);
    }
    return 0;
}

void CMessageLoop::ProcessMessage(MSG& msg)
{
    const HWND hWndMain = m_Frame.m_hWnd;

    // No window of the program ever sees the wheel.
    if (msg.message == WM_MOUSEWHEEL)
        return;

    if (IsUndoRedoKey(msg) && ::TranslateAcceleratorW(hWndMain, m_hAccel, &msg))
        return;

    if (msg.message == WM_KEYDOWN && ::IsDialogMessageW(hWndMain, &msg)) {
        // The control has already had this key-down.  An arrow key that moved
        // within a non-button control is finished; anything else may still be
        // an accelerator (Ctrl+S, F2, F3 work while a field has the focus),
        // but it is not dispatched a second time, so no control acts twice on
        // one key press.
        if (IsArrowKey(msg.wParam) && !IsButton(msg.hwnd))
            return;
        ::TranslateAcceleratorW(hWndMain, m_hAccel, &msg);
        return;
    }

    if (msg.message == g_uMsgChannelChange) {
        ::PostMessageW(hWndMain, WM_SELECT_CHANNEL, msg.wParam, 0);
        return;
    }
    if (msg.message == g_uMsgInitLink) {
        OnLinkStart(reinterpret_cast<HWND>(msg.lParam));
        return;
    }
    if (msg.message == g_uMsgTermLink)
        OnLinkEnd(); // and on to the frame like any other message

    if (!::TranslateAcceleratorW(hWndMain, m_hAccel, &msg))
        ::DispatchMessageW(&msg);
}

void CMessageLoop::OnLinkStart(HWND hWndSibling)
{
    const bool bAnswer = hWndSibling != g_hWndSibling;
    g_hWndSibling = hWndSibling;
    m_Frame.OpenLinkWindow();
    if (bAnswer && hWndSibling)
        ::PostMessageW(hWndSibling, g_uMsgInitLink, 0, reinterpret_cast<LPARAM>(g_hWndMain));
}

void CMessageLoop::OnLinkEnd()
{
    g_hWndSibling = nullptr;
    m_Frame.CloseLinkWindow();
}
