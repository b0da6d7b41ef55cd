#include "editor/FieldStatusText.h"

#include <cstdio>

namespace {
struct SFieldName {
    EChannelField eField;
    const char16_t* pszName;
};

// The form groups its fields in boxes ("Low Band", "Mid Band", "High Band",
// "CH Delay"); a name here is the box and the label together.
const SFieldName s_aNames[] = {
    {FIELD_HP_FREQ, u"HP Freq"},
    {FIELD_DELAY, u"CH Delay"},
    {FIELD_LOW_LP_FREQ, u"Low LP Freq"},
    {FIELD_LOW_GAIN, u"Low Gain"},
    {FIELD_LOW_DELAY, u"Low Delay"},
    {FIELD_LOW_PEQ_FREQ, u"Low PEQ Freq"},
    {FIELD_LOW_PEQ_Q, u"Low PEQ Q"},
    {FIELD_LOW_PEQ_GAIN, u"Low PEQ Gain"},
    {FIELD_MID_HP_FREQ, u"Mid HP Freq"},
    {FIELD_MID_LP_FREQ, u"Mid LP Freq"},
    {FIELD_MID_GAIN, u"Mid Gain"},
    {FIELD_MID_DELAY, u"Mid Delay"},
    {FIELD_MID_PEQ_FREQ, u"Mid PEQ Freq"},
    {FIELD_MID_PEQ_Q, u"Mid PEQ Q"},
    {FIELD_MID_PEQ_GAIN, u"Mid PEQ Gain"},
    {FIELD_HIGH_HP_FREQ, u"High HP Freq"},
    {FIELD_HIGH_GAIN, u"High Gain"},
    {FIELD_HIGH_DELAY, u"High Delay"},
    {FIELD_HIGH_PEQ_FREQ, u"High PEQ Freq"},
    {FIELD_HIGH_PEQ_Q, u"High PEQ Q"},
    {FIELD_HIGH_PEQ_GAIN, u"High PEQ Gain"},
    {FIELD_SEQ_FREQ, u"SEQ Freq"},
    {FIELD_SEQ_GAIN, u"SEQ Gain"},
    {FIELD_HEQ_FREQ, u"HEQ Freq"},
    {FIELD_HEQ_GAIN, u"HEQ Gain"},
};
} // namespace

const char16_t* CFieldStatusText::Name(EChannelField eField)
{
    for (const SFieldName& n : s_aNames)
        if (n.eField == eField)
            return n.pszName;
    return u"";
}

const char16_t* CFieldStatusText::Unit(EFieldFormat eFormat)
{
    switch (eFormat) {
    case EFieldFormat::Freq: return u"Hz";
    case EFieldFormat::Gain: return u"dB";
    case EFieldFormat::Delay: return u"ms";
    case EFieldFormat::Q: return u"";
    }
    return u"";
}

std::u16string CFieldStatusText::Number(float v)
{
    // Four decimals hold every bound exactly (delays go in steps of
    // 0.0208 ms, and the largest is 5.304); trailing zeros say nothing.
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.4f", static_cast<double>(v));
    std::string s(sz);
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    if (s == "-0")
        s = "0";
    return std::u16string(s.begin(), s.end());
}

std::u16string CFieldStatusText::RangeText(const SFieldRule& rule, int nMode)
{
    const CFieldRules::SRange range = CFieldRules::GetRange(rule, nMode);
    std::u16string text = std::u16string(Name(rule.eField)) + u": " + Number(range.fltMin) + u" to " +
                          Number(range.fltMax);
    const std::u16string unit = Unit(rule.eFormat);
    if (!unit.empty())
        text += u" " + unit;
    return text;
}

std::u16string CFieldStatusText::ForField(const SFieldRule* pRule, int nMode, bool bError)
{
    if (!pRule || !bError)
        return {};
    return RangeText(*pRule, nMode);
}
