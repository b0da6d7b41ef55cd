// The plot's axes, adjusters and drag step, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <limits>

#include "model/ChannelConfig.h"
#include "model/PlotGeometry.h"
#include "tests/editor/RecordingSink.h"

namespace {

constexpr int LEFT = 34;
constexpr int TOP = 0;

TEST(PlotGeometry, FrequencyAxisAccumulatesInSinglePrecision)
{
    const CPlotGeometry g(LEFT, TOP);
    EXPECT_EQ(g.FreqToX(25), LEFT + 11);
    EXPECT_EQ(g.FreqToX(31), LEFT + 33);
    EXPECT_EQ(g.FreqToX(20000), LEFT + 648); // nominally 649
    EXPECT_EQ(g.FreqToX(25000), LEFT + 648);
    // Below 25 Hz: 2.2 pixels per hertz from 20 Hz; anything below 20 sits at 25 Hz's place.
    EXPECT_EQ(g.FreqToX(20), LEFT + 0);
    EXPECT_EQ(g.FreqToX(22), LEFT + 4);
    EXPECT_EQ(g.FreqToX(24), LEFT + 8);
    EXPECT_EQ(g.FreqToX(19), LEFT + 11);
    EXPECT_EQ(g.FreqToX(-5), LEFT + 11);
    // Every table entry lies within a pixel of its nominal place, 22 pixels apart.
    for (int j = 0; j < CPlotGeometry::AXIS_ENTRIES; ++j) {
        const int nominal = LEFT + 11 + 22 * j;
        EXPECT_NEAR(g.FreqToX(CPlotGeometry::s_anAxis[j]), nominal, 1) << CPlotGeometry::s_anAxis[j];
    }
    // The result does not depend on where the area starts.
    EXPECT_EQ(CPlotGeometry(500, 0).FreqToX(20000), 500 + 648);
}

TEST(PlotGeometry, StoredFrequenciesRoundToTheNearestHertzAndStayOnTheAxis)
{
    const CPlotGeometry g(LEFT, TOP);
    EXPECT_EQ(g.FreqToX(30.5f), g.FreqToX(31));
    EXPECT_EQ(g.FreqToX(30.49f), g.FreqToX(30));
    EXPECT_EQ(g.FreqToX(1e30f), LEFT + 648);
    EXPECT_EQ(g.FreqToX(std::numeric_limits<float>::infinity()), LEFT + 648);
    EXPECT_EQ(g.FreqToX(std::numeric_limits<float>::quiet_NaN()), LEFT + 11);
    EXPECT_EQ(g.FreqToX(-1e30f), LEFT + 11);
}

TEST(PlotGeometry, XToFreqIsTheInverseOnePixelLeft)
{
    const CPlotGeometry g(LEFT, TOP);
    EXPECT_EQ(g.XToFreq(LEFT + 10), 26);
    EXPECT_EQ(g.XToFreq(LEFT + 9), 25);
    EXPECT_EQ(g.XToFreq(LEFT + 8), 25);
    EXPECT_EQ(g.XToFreq(LEFT + 0), 21);
    // Left of the area and far left of the control (negative x): the lowest frequency.
    EXPECT_EQ(g.XToFreq(LEFT - 1), 20);
    EXPECT_EQ(g.XToFreq(-32768), 20);
    // Right of the axis: the highest.
    EXPECT_EQ(g.XToFreq(LEFT + 700), 20000);
    EXPECT_EQ(g.XToFreq(32767), 20000);
    int prev = 0;
    for (int x = LEFT - 20; x < LEFT + 700; ++x) {
        const int f = g.XToFreq(x);
        EXPECT_GE(f, prev) << x;
        prev = f;
        // The frequency found lies under or just right of x.
        if (f > 25 && f < 20000) {
            EXPECT_GE(g.FreqToX(f), x) << x;
        }
    }
}

TEST(PlotGeometry, CurvePointsFollowTheSameAxis)
{
    const CPlotGeometry g(LEFT, TOP);
    EXPECT_EQ(g.PointToX(CPlotGeometry::FIRST_POINT), LEFT + 11);
    EXPECT_EQ(g.PointToX(CPlotGeometry::LAST_POINT), LEFT + 648);
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; i += 37)
        EXPECT_EQ(g.PointToX(i), g.FreqToX(i * 5));
}

