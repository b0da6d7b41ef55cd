// Connect to a fully written unit at wire timing, in this process (a
// benchmark that prints figures, not a test): the time from Connect until
// the "Retrieving Settings..." box has gone, against the wire's minimum for
// the requests the unit answered (each request and its reply take 32 bytes
// at 115200 baud: 2.78 ms); and the longest time the user-interface thread
// was away from its message loop meanwhile, measured by a watchdog thread
// that posts a time-stamped message every 2 ms.
//   cmake/wine-run.sh build/win/bench/win/readback_bench.exe [tcp:HOST:PORT]
// With a tcp: entry the unit is a qvr500-sim in another process (run it at
// wire timing): its text memory is written over the link first, and the
// requests are counted by the link's timeline (CLinkTimeline), whose
// medians show where each exchange's time went.
#include <windows.h>

#include "bench/win/BenchClock.h"
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <vector>
#include <atomic>
#include <cstring>
#include <memory>
#include <cstdio>
#include <string>
#include <thread>

#include "device/Comm.h"
#include "device/link/LinkTimeline.h"
#include "framework/ExeModule.h"
#include "framework/Handles.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"
#include "resources/resource.h"
#include "framework/AppGlobals.h"
#include "shell/MainFrame.h"
#include "sim/SimRegistry.h"
#include "sim/SimUnit.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 77;
constexpr double WIRE_MS_PER_REQUEST = 32 * 10 * 1000.0 / 115200.0; // 2.78 ms

double NowMs() { return BenchNowMs(); }

// Every text at its longest: the most a read-back can have to read.
STextMemoryImage LongestTexts()
{
    CTextMemory::STexts texts;
    for (int n = 1; n <= TEXT_SECTION_COUNT; ++n)
        for (int k = 0; k < CTextMemory::SectionUnits(n) - 1; ++k)
            texts.aszText[n - 1][k] = static_cast<char16_t>(u'A' + (k + n) % 26);
    STextMemoryImage image;
    CTextMemory::Build(texts, image);
    return image;
}

void FillTextMemory(CSimUnit& unit)
{
    const STextMemoryImage image = LongestTexts();
    for (int i = 0; i < TEXT_DIRECTORY_WORDS; ++i)
        unit.PokeMemory(TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(i), image.adwDirectory[i]);
    std::uint32_t a = TEXT_AREA_START;
    for (std::uint32_t w : image.adwText) {
        unit.PokeMemory(a, w);
        a += 4;
    }
}

// The same over the link, for a unit in another process: erase, the texts,
// the directory; done once the queue has handed the last write over.
bool FillTextMemoryOverLink()
{
    const STextMemoryImage image = LongestTexts();
    if (!g_Comm.Open())
        return false;
    g_Comm.QueueCommand(CMD_ERASE, 0, TEXT_MEMORY_START, TEXT_MEMORY_BYTES);
    std::uint32_t a = TEXT_AREA_START;
    for (std::uint32_t w : image.adwText) {
        g_Comm.QueueCommand(CMD_WRITE_WORD, 0, a, w);
        a += 4;
    }
    for (int i = 0; i < TEXT_DIRECTORY_WORDS; ++i)
        g_Comm.QueueCommand(CMD_WRITE_WORD, 0, TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(i),
                            image.adwDirectory[i]);
    while (g_Comm.GetQueueLength() > 0 && g_Comm.IsOpen())
        ::Sleep(10);
    ::Sleep(100); // the last write's exchange
    const bool bOk = g_Comm.IsOpen();
    g_Comm.Close();
    return bOk;
}

// The unit is in this process: its own count of the requests it answered,
// and its log's gaps between them.
void PrintInProcessFigures(CSimUnit& unit, double dTook, double dLongest, double dStartSinceUnit)
{
    const SimStats stats = unit.GetStats();
    const double dWire = static_cast<double>(stats.nRequests) * WIRE_MS_PER_REQUEST;
    std::printf("requests_at_unit=%llu (reads of parameters %llu, memory words %llu, outputs %llu)\n",
                static_cast<unsigned long long>(stats.nRequests), static_cast<unsigned long long>(stats.nGet),
                static_cast<unsigned long long>(stats.nRawByCommand[1]),
                static_cast<unsigned long long>(stats.nRawByCommand[13]));
    std::printf("connect_to_wait_box_gone_ms=%.1f wire_minimum_ms=%.1f ratio=%.3f\n", dTook, dWire, dTook / dWire);
    std::printf("longest_away_from_message_loop_ms=%.1f\n", dLongest);
    // Where the time beyond the wire went: before the first request, the
    // longest gaps between two requests, after the last one.
    const std::vector<SimLogEntry> log = unit.GetLog();
    if (!log.empty()) {
        std::vector<double> gaps;
        for (size_t i = 1; i < log.size(); ++i)
            gaps.push_back(1000.0 * (log[i].dTime - log[i - 1].dTime) - WIRE_MS_PER_REQUEST);
        std::sort(gaps.rbegin(), gaps.rend());
        double dGapSum = 0.0;
        for (double g : gaps)
            dGapSum += std::max(0.0, g);
        std::printf("first_request_after_ms=%.1f last_request_to_box_gone_ms=%.1f extra_between_requests_ms=%.1f "
                    "(largest %.1f %.1f %.1f)\n",
                    1000.0 * log.front().dTime - dStartSinceUnit,
                    dTook - (1000.0 * log.back().dTime - dStartSinceUnit), dGapSum, gaps.size() > 0 ? gaps[0] : 0.0,
                    gaps.size() > 1 ? gaps[1] : 0.0, gaps.size() > 2 ? gaps[2] : 0.0);
    }
}

