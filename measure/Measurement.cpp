#include "measure/Measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "measure/MinimumPhase.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double PI = 3.141592653589793;

bool IsValid(const SMeasurementPoint& p, bool bHasPhase)
{
    return std::isfinite(p.dFreq) && p.dFreq > 0.0 && std::isfinite(p.dDb) &&
           std::fabs(p.dDb) <= CMeasurement::MAX_ABS_DB && (!bHasPhase || std::isfinite(p.dPhase));
}

// Stable sort by frequency, then the first point of each frequency kept.
// Returns how many points were out of order (each point below the largest
// frequency seen before it) and how many were dropped as repeats.
void SortAndDedupe(std::vector<SMeasurementPoint>& pts, std::size_t& nSorted, std::size_t& nRepeated)
{
    nSorted = 0;
    double dMax = -1.0;
    for (const SMeasurementPoint& p : pts) {
        if (p.dFreq < dMax)
            ++nSorted;
        dMax = std::max(dMax, p.dFreq);
    }
    if (nSorted > 0)
        std::stable_sort(pts.begin(), pts.end(),
                         [](const SMeasurementPoint& a, const SMeasurementPoint& b) { return a.dFreq < b.dFreq; });
    const std::size_t nBefore = pts.size();
    pts.erase(std::unique(pts.begin(), pts.end(),
                          [](const SMeasurementPoint& a, const SMeasurementPoint& b) { return a.dFreq == b.dFreq; }),
              pts.end());
    nRepeated = nBefore - pts.size();
}

// Removes steps of more than 180 degrees between neighbours.  Each phase is
// first taken to (-180, 180] (remainder is exact, whatever the size): a
// file's absurdly large angle would otherwise lose the precision the
// steps need; the first point keeps its angle less whole turns.
void Unwrap(std::vector<SMeasurementPoint>& pts)
{
    double dPrevRaw = 0.0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const double dRaw = std::remainder(pts[i].dPhase, 360.0);
        pts[i].dPhase = i == 0 ? dRaw : pts[i - 1].dPhase + std::remainder(dRaw - dPrevRaw, 360.0);
        dPrevRaw = dRaw;
    }
}

} // namespace

bool CMeasurement::Parse(std::string_view text, CMeasurement& out, STableSummary& summary)
{
    std::vector<CTextTable::SRow> rows;
    if (!CTextTable::Read(text, 2, 3, rows, summary))
        return false;
    // The file has phase when its first data row has a third column; a
    // later row without it is not data of this file.
    const bool bHasPhase = rows.front().nColumns >= 3;
    std::vector<SMeasurementPoint> pts;
    pts.reserve(rows.size());
    for (const CTextTable::SRow& r : rows) {
        SMeasurementPoint p{r.adValue[0], r.adValue[1], bHasPhase && r.nColumns >= 3 ? r.adValue[2] : 0.0};
        if ((bHasPhase && r.nColumns < 3) || !IsValid(p, bHasPhase)) {
            CTextTable::Skip(r, summary);
            continue;
        }
        pts.push_back(p);
    }
    SortAndDedupe(pts, summary.nSorted, summary.nRepeated);
    if (pts.size() < 2) {
        summary.eRefusal = ETableRefusal::TooFewPoints;
        summary.nRefusalLine = summary.nFirstSkippedLine;
        return false;
    }
    summary.nRead = pts.size();
    if (bHasPhase)
        Unwrap(pts);
    out.m_points = std::move(pts);
    out.m_bHasPhase = bHasPhase;
    return true;
}

bool CMeasurement::FromPoints(std::vector<SMeasurementPoint> points, bool bHasPhase, CMeasurement& out,
                              std::string& error)
{
    if (points.size() > CTextTable::MAX_POINTS) {
        error = "more than " + std::to_string(CTextTable::MAX_POINTS) + " points";
        return false;
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!bHasPhase)
            points[i].dPhase = 0.0;
        if (!IsValid(points[i], bHasPhase)) {
            error = "point " + std::to_string(i + 1) + " is not valid";
            return false;
        }
    }
    std::size_t nSorted = 0, nRepeated = 0;
    SortAndDedupe(points, nSorted, nRepeated);
    if (points.size() < 2) {
        error = "fewer than 2 usable points";
        return false;
    }
    if (bHasPhase)
        Unwrap(points);
    out.m_points = std::move(points);
    out.m_bHasPhase = bHasPhase;
    return true;
}

std::vector<double> CMeasurement::PhaseOf(EPhaseChoice eChoice) const
{
    std::vector<double> phase(m_points.size());
    if (m_bHasPhase && eChoice == EPhaseChoice::Measured) {
        for (std::size_t i = 0; i < m_points.size(); ++i)
            phase[i] = m_points[i].dPhase;
        return phase;
    }
    if (m_points.size() < 2)
        return phase;
    std::vector<double> f(m_points.size()), db(m_points.size());
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        f[i] = m_points[i].dFreq;
        db[i] = m_points[i].dDb;
    }
    CMinimumPhase::Compute(f.data(), db.data(), f.size(), phase.data());
    return phase;
}

void CMeasurement::Sample(const double* pdFreq, std::size_t n, EPhaseChoice eChoice, double* pdDb,
                          double* pdPhase) const
{
    const std::vector<double> phase = pdPhase ? PhaseOf(eChoice) : std::vector<double>();
    const std::size_t m = m_points.size();
    std::size_t k = 0; // the segment [k, k + 1] last used: grids ascend
    for (std::size_t i = 0; i < n; ++i) {
        const double f = pdFreq[i];
        if (m < 2 || !(f >= m_points.front().dFreq) || !(f <= m_points.back().dFreq)) {
            pdDb[i] = NaN;
            if (pdPhase)
                pdPhase[i] = NaN;
            continue;
        }
        if (k + 1 >= m || f < m_points[k].dFreq)
            k = 0;
        while (k + 2 < m && m_points[k + 1].dFreq < f)
            ++k;
        const SMeasurementPoint& a = m_points[k];
        const SMeasurementPoint& b = m_points[k + 1];
        const double t = f <= a.dFreq ? 0.0 : f >= b.dFreq ? 1.0 : std::log(f / a.dFreq) / std::log(b.dFreq / a.dFreq);
        pdDb[i] = a.dDb + t * (b.dDb - a.dDb);
        if (pdPhase)
            pdPhase[i] = phase[k] + t * (phase[k + 1] - phase[k]);
    }
}

void CMeasurement::SampleComplex(const double* pdFreq, std::size_t n, EPhaseChoice eChoice,
                                 std::complex<double>* pOut) const
{
    std::vector<double> db(n), deg(n);
    Sample(pdFreq, n, eChoice, db.data(), deg.data());
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isnan(db[i])) {
            pOut[i] = std::complex<double>(NaN, NaN);
            continue;
        }
        pOut[i] = std::polar(std::pow(10.0, db[i] / 20.0), deg[i] * (PI / 180.0));
    }
}