TEST(PlotGeometry, GainAxisAndAdjusterHandlesRoundTrip)
{
    const CPlotGeometry g(LEFT, 7);
    CChannelConfig cfg(CHANNEL_LEFT);
    EXPECT_EQ(g.GainToY(0.0f), 7 + 60);
    EXPECT_EQ(g.GainToY(24.0f), 7 + 12);
    EXPECT_EQ(g.GainToY(-60.0f), 7 + 180);
    EXPECT_EQ(g.GainToY(-1e30f), 30000);

    cfg.SetLevel(-3.0f, false);
    cfg.SetLowGain(-4.5f, false, false);
    cfg.SetLowPEQGain(2.5f, false);
    cfg.SetHighGain(-1.0f, false, false);
    cfg.SetSEQGain(3.0f, false);
    CPlotGeometry::SAdjuster adj;
    // A crossover handle sits 6 dB below its band's gain; dragging it where it
    // is gives the band gain back.
    ASSERT_TRUE(CPlotGeometry::GetAdjuster(cfg, 1, adj));
    int y = g.AdjusterY(cfg, adj);
    EXPECT_EQ(y, g.GainToY(-3.0f - 4.5f - 6.0f));
    EXPECT_FLOAT_EQ(g.YToGain(y, 1, cfg), -4.5f);
    // An equaliser handle sits at band gain plus equaliser gain.
    ASSERT_TRUE(CPlotGeometry::GetAdjuster(cfg, 2, adj));
    y = g.AdjusterY(cfg, adj);
    EXPECT_EQ(y, g.GainToY(-3.0f - 4.5f + 2.5f));
    EXPECT_FLOAT_EQ(g.YToGain(y, 2, cfg), 2.5f);
    ASSERT_TRUE(CPlotGeometry::GetAdjuster(cfg, 8, adj));
    EXPECT_FLOAT_EQ(g.YToGain(g.AdjusterY(cfg, adj), 8, cfg), 3.0f);
    // The channel high-pass handle ignores gains; its gain is the plain level offset.
    ASSERT_TRUE(CPlotGeometry::GetAdjuster(cfg, 10, adj));
    EXPECT_FLOAT_EQ(adj.fltFreq, 30.0f);
    EXPECT_FLOAT_EQ(g.YToGain(7 + 66, 10, cfg), 0.0f);
    // Half-dB resolution.
    EXPECT_FLOAT_EQ(g.YToGain(7 + 67, 10, cfg), -0.5f);

    EXPECT_FALSE(CPlotGeometry::GetAdjuster(cfg, 0, adj));
    EXPECT_FALSE(CPlotGeometry::GetAdjuster(cfg, 11, adj));
}

TEST(PlotGeometry, QFromDistanceAndQBarWidth)
{
    const CPlotGeometry g(LEFT, TOP);
    const int xc = g.FreqToX(1000);
    EXPECT_FLOAT_EQ(g.QFromX(1000.0f, xc), 100.0f); // at least one pixel
    EXPECT_FLOAT_EQ(g.QFromX(1000.0f, xc + 10), 10.0f);
    EXPECT_FLOAT_EQ(g.QFromX(1000.0f, xc - 200), 0.5f);
    EXPECT_FLOAT_EQ(g.QFromX(999.6f, xc + 4), 25.0f); // centre rounded to the nearest hertz
    EXPECT_EQ(g.QHalfWidth(1.0f), 100);
    EXPECT_EQ(g.QHalfWidth(0.707f), 141);
    EXPECT_EQ(g.QHalfWidth(10.0f), 10);
    // A Q of zero (possible in a file) gives a bounded bar.
    EXPECT_EQ(g.QHalfWidth(0.0f), 30000);
    EXPECT_EQ(g.QHalfWidth(-1.0f), 30000);
}

class PlotDragTest : public ::testing::Test {
protected:
    CEditorSink m_sink;
    CPlotGeometry m_g{LEFT, TOP};
};

