// The plot's overlay: curves handed over as levels on the plot's grid are
// drawn along those levels with gaps where nothing is drawn, follow every
// recomputation of the plot, are hidden by the View choices, shade where the
// prediction leaves the mask, and replace a band's and the sum's curves for
// measured drivers.  Without an overlay the drawing is what it always was.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/ChannelFields.h"
#include "model/CtlQVRXOPlot.h"
#include "tests/editor/FormDriver.h"
#include "tests/editor/PlotPixels.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr int POINTS = CSummedResponse::POINTS;
constexpr COLORREF LOW = RGB(255, 0, 0);
constexpr COLORREF SUM = RGB(255, 255, 255);
constexpr int CX = 690, CY = 226; // the form's plot at 96 dpi

// The plot drawn at the form's size, and what its pixels show.
class CDrawing : public CPixels {
public:
    explicit CDrawing(CCtlQVRXOPlot& plot) : CPixels(CX, CY)
    {
        plot.Draw(Dc(), Rect());
        ::GdiFlush();
    }
    bool Near(int x, int y, COLORREF c, int d = 1) const { return NearColour(*this, x, y, c, d); }
    int Count(COLORREF c, int xFrom = 0) const
    {
        int n = 0;
        for (int y = 0; y < CY; ++y)
            for (int x = xFrom; x < CX; ++x)
                n += At(x, y) == c;
        return n;
    }
    std::vector<COLORREF> Copy() const
    {
        std::vector<COLORREF> v;
        for (int y = 0; y < CY; ++y)
            for (int x = 0; x < CX; ++x)
                v.push_back(At(x, y));
        return v;
    }
};

// A source whose prediction is the plot's High band 6 dB down (so it moves
// with the filters), measured at -20 dB from 500 Hz to 5 kHz only, the
// target flat at -10 dB with a mask of +-1 dB from 1 kHz up.
class CFakeSource : public IPlotOverlaySource {
public:
    CFakeSource() : m_measured(POINTS, NaN), m_predicted(POINTS), m_target(POINTS, -10.0), m_min(POINTS, NaN),
                    m_max(POINTS, NaN), m_driver(POINTS, NaN), m_sum(POINTS, 6.0)
    {
        for (int i = 100; i <= 1000; ++i)
            m_measured[i] = -20.0;
        for (int i = 200; i < POINTS; ++i) {
            m_min[i] = -11.0;
            m_max[i] = -9.0;
        }
        for (int i = 20; i <= 400; ++i)
            m_driver[i] = -30.0;
    }
    SPlotOverlay Refresh(const CChannelConfig& cfg, const CBandResponse& bands, const CSummedResponse* pSum,
                         int nMask) override
    {
        ++nCalls;
        nLastMask = nMask;
        nLastChannel = cfg.GetChannel();
        pLastSum = pSum;
        for (int i = 0; i < POINTS; ++i)
            m_predicted[i] = bands.GetHighBand()[i] - 6.0;
        SPlotOverlay o;
        o.pdMeasured = m_measured.data();
        o.pdPredicted = m_predicted.data();
        o.pdTarget = m_target.data();
        o.pdMaskMin = m_min.data();
        o.pdMaskMax = m_max.data();
        if (bDrivers) {
            o.apdBand[0] = m_driver.data();
            o.pdSum = m_sum.data();
        }
        return o;
    }
    int nCalls = 0;
    int nLastMask = -1;
    int nLastChannel = -1;
    const CSummedResponse* pLastSum = nullptr;
    bool bDrivers = false;

private:
    std::vector<double> m_measured, m_predicted, m_target, m_min, m_max, m_driver, m_sum;
};

void ShowAll(CCtlQVRXOPlot& plot, bool bShow)
{
    for (const EOverlayCurve e : {EOverlayCurve::Measured, EOverlayCurve::Predicted, EOverlayCurve::Target})
        plot.ShowOverlayCurve(e, bShow);
}

} // namespace

