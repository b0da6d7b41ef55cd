// Phase and prediction, each against an independent computation: the
// minimum phase of a biquad chain's magnitude against the chain's own phase,
// a prediction against the edited configuration's response computed
// directly, a sum over magnitude-only drivers against the same drivers with
// their exact phase.

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include <gtest/gtest.h>

#include "measure/DriverSet.h"
#include "measure/Measurement.h"
#include "measure/MinimumPhase.h"
#include "measure/Prediction.h"
#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FilterCoef.h"
#include "model/SummedResponse.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr double FS = 96000.0;

std::complex<double> Eval(const BiquadCoefs& c, double f)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * PI * f / FS);
    const std::complex<double> z2 = z1 * z1;
    auto d = [](std::complex<float> v) { return static_cast<double>(v.real()); };
    return (d(c.b0) + d(c.b1) * z1 + d(c.b2) * z2) / (d(c.a0) + d(c.a1) * z1 + d(c.a2) * z2);
}

std::vector<double> LogGrid(double f0, double f1, int n)
{
    std::vector<double> f(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        f[static_cast<std::size_t>(i)] = f0 * std::pow(f1 / f0, i / (n - 1.0));
    return f;
}

// A measurement of the values h at frequencies f, with or without phase.
CMeasurement MeasurementOf(const std::vector<double>& f, const std::vector<std::complex<double>>& h, bool bPhase)
{
    std::vector<SMeasurementPoint> pts;
    double dPrev = 0.0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        double deg = std::arg(h[i]) * 180.0 / PI;
        // Unwrapped as a measurement program gives it.
        while (deg - dPrev > 180.0)
            deg -= 360.0;
        while (deg - dPrev < -180.0)
            deg += 360.0;
        dPrev = deg;
        pts.push_back({f[i], 20.0 * std::log10(std::abs(h[i])), deg});
    }
    CMeasurement m;
    std::string error;
    EXPECT_TRUE(CMeasurement::FromPoints(pts, bPhase, m, error)) << error;
    return m;
}

CChannelConfig EditedChannel(float fltPEQGain, float fltMidLP)
{
    CChannelConfig c(CHANNEL_LEFT);
    c.SetLevel(-2.0f, false);
    c.SetLowLPFreq(300.0f, false);
    c.SetMidHPFreq(300.0f, false);
    c.SetMidLPFreq(fltMidLP, false);
    c.SetHighHPFreq(fltMidLP, false);
    c.SetMidPEQFreq(1000.0f, false);
    c.SetMidPEQQ(2.0f, false);
    c.SetMidPEQGain(fltPEQGain, false);
    c.SetLowDelay(0.3f, false);
    return c;
}

} // namespace

TEST(MinimumPhase, OfABiquadChainsMagnitudeIsTheChainsPhase)
{
    // A chain the program builds: the High band with the channel high-pass
    // at 40 Hz, its Linkwitz-Riley high-pass at 2 kHz, a PEQ cut and both
    // shelves; every section minimum-phase.  Its magnitude and phase are
    // evaluated here directly from the sections' coefficients.
    CChannelConfig cfg(CHANNEL_LEFT);
    cfg.SetHPFreq(40.0f, false);
    cfg.SetHPQ(0.707f, false);
    cfg.SetHighHPFreq(2000.0f, false);
    cfg.SetHighPEQFreq(5000.0f, false);
    cfg.SetHighPEQGain(-6.0f, false);
    cfg.SetHighPEQQ(2.0f, false);
    cfg.SetSEQFreq(8000.0f, false);
    cfg.SetSEQGain(3.0f, false);
    cfg.SetHEQFreq(12000.0f, false);
    cfg.SetHEQGain(-2.0f, false);
    SBandSection aSec[CBandResponse::MAX_SECTIONS];
    const int nSections = CBandResponse::DesignBand(cfg, BAND_HIGH, aSec);
    ASSERT_EQ(nSections, 5);
    const std::vector<double> f = LogGrid(10.0, 24000.0, 2000);
    std::vector<double> db(f.size()), phase(f.size()), exact(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        std::complex<double> h = 1.0;
        for (int k = 0; k < nSections; ++k)
            h *= std::pow(Eval(aSec[k].c, f[i]), aSec[k].nPhasePower);
        db[i] = 20.0 * std::log10(std::abs(h));
        exact[i] = std::arg(h) * 180.0 / PI;
    }
    CMinimumPhase::Compute(f.data(), db.data(), f.size(), phase.data());
    double dWorst = 0.0, dAt = 0.0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] < 30.0 || f[i] > 15000.0)
            continue;
        // Compare as angles: the exact phase is wrapped, ours is not.
        const double d = std::remainder(phase[i] - exact[i], 360.0);
        if (std::fabs(d) > dWorst) {
            dWorst = std::fabs(d);
            dAt = f[i];
        }
    }
    EXPECT_LT(dWorst, 1.0) << "at " << dAt << " Hz";
}

