// libFuzzer target for the measurement file reader.  Besides the
// sanitizers it checks what an accepted file promises: at least two points,
// strictly ascending positive frequencies, finite values within range, an
// unwrapped phase, and values on a grid that are NaN exactly outside the
// measured range.  A refused file leaves the measurement untouched.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "measure/Measurement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    CMeasurement m;
    STableSummary summary;
    if (!CMeasurement::Parse(text, m, summary)) {
        if (summary.eRefusal == ETableRefusal::None || !m.IsEmpty() || summary.Describe().empty())
            std::abort();
        return 0;
    }
    const auto& pts = m.Points();
    if (pts.size() < 2 || summary.nRead != pts.size())
        std::abort();
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (!(pts[i].dFreq > 0.0) || !std::isfinite(pts[i].dFreq) || !(std::fabs(pts[i].dDb) <= 300.0) ||
            !std::isfinite(pts[i].dPhase))
            std::abort();
        if (i > 0 && (!(pts[i].dFreq > pts[i - 1].dFreq) || !(std::fabs(pts[i].dPhase - pts[i - 1].dPhase) <= 180.0 + 1e-6)))
            std::abort();
    }
    const double grid[] = {pts.front().dFreq * 0.5, pts.front().dFreq, pts.back().dFreq, pts.back().dFreq * 2};
    double db[4], deg[4];
    // The minimum phase costs two long transforms: for one small input in
    // eight, so that the parser gets the runs.
    const EPhaseChoice e = nSize < 160 && nSize % 8 == 0 ? EPhaseChoice::Minimum : EPhaseChoice::Measured;
    m.Sample(grid, 4, e, db, deg);
    if (!std::isnan(db[0]) || std::isnan(db[1]) || std::isnan(db[2]) || !std::isnan(db[3]))
        std::abort();
    if ((e == EPhaseChoice::Minimum || m.HasPhase()) && (!std::isfinite(deg[1]) || !std::isfinite(deg[2])))
        std::abort();
    return 0;
}
