#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FastMath.h"
#include "model/PlotGeometry.h"
#include "model/SummedResponse.h"

namespace {

int Point(int hz) { return hz / 5; }
constexpr double NEG_INF = -std::numeric_limits<double>::infinity();

// The band curves and the sum of one channel, computed from scratch.
struct SChannelSum {
    CBandResponse bands;
    CSummedResponse sum;
    explicit SChannelSum(const CChannelConfig& c)
    {
        bands.RecalcBands(c, BAND_ALL);
        sum.Recalc(c, bands, BAND_ALL);
    }
};

// The channel of tests/core/summed_reference.py: Left, Triamp, every filter
// active, delays everywhere, the Mid band inverted.
CChannelConfig ReferenceChannel()
{
    CChannelConfig c(CHANNEL_LEFT);
    c.SetLevel(-2.0f, false);
    c.SetHPFreq(40.0f, false);
    c.SetHPQ(0.707f, false);
    c.SetDelay(1.5f, false);
    c.SetLowLPFreq(250.0f, false);
    c.SetLowGain(-1.0f, false, false);
    c.SetLowDelay(0.8f, false);
    c.SetLowPEQFreq(60.0f, false);
    c.SetLowPEQGain(3.0f, false);
    c.SetLowPEQQ(2.0f, false);
    c.SetMidHPFreq(250.0f, false);
    c.SetMidLPFreq(2000.0f, false);
    c.SetMidGain(-3.0f, false, false);
    c.SetMidDelay(0.25f, false);
    c.SetMidPEQFreq(1000.0f, false);
    c.SetMidPEQGain(-4.0f, false);
    c.SetMidPEQQ(1.5f, false);
    c.SetMidFlags(BAND_FLAG_INVERT, false);
    c.SetHighHPFreq(2000.0f, false);
    c.SetHighGain(-6.0f, false, false);
    c.SetHighPEQFreq(8000.0f, false);
    c.SetHighPEQGain(2.0f, false);
    c.SetHighPEQQ(3.0f, false);
    c.SetSEQFreq(8000.0f, false);
    c.SetSEQGain(3.0f, false);
    c.SetHEQFreq(12000.0f, false);
    c.SetHEQGain(2.0f, false);
    return c;
}

struct SReferenceRow {
    int nHz;
    double dSum, dPhase, dGroupDelay;
};
const SReferenceRow kReference[] = {
#include "tests/core/SummedResponseReference.inc"
};

double PhaseDistance(double a, double b)
{
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

TEST(SummedResponse, MatchesTheIndependentReferenceTable)
{
    const SChannelSum s(ReferenceChannel());
    for (const SReferenceRow& r : kReference) {
        SCOPED_TRACE(r.nHz);
        const int i = Point(r.nHz);
        // The band curves are evaluated in single precision (their error is
        // within 0.02 dB at low frequencies, see BandResponseTest): the sum
        // inherits that, the reference evaluates everything in double.
        EXPECT_NEAR(s.sum.GetSum()[i], r.dSum, 0.03);
        EXPECT_LT(PhaseDistance(s.sum.GetPhase()[i], r.dPhase), 0.05);
        EXPECT_NEAR(s.sum.GetGroupDelay()[i], r.dGroupDelay, 5e-3 + 1e-3 * std::fabs(r.dGroupDelay));
        EXPECT_GT(s.sum.GetPhase()[i], -180.0);
        EXPECT_LE(s.sum.GetPhase()[i], 180.0);
    }
}

TEST(SummedResponse, LinkwitzRileySlopesMeetingSumFlatAndNullWhenOneIsInverted)
{
    // Biamp, both slopes at 1 kHz, no channel high-pass (20 Hz is its floor).
    CChannelConfig c(CHANNEL_LEFT);
    c.SetMode(MODE_BIAMP);
    c.SetHPFreq(20.0f, false);
    c.SetLowLPFreq(1000.0f, false);
    c.SetHighHPFreq(1000.0f, false);
    const SChannelSum flat(c);
    for (int i = Point(25); i <= Point(20000); ++i)
        ASSERT_NEAR(flat.sum.GetSum()[i], 0.0, 0.1) << "at " << 5 * i << " Hz";
    EXPECT_FALSE(CSummedResponse::FindDeepestDip(flat.sum.GetSum()).bFound);

    c.SetHighFlags(BAND_FLAG_INVERT, false);
    const SChannelSum inverted(c);
    EXPECT_LT(inverted.sum.GetSum()[Point(1000)], -60.0);
    EXPECT_TRUE(std::isnan(inverted.sum.GetPhase()[Point(1000)]));
    EXPECT_TRUE(std::isnan(inverted.sum.GetGroupDelay()[Point(1000)]));
    EXPECT_GT(inverted.sum.GetSum()[Point(200)], -1.0); // away from the crossover one band dominates
    const CSummedResponse::SDip dip = CSummedResponse::FindDeepestDip(inverted.sum.GetSum());
    ASSERT_TRUE(dip.bFound);
    EXPECT_EQ(dip.dFreq, 1000.0);
    EXPECT_GT(dip.Depth(), 60.0);
}

TEST(SummedResponse, FactoryTriampDipsBetweenLowAndMid)
{
    const SChannelSum s{CChannelConfig(CHANNEL_LEFT)};
    const CSummedResponse::SDip dip = CSummedResponse::FindDeepestDip(s.sum.GetSum());
    ASSERT_TRUE(dip.bFound);
    EXPECT_NEAR(dip.dFreq, 250.0, 10.0);
    EXPECT_NEAR(dip.dLevel, -5.5, 0.1);
    // Much of the axis lies in the two crossover dips and the high-pass
    // roll-off: the median level is about -1 dB.
    EXPECT_NEAR(dip.dMedian, -1.0, 0.2);
    EXPECT_NEAR(dip.Depth(), 4.5, 0.2);
}

TEST(SummedResponse, OneBandAloneIsItsOwnCurve)
{
    // The Subwoofer has one band; a Triamp channel with two bands muted too.
    CChannelConfig sub(CHANNEL_SUBWOOFER);
    sub.SetLowDelay(3.0f, false);
    sub.SetLowFlags(BAND_FLAG_INVERT, false);
    CChannelConfig triamp(CHANNEL_CENTER);
    triamp.SetLowFlags(BAND_FLAG_MUTE, false);
    triamp.SetHighFlags(BAND_FLAG_MUTE | 0x5, false); // other bits are carried and mean nothing here
    triamp.SetMidPEQGain(4.0f, false);
    for (const CChannelConfig* pc : {&sub, &triamp}) {
        const SChannelSum s(*pc);
        const float* pCurve = pc == &sub ? s.bands.GetLowBand() : s.bands.GetMidBand();
        for (int i = 1; i < CSummedResponse::POINTS; ++i)
            ASSERT_NEAR(s.sum.GetSum()[i], pCurve[i], 1e-6) << "at " << 5 * i << " Hz";
    }
    // The Subwoofer's single 12 dB-per-octave section lags by 90 degrees at
    // its corner; inverted and 3 ms late.
    const SChannelSum s(sub);
    const double dExpected = 180.0 - 90.0 - 360.0 * 500.0 * 0.003;
    EXPECT_LT(PhaseDistance(s.sum.GetPhase()[Point(500)], dExpected), 0.5);
}

TEST(SummedResponse, EveryBandMutedIsSilence)
{
    CChannelConfig c(CHANNEL_RIGHT);
    c.SetLowFlags(BAND_FLAG_MUTE, false);
    c.SetMidFlags(BAND_FLAG_MUTE | BAND_FLAG_INVERT, false);
    c.SetHighFlags(BAND_FLAG_MUTE, false);
    const SChannelSum s(c);
    for (int i = 0; i < CSummedResponse::POINTS; ++i) {
        ASSERT_EQ(s.sum.GetSum()[i], NEG_INF);
        ASSERT_TRUE(std::isnan(s.sum.GetPhase()[i]) && std::isnan(s.sum.GetGroupDelay()[i]));
    }
    const CSummedResponse::SDip dip = CSummedResponse::FindDeepestDip(s.sum.GetSum());
    EXPECT_FALSE(dip.bFound);
    EXPECT_EQ(dip.dMedian, NEG_INF);
}

TEST(SummedResponse, DelaysShowInTheGroupDelayButTheChannelDelayIsLeftOut)
{
    CChannelConfig c = ReferenceChannel();
    const SChannelSum before(c);
    c.SetDelay(7.25f, false);
    const SChannelSum later(c);
    const size_t cb = sizeof(double) * CSummedResponse::POINTS;
    EXPECT_EQ(0, std::memcmp(before.sum.GetSum(), later.sum.GetSum(), cb));
    for (int i = 0; i < CSummedResponse::POINTS; ++i) {
        const double a = before.sum.GetPhase()[i], b = later.sum.GetPhase()[i];
        ASSERT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << i;
    }
    // The same delay on every band moves the whole sum: the group delay grows
    // by it, the magnitude stays.
    c.SetLowDelay(c.GetLowDelay() + 2.0f, false);
    c.SetMidDelay(c.GetMidDelay() + 2.0f, false);
    c.SetHighDelay(c.GetHighDelay() + 2.0f, false);
    const SChannelSum moved(c);
    for (const int hz : {50, 300, 1000, 5000, 15000}) {
        // (The delays are single-precision fields: adding 2 ms rounds a little.)
        EXPECT_NEAR(moved.sum.GetSum()[Point(hz)], before.sum.GetSum()[Point(hz)], 1e-5) << hz;
        EXPECT_NEAR(moved.sum.GetGroupDelay()[Point(hz)] - before.sum.GetGroupDelay()[Point(hz)], 2.0, 1e-5) << hz;
    }
}

TEST(SummedResponse, RecombiningAfterFlagAndDelayChangesMatchesAFreshComputation)
{
    // The editor recomputes only the bands whose fields changed (mask 0 for
    // Mute, Invert and delays): the cached phases must give what a fresh
    // computation gives.
    CChannelConfig c = ReferenceChannel();
    CBandResponse bands;
    CSummedResponse sum;
    bands.RecalcBands(c, BAND_ALL);
    sum.Recalc(c, bands, BAND_ALL);
    c.SetMidFlags(0, false);
    c.SetHighFlags(BAND_FLAG_INVERT, false);
    c.SetLowDelay(0.1f, false);
    sum.Recalc(c, bands, 0);
    c.SetHighPEQGain(-5.0f, false);
    bands.RecalcBands(c, BAND_HIGH);
    sum.Recalc(c, bands, BAND_HIGH);
    const SChannelSum fresh(c);
    const size_t cb = sizeof(double) * CSummedResponse::POINTS;
    EXPECT_EQ(0, std::memcmp(fresh.sum.GetSum(), sum.GetSum(), cb));
    EXPECT_EQ(0, std::memcmp(fresh.sum.GetGroupDelay(), sum.GetGroupDelay(), cb));

    // A mode change brings the Mid band in: its phase is computed then.
    CChannelConfig biamp = ReferenceChannel();
    biamp.SetMode(MODE_BIAMP);
    CBandResponse bands2;
    CSummedResponse sum2;
    bands2.RecalcBands(biamp, BAND_ALL);
    sum2.Recalc(biamp, bands2, BAND_ALL);
    const SChannelSum triamp(ReferenceChannel());
    EXPECT_GT(std::fabs(sum2.GetSum()[Point(1000)] - triamp.sum.GetSum()[Point(1000)]), 1.0);
    biamp.SetMode(MODE_TRIAMP);
    sum2.Recalc(biamp, bands2, BAND_ALL);
    EXPECT_EQ(0, std::memcmp(triamp.sum.GetSum(), sum2.GetSum(), cb));
}

TEST(SummedResponse, ZeroHertzAndAHighPassHaveNoPhase)
{
    const SChannelSum s{CChannelConfig(CHANNEL_LEFT)};
    EXPECT_EQ(s.sum.GetSum()[0], NEG_INF);
    EXPECT_TRUE(std::isnan(s.sum.GetPhase()[0]));
    for (int i = 1; i < CSummedResponse::POINTS; ++i) {
        const double p = s.sum.GetPhase()[i];
        if (s.sum.GetSum()[i] >= CSummedResponse::FLOOR_DB)
            ASSERT_TRUE(p > -180.0 && p <= 180.0) << i;
        else
            ASSERT_TRUE(std::isnan(p)) << i;
    }
}

TEST(SummedResponse, DeepestDipIgnoresEdgesRipplesAndNaN)
{
    std::vector<double> v(CSummedResponse::POINTS, 0.0);
    // Roll-offs at both ends are no dips; a 0.5 dB ripple is none either.
    for (int i = 0; i < 40; ++i)
        v[static_cast<size_t>(i)] = -30.0 + 0.75 * i;
    for (int i = 3900; i < CSummedResponse::POINTS; ++i)
        v[static_cast<size_t>(i)] = -(i - 3900) * 0.2;
    v[700] = -0.5;
    v[601] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(CSummedResponse::FindDeepestDip(v.data()).bFound);

    // Two dips: the lower one wins, a flat bottom is named by its middle.
    v[200] = -3.0;
    v[1000] = v[1001] = v[1002] = -4.0;
    CSummedResponse::SDip dip = CSummedResponse::FindDeepestDip(v.data());
    ASSERT_TRUE(dip.bFound);
    EXPECT_EQ(dip.dFreq, 5005.0);
    EXPECT_EQ(dip.dLevel, -4.0);
    EXPECT_EQ(dip.dMedian, 0.0);

    // An exact null is the deepest there can be.
    v[300] = NEG_INF;
    dip = CSummedResponse::FindDeepestDip(v.data());
    EXPECT_EQ(dip.dFreq, 1500.0);
    EXPECT_EQ(dip.Depth(), std::numeric_limits<double>::infinity());
    EXPECT_FALSE(CSummedResponse::FindDeepestDip(nullptr).bFound);
}

} // namespace

namespace {

TEST(SummedResponse, ValuesNoEditorWouldTakeGiveUndefinedPointsAndNothingWorse)
{
    // A file may hold any bits: NaN and infinite fields, a Q of 0, a corner
    // above half the sample rate, delays of any size.  Under the sanitizers
    // nothing may misbehave; every point is a number or undefined, and the
    // phase stays on its scale.
    const float NaNf = std::numeric_limits<float>::quiet_NaN();
    const float INFf = std::numeric_limits<float>::infinity();
    std::vector<CChannelConfig> channels(6, CChannelConfig(CHANNEL_LEFT));
    channels[0].SetLowDelay(NaNf, false);
    channels[1].SetMidPEQQ(0.0f, false);
    channels[1].SetMidPEQGain(6.0f, false);
    channels[2].SetHighHPFreq(60000.0f, false);
    channels[3].SetLevel(INFf, false);
    channels[4].SetHighDelay(1e30f, false);
    channels[4].SetMidDelay(-INFf, false);
    channels[5].SetHPQ(0.0f, false);
    channels[5].SetSEQGain(-INFf, false);
    for (const CChannelConfig& c : channels) {
        const SChannelSum s(c);
        for (int i = 0; i < CSummedResponse::POINTS; ++i) {
            const double p = s.sum.GetPhase()[i];
            ASSERT_TRUE(std::isnan(p) || (p > -180.0 && p <= 180.0)) << i;
            ASSERT_TRUE(std::isnan(p) == std::isnan(s.sum.GetGroupDelay()[i])) << i;
        }
        // Found or not, the dip agrees with its definition on these curves:
        // a found one lies in the range at a point of the sum below the
        // median; none found means no point below the median that the curve
        // rises above by MIN_DIP_RISE_DB on both sides before it falls below.
        const double* pdSum = s.sum.GetSum();
        const CSummedResponse::SDip dip = CSummedResponse::FindDeepestDip(pdSum);
        const int nFirst = CPlotGeometry::FIRST_POINT, nLast = CPlotGeometry::LAST_POINT;
        const double dHzPerPoint = 5.0;
        if (dip.bFound) {
            EXPECT_GE(dip.dFreq, 25.0);
            EXPECT_LE(dip.dFreq, 20000.0);
            EXPECT_LT(dip.dLevel, dip.dMedian);
            EXPECT_EQ(pdSum[static_cast<int>(dip.dFreq / dHzPerPoint)], dip.dLevel);
            continue;
        }
        int nQualifying = 0;
        for (int i = nFirst + 1; i < nLast; ++i) { // nothing is below a median of NaN or minus infinity
            const double v = pdSum[i];
            if (!(v < dip.dMedian) || !(pdSum[i - 1] > v))
                continue;
            int j = i;
            while (j < nLast && pdSum[j + 1] == v)
                ++j;
            if (j == nLast || !(pdSum[j + 1] > v))
                continue;
            auto rise = [&](int k, int step) {
                double top = v;
                for (; k >= nFirst && k <= nLast && !(pdSum[k] < v); k += step)
                    if (pdSum[k] > top)
                        top = pdSum[k];
                return top - v;
            };
            if (rise(i - 1, -1) >= CSummedResponse::MIN_DIP_RISE_DB &&
                rise(j + 1, +1) >= CSummedResponse::MIN_DIP_RISE_DB)
                ++nQualifying;
        }
        EXPECT_EQ(nQualifying, 0) << "record " << (&c - channels.data()) << " median " << dip.dMedian;
    }
}

} // namespace

namespace {

TEST(FastMath, ExpAndAtan2AgreeWithTheLibrary)
{
    for (double x = -707.9; x < 709.7; x += 0.0137) {
        const double e = std::exp(x);
        ASSERT_NEAR(CFastMath::Exp(x), e, 2e-15 * e) << x;
    }
    for (const double x : {0.0, -0.0, 1e-300, 1.0, -1.0, 0.5 * std::log(2.0)})
        EXPECT_NEAR(CFastMath::Exp(x), std::exp(x), 2e-16 * std::exp(x)) << x;
    EXPECT_EQ(CFastMath::Exp(-800.0), 0.0);
    EXPECT_EQ(CFastMath::Exp(710.0), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(CFastMath::Exp(std::numeric_limits<double>::quiet_NaN())));

    // Every direction around the circle, at several distances, the axes and
    // the octant borders included.
    for (int n = 0; n < 3600; ++n) {
        const double a = -3.141592653589793 + n * (2 * 3.141592653589793 / 3600) + 1e-7;
        for (const double r : {1e-200, 1e-6, 1.0, 3e5, 1e200}) {
            const double x = r * std::cos(a), y = r * std::sin(a);
            ASSERT_NEAR(CFastMath::Atan2(y, x), std::atan2(y, x), 1e-13) << x << " " << y;
        }
    }
    for (const double x : {-2.0, -0.5, 0.5, 2.0})
        for (const double y : {-2.0, -0.5, 0.0, 0.5, 2.0, x, -x}) {
            // (-2, -0.0 and such: the sign of a zero y is not kept; the sum wraps -180 to +180 anyway)
            if (y == 0.0 && x < 0.0)
                continue;
            EXPECT_NEAR(CFastMath::Atan2(y, x), std::atan2(y, x), 1e-15) << x << " " << y;
        }
    EXPECT_EQ(CFastMath::Atan2(0.0, 0.0), 0.0);
    EXPECT_NEAR(CFastMath::Atan2(0.0, -1.0), 3.141592653589793, 1e-15);
    EXPECT_TRUE(std::isnan(CFastMath::Atan2(std::numeric_limits<double>::quiet_NaN(), 1.0)));
}

} // namespace
