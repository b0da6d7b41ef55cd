// The verbs of qvrtool that talk to units (Windows build): units, pull,
// push, diff FILE UNIT, firmware, and the unit source of report.
#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/Comm.h"
#include "device/FirmwareDownload.h"
#include "device/FirmwareFile.h"
#include "device/usbxp/DeviceEnvironment.h"
#include "device/usbxp/DeviceList.h"
#include "device/usbxp/SiUSBXp.h"
#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "model/ParameterMap.h"
#include "resources/resource.h"
#include "resources/strings/StringTable.h"
#include "model/ConfigCheck.h"
#include "tools/qvrtool/ProfileJson.h"
#include "tools/qvrtool/ReadBackFields.h"
#include "device/Comm.h"
#include "device/LinkLogFile.h"
#include "shell/LinkLogCommand.h"
#include "tools/qvrtool/TextCodec.h"
#include "tools/qvrtool/ToolCommon.h"
#include "tools/qvrtool/UnitSession.h"

namespace qvrtool {

namespace {

// The first line of a text (the program's messages may go on with advice
// about its own menus).
std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

void UnitFail(const std::string& unit, const std::string& reason)
{
    std::fprintf(stderr, "qvrtool: unit %s: %s\n", unit.c_str(), reason.c_str());
}

bool StderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

// "\r<what>: n of m" on a terminal, nothing otherwise.
class CProgressLine {
public:
    explicit CProgressLine(const char* pszWhat) : m_pszWhat(pszWhat), m_bOn(StderrIsTerminal()) {}
    ~CProgressLine() { End(); }
    CUnitSession::Progress Callback()
    {
        if (!m_bOn)
            return nullptr;
        return [this](std::uint32_t nDone, std::uint32_t nTotal) { Show(nDone, nTotal); };
    }
    void End()
    {
        if (m_bShown)
            std::fputc('\n', stderr);
        m_bShown = false;
    }

private:
    void Show(std::uint32_t nDone, std::uint32_t nTotal)
    {
        const DWORD dwNow = ::GetTickCount();
        if (m_bShown && dwNow - m_dwLast < 100 && nDone < nTotal)
            return;
        m_dwLast = dwNow;
        m_bShown = true;
        if (nTotal == 0) {
            std::fprintf(stderr, "\r%s: %u", m_pszWhat, nDone);
        } else {
            const std::uint32_t nShown = nDone > nTotal ? nTotal : nDone;
            const int nBar = static_cast<int>(30ull * nShown / nTotal);
            std::fprintf(stderr, "\r%s [%.*s%*s] %u of %u", m_pszWhat, nBar, "##############################",
                         30 - nBar, "", nShown, nTotal);
        }
        std::fflush(stderr);
    }