TEST(Prediction, AMeasuredKnownResponseFollowsAnEditExactly)
{
    // The "measurement" is exactly what the channel plays before the edit,
    // read at log-spaced frequencies as a measurement program would.
    const CChannelConfig before = EditedChannel(0.0f, 3000.0f);
    CBandResponse bands;
    CSummedResponse sum;
    bands.RecalcBands(before, BAND_ALL);
    sum.Recalc(before, bands, BAND_ALL);
    std::vector<std::complex<double>> hBefore(CPrediction::POINTS);
    CPrediction::Response(before, sum, hBefore.data());
    std::vector<double> f;
    std::vector<std::complex<double>> h;
    for (int i = 2; i < CPrediction::POINTS; ++i) {
        f.push_back(5.0 * i);
        h.push_back(hBefore[static_cast<std::size_t>(i)]);
    }
    const CMeasurement m = MeasurementOf(f, h, true);
    std::vector<double> grid(CPrediction::POINTS);
    for (int i = 0; i < CPrediction::POINTS; ++i)
        grid[static_cast<std::size_t>(i)] = 5.0 * i;
    std::vector<std::complex<double>> measured(CPrediction::POINTS);
    m.SampleComplex(grid.data(), grid.size(), EPhaseChoice::Measured, measured.data());

    CPrediction prediction;
    prediction.SetAsMeasured(before);
    // The edit: a PEQ boost, the crossover moved, the channel delayed.
    CChannelConfig after = EditedChannel(6.0f, 2000.0f);
    after.SetDelay(1.0f, false);
    std::vector<std::complex<double>> predicted(CPrediction::POINTS);
    prediction.Predict(measured.data(), after, predicted.data());

    CBandResponse bands2;
    CSummedResponse sum2;
    bands2.RecalcBands(after, BAND_ALL);
    sum2.Recalc(after, bands2, BAND_ALL);
    int nCompared = 0;
    for (int i = 4; i <= 4000; ++i) {
        const double dExpected = sum2.GetSum()[i];
        const double dGot = 20.0 * std::log10(std::abs(predicted[static_cast<std::size_t>(i)]));
        ASSERT_NEAR(dGot, dExpected, 0.05) << 5 * i << " Hz";
        ++nCompared;
    }
    EXPECT_EQ(nCompared, 3997);
    // Without a configuration to divide out, the prediction is the measurement.
    CPrediction same;
    same.Predict(measured.data(), after, predicted.data());
    EXPECT_EQ(predicted[200], measured[200]);
}

TEST(Prediction, WhereTheMeasuredConfigurationIsSilentNothingIsPredicted)
{
    // Measured with the High band muted: above the crossover H_as_measured
    // falls far below its median and cannot be divided out.
    CChannelConfig before = EditedChannel(0.0f, 2000.0f);
    before.SetHighFlags(BAND_FLAG_MUTE, false);
    std::vector<std::complex<double>> measured(CPrediction::POINTS, std::complex<double>(1.0, 0.0));
    CPrediction prediction;
    prediction.SetAsMeasured(before);
    std::vector<std::complex<double>> predicted(CPrediction::POINTS);
    prediction.Predict(measured.data(), EditedChannel(0.0f, 2000.0f), predicted.data());
    EXPECT_FALSE(std::isnan(predicted[200].real()));   // 1 kHz
    EXPECT_TRUE(std::isnan(predicted[3000].real()));   // 15 kHz: the muted band alone
}

