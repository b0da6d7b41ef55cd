// The target curves, smoothing, the deviation readout and CRoomCurves, the
// one computation the plot and qvrtool draw from.

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "measure/DeviationTable.h"
#include "measure/DriverSet.h"
#include "measure/RoomCurves.h"
#include "measure/Smoothing.h"
#include "measure/TargetCurve.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"

TEST(TargetCurve, EveryCurveAtItsBreakpointsAndByName)
{
    struct SCase {
        const char* pszName;
        double dKnee, dSlope1, dSlope2;
    } cases[] = {{"X30", 2000, 2, 4},     {"X150", 2000, 2.5, 5}, {"X500", 2000, 3, 6}, {"X1000", 2000, 3.5, 7},
                 {"X1500", 2000, 4, 8},   {"X2000", 2000, 4.5, 9}, {"S2K", 2000, 1.5, 1.5}, {"S4K", 4000, 3, 3}};
    for (const SCase& c : cases) {
        ETargetCurve e;
        ASSERT_TRUE(CTargetCurve::FromName(c.pszName, e)) << c.pszName;
        EXPECT_STREQ(CTargetCurve::Name(e), c.pszName);
        EXPECT_EQ(CTargetCurve::Shape(e, 25.0), 0.0) << c.pszName;
        EXPECT_EQ(CTargetCurve::Shape(e, c.dKnee), 0.0) << c.pszName;
        // An octave above the knee, and from 10 kHz on at the second slope.
        EXPECT_NEAR(CTargetCurve::Shape(e, 2 * c.dKnee), -c.dSlope1, 1e-12) << c.pszName;
        const double d10k = -c.dSlope1 * std::log2(10000.0 / c.dKnee);
        EXPECT_NEAR(CTargetCurve::Shape(e, 10000.0), d10k, 1e-12) << c.pszName;
        EXPECT_NEAR(CTargetCurve::Shape(e, 20000.0), d10k - c.dSlope2, 1e-12) << c.pszName;
    }
    // X500 at 10 kHz: 3 dB per octave over log2(5) octaves.
    EXPECT_NEAR(CTargetCurve::Shape(ETargetCurve::X500, 10000.0), -6.966, 1e-3);
    ETargetCurve e;
    EXPECT_FALSE(CTargetCurve::FromName("x500", e));
    EXPECT_FALSE(CTargetCurve::FromName("X5000", e));
}

TEST(TargetCurve, LevelIsTheMeanFrom500HzTo2kHzEvenInLogFrequency)
{
    // A curve rising linearly in log f: its mean is the value at the
    // geometric centre, 1 kHz, however unevenly the points are spread.
    std::vector<double> f, db;
    for (double x = 100.0; x <= 5000.0; x += 5.0) {
        f.push_back(x);
        db.push_back(80.0 + 10.0 * std::log2(x / 1000.0));
    }
    EXPECT_NEAR(CTargetCurve::MeanLevel(f.data(), db.data(), f.size()), 80.0, 1e-9);
    // Points outside the range and NaN stretches are left out.
    db[0] = std::nan("");
    db[300] = std::nan(""); // 1600 Hz
    EXPECT_NEAR(CTargetCurve::MeanLevel(f.data(), db.data(), f.size()), 80.0, 0.2);
    std::vector<double> none(f.size(), std::nan(""));
    EXPECT_TRUE(std::isnan(CTargetCurve::MeanLevel(f.data(), none.data(), f.size())));
}

TEST(Smoothing, ANotchIsFilledAsThePowerAverageOverTheWindowSays)
{
    // Power 1 everywhere but a notch of power 0 one twelfth of an octave
    // wide at 1 kHz (101 grid steps: 100 at nothing and two half steps where
    // the trapezoids ramp), on a log grid whose windows end on its points.
    const int nPerOctave = 1212;
    std::vector<double> f, db;
    for (int i = -3 * nPerOctave; i <= 3 * nPerOctave; ++i) {
        const double x = 1000.0 * std::exp2(static_cast<double>(i) / nPerOctave);
        f.push_back(x);
        db.push_back(std::abs(i) <= nPerOctave / 24 ? -300.0 : 0.0); // -300 dB: power 1e-30
    }
    std::vector<double> out(f.size());
    CSmoothing::Apply(f.data(), db.data(), f.size(), 3, out.data());
    const std::size_t c = f.size() / 2;
    // The notch covers a quarter of the 1/3-octave window, half of the
    // 1/6-octave one.
    EXPECT_NEAR(out[c], 10.0 * std::log10(1.0 - 0.25), 1e-6);
    // Half-way up the notch's edge the window holds less of it.
    EXPECT_NEAR(out[c + 202], 10.0 * std::log10(1.0 - 0.125), 1e-6);
    CSmoothing::Apply(f.data(), db.data(), f.size(), 6, out.data());
    EXPECT_NEAR(out[c], 10.0 * std::log10(1.0 - 0.5), 1e-6);
    // Far from the notch nothing changes; no smoothing is a copy.
    EXPECT_NEAR(out[100], 0.0, 1e-12);
    CSmoothing::Apply(f.data(), db.data(), f.size(), 0, out.data());
    EXPECT_EQ(out[c], -300.0);
}

