// A stand-in for the sibling cinema-processor program in the end-to-end
// tests: a top-level window of the sibling's class "PLM40FRAME" that prints
// every link message it receives and, on commands read from stdin, posts
// link start, channel change and link end to this program's frame.
//
//   sibling-standin.exe [--answer]
//     --answer   answer every link start received with a link start (a
//                sibling that always answers; this program must not bounce)
//   stdin:   init | channel N | term | quit       (one per line)
//   stdout:  ready 0xHWND, then one line per message received:
//            init 0xFROM | channel N | term

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

UINT g_uChannel = ::RegisterWindowMessageW(L"PLMQVRCHANNELCHANGE");
UINT g_uInit = ::RegisterWindowMessageW(L"PLMQVRINITLINK");
UINT g_uTerm = ::RegisterWindowMessageW(L"PLMQVRTERMLINK");
constexpr UINT WM_STDIN_COMMAND = WM_APP + 1; // wParam: command, lParam: argument
enum { CMD_INIT = 1, CMD_CHANNEL, CMD_TERM, CMD_QUIT };

bool g_bAnswer = false;
HWND g_hWndSelf = nullptr;
HWND g_hWndPeer = nullptr; // the frame that started the link, or the one found

HWND Peer()
{
    if (g_hWndPeer && ::IsWindow(g_hWndPeer))
        return g_hWndPeer;
    return ::FindWindowW(L"QVR500FRAME", nullptr);
}

void Say(const char* psz)
{
    std::fputs(psz, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    char sz[64];
    if (uMsg == g_uInit) {
        g_hWndPeer = reinterpret_cast<HWND>(lParam);
        // The answer goes out before the line is printed: a test that has
        // read the line knows the answer is already on its way.
        if (g_bAnswer)
            ::PostMessageW(g_hWndPeer, g_uInit, 0, reinterpret_cast<LPARAM>(hWnd));
        std::snprintf(sz, sizeof sz, "init 0x%llx", static_cast<unsigned long long>(lParam));
        Say(sz);
        return 0;
    }
    if (uMsg == g_uChannel) {
        std::snprintf(sz, sizeof sz, "channel %u", static_cast<unsigned>(wParam));
        Say(sz);
        return 0;
    }
    if (uMsg == g_uTerm) {
        Say("term");
        return 0;
    }
    switch (uMsg) {
    case WM_STDIN_COMMAND:
        switch (wParam) {
        case CMD_INIT:
            ::PostMessageW(Peer(), g_uInit, 0, reinterpret_cast<LPARAM>(hWnd));
            break;
        case CMD_CHANNEL:
            ::PostMessageW(Peer(), g_uChannel, static_cast<WPARAM>(lParam), 0);
            break;
        case CMD_TERM:
            ::PostMessageW(Peer(), g_uTerm, 0, 0);
            break;
        case CMD_QUIT:
            ::DestroyWindow(hWnd);
            break;
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
}

DWORD WINAPI StdinThread(LPVOID)
{
    char szLine[128];
    while (std::fgets(szLine, sizeof szLine, stdin)) {
        int nArg = 0;
        if (std::strncmp(szLine, "init", 4) == 0)
            ::PostMessageW(g_hWndSelf, WM_STDIN_COMMAND, CMD_INIT, 0);
        else if (std::sscanf(szLine, "channel %d", &nArg) == 1)
            ::PostMessageW(g_hWndSelf, WM_STDIN_COMMAND, CMD_CHANNEL, nArg);
        else if (std::strncmp(szLine, "term", 4) == 0)
            ::PostMessageW(g_hWndSelf, WM_STDIN_COMMAND, CMD_TERM, 0);
        else if (std::strncmp(szLine, "quit", 4) == 0)
            break;
    }
    ::PostMessageW(g_hWndSelf, WM_STDIN_COMMAND, CMD_QUIT, 0);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::wcscmp(argv[i], L"--answer") == 0)
            g_bAnswer = true;

    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"PLM40FRAME";
    ::RegisterClassW(&wc);
    g_hWndSelf = ::CreateWindowExW(0, L"PLM40FRAME", L"PLM-40 stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400,
                                   300, 150, nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_hWndSelf)
        return 1;
    char sz[64];
    std::snprintf(sz, sizeof sz, "ready 0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(g_hWndSelf)));
    Say(sz);
    ::CloseHandle(::CreateThread(nullptr, 0, StdinThread, nullptr, 0, nullptr));

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
