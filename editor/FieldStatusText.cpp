#include "editor/FieldStatusText.h"

#include <cstdio>

#include "model/ChannelFields.h"

std::u16string CFieldStatusText::Name(EChannelField eField)
{
    // The form's label without its abbreviation point: the colon follows.
    std::string label = GetChannelFieldLabel(eField);
    if (!label.empty() && label.back() == '.')
        label.pop_back();
    return std::u16string(label.begin(), label.end());
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
    std::u16string text = Name(rule.eField) + u": " + Number(range.fltMin) + u" to " + Number(range.fltMax);
    const std::string unit = GetChannelFieldUnit(rule.eField);
    if (!unit.empty())
        text += u" " + std::u16string(unit.begin(), unit.end());
    return text;
}

std::u16string CFieldStatusText::ForField(const SFieldRule* pRule, int nMode, bool bError)
{
    if (!pRule || !bError)
        return {};
    return RangeText(*pRule, nMode);
}
