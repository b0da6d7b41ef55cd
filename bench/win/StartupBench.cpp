// Start-up and exit timing of the program (a benchmark that prints figures, not a test):
//   cmake/wine-run.sh build/win/bench/win/startup_bench.exe [runs] [path\to\QVR500.exe]
// For each run: milliseconds from CreateProcess to the main frame shown (the
// frame shows itself before its two-second splash wait), and from
// CreateProcess to the splash gone minus the 2000 ms wait, that is the start-up
// work around the wait.  Then File > Exit, every other run while connected to
// a simulated unit in the program's own process: milliseconds until the last
// visible window of the program has gone and until the process has ended.
#include <windows.h>

#include "bench/win/BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "resources/resource.h"

namespace {

double Now() { return BenchNowMs(); }

struct SFindSplash {
    HWND hFrame;
    bool bFound;
};

BOOL CALLBACK FindSplash(HWND h, LPARAM lp)
{
    auto* p = reinterpret_cast<SFindSplash*>(lp);
    if (::GetWindow(h, GW_OWNER) == p->hFrame && ::IsWindowVisible(h) && ::GetDlgItem(h, 1342)) {
        p->bFound = true;
        return FALSE;
    }
    return TRUE;
}

struct SFindText {
    const wchar_t* pszText;
    bool bFound;
};

BOOL CALLBACK FindText(HWND h, LPARAM lp)
{
    auto* p = reinterpret_cast<SFindText*>(lp);
    wchar_t sz[32] = {};
    ::GetWindowTextW(h, sz, 32);
    if (std::wcscmp(sz, p->pszText) == 0) {
        p->bFound = true;
        return FALSE;
    }
    return TRUE;
}

struct SFindVisible {
    DWORD dwProcess;
    bool bFound;
};

BOOL CALLBACK FindVisible(HWND h, LPARAM lp)
{
    auto* p = reinterpret_cast<SFindVisible*>(lp);
    DWORD dwProcess = 0;
    ::GetWindowThreadProcessId(h, &dwProcess);
    if (dwProcess == p->dwProcess && ::IsWindowVisible(h)) {
        p->bFound = true;
        return FALSE;
    }
    return TRUE;
}

// Connect, and wait until the status text says "Connected" (the read-back done).
bool ConnectAndWait(HWND hFrame)
{
    ::PostMessageW(hFrame, WM_COMMAND, ID_CONNECT, 0);
    const double t0 = BenchNowMs();
    while (BenchNowMs() - t0 < 60000.0) {
        SFindText f{L"Connected", false};
        ::EnumChildWindows(hFrame, FindText, reinterpret_cast<LPARAM>(&f));
        if (f.bFound)
            return true;
        ::Sleep(5);
    }
    return false;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

std::wstring DefaultProgram()
{
    wchar_t sz[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, sz, MAX_PATH);
    sz[MAX_PATH] = L'\0';
    std::wstring path = sz;
    // <build>/bench/win/startup_bench.exe -> <build>/shell/QVR500.exe
    for (int i = 0; i < 3; ++i)
        path = path.substr(0, path.find_last_of(L"\\/"));
    return path + L"\\shell\\QVR500.exe";
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int nRuns = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    const std::wstring program = argc > 2 ? argv[2] : DefaultProgram();
    if (::FindWindowW(L"QVR500FRAME", nullptr)) {
        std::fprintf(stderr, "a QVR500 window is already open; close it first\n");
        return 2;
    }
    // A simulated unit inside the program's own process, unless one is given.
    if (!::GetEnvironmentVariableW(L"QVR500_DEVICES", nullptr, 0))
        ::SetEnvironmentVariableW(L"QVR500_DEVICES", L"sim:exitbench:USBXpress Device:SIM00001");
    std::vector<double> shown, ready, exitIdle, exitConnected;
    for (int run = 0; run < nRuns; ++run) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + program + L"\"";
        const double t0 = Now();
        if (!::CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            std::fprintf(stderr, "cannot start %ls (error %lu)\n", program.c_str(), ::GetLastError());
            return 1;
        }
        const CHandle hProcess(pi.hProcess), hThread(pi.hThread);
        HWND hFrame = nullptr;
        double tShown = 0, tReady = 0;
        bool bSplashSeen = false;
        while (Now() - t0 < 60000.0) {
            if (!hFrame) {
                HWND h = ::FindWindowW(L"QVR500FRAME", nullptr);
                if (h && ::IsWindowVisible(h)) {
                    hFrame = h;
                    tShown = Now() - t0;
                }
            } else {
                SFindSplash f{hFrame, false};
                ::EnumWindows(FindSplash, reinterpret_cast<LPARAM>(&f));
                if (f.bFound) {
                    bSplashSeen = true;
                } else if (bSplashSeen || Now() - t0 - tShown > 2500.0) {
                    tReady = Now() - t0;
                    break;
                }
            }
            ::Sleep(1);
        }
        if (!hFrame || !tReady) {
            std::fprintf(stderr, "run %d: the main window did not come up\n", run + 1);
            ::TerminateProcess(hProcess, 1);
            return 1;
        }
        const bool bConnected = run % 2 == 1;
        if (bConnected && !ConnectAndWait(hFrame)) {
            std::fprintf(stderr, "run %d: Connect did not end with \"Connected\"\n", run + 1);
            ::TerminateProcess(hProcess, 1);
            return 1;
        }
        const double tExit = Now();
        ::PostMessageW(hFrame, WM_COMMAND, ID_APP_EXIT, 0);
        double tWindowsGone = 0;
        while (::WaitForSingleObject(hProcess, 1) == WAIT_TIMEOUT && Now() - tExit < 30000.0) {
            SFindVisible f{pi.dwProcessId, false};
            ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&f));
            if (!f.bFound && tWindowsGone == 0)
                tWindowsGone = Now() - tExit;
        }
        const double tEnded = Now() - tExit;
        if (tWindowsGone == 0)
            tWindowsGone = tEnded;
        DWORD dwCode = 0;
        ::GetExitCodeProcess(hProcess, &dwCode);
        shown.push_back(tShown);
        ready.push_back(tReady - 2000.0);
        (bConnected ? exitConnected : exitIdle).push_back(tEnded);
        std::printf("run %d: main window shown %.0f ms, start-up work around the splash %.0f ms; Exit %s: windows "
                    "gone %.0f ms, process ended %.0f ms (exit %lu)\n",
                    run + 1, tShown, tReady - 2000.0, bConnected ? "while connected" : "disconnected", tWindowsGone,
                    tEnded, dwCode);
        std::fflush(stdout);
    }
    std::printf("median of %d: process start to main window shown %.0f ms (min %.0f); splash wait excluded\n", nRuns,
                Median(shown), *std::min_element(shown.begin(), shown.end()));
    std::printf("median of %d: process start to splash gone, minus the 2000 ms wait: %.0f ms\n", nRuns,
                Median(ready));
    std::printf("median Exit to process end: disconnected %.0f ms (%zu runs), connected %.0f ms (%zu runs)\n",
                Median(exitIdle), exitIdle.size(), Median(exitConnected), exitConnected.size());
    return 0;
}
