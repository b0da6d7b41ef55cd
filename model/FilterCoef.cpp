#include "model/FilterCoef.h"

#include <cmath>

void CalcBiquadCoefs(std::uint32_t nType, double dblGain, double dblFreq, double dblSampleRate,
                     double dblQ, double dblSlope, BiquadCoefs* pOut)
{
    if (nType > BIQUAD_HIGHSHELF || pOut == nullptr)
        return; // unknown type: the record keeps its previous contents

    const double A = std::pow(10.0, dblGain / 40.0);
    const double w0 = 6.283185307179586 * dblFreq / dblSampleRate;
    const double s = std::sin(w0);
    const double c = std::cos(w0);

    double a0 = 0, a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;
    if (nType <= BIQUAD_PEAKING) {
        const double alpha = s / (2.0 * dblQ);
        a0 = 1.0 + alpha;
        a1 = -2.0 * c;
        a2 = 1.0 - alpha;
        switch (nType) {
        case BIQUAD_LOWPASS:
            b0 = (1.0 - c) / 2.0;
            b1 = 1.0 - c;
            b2 = (1.0 - c) / 2.0;
            break;
        case BIQUAD_HIGHPASS:
            b0 = (1.0 + c) / 2.0;
            b1 = -(1.0 + c);
            b2 = (1.0 + c) / 2.0;
            break;
        case BIQUAD_BANDPASS_SKIRT:
            b0 = s / 2.0;
            b1 = 0.0;
            b2 = -s / 2.0;
            break;
        case BIQUAD_BANDPASS_PEAK:
            b0 = alpha;
            b1 = 0.0;
            b2 = -alpha;
            break;
        case BIQUAD_NOTCH:
            b0 = 1.0;
            b1 = -2.0 * c;
            b2 = 1.0;
            break;
        case BIQUAD_ALLPASS:
            b0 = 1.0 - alpha;
            b1 = -2.0 * c;
            b2 = 1.0 + alpha;
            break;
        case BIQUAD_PEAKING:
            b0 = 1.0 + alpha * A;
            b1 = -2.0 * c;
            b2 = 1.0 - alpha * A;
            a0 = 1.0 + alpha / A;
            a2 = 1.0 - alpha / A;
            break;
        default:
            break;
        }
    } else {
        // Shelves: Q is ignored, the slope S sets alpha.
        const double alpha = (s / 2.0) * std::sqrt((A + 1.0 / A) * (1.0 / dblSlope - 1.0) + 2.0);
        const double beta = 2.0 * std::sqrt(A) * alpha;
        if (nType == BIQUAD_LOWSHELF) {
            b0 = A * ((A + 1.0) - (A - 1.0) * c + beta);
            b1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * c);
            b2 = A * ((A + 1.0) - (A - 1.0) * c - beta);
            a0 = (A + 1.0) + (A - 1.0) * c + beta;
            a1 = -2.0 * ((A - 1.0) + (A + 1.0) * c);
            a2 = (A + 1.0) + (A - 1.0) * c - beta;
        } else {
            b0 = A * ((A + 1.0) + (A - 1.0) * c + beta);
            b1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * c);
            b2 = A * ((A + 1.0) + (A - 1.0) * c - beta);
            a0 = (A + 1.0) - (A - 1.0) * c + beta;
            a1 = 2.0 * ((A - 1.0) - (A + 1.0) * c);
            a2 = (A + 1.0) - (A - 1.0) * c - beta;
        }
    }

    pOut->a0 = std::complex<float>(static_cast<float>(a0), 0.0f);
    pOut->a1 = std::complex<float>(static_cast<float>(a1), 0.0f);
    pOut->a2 = std::complex<float>(static_cast<float>(a2), 0.0f);
    pOut->b0 = std::complex<float>(static_cast<float>(b0), 0.0f);
    pOut->b1 = std::complex<float>(static_cast<float>(b1), 0.0f);
    pOut->b2 = std::complex<float>(static_cast<float>(b2), 0.0f);
}
