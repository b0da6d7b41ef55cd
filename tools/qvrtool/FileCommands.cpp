// The verbs of qvrtool that work on configuration files: new, set, dump,
// response and diff A B.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "files/ConfigFile.h"
#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ChannelNames.h"
#include "model/ConfigCheck.h"
#include "model/SummedResponse.h"
#include "tools/qvrtool/TextCodec.h"
#include "tools/qvrtool/ToolCommon.h"

namespace qvrtool {

namespace {

bool IsMidGuarded(EChannelField field)
{
    return field >= FIELD_MID_LP_FREQ && field <= FIELD_MID_FLAGS;
}

// Gives a record exactly this name.  The record's name setter ignores a name
// that differs from the stored one only in letter case, so the name is
// emptied first.
void SetNameExactly(CChannelConfig& rec, const char16_t* pszName)
{
    rec.SetSpeakerName(u"");
    rec.SetSpeakerName(pszName);
}


struct Assignment {
    std::string name;
    EChannelField field = FIELD_NONE;
    std::uint32_t bits = 0;
    std::u16string text; // m_szSpeaker
    int nChannel = 0;    // m_nChannel
};

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

} // namespace

int CmdNew(const std::vector<std::string>& args, const SOptions&)
{
    if (args.size() != 1) {
        UsageError("new takes one file");
        return EXIT_ERROR;
    }
    Config cfg;
    return Save(args[0], cfg, true) ? 0 : EXIT_ERROR;
}

int CmdSet(const std::vector<std::string>& args, const SOptions& opt)
{
    const int nMode = opt.nMode;
    const bool bForce = opt.bForce;
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

int CmdDump(const std::vector<std::string>& args, const SOptions& opt)
{
    const bool bJson = opt.bJson;
    const int nMode = opt.nMode;
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

int CmdResponse(const std::vector<std::string>& args, const SOptions& opt)
{
    const int nMode = opt.nMode;
    const bool bSum = opt.bSum;
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

// Compares the two files byte for byte as the reader reads them: the
// version, each record's channel index, name and values as they stand in
// the file (not as the setters keep them), the name units after the
// terminator, and whatever follows the sixth record.
int CmdDiff(const std::vector<std::string>& args, const SOptions&)
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

} // namespace qvrtool
