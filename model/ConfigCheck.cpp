#include "model/ConfigCheck.h"

#include <charconv>
#include <cmath>

const char* CConfigCheck::ModeName(int nMode)
{
    return nMode == MODE_BIAMP ? "Biamp" : "Triamp";
}

std::string CConfigCheck::FormatFloat(float v)
{
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    // The shortest text that reads back as the same float: 0.707, not 0.707000017.
    char buf[48];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

CConfigCheck::EVerdict CConfigCheck::CheckValue(EChannelField eField, int nMode, float v)
{
    if (eField < 0 || eField >= FIELD_COUNT || GetChannelFieldInfo(eField).bFlags)
        return EVerdict::Ok;
    if (!std::isfinite(v))
        return EVerdict::NonFinite;
    if (eField == FIELD_HP_Q)
        return v == HP_Q_LOW || v == HP_Q_HIGH ? EVerdict::Ok : EVerdict::OutOfRange;
    CFieldRanges::SRange range{};
    if (!CFieldRanges::GetEditorRange(eField, nMode, range))
        return EVerdict::Ok;
    return v >= range.fltMin && v <= range.fltMax ? EVerdict::Ok : EVerdict::OutOfRange;
}

CConfigCheck::EVerdict CConfigCheck::CheckBits(EChannelField eField, int nMode, std::uint32_t bits)
{
    return CheckValue(eField, nMode, BitsToFloat(bits));
}

std::string CConfigCheck::DescribeRange(EChannelField eField, int nMode)
{
    if (eField == FIELD_HP_Q)
        return "0.707 or 2.0";
    CFieldRanges::SRange range{};
    if (eField < 0 || eField >= FIELD_COUNT || !CFieldRanges::GetEditorRange(eField, nMode, range))
        return std::string();
    std::string text = FormatFloat(range.fltMin) + " to " + FormatFloat(range.fltMax);
    const char* pszUnit = GetChannelFieldUnit(eField);
    if (*pszUnit)
        text += std::string(" ") + pszUnit;
    return text;
}

std::string CConfigCheck::BoundsText(EChannelField eField, int nMode)
{
    if (eField == FIELD_HP_Q)
        return "0.707|2";
    CFieldRanges::SRange range{};
    if (eField < 0 || eField >= FIELD_COUNT || !CFieldRanges::GetEditorRange(eField, nMode, range))
        return std::string();
    return FormatFloat(range.fltMin) + ".." + FormatFloat(range.fltMax);
}

std::vector<CConfigCheck::SFinding> CConfigCheck::Check(const SRecordBits (&records)[CHANNEL_COUNT], int nMode)
{
    std::vector<SFinding> findings;
    for (int r = 0; r < CHANNEL_COUNT; ++r) {
        const SRecordBits& record = records[r];
        if (record.nChannel != r) {
            SFinding f;
            f.nRecord = r;
            f.bForeignIndex = true;
            f.nClaimedChannel = record.nChannel;
            f.text = "record " + std::to_string(r) + " claims channel index " + std::to_string(record.nChannel) +
                     "; the file is damaged (record " + std::to_string(r) + " is channel " + std::to_string(r) + ")";
            findings.push_back(std::move(f));
        }
        for (int i = 0; i < FIELD_COUNT; ++i) {
            const auto eField = static_cast<EChannelField>(i);
            const float v = BitsToFloat(record.adwValues[i]);
            const EVerdict eVerdict = CheckValue(eField, nMode, v);
            if (eVerdict == EVerdict::Ok)
                continue;
            SFinding f;
            f.nRecord = r;
            f.eField = eField;
            f.eVerdict = eVerdict;
            f.bNonFinite = eVerdict == EVerdict::NonFinite;
            f.fltValue = v;
            const std::string what =
                "record " + std::to_string(r) + " " + GetChannelFieldInfo(eField).pszName + " is " + FormatFloat(v);
            if (f.bNonFinite)
                f.text = what + ", which no field of the editor takes";
            else
                f.text = what + ", outside the editor's range " + BoundsText(eField, nMode) + " (" +
                         ModeName(nMode) + ")";
            findings.push_back(std::move(f));
        }
    }
    return findings;
}

CConfigCheck::SRecordBits CConfigCheck::BitsOf(const CChannelConfig& cfg)
{
    SRecordBits record;
    record.nChannel = cfg.GetChannel();
    for (int f = 0; f < FIELD_COUNT; ++f)
        record.adwValues[f] = GetChannelFieldBits(cfg, static_cast<EChannelField>(f));
    return record;
}

CConfigCheck::EAdmission CConfigCheck::Admit(const SRecordBits (&incoming)[CHANNEL_COUNT],
                                             const SRecordBits (&current)[CHANNEL_COUNT], int nMode,
                                             std::vector<SFinding>& named)
{
    named.clear();
    std::vector<SFinding> toConfirm;
    for (SFinding& f : Check(incoming, nMode)) {
        if (f.bForeignIndex || f.bNonFinite)
            named.push_back(std::move(f));
        else if (f.eField != FIELD_NONE &&
                 incoming[f.nRecord].adwValues[f.eField] != current[f.nRecord].adwValues[f.eField])
            toConfirm.push_back(std::move(f));
    }
    if (!named.empty())
        return EAdmission::Refuse;
    named = std::move(toConfirm);
    return named.empty() ? EAdmission::Apply : EAdmission::Confirm;
}
