#pragma once
// qvrtool's measurement verbs:
//   predict CONFIG CHANNEL --room FILE [--as-measured CONFIG2] [--mode 2|3]
//           [--target NAME] [--mask FILE] [--smooth 0|3|6]
//           [--phase measured|minimum] [--bands]
//   response CONFIG CHANNEL [--sum] --driver BAND=FILE ... [--phase ...] [--mode 2|3]
// Each takes its own options (args: everything after the verb).

#include <string>
#include <vector>

namespace qvrtool {

int CmdPredict(const std::vector<std::string>& args);
// Whether a response command carries driver measurements (and is this one's).
bool HasDriverOption(const std::vector<std::string>& args);
int CmdResponseDrivers(const std::vector<std::string>& args);

} // namespace qvrtool
