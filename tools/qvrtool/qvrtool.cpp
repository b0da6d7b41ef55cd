// qvrtool: create, inspect, edit and compare QVR500 configuration files and
// print the response curves the editor draws for a channel.
//
//   qvrtool new FILE
//   qvrtool set FILE CHANNEL NAME=VALUE... [--mode 2|3]
//   qvrtool dump FILE [--json]
//   qvrtool response FILE CHANNEL [--mode 2|3] [--sum]
//   qvrtool diff A B
//
// Exit codes: 0 success (diff: equal), 1 diff found differences, 2 error.
// Files are replaced through a temporary file next to them that takes their
// place only when complete, so a failed write never leaves a truncated file
// behind; links stay links and files keep their permissions.

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "files/SafeFile.h"
#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ChannelNames.h"
#include "model/ConfigCheck.h"
#include "model/SummedResponse.h"
#include "measure/Sidecar.h"
#include "tools/qvrtool/MeasureInputs.h"
#include "tools/qvrtool/PredictCommand.h"
#include "tools/qvrtool/ProfileJson.h"
#include "tools/qvrtool/ReportWriter.h"
#include "tools/qvrtool/TextCodec.h"
#include "tools/qvrtool/ToolCommon.h"

namespace fs = std::filesystem;

namespace qvrtool {



bool IsExistingPath(const std::string& s)
{
    std::error_code ec;
    return fs::exists(PathFromUtf8(s), ec);
}

// Whether an argument that may name a file or a unit names a unit: only in
// the Windows build, and only when no such file exists and the text does not
// look like a path (a folder separator or the .qvr extension).
bool IsUnitArgument(const std::string& s)
{
#ifdef _WIN32
    if (IsExistingPath(s))
        return false;
    // A device-list entry names its transport first.
    for (const char* pszTransport : {"sim:", "tcp:", "com:"})
        if (s.size() > 4 && std::equal(s.begin(), s.begin() + 4, pszTransport,
                                       [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
            return true;
    if (s.find_first_of("/\\") != std::string::npos)
        return false;
    return !(s.size() >= 4 && s.compare(s.size() - 4, 4, ".qvr") == 0);
#else
    (void)s;
    return false;
#endif
}

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
    "cycle.  Exit codes: 0 success (diff: equal), 1 different, 2 error.\n";

// Paths arrive as UTF-8; on Windows the wide API opens them.
fs::path PathFromUtf8(const std::string& s)
{
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s.data()), s.size()));
}

std::FILE* OpenFile(const fs::path& path, bool bWrite)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), bWrite ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), bWrite ? "wb" : "rb");
#endif
}

// The system's text for an errno (POSIX) or a GetLastError code (Windows).
std::string SystemErrorText(unsigned long nError)
{
#ifdef _WIN32
    return std::system_category().message(static_cast<int>(nError));
#else
    return std::strerror(static_cast<int>(nError));
#endif
}

void Fail(const std::string& file, const std::string& reason)
{
    std::fprintf(stderr, "qvrtool: %s: %s\n", file.c_str(), reason.c_str());
}

void UsageError(const std::string& reason)
{
    std::fprintf(stderr, "qvrtool: %s (qvrtool --help shows the usage)\n", reason.c_str());
}

bool IsMidGuarded(EChannelField field)
{
    return field >= FIELD_MID_LP_FREQ && field <= FIELD_MID_FLAGS;
}

bool ParseChannel(const std::string& s, int& nChannel)
{
    if (s.size() != 1 || s[0] < '0' || s[0] > '5')
        return false;
    nChannel = s[0] - '0';
    return true;
}

bool ParseMode(const std::string& s, int& nMode)
{
    if (s == "2" || s == "3") {
        nMode = s[0] - '0';
        return true;
    }
    return false;
}

bool ParseFloat(const std::string& s, float& v)
{
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0])))
        return false;
    errno = 0;
    char* pEnd = nullptr;
    const float f = std::strtof(s.c_str(), &pEnd);
    if (pEnd != s.c_str() + s.size() || errno == ERANGE || !std::isfinite(f))
        return false;
    v = f;
    return true;
}