TEST_F(PlotDragTest, LowCrossoverToTheFarLeftStopsAtTheModesMinimum)
{
    CChannelConfig tri(CHANNEL_CENTER);
    EXPECT_EQ(m_g.ApplyDragStep(tri, 1, false, LEFT + 5, 72), 4);
    EXPECT_FLOAT_EQ(tri.GetLowLPFreq(), 200.0f); // already 200: nothing sent for it
    tri.SetLowLPFreq(1000.0f, false);
    m_g.ApplyDragStep(tri, 1, false, -3000, 72);
    EXPECT_FLOAT_EQ(tri.GetLowLPFreq(), 200.0f);
    EXPECT_EQ(m_sink.Sets(CHANNEL_CENTER, 23), std::vector<float>{200.0f});

    CChannelConfig bi(CHANNEL_CENTER);
    bi.SetMode(MODE_BIAMP);
    m_g.ApplyDragStep(bi, 1, false, -3000, 72);
    EXPECT_FLOAT_EQ(bi.GetLowLPFreq(), 100.0f);
    m_g.ApplyDragStep(bi, 1, false, 32000, 72);
    EXPECT_FLOAT_EQ(bi.GetLowLPFreq(), 4000.0f);
    EXPECT_EQ(m_sink.Sets(CHANNEL_CENTER, 23), (std::vector<float>{200.0f, 100.0f, 4000.0f}));
}

TEST_F(PlotDragTest, GainsAreClampedAndSentAsOutputWrites)
{
    CChannelConfig cfg(CHANNEL_LEFT);
    // Far above the area: the band gain stops at 0 dB (unchanged, nothing sent).
    m_g.ApplyDragStep(cfg, 1, false, m_g.FreqToX(500), -500);
    EXPECT_FLOAT_EQ(cfg.GetLowGain(), 0.0f);
    EXPECT_EQ(m_sink.Commands(7), 0u);
    // Far below: -18 dB, one output write.
    m_g.ApplyDragStep(cfg, 1, false, m_g.FreqToX(500), 5000);
    EXPECT_FLOAT_EQ(cfg.GetLowGain(), -18.0f);
    EXPECT_FLOAT_EQ(cfg.GetLowLPFreq(), static_cast<float>(m_g.XToFreq(m_g.FreqToX(500))));
    EXPECT_EQ(m_sink.Commands(7), 1u);
    // Equaliser gains -12..+6, shelf gains 0..+6.
    m_g.ApplyDragStep(cfg, 7, false, m_g.FreqToX(3000), -500);
    EXPECT_FLOAT_EQ(cfg.GetHighPEQGain(), 6.0f);
    m_g.ApplyDragStep(cfg, 7, false, m_g.FreqToX(3000), 5000);
    EXPECT_FLOAT_EQ(cfg.GetHighPEQGain(), -12.0f);
    m_g.ApplyDragStep(cfg, 8, false, m_g.FreqToX(100), 5000);
    EXPECT_FLOAT_EQ(cfg.GetSEQGain(), 0.0f);
    EXPECT_FLOAT_EQ(cfg.GetSEQFreq(), 1000.0f);
    m_g.ApplyDragStep(cfg, 9, false, 32000, -500);
    EXPECT_FLOAT_EQ(cfg.GetHEQGain(), 6.0f);
    EXPECT_FLOAT_EQ(cfg.GetHEQFreq(), 15000.0f);
    // A point on the axis gives that frequency and the gain under the mouse.
    m_g.ApplyDragStep(cfg, 7, false, m_g.FreqToX(5000), m_g.GainToY(2.5f));
    EXPECT_FLOAT_EQ(cfg.GetHighPEQFreq(), static_cast<float>(m_g.XToFreq(m_g.FreqToX(5000))));
    EXPECT_FLOAT_EQ(cfg.GetHighPEQGain(), 2.5f);
    EXPECT_EQ(m_sink.Sets(CHANNEL_LEFT, 5).back(), 2.5f);
}

