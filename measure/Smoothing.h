#pragma once
// CSmoothing: fractional-octave smoothing for display and for the deviation
// readout.  The value at f is the power average over a window 1/N octave
// wide centred on f (f * 2^(-1/2N) .. f * 2^(1/2N)), the average even in
// log-frequency: the trapezoids in log f of the linear power between the
// points, the window's edges interpolated.  NaN points (nothing measured)
// are left out of the average; where the point itself is NaN it stays NaN.

#include <cstddef>

class CSmoothing {
public:
    // nFraction: 0 (none: a copy), 3 or 6 (1/3 or 1/6 octave); any other
    // value is taken as none.  pdFreq ascending and positive; pdOut may be pdDb.
    static void Apply(const double* pdFreq, const double* pdDb, std::size_t n, int nFraction, double* pdOut);

    // The power average of pdDb over [dFrom, dTo] Hz, as above; NaN when the
    // window holds no defined stretch.
    static double WindowAverage(const double* pdFreq, const double* pdDb, std::size_t n, double dFrom, double dTo);
};