bool ParseFlags(const std::string& s, std::uint32_t& v)
{
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0])))
        return false;
    errno = 0;
    char* pEnd = nullptr;
    const unsigned long long n = std::strtoull(s.c_str(), &pEnd, 0);
    if (pEnd != s.c_str() + s.size() || errno == ERANGE || n > 0xFFFFFFFFull)
        return false;
    v = static_cast<std::uint32_t>(n);
    return true;
}

// Gives a record exactly this name.  The record's name setter ignores a name
// that differs from the stored one only in letter case, so the name is
// emptied first.
void SetNameExactly(CChannelConfig& rec, const char16_t* pszName)
{
    rec.SetSpeakerName(u"");
    rec.SetSpeakerName(pszName);
}


std::string FormatFloat(float v);

// The record setters do not keep every value a file may hold (the channel
// high-pass frequency is never below 20, a name keeps 31 characters): say so
// where the loaded record differs from the file's bytes, since dump, diff and
// set show and write the loaded values.
void WarnChangedOnLoad(const std::string& file, int nRecord, const std::uint8_t* pRecord, const CChannelConfig& rec)
{
    constexpr std::size_t NAME_OFFSET = CConfigFile::NAME_OFFSET;
    constexpr std::size_t VALUES_OFFSET = CConfigFile::VALUES_OFFSET;
    const char16_t* pszName = rec.GetSpeakerNameRaw();
    for (int u = 0; u < SPEAKER_NAME_UNITS; ++u) {
        const char16_t ch =
            static_cast<char16_t>(pRecord[NAME_OFFSET + 2 * u] | (pRecord[NAME_OFFSET + 2 * u + 1] << 8));
        if (ch != pszName[u]) {
            std::fprintf(stderr, "qvrtool: %s: warning: record %d m_szSpeaker is cut to %d characters\n", file.c_str(),
                         nRecord, SPEAKER_NAME_UNITS - 1);
            break;
        }
        if (ch == 0)
            break;
    }
    for (int f = 0; f < FIELD_COUNT; ++f) {
        const auto field = static_cast<EChannelField>(f);
        const std::uint32_t dwFile = CConfigFile::GetU32(pRecord + VALUES_OFFSET + 4 * f);
        if (dwFile == GetChannelFieldBits(rec, field))
            continue;
        char szFile[32];
        if (GetChannelFieldInfo(field).bFlags)
            std::snprintf(szFile, sizeof szFile, "0x%08X", static_cast<unsigned>(dwFile));
        else
            std::snprintf(szFile, sizeof szFile, "%s", FormatFloat(BitsToFloat(dwFile)).c_str());
        std::fprintf(stderr, "qvrtool: %s: warning: record %d %s is %s in the file and reads as %s\n", file.c_str(),
                     nRecord, GetChannelFieldInfo(field).pszName, szFile, FormatValue(rec, field).c_str());
    }
}

bool Load(const std::string& file, Config& cfg, int nMode)
{
    std::FILE* pFile = OpenFile(PathFromUtf8(file), false);
    if (pFile == nullptr) {
        Fail(file, std::string("cannot open: ") + std::strerror(errno));
        return false;
    }
    std::vector<std::uint8_t> data;
    std::uint8_t buf[4096];
    bool bReadError = false;
    // The bytes after the sixth record are read too (diff compares them),
    // up to a bound far above anything a configuration file holds.
    while (data.size() <= MAX_FILE_BYTES) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, pFile);
        data.insert(data.end(), buf, buf + n);
        if (n < sizeof buf) {
            bReadError = std::ferror(pFile) != 0;
            break;
        }
    }
    std::fclose(pFile);
    if (bReadError) {
        Fail(file, CConfigFile::StatusText(EConfigStatus::ReadError));
        return false;
    }
    if (data.size() > MAX_FILE_BYTES) {
        Fail(file, "larger than " + std::to_string(MAX_FILE_BYTES) + " bytes: not a configuration file (" +
                       std::to_string(CConfigFile::FILE_BYTES) + " bytes)");
        return false;
    }

    // Empty names, so that a name read from the file is kept in its own
    // letter case rather than compared with the default one.
    for (CChannelConfig& rec : cfg.channels)
        rec.SetSpeakerName(u"");
    CMemoryStream stream(std::move(data));
    const ConfigResult result = CConfigFile::Read(stream, cfg.channels.data(), nullptr, -1, nullptr, false);
    if (!result.Ok()) {
        std::string reason = CConfigFile::StatusText(result.status);
        if (result.status == EConfigStatus::ShortFile)
            reason += ": " + std::to_string(result.nOffset) + " of " + std::to_string(CConfigFile::FILE_BYTES) +
                      " bytes";
        Fail(file, reason);
        return false;
    }
    cfg.dwVersion = CConfigFile::GetU32(stream.Data().data() + CConfigFile::SIGNATURE_BYTES);
    cfg.bytes = stream.Data();
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        if (result.nKeptIndexMask & (1u << i))
            std::fprintf(stderr, "qvrtool: %s: warning: record %d carries a channel index outside 0..5; it keeps %d\n",
                         file.c_str(), i, i);
        WarnChangedOnLoad(file, i, stream.Data().data() + CConfigFile::HEADER_BYTES + i * CConfigFile::RECORD_BYTES,
                          cfg.channels[i]);
        cfg.channels[i].SetMode(nMode);
    }
    return true;
}

