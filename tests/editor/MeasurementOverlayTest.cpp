// What the plot draws of the measurements: the channel on show's room
// curves, relative to the target's level, following the filters; drivers
// replacing the bands' and the sum's curves; nothing for a channel without
// measurements.
#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

#include "editor/measurements/MeasurementOverlay.h"
#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"

namespace {

constexpr int POINTS = CSummedResponse::POINTS;
constexpr double SPL = 85.0; // what a measurement program writes: sound pressure, far above the plot's scale

// A "measurement" of cfg in a perfect room: its summed response, raised to
// sound pressure, every fourth grid point from 20 Hz on, magnitude only.
CMeasurement MeasurementOf(const CChannelConfig& cfg, double dRaise = SPL)
{
    CBandResponse bands;
    CSummedResponse sum;
    bands.RecalcBands(cfg, BAND_ALL);
    sum.Recalc(cfg, bands, BAND_ALL);
    std::vector<SMeasurementPoint> points;
    for (int i = 4; i < POINTS; i += 4)
        if (std::isfinite(sum.GetSum()[i]))
            points.push_back(SMeasurementPoint{5.0 * i, sum.GetSum()[i] + dRaise, 0.0});
    CMeasurement m;
    std::string error;
    EXPECT_TRUE(CMeasurement::FromPoints(points, false, m, error)) << error;
    return m;
}

CMeasurement Flat(double dDb)
{
    std::vector<SMeasurementPoint> points;
    for (double f = 20.0; f <= 20000.0; f *= 1.05)
        points.push_back(SMeasurementPoint{f, dDb, 0.0});
    CMeasurement m;
    std::string error;
    EXPECT_TRUE(CMeasurement::FromPoints(points, false, m, error)) << error;
    return m;
}

struct SPlotted {
    CBandResponse bands;
    SPlotOverlay overlay;
    SPlotted(CMeasurementOverlay& source, const CChannelConfig& cfg, int nMask = BAND_ALL)
    {
        bands.RecalcBands(cfg, BAND_ALL);
        overlay = source.Refresh(cfg, bands, nullptr, nMask);
    }
};

} // namespace

TEST(MeasurementOverlay, RoomCurvesSitOnTheTargetLevelAndThePredictionFollowsAnEdit)
{
    CChannelConfig cfg(CHANNEL_CENTER);
    CMeasurementOverlay source;
    source.Document().channels[CHANNEL_CENTER].room = SSidecarMeasurement{"room.txt", MeasurementOf(cfg), {}};
    source.Document().channels[CHANNEL_CENTER].asMeasured = cfg;
    source.Changed();

    {
        SPlotted p(source, cfg);
        ASSERT_TRUE(p.overlay.pdMeasured && p.overlay.pdPredicted && p.overlay.pdTarget);
        // Drawn relative to the target's level, which is near the measured
        // sound pressure (the factory sum is flat to a few dB from 500 Hz to 2 kHz).
        // Unedited, the measurement's level is the target's (both its mean
        // from 500 Hz to 2 kHz).
        EXPECT_NEAR(source.DisplayOffset(), source.RoomCurves().TargetLevel(), 1e-9);
        EXPECT_NEAR(source.DisplayOffset(), SPL, 6.0);
        EXPECT_NEAR(p.overlay.pdTarget[200], 0.0, 1e-9); // 1 kHz: the target's flat part
        // The legend says which level the scale's 0 stands for.
        ASSERT_TRUE(p.overlay.pszTargetLegend);
        wchar_t szLevel[32];
        std::swprintf(szLevel, 32, L"%.1f", source.DisplayOffset());
        EXPECT_EQ(std::wstring(p.overlay.pszTargetLegend), L"Target X500 at " + std::wstring(szLevel) +
                                                               L" dB (0 on the scale: " + szLevel + L" dB)");
        // Unedited: the prediction is the measurement.
        for (int i = 10; i < 3900; i += 37)
            if (std::isfinite(p.overlay.pdMeasured[i])) {
                EXPECT_NEAR(p.overlay.pdPredicted[i], p.overlay.pdMeasured[i], 0.01) << i;
            }
        EXPECT_NEAR(p.overlay.pdMeasured[400] + source.DisplayOffset(), source.RoomCurves().Measured()[400], 1e-9);
    }

    // A 6 dB boost at 1 kHz on the High band: the prediction rises there
    // (and the target's level with it: it is taken from the prediction).
    CChannelConfig edited = cfg;
    edited.SetHighPEQFreq(4000.0f, false);
    edited.SetHighPEQQ(2.0f, false);
    edited.SetHighPEQGain(6.0f, false);
    const double dZero = source.DisplayOffset();
    SPlotted p(source, edited, BAND_HIGH);
    // The drawing's 0 does not follow the edit: the measured curve stays put
    // while the prediction and the target's level move.
    EXPECT_DOUBLE_EQ(source.DisplayOffset(), dZero);
    const double dRise = (p.overlay.pdPredicted[800] + source.DisplayOffset()) - source.RoomCurves().Measured()[800];
    EXPECT_NEAR(dRise, 6.0, 0.3);

    // Handed the plot's own sum (current while the plot shows it), the
    // prediction is the same as computed here; and after a stretch of
    // those, a step without it (mask High only) still sees every band.
    const std::vector<double> expected(p.overlay.pdPredicted, p.overlay.pdPredicted + POINTS);
    CSummedResponse sum;
    sum.Recalc(edited, p.bands, BAND_ALL);
    const SPlotOverlay withSum = source.Refresh(edited, p.bands, &sum, BAND_HIGH);
    const std::vector<double> withSumValues(withSum.pdPredicted, withSum.pdPredicted + POINTS);
    CChannelConfig lowered = edited;
    lowered.SetLowLPFreq(400.0f, false); // from 200 Hz
    CMeasurementOverlay fresh; // the same document, computed from nothing
    fresh.Document() = source.Document();
    fresh.Changed();
    SPlotted q(fresh, lowered, BAND_ALL);
    const std::vector<double> loweredExpected(q.overlay.pdPredicted, q.overlay.pdPredicted + POINTS);
    CSummedResponse sumLowered;
    sumLowered.Recalc(lowered, q.bands, BAND_ALL);
    source.Refresh(lowered, q.bands, &sumLowered, BAND_LOW);
    const SPlotOverlay again = source.Refresh(lowered, q.bands, nullptr, BAND_HIGH);
    for (int i = 10; i < 3900; i += 13) {
        if (std::isfinite(expected[i])) {
            EXPECT_NEAR(withSumValues[i], expected[i], 1e-9) << i;
        }
        if (std::isfinite(loweredExpected[i])) {
            EXPECT_NEAR(again.pdPredicted[i], loweredExpected[i], 1e-9) << i;
        }
    }

    // The channel 3 dB louder: the target's level rises with the
    // prediction, the scale's 0 stays the measurement's.
    CChannelConfig louder = lowered;
    louder.SetLevel(lowered.GetLevel() + 3.0f, false);
    SPlotted r(source, louder, BAND_ALL); // the level is in every band's curve
    EXPECT_DOUBLE_EQ(source.DisplayOffset(), dZero);
    EXPECT_NEAR(source.RoomCurves().TargetLevel() - dZero, 3.0, 0.5);
    EXPECT_NEAR(r.overlay.pdTarget[200], source.RoomCurves().TargetLevel() - dZero, 1e-9);
}

