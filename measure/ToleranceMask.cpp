#include "measure/ToleranceMask.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measure/Measurement.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool IsValid(const CToleranceMask::SPoint& p)
{
    auto ok = [](double v) { return std::isfinite(v) && std::fabs(v) <= CMeasurement::MAX_ABS_DB; };
    return std::isfinite(p.dFreq) && p.dFreq > 0.0 && ok(p.dMin) && ok(p.dIdeal) && ok(p.dMax) && p.dMin <= p.dIdeal &&
           p.dIdeal <= p.dMax;
}

std::size_t SortStably(std::vector<CToleranceMask::SPoint>& pts)
{
    std::size_t nSorted = 0;
    double dMax = -1.0;
    for (const CToleranceMask::SPoint& p : pts) {
        if (p.dFreq < dMax)
            ++nSorted;
        dMax = std::max(dMax, p.dFreq);
    }
    if (nSorted > 0)
        std::stable_sort(pts.begin(), pts.end(),
                         [](const CToleranceMask::SPoint& a, const CToleranceMask::SPoint& b) {
                             return a.dFreq < b.dFreq;
                         });
    return nSorted;
}

// Distinct frequencies: a mask must span some range.
bool SpansRange(const std::vector<CToleranceMask::SPoint>& pts)
{
    return pts.size() >= 2 && pts.back().dFreq > pts.front().dFreq;
}

} // namespace

bool CToleranceMask::Parse(std::string_view text, CToleranceMask& out, STableSummary& summary)
{
    std::vector<CTextTable::SRow> rows;
    if (!CTextTable::Read(text, 4, 4, rows, summary))
        return false;
    std::vector<SPoint> pts;
    pts.reserve(rows.size());
    for (const CTextTable::SRow& r : rows) {
        const SPoint p{r.adValue[0], r.adValue[1], r.adValue[2], r.adValue[3]};
        if (!IsValid(p)) {
            CTextTable::Skip(r, summary);
            continue;
        }
        pts.push_back(p);
    }
    summary.nSorted = SortStably(pts);
    if (!SpansRange(pts)) {
        summary.eRefusal = ETableRefusal::TooFewPoints;
        summary.nRefusalLine = summary.nFirstSkippedLine;
        return false;
    }
    summary.nRead = pts.size();
    out.m_points = std::move(pts);
    return true;
}

bool CToleranceMask::FromPoints(std::vector<SPoint> points, CToleranceMask& out, std::string& error)
{
    if (points.size() > CTextTable::MAX_POINTS) {
        error = "the mask has too many points";
        return false;
    }
    for (std::size_t i = 0; i < points.size(); ++i)
        if (!IsValid(points[i])) {
            error = "mask point " + std::to_string(i + 1) + " is not valid";
            return false;
        }
    SortStably(points);
    if (!SpansRange(points)) {
        error = "the mask spans no range of frequencies";
        return false;
    }
    out.m_points = std::move(points);
    return true;
}

void CToleranceMask::Sample(const double* pdFreq, std::size_t n, double* pdMin, double* pdMax) const
{
    const std::size_t m = m_points.size();
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double f = pdFreq[i];
        if (m < 2 || !(f >= m_points.front().dFreq) || !(f <= m_points.back().dFreq)) {
            pdMin[i] = pdMax[i] = NaN;
            continue;
        }
        if (f < m_points[k].dFreq)
            k = 0;
        // The segment [k, k + 1] with f inside and distinct ends: at a step
        // (a repeated frequency) the stretch above begins at its last point.
        while (k + 1 < m && (m_points[k + 1].dFreq < f || m_points[k + 1].dFreq == m_points[k].dFreq))
            ++k;
        if (k + 1 >= m) {
            pdMin[i] = m_points[m - 1].dMin;
            pdMax[i] = m_points[m - 1].dMax;
            continue;
        }
        const SPoint& a = m_points[k];
        const SPoint& b = m_points[k + 1];
        const double t = f <= a.dFreq ? 0.0 : std::log(f / a.dFreq) / std::log(b.dFreq / a.dFreq);
        pdMin[i] = a.dMin + t * (b.dMin - a.dMin);
        pdMax[i] = a.dMax + t * (b.dMax - a.dMax);
    }
}