// Writes the bytes beside the file and puts them in its place only when
// complete: a link stays a link, the file keeps its permissions, and a path
// that is not a regular file is refused.
bool SafeWrite(const std::string& file, const std::vector<std::uint8_t>& data)
{
    CSafeFile safe;
    CSafeFile::SResult r = safe.Begin(PathFromUtf8(file));
    if (r.Ok() && !safe.Stream().Write(data.data(), data.size()))
        r = CSafeFile::SResult{CSafeFile::EStatus::WriteFailed, 0};
    if (r.Ok())
        r = safe.Commit();
    if (r.Ok())
        return true;
    std::string reason = CSafeFile::StatusText(r.status);
    if (r.nSystemError != 0)
        reason += ": " + SystemErrorText(r.nSystemError);
    Fail(file, reason + "; the file is unchanged");
    return false;
}

bool SafeWriteText(const std::string& file, const std::string& text)
{
    return SafeWrite(file, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool Save(const std::string& file, Config& cfg, bool bReset)
{
    CMemoryStream stream;
    const ConfigResult result = CConfigFile::Write(stream, cfg.channels.data(), nullptr, -1, nullptr, bReset);
    if (!result.Ok()) {
        Fail(file, CConfigFile::StatusText(result.status));
        return false;
    }
    return SafeWrite(file, stream.Data());
}

std::string FormatFloat(float v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string FormatValue(const CChannelConfig& c, EChannelField field)
{
    char buf[32];
    if (GetChannelFieldInfo(field).bFlags) {
        std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(GetChannelFieldBits(c, field)));
        return buf;
    }
    return FormatFloat(GetChannelFieldFloat(c, field));
}

std::string JsonValue(const CChannelConfig& c, EChannelField field)
{
    if (GetChannelFieldInfo(field).bFlags)
        return std::to_string(GetChannelFieldBits(c, field));
    const float v = GetChannelFieldFloat(c, field);
    if (std::isnan(v))
        return "\"NaN\"";
    if (std::isinf(v))
        return v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    return FormatFloat(v);
}

// --- commands --------------------------------------------------------------

int CmdNew(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        UsageError("new takes one file");
        return EXIT_ERROR;
    }
    Config cfg;
    return Save(args[0], cfg, true) ? 0 : EXIT_ERROR;
}

struct Assignment {
    std::string name;
    EChannelField field = FIELD_NONE;
    std::uint32_t bits = 0;
    std::u16string text; // m_szSpeaker
    int nChannel = 0;    // m_nChannel
};

int CmdSet(const std::vector<std::string>& args, int nMode, bool bForce)
{
    if (args.size() < 3) {
        UsageError("set needs a file, a channel and at least one NAME=VALUE");
        return EXIT_ERROR;
    }
    const std::string& file = args[0];
    int nChannel = 0;
    if (!ParseChannel(args[1], nChannel)) {
        UsageError("bad channel '" + args[1] + "' (expected 0..5)");
        return EXIT_ERROR;
    }
    // Everything is checked before the file is touched.
    std::vector<Assignment> assignments;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) {
            UsageError("expected NAME=VALUE, got '" + arg + "'");
            return EXIT_ERROR;
        }
        Assignment a;
        a.name = arg.substr(0, eq);
        const std::string value = arg.substr(eq + 1);
        if (a.name == "m_szSpeaker") {
            if (!Utf8ToUtf16(value, a.text)) {
                UsageError("m_szSpeaker: the value is not valid UTF-8");
                return EXIT_ERROR;
            }
            if (a.text.find(u'\0') != std::u16string::npos) {
                UsageError("m_szSpeaker: the value contains a NUL");
                return EXIT_ERROR;
            }
        } else if (a.name == "m_nChannel") {
            if (!ParseChannel(value, a.nChannel)) {
                UsageError("m_nChannel: bad value '" + value + "' (expected 0..5)");
                return EXIT_ERROR;
            }
        } else if (a.name == "m_nMode") {
            UsageError("m_nMode is not stored in the file; use --mode");
            return EXIT_ERROR;
        } else {
            a.field = FindChannelField(a.name.c_str());
            if (a.field == FIELD_NONE) {
                UsageError("unknown field '" + a.name + "'");
                return EXIT_ERROR;
            }
            if (GetChannelFieldInfo(a.field).bFlags) {
                if (!ParseFlags(value, a.bits)) {
                    UsageError(a.name + ": bad value '" + value + "' (expected a 32-bit unsigned number)");
                    return EXIT_ERROR;
                }
            } else {
                float v = 0;
                if (!ParseFloat(value, v)) {
                    UsageError(a.name + ": bad value '" + value + "' (expected a finite number)");
                    return EXIT_ERROR;
                }
                if (!bForce && CConfigCheck::CheckValue(a.field, nMode, v) != CConfigCheck::EVerdict::Ok) {
                    std::fprintf(stderr, "qvrtool: %s=%s is outside the editor's range %s (%s); --force writes it "
                                         "anyway\n",
                                 a.name.c_str(), value.c_str(), CConfigCheck::BoundsText(a.field, nMode).c_str(),
                                 CConfigCheck::ModeName(nMode));
                    return EXIT_ERROR;
                }
                a.bits = FloatToBits(v);
            }
        }
        assignments.push_back(std::move(a));
    }

    Config cfg;
    if (!Load(file, cfg, nMode))
        return EXIT_ERROR;
    CChannelConfig& rec = cfg.channels[nChannel];
    for (const Assignment& a : assignments) {
        if (a.name == "m_szSpeaker") {
            if (a.text.size() >= SPEAKER_NAME_UNITS)
                std::fprintf(stderr, "qvrtool: warning: m_szSpeaker cut to %d characters\n", SPEAKER_NAME_UNITS - 1);
            SetNameExactly(rec, a.text.c_str());
        } else if (a.name == "m_nChannel") {
            rec.SetChannel(a.nChannel);
        } else {
            SetChannelFieldBits(rec, a.field, a.bits, false, false);
            if (rec.GetMode() == MODE_BIAMP && IsMidGuarded(a.field))
                std::fprintf(stderr, "qvrtool: warning: %s not set: Mid band fields are ignored in mode 2\n",
                             a.name.c_str());
            else if (GetChannelFieldBits(rec, a.field) != a.bits)
                std::fprintf(stderr, "qvrtool: warning: %s stored as %s\n", a.name.c_str(),
                             FormatValue(rec, a.field).c_str());
        }
    }
    return Save(file, cfg, false) ? 0 : EXIT_ERROR;
}

