// The plot's drawing at 96, 120 and 144 dpi: through the control's own Draw
// into a memory bitmap (at 96 dpi pixel for pixel what it always was), and a
// drag with the mouse in a control of the size the resolution gives it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "model/ChannelFields.h"
#include "model/CtlQVRXOPlot.h"
#include "tests/editor/FormDriver.h"
#include "tests/editor/PlotPixels.h"

namespace {


// Four pictures that between them use every part of the drawing.
void Picture(CCtlQVRXOPlot& plot, int n)
{
    switch (n) {
    case 0: // Center, Triamp, the High PEQ with its Q bar
        plot.SelectAdjuster(7);
        break;
    case 1: // Left in Biamp, lowered, the Low crossover
        plot.SetChannel(CHANNEL_LEFT);
        plot.SetMode(MODE_BIAMP);
        plot.SetLevel(-3.0f, false);
        plot.SetLowGain(-4.5f, false, false);
        plot.SelectAdjuster(1);
        break;
    case 2: // the Subwoofer at +8 dB
        plot.SetChannel(CHANNEL_SUBWOOFER);
        plot.SetLevel(8.0f, false);
        plot.SelectAdjuster(1);
        break;
    default: // the channel high-pass at 40 Hz, Q 2, a shelf raised
        plot.SetHPFreq(40.0f, false);
        plot.SetHPQ(2.0f, false);
        plot.SetHEQGain(6.0f, false);
        plot.SelectAdjuster(10);
        break;
    }
    plot.RecalcBands(7);
}

constexpr int PICTURES = 4;
// A control of the size the form's template gives the plot at 96 dpi.
constexpr int CX96 = 690;
constexpr int CY96 = 226;

// Each picture as the drawing made it before it learnt to scale (recorded
// under Wine 8 with the fonts of the test prefix; a different font renders
// the labels differently, and then these are recorded anew from a checkout
// of that time).
constexpr std::uint64_t HASH96[PICTURES] = {0x24278737aa916812ull, 0x8f0a4c100c84e283ull, 0x4bc091ab5ae83b26ull,
                                            0x089176e9a4ceb888ull};

TEST(PlotDrawing, At96DpiEveryPixelIsAsBefore)
{
    CFormDriver::InitProcess();
    for (int n = 0; n < PICTURES; ++n) {
        CCtlQVRXOPlot plot(CHANNEL_CENTER);
        plot.SetScale(CDpiScale());
        Picture(plot, n);
        CPixels px(CX96, CY96);
        plot.Draw(px.Dc(), px.Rect());
        EXPECT_EQ(px.Hash(), HASH96[n]) << "picture " << n;
        // The summed response and its phase shown, then hidden again (as the
        // View menu does): nothing of them is left.
        plot.ShowSum(true);
        plot.ShowPhase(true);
        plot.Draw(px.Dc(), px.Rect());
        EXPECT_NE(px.Hash(), HASH96[n]) << "picture " << n;
        plot.ShowSum(false);
        plot.ShowPhase(false);
        plot.Draw(px.Dc(), px.Rect());
        EXPECT_EQ(px.Hash(), HASH96[n]) << "picture " << n << " after the sum and phase were hidden";
    }
}

// The drawing at 96, 120 and 144 dpi in a control grown with the resolution.
class PlotDrawingAtDpi : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { CFormDriver::InitProcess(); }
    CDpiScale Scale() const { return CDpiScale(GetParam(), GetParam()); }
    double S() const { return GetParam() / 96.0; }
    int Cx() const { return Scale().X(CX96); }
    int Cy() const { return Scale().Y(CY96); }
};

INSTANTIATE_TEST_SUITE_P(Dpi, PlotDrawingAtDpi, ::testing::Values(96, 120, 144),
                         [](const ::testing::TestParamInfo<int>& i) { return std::to_string(i.param); });

constexpr COLORREF GRID = RGB(80, 80, 80);
constexpr COLORREF HIGH = RGB(0, 255, 0);
constexpr COLORREF LOW = RGB(255, 0, 0);
constexpr COLORREF HANDLE = RGB(128, 255, 255);
constexpr COLORREF SUM = RGB(255, 255, 255);
constexpr COLORREF PHASE = RGB(255, 255, 0);

