// The report verb: the commissioning report of a file or of a unit.
#include <string>
#include <vector>

#include "model/ProfileInfo.h"
#include "measure/Sidecar.h"
#include "tools/qvrtool/MeasureInputs.h"
#include "tools/qvrtool/ProfileJson.h"
#include "tools/qvrtool/ReportWriter.h"
#include "tools/qvrtool/ToolCommon.h"

namespace qvrtool {

int CmdReport(const std::vector<std::string>& args, const SOptions& opt)
{
    if (args.size() != 1 || opt.output.empty()) {
        UsageError("report takes a file or a unit, and -o REPORT.html");
        return EXIT_ERROR;
    }
    const std::string& source = args[0];
    Config cfg;
    CProfileInfo profile;
    bool bProfile = false;
    int nMode = opt.nMode;
    bool bNoLeftRightCenter = false;
    CReportWriter::SInput input;
    if (!IsUnitArgument(source)) {
        if (!Load(source, cfg, nMode))
            return EXIT_ERROR;
        WarnFindings(source, cfg, nMode);
        input.source = "the file " + PathFromUtf8(source).filename().string();
    } else {
        std::string label = source;
        if (!ReadUnitForReport(source, cfg.channels, profile, nMode, bNoLeftRightCenter, label))
            return EXIT_ERROR;
        bProfile = true;
        input.bFromUnit = true;
        input.source = "the unit " + label;
    }
    if (!opt.profile.empty()) {
        CProfileJson::SProfile json;
        if (!ReadProfileFile(opt.profile, json))
            return EXIT_ERROR;
        ApplyProfile(opt.profile, json, profile);
        bProfile = true;
    }
    // The measurements beside the file, when there are: a sidecar that
    // cannot be read is reported and the report made without it.
    CSidecar sidecar;
    if (!IsUnitArgument(source) && ReadSidecarForReport(source, sidecar))
        input.pSidecar = &sidecar;
    input.pChannels = cfg.channels.data();
    input.nMode = nMode;
    input.bNoLeftRightCenter = bNoLeftRightCenter;
    input.pProfile = bProfile ? &profile : nullptr;
    input.date = Today();
    return SafeWriteText(opt.output, CReportWriter::Build(input)) ? 0 : EXIT_ERROR;
}

} // namespace qvrtool
