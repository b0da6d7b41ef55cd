// qvrtool: create, inspect, edit and compare QVR500 configuration files,
// print the response curves the editor draws for a channel, write the
// commissioning report, and (the Windows build) read, write, compare and
// update units, one or several at once.  This file holds the usage, the
// options and the table of verbs; the verbs live in the files of their kind
// (FileCommands, ReportCommand, UnitCommands, FleetCommands).
//
// Exit codes: 0 success (diff: equal), 1 a difference, 2 error.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/qvrtool/MeasureInputs.h"
#include "tools/qvrtool/PredictCommand.h"
#include "tools/qvrtool/ToolCommon.h"

namespace fs = std::filesystem;

namespace qvrtool {

namespace {

const char kUsage[] =
    "usage: qvrtool new FILE\n"
    "       qvrtool set FILE CHANNEL NAME=VALUE... [--mode 2|3] [--force]\n"
    "       qvrtool dump FILE [--json] [--mode 2|3]\n"
    "       qvrtool response FILE CHANNEL [--mode 2|3] [--sum]\n"
    "       qvrtool response FILE CHANNEL [--sum] --driver low|mid|high=FILE ... [--phase measured|minimum]\n"
    "       qvrtool predict FILE CHANNEL --room FILE [--as-measured FILE2] [--mode 2|3] [--target X500|...]\n"
    "               [--mask FILE] [--smooth 0|3|6] [--phase measured|minimum] [--bands]\n"
    "       qvrtool diff A B\n"
    "       qvrtool report FILE|UNIT [--profile JSON] [--mode 2|3] -o REPORT.html\n"
    "units (qvrtool.exe, the Windows build):\n"
    "       qvrtool units [--json]\n"
    "       qvrtool pull UNIT FILE\n"
    "       qvrtool push FILE UNIT [--store] [--profile JSON] [--force]\n"
    "       qvrtool diff FILE UNIT\n"
    "       qvrtool firmware IMAGE UNIT\n"
    "       (each of these, and report UNIT, also takes --log FILE)\n"
    "several units at once (qvrtool.exe):\n"
    "       qvrtool pull --all|--units LIST DIR\n"
    "       qvrtool push DIR --all|--units LIST [--store] [--profile JSON] [--force]\n"
    "       qvrtool diff DIR --all|--units LIST\n"
    "       qvrtool firmware IMAGE --all|--units LIST\n"
    "       qvrtool report --all|--units LIST [--profile JSON] [--mode 2|3] -o DIR\n"
    "       (each also takes --jobs N, --dry-run and --log DIR)\n"
    "CHANNEL is 0..5 (Left, Right, Center, Left Center, Right Center, Subwoofer).\n"
    "NAME is a record member: m_szSpeaker, m_nChannel, m_fltLevel, ..., m_dwHighFlags.\n"
    "--mode puts every record into that mode (default 3) after the file is loaded;\n"
    "in mode 2 the Mid band fields other than m_fltMidHPFreq cannot be set.\n"
    "set refuses values outside the editor's ranges unless --force is given; dump,\n"
    "response and report warn about what a file holds that the editor would not take.\n"
    "response prints 0..20000 Hz in 5 Hz steps; the editor draws 25 Hz to 20 kHz, and\n"
    "the rows below 25 Hz (where a high-pass runs towards minus infinity) carry\n"
    "single-precision artefacts.  --sum adds the bands' sum as the loudspeaker plays\n"
    "it (mute, polarity and band delays included): sum (dB), phase (degrees) and gd\n"
    "(group delay, ms), both without the channel delay, which delays every band\n"
    "alike; phase and gd are empty where the sum is below -60 dB.\n"
    "UNIT is an index or a serial number as 'qvrtool units' lists them, or a device\n"
    "list entry such as tcp:127.0.0.1:5500:QVR500 USB:SN1 (see docs/devices.md).\n"
    "pull writes FILE and the unit's profile texts to FILE.profile.json; push sends\n"
    "what differs, reads the unit back and compares; --store keeps it over a power\n"
    "cycle.  LIST: indexes, serial numbers or device-list entries, separated by\n"
    "commas; --all: every unit of the device list (serial ports only when named).\n"
    "Over several units the files are DIR/SERIAL.qvr, each unit has its own link\n"
    "(at most --jobs at once, default all up to 16), and a table of the results\n"
    "ends the run.  Exit codes: 0 success (diff: equal), 1 different, 2 error.\n";


// The options a verb takes.
enum : unsigned {
    OPT_MODE = 1u << 0,
    OPT_JSON = 1u << 1,
    OPT_FORCE = 1u << 2,
    OPT_STORE = 1u << 3,
    OPT_SUM = 1u << 4,
    OPT_PROFILE = 1u << 5,
    OPT_OUTPUT = 1u << 6,
    OPT_LOG = 1u << 7,   // when the verb talks to a unit
    OPT_FLEET = 1u << 8, // --units, --all, --jobs, --dry-run
};

// diff and report take a file or a unit in the same place.
bool DiffTalksToUnit(const std::vector<std::string>& p) { return p.size() == 2 && IsUnitArgument(p[1]); }
bool ReportTalksToUnit(const std::vector<std::string>& p) { return p.size() == 1 && IsUnitArgument(p[0]); }
bool Always(const std::vector<std::string>&) { return true; }

int CmdDiffEither(const std::vector<std::string>& args, const SOptions& opt)
{
    return DiffTalksToUnit(args) ? RunUnitCommand("diff", args, opt) : CmdDiff(args, opt);
}
int CmdUnits(const std::vector<std::string>& args, const SOptions& opt) { return RunUnitCommand("units", args, opt); }
int CmdPull(const std::vector<std::string>& args, const SOptions& opt) { return RunUnitCommand("pull", args, opt); }
int CmdPush(const std::vector<std::string>& args, const SOptions& opt) { return RunUnitCommand("push", args, opt); }
int CmdFirmware(const std::vector<std::string>& args, const SOptions& opt)
{
    return RunUnitCommand("firmware", args, opt);
}

struct SVerb {
    const char* pszName;
    unsigned nOptions;
    int (*pfnRun)(const std::vector<std::string>& args, const SOptions& opt);
    // Whether the verb talks to a unit with these arguments (and so writes a link log).
    bool (*pfnTalksToUnit)(const std::vector<std::string>& args);
};

const SVerb kVerbs[] = {
    {"new", 0, CmdNew, nullptr},
    {"set", OPT_MODE | OPT_FORCE, CmdSet, nullptr},
    {"dump", OPT_MODE | OPT_JSON, CmdDump, nullptr},
    {"response", OPT_MODE | OPT_SUM, CmdResponse, nullptr},
    {"diff", OPT_LOG | OPT_FLEET, CmdDiffEither, DiffTalksToUnit},
    {"report", OPT_MODE | OPT_PROFILE | OPT_OUTPUT | OPT_LOG | OPT_FLEET, CmdReport, ReportTalksToUnit},
    {"units", OPT_JSON, CmdUnits, nullptr},
    {"pull", OPT_LOG | OPT_FLEET, CmdPull, Always},
    {"push", OPT_STORE | OPT_PROFILE | OPT_FORCE | OPT_LOG | OPT_FLEET, CmdPush, Always},
    {"firmware", OPT_LOG | OPT_FLEET, CmdFirmware, Always},
};

} // namespace

int Run(std::vector<std::string> args)
{
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? EXIT_ERROR : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    // The measurement verbs take options of their own.
    if (command == "predict")
        return CmdPredict(args);
    if (command == "response" && HasDriverOption(args))
        return CmdResponseDrivers(args);

    // Options may appear anywhere after the command.
    SOptions opt;
    std::vector<std::string> positional;
    unsigned nGiven = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool bHasValue = i + 1 < args.size();
        if (arg == "--mode") {
            if (!bHasValue || !ParseMode(args[i + 1], opt.nMode)) {
                UsageError("--mode takes 2 or 3");
                return EXIT_ERROR;
            }
            opt.bModeGiven = true;
            nGiven |= OPT_MODE;
            ++i;
        } else if (arg == "--json") {
            opt.bJson = true;
            nGiven |= OPT_JSON;
        } else if (arg == "--force") {
            opt.bForce = true;
            nGiven |= OPT_FORCE;
        } else if (arg == "--store") {
            opt.bStore = true;
            nGiven |= OPT_STORE;
        } else if (arg == "--sum") {
            opt.bSum = true;
            nGiven |= OPT_SUM;
        } else if (arg == "--profile" || arg == "-o" || arg == "--log") {
            if (!bHasValue) {
                UsageError(arg + " takes a file");
                return EXIT_ERROR;
            }
            (arg == "-o" ? opt.output : arg == "--log" ? opt.log : opt.profile) = args[++i];
            nGiven |= arg == "-o" ? OPT_OUTPUT : arg == "--log" ? OPT_LOG : OPT_PROFILE;
        } else if (arg == "--units") {
            if (!bHasValue || opt.bAll || !opt.units.empty()) {
                UsageError("--units takes one list of units (UNIT,UNIT,...), and not with --all");
                return EXIT_ERROR;
            }
            opt.units = args[++i];
            nGiven |= OPT_FLEET;
        } else if (arg == "--all") {
            if (!opt.units.empty()) {
                UsageError("--all and --units exclude each other");
                return EXIT_ERROR;
            }
            opt.bAll = true;
            nGiven |= OPT_FLEET;
        } else if (arg == "--jobs") {
            int n = 0;
            const std::string value = bHasValue ? args[i + 1] : std::string();
            if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos ||
                (n = std::stoi(value)) < 1 || n > 64) {
                UsageError("--jobs takes a number from 1 to 64");
                return EXIT_ERROR;
            }
            opt.nJobs = n;
            nGiven |= OPT_FLEET;
            ++i;
        } else if (arg == "--dry-run") {
            opt.bDryRun = true;
            nGiven |= OPT_FLEET;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            UsageError("unknown option '" + arg + "'");
            return EXIT_ERROR;
        } else {
            positional.push_back(arg);
        }
    }
    const SVerb* pVerb = nullptr;
    for (const SVerb& v : kVerbs)
        if (command == v.pszName)
            pVerb = &v;
    // Over several units (--units or --all; --jobs and --dry-run only with them).
    const bool bFleet = opt.bAll || !opt.units.empty();
    if ((nGiven & OPT_FLEET) && !bFleet) {
        UsageError("--jobs and --dry-run go with --units or --all");
        return EXIT_ERROR;
    }
    unsigned nAllowed = pVerb ? pVerb->nOptions : 0;
    const bool bTalksToUnit = pVerb && pVerb->pfnTalksToUnit && (bFleet || pVerb->pfnTalksToUnit(positional));
    if (!bTalksToUnit)
        nAllowed &= ~OPT_LOG;
    if (nGiven & ~nAllowed) {
        UsageError("option not valid for '" + command + "'");
        return EXIT_ERROR;
    }
    if (!pVerb) {
        UsageError("unknown command '" + command + "'");
        return EXIT_ERROR;
    }
    if (bFleet)
        return RunFleetCommand(command, positional, opt); // the units' logs are its own
    const int nExit = pVerb->pfnRun(positional, opt);
    // The log is written whatever the verb's outcome: a failed one is what
    // support needs it for.
    if (bTalksToUnit && !opt.log.empty() && !WriteLinkLog(opt.log))
        return EXIT_ERROR;
    return nExit;
}

} // namespace qvrtool

#ifdef _WIN32
// Arguments arrive in UTF-16 on Windows; the tool works in UTF-8.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::u8string s = fs::path(argv[i]).u8string();
        args.emplace_back(reinterpret_cast<const char*>(s.data()), s.size());
    }
    return qvrtool::Run(std::move(args));
}
#else
int main(int argc, char** argv)
{
    return qvrtool::Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
