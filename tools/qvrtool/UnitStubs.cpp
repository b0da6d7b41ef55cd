// The native build of qvrtool talks to no unit: the unit verbs say so.
#include <string>
#include <vector>

#include "tools/qvrtool/ToolCommon.h"

namespace qvrtool {

int RunUnitCommand(const std::string& command, const std::vector<std::string>&, const SOptions&)
{
    UsageError("'" + command + "' talks to units: it is a verb of qvrtool.exe, the Windows build");
    return EXIT_ERROR;
}

bool ReadUnitForReport(const std::string& unit, std::vector<CChannelConfig>&, CProfileInfo&, int&, bool&,
                       std::string&)
{
    Fail(unit, "no such file (units are read by qvrtool.exe, the Windows build)");
    return false;
}

bool WriteLinkLog(const std::string&)
{
    return true; // no unit was talked to: the verbs above refused
}

int RunFleetCommand(const std::string& command, const std::vector<std::string>&, const SOptions&)
{
    UsageError("'" + command + "' over several units talks to units: it is a verb of qvrtool.exe, the Windows build");
    return EXIT_ERROR;
}

} // namespace qvrtool