// Points of the sum (every 25th, 125 Hz apart) whose pixel is not the
// sum's colour although they lie inside the area.
int SumPointsOffTheCurve(const CCtlQVRXOPlot& plot, const CPixels& px)
{
    const RECT rc = plot.GetPlotRect();
    const CPlotGeometry geo = plot.GetGeometry();
    int nOff = 0;
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; i += 25) {
        const int x = geo.PointToX(i);
        const int y = geo.GainToY(static_cast<float>(plot.GetSum().GetSum()[i]));
        // (A polyline leaves out its last pixel: the points of its last column.)
        if (y > rc.top && y < rc.bottom - 1 && x < geo.PointToX(CPlotGeometry::LAST_POINT) && px.At(x, y) != SUM)
            ++nOff;
    }
    return nOff;
}

TEST_P(PlotDrawingAtDpi, GridAndCurvesFillTheControl)
{
    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    plot.SetScale(Scale());
    Picture(plot, 0);
    CPixels px(Cx(), Cy());
    plot.Draw(px.Dc(), px.Rect());
    ::GdiFlush();
    const RECT rc = plot.GetPlotRect();
    const CPlotGeometry geo = plot.GetGeometry();
    // The same at 96 dpi.
    CCtlQVRXOPlot plot96(CHANNEL_CENTER);
    plot96.SetScale(CDpiScale());
    CPixels px96(CX96, CY96);
    plot96.Draw(px96.Dc(), px96.Rect());
    const int w96 = plot96.GetPlotRect().left;
    // The area keeps its 96-dpi proportions: eight rows, the label column as
    // wide as "-60.0" in the grown font.
    EXPECT_EQ(rc.bottom - rc.top, Scale().Y(192));
    EXPECT_NEAR(rc.left, w96 * S(), 2 * S());

    // The 20 kHz grid line is the last one, as far from the area's right
    // edge as at 96 dpi (times the scale), and a full line.
    const int x20k = geo.GridX(CPlotGeometry::AXIS_ENTRIES - 1);
    int nGrid = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        nGrid += px.At(x20k, y) == GRID;
    EXPECT_GT(nGrid, (rc.bottom - rc.top) * 3 / 4);
    EXPECT_NEAR(rc.right - x20k, (CX96 - w96 - 648) * S(), 3 * S());
    for (int x = x20k + 2; x < rc.right; ++x)
        EXPECT_NE(px.At(x, rc.top + 3), GRID) << "a grid line right of 20 kHz at " << x;

    // Both ends of the High curve: its last point on the 20 kHz line (within
    // a pixel), nothing of it right of there; the Low curve starts at 25 Hz.
    int nHighRight = -1;
    int nLowLeft = 1 << 30;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            if (px.At(x, y) == HIGH)
                nHighRight = std::max(nHighRight, x);
            if (px.At(x, y) == LOW)
                nLowLeft = std::min(nLowLeft, x);
        }
    EXPECT_LE(std::abs(nHighRight - x20k), 2) << nHighRight;
    EXPECT_EQ(nLowLeft, geo.FreqToX(25));

    // The frequency labels: "20K" ends below the area, under its line.
    int nLabelRight = -1;
    for (int y = rc.bottom; y < Cy(); ++y)
        for (int x = x20k - Scale().X(22); x < Cx(); ++x)
            if (px.At(x, y) == ::GetSysColor(COLOR_WINDOWTEXT))
                nLabelRight = std::max(nLabelRight, x);
    EXPECT_GT(nLabelRight, x20k - Scale().X(8));
    EXPECT_LT(nLabelRight, x20k + Scale().X(16));

    // The High PEQ's handle: a diamond 2 x 5 pixels across, times the scale.
    const RECT h = plot.GetAdjusterRect();
    EXPECT_EQ(h.right - h.left, 2 * Scale().X(5));
    EXPECT_EQ(h.bottom - h.top, 2 * Scale().Y(5));
    const POINT c{(h.left + h.right) / 2, (h.top + h.bottom) / 2};
    EXPECT_EQ(px.At(c.x + Scale().X(5) - 1, c.y), HANDLE);
    EXPECT_EQ(c.x, geo.FreqToX(3000.0f));
    // Its Q bar: 100 / Q pixels either side at 96 dpi.
    EXPECT_EQ((plot.GetQRightRect().left + plot.GetQRightRect().right) / 2 - c.x, Scale().X(100));
}

