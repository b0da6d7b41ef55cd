#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FilterCoef.h"

namespace {

int Point(int hz) { return hz / 5; }

class BandResponseTest : public testing::Test {
protected:
    CBandResponse response;
};

TEST_F(BandResponseTest, GridIsTheUnitCircleInFivehertzSteps)
{
    const std::complex<float>* z1 = response.GetGrid();
    const std::complex<float>* z2 = response.GetGrid2();
    EXPECT_EQ(z1[0], std::complex<float>(1.0f, -0.0f));
    const float w = (1000.0f * static_cast<float>(3.141592653589793)) / 9600.0f;
    EXPECT_EQ(z1[1000].real(), std::cos(w));
    EXPECT_EQ(z1[1000].imag(), -std::sin(w));
    EXPECT_EQ(z2[1000], z1[1000] * z1[1000]);
    EXPECT_NEAR(z1[4800].real(), 0.0f, 1e-6f); // 24 kHz is a quarter turn
}

TEST_F(BandResponseTest, DefaultLeftTriampCurves)
{
    CChannelConfig left(CHANNEL_LEFT);
    response.RecalcBands(left, BAND_ALL);
    const float* low = response.GetLowBand();
    // Single-precision coefficients put 100 Hz at -0.547 (-0.556 in exact arithmetic).
    EXPECT_NEAR(low[Point(100)], -0.55f, 0.015f);
    EXPECT_NEAR(low[Point(200)], -5.96f, 0.01f); // crossover point
    EXPECT_NEAR(low[Point(25)], -4.8f, 0.05f);   // the 30 Hz high-pass
    EXPECT_TRUE(std::isinf(low[0]) && low[0] < 0); // high-pass at 0 Hz

    const float* mid = response.GetMidBand();
    int peak = 5;
    for (int i = 5; i < CBandResponse::RESPONSE_POINTS; ++i)
        if (mid[i] > mid[peak])
            peak = i;
    EXPECT_NEAR(mid[peak], -0.66f, 0.01f);
    EXPECT_NEAR(peak * 5, 710, 15);

    const float* high = response.GetHighBand();
    EXPECT_NEAR(high[Point(20000)], 0.0f, 0.1f);
    EXPECT_LT(high[Point(1000)], -15.0f);
}

TEST_F(BandResponseTest, EqualiserAndShelfContributions)
{
    CChannelConfig base(CHANNEL_LEFT), peq(CHANNEL_LEFT);
    base.SetLowPEQFreq(100.0f, false);
    peq.SetLowPEQFreq(100.0f, false);
    peq.SetLowPEQGain(6.0f, false);
    CBandResponse other;
    response.RecalcBands(base, BAND_LOW);
    other.RecalcBands(peq, BAND_LOW);
    EXPECT_NEAR(other.GetLowBand()[Point(100)] - response.GetLowBand()[Point(100)], 6.08f, 0.01f);

    CChannelConfig seq(CHANNEL_LEFT);
    seq.SetSEQFreq(2000.0f, false);
    seq.SetSEQGain(6.0f, false);
    response.RecalcBands(CChannelConfig(CHANNEL_LEFT), BAND_HIGH);
    other.RecalcBands(seq, BAND_HIGH);
    const float diff = other.GetHighBand()[Point(20000)] - response.GetHighBand()[Point(20000)];
    EXPECT_NEAR(diff, 7.6f, 0.05f);
    EXPECT_LT(diff, 7.6f);
}

TEST_F(BandResponseTest, HighPassTermOnlyAboveTwentyHertzAndNotForSubwoofer)
{
    CChannelConfig c(CHANNEL_LEFT);
    c.SetHPFreq(20.0f, false);
    response.RecalcBands(c, BAND_LOW);
    EXPECT_TRUE(std::isfinite(response.GetLowBand()[0])); // no high-pass term at all
    EXPECT_NEAR(response.GetLowBand()[Point(25)], 0.0f, 0.01f);

    // Subwoofer: no high-pass, low-pass at 12 dB per octave (|H|, not |H|^2).
    CChannelConfig sub(CHANNEL_SUBWOOFER);
    sub.SetLowLPFreq(100.0f, false);
    response.RecalcBands(sub, BAND_LOW);
    const float* low = response.GetLowBand();
    EXPECT_NEAR(low[Point(25)], 0.0f, 0.05f);
    EXPECT_NEAR(low[Point(100)], -3.0f * 0.99f, 0.05f);
    EXPECT_NEAR(low[Point(1600)] - low[Point(800)], -12.0f * 0.99f, 0.3f);
}

TEST_F(BandResponseTest, RecalcBandsTouchesOnlyMaskedBandsAndMatchesComputeBand)
{
    CChannelConfig c(CHANNEL_CENTER);
    c.SetMidPEQGain(3.0f, false);
    c.SetHEQGain(-4.0f, false);
    c.SetLevel(-2.0f, false);
    c.SetMidGain(1.5f, false, false);
    float* low = response.GetLowBand();
    low[100] = 12345.0f;
    response.RecalcBands(c, BAND_MID | BAND_HIGH);
    EXPECT_EQ(low[100], 12345.0f);

    float buf[CBandResponse::RESPONSE_POINTS];
    response.ComputeBand(c, c.GetMidLPFreq(), c.GetMidHPFreq(), c.GetMidPEQFreq(), c.GetMidPEQGain(),
                         c.GetMidPEQQ(), buf, BAND_MID);
    EXPECT_EQ(0, std::memcmp(buf, response.GetMidBand(), sizeof buf));
    response.ComputeBand(c, 0.0f, c.GetHighHPFreq(), c.GetHighPEQFreq(), c.GetHighPEQGain(), c.GetHighPEQQ(), buf,
                         BAND_HIGH);
    EXPECT_EQ(0, std::memcmp(buf, response.GetHighBand(), sizeof buf));
    // Level, band gain and the equaliser (1.013 of its decibels) add up.
    CChannelConfig plain(CHANNEL_CENTER);
    CBandResponse other;
    other.RecalcBands(plain, BAND_MID);
    EXPECT_NEAR(response.GetMidBand()[Point(800)] - other.GetMidBand()[Point(800)], -2.0f + 1.5f + 3.0f * 1.013f,
                0.02f);
}

TEST_F(BandResponseTest, WideAndBaselineEvaluationAgreeBitForBit)
{
    if (!CBandResponse::HasWideVectors())
        GTEST_SKIP() << "no AVX2 path on this build or processor";
    CChannelConfig c(CHANNEL_LEFT);
    c.SetLowPEQGain(4.0f, false);
    c.SetMidPEQGain(-7.0f, false);
    c.SetHighPEQGain(2.0f, false);
    c.SetSEQGain(5.0f, false);
    c.SetHEQGain(-3.0f, false);
    c.SetHPQ(2.0f, false);
    CBandResponse other;
    CBandResponse::AllowWideVectors(false);
    response.RecalcBands(c, BAND_ALL);
    CBandResponse::AllowWideVectors(true);
    other.RecalcBands(c, BAND_ALL);
    const size_t cb = sizeof(float) * CBandResponse::RESPONSE_POINTS;
    EXPECT_EQ(0, std::memcmp(response.GetLowBand(), other.GetLowBand(), cb));
    EXPECT_EQ(0, std::memcmp(response.GetMidBand(), other.GetMidBand(), cb));
    EXPECT_EQ(0, std::memcmp(response.GetHighBand(), other.GetHighBand(), cb));
}

TEST_F(BandResponseTest, MatchesAReferenceEvaluationAcrossTheCurve)
{
    // Every contribution of the High band active, against the same
    // single-precision coefficients evaluated in double with the library's
    // logarithm: only the single-precision evaluation may differ.
    CChannelConfig c(CHANNEL_RIGHT);
    c.SetHighPEQGain(5.0f, false);
    c.SetSEQGain(3.0f, false);
    c.SetHEQGain(-6.0f, false);
    response.RecalcBands(c, BAND_HIGH);
    const float* high = response.GetHighBand();

    BiquadCoefs hp{}, bhp{}, peq{}, seq{}, heq{};
    CalcBiquadCoefs(BIQUAD_HIGHPASS, 0, 30, 96000, 0.707f, 0, &hp);
    CalcBiquadCoefs(BIQUAD_HIGHPASS, 0, 2500, 96000, 0.7071067811865475, 0, &bhp);
    CalcBiquadCoefs(BIQUAD_PEAKING, 5, 3000, 96000, 1, 0, &peq);
    CalcBiquadCoefs(BIQUAD_HIGHSHELF, 3, 7500, 96000, 0, 1, &seq);
    CalcBiquadCoefs(BIQUAD_HIGHSHELF, -6, 7500, 96000, 0, 1, &heq);
    for (int i = 1; i < CBandResponse::RESPONSE_POINTS; i += 3) {
        const std::complex<double> z1(response.GetGrid()[i]), z2(response.GetGrid2()[i]);
        auto mag = [&](const BiquadCoefs& k) {
            return std::abs((double(k.b0.real()) + double(k.b1.real()) * z1 + double(k.b2.real()) * z2) /
                            (double(k.a0.real()) + double(k.a1.real()) * z1 + double(k.a2.real()) * z2));
        };
        const double expected = 20 * std::log(mag(hp)) * 0.43 + 20 * std::log(mag(bhp) * mag(bhp)) * 0.43 +
                                20 * std::log(mag(peq) * mag(peq)) * 0.22 + 20 * std::log(mag(seq)) * 0.55 +
                                20 * std::log(mag(heq)) * 0.55;
        EXPECT_NEAR(high[i], expected, 0.02 + 2e-3 * std::fabs(expected)) << "point " << i;
    }
}

} // namespace