TEST(PlotOverlay, CurvesFollowTheirLevelsAndEveryRecomputationWithGapsWhereNothingIsDrawn)
{
    CFormDriver::InitProcess();
    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    CFakeSource source;
    plot.SetOverlaySource(&source);
    ShowAll(plot, true);
    EXPECT_EQ(source.nCalls, 1); // asked at once
    CDrawing before(plot);
    const CPlotGeometry geo = plot.GetGeometry();

    // Measured: drawn at -20 dB inside 500 Hz .. 5 kHz, nothing outside.
    const int yMeasured = geo.GainToY(-20.0f);
    EXPECT_TRUE(before.Near(geo.PointToX(400), yMeasured, CPlotOverlayPainter::RGB_MEASURED));
    EXPECT_FALSE(before.Near(geo.PointToX(2000), yMeasured, CPlotOverlayPainter::RGB_MEASURED, 2));
    EXPECT_FALSE(before.Near(geo.PointToX(60), yMeasured, CPlotOverlayPainter::RGB_MEASURED, 2));
    // Target at -10 dB; predicted bold along the High band 6 dB down.
    EXPECT_TRUE(before.Near(geo.PointToX(150), geo.GainToY(-10.0f), CPlotOverlayPainter::RGB_TARGET));
    const double dAt3k = plot.GetResponse().GetHighBand()[600] - 6.0;
    EXPECT_TRUE(before.Near(geo.PointToX(600), geo.GainToY(static_cast<float>(dAt3k)),
                            CPlotOverlayPainter::RGB_PREDICTED));

    // An edit: the plot asks again with the band it recomputed, and the
    // predicted curve is drawn where the edited band now lies.
    plot.SetHighPEQFreq(3000.0f, false);
    plot.SetHighPEQGain(9.0f, false);
    plot.RecalcBands(BAND_HIGH);
    EXPECT_EQ(source.nCalls, 2);
    EXPECT_EQ(source.nLastMask, BAND_HIGH);
    const double dEdited = plot.GetResponse().GetHighBand()[600] - 6.0;
    EXPECT_GT(dEdited - dAt3k, 6.0);
    CDrawing after(plot);
    EXPECT_TRUE(after.Near(geo.PointToX(600), geo.GainToY(static_cast<float>(dEdited)),
                           CPlotOverlayPainter::RGB_PREDICTED));
    EXPECT_FALSE(after.Near(geo.PointToX(600), geo.GainToY(static_cast<float>(dAt3k)),
                            CPlotOverlayPainter::RGB_PREDICTED));

    // The plot's sum is handed over only while it is kept current.
    EXPECT_EQ(source.pLastSum, nullptr);
    plot.ShowSum(true);
    plot.RecalcBands(BAND_HIGH);
    EXPECT_EQ(source.pLastSum, &plot.GetSum());

    // A channel change is a recomputation too: the source learns the channel.
    plot.SetChannel(CHANNEL_LEFT);
    plot.RecalcBands(BAND_ALL);
    EXPECT_EQ(source.nLastChannel, CHANNEL_LEFT);
    plot.SetOverlaySource(nullptr);
}