    const char* m_pszWhat;
    bool m_bOn;
    bool m_bShown = false;
    DWORD m_dwLast = 0;
};

struct SAttached {
    int nIndex;
    std::string description;
    std::string serial;
};

std::vector<SAttached> ListUnits()
{
    std::vector<SAttached> units;
    std::uint32_t nCount = 0;
    if (SI_GetNumDevices(&nCount) != SI_SUCCESS)
        return units;
    for (std::uint32_t i = 0; i < nCount; ++i) {
        char szDesc[SI_MAX_STRING] = {};
        char szSerial[SI_MAX_STRING] = {};
        if (SI_GetProductString(i, szDesc, SI_RETURN_DESCRIPTION) != SI_SUCCESS ||
            SI_GetProductString(i, szSerial, SI_RETURN_SERIAL_NUMBER) != SI_SUCCESS)
            continue;
        szDesc[SI_MAX_STRING - 1] = szSerial[SI_MAX_STRING - 1] = '\0';
        units.push_back({static_cast<int>(i), szDesc, szSerial});
    }
    return units;
}

std::wstring Wide(const std::string& s)
{
    std::u16string u;
    if (!Utf8ToUtf16(s, u))
        return std::wstring();
    return std::wstring(u.begin(), u.end());
}

// UNIT: an index of the device list, a serial number, or a device-list
// entry of its own ("tcp:HOST:PORT:DESCRIPTION:SERIAL", ...).
bool ResolveUnit(const std::string& unit, int& nDevice, std::string* pLabel = nullptr)
{
    const auto label = [&](int n) {
        if (pLabel)
            for (const SAttached& u : ListUnits())
                if (u.nIndex == n)
                    *pLabel = u.serial + " (" + u.description + ")";
    };
    if (unit.find(':') != std::string::npos) {
        const CDeviceList list = CDeviceList::Parse(unit);
        if (list.Entries().size() != 1) {
            UnitFail(unit, list.Errors().empty() ? "expected one device-list entry" : list.Errors().front());
            return false;
        }
        ::SetEnvironmentVariableW(L"QVR500_DEVICES", Wide(unit).c_str());
        nDevice = 0;
        label(nDevice);
        return true;
    }
    const std::vector<SAttached> units = ListUnits();
    const bool bDigits = !unit.empty() && unit.size() <= 4 && unit.find_first_not_of("0123456789") == std::string::npos;
    if (bDigits) {
        const int n = std::stoi(unit);
        for (const SAttached& u : units)
            if (u.nIndex == n) {
                nDevice = n;
                label(nDevice);
                return true;
            }
    }
    for (const SAttached& u : units)
        if (u.serial == unit) {
            nDevice = u.nIndex;
            label(nDevice);
            return true;
        }
    UnitFail(unit, Text(IDS_DEVICE_NOT_FOUND) + " (qvrtool units lists the attached units)");
    return false;
}

bool ReportSession(const std::string& unit, CUnitSession::EResult r)
{
    switch (r) {
    case CUnitSession::EResult::Ok: return true;
    case CUnitSession::EResult::NoAnswer: UnitFail(unit, Text(IDS_CONNECT_FAILED)); break; // what Connect says
    case CUnitSession::EResult::LinkLost: UnitFail(unit, FirstLine(Text(IDS_COMM_LOST))); break;
    case CUnitSession::EResult::Quiet: UnitFail(unit, "the unit stopped answering"); break;
    }
    return false;
}

bool OpenAndRead(const std::string& unit, CUnitSession& session, CUnitSession::SUnit& state, const char* pszWhat,
                 std::string* pLabel = nullptr)
{
    int nDevice = -1;
    if (!ResolveUnit(unit, nDevice, pLabel))
        return false;
    std::string error;
    if (!session.Open(nDevice, error)) {
        UnitFail(unit, error);
        return false;
    }
    CProgressLine progress(pszWhat);
    const CUnitSession::EResult r = session.Read(state, progress.Callback());
    progress.End();
    return ReportSession(unit, r);
}

// Lines "record i NAME: A -> B" for every read-back value that differs.
int CompareWithUnit(const std::vector<CChannelConfig>& expected, const CUnitSession::SUnit& unit,
                    const CProfileInfo* pProfile)
{
    int nDiffs = 0;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto field = static_cast<EChannelField>(f);
            if (!CReadBackFields::IsReadBack(c, field, unit.nMode, unit.bNoLeftRightCenter))
                continue;
            if (GetChannelFieldBits(expected[c], field) != GetChannelFieldBits(unit.channels[c], field)) {
                std::printf("record %d %s: %s -> %s\n", c, GetChannelFieldInfo(field).pszName,
                            FormatValue(expected[c], field).c_str(), FormatValue(unit.channels[c], field).c_str());
                ++nDiffs;
            }
        }
    }
    if (unit.eDirectory != CTextMemoryReader::EDirectory::Written) {
        // Nothing to compare the names and the profile with.
        std::fprintf(stderr, "qvrtool: note: the unit holds no names or profile texts (its text memory is %s)\n",
                     unit.eDirectory == CTextMemoryReader::EDirectory::Erased ? "blank" : "unreadable");
        return nDiffs;
    }
    for (int c = 0; c < TEXT_NAME_SECTIONS; ++c) {
        if (unit.bNoLeftRightCenter && (c == CHANNEL_LEFT_CENTER || c == CHANNEL_RIGHT_CENTER))
            continue;
        char16_t szA[SPEAKER_NAME_UNITS] = {}, szB[SPEAKER_NAME_UNITS] = {};
        expected[c].GetSpeakerName(szA, static_cast<int>(sizeof szA));
        unit.channels[c].GetSpeakerName(szB, static_cast<int>(sizeof szB));
        if (std::u16string(szA) != std::u16string(szB)) {
            std::printf("record %d m_szSpeaker: %s -> %s\n", c, JsonString(szA).c_str(), JsonString(szB).c_str());
            ++nDiffs;
        }
    }
    if (pProfile) {
        const struct {
            const char* pszName;
            const char16_t* a;
            const char16_t* b;
        } texts[] = {{"project", pProfile->Project(), unit.profile.Project()},
                     {"theater", pProfile->Theater(), unit.profile.Theater()},
                     {"screen", pProfile->Screen(), unit.profile.Screen()},
                     {"comments", pProfile->Comments(), unit.profile.Comments()}};
        for (const auto& t : texts)
            if (std::u16string(t.a) != std::u16string(t.b)) {
                std::printf("profile %s: %s -> %s\n", t.pszName, JsonString(t.a).c_str(), JsonString(t.b).c_str());
                ++nDiffs;
            }
    }
    return nDiffs;
}

