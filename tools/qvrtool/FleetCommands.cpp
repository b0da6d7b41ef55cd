// The verbs of qvrtool over several units (Windows build): pull, push, diff,
// firmware and report with --units LIST or --all.  Each unit is worked on by
// a child qvrtool running the single-unit verb (CFleetRunner); this file
// chooses the units, names their files, says before anything is sent which
// units will be written, and gathers the results into the summary table,
// the logs and the index page of the reports.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "device/FirmwareFile.h"
#include "device/usbxp/DeviceEnvironment.h"
#include "resources/resource.h"
#include "tools/qvrtool/FleetOutcome.h"
#include "tools/qvrtool/FleetPlan.h"
#include "tools/qvrtool/FleetRunner.h"
#include "tools/qvrtool/TextCodec.h"
#include "tools/qvrtool/ToolCommon.h"

namespace fs = std::filesystem;

namespace qvrtool {

namespace {

using EVerb = CFleetOutcome::EVerb;

std::string Utf8Path(const fs::path& path)
{
    const std::u8string s = path.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // the table's texts and the numbers in them are ASCII
}

// A folder the run writes into: made when missing.
bool MakeFolder(const std::string& folder, const char* pszWhat)
{
    std::error_code ec;
    fs::create_directories(PathFromUtf8(folder), ec);
    if (!fs::is_directory(PathFromUtf8(folder), ec)) {
        Fail(folder, std::string("cannot make the folder for ") + pszWhat +
                         (ec ? ": " + ec.message() : std::string(": not a folder")));
        return false;
    }
    return true;
}

// A folder for the children's own files (the identification's pulled file,
// the link logs before they are gathered), removed at the end.
class CScratch {
public:
    bool Make()
    {
        wchar_t sz[MAX_PATH + 1] = {};
        if (::GetTempPathW(MAX_PATH, sz) == 0)
            return false;
        m_path = fs::path(sz) / ("qvrtool-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string(::GetTickCount()));
        std::error_code ec;
        return fs::create_directories(m_path, ec);
    }
    ~CScratch()
    {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return Utf8Path(m_path / PathFromUtf8(name)); }

private:
    fs::path m_path;
};

std::string ReadWhole(const std::string& file)
{
    std::string text;
    if (std::FILE* p = _wfopen(PathFromUtf8(file).c_str(), L"rb")) {
        char buf[4096];
        std::size_t n;
        while (text.size() < MAX_FILE_BYTES && (n = std::fread(buf, 1, sizeof buf, p)) > 0)
            text.append(buf, n);
        std::fclose(p);
    }
    return text;
}

// A child's lines under its unit's serial number.
void PrintLines(std::FILE* pFile, const std::string& serial, const std::string& text)
{
    std::size_t nStart = 0;
    while (nStart < text.size()) {
        std::size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = text.size();
        std::string line = text.substr(nStart, nEnd - nStart);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            std::fprintf(pFile, "%s: %s\n", serial.c_str(), line.c_str());
        nStart = nEnd + 1;
    }
}

struct SVerbInfo {
    EVerb verb;
    const char* pszUsage; // how the verb is written over several units
};

bool Describe(const std::string& command, SVerbInfo& info)
{
    static const struct {
        const char* pszName;
        SVerbInfo info;
    } s_verbs[] = {
        {"pull", {EVerb::Pull, "pull --all|--units LIST DIR"}},
        {"push", {EVerb::Push, "push DIR --all|--units LIST"}},
        {"diff", {EVerb::Diff, "diff DIR --all|--units LIST"}},
        {"firmware", {EVerb::Firmware, "firmware IMAGE --all|--units LIST"}},
        {"report", {EVerb::Report, "report --all|--units LIST -o DIR"}},
    };
    for (const auto& v : s_verbs)
        if (command == v.pszName) {
            info = v.info;
            return true;
        }
    return false;
}

} // namespace

int RunFleetCommand(const std::string& command, const std::vector<std::string>& args, const SOptions& opt)
{
    SVerbInfo info{};
    if (!Describe(command, info)) {
        UsageError("--units and --all go with pull, push, diff, firmware and report");
        return EXIT_ERROR;
    }
    const bool bReport = info.verb == EVerb::Report;
    if (args.size() != (bReport ? 0u : 1u) || (bReport && opt.output.empty())) {
        UsageError(std::string("over several units: qvrtool ") + info.pszUsage);
        return EXIT_ERROR;
    }
    const std::string folder = bReport ? opt.output : args[0];

    // The units, and what each is called on disk.
    const CDeviceList listed = ReadDeviceEnvironment();
    for (const std::string& error : listed.Errors())
        std::fprintf(stderr, "qvrtool: warning: %s\n", error.c_str());
    const CDeviceList attached = ReadAttachedDevices();
    std::vector<CFleetPlan::SUnit> units;
    std::string error;
    if (!CFleetPlan::Select(attached.Entries(), listed.Entries().size(), opt.bAll, opt.units, units, error)) {
        UsageError(error);
        return EXIT_ERROR;
    }

    // What every unit shares is checked once, before any unit is touched.
    CFirmwareFile image;
    if (info.verb == EVerb::Firmware) {
        if (!image.Open(PathFromUtf8(folder).c_str())) {
            Fail(folder, Text(IDS_FIRMWARE_OPEN_FAILED) + " " + Narrow(image.FailureText()));
            return EXIT_ERROR;
        }
        std::printf("%s\n", Narrow(image.ExtentText(IDS_FIRMWARE_EXTENT)).c_str());
    }
    if (!opt.profile.empty()) {
        CProfileJson::SProfile json;
        if (!ReadProfileFile(opt.profile, json))
            return EXIT_ERROR;
    }
    std::error_code ec;
    if ((info.verb == EVerb::Push || info.verb == EVerb::Diff) && !fs::is_directory(PathFromUtf8(folder), ec)) {
        Fail(folder, "not a folder (the files are DIR\\SERIAL.qvr)");
        return EXIT_ERROR;
    }

    // The jobs.
    const bool bWrites = info.verb == EVerb::Push || info.verb == EVerb::Firmware;
    std::vector<std::unique_ptr<CFleetRunner::SJob>> jobs;
    std::vector<CFleetOutcome::SResult> refusals(units.size());
    CScratch scratch;
    const bool bScratch = opt.bDryRun || scratch.Make();
    if (!bScratch) {
        Fail("qvrtool", "cannot make a folder for temporary files");
        return EXIT_ERROR;
    }
    std::printf("%s %zu unit%s:\n", bWrites ? (opt.bDryRun ? "Would write" : "Writing") : (opt.bDryRun ? "Would read" : "Reading"),
                units.size(), units.size() == 1 ? "" : "s");
    for (std::size_t i = 0; i < units.size(); ++i) {
        const CFleetPlan::SUnit& u = units[i];
        const std::string entry = CFleetPlan::EntryText(u.entry);
        auto job = std::make_unique<CFleetRunner::SJob>();
        job->label = u.entry.serial;
        const auto step = [&](EVerb verb, std::vector<std::string> a, std::vector<std::string> names,
                              const char* pszDoing) {
            CFleetRunner::SStepPlan plan;
            plan.verb = verb;
            if (!opt.log.empty()) {
                a.push_back("--log");
                a.push_back(scratch.File(u.stem + "." + std::to_string(job->steps.size()) + ".log"));
            }
            plan.args = std::move(a);
            names.insert(names.begin(), entry);
            plan.names = std::move(names);
            plan.pszDoing = pszDoing;
            plan.output = scratch.File(u.stem + "." + std::to_string(job->steps.size()));
            job->steps.push_back(std::move(plan));
        };
        std::string file, refusal = u.refusal;
        if (refusal.empty()) {
            switch (info.verb) {
            case EVerb::Pull:
                file = Utf8Path(PathFromUtf8(folder) / PathFromUtf8(u.stem + ".qvr"));
                step(EVerb::Pull, {"pull", entry, file}, {file}, "reading");
                break;
            case EVerb::Push:
            case EVerb::Diff: {
                file = Utf8Path(PathFromUtf8(folder) / PathFromUtf8(u.stem + ".qvr"));
                if (!fs::is_regular_file(PathFromUtf8(file), ec)) {
                    refusal = "no file " + u.stem + ".qvr in " + folder + "; left alone";
                    break;
                }
                if (info.verb == EVerb::Diff) {
                    step(EVerb::Diff, {"diff", file, entry}, {file}, "comparing");
                    break;
                }
                std::vector<std::string> a = {"push", file, entry};
                if (opt.bStore)
                    a.push_back("--store");
                if (opt.bForce)
                    a.push_back("--force");
                if (!opt.profile.empty()) {
                    a.push_back("--profile");
                    a.push_back(opt.profile);
                }
                step(EVerb::Push, a, {file, opt.profile}, "writing");
                break;
            }
            case EVerb::Firmware:
                // The unit must answer a whole read-back before its program
                // area is erased: a unit that cannot be identified is left
                // as it is.
                step(EVerb::Pull, {"pull", entry, scratch.File(u.stem + ".qvr")}, {}, "identifying");
                step(EVerb::Firmware, {"firmware", folder, entry}, {folder}, "updating firmware");
                file = folder;
                break;
            case EVerb::Report: {
                file = Utf8Path(PathFromUtf8(folder) / PathFromUtf8(u.stem + ".html"));
                std::vector<std::string> a = {"report", entry, "-o", file};
                if (opt.bModeGiven) {
                    a.push_back("--mode");
                    a.push_back(std::to_string(opt.nMode));
                }
                if (!opt.profile.empty()) {
                    a.push_back("--profile");
                    a.push_back(opt.profile);
                }
                step(EVerb::Report, a, {file, opt.profile}, "reading");
                break;
            }
            }
        }
        std::printf("  %-16s %s%s%s\n", u.entry.serial.c_str(), CDeviceList::Describe(u.entry).c_str(),
                    refusal.empty() ? (bWrites ? " <- " : " -> ") : ": ",
                    refusal.empty() ? Utf8Path(PathFromUtf8(file).filename()).c_str() : refusal.c_str());
        if (!refusal.empty()) {
            job->steps.clear();
            job->result = CFleetOutcome::Refused(refusal);
            job->nStep = 0;
        }
        jobs.push_back(std::move(job));
    }
    std::fflush(stdout);
    if (opt.bDryRun)
        return 0;
    if ((info.verb == EVerb::Pull || info.verb == EVerb::Report) && !MakeFolder(folder, "the unit files"))
        return EXIT_ERROR;
    if (!opt.log.empty() && !MakeFolder(opt.log, "the link logs"))
        return EXIT_ERROR;

    std::vector<CFleetRunner::SJob*> running;
    for (const auto& job : jobs)
        if (!job->steps.empty())
            running.push_back(job.get());
    const unsigned nParallel = opt.nJobs > 0 ? static_cast<unsigned>(opt.nJobs)
                                             : static_cast<unsigned>(std::min<std::size_t>(running.size(), 16));
    CFleetRunner::Run(running, nParallel);
    image.Close();

    // What the children said: differences on stdout, messages on stderr,
    // each line under its unit's serial number.
    std::vector<CFleetOutcome::SResult> results;
    std::vector<CFleetOutcome::SRow> rows;
    std::vector<CFleetOutcome::SIndexRow> index;
    int nExit = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const CFleetRunner::SJob& job = *jobs[i];
        const CFleetPlan::SUnit& u = units[i];
        std::string log;
        for (std::size_t s = 0; s < job.done.size(); ++s) {
            PrintLines(stdout, u.entry.serial, job.done[s].out);
            PrintLines(stderr, u.entry.serial, job.done[s].err);
            if (!opt.log.empty()) {
                const std::string part = ReadWhole(scratch.File(u.stem + "." + std::to_string(s) + ".log"));
                log += part.empty() ? "(" + job.steps[s].args[0] + ": no link log was written)\r\n" : part;
                log += "\r\n";
            }
        }
        CFleetOutcome::SRow row{u.entry.serial, CDeviceList::Describe(u.entry), job.result, job.dSeconds};
        if (!opt.log.empty() && !u.stem.empty()) {
            if (job.done.empty())
                log = "qvrtool " + command + ": " + row.device + ": " + job.result.text + "\r\n";
            if (!SafeWriteText(Utf8Path(PathFromUtf8(opt.log) / PathFromUtf8(u.stem + ".log")), log))
                nExit = EXIT_ERROR;
        }
        index.push_back({row, job.result.nExit == 0 && bReport ? u.stem + ".html" : std::string()});
        rows.push_back(std::move(row));
        results.push_back(job.result);
    }
    std::fflush(stderr);
    std::printf("\n%s", CFleetOutcome::Table(rows).c_str());
    if (bReport && !SafeWriteText(Utf8Path(PathFromUtf8(folder) / "index.html"), CFleetOutcome::IndexPage(index, Today())))
        nExit = EXIT_ERROR;
    return std::max(nExit, CFleetOutcome::ExitCode(results));
}

} // namespace qvrtool
