#include "speakerlib/SpeakerPreset.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "model/ChannelConfig.h"
#include "model/ConfigCheck.h"
#include "model/FieldRanges.h"
#include "model/WriteOrder.h"
#include "resources/resource.h"
#include "resources/strings/StringTable.h"
#include "speakerlib/SpeakerLibrary.h"
#include "speakerlib/TextFormat.h"

namespace {

// Library keys in the order they are applied, with their library defaults.
const CSpeakerPreset::SKey s_aKeys[CSpeakerPreset::KEY_COUNT] = {
    {u"LBD", FIELD_LOW_DELAY, 0.0f, false, false},
    {u"MBD", FIELD_MID_DELAY, 0.0f, false, true},
    {u"HBD", FIELD_HIGH_DELAY, 0.0f, false, false},
    {u"LBLP", FIELD_LOW_LP_FREQ, 0.0f, true, false},
    {u"MBLP", FIELD_MID_LP_FREQ, 0.0f, true, true},
    {u"MBHP", FIELD_MID_HP_FREQ, 0.0f, true, true},
    {u"HBHP", FIELD_HIGH_HP_FREQ, 0.0f, true, false},
    {u"LBG", FIELD_LOW_GAIN, 0.0f, false, false},
    {u"MBG", FIELD_MID_GAIN, 0.0f, false, true},
    {u"HBG", FIELD_HIGH_GAIN, 0.0f, false, false},
    {u"LBPF", FIELD_LOW_PEQ_FREQ, 40.0f, false, false},
    {u"LBPG", FIELD_LOW_PEQ_GAIN, 0.0f, false, false},
    {u"LBPQ", FIELD_LOW_PEQ_Q, 1.0f, false, false},
    {u"MBPF", FIELD_MID_PEQ_FREQ, 800.0f, false, true},
    {u"MBPG", FIELD_MID_PEQ_GAIN, 0.0f, false, true},
    {u"MBPQ", FIELD_MID_PEQ_Q, 1.0f, false, true},
    {u"HBPF", FIELD_HIGH_PEQ_FREQ, 4000.0f, false, false},
    {u"HBPG", FIELD_HIGH_PEQ_GAIN, 0.0f, false, false},
    {u"HBPQ", FIELD_HIGH_PEQ_Q, 1.0f, false, false},
    {u"SEF", FIELD_SEQ_FREQ, 10000.0f, false, false},
    {u"SEG", FIELD_SEQ_GAIN, 0.0f, false, false},
    {u"HEF", FIELD_HEQ_FREQ, 10000.0f, false, false},
    {u"HEG", FIELD_HEQ_GAIN, 0.0f, false, false},
    {u"HPF", FIELD_HP_FREQ, 0.0f, true, false},
    {u"HPQ", FIELD_HP_Q, 0.0f, true, false},
};

bool Accepted(EChannelField eField, int nBands, float v)
{
    return CConfigCheck::CheckValue(eField, nBands, v) == CConfigCheck::EVerdict::Ok;
}

std::u16string Widen(const char* psz)
{
    std::u16string out;
    for (; *psz; ++psz)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*psz)));
    return out;
}

std::u16string FormatBound(float v)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "%g", static_cast<double>(v));
    return Widen(sz);
}

} // namespace

const CSpeakerPreset::SKey* CSpeakerPreset::Keys() { return s_aKeys; }

bool CSpeakerPreset::ParseNumber(const std::u16string& text, float& fltValue)
{
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && (text[b] == u' ' || text[b] == u'\t'))
        ++b;
    while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t'))
        --e;
    if (e == b || e - b > MAX_VALUE_UNITS)
        return false;
    // Only the characters of a plain decimal number, in ASCII.
    char sz[MAX_VALUE_UNITS + 1] = {};
    std::size_t n = 0;
    for (std::size_t i = b; i < e; ++i) {
        const char16_t ch = text[i];
        const bool bDigit = ch >= u'0' && ch <= u'9';
        if (!bDigit && ch != u'+' && ch != u'-' && ch != u'.' && ch != u'e' && ch != u'E')
            return false;
        sz[n++] = static_cast<char>(ch);
    }
    const char* p = sz;
    const char* pEnd = sz + n;
    if (*p == '+') {
        ++p; // from_chars takes no plus sign, and "+-1" is no number
        if (p == pEnd || *p == '-')
            return false;
    }
    double d = 0.0;
    const auto r = std::from_chars(p, pEnd, d, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != pEnd || !std::isfinite(d))
        return false;
    if (std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max()))
        return false;
    fltValue = static_cast<float>(d);
    return true;
}