double g_dWaitBoxGone = 0.0;
bool g_bTracking = false;

LRESULT CALLBACK CbtHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_DESTROYWND && g_bTracking) {
        const HWND hWnd = reinterpret_cast<HWND>(wParam);
        wchar_t szClass[16] = {};
        ::GetClassNameW(hWnd, szClass, 16);
        if (std::wstring(szClass) == L"#32770" && ::GetWindow(hWnd, GW_OWNER) == g_hWndMain) {
            g_dWaitBoxGone = NowMs();
            g_bTracking = false;
        }
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

} // namespace

int main(int argc, char** argv)
{
    const bool bTcp = argc > 1 && std::strncmp(argv[1], "tcp:", 4) == 0;
    const std::string devices =
        bTcp ? std::string(argv[1]) + ":USBXpress Device:BENCH001" : "sim:readback-bench,wire:USBXpress Device:BENCH001";
    ::SetEnvironmentVariableA("QVR500_DEVICES", devices.c_str());
    g_Comm.LookupDevice();
    const auto tUnitBorn = std::chrono::steady_clock::now();
    CSimUnit& unit = GetSharedSimUnit("readback-bench");
    if (bTcp) {
        if (!FillTextMemoryOverLink()) {
            std::printf("%s: no link\n", argv[1]);
            return 1;
        }
    } else {
        FillTextMemory(unit);
    }
    CLinkTimeline timeline(4096);

    ::CoInitialize(nullptr);
    g_Module.Init(::GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, 0x3FF};
    ::InitCommonControlsEx(&icc);
    RegisterPlotClass();
    auto pFrame = std::make_unique<CMainFrame>();
    g_hWndMain = pFrame->CreateFrame(IDR_MAINFRAME);
    if (!g_hWndMain) {
        std::printf("frame not created\n");
        return 1;
    }
    const HHOOK hHook = ::SetWindowsHookExW(WH_CBT, CbtHook, nullptr, ::GetCurrentThreadId());

    // The watchdog: a time-stamped message every 2 ms; the loop notes how
    // late each one is taken.
    const DWORD dwUiThread = ::GetCurrentThreadId();
    std::atomic<bool> bStop{false};
    std::thread watchdog([&] {
        while (!bStop) {
            const double d = NowMs();
            LPARAM l;
            static_assert(sizeof(l) == sizeof(d), "a double fits an LPARAM");
            std::memcpy(&l, &d, sizeof d);
            ::PostThreadMessageW(dwUiThread, WM_PROBE, 0, l);
            ::Sleep(2);
        }
    });

    unit.ClearLog();
    timeline.Activate();
    g_bTracking = true;
    const double dStart = NowMs();
    const double dStartSinceUnit =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tUnitBorn).count();
    ::PostMessageW(g_hWndMain, WM_COMMAND, ID_CONNECT, 0);
    double dLongest = 0.0;
    MSG msg;
    while (g_bTracking && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_PROBE) {
            double dPosted;
            std::memcpy(&dPosted, &msg.lParam, sizeof dPosted);
            if (dPosted >= dStart)
                dLongest = std::max(dLongest, NowMs() - dPosted);
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        if (NowMs() - dStart > 60000)
            break;
    }
    bStop = true;
    watchdog.join();
    timeline.Deactivate();
    const double dTook = g_dWaitBoxGone - dStart;
    if (bTcp) {
        // The unit is elsewhere: the requests are the link's sends.
        const std::vector<CLinkTimeline::SExchange> rows = timeline.Exchanges();
        const double dWire = static_cast<double>(rows.size()) * WIRE_MS_PER_REQUEST;
        std::printf("link=%s requests_sent=%zu\n", argv[1], rows.size());
        std::printf("connect_to_wait_box_gone_ms=%.1f wire_minimum_ms=%.1f ratio=%.3f\n", dTook, dWire,
                    dTook / dWire);
        std::printf("longest_away_from_message_loop_ms=%.1f\n", dLongest);
    } else {
        PrintInProcessFigures(unit, dTook, dLongest, dStartSinceUnit);
    }
    ::UnhookWindowsHookEx(hHook);
    g_Comm.Close();
    ::DestroyWindow(g_hWndMain);
    pFrame.reset();
    ::CoUninitialize();
    return g_dWaitBoxGone > 0.0 ? 0 : 1;
}