TEST_F(PlotDragTest, QHandlesChangeOnlyTheQ)
{
    CChannelConfig cfg(CHANNEL_RIGHT);
    const float fltFreq = cfg.GetMidPEQFreq();
    // Onto the centre line: 100 clamped to 10.
    EXPECT_EQ(m_g.ApplyDragStep(cfg, 5, true, m_g.FreqToX(fltFreq), 0), 2);
    EXPECT_FLOAT_EQ(cfg.GetMidPEQQ(), 10.0f);
    EXPECT_FLOAT_EQ(cfg.GetMidPEQFreq(), fltFreq);
    EXPECT_FLOAT_EQ(cfg.GetMidPEQGain(), 0.0f);
    // Far away: 0.5.
    m_g.ApplyDragStep(cfg, 5, true, -5000, 0);
    EXPECT_FLOAT_EQ(cfg.GetMidPEQQ(), 0.5f);
    m_g.ApplyDragStep(cfg, 5, true, m_g.FreqToX(fltFreq) + 40, 0);
    EXPECT_FLOAT_EQ(cfg.GetMidPEQQ(), 2.5f);
    EXPECT_EQ(m_sink.Sets(CHANNEL_RIGHT, 17), (std::vector<float>{10.0f, 0.5f, 2.5f}));
    EXPECT_TRUE(m_sink.Sets(CHANNEL_RIGHT, 16).empty());
}

TEST_F(PlotDragTest, RangesFollowTheModeAndTheChannel)
{
    CChannelConfig cfg(CHANNEL_LEFT);
    m_g.ApplyDragStep(cfg, 2, false, 32000, 60);
    EXPECT_FLOAT_EQ(cfg.GetLowPEQFreq(), 800.0f);
    cfg.SetMode(MODE_BIAMP);
    m_g.ApplyDragStep(cfg, 2, false, 32000, 60);
    EXPECT_FLOAT_EQ(cfg.GetLowPEQFreq(), 4000.0f);
    m_g.ApplyDragStep(cfg, 2, false, -100, 60);
    EXPECT_FLOAT_EQ(cfg.GetLowPEQFreq(), 25.0f);

    CChannelConfig sub(CHANNEL_SUBWOOFER);
    EXPECT_FLOAT_EQ(sub.GetLowLPFreq(), 500.0f);
    m_g.ApplyDragStep(sub, 1, false, -100, 5000);
    EXPECT_FLOAT_EQ(sub.GetLowLPFreq(), 500.0f); // not dragged for the Subwoofer
    EXPECT_FLOAT_EQ(sub.GetLowGain(), -18.0f);
    EXPECT_TRUE(m_sink.Sets(CHANNEL_SUBWOOFER, 23).empty());

    CChannelConfig c(CHANNEL_CENTER);
    EXPECT_EQ(m_g.ApplyDragStep(c, 3, false, -100, 60), 2);
    EXPECT_FLOAT_EQ(c.GetMidHPFreq(), 130.0f);
    EXPECT_EQ(m_g.ApplyDragStep(c, 3, false, 32000, 60), 2);
    EXPECT_FLOAT_EQ(c.GetMidHPFreq(), 1000.0f);
    EXPECT_EQ(m_g.ApplyDragStep(c, 4, false, -100, 60), 2);
    EXPECT_FLOAT_EQ(c.GetMidLPFreq(), 200.0f);
    EXPECT_EQ(m_g.ApplyDragStep(c, 6, false, 32000, 60), 1);
    EXPECT_FLOAT_EQ(c.GetHighHPFreq(), 4000.0f);
    EXPECT_EQ(m_g.ApplyDragStep(c, 7, false, -100, 60), 1);
    EXPECT_FLOAT_EQ(c.GetHighPEQFreq(), 300.0f);
    EXPECT_EQ(m_g.ApplyDragStep(c, 10, false, 32000, 5000), 7);
    EXPECT_FLOAT_EQ(c.GetHPFreq(), 40.0f);
    EXPECT_EQ(m_g.ApplyDragStep(c, 10, false, -100, -5000), 7);
    EXPECT_FLOAT_EQ(c.GetHPFreq(), 20.0f);
    EXPECT_EQ(m_sink.Sets(CHANNEL_CENTER, 0), (std::vector<float>{40.0f, 20.0f}));
}