TEST(Drivers, MagnitudeOnlyMinimumPhaseDriversSumAsWithTheirExactPhase)
{
    // Two drivers that are minimum-phase systems: a woofer rolling off as a
    // second-order low-pass at 1.5 kHz, a tweeter as a second-order
    // high-pass at 1.2 kHz (analog sections, evaluated exactly).
    auto woofer = [](double f) {
        const std::complex<double> s(0.0, f / 1500.0);
        return 1.0 / (s * s + s / 0.8 + 1.0);
    };
    auto tweeter = [](double f) {
        const std::complex<double> s(0.0, f / 1200.0);
        return 2.0 * s * s / (s * s + s / 0.6 + 1.0);
    };
    const std::vector<double> f = LogGrid(10.0, 24000.0, 1500);
    std::vector<std::complex<double>> hw, ht;
    for (double x : f) {
        hw.push_back(woofer(x));
        ht.push_back(tweeter(x));
    }
    CChannelConfig c(CHANNEL_LEFT);
    c.SetMode(MODE_BIAMP);
    c.SetLowLPFreq(1800.0f, false);
    c.SetHighHPFreq(1800.0f, false);
    c.SetHighDelay(0.1f, false);
    CBandResponse bands;
    bands.RecalcBands(c, BAND_ALL);

    auto sumWith = [&](bool bPhase, EPhaseChoice e, std::vector<double>& out) {
        CDriverSet drivers;
        drivers.SetDriver(BAND_LOW, MeasurementOf(f, hw, bPhase), e);
        drivers.SetDriver(BAND_HIGH, MeasurementOf(f, ht, bPhase), e);
        CSummedResponse sum;
        drivers.ApplyTo(sum);
        sum.Recalc(c, bands, BAND_ALL);
        out.assign(sum.GetSum(), sum.GetSum() + CSummedResponse::POINTS);
    };
    std::vector<double> exact, minimum, chosen;
    sumWith(true, EPhaseChoice::Measured, exact);
    sumWith(false, EPhaseChoice::Measured, minimum); // no phase in the file: minimum phase
    sumWith(true, EPhaseChoice::Minimum, chosen);    // the user's choice
    for (int i = 6; i <= 3000; ++i) {
        ASSERT_NEAR(minimum[static_cast<std::size_t>(i)], exact[static_cast<std::size_t>(i)], 0.1) << 5 * i << " Hz";
        ASSERT_NEAR(chosen[static_cast<std::size_t>(i)], exact[static_cast<std::size_t>(i)], 0.1) << 5 * i << " Hz";
    }
    // The phase matters: the tweeter inverted (180 degrees wrong) moves the sum.
    std::vector<std::complex<double>> htInverted;
    for (const auto& v : ht)
        htInverted.push_back(-v);
    CDriverSet wrong;
    wrong.SetDriver(BAND_LOW, MeasurementOf(f, hw, true), EPhaseChoice::Measured);
    wrong.SetDriver(BAND_HIGH, MeasurementOf(f, htInverted, true), EPhaseChoice::Measured);
    CSummedResponse sum;
    wrong.ApplyTo(sum);
    sum.Recalc(c, bands, BAND_ALL);
    double dMoved = 0.0;
    for (int i = 200; i <= 600; ++i) // 1 to 3 kHz
        dMoved = std::max(dMoved, std::fabs(sum.GetSum()[i] - exact[static_cast<std::size_t>(i)]));
    EXPECT_GT(dMoved, 3.0);
}

TEST(Drivers, TheBandCurveAndTheSumFollowTheDriverAndNothingOutsideItsRange)
{
    CChannelConfig c(CHANNEL_LEFT);
    c.SetMode(MODE_BIAMP);
    CBandResponse bands;
    bands.RecalcBands(c, BAND_ALL);
    CSummedResponse plain;
    plain.Recalc(c, bands, BAND_ALL);
    // A driver 6 dB down from 100 Hz to 10 kHz, flat in phase.
    CMeasurement driver;
    std::string error;
    ASSERT_TRUE(CMeasurement::FromPoints({{100.0, -6.0, 0.0}, {10000.0, -6.0, 0.0}}, true, driver, error));
    CDriverSet set;
    set.SetDriver(BAND_LOW, driver, EPhaseChoice::Measured);
    EXPECT_TRUE(set.HasDriver(BAND_LOW));
    EXPECT_FALSE(set.HasDriver(BAND_HIGH));
    std::vector<double> curve(CDriverSet::POINTS);
    set.BandCurve(BAND_LOW, bands.GetLowBand(), curve.data());
    EXPECT_NEAR(curve[40], bands.GetLowBand()[40] - 6.0, 1e-9); // 200 Hz
    EXPECT_TRUE(std::isnan(curve[10]));                         // 50 Hz: not measured
    set.BandCurve(BAND_HIGH, bands.GetHighBand(), curve.data());
    EXPECT_EQ(curve[10], bands.GetHighBand()[10]); // no driver: the filters alone

    CSummedResponse sum;
    set.ApplyTo(sum);
    sum.Recalc(c, bands, BAND_ALL);
    EXPECT_TRUE(std::isnan(sum.GetSum()[10]));
    EXPECT_FALSE(std::isnan(sum.GetSum()[400]));
    // Removing the drivers gives today's sum back.
    CDriverSet none;
    none.ApplyTo(sum);
    sum.Recalc(c, bands, 0);
    for (int i = 1; i < CSummedResponse::POINTS; i += 50)
        EXPECT_DOUBLE_EQ(sum.GetSum()[i], plain.GetSum()[i]);
}
