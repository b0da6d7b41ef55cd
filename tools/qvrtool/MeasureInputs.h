#pragma once
// What qvrtool's measurement verbs (predict, response --driver, report)
// read: measurement and mask files through the library's readers, with the
// import's summary on stderr when it dropped anything, a configuration's
// channel as the plot's working copy, and the options they share.

#include <string>

#include "measure/Measurement.h"
#include "measure/Sidecar.h"
#include "measure/ToleranceMask.h"
#include "model/ChannelConfig.h"

namespace qvrtool {

// False after the message (the reason, and the line where there is one).
bool LoadMeasurement(const std::string& file, CMeasurement& out);
bool LoadMask(const std::string& file, CToleranceMask& out);
// The channel of a configuration file as the plot's working copy, in nMode;
// false after the message (a file that cannot be read, values that cannot
// be computed).
bool LoadChannel(const std::string& file, int nChannel, int nMode, CChannelConfig& out);
// The sidecar beside a configuration file, when there is one; false when
// there is none or it was refused (reported as a warning).
bool ReadSidecarForReport(const std::string& configFile, CSidecar& out);
// "measured" or "minimum".
bool ParsePhaseChoice(const std::string& s, EPhaseChoice& e);
// A CSV cell: a comma, then the value with four decimals, nothing when NaN.
void PrintCsvCell(double v);

} // namespace qvrtool
