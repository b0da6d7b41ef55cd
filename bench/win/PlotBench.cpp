// Timing of the response plot under Wine (a benchmark that prints figures,
// not a test): a full repaint of the control, and one drag step (the setters,
// the recomputation of the affected curve and the repaint) as the 20 ms drag
// timer runs it; each first with the bands alone, then with the summed
// response and its phase shown (the sum is recomputed with every step), then
// with a room measurement of 2 000 points attached as well (measured,
// predicted and target curves with a mask drawn, the prediction recomputed
// with every step).
// Run: cmake/wine-run.sh build/win/bench/win/plot_bench.exe [N] [dpi]
#include <windows.h>

#include "bench/win/BenchClock.h"
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "framework/DpiScale.h"
#include "framework/ExeModule.h"
#include "framework/Handles.h"
#include "framework/AppGlobals.h"
#include "model/ChannelFields.h"
#include "model/CtlQVRXOPlot.h"
#include "model/SummedResponse.h"
#include "editor/measurements/MeasurementOverlay.h"

#include <cmath>
#include <string>

namespace {

double Now() { return 1000.0 * BenchNowMs(); } // microseconds

void PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

struct SFigures {
    double dMean;
    double dMedian;
    double dP95;
    double dMax;
    double dCpu; // this thread's processor time per run (what a loaded machine's other work does not add to)
};

// This thread's user and kernel time in microseconds.
double ThreadCpuUs()
{
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    if (!::GetThreadTimes(::GetCurrentThread(), &ftCreate, &ftExit, &ftKernel, &ftUser))
        return 0.0;
    auto us = [](const FILETIME& ft) {
        return static_cast<double>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10.0;
    };
    return us(ftKernel) + us(ftUser);
}

SFigures Measure(int nRuns, const std::function<void(int)>& run)
{
    std::vector<double> v;
    v.reserve(static_cast<size_t>(nRuns));
    for (int i = 0; i < 5; ++i) // warm-up
        run(i);
    const double dCpu0 = ThreadCpuUs();
    for (int i = 0; i < nRuns; ++i) {
        const double t0 = Now();
        run(i);
        v.push_back(Now() - t0);
    }
    const double dCpu = (ThreadCpuUs() - dCpu0) / nRuns;
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double d : v)
        sum += d;
    return {sum / nRuns, v[v.size() / 2], v[v.size() * 95 / 100], v.back(), dCpu};
}

void Print(const char* pszWhat, const SFigures& f)
{
    std::printf("%-58s mean %8.1f us  median %8.1f us  p95 %8.1f us  max %8.1f us  cpu %8.1f us\n", pszWhat, f.dMean,
                f.dMedian, f.dP95, f.dMax, f.dCpu);
}

} // namespace