TEST_P(PlotDrawingAtDpi, SumAndPhaseAreDrawnAlongTheirValuesWithoutMovingTheArea)
{
    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    plot.SetScale(Scale());
    plot.SelectAdjuster(4);
    CPixels bands(Cx(), Cy());
    plot.Draw(bands.Dc(), bands.Rect());
    const RECT rcArea = plot.GetPlotRect();
    const RECT rcHandle = plot.GetAdjusterRect();

    plot.ShowSum(true);
    CPixels px(Cx(), Cy());
    plot.Draw(px.Dc(), px.Rect());
    ::GdiFlush();
    const CPlotGeometry geo = plot.GetGeometry();
    EXPECT_EQ(SumPointsOffTheCurve(plot, px), 0);
    // Over the bands: where only the High band plays (10 kHz) the sum covers it.
    const int x10k = geo.PointToX(2000);
    EXPECT_EQ(bands.At(x10k, geo.GainToY(plot.GetResponse().GetHighBand()[2000])), HIGH);
    EXPECT_EQ(px.At(x10k, geo.GainToY(plot.GetResponse().GetHighBand()[2000])), SUM);

    // Inverting the Mid band changes the sum (the Low/Mid crossover region
    // most), and the drawing follows.
    const double dBefore = plot.GetSum().GetSum()[60]; // 300 Hz
    plot.SetMidFlags(BAND_FLAG_INVERT, false);
    plot.RecalcBands(0);
    EXPECT_GT(std::fabs(plot.GetSum().GetSum()[60] - dBefore), 3.0);
    plot.Draw(px.Dc(), px.Rect());
    ::GdiFlush();
    EXPECT_EQ(SumPointsOffTheCurve(plot, px), 0);

    // The phase: dotted (gaps of up to three pixels), so within three pixels
    // of each point (or under the sum, which is drawn over it); its scale's ticks
    // at the area's right edge, +180 degrees at the top, -180 at the bottom.
    plot.ShowPhase(true);
    plot.Draw(px.Dc(), px.Rect());
    ::GdiFlush();
    const double* pdPhase = plot.GetSum().GetPhase();
    int nNear = 0, nDefined = 0;
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; i += 50) {
        if (std::isnan(pdPhase[i]) || std::fabs(pdPhase[i]) > 175.0 || i > CPlotGeometry::LAST_POINT - 50)
            continue; // undefined, where it may wrap, or in the polyline's last column
        ++nDefined;
        const int x = geo.PointToX(i), y = plot.PhaseToY(pdPhase[i]);
        bool bNear = false;
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx)
                bNear = bNear || px.At(x + dx, y + dy) == PHASE || px.At(x + dx, y + dy) == SUM;
        nNear += bNear;
    }
    EXPECT_GT(nDefined, 40);
    EXPECT_EQ(nNear, nDefined);
    EXPECT_EQ(plot.PhaseToY(180.0), rcArea.top);
    EXPECT_EQ(plot.PhaseToY(-180.0), rcArea.bottom);
    EXPECT_EQ(plot.PhaseToY(0.0), rcArea.top + Scale().Y(96));
    EXPECT_EQ(px.At(rcArea.right - 1, plot.PhaseToY(90.0)), PHASE);
    EXPECT_EQ(px.At(rcArea.right - 1, plot.PhaseToY(-90.0)), PHASE);
    int nLabel = 0; // the "+90" label left of its tick
    for (int y = plot.PhaseToY(90.0) - Scale().Y(8); y < plot.PhaseToY(90.0) + Scale().Y(8); ++y)
        for (int x = rcArea.right - Scale().X(45); x < rcArea.right - Scale().X(6); ++x)
            nLabel += px.At(x, y) == PHASE;
    EXPECT_GT(nLabel, Scale().X(10));
    // Neither moved the area or the handle.
    EXPECT_TRUE(::EqualRect(&rcArea, &plot.GetPlotRect()));
    EXPECT_TRUE(::EqualRect(&rcHandle, &plot.GetAdjusterRect()));
}

} // namespace

