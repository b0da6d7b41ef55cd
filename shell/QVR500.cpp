// Entry point of the QVR500 configuration program.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <cwchar>
#include <memory>

#include "framework/ExeModule.h"
#include "framework/Handles.h"
#include "resources/resource.h"
#include "framework/AppGlobals.h"
#include "shell/MainFrame.h"
#include "shell/MessageLoop.h"

namespace {

constexpr DWORD kCommonControlClasses = 0x3FF; // ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES

// When the sibling cinema-processor program runs, offer to link with it.
void OfferSiblingLink(CMainFrame& frame, CMessageLoop& loop)
{
    const HWND hWndSibling = ::FindWindowW(L"PLM40FRAME", nullptr);
    if (!hWndSibling)
        return;
    if (g_Module.ShowMessage(frame.m_hWnd, IDS_LINK_QUESTION, IDS_APP_TITLE, MB_YESNO) != IDYES)
        return;
    loop.OnLinkStart(hWndSibling);
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pszCmdLine, int)
{
    if (pszCmdLine && std::wcsstr(pszCmdLine, L"regserver"))
        return 0;

    ::CoInitialize(nullptr);
    g_Module.Init(hInstance);
    INITCOMMONCONTROLSEX icc{sizeof icc, kCommonControlClasses};
    ::InitCommonControlsEx(&icc);
    RegisterPlotClass();

    CAccelTable hAccel(::LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    auto pwndMainFrame = std::make_unique<CMainFrame>();
    g_hWndMain = pwndMainFrame->CreateFrame(IDR_MAINFRAME);

    CMessageLoop loop(*pwndMainFrame, hAccel);
    if (g_hWndMain) {
        OfferSiblingLink(*pwndMainFrame, loop);
        loop.Run();
    }

    hAccel.Reset();
    pwndMainFrame.reset();
    ::CoUninitialize();
    return 0;
}
