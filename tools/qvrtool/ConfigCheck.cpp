#include "tools/qvrtool/ConfigCheck.h"

#include <cmath>
#include <cstdio>

#include "files/ConfigFile.h"
#include "model/ChannelConfig.h"
#include "model/FieldRanges.h"

namespace {

const char* ModeName(int nMode)
{
    return nMode == MODE_BIAMP ? "Biamp" : "Triamp";
}

} // namespace

std::string CConfigCheck::FormatFloat(float v)
{
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::vector<CConfigCheck::SFinding> CConfigCheck::Check(const std::uint8_t* pData, std::size_t nSize, int nMode)
{
    std::vector<SFinding> findings;
    if (pData == nullptr || nSize < CConfigFile::FILE_BYTES)
        return findings;

    int anClaimedBy[CHANNEL_COUNT];
    for (int& n : anClaimedBy)
        n = -1;
    for (int r = 0; r < CHANNEL_COUNT; ++r) {
        const std::uint8_t* pRecord = pData + CConfigFile::HEADER_BYTES + r * CConfigFile::RECORD_BYTES;
        const auto nChannel = static_cast<std::int32_t>(CConfigFile::GetU32(pRecord));
        if (nChannel >= 0 && nChannel < CHANNEL_COUNT) {
            if (anClaimedBy[nChannel] >= 0) {
                SFinding f;
                f.nRecord = r;
                f.text = "records " + std::to_string(anClaimedBy[nChannel]) + " and " + std::to_string(r) +
                         " both claim channel " + std::to_string(nChannel);
                findings.push_back(std::move(f));
            } else {
                anClaimedBy[nChannel] = r;
            }
        }
        for (int i = 0; i < FIELD_COUNT; ++i) {
            const auto eField = static_cast<EChannelField>(i);
            const ChannelFieldInfo& info = GetChannelFieldInfo(eField);
            if (info.bFlags)
                continue;
            const float v = BitsToFloat(CConfigFile::GetU32(pRecord + CConfigFile::VALUES_OFFSET + 4 * i));
            SFinding f;
            f.nRecord = r;
            f.eField = eField;
            const std::string what = "record " + std::to_string(r) + " " + info.pszName + " is " + FormatFloat(v);
            if (!std::isfinite(v)) {
                f.bNonFinite = true;
                f.text = what + ", which no field of the editor takes";
                findings.push_back(std::move(f));
                continue;
            }
            CFieldRanges::SRange range{};
            if (!CFieldRanges::GetEditorRange(eField, nMode, range))
                continue;
            if (v >= range.fltMin && v <= range.fltMax)
                continue;
            f.text = what + ", outside the editor's range " + FormatFloat(range.fltMin) + ".." +
                     FormatFloat(range.fltMax) + " (" + ModeName(nMode) + ")";
            findings.push_back(std::move(f));
        }
    }
    if (nSize > CConfigFile::FILE_BYTES) {
        SFinding f;
        f.text = std::to_string(nSize - CConfigFile::FILE_BYTES) +
                 " bytes follow the sixth record; the program ignores them";
        findings.push_back(std::move(f));
    }
    return findings;
}