int CSpeakerPreset::EarlierWithSameStoredName(const std::vector<std::u16string>& names, std::size_t i)
{
    for (std::size_t k = 0; k < i && k < names.size() && i < names.size(); ++k)
        if (CChannelConfig::SameSpeakerName(names[k].c_str(), names[i].c_str()))
            return static_cast<int>(k);
    return -1;
}

int CSpeakerPreset::BandsOf(const CSpeakerLibrary& library, const std::u16string& section)
{
    const std::u16string* pValue = library.Find(section, u"Bands");
    if (pValue == nullptr)
        return MODE_BIAMP;
    std::size_t b = 0;
    std::size_t e = pValue->size();
    while (b < e && ((*pValue)[b] == u' ' || (*pValue)[b] == u'\t'))
        ++b;
    while (e > b && ((*pValue)[e - 1] == u' ' || (*pValue)[e - 1] == u'\t'))
        --e;
    if (e - b == 1 && (*pValue)[b] == u'2')
        return MODE_BIAMP;
    if (e - b == 1 && (*pValue)[b] == u'3')
        return MODE_TRIAMP;
    return 0;
}

void CSpeakerPreset::Read(const CSpeakerLibrary& library, const std::u16string& section, int nBands)
{
    const std::u16string* pName = library.SectionName(section);
    m_name = pName ? *pName : section;
    m_nBands = nBands;
    m_eFault = EFault::None;
    m_pszFaultKey = nullptr;
    m_eFaultField = FIELD_NONE;
    m_faultValue.clear();
    for (int i = 0; i < KEY_COUNT; ++i) {
        const SKey& key = s_aKeys[i];
        m_afltValues[static_cast<std::size_t>(i)] = key.fltDefault;
        if (key.bMid && nBands != MODE_TRIAMP)
            continue;
        if (m_eFault != EFault::None)
            continue; // the first fault is the one reported
        EFault eFault = EFault::None;
        const std::u16string* pText = library.Find(section, key.pszKey);
        float v = key.fltDefault;
        if (pText == nullptr) {
            if (key.bRequired)
                eFault = EFault::Missing;
        } else if (!ParseNumber(*pText, v)) {
            eFault = EFault::NotANumber;
        } else if (!Accepted(key.eField, nBands, v)) {
            eFault = EFault::OutOfRange;
        }
        if (eFault != EFault::None) {
            m_eFault = eFault;
            m_pszFaultKey = key.pszKey;
            m_eFaultField = key.eField;
            if (pText)
                m_faultValue = pText->substr(0, MAX_VALUE_UNITS + 1);
            continue;
        }
        m_afltValues[static_cast<std::size_t>(i)] = v;
    }
}

float CSpeakerPreset::Value(EChannelField eField) const
{
    for (int i = 0; i < KEY_COUNT; ++i)
        if (s_aKeys[i].eField == eField)
            return m_afltValues[static_cast<std::size_t>(i)];
    return 0.0f;
}

void CSpeakerPreset::ApplyTo(CChannelConfig& cfg, bool send) const
{
    if (!Usable())
        return;
    // In the safe order: the horn's gain falls before its high-pass does.
    std::vector<CWriteOrder::SWrite> writes;
    for (int i = 0; i < KEY_COUNT; ++i) {
        const SKey& key = s_aKeys[i];
        if (key.bMid && m_nBands != MODE_TRIAMP)
            continue;
        writes.push_back({&cfg, key.eField, FloatToBits(m_afltValues[static_cast<std::size_t>(i)])});
    }
    CWriteOrder::Apply(writes, send, false);
    cfg.SetSpeakerName(m_name.c_str());
}

std::u16string CSpeakerPreset::DescribeFault() const
{
    const std::u16string key = m_pszFaultKey ? std::u16string(m_pszFaultKey) : std::u16string();
    switch (m_eFault) {
    case EFault::None:
        return std::u16string();
    case EFault::Missing:
        return CTextFormat::Format(IDS_PRESET_MISSING, {m_name, key});
    case EFault::NotANumber:
        return CTextFormat::Format(IDS_PRESET_NOT_A_NUMBER, {m_name, key});
    case EFault::OutOfRange:
        break;
    }
    if (m_eFaultField == FIELD_HP_Q)
        return CTextFormat::Format(IDS_PRESET_HP_Q, {m_name, key, m_faultValue});
    CFieldRanges::SRange range{0.0f, 0.0f};
    CFieldRanges::Get(m_eFaultField, m_nBands, range);
    return CTextFormat::Format(IDS_PRESET_OUT_OF_RANGE,
                      {m_name, key, m_faultValue, FormatBound(range.fltMin), FormatBound(range.fltMax)});
}
