#include "measure/ToleranceMask.h"

bool CToleranceMask::Parse(std::string_view, CToleranceMask&, STableSummary&) { return false; }
bool CToleranceMask::FromPoints(std::vector<SPoint>, CToleranceMask&, std::string&) { return false; }
void CToleranceMask::Sample(const double*, std::size_t, double*, double*) const {}