// Warns about what the file holds that the editor would not accept (of one
// record only when nRecord >= 0; findings about the file as a whole always).
// True when a value of that record is NaN or infinite.
bool WarnFindings(const std::string& file, const Config& cfg, int nMode, int nRecord)
{
    bool bNonFinite = false;
    for (const CConfigCheck::SFinding& f : CConfigFile::Check(cfg.bytes.data(), cfg.bytes.size(), nMode)) {
        if (nRecord >= 0 && f.nRecord >= 0 && f.nRecord != nRecord)
            continue;
        if (f.bNonFinite) {
            bNonFinite = true;
            if (nRecord >= 0)
                continue; // the caller reports it as the error
        }
        std::fprintf(stderr, "qvrtool: %s: warning: %s\n", file.c_str(), f.text.c_str());
    }
    return bNonFinite;
}

int CmdDump(const std::vector<std::string>& args, bool bJson, int nMode)
{
    if (args.size() != 1) {
        UsageError("dump takes one file");
        return EXIT_ERROR;
    }
    Config cfg;
    if (!Load(args[0], cfg, MODE_TRIAMP))
        return EXIT_ERROR;
    WarnFindings(args[0], cfg, nMode);
    if (bJson) {
        std::printf("{\n  \"version\": %u,\n  \"channels\": [\n", static_cast<unsigned>(cfg.dwVersion));
        for (int i = 0; i < CHANNEL_COUNT; ++i) {
            const CChannelConfig& c = cfg.channels[i];
            std::printf("    {\n      \"m_nChannel\": %d,\n      \"m_szSpeaker\": %s", c.GetChannel(),
                        JsonString(c.GetSpeakerNameRaw()).c_str());
            for (int f = 0; f < FIELD_COUNT; ++f) {
                const auto field = static_cast<EChannelField>(f);
                std::printf(",\n      \"%s\": %s", GetChannelFieldInfo(field).pszName, JsonValue(c, field).c_str());
            }
            std::printf("\n    }%s\n", i + 1 < CHANNEL_COUNT ? "," : "");
        }
        std::printf("  ]\n}\n");
        return 0;
    }
    std::printf("version 0x%08X\n", static_cast<unsigned>(cfg.dwVersion));
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        const CChannelConfig& c = cfg.channels[i];
        std::printf("\nrecord %d (%s)\n", i, kChannelNames[i]);
        std::printf("  %-16s %d\n", "m_nChannel", c.GetChannel());
        std::printf("  %-16s %s\n", "m_szSpeaker", JsonString(c.GetSpeakerNameRaw()).c_str());
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto field = static_cast<EChannelField>(f);
            std::printf("  %-16s %s\n", GetChannelFieldInfo(field).pszName, FormatValue(c, field).c_str());
        }
    }
    return 0;
}

