#pragma once
// CTargetCurve: the cinema target curves, flat to a knee and then falling at
// fixed slopes, and their level.
//
//   X30   X150  X500  X1000 X1500 X2000: flat to 2 kHz, then a dB/octave to
//         10 kHz, then b dB/octave above; (a, b) = (2, 4) (2.5, 5) (3, 6)
//         (3.5, 7) (4, 8) (4.5, 9), for rooms of about 30 .. 2000 seats;
//   S2K:  flat to 2 kHz, then 1.5 dB/octave;
//   S4K:  flat to 4 kHz, then 3 dB/octave.
//
// The curve is drawn at a level: the mean of the shown predicted level from
// 500 Hz to 2 kHz, even in log-frequency, or a level the user typed.

#include <cstddef>
#include <string_view>

enum class ETargetCurve { X30, X150, X500, X1000, X1500, X2000, S2K, S4K };

class CTargetCurve {
public:
    static constexpr int COUNT = 8;
    static constexpr double LEVEL_FROM_HZ = 500.0;
    static constexpr double LEVEL_TO_HZ = 2000.0;

    // "X500" and so on; the names are the ones files and qvrtool use.
    static const char* Name(ETargetCurve eCurve);
    // Case-sensitive; false for any other text.
    static bool FromName(std::string_view name, ETargetCurve& eCurve);

    // The curve's shape in dB relative to its level at frequency dFreq (Hz):
    // 0 on the flat part, negative above the knee.
    static double Shape(ETargetCurve eCurve, double dFreq);

    // The mean of pdDb over dFrom..dTo Hz, even in log-frequency: the
    // trapezoids in log f between the computed points inside the range
    // (points pdFreq ascending; NaN points are left out, and so are the
    // trapezoids next to them).  NaN when no trapezoid is left.
    static double MeanLevel(const double* pdFreq, const double* pdDb, std::size_t n, double dFrom = LEVEL_FROM_HZ,
                            double dTo = LEVEL_TO_HZ);
};