TEST(MeasurementOverlay, OnlyTheChannelOnShowIsDrawnAndARemovedMeasurementDrawsNothing)
{
    CChannelConfig left(CHANNEL_LEFT), center(CHANNEL_CENTER);
    CMeasurementOverlay source;
    source.Document().channels[CHANNEL_LEFT].room = SSidecarMeasurement{"left.txt", MeasurementOf(left), {}};
    source.Document().channels[CHANNEL_LEFT].asMeasured = left;
    source.Changed();
    EXPECT_TRUE(SPlotted(source, left).overlay.pdMeasured);
    const SPlotted other(source, center);
    EXPECT_FALSE(other.overlay.pdMeasured || other.overlay.pdPredicted || other.overlay.pdTarget);
    EXPECT_DOUBLE_EQ(source.DisplayOffset(), 0.0);
    EXPECT_TRUE(SPlotted(source, left).overlay.pdPredicted); // and back

    source.Document().channels[CHANNEL_LEFT].room.reset();
    source.Document().channels[CHANNEL_LEFT].asMeasured.reset();
    source.Changed();
    const SPlotted removed(source, left);
    EXPECT_FALSE(removed.overlay.pdMeasured || removed.overlay.pdPredicted || removed.overlay.pdTarget);
}

TEST(MeasurementOverlay, ADriverReplacesItsBandAndTheSumWhileOtherBandsStayFlat)
{
    CChannelConfig cfg(CHANNEL_CENTER);
    CMeasurementOverlay source;
    source.Document().channels[CHANNEL_CENTER].drivers[0] = SSidecarMeasurement{"woofer.txt", Flat(3.0), {}};
    source.Changed();
    SPlotted p(source, cfg);
    ASSERT_TRUE(p.overlay.apdBand[0]);
    EXPECT_FALSE(p.overlay.apdBand[1] || p.overlay.apdBand[2]);
    ASSERT_TRUE(p.overlay.pdSum);
    // A flat +3 dB driver: the Low band's curve 3 dB up.
    EXPECT_NEAR(p.overlay.apdBand[0][40], p.bands.GetLowBand()[40] + 3.0, 0.01);
    // No room measurement: no room curves.
    EXPECT_FALSE(p.overlay.pdMeasured || p.overlay.pdPredicted);
    // The sum over the drivers: where only the Low band plays (100 Hz) it is that band's level.
    EXPECT_NEAR(p.overlay.pdSum[20], p.overlay.apdBand[0][20], 0.5);
}