// %.4f with the same text for non-finite values on every platform.
void PrintValue(double v)
{
    if (std::isnan(v))
        std::fputs("nan", stdout);
    else if (std::isinf(v))
        std::fputs(v > 0 ? "inf" : "-inf", stdout);
    else
        std::printf("%.4f", v);
}

// A cell that is empty where the value is undefined.
void PrintCell(double v)
{
    std::fputc(',', stdout);
    if (!std::isnan(v))
        PrintValue(v);
}

int CmdResponse(const std::vector<std::string>& args, int nMode, bool bSum)
{
    if (args.size() != 2) {
        UsageError("response takes a file and a channel");
        return EXIT_ERROR;
    }
    int nChannel = 0;
    if (!ParseChannel(args[1], nChannel)) {
        UsageError("bad channel '" + args[1] + "' (expected 0..5)");
        return EXIT_ERROR;
    }
    Config cfg;
    if (!Load(args[0], cfg, nMode))
        return EXIT_ERROR;
    if (WarnFindings(args[0], cfg, nMode, nChannel)) {
        for (const CConfigCheck::SFinding& f : CConfigFile::Check(cfg.bytes.data(), cfg.bytes.size(), nMode))
            if (f.bNonFinite && f.nRecord == nChannel) {
                Fail(args[0], f.text + ": the response cannot be computed");
                break;
            }
        return EXIT_ERROR;
    }
    // The plot works on a working copy of the shown channel.
    CChannelConfig working(nChannel);
    working.Assign(cfg.channels[nChannel], false);
    CBandResponse response;
    response.RecalcBands(working, BAND_ALL);
    const float* pLow = response.GetLowBand();
    const float* pMid = response.GetMidBand();
    const float* pHigh = response.GetHighBand();
    std::unique_ptr<CSummedResponse> pSum;
    if (bSum) {
        pSum = std::make_unique<CSummedResponse>();
        pSum->Recalc(working, response, BAND_ALL);
    }
    std::printf(bSum ? "hz,low,mid,high,sum,phase,gd\n" : "hz,low,mid,high\n");
    for (int i = 0; i < CBandResponse::RESPONSE_POINTS; ++i) {
        std::printf("%d,", i * 5);
        PrintValue(pLow[i]);
        std::fputc(',', stdout);
        PrintValue(pMid[i]);
        std::fputc(',', stdout);
        PrintValue(pHigh[i]);
        if (pSum) {
            std::fputc(',', stdout);
            PrintValue(pSum->GetSum()[i]);
            PrintCell(pSum->GetPhase()[i]);
            PrintCell(pSum->GetGroupDelay()[i]);
        }
        std::fputc('\n', stdout);
    }
    return 0;
}

