#include "measure/DeviationTable.h"

std::vector<CDeviationTable::SRow> CDeviationTable::Compute(const double*, const double*, const double*,
                                                            const double*, const double*, std::size_t)
{
    return {};
}
std::string CDeviationTable::Csv(const std::vector<SRow>&) { return "band_hz,deviation_db,outside\n"; }