int main(int argc, char** argv)
{
    const int nRuns = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    // Optionally at another resolution than the screen's: plot_bench [runs] [dpi].
    const CDpiScale scale = argc > 2 ? CDpiScale(std::atoi(argv[2]), std::atoi(argv[2])) : CDpiScale::FromScreen();
    const int cx = scale.X(690);
    const int cy = scale.Y(226);
    g_Module.Init(::GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    RegisterPlotClass();

    // The plot at the size it has in the editor form at 96 dpi (460 x 139
    // dialog units of an 8-point MS Sans Serif dialog), grown with the resolution.
    HWND hTop = ::CreateWindowExW(0, L"STATIC", L"plot bench", WS_POPUP | WS_VISIBLE, 0, 0, cx + 30, cy + 34, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND hPlot = ::CreateWindowExW(0, CCtlQVRXOPlot::CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 10, 10,
                                   cx, cy, hTop, reinterpret_cast<HMENU>(209), nullptr, nullptr);
    if (!hTop || !hPlot) {
        std::printf("cannot create the plot window (error %lu)\n", ::GetLastError());
        return 1;
    }
    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    plot.SetScale(scale);
    plot.SubclassWindow(hPlot);
    ::UpdateWindow(hTop);
    PumpPending();

    auto repaint = [&] { ::RedrawWindow(hPlot, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); };

    // Drag steps as the drag timer runs them: press on the handle, move the
    // mouse between two places so every step changes the setting, let the
    // timer handler run the step and repaint.
    auto dragBench = [&](int nAdjuster, const char* pszWhat, int dx) {
        plot.SelectAdjuster(nAdjuster);
        repaint();
        const RECT rcHandle = plot.GetAdjusterRect();
        const POINT pt{(rcHandle.left + rcHandle.right) / 2, (rcHandle.top + rcHandle.bottom) / 2};
        ::SendMessageW(hPlot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        if (!plot.IsDragging()) {
            std::printf("%s: the handle could not be grabbed\n", pszWhat);
            return;
        }
        Print(pszWhat, Measure(nRuns, [&](int i) {
                  const int x = pt.x + ((i & 1) ? dx : -dx);
                  const int y = pt.y + ((i & 1) ? 4 : -4);
                  ::SendMessageW(hPlot, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
                  ::SendMessageW(hPlot, WM_TIMER, CCtlQVRXOPlot::DRAG_TIMER, 0);
                  ::UpdateWindow(hPlot);
              }));
        ::SendMessageW(hPlot, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
        PumpPending();
    };
    std::printf("plot %dx%d px at %d dpi, Triamp Center (three curves), %d runs each\n", cx, cy, scale.GetDpiX(),
                nRuns);
    auto measureAll = [&](const char* pszView) {
        std::printf("-- %s\n", pszView);
        Print("full repaint (off-screen drawing + copy to the window)", Measure(nRuns, [&](int) { repaint(); }));
        {
            const CClientDC dc(hPlot);
            const CMemDC dcMem(::CreateCompatibleDC(dc));
            const CBitmap bmp(::CreateCompatibleBitmap(dc, cx, cy));
            const CSelectObject selBmp(dcMem, bmp);
            const RECT rc{0, 0, cx, cy};
            Print("  of which drawing into a memory DC", Measure(nRuns, [&](int) {
                      plot.Draw(dcMem, rc);
                      ::GdiFlush();
                  }));
        }
        dragBench(1, "drag step, Low LP handle (Low curve + repaint)", scale.X(30));
        dragBench(7, "drag step, High PEQ handle (High curve + repaint)", scale.X(30));
        dragBench(10, "drag step, HP filter handle (all three curves + repaint)", scale.X(4));
    };
    {
        // What the sum adds to a drag step, alone: one band's curve and phase
        // and the sum of all three.
        CChannelConfig c(CHANNEL_CENTER);
        CBandResponse bands;
        CSummedResponse sum;
        bands.RecalcBands(c, BAND_ALL);
        sum.Recalc(c, bands, BAND_ALL);
        Print("High band curve alone (RecalcBands(1))", Measure(nRuns, [&](int i) {
                  c.SetHighPEQFreq(3000.0f + static_cast<float>(i % 50), false);
                  bands.RecalcBands(c, BAND_HIGH);
              }));
        Print("High band curve + the sum (Recalc(1))", Measure(nRuns, [&](int i) {
                  c.SetHighPEQFreq(3000.0f + static_cast<float>(i % 50), false);
                  bands.RecalcBands(c, BAND_HIGH);
                  sum.Recalc(c, bands, BAND_HIGH);
              }));
    }
    measureAll("bands only (View: nothing)");
    plot.ShowSum(true);
    plot.ShowPhase(true);
    measureAll("with the summed response and its phase (View: Summed Response, Phase)");
    {
        // A room measurement of the Center channel: its own response with a
        // room's ripple, 2 000 points from 20 Hz to 20 kHz, with the mask and
        // target; everything of the View menu shown.
        CMeasurementOverlay overlay;
        CBandResponse bands;
        CSummedResponse sum;
        bands.RecalcBands(plot, BAND_ALL);
        sum.Recalc(plot, bands, BAND_ALL);
        std::vector<SMeasurementPoint> points;
        for (int k = 0; k < 2000; ++k) {
            const double f = 20.0 * std::pow(1000.0, k / 1999.0);
            const int i = std::min(CSummedResponse::POINTS - 1, static_cast<int>(f / 5.0));
            const double d = std::isfinite(sum.GetSum()[i]) ? sum.GetSum()[i] : -60.0;
            points.push_back(SMeasurementPoint{f, 85.0 + d + 3.0 * std::sin(f / 37.0), 0.0});
        }
        std::string error;
        CSidecar& doc = overlay.Document();
        doc.channels[CHANNEL_CENTER].room.emplace();
        if (!CMeasurement::FromPoints(points, false, doc.channels[CHANNEL_CENTER].room->data, error))
            std::printf("the bench's measurement was refused: %s\n", error.c_str());
        doc.channels[CHANNEL_CENTER].asMeasured = CChannelConfig(plot);
        std::vector<CToleranceMask::SPoint> mask;
        for (const double f : {20.0, 100.0, 1000.0, 10000.0, 20000.0})
            mask.push_back(CToleranceMask::SPoint{f, f < 100.0 ? -6.0 : -3.0, 0.0, 3.0});
        doc.mask.emplace();
        if (!CToleranceMask::FromPoints(mask, *doc.mask, error))
            std::printf("the bench's mask was refused: %s\n", error.c_str());
        overlay.Changed();
        for (const EOverlayCurve e : {EOverlayCurve::Measured, EOverlayCurve::Predicted, EOverlayCurve::Target})
            plot.ShowOverlayCurve(e, true);
        plot.SetOverlaySource(&overlay);
        measureAll("with a room measurement, the target and its mask as well (View: everything)");
        {
            // What each overlay curve costs to draw, alone.
            const CClientDC dc(hPlot);
            const CMemDC dcMem(::CreateCompatibleDC(dc));
            const CBitmap bmp(::CreateCompatibleBitmap(dc, cx, cy));
            const CSelectObject selBmp(dcMem, bmp);
            const RECT rc{0, 0, cx, cy};
            const struct {
                EOverlayCurve e;
                const char* pszWhat;
            } curves[] = {{EOverlayCurve::Measured, "drawing with the measured curve alone (thin)"},
                          {EOverlayCurve::Predicted, "drawing with the predicted curve alone (bold)"},
                          {EOverlayCurve::Target, "drawing with the target and mask alone"}};
            for (const auto& only : curves) {
                for (const auto& c : curves)
                    plot.ShowOverlayCurve(c.e, c.e == only.e);
                Print(only.pszWhat, Measure(nRuns, [&](int) {
                          plot.Draw(dcMem, rc);
                          ::GdiFlush();
                      }));
            }
        }
        plot.SetOverlaySource(nullptr);
    }
    std::printf("drag timer period: %u us\n", CCtlQVRXOPlot::DRAG_PERIOD_MS * 1000u);

    plot.UnsubclassWindow();
    ::DestroyWindow(hTop);
    return 0;
}