// The text of a record's name as the reader takes it (up to the first NUL).
std::u16string RawName(const std::uint8_t* pRecord, int* pnTerminator)
{
    std::u16string name;
    int u = 0;
    for (; u < SPEAKER_NAME_UNITS; ++u) {
        const auto ch = static_cast<char16_t>(pRecord[CConfigFile::NAME_OFFSET + 2 * u] |
                                              (pRecord[CConfigFile::NAME_OFFSET + 2 * u + 1] << 8));
        if (ch == 0)
            break;
        name.push_back(ch);
    }
    if (pnTerminator)
        *pnTerminator = u;
    return name;
}

std::string FormatBits(EChannelField field, std::uint32_t bits)
{
    if (GetChannelFieldInfo(field).bFlags) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(bits));
        return buf;
    }
    return CConfigCheck::FormatFloat(BitsToFloat(bits));
}

// Compares the two files byte for byte as the reader reads them: the
// version, each record's channel index, name and values as they stand in
// the file (not as the setters keep them), the name units after the
// terminator, and whatever follows the sixth record.
int CmdDiff(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        UsageError("diff takes two files");
        return EXIT_ERROR;
    }
    Config a, b;
    if (!Load(args[0], a, MODE_TRIAMP) || !Load(args[1], b, MODE_TRIAMP))
        return EXIT_ERROR;
    int nDiffs = 0;
    if (a.dwVersion != b.dwVersion) {
        std::printf("version: 0x%08X -> 0x%08X\n", static_cast<unsigned>(a.dwVersion),
                    static_cast<unsigned>(b.dwVersion));
        ++nDiffs;
    }
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        const std::uint8_t* x = a.bytes.data() + CConfigFile::HEADER_BYTES + i * CConfigFile::RECORD_BYTES;
        const std::uint8_t* y = b.bytes.data() + CConfigFile::HEADER_BYTES + i * CConfigFile::RECORD_BYTES;
        const auto nChannelX = static_cast<std::int32_t>(CConfigFile::GetU32(x));
        const auto nChannelY = static_cast<std::int32_t>(CConfigFile::GetU32(y));
        if (nChannelX != nChannelY) {
            std::printf("record %d m_nChannel: %d -> %d\n", i, static_cast<int>(nChannelX), static_cast<int>(nChannelY));
            ++nDiffs;
        }
        int nEndX = 0, nEndY = 0;
        const std::u16string nameX = RawName(x, &nEndX);
        const std::u16string nameY = RawName(y, &nEndY);
        if (nameX != nameY) {
            std::printf("record %d m_szSpeaker: %s -> %s\n", i, JsonString(nameX.c_str()).c_str(),
                        JsonString(nameY.c_str()).c_str());
            ++nDiffs;
        } else if (std::memcmp(x + CConfigFile::NAME_OFFSET, y + CConfigFile::NAME_OFFSET,
                               2 * SPEAKER_NAME_UNITS) != 0) {
            std::printf("record %d m_szSpeaker: the units after the name's terminator differ (the program "
                        "ignores them)\n",
                        i);
            ++nDiffs;
        }
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto field = static_cast<EChannelField>(f);
            const std::uint32_t dwX = CConfigFile::GetU32(x + CConfigFile::VALUES_OFFSET + 4 * f);
            const std::uint32_t dwY = CConfigFile::GetU32(y + CConfigFile::VALUES_OFFSET + 4 * f);
            if (dwX != dwY) {
                std::printf("record %d %s: %s -> %s\n", i, GetChannelFieldInfo(field).pszName,
                            FormatBits(field, dwX).c_str(), FormatBits(field, dwY).c_str());
                ++nDiffs;
            }
        }
    }
    const std::size_t nTrailA = a.bytes.size() - CConfigFile::FILE_BYTES;
    const std::size_t nTrailB = b.bytes.size() - CConfigFile::FILE_BYTES;
    if (nTrailA != nTrailB ||
        !std::equal(a.bytes.begin() + CConfigFile::FILE_BYTES, a.bytes.end(), b.bytes.begin() + CConfigFile::FILE_BYTES)) {
        std::printf("bytes after the sixth record differ (%zu -> %zu bytes; the program ignores them)\n", nTrailA,
                    nTrailB);
        ++nDiffs;
    }
    return nDiffs ? EXIT_DIFFERENT : 0;
}

