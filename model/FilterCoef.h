#pragma once
// Biquad coefficient design for the drawn response (audio-EQ cookbook
// formulas, bilinear transform with pre-warped frequency).

#include <complex>
#include <cstdint>

// Filter types accepted by CalcBiquadCoefs.
enum EBiquadType : std::uint32_t {
    BIQUAD_LOWPASS = 0,
    BIQUAD_HIGHPASS = 1,
    BIQUAD_BANDPASS_SKIRT = 2, // constant skirt gain, peak gain = Q
    BIQUAD_BANDPASS_PEAK = 3,  // constant 0 dB peak gain
    BIQUAD_NOTCH = 4,
    BIQUAD_ALLPASS = 5,
    BIQUAD_PEAKING = 6,
    BIQUAD_LOWSHELF = 7,
    BIQUAD_HIGHSHELF = 8
};

// Output record: a0, a1, a2, b0, b1, b2 in this order, each the double
// result rounded to float in the real part, imaginary part 0.  The values
// are not normalised by a0; H(z) = (b0 + b1 z^-1 + b2 z^-2) / (a0 + a1 z^-1 + a2 z^-2).
struct BiquadCoefs {
    std::complex<float> a0, a1, a2, b0, b1, b2;
};
static_assert(sizeof(BiquadCoefs) == 6 * 2 * sizeof(float), "six complex singles");

// Designs one biquad.  `gain` in dB (types 6..8), `slope` is the shelf slope
// S (types 7 and 8).  A type above 8 leaves *pOut untouched.  Nothing else is
// validated: Q = 0 or f0 >= Fs/2 give whatever the arithmetic gives.
void CalcBiquadCoefs(std::uint32_t nType, double dblGain, double dblFreq, double dblSampleRate,
                     double dblQ, double dblSlope, BiquadCoefs* pOut);