TEST(PlotOverlay, TheViewHidesEachCurveAndNothingShownDrawsThePlotAsBefore)
{
    CFormDriver::InitProcess();
    CCtlQVRXOPlot plain(CHANNEL_CENTER);
    CDrawing expected(plain);

    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    CFakeSource source;
    plot.SetOverlaySource(&source);
    // All hidden: pixel for pixel the plot without an overlay (no legend, no shading).
    ShowAll(plot, false);
    EXPECT_EQ(CDrawing(plot).Copy(), expected.Copy());

    // One at a time: only that curve's colour appears (right of the legend).
    const int xRight = plot.GetPlotRect().left + 200;
    plot.ShowOverlayCurve(EOverlayCurve::Measured, true);
    {
        CDrawing d(plot);
        EXPECT_GT(d.Count(CPlotOverlayPainter::RGB_MEASURED, xRight), 50);
        EXPECT_EQ(d.Count(CPlotOverlayPainter::RGB_PREDICTED, xRight), 0);
        EXPECT_EQ(d.Count(CPlotOverlayPainter::RGB_TARGET, xRight), 0);
    }
    plot.ShowOverlayCurve(EOverlayCurve::Measured, false);
    plot.ShowOverlayCurve(EOverlayCurve::Predicted, true);
    {
        CDrawing d(plot);
        EXPECT_EQ(d.Count(CPlotOverlayPainter::RGB_MEASURED, xRight), 0);
        EXPECT_GT(d.Count(CPlotOverlayPainter::RGB_PREDICTED, xRight), 300);
        EXPECT_EQ(d.Count(CPlotOverlayPainter::RGB_TARGET, xRight), 0);
        EXPECT_TRUE(plot.GetOutsideRuns().empty()); // no target shown: no mask to leave
    }
    // The legend along the area's top names the curves drawn, each in its
    // colour, and only those.
    ShowAll(plot, true);
    {
        CDrawing d(plot);
        const RECT rc = plot.GetPlotRect();
        const auto inLegend = [&](COLORREF c) {
            int n = 0;
            for (int y = rc.top; y < rc.top + 18; ++y)
                for (int x = rc.left; x < rc.right; ++x)
                    n += d.At(x, y) == c;
            return n;
        };
        EXPECT_GT(inLegend(CPlotOverlayPainter::RGB_MEASURED), 30);
        EXPECT_GT(inLegend(CPlotOverlayPainter::RGB_PREDICTED), 30);
        EXPECT_GT(inLegend(CPlotOverlayPainter::RGB_TARGET), 30);
        plot.ShowOverlayCurve(EOverlayCurve::Target, false);
        CDrawing without(plot);
        int nTarget = 0;
        for (int y = rc.top; y < rc.top + 18; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                nTarget += without.At(x, y) == CPlotOverlayPainter::RGB_TARGET;
        EXPECT_EQ(nTarget, 0);
    }

    // A source that has nothing (no measurement) draws nothing even when shown.
    plot.SetOverlaySource(nullptr);
    ShowAll(plot, true);
    EXPECT_EQ(CDrawing(plot).Copy(), expected.Copy());
}

TEST(PlotOverlay, StretchesWhereThePredictionLeavesTheMaskAreShadedAndOnlyThose)
{
    CFormDriver::InitProcess();
    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    CFakeSource source;
    plot.SetOverlaySource(&source);
    ShowAll(plot, true);
    // The mask (-11 .. -9 dB) begins at 1 kHz; the prediction (High - 6 dB)
    // lies about -6 dB well above the crossover: outside from 1 kHz on.
    const auto runs = plot.GetOutsideRuns();
    ASSERT_FALSE(runs.empty());
    EXPECT_GE(runs.front().first, 200);
    for (const auto& [first, last] : runs)
        for (int i = first; i <= last; i += 10) {
            const double d = plot.GetOverlay().pdPredicted[i];
            EXPECT_TRUE(d < -11.0 || d > -9.0) << i;
        }
    CDrawing d(plot);
    const CPlotGeometry geo = plot.GetGeometry();
    const RECT rc = plot.GetPlotRect();
    const auto shadedInColumn = [&](int x) {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            n += d.At(x, y) == CPlotOverlayPainter::RGB_OUTSIDE;
        return n;
    };
    EXPECT_GT(shadedInColumn(geo.PointToX(2000)), 10); // 10 kHz: outside
    EXPECT_EQ(shadedInColumn(geo.PointToX(100)), 0);   // 500 Hz: no mask there
}

TEST(PlotOverlay, BandsOverMeasuredDriversAndTheirSumReplaceTheFlatDriverCurves)
{
    CFormDriver::InitProcess();
    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    plot.ShowSum(true);
    CFakeSource source;
    source.bDrivers = true;
    plot.SetOverlaySource(&source);
    CDrawing d(plot);
    const CPlotGeometry geo = plot.GetGeometry();
    // The Low band is the driver's curve (-30 dB from 100 Hz to 2 kHz), not
    // the flat-driver one, and nothing of it outside the driver's range.
    EXPECT_TRUE(d.Near(geo.PointToX(200), geo.GainToY(-30.0f), LOW));
    const float fltFlat = plot.GetResponse().GetLowBand()[200];
    EXPECT_FALSE(d.Near(geo.PointToX(200), geo.GainToY(fltFlat), LOW, 0));
    EXPECT_FALSE(d.Near(geo.PointToX(1000), geo.GainToY(plot.GetResponse().GetLowBand()[1000]), LOW, 0));
    // The sum is the source's (+6 dB flat).
    EXPECT_TRUE(d.Near(geo.PointToX(1500), geo.GainToY(6.0f), SUM));
    plot.SetOverlaySource(nullptr);
}