std::string Today()
{
    const std::time_t t = std::time(nullptr);
    char sz[64] = {};
    if (const std::tm* pTm = std::localtime(&t))
        std::strftime(sz, sizeof sz, "%Y-%m-%d %H:%M", pTm);
    return sz;
}

bool ReadProfileFile(const std::string& file, CProfileJson::SProfile& json)
{
    std::FILE* pFile = OpenFile(PathFromUtf8(file), false);
    if (!pFile) {
        Fail(file, std::string("cannot open: ") + std::strerror(errno));
        return false;
    }
    std::string text;
    char buf[4096];
    std::size_t n;
    while (text.size() <= CProfileJson::MAX_BYTES && (n = std::fread(buf, 1, sizeof buf, pFile)) > 0)
        text.append(buf, n);
    const bool bError = std::ferror(pFile) != 0;
    std::fclose(pFile);
    std::string error;
    if (bError) {
        Fail(file, "cannot be read");
        return false;
    }
    if (!CProfileJson::Parse(text, json, error)) {
        Fail(file, error);
        return false;
    }
    return true;
}

void ApplyProfile(const std::string& file, const CProfileJson::SProfile& json, CProfileInfo& profile)
{
    if (CProfileJson::Apply(json, profile))
        std::fprintf(stderr, "qvrtool: %s: warning: a text longer than its profile field is cut\n", file.c_str());
}

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

#ifndef _WIN32
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
#endif

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
    bool bModeGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool bHasValue = i + 1 < args.size();
        if (arg == "--mode") {
            if (!bHasValue || !ParseMode(args[i + 1], opt.nMode)) {
                UsageError("--mode takes 2 or 3");
                return EXIT_ERROR;
            }
            bModeGiven = true;
            ++i;
        } else if (arg == "--json") {
            opt.bJson = true;
        } else if (arg == "--force") {
            opt.bForce = true;
        } else if (arg == "--store") {
            opt.bStore = true;
        } else if (arg == "--sum") {
            opt.bSum = true;
        } else if (arg == "--profile" || arg == "-o" || arg == "--log") {
            if (!bHasValue) {
                UsageError(arg + " takes a file");
                return EXIT_ERROR;
            }
            (arg == "-o" ? opt.output : arg == "--log" ? opt.log : opt.profile) = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            UsageError("unknown option '" + arg + "'");
            return EXIT_ERROR;
        } else {
            positional.push_back(arg);
        }
    }
    // Which command takes which option.
    // The verbs that talk to units; report does when its source is one.
    const bool bTalksToUnits = command == "pull" || command == "push" || command == "firmware" ||
                               (command == "diff" && positional.size() == 2 && IsUnitArgument(positional[1])) ||
                               (command == "report" && positional.size() == 1 && IsUnitArgument(positional[0]));
    const bool bOk = (opt.log.empty() || bTalksToUnits) && (!bModeGiven || command == "set" || command == "response" || command == "dump" || command == "report") &&
                     (!opt.bJson || command == "dump" || command == "units") && (!opt.bForce || command == "set") &&
                     (!opt.bStore || command == "push") && (!opt.bSum || command == "response") &&
                     (opt.profile.empty() || command == "push" || command == "report") &&
                     (opt.output.empty() || command == "report");
    if (!bOk) {
        UsageError("option not valid for '" + command + "'");
        return EXIT_ERROR;
    }

    if (command == "new")
        return CmdNew(positional);
    if (command == "set")
        return CmdSet(positional, opt.nMode, opt.bForce);
    if (command == "dump")
        return CmdDump(positional, opt.bJson, opt.nMode);
    if (command == "response")
        return CmdResponse(positional, opt.nMode, opt.bSum);
    if (command == "diff" && (positional.size() != 2 || !IsUnitArgument(positional[1])))
        return CmdDiff(positional);
    int nExit = EXIT_ERROR;
    if (command == "report")
        nExit = CmdReport(positional, opt);
    else if (command == "units" || command == "pull" || command == "push" || command == "diff" || command == "firmware")
        nExit = RunUnitCommand(command, positional, opt);
    else
        UsageError("unknown command '" + command + "'");
    // The log is written whatever the verb's outcome: a failed one is what
    // support needs it for.
    if (!opt.log.empty() && !WriteLinkLog(opt.log))
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