TEST_F(PlotDragTest, UnknownAdjustersChangeNothing)
{
    CChannelConfig cfg(CHANNEL_LEFT);
    EXPECT_EQ(m_g.ApplyDragStep(cfg, 0, false, 0, 0), 0);
    EXPECT_EQ(m_g.ApplyDragStep(cfg, 11, true, 0, 0), 0);
    EXPECT_TRUE(m_sink.requests.empty());
}

TEST(DpiScale, FactorsRoundingAndBounds)
{
    const CDpiScale unit;
    EXPECT_TRUE(unit.IsUnscaled());
    EXPECT_EQ(unit.X(648), 648);
    const CDpiScale s120(120, 120);
    EXPECT_DOUBLE_EQ(s120.GetScaleX(), 1.25);
    EXPECT_EQ(s120.X(13), 16); // 16.25
    EXPECT_EQ(s120.Y(2), 3);   // 2.5: halves away from zero
    EXPECT_EQ(s120.Y(-2), -3);
    const CDpiScale s144(144, 120);
    EXPECT_EQ(s144.X(5), 8); // 7.5
    EXPECT_EQ(s144.Y(5), 6); // 6.25: each axis has its own factor
    // No answer from the screen, or a broken registry value.
    EXPECT_TRUE(CDpiScale(0, -5).IsUnscaled());
    EXPECT_EQ(CDpiScale(100000, 1).GetDpiX(), CDpiScale::MAX_DPI);
    EXPECT_EQ(CDpiScale(100000, 1).GetDpiY(), CDpiScale::MIN_DPI);
}

// The same geometry at 96, 120 and 144 dpi (100 %, 125 %, 150 %): it keeps
// the 96-dpi proportions, so the grid and the curves fill the control, and
// the conversions stay the inverse of the drawing, so a drag lands under
// the pointer.
class PlotAtDpi : public ::testing::Test {
protected:
    // Runs a check at each resolution in turn.
    template <typename F> void AtEachDpi(F check)
    {
        for (int nDpi : {96, 120, 144}) {
            SCOPED_TRACE(::testing::Message() << nDpi << " dpi");
            m_nDpi = nDpi;
            check();
        }
    }
    CDpiScale Scale() const { return CDpiScale(m_nDpi, m_nDpi); }
    double S() const { return m_nDpi / 96.0; }
    int m_nDpi = 96;
    CEditorSink m_sink;
};

TEST_F(PlotAtDpi, AxisKeepsItsProportionsAndMeetsTheGrid)
{
    AtEachDpi([&] {
            const int left = 51;
            const CPlotGeometry g(left, 3, Scale());
            // 20 kHz: 648 pixels at 96 dpi (single-precision accumulation), 648 * s elsewhere.
            EXPECT_NEAR(g.FreqToX(20000) - left, 648 * S(), 1.0 + S());
            EXPECT_EQ(g.FreqToX(20000), g.FreqToX(25000));
            EXPECT_EQ(g.FreqToX(25) - left, static_cast<int>(11 * S()));
            EXPECT_EQ(g.FreqToX(10), g.FreqToX(25));
            for (int j = 0; j < CPlotGeometry::AXIS_ENTRIES; ++j) {
                const int f = CPlotGeometry::s_anAxis[j];
                // Each entry within a (scaled) pixel of its nominal place, and its
                // grid line one pixel to its left as at 96 dpi.
                EXPECT_NEAR(g.FreqToX(f) - left, (11 + 22 * j) * S(), 1.0 + S()) << f;
                EXPECT_NEAR(g.FreqToX(f) - g.GridX(j), S(), 1.0 + S()) << f;
                EXPECT_EQ(g.LabelX(j) - left, Scale().X(1 + 22 * j));
            }
            // The curves end on the 20 kHz grid line.
            EXPECT_EQ(g.PointToX(CPlotGeometry::LAST_POINT), g.FreqToX(20000));
            EXPECT_LE(std::abs(g.PointToX(CPlotGeometry::LAST_POINT) - g.GridX(CPlotGeometry::AXIS_ENTRIES - 1)), 2);
            // Rows and the area.
            EXPECT_EQ(g.PlotHeight(), Scale().Y(192));
            EXPECT_EQ(g.GridY(0), g.GainToY(24.0f));
            EXPECT_EQ(g.GridY(2), g.GainToY(0.0f));
            EXPECT_EQ(g.GridY(7), g.GainToY(-60.0f));
            EXPECT_EQ(g.HandleRadiusX(), Scale().X(5));
    });
}

