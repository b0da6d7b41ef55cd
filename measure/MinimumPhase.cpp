#include "measure/MinimumPhase.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include <unsupported/Eigen/FFT>

namespace {

constexpr double PI = 3.141592653589793;
constexpr double LN10_OVER_20 = 0.11512925464970229;
// The transform's length: 2^15 real points, 16384 bins from 0 Hz to the
// grid's top (2.9 Hz apart at 48 kHz).  The ends' slopes are taken out in
// closed form (below), so the grid needs to resolve only the measured
// stretch: 2^16 points gave the same phases within 0.02 degrees at twice
// the cost.
constexpr int FFT_SIZE = 1 << 15;
constexpr int BINS = FFT_SIZE / 2 + 1;
constexpr double MIN_TOP_HZ = 48000.0;
// The ends are extended at their slope over the last third of an octave;
// slopes are bounded so that a noisy end cannot run away.
constexpr double END_SPAN_OCTAVES = 1.0 / 3.0;
constexpr double MAX_SLOPE_DB_PER_OCTAVE = 96.0;
constexpr double CORNER_OCTAVES = 4.0;

// Least-squares slope in dB per octave of the points [a, b].
double Slope(const double* pdFreq, const double* pdDb, std::size_t a, std::size_t b)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = static_cast<double>(b - a + 1);
    for (std::size_t i = a; i <= b; ++i) {
        const double x = std::log2(pdFreq[i]);
        sx += x;
        sy += pdDb[i];
        sxx += x * x;
        sxy += x * pdDb[i];
    }
    const double d = n * sxx - sx * sx;
    if (!(d > 0.0))
        return 0.0;
    const double s = (n * sxy - sx * sy) / d;
    return std::clamp(s, -MAX_SLOPE_DB_PER_OCTAVE, MAX_SLOPE_DB_PER_OCTAVE);
}

} // namespace

void CMinimumPhase::Compute(const double* pdFreq, const double* pdDb, std::size_t n, double* pdPhaseDeg)
{
    if (n == 0)
        return;
    if (n < 2) {
        pdPhaseDeg[0] = 0.0;
        return;
    }
    const double f0 = pdFreq[0], f1 = pdFreq[n - 1];
    std::size_t nLow = 1, nHigh = n - 2;
    while (nLow + 1 < n && pdFreq[nLow] < f0 * std::exp2(END_SPAN_OCTAVES))
        ++nLow;
    while (nHigh > 0 && pdFreq[nHigh] > f1 * std::exp2(-END_SPAN_OCTAVES))
        --nHigh;
    const double dLowSlope = Slope(pdFreq, pdDb, 0, nLow);
    const double dHighSlope = Slope(pdFreq, pdDb, nHigh, n - 1);

    // The ends' slopes, continued to 0 Hz and to infinity, are what a grid
    // resolves worst: a logarithmic singularity at 0 Hz (a high-pass's
    // magnitude goes to nothing there), and a fall that the grid's top cuts
    // off (the transform takes the spectrum as periodic).  Both are taken out
    // as terms whose minimum phase is known in closed form:
    //   T_low(f)  = (jf / (jf + fl))^a, falling at the low slope below fl,
    //               phase a (90 degrees - atan(f / fl));
    //   T_high(f) = (1 + jf / fh)^-b, falling at the high slope above fh,
    //               phase -b atan(f / fh).
    // Their corners lie CORNER_OCTAVES inside the measured range, so that
    // outside it they have reached their slopes: what remains is smooth and
    // flat beyond both ends (a kink left at the grid's top would show as a
    // delay).  Its minimum phase is computed on the grid and the terms'
    // phases are added back.
    const double dDbPerOctave = 20.0 * std::log10(2.0);
    const double dAlpha = dLowSlope / dDbPerOctave;
    const double dBeta = -dHighSlope / dDbPerOctave;
    const double dMid = std::sqrt(f0 * f1);
    const double fl = std::min(f0 * std::exp2(CORNER_OCTAVES), dMid);
    const double fh = std::max(f1 * std::exp2(-CORNER_OCTAVES), dMid);
    auto termsDb = [&](double f) {
        return 20.0 * dAlpha * std::log10(f / std::hypot(f, fl)) - 20.0 * dBeta * std::log10(std::hypot(1.0, f / fh));
    };

    // The log-magnitude (natural) without the terms on the uniform grid.
    const double dTop = std::max(MIN_TOP_HZ, 2.0 * f1);
    const double dBin = dTop / (BINS - 1);
    // The transform's plan (its twiddle factors) and the work arrays are
    // kept per thread: making them is most of a call's cost.
    thread_local Eigen::FFT<double> fft;
    thread_local std::vector<std::complex<double>> spectrum;
    thread_local std::vector<double> cepstrum;
    fft.SetFlag(Eigen::FFT<double>::HalfSpectrum);
    spectrum.resize(BINS);
    std::size_t k = 0;
    for (int i = 0; i < BINS; ++i) {
        // 0 Hz itself has no logarithm: it takes the value half a bin up.
        const double f = i == 0 ? dBin / 2 : dBin * i;
        // (The slopes are bounded, so the extension, less the terms that
        // follow it, stays bounded too.)
        double db = -termsDb(f);
        if (f <= f0) {
            db += pdDb[0] + dLowSlope * std::log2(f / f0);
        } else if (f >= f1) {
            db += pdDb[n - 1] + dHighSlope * std::log2(f / f1);
        } else {
            while (k + 2 < n && pdFreq[k + 1] < f)
                ++k;
            const double t = std::log(f / pdFreq[k]) / std::log(pdFreq[k + 1] / pdFreq[k]);
            db += pdDb[k] + t * (pdDb[k + 1] - pdDb[k]);
        }
        spectrum[static_cast<std::size_t>(i)] = db * LN10_OVER_20;
    }

    // The real cepstrum, folded onto positive times (the causal part
    // doubled), transformed back: its imaginary part is the minimum phase.
    fft.inv(cepstrum, spectrum, FFT_SIZE);
    for (int i = 1; i < FFT_SIZE / 2; ++i)
        cepstrum[static_cast<std::size_t>(i)] *= 2.0;
    std::fill(cepstrum.begin() + FFT_SIZE / 2 + 1, cepstrum.end(), 0.0);
    fft.fwd(spectrum, cepstrum);

    // Back on the measured frequencies, linear between the bins.
    for (std::size_t j = 0; j < n; ++j) {
        const double x = pdFreq[j] / dBin;
        const std::size_t b = std::min(static_cast<std::size_t>(x), static_cast<std::size_t>(BINS - 2));
        const double t = x - static_cast<double>(b);
        const double rad = spectrum[b].imag() + t * (spectrum[b + 1].imag() - spectrum[b].imag());
        const double dTerms = dAlpha * (PI / 2 - std::atan(pdFreq[j] / fl)) - dBeta * std::atan(pdFreq[j] / fh);
        pdPhaseDeg[j] = (rad + dTerms) * (180.0 / PI);
    }
}