// A drag with the mouse at 96, 120 and 144 dpi: the plot in a window of its
// size at that resolution, pressed at a handle's centre and moved.
class PlotDragAtDpi : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        m_plot.SetScale(CDpiScale(GetParam(), GetParam()));
        const CDpiScale s(GetParam(), GetParam());
        m_hWnd = ::CreateWindowExW(0, CCtlQVRXOPlot::CLASS_NAME, L"", WS_POPUP | WS_VISIBLE, 20, 20, s.X(CX96),
                                   s.Y(CY96), nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(m_hWnd);
        ASSERT_TRUE(m_plot.SubclassWindow(m_hWnd));
        ::SetForegroundWindow(m_hWnd);
        m_d.Settle(); // what creating and showing it queued
    }
    void TearDown() override
    {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
        m_d.Settle();
    }
    POINT Screen(POINT pt) { return CFormDriver::ClientToScreenPt(m_hWnd, pt); }
    static POINT Centre(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }
    // Presses at a point of the client, moves to another, releases once the
    // handle has followed.
    void Drag(POINT from, POINT to, const std::function<bool()>& followed)
    {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        m_d.MoveMouse(Screen(from));
        m_d.MouseButton(true);
        ASSERT_TRUE(m_plot.IsDragging());
        m_d.MoveMouse(Screen(to));
        EXPECT_TRUE(m_d.WaitFor(followed, 5000));
        m_d.MouseButton(false);
        EXPECT_FALSE(m_plot.IsDragging());
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }

    CFormDriver m_d; // input and the message loop only
    CCtlQVRXOPlot m_plot{CHANNEL_CENTER};
    HWND m_hWnd = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Dpi, PlotDragAtDpi, ::testing::Values(96, 120, 144),
                         [](const ::testing::TestParamInfo<int>& i) { return std::to_string(i.param); });

TEST_P(PlotDragAtDpi, AHandleDraggedFromItsCentreEndsUnderThePointer)
{
    // The High PEQ at 3000 Hz: to about 2 kHz and 3 dB up, with the sum shown.
    m_plot.ShowSum(true);
    m_plot.SelectAdjuster(7);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const POINT from = Centre(m_plot.GetAdjusterRect());
    const CPlotGeometry geo = m_plot.GetGeometry();
    const POINT to{geo.FreqToX(2000), from.y - geo.GetScale().Y(6)};
    Drag(from, to, [&] { return m_plot.GetHighPEQFreq() < 2500.0f && m_plot.GetHighPEQGain() != 0.0f; });
    EXPECT_NEAR(m_plot.GetHighPEQFreq(), 2000.0f, 2000.0f * 0.03f); // two pixels
    EXPECT_FLOAT_EQ(m_plot.GetHighPEQGain(), 3.0f);
    // Drawn under the pointer: the conversion back from x starts one pixel
    // to the left, so the handle may sit up to two pixels right of it.
    const POINT now = Centre(m_plot.GetAdjusterRect());
    EXPECT_LE(std::abs(now.x - to.x), 2);
    EXPECT_LE(std::abs(now.y - to.y), 1);
    // The sum followed the drag: it is what the dragged settings give.
    {
        CBandResponse bands;
        CSummedResponse sum;
        bands.RecalcBands(m_plot, BAND_ALL);
        sum.Recalc(m_plot, bands, BAND_ALL);
        EXPECT_EQ(0, std::memcmp(sum.GetSum(), m_plot.GetSum().GetSum(), sizeof(double) * CSummedResponse::POINTS));
    }

    // Its Q handle, pressed at its centre and moved 50 pixels (at 96 dpi)
    // from the centre line: Q 2.
    const POINT q = Centre(m_plot.GetQRightRect());
    const POINT qTo{now.x + geo.GetScale().X(50), now.y};
    Drag(q, qTo, [&] { return m_plot.GetHighPEQQ() != 1.0f; });
    EXPECT_NEAR(m_plot.GetHighPEQQ(), 2.0f, 0.05f);
    EXPECT_FLOAT_EQ(m_plot.GetHighPEQGain(), 3.0f);
    EXPECT_LE(std::abs(Centre(m_plot.GetQRightRect()).x - qTo.x), 2);
}

