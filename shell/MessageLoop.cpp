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

    // The sibling program's messages; a link end goes on to its window like
    // any other message (the frame, which handles it once more to no effect).
    if (m_Frame.SiblingLink().Handle(hWndMain, msg.message, msg.wParam, msg.lParam) &&
        msg.message != g_uMsgTermLink)
        return;

    if (!::TranslateAcceleratorW(hWndMain, m_hAccel, &msg))
        ::DispatchMessageW(&msg);
}

void CMessageLoop::OnLinkStart(HWND hWndSibling) { m_Frame.SiblingLink().Start(hWndSibling); }

void CMessageLoop::OnLinkEnd() { m_Frame.SiblingLink().End(); }
