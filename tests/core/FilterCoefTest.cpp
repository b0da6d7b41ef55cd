#include <cmath>
#include <complex>
#include <cstring>

#include <gtest/gtest.h>

#include "model/FilterCoef.h"

namespace {

// |H| at frequency f for the record (Fs 96000), evaluated in double.
double Magnitude(const BiquadCoefs& c, double f)
{
    const double w = 2.0 * 3.141592653589793 * f / 96000.0;
    const std::complex<double> z1 = std::polar(1.0, -w), z2 = z1 * z1;
    const std::complex<double> num = double(c.b0.real()) + double(c.b1.real()) * z1 + double(c.b2.real()) * z2;
    const std::complex<double> den = double(c.a0.real()) + double(c.a1.real()) * z1 + double(c.a2.real()) * z2;
    return std::abs(num / den);
}

double Db(double m) { return 20.0 * std::log10(m); }

TEST(FilterCoef, LowPassMatchesCookbookRoundedToFloat)
{
    BiquadCoefs c{};
    CalcBiquadCoefs(BIQUAD_LOWPASS, 12.0 /* ignored */, 1000.0, 96000.0, 0.7071, 0.0, &c);
    const double w0 = 6.283185307179586 * 1000.0 / 96000.0;
    const double s = std::sin(w0), co = std::cos(w0), alpha = s / (2 * 0.7071);
    EXPECT_EQ(c.a0.real(), static_cast<float>(1 + alpha));
    EXPECT_EQ(c.a1.real(), static_cast<float>(-2 * co));
    EXPECT_LT(c.a1.real(), 0.0f);
    EXPECT_EQ(c.a2.real(), static_cast<float>(1 - alpha));
    EXPECT_EQ(c.b0.real(), static_cast<float>((1 - co) / 2));
    EXPECT_EQ(c.b1.real(), static_cast<float>(1 - co));
    EXPECT_EQ(c.b2.real(), static_cast<float>((1 - co) / 2));
    for (const auto& v : {c.a0, c.a1, c.a2, c.b0, c.b1, c.b2})
        EXPECT_EQ(v.imag(), 0.0f);
    EXPECT_NEAR(Magnitude(c, 10.0), 1.0, 1e-4);
    EXPECT_NEAR(Db(Magnitude(c, 1000.0)), -3.01, 0.02);
}

TEST(FilterCoef, EveryTypeHasItsCharacteristicResponse)
{
    BiquadCoefs c{};
    CalcBiquadCoefs(BIQUAD_HIGHPASS, 0, 1000, 96000, 0.7071, 0, &c);
    EXPECT_LT(Db(Magnitude(c, 100)), -39.0);
    EXPECT_NEAR(Magnitude(c, 20000), 1.0, 0.01);

    CalcBiquadCoefs(BIQUAD_BANDPASS_SKIRT, 0, 1000, 96000, 4.0, 0, &c);
    EXPECT_NEAR(Magnitude(c, 1000), 4.0, 0.01); // peak gain = Q
    CalcBiquadCoefs(BIQUAD_BANDPASS_PEAK, 0, 1000, 96000, 4.0, 0, &c);
    EXPECT_NEAR(Magnitude(c, 1000), 1.0, 0.001);
    EXPECT_LT(Magnitude(c, 100), 0.1);

    CalcBiquadCoefs(BIQUAD_NOTCH, 0, 1000, 96000, 2.0, 0, &c);
    EXPECT_LT(Magnitude(c, 1000), 1e-3);
    EXPECT_NEAR(Magnitude(c, 100), 1.0, 0.01);

    CalcBiquadCoefs(BIQUAD_ALLPASS, 0, 1000, 96000, 2.0, 0, &c);
    for (double f : {50.0, 1000.0, 15000.0})
        EXPECT_NEAR(Magnitude(c, f), 1.0, 1e-5);

    CalcBiquadCoefs(BIQUAD_PEAKING, 6.0, 1000, 96000, 1.0, 0, &c);
    EXPECT_NEAR(Db(Magnitude(c, 1000)), 6.0, 0.01);
    CalcBiquadCoefs(BIQUAD_LOWSHELF, 6.0, 1000, 96000, 0, 1.0, &c);
    EXPECT_NEAR(Db(Magnitude(c, 20)), 6.0, 0.05);
    EXPECT_NEAR(Db(Magnitude(c, 20000)), 0.0, 0.05);
}

TEST(FilterCoef, PeakingAtZeroGainIsFlat)
{
    BiquadCoefs c{};
    CalcBiquadCoefs(BIQUAD_PEAKING, 0.0, 800, 96000, 1.0, 0, &c);
    EXPECT_EQ(c.b0, c.a0);
    EXPECT_EQ(c.b1, c.a1);
    EXPECT_EQ(c.b2, c.a2);
}

TEST(FilterCoef, HighShelfApproachesItsGain)
{
    BiquadCoefs c{};
    CalcBiquadCoefs(BIQUAD_HIGHSHELF, 6.0, 1000, 96000, 0 /* ignored */, 1.0, &c);
    EXPECT_NEAR(Db(Magnitude(c, 30000)), 6.0, 0.05);
    EXPECT_NEAR(Db(Magnitude(c, 20)), 0.0, 0.05);
}

TEST(FilterCoef, UnknownTypeLeavesTheRecordUntouched)
{
    BiquadCoefs c{};
    c.a0 = {1.5f, 2.5f};
    c.b2 = {-7.0f, 3.0f};
    const BiquadCoefs before = c;
    CalcBiquadCoefs(9, 3.0, 1000, 96000, 1, 1, &c);
    EXPECT_EQ(0, std::memcmp(&before, &c, sizeof c));
}

} // namespace