TEST(DeviationTable, ThirdOctaveBandsAgainstTargetAndMask)
{
    std::vector<double> f, predicted, target, lo, hi;
    for (int i = 1; i <= 4000; ++i) {
        const double x = 5.0 * i;
        f.push_back(x);
        target.push_back(80.0 + CTargetCurve::Shape(ETargetCurve::X500, x));
        predicted.push_back(target.back() + (x > 3000.0 && x < 5000.0 ? 4.0 : 1.0)); // 4 dB too loud at 4 kHz
        lo.push_back(target.back() - 3.0);
        hi.push_back(target.back() + 3.0);
        if (x < 20.0)
            predicted.back() = std::nan("");
    }
    const auto rows = CDeviationTable::Compute(f.data(), predicted.data(), target.data(), lo.data(), hi.data(),
                                               f.size());
    ASSERT_EQ(rows.size(), 30u);
    EXPECT_EQ(rows.front().dNominal, 25.0);
    EXPECT_EQ(rows[1].dNominal, 31.5);
    EXPECT_EQ(rows.back().dNominal, 20000.0);
    EXPECT_NEAR(rows[16].dCentre, 1000.0, 1e-9);
    EXPECT_NEAR(rows[16].dDeviation, 1.0, 0.01); // 1 kHz: flat stretch
    EXPECT_FALSE(rows[16].bOutside);
    EXPECT_NEAR(rows[22].dDeviation, 4.0, 0.05); // 4 kHz
    EXPECT_TRUE(rows[22].bOutside);
    EXPECT_TRUE(std::isnan(rows.back().dDeviation)); // the band reaches past the data
    const std::string csv = CDeviationTable::Csv(rows);
    EXPECT_EQ(csv.substr(0, 30), "band_hz,deviation_db,outside\n2");
    EXPECT_NE(csv.find("\n1000,1.00,no\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n4000,4.0"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n20000,,\n"), std::string::npos) << csv;
    // Without a mask the outside column is empty.
    const auto bare = CDeviationTable::Compute(f.data(), predicted.data(), target.data(), nullptr, nullptr, f.size());
    EXPECT_NE(CDeviationTable::Csv(bare).find("\n1000,1.00,\n"), std::string::npos);
}

TEST(RoomCurves, CurvesOnThePlotsGridWithNothingDrawnWhereNothingIsKnown)
{
    CChannelConfig cfg(CHANNEL_CENTER);
    // A flat measurement at 85 dB from 30 Hz to 16 kHz, made with cfg.
    CMeasurement room;
    std::string error;
    ASSERT_TRUE(CMeasurement::FromPoints({{30.0, 85.0, 0.0}, {16000.0, 85.0, 0.0}}, false, room, error));
    CRoomCurves curves;
    curves.SetRoom(room, cfg, EPhaseChoice::Measured);
    curves.Update(cfg);
    EXPECT_TRUE(std::isnan(curves.Measured()[5]));  // 25 Hz
    EXPECT_TRUE(std::isnan(curves.Predicted()[5]));
    EXPECT_NEAR(curves.Measured()[200], 85.0, 1e-9); // 1 kHz
    EXPECT_NEAR(curves.Predicted()[200], 85.0, 1e-9); // as measured: nothing changed
    EXPECT_NEAR(curves.TargetLevel(), 85.0, 1e-9);
    EXPECT_NEAR(curves.Target()[2000], 85.0 + CTargetCurve::Shape(ETargetCurve::X500, 10000.0), 1e-9);
    EXPECT_TRUE(std::isnan(curves.MaskMin()[200])); // no mask

    // An edit: 6 dB more level moves the prediction, the target follows it.
    CChannelConfig louder = cfg;
    louder.SetLevel(cfg.GetLevel() + 6.0f, false);
    curves.Update(louder);
    EXPECT_NEAR(curves.Predicted()[200], 91.0, 0.01);
    EXPECT_NEAR(curves.Measured()[200], 85.0, 1e-9);
    EXPECT_NEAR(curves.TargetLevel(), 91.0, 0.01);

    // A typed level, a mask, and smoothing that keeps a flat curve flat.
    CToleranceMask mask;
    ASSERT_TRUE(CToleranceMask::FromPoints({{20.0, -2.0, 0.0, 2.0}, {20000.0, -2.0, 0.0, 2.0}}, mask, error));
    curves.SetMask(&mask);
    SRoomView view;
    view.bTypedLevel = true;
    view.dTypedLevel = 88.0;
    view.nSmoothing = 3;
    curves.SetView(view);
    curves.Update(louder);
    EXPECT_NEAR(curves.Predicted()[200], 91.0, 0.01);
    EXPECT_EQ(curves.TargetLevel(), 88.0);
    EXPECT_NEAR(curves.MaskMax()[200], 90.0, 1e-9);
    EXPECT_EQ(curves.Outside()[200], 1);  // 91 above 90
    EXPECT_EQ(curves.Outside()[3600], 0); // 18 kHz: nothing predicted there
    const auto rows = curves.Deviations();
    EXPECT_NEAR(rows[16].dDeviation, 3.0, 0.01);
    EXPECT_TRUE(rows[16].bOutside);

    // The plot's sum over driver measurements is not what the room heard
    // through: the prediction stays the filters' own.
    CDriverSet drivers;
    CMeasurement quiet;
    ASSERT_TRUE(CMeasurement::FromPoints({{20.0, -20.0, 0.0}, {20000.0, -20.0, 0.0}}, true, quiet, error));
    drivers.SetDriver(BAND_LOW, quiet, EPhaseChoice::Measured);
    drivers.SetDriver(BAND_MID, quiet, EPhaseChoice::Measured);
    drivers.SetDriver(BAND_HIGH, quiet, EPhaseChoice::Measured);
    CBandResponse bands;
    CSummedResponse plotSum;
    bands.RecalcBands(louder, BAND_ALL);
    drivers.ApplyTo(plotSum);
    plotSum.Recalc(louder, bands, BAND_ALL);
    curves.Update(louder, plotSum);
    EXPECT_NEAR(curves.Predicted()[200], 91.0, 0.01);

    curves.ClearRoom();
    curves.Update(louder);
    EXPECT_TRUE(std::isnan(curves.Predicted()[200]));
    EXPECT_EQ(curves.Target()[200], 88.0); // a typed level needs no measurement
}
