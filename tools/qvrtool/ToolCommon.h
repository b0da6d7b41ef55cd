#pragma once
// What the commands of qvrtool share: the loaded file, the options, the
// messages and the exit codes.  Exit codes: 0 success (diff: equal), 1 a
// difference (diff, or a unit that does not hold what push sent), 2 an error.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ProfileInfo.h"
#include "tools/qvrtool/ProfileJson.h"

namespace qvrtool {

constexpr int EXIT_DIFFERENT = 1;
constexpr int EXIT_ERROR = 2;
// Files are read whole up to this size (a configuration file is 1144 bytes).
constexpr std::size_t MAX_FILE_BYTES = 1u << 20;

struct SOptions {
    int nMode = MODE_TRIAMP;
    bool bJson = false;
    bool bForce = false;
    bool bStore = false;
    bool bSum = false;   // response: the summed response's columns too
    std::string profile; // --profile JSON
    std::string output;  // -o FILE
    std::string log;     // --log FILE: the link log of the verbs that talk to units
};

// The six records of a file.  Loading applies every field (the records are
// in Triamp while loading, so nothing is dropped), then sets the mode.
struct Config {
    std::vector<CChannelConfig> channels;
    std::uint32_t dwVersion = 0;
    std::vector<std::uint8_t> bytes; // the whole file as read
    Config()
    {
        for (int i = 0; i < CHANNEL_COUNT; ++i)
            channels.emplace_back(i);
    }
};

std::filesystem::path PathFromUtf8(const std::string& s);
std::FILE* OpenFile(const std::filesystem::path& path, bool bWrite);
bool ParseChannel(const std::string& s, int& nChannel);
bool ParseMode(const std::string& s, int& nMode);
bool IsExistingPath(const std::string& s);
bool IsUnitArgument(const std::string& s);
// "qvrtool: FILE: REASON" on stderr.
void Fail(const std::string& file, const std::string& reason);
void UsageError(const std::string& reason);

bool Load(const std::string& file, Config& cfg, int nMode);
// Warns about what the file holds that the editor would not accept (of one
// record only when nRecord >= 0; findings about the file as a whole always).
// True when a value of that record is NaN or infinite.
bool WarnFindings(const std::string& file, const Config& cfg, int nMode, int nRecord = -1);
// Replaces the file through a temporary file beside it (the program's Save).
bool SafeWrite(const std::string& file, const std::vector<std::uint8_t>& data);
bool SafeWriteText(const std::string& file, const std::string& text);
std::string FormatValue(const CChannelConfig& c, EChannelField field);
// A profile file (CProfileJson), read whole and parsed; false after the message.
bool ReadProfileFile(const std::string& file, CProfileJson::SProfile& json);
// Applies it, warning when a text had to be cut.
void ApplyProfile(const std::string& file, const CProfileJson::SProfile& json, CProfileInfo& profile);

// The read-back of a unit for the report (the Windows build); false after
// the message.
bool ReadUnitForReport(const std::string& unit, std::vector<CChannelConfig>& channels, CProfileInfo& profile,
                       int& nMode, bool& bNoLeftRightCenter, std::string& label);

int CmdReport(const std::vector<std::string>& args, const SOptions& opt);
// units, pull, push, diff FILE UNIT, firmware (the Windows build).
int RunUnitCommand(const std::string& command, const std::vector<std::string>& args, const SOptions& opt);
// Writes the link log of this run (what went wrong on the links, as Help >
// Save Link Log... in the program) to file; false (reported) when it cannot.
bool WriteLinkLog(const std::string& file);

} // namespace qvrtool