TEST_F(PlotAtDpi, PressingOnAHandleKeepsItsFrequency)
{
    AtEachDpi([&] {
            const CPlotGeometry g(40, 0, Scale());
            // XToFreq of the handle's own x gives a frequency drawn at most two
            // pixels plus the width of one hertz from it, as at 96 dpi (the search
            // walks its own accumulation from one pixel to the left; at the low end
            // a hertz is several pixels wide), two pixels from 1 kHz on.  It never
            // decreases with x.
            for (int f = 20; f <= 20000; f += (f < 1000 ? 1 : 7)) {
                const int x = g.FreqToX(f);
                const int nHertz = std::max({1, g.FreqToX(f + 1) - x, x - g.FreqToX(f - 1)});
                ASSERT_LE(std::abs(g.FreqToX(g.XToFreq(x)) - x), f < 1000 ? 2 + nHertz : 2) << f;
            }
            int prev = 0;
            for (int x = 0; x < 40 + 700 * S(); ++x) {
                const int f = g.XToFreq(x);
                ASSERT_GE(f, prev) << x;
                prev = f;
            }
            EXPECT_EQ(g.XToFreq(-32768), 20);
            EXPECT_EQ(g.XToFreq(32767), 20000);
    });
}

TEST_F(PlotAtDpi, DragsLandUnderThePointerInHalfDecibels)
{
    AtEachDpi([&] {
            const CPlotGeometry g(40, 0, Scale());
            CChannelConfig cfg(CHANNEL_CENTER);
            cfg.SetLevel(-2.5f, false);
            CPlotGeometry::SAdjuster adj;
            // Gains are half dB whatever the resolution: the field shows what is stored.
            for (int y = -20; y < g.PlotHeight() + 20; ++y) {
                const float gain = g.YToGain(y, 10, cfg);
                ASSERT_EQ(gain * 2.0f, std::round(gain * 2.0f)) << y;
            }
            // A handle drawn at a gain gives that gain back where it is drawn.
            for (float gain : {-18.0f, -12.5f, -4.5f, 0.0f}) {
                cfg.SetLowGain(gain, false, false);
                ASSERT_TRUE(CPlotGeometry::GetAdjuster(cfg, 1, adj));
                EXPECT_FLOAT_EQ(g.YToGain(g.AdjusterY(cfg, adj), 1, cfg), gain);
            }
            // The High PEQ dragged to points within its ranges: drawn again where
            // they are (two pixels as above, half a dB vertically).
            struct SPoint {
                int x, y;
            };
            cfg.SetHighGain(-3.0f, false, false);
            const float fltBase = cfg.GetLevel() + cfg.GetHighGain();
            for (SPoint pt : {SPoint{g.FreqToX(1234), g.GainToY(fltBase + 5.0f) + 1},
                              SPoint{g.FreqToX(9000), g.GainToY(fltBase - 11.0f)},
                              SPoint{g.FreqToX(400), g.GainToY(fltBase - 0.5f) - 1}}) {
                EXPECT_EQ(g.ApplyDragStep(cfg, 7, false, pt.x, pt.y), 1);
                ASSERT_TRUE(CPlotGeometry::GetAdjuster(cfg, 7, adj));
                EXPECT_LE(std::abs(g.FreqToX(adj.fltFreq) - pt.x), 2) << pt.x;
                EXPECT_LE(std::abs(g.AdjusterY(cfg, adj) - pt.y), S() + 0.5) << pt.y; // half a dB
            }
            // A Q handle stays where it is: the bar's half-width gives the Q back.
            for (float q : {0.5f, 1.0f, 2.5f, 10.0f}) {
                const int xc = g.FreqToX(1000);
                EXPECT_NEAR(g.QFromX(1000.0f, xc + g.QHalfWidth(q)), q, q * q / (100.0f * S())) << q;
            }
            EXPECT_EQ(g.QHalfWidth(1.0f), Scale().X(100));
    });
}

} // namespace
