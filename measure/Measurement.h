#pragma once
// CMeasurement: a measured frequency response (a room at the listening
// position, or one driver on its own) read from a text file that any
// measurement program may have written, and its values on other frequencies.
//
// The file is untrusted.  CTextTable splits it into rows (see there for what
// a line may be); each row gives frequency (Hz), magnitude (dB) and, in a
// third column, phase (degrees).  A point must have a positive finite
// frequency, a finite magnitude within +-MAX_ABS_DB and, where the file has
// phase, a finite phase; a data line that breaks these rules is skipped and
// counted like any other line that is not data.  Points out of ascending
// order are sorted (counted), a repeated frequency keeps its first point (the
// others counted).  Phase is kept unwrapped (no step over 180 degrees between
// neighbours).  A refused file leaves the measurement it was read into
// untouched: nothing partial is kept.

#include <complex>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "measure/TextTable.h"

// Which phase a measurement contributes: the one in the file, or the
// minimum phase derived from its magnitude (always the latter when the file
// has no phase).
enum class EPhaseChoice { Measured, Minimum };

struct SMeasurementPoint {
    double dFreq = 0.0;  // Hz, > 0
    double dDb = 0.0;    // dB
    double dPhase = 0.0; // degrees, unwrapped; 0 where the file has none
};

class CMeasurement {
public:
    static constexpr double MAX_ABS_DB = 300.0;

    // Reads a whole file's bytes.  True when the measurement was taken (out
    // replaced, summary filled); false when the file was refused (out left as
    // it was; summary.eRefusal and summary.nRefusalLine say why).
    static bool Parse(std::string_view text, CMeasurement& out, STableSummary& summary);

    // Builds a measurement from points that come from elsewhere (the
    // sidecar): the same checks, sorting and repeat rule as Parse; false with
    // a one-line reason (and out untouched) when fewer than 2 usable points
    // remain or a point is not valid.  Phase is unwrapped here.
    static bool FromPoints(std::vector<SMeasurementPoint> points, bool bHasPhase, CMeasurement& out,
                           std::string& error);

    const std::vector<SMeasurementPoint>& Points() const { return m_points; }
    bool HasPhase() const { return m_bHasPhase; }
    bool IsEmpty() const { return m_points.empty(); }
    double MinFreq() const { return m_points.empty() ? 0.0 : m_points.front().dFreq; }
    double MaxFreq() const { return m_points.empty() ? 0.0 : m_points.back().dFreq; }

    // The phase of each point the choice gives (degrees, unwrapped): the
    // file's, or the minimum phase (CMinimumPhase) when the choice says so or
    // the file has none.
    std::vector<double> PhaseOf(EPhaseChoice eChoice) const;

    // Values on the frequencies pdFreq[0..n-1] (ascending): magnitude in dB
    // and unwrapped phase in degrees, each interpolated linearly in
    // log-frequency between the neighbouring points.  Outside the measured
    // range (and for frequencies that are not positive) both are NaN:
    // nothing is drawn there.  pdPhase may be null.
    void Sample(const double* pdFreq, std::size_t n, EPhaseChoice eChoice, double* pdDb, double* pdPhase) const;
    // The same as complex values (NaN outside the measured range).
    void SampleComplex(const double* pdFreq, std::size_t n, EPhaseChoice eChoice, std::complex<double>* pOut) const;

private:
    std::vector<SMeasurementPoint> m_points;
    bool m_bHasPhase = false;
};
