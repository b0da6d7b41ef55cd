// Firmware download timing against the wire (a benchmark that prints
// figures, not a test):
//   cmake/wine-run.sh build/win/bench/win/download_bench.exe [words] [tcp:HOST:PORT]
// Runs the real download dialog (erase, one write per word, each verified
// by its own reply) against a simulated unit at its real line rate: in
// this process by default, or a qvr500-sim over TCP.  Prints the time of
// each phase and its ratio to the wire minimum: the unit's erase time, and
// one 32-byte exchange (16 out, 16 back at 115200 baud, 10 bits a byte) per
// request.  The image is random, 65536 words (the whole program area) by
// default.
#include <windows.h>

#include "bench/win/BenchClock.h"
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "device/Comm.h"
#include "device/DlgDownload.h"
#include "framework/ExeModule.h"
#include "model/ParameterMap.h"
#include "sim/SimRegistry.h"
#include "sim/SimUnit.h"

namespace {

constexpr double EXCHANGE_MS = 32 * 10 * 1000.0 / 115200.0; // 2.78 ms

double Now() { return BenchNowMs(); }

void PumpOnce()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
}

} // namespace

int main(int argc, char** argv)
{
    const unsigned nWords = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 65536u;
    const std::string devices = argc > 2 ? std::string(argv[2]) + ":USBXpress Device:BENCH"
                                         : std::string("sim:download-bench:USBXpress Device:BENCH");
    if (nWords == 0 || nWords > PROGRAM_AREA_BYTES / 4) {
        std::fprintf(stderr, "words: 1..%u\n", PROGRAM_AREA_BYTES / 4);
        return 2;
    }
    g_Module.Init(::GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::SetEnvironmentVariableA("QVR500_DEVICES", devices.c_str());
    g_Comm.LookupDevice();
    if (argc <= 2)
        GetSharedSimUnit("download-bench").FactoryReset();

    // The image file.
    std::mt19937 rng(2026);
    std::string text = "\x02\r\n";
    for (unsigned i = 0; i < nWords; ++i) {
        const std::uint32_t w = rng();
        char sz[16];
        std::snprintf(sz, sizeof sz, "%02X %02X %02X %02X ", w & 0xFF, (w >> 8) & 0xFF, (w >> 16) & 0xFF, w >> 24);
        text += sz;
        if (i % 8 == 7)
            text += "\r\n";
    }
    wchar_t szDir[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szDir);
    ::GetTempFileNameW(szDir, L"xof", 0, szPath);
    FILE* f = _wfopen(szPath, L"wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);

    CDlgDownload dlg;
    dlg.Create(nullptr);
    ::SetDlgItemTextW(dlg.m_hWnd, IDC_DOWNLOAD_PATH, szPath);
    const double t0 = Now();
    ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD_START, BN_CLICKED), 0);
    double tWriting = 0;
    while (dlg.IsRunning()) {
        PumpOnce();
        if (!tWriting && dlg.GetPhase() == CDlgDownload::EPhase::Writing)
            tWriting = Now();
    }
    const double tEnd = Now();
    const bool bOk = dlg.GetPhase() == CDlgDownload::EPhase::Complete;
    ::DestroyWindow(dlg.m_hWnd);
    g_Comm.Close();
    ::DeleteFileW(szPath);

    const double dEraseMin = std::chrono::duration<double, std::milli>(CSimUnit::ERASE_TIME_PER_BYTE).count() *
                             PROGRAM_AREA_BYTES + EXCHANGE_MS;
    const double dWriteMin = nWords * EXCHANGE_MS;
    const double dErase = tWriting - t0, dWrite = tEnd - tWriting;
    std::printf("download of %u words: %s\n", nWords, bOk ? "complete, verified" : "FAILED");
    std::printf("%-22s %10s %10s %7s\n", "phase", "ms", "wire ms", "ratio");
    std::printf("%-22s %10.0f %10.0f %7.3f\n", "erase", dErase, dEraseMin, dErase / dEraseMin);
    std::printf("%-22s %10.0f %10.0f %7.3f\n", "verified writes", dWrite, dWriteMin, dWrite / dWriteMin);
    std::printf("%-22s %10.0f %10.0f %7.3f\n", "total", tEnd - t0, dEraseMin + dWriteMin,
                (tEnd - t0) / (dEraseMin + dWriteMin));
    return bOk ? 0 : 1;
}
