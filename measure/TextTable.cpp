#include "measure/TextTable.h"

std::string STableSummary::Describe() const { return {}; }

bool CTextTable::Read(std::string_view, int, int, std::vector<SRow>& rows, STableSummary& summary)
{
    rows.clear();
    summary.eRefusal = ETableRefusal::NoData;
    return false;
}

void CTextTable::Skip(const SRow&, STableSummary&) {}
