// libFuzzer target for the tolerance mask reader: an accepted mask is
// sorted, spans a range, has min <= ideal <= max at every point, and its sampled
// limits keep that order.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "measure/ToleranceMask.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    CToleranceMask mask;
    STableSummary summary;
    if (!CToleranceMask::Parse(text, mask, summary)) {
        if (summary.eRefusal == ETableRefusal::None || !mask.IsEmpty())
            std::abort();
        return 0;
    }
    const auto& pts = mask.Points();
    if (pts.size() < 2 || !(pts.back().dFreq > pts.front().dFreq))
        std::abort();
    for (std::size_t i = 0; i < pts.size(); ++i)
        if (!(pts[i].dMin <= pts[i].dIdeal) || !(pts[i].dIdeal <= pts[i].dMax) || (i > 0 && pts[i].dFreq < pts[i - 1].dFreq))
            std::abort();
    double f[16], lo[16], hi[16];
    for (int i = 0; i < 16; ++i)
        f[i] = i == 15 ? pts.back().dFreq : pts.front().dFreq + (pts.back().dFreq - pts.front().dFreq) * i / 15.0;
    mask.Sample(f, 16, lo, hi);
    for (int i = 0; i < 16; ++i)
        if (std::isnan(lo[i]) || std::isnan(hi[i]) || lo[i] > hi[i] + 1e-9 * (1 + std::fabs(hi[i])))
            std::abort();
    return 0;
}
