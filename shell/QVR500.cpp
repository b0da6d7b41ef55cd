// Entry point of the QVR500 configuration program.
#include <windows.h>
#include <commctrl.h>
#include <cwchar>

#include "framework/ExeModule.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pszCmdLine, int)
{
    if (pszCmdLine && std::wcsstr(pszCmdLine, L"regserver"))
        return 0;
    g_Module.Init(hInstance);
    INITCOMMONCONTROLSEX icc{sizeof icc, 0x3FF};
    ::InitCommonControlsEx(&icc);
    return 0;
}