int CmdUnits(const std::vector<std::string>& args, bool bJson)
{
    if (!args.empty()) {
        UsageError("units takes no arguments");
        return EXIT_ERROR;
    }
    // Entries of the device list that were skipped, where a user sees them.
    const CDeviceList list = ReadDeviceEnvironment();
    for (const std::string& error : list.Errors())
        std::fprintf(stderr, "qvrtool: warning: %s\n", error.c_str());
    const std::vector<SAttached> units = ListUnits();
    if (bJson) {
        std::printf("[");
        for (std::size_t i = 0; i < units.size(); ++i) {
            std::u16string desc, serial;
            Utf8ToUtf16(units[i].description, desc);
            Utf8ToUtf16(units[i].serial, serial);
            std::printf("%s\n  {\"index\": %d, \"description\": %s, \"serial\": %s}", i ? "," : "", units[i].nIndex,
                        JsonString(desc.c_str()).c_str(), JsonString(serial.c_str()).c_str());
        }
        std::printf("%s]\n", units.empty() ? "" : "\n");
        return 0;
    }
    for (const SAttached& u : units)
        std::printf("%d\t%s\t%s\n", u.nIndex, u.description.c_str(), u.serial.c_str());
    return 0;
}

int CmdPull(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        UsageError("pull takes a unit and a file");
        return EXIT_ERROR;
    }
    const std::string& unit = args[0];
    const std::string& file = args[1];
    CUnitSession session;
    CUnitSession::SUnit state;
    if (!OpenAndRead(unit, session, state, "reading the unit"))
        return EXIT_ERROR; // nothing written
    CMemoryStream stream;
    const ConfigResult r = CConfigFile::Write(stream, state.channels.data(), nullptr, false);
    if (!r.Ok()) {
        Fail(file, CConfigFile::StatusText(r.status));
        return EXIT_ERROR;
    }
    if (!SafeWrite(file, stream.Data()) || !SafeWriteText(file + ".profile.json", CProfileJson::Write(state.profile)))
        return EXIT_ERROR;
    return 0;
}

// The program's own check: a record claiming another channel than its place
// (a damaged file) and a value that is not a number are refused, as Open
// refuses them; a value outside the editor's ranges needs --force.
bool CheckPushable(const std::string& file, const Config& cfg, int nMode, bool bForce)
{
    bool bOk = true;
    for (const CConfigCheck::SFinding& f : CConfigFile::Check(cfg.bytes.data(), cfg.bytes.size(), nMode)) {
        if (f.bForeignIndex) {
            Fail(file, f.text + "; refused, nothing sent");
            bOk = false;
            break;
        }
        if (f.eField == FIELD_NONE)
            continue; // trailing bytes: the program ignores them too
        if (f.bNonFinite || !bForce) {
            Fail(file, f.text + "; refused, nothing sent" + (f.bNonFinite ? "" : " (--force sends it)"));
            bOk = false;
            break;
        }
    }
    return bOk;
}

int CmdPush(const std::vector<std::string>& args, const SOptions& opt)
{
    if (args.size() != 2) {
        UsageError("push takes a file and a unit");
        return EXIT_ERROR;
    }
    const std::string& file = args[0];
    const std::string& unit = args[1];
    Config cfg;
    if (!Load(file, cfg, MODE_TRIAMP))
        return EXIT_ERROR;
    CProfileJson::SProfile jsonProfile;
    if (!opt.profile.empty() && !ReadProfileFile(opt.profile, jsonProfile))
        return EXIT_ERROR;
    // Checked in both modes before the link opens, then in the unit's.
    if (!CheckPushable(file, cfg, MODE_TRIAMP, true))
        return EXIT_ERROR;

    CUnitSession session;
    CUnitSession::SUnit state;
    if (!OpenAndRead(unit, session, state, "reading the unit"))
        return EXIT_ERROR;
    if (!CheckPushable(file, cfg, state.nMode, opt.bForce))
        return EXIT_ERROR;
    CProfileInfo profile = state.profile;
    if (!opt.profile.empty())
        ApplyProfile(opt.profile, jsonProfile, profile);

    std::uint32_t nSent = 0;
    {
        CProgressLine progress("writing the unit");
        if (!ReportSession(unit, session.Push(state, cfg.bytes, &profile, nSent, progress.Callback())))
            return EXIT_ERROR;
    }
    // Read back and compare with what the program now holds for the unit.
    CUnitSession::SUnit check;
    {
        CProgressLine progress("verifying");
        if (!ReportSession(unit, session.Read(check, progress.Callback())))
            return EXIT_ERROR;
    }
    if (CompareWithUnit(state.channels, check, &profile) != 0) {
        UnitFail(unit, "does not hold what was sent (differences above); not stored");
        return EXIT_DIFFERENT;
    }
    if (opt.bStore && !ReportSession(unit, session.Store()))
        return EXIT_ERROR;
    std::printf("%u writes sent; the unit holds %s%s\n", nSent, file.c_str(),
                opt.bStore ? " and keeps it over a power cycle" : "");
    return 0;
}

