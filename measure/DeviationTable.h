#pragma once
// CDeviationTable: the third-octave deviation readout: in each third-octave
// band from 25 Hz to 20 kHz (centres 1000 * 2^(k/3), named by their nominal
// values), the predicted level (the power average over the band, as
// CSmoothing defines it) minus the target at the band's exact centre, and
// whether it lies outside the tolerance mask there (the mask's min and max
// at the centre).  A band where nothing is predicted has no deviation.

#include <cstddef>
#include <string>
#include <vector>

class CDeviationTable {
public:
    static constexpr int BANDS = 30; // 25 Hz .. 20 kHz

    struct SRow {
        double dNominal = 0.0;   // 25, 31.5, 40, ... 20000 (Hz)
        double dCentre = 0.0;    // exact: 1000 * 2^(k/3)
        double dDeviation = 0.0; // dB; NaN where nothing is predicted
        bool bHasMask = false;   // the mask covers the centre
        bool bOutside = false;   // outside the mask (only with bHasMask)
    };

    // On the frequencies pdFreq[0..n-1] (ascending): the predicted level
    // unsmoothed, the target, and the mask's limits as absolute levels
    // (target + min, target + max; NaN where there is no mask).  pdMaskMin
    // and pdMaskMax may be null (no mask).
    static std::vector<SRow> Compute(const double* pdFreq, const double* pdPredictedDb, const double* pdTargetDb,
                                     const double* pdMaskMin, const double* pdMaskMax, std::size_t n);

    // "band_hz,deviation_db,outside\n" then one line per band: the nominal
    // frequency, the deviation (%.2f; empty where none), "yes"/"no" (empty
    // without a mask or a deviation).
    static std::string Csv(const std::vector<SRow>& rows);
};
