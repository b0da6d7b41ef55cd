#include "tools/qvrtool/MeasureInputs.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/ConfigFile.h"
#include "tools/qvrtool/ToolCommon.h"

namespace qvrtool {

namespace {

// The file whole, up to limit + 1 bytes (so that the reader sees it is too large).
bool ReadBounded(const std::string& file, std::size_t limit, std::string& text)
{
    std::FILE* pFile = OpenFile(PathFromUtf8(file), false);
    if (!pFile) {
        Fail(file, std::string("cannot open: ") + std::strerror(errno));
        return false;
    }
    char buf[65536];
    std::size_t n;
    while (text.size() <= limit && (n = std::fread(buf, 1, sizeof buf, pFile)) > 0)
        text.append(buf, n);
    const bool bError = std::ferror(pFile) != 0;
    std::fclose(pFile);
    if (bError)
        Fail(file, "cannot be read");
    return !bError;
}

void ReportSummary(const std::string& file, const STableSummary& s)
{
    if (s.nSorted || s.nRepeated || s.nSkipped)
        std::fprintf(stderr, "qvrtool: %s: %s\n", file.c_str(), s.Describe().c_str());
}

} // namespace

// A measurement or mask file through its reader (both share the rules).
template <class T>
bool LoadTable(const std::string& file, T& out)
{
    std::string text;
    if (!ReadBounded(file, CTextTable::MAX_BYTES, text))
        return false;
    STableSummary s;
    if (!T::Parse(text, out, s)) {
        Fail(file, s.Describe());
        return false;
    }
    ReportSummary(file, s);
    return true;
}

bool LoadMeasurement(const std::string& file, CMeasurement& out) { return LoadTable(file, out); }

bool LoadMask(const std::string& file, CToleranceMask& out) { return LoadTable(file, out); }

bool LoadChannel(const std::string& file, int nChannel, int nMode, CChannelConfig& out)
{
    Config cfg;
    if (!Load(file, cfg, nMode))
        return false;
    if (WarnFindings(file, cfg, nMode, nChannel)) {
        Fail(file, "a value of channel " + std::to_string(nChannel) + " is not finite: the response cannot be computed");
        return false;
    }
    out = CChannelConfig(nChannel);
    out.Assign(cfg.channels[static_cast<std::size_t>(nChannel)], false);
    out.SetMode(nMode);
    return true;
}

bool ReadSidecarForReport(const std::string& configFile, CSidecar& out)
{
    const std::string file = CSidecar::PathFor(configFile);
    std::error_code ec;
    if (!std::filesystem::exists(PathFromUtf8(file), ec))
        return false;
    std::string text;
    if (!ReadBounded(file, CSidecar::MAX_BYTES, text))
        return false;
    std::string error;
    if (!CSidecar::Read(text, out, error)) {
        std::fprintf(stderr, "qvrtool: %s: warning: measurements not read: %s\n", file.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool ParsePhaseChoice(const std::string& s, EPhaseChoice& e)
{
    if (s == "measured")
        e = EPhaseChoice::Measured;
    else if (s == "minimum")
        e = EPhaseChoice::Minimum;
    else
        return false;
    return true;
}

void PrintCsvCell(double v)
{
    std::fputc(',', stdout);
    if (!std::isnan(v))
        std::printf("%.4f", v);
}

} // namespace qvrtool
