// Start-up timing of the program (a benchmark that prints figures, not a test):
//   cmake/wine-run.sh build/win/bench/win/startup_bench.exe [runs] [path\to\QVR500.exe]
// For each run: milliseconds from CreateProcess to the main frame shown (the
// frame shows itself before its two-second splash wait), and from
// CreateProcess to the splash gone minus the 2000 ms wait, that is the start-up
// work around the wait.  The program is closed with WM_CLOSE after each run.
#include <windows.h>

#include "bench/win/BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "framework/Handles.h"

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
    std::vector<double> shown, ready;
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
        ::PostMessageW(hFrame, WM_CLOSE, 0, 0);
        ::WaitForSingleObject(hProcess, 15000);
        DWORD dwCode = 0;
        ::GetExitCodeProcess(hProcess, &dwCode);
        shown.push_back(tShown);
        ready.push_back(tReady - 2000.0);
        std::printf("run %d: main window shown %.0f ms, start-up work around the splash %.0f ms (exit %lu)\n",
                    run + 1, tShown, tReady - 2000.0, dwCode);
        std::fflush(stdout);
    }
    std::printf("median of %d: process start to main window shown %.0f ms (min %.0f); splash wait excluded\n", nRuns,
                Median(shown), *std::min_element(shown.begin(), shown.end()));
    std::printf("median of %d: process start to splash gone, minus the 2000 ms wait: %.0f ms\n", nRuns,
                Median(ready));
    return 0;
}
