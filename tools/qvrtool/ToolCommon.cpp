// What the verbs of qvrtool share: loading and safely writing files, the
// parsers of command-line values, the messages.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "files/SafeFile.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ConfigCheck.h"
#include "resources/strings/StringTable.h"
#include "tools/qvrtool/ProfileJson.h"
#include "tools/qvrtool/TextCodec.h"
#include "tools/qvrtool/ToolCommon.h"

namespace fs = std::filesystem;

namespace qvrtool {

namespace {

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

} // namespace

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

std::string Text(unsigned nId)
{
    const char16_t* psz = qvr::LoadStringText(nId);
    return psz ? Utf16ToUtf8(psz) : std::string();
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
    const ConfigResult result = CConfigFile::Read(stream, cfg.channels.data(), nullptr, false);
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
            std::fprintf(stderr, "qvrtool: %s: warning: record %d claims another channel index; it is read as channel %d\n",
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
    const ConfigResult result = CConfigFile::Write(stream, cfg.channels.data(), nullptr, bReset);
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

} // namespace qvrtool