int CmdDiffUnit(const std::vector<std::string>& args)
{
    const std::string& file = args[0];
    const std::string& unit = args[1];
    Config cfg;
    if (!Load(file, cfg, MODE_TRIAMP))
        return EXIT_ERROR;
    CUnitSession session;
    CUnitSession::SUnit state;
    if (!OpenAndRead(unit, session, state, "reading the unit"))
        return EXIT_ERROR;
    for (CChannelConfig& c : cfg.channels)
        c.SetMode(state.nMode);
    return CompareWithUnit(cfg.channels, state, nullptr) ? EXIT_DIFFERENT : 0;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // the table's texts and the numbers in them are ASCII
}

int CmdFirmware(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        UsageError("firmware takes an image file and a unit");
        return EXIT_ERROR;
    }
    const std::string& file = args[0];
    const std::string& unit = args[1];
    // The whole file is checked before anything is sent, and held as the
    // dialog holds it: read only, nobody writes it while the download runs.
    CFirmwareFile image;
    if (!image.Open(PathFromUtf8(file).c_str())) {
        Fail(file, Text(IDS_FIRMWARE_OPEN_FAILED) + " " + Narrow(image.FailureText()));
        return EXIT_ERROR;
    }

    int nDevice = -1;
    if (!ResolveUnit(unit, nDevice))
        return EXIT_ERROR;
    CUnitSession session;
    std::string error;
    if (!session.Open(nDevice, error)) {
        UnitFail(unit, error);
        return EXIT_ERROR;
    }
    // The check cannot see a file cut on a record boundary: its extent can.
    std::printf("%s\n", Narrow(image.ExtentText(IDS_FIRMWARE_EXTENT)).c_str());
    std::fflush(stdout);
    CFirmwareDownload download(g_Comm);
    CUnitSession::EResult r;
    {
        CProgressLine progress("firmware");
        r = session.Firmware(download, image.Image().Words(), progress.Callback());
    }
    image.Close();
    switch (download.GetFailure()) {
    case CFirmwareDownload::EFailure::None:
        std::printf("%s\n%s\n", Narrow(image.ExtentText(IDS_VERIFIED_EXTENT)).c_str(), Text(IDS_DOWNLOAD_COMPLETE).c_str());
        return 0;
    case CFirmwareDownload::EFailure::Verify:
        UnitFail(unit, Narrow(CFirmwareFile::Format(IDS_VERIFY_FAILED_AT, download.GetBadAddress())) + ". " +
                           Narrow(CFirmwareFile::Format(IDS_VERIFY_WORDS, download.GetUnitWord(),
                                                        download.GetFileWord())) +
                           ". " + Text(IDS_DOWNLOAD_NEEDED));
        return EXIT_DIFFERENT;
    case CFirmwareDownload::EFailure::LinkLost:
    case CFirmwareDownload::EFailure::NotComplete:
        break;
    }
    UnitFail(unit, (r == CUnitSession::EResult::LinkLost ? Text(IDS_DOWNLOAD_LINK_LOST)
                                                           : Text(IDS_DOWNLOAD_NOT_COMPLETE) +
                                                                 ": the unit stopped answering") +
                       ". " + Text(IDS_DOWNLOAD_NEEDED));
    return EXIT_ERROR;
}

} // namespace

int RunUnitCommand(const std::string& command, const std::vector<std::string>& args, const SOptions& opt)
{
    if (command == "units")
        return CmdUnits(args, opt.bJson);
    if (command == "pull")
        return CmdPull(args);
    if (command == "push")
        return CmdPush(args, opt);
    if (command == "diff")
        return CmdDiffUnit(args);
    if (command == "firmware")
        return CmdFirmware(args);
    UsageError("unknown command '" + command + "'");
    return EXIT_ERROR;
}

bool WriteLinkLog(const std::string& file)
{
    return SafeWriteText(file, CLinkLogFile::Compose(g_Comm, "qvrtool, " + CLinkLogCommand::ProgramText()));
}

bool ReadUnitForReport(const std::string& unit, std::vector<CChannelConfig>& channels, CProfileInfo& profile,
                       int& nMode, bool& bNoLeftRightCenter, std::string& label)
{
    CUnitSession session;
    CUnitSession::SUnit state;
    if (!OpenAndRead(unit, session, state, "reading the unit", &label))
        return false;
    channels = state.channels;
    profile = state.profile;
    nMode = state.nMode;
    bNoLeftRightCenter = state.bNoLeftRightCenter;
    return true;
}

} // namespace qvrtool
