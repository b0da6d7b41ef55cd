#pragma once
// CMinimumPhase: the minimum phase of a magnitude response, the phase a
// causal system with that magnitude and no excess delay has.  It is the
// Hilbert transform of the log-magnitude, computed through the real cepstrum
// with Eigen's FFT on a uniform grid from 0 Hz to twice the highest measured
// frequency (at least 48 kHz); below the lowest and above the highest
// measured point the log-magnitude is extended at the slope (dB per octave)
// of the measured ends, so that the phase near the ends does not see a cliff;
// those slopes are carried by terms of known minimum phase (see the source),
// so that the grid needs to resolve only what lies between them.

#include <cstddef>

class CMinimumPhase {
public:
    // pdFreq (ascending, positive) and pdDb: n >= 2 points.  Fills
    // pdPhaseDeg[0..n-1] with the minimum phase in degrees, unwrapped
    // (continuous from 0 at 0 Hz).  Allocates its work arrays.
    static void Compute(const double* pdFreq, const double* pdDb, std::size_t n, double* pdPhaseDeg);
};
