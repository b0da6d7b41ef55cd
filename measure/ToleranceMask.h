#pragma once
// CToleranceMask: a tolerance around the target curve, loaded from a file:
// columns Frequency (Hz), Min, Ideal, Max (dB relative to the target), read
// by CTextTable with the measurement's rules.  A repeated frequency makes a
// step (the first point ends the stretch below it, the last begins the one
// above), so unlike a measurement every row is kept; rows out of order are
// sorted (stably, so a step keeps its order).  A point needs
// Min <= Ideal <= Max; another is skipped like a line that is not data.
// The program ships no mask.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "measure/TextTable.h"

class CToleranceMask {
public:
    struct SPoint {
        double dFreq = 0.0, dMin = 0.0, dIdeal = 0.0, dMax = 0.0;
    };

    // Same contract as CMeasurement::Parse: false (out untouched) when refused.
    static bool Parse(std::string_view text, CToleranceMask& out, STableSummary& summary);
    // From points that come from elsewhere (the sidecar); false with a reason.
    static bool FromPoints(std::vector<SPoint> points, CToleranceMask& out, std::string& error);

    const std::vector<SPoint>& Points() const { return m_points; }
    bool IsEmpty() const { return m_points.empty(); }

    // Min and max (relative to the target) on the frequencies pdFreq[0..n-1]
    // (ascending), linear in log-frequency between the points; NaN outside
    // the mask's range.
    void Sample(const double* pdFreq, std::size_t n, double* pdMin, double* pdMax) const;

private:
    std::vector<SPoint> m_points;
};
