#include "editor/FieldRules.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <string>

#include "model/ChannelConfig.h"
#include "resources/resource.h"

namespace {

using F = EFieldFormat;

constexpr float DELAY_STEP = 0.0208f;

const SFieldRule s_aRules[] = {
    {IDC_HP_FREQ, FIELD_HP_FREQ, F::Freq, 1.0f, false, BAND_ALL},
    {IDC_DELAY, FIELD_DELAY, F::Delay, DELAY_STEP, true, 0},
    {IDC_LOW_LP_FREQ, FIELD_LOW_LP_FREQ, F::Freq, 1.0f, false, BAND_LOW},
    {IDC_LOW_GAIN, FIELD_LOW_GAIN, F::Gain, 0.5f, true, BAND_LOW},
    {IDC_LOW_DELAY, FIELD_LOW_DELAY, F::Delay, DELAY_STEP, true, BAND_LOW},
    {IDC_LOW_PEQ_FREQ, FIELD_LOW_PEQ_FREQ, F::Freq, 1.0f, false, BAND_LOW},
    {IDC_LOW_PEQ_Q, FIELD_LOW_PEQ_Q, F::Q, 0.25f, true, BAND_LOW},
    {IDC_LOW_PEQ_GAIN, FIELD_LOW_PEQ_GAIN, F::Gain, 0.5f, true, BAND_LOW},
    {IDC_MID_HP_FREQ, FIELD_MID_HP_FREQ, F::Freq, 1.0f, false, BAND_MID},
    {IDC_MID_LP_FREQ, FIELD_MID_LP_FREQ, F::Freq, 1.0f, false, BAND_MID},
    {IDC_MID_GAIN, FIELD_MID_GAIN, F::Gain, 0.5f, true, BAND_MID},
    {IDC_MID_DELAY, FIELD_MID_DELAY, F::Delay, DELAY_STEP, true, BAND_MID},
    {IDC_MID_PEQ_FREQ, FIELD_MID_PEQ_FREQ, F::Freq, 1.0f, false, BAND_MID},
    {IDC_MID_PEQ_Q, FIELD_MID_PEQ_Q, F::Q, 0.25f, true, BAND_MID},
    {IDC_MID_PEQ_GAIN, FIELD_MID_PEQ_GAIN, F::Gain, 0.5f, true, BAND_MID},
    {IDC_HIGH_HP_FREQ, FIELD_HIGH_HP_FREQ, F::Freq, 1.0f, false, BAND_HIGH},
    {IDC_HIGH_GAIN, FIELD_HIGH_GAIN, F::Gain, 0.5f, true, BAND_HIGH},
    {IDC_HIGH_DELAY, FIELD_HIGH_DELAY, F::Delay, DELAY_STEP, true, BAND_HIGH},
    {IDC_HIGH_PEQ_FREQ, FIELD_HIGH_PEQ_FREQ, F::Freq, 1.0f, false, BAND_HIGH},
    {IDC_HIGH_PEQ_Q, FIELD_HIGH_PEQ_Q, F::Q, 0.25f, true, BAND_HIGH},
    {IDC_HIGH_PEQ_GAIN, FIELD_HIGH_PEQ_GAIN, F::Gain, 0.5f, true, BAND_HIGH},
    {IDC_SEQ_FREQ, FIELD_SEQ_FREQ, F::Freq, 1.0f, false, BAND_HIGH},
    {IDC_SEQ_GAIN, FIELD_SEQ_GAIN, F::Gain, 0.5f, true, BAND_HIGH},
    {IDC_HEQ_FREQ, FIELD_HEQ_FREQ, F::Freq, 1.0f, false, BAND_HIGH},
    {IDC_HEQ_GAIN, FIELD_HEQ_GAIN, F::Gain, 0.5f, true, BAND_HIGH},
};

bool IsBlank(char16_t ch) { return ch == u' ' || (ch >= u'\t' && ch <= u'\r'); }
bool IsDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

// Converts the validated ASCII form of a decimal number (no leading '+').
float ConvertDecimal(const std::string& s, long long nDecimalExponent)
{
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    float v = 0.0f;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (res.ec == std::errc())
        return v;
#else
    // The program never changes the C locale, so strtof reads '.' here.
    errno = 0;
    float v = std::strtof(s.c_str(), nullptr);
    if (errno != ERANGE)
        return v;
#endif
    // Out of range: an overflow becomes an infinity, an underflow zero.
    const bool bNegative = !s.empty() && s[0] == '-';
    if (nDecimalExponent >= 0)
        return bNegative ? -INFINITY : INFINITY;
    return bNegative ? -0.0f : 0.0f;
}

} // namespace

const SFieldRule* CFieldRules::Begin() { return s_aRules; }
std::size_t CFieldRules::Count() { return sizeof s_aRules / sizeof s_aRules[0]; }

const SFieldRule* CFieldRules::Find(int nId)
{
    for (const SFieldRule& r : s_aRules)
        if (r.nId == nId)
            return &r;
    return nullptr;
}

const SFieldRule* CFieldRules::FindByField(EChannelField eField)
{
    for (const SFieldRule& r : s_aRules)
        if (r.eField == eField)
            return &r;
    return nullptr;
}

CFieldRules::SRange CFieldRules::GetRange(const SFieldRule& rule, int nMode)
{
    SRange r{0.0f, 0.0f};
    CFieldRanges::Get(rule.eField, nMode, r);
    return r;
}

bool CFieldRules::IsInRange(const SFieldRule& rule, int nMode, float v)
{
    return CFieldRanges::IsInRange(rule.eField, nMode, v);
}

bool CFieldRules::HasNumber(std::u16string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    bool bPoint = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i]))
            return true;
        if (text[i] != u'.' || bPoint)
            return false;
        bPoint = true;
    }
    return false;
}

CFieldRules::EJump CFieldRules::HarmfulJump(const SFieldRule& rule, float fltApplied, float fltTyped)
{
    if (IsGainField(rule.eField))
        return fltTyped > fltApplied + MAX_GAIN_RISE ? EJump::GainRise : EJump::None;
    if (IsHighPassField(rule.eField))
        return fltTyped < fltApplied / 2.0f ? EJump::OctaveFall : EJump::None;
    return EJump::None;
}

float CFieldRules::ParseText(std::u16string_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    std::string s;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        if (text[i] == u'-')
            s += '-';
        ++i;
    }
    // Mantissa: digits, optional point, digits; at least one digit.  The
    // decimal exponent of the leading significant digit is kept so that an
    // out-of-range result can be told apart as overflow or underflow.
    long long nIntDigits = 0, nFracDigits = 0;
    long long nFirstInt = -1, nFirstFrac = -1; // index of the first non-zero digit
    bool bPoint = false;
    for (; i < n; ++i) {
        const char16_t ch = text[i];
        if (IsDigit(ch)) {
            const bool bFirst = ch != u'0' && nFirstInt < 0 && nFirstFrac < 0;
            if (bPoint) {
                if (bFirst)
                    nFirstFrac = nFracDigits;
                ++nFracDigits;
            } else {
                if (bFirst)
                    nFirstInt = nIntDigits;
                ++nIntDigits;
            }
            s += static_cast<char>(ch);
        } else if (ch == u'.' && !bPoint) {
            bPoint = true;
            s += '.';
        } else {
            break;
        }
    }
    if (nIntDigits + nFracDigits == 0)
        return 0.0f;
    const bool bSeenNonZero = nFirstInt >= 0 || nFirstFrac >= 0;
    const long long nLead = nFirstInt >= 0 ? nIntDigits - 1 - nFirstInt : -(nFirstFrac + 1);
    // Optional exponent: 'e' or 'E', optional sign, at least one digit.
    long long nExp = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        size_t j = i + 1;
        bool bNeg = false;
        if (j < n && (text[j] == u'-' || text[j] == u'+')) {
            bNeg = text[j] == u'-';
            ++j;
        }
        if (j < n && IsDigit(text[j])) {
            s += 'e';
            if (bNeg)
                s += '-';
            for (; j < n && IsDigit(text[j]); ++j) {
                s += static_cast<char>(text[j]);
                if (nExp < 100000)
                    nExp = nExp * 10 + (text[j] - u'0');
            }
            if (bNeg)
                nExp = -nExp;
        }
    }
    if (!bSeenNonZero)
        return s[0] == '-' ? -0.0f : 0.0f;
    return ConvertDecimal(s, nLead + nExp);
}

std::u16string CFieldRules::Format(EFieldFormat eFormat, float v)
{
    const char* pszFormat = "%.0f";
    switch (eFormat) {
    case EFieldFormat::Freq:
        pszFormat = "%.0f";
        break;
    case EFieldFormat::Gain:
        pszFormat = "%.1f";
        break;
    case EFieldFormat::Q:
        pszFormat = "%.2f";
        break;
    case EFieldFormat::Delay:
        pszFormat = "%.4f";
        break;
    }
    char sz[128];
    std::snprintf(sz, sizeof sz, pszFormat, static_cast<double>(v));
    std::u16string out;
    const char* p = sz;
    // A value that rounds to zero is shown without a sign.
    if (*p == '-') {
        bool bZero = true;
        for (const char* q = p + 1; *q; ++q)
            if (*q != '0' && *q != '.')
                bZero = false;
        if (bZero)
            ++p;
    }
    for (; *p; ++p)
        out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out;
}

std::u16string CFieldRules::Format(const SFieldRule& rule, float v) { return Format(rule.eFormat, v); }

float CFieldRules::GetValue(const CChannelConfig& cfg, const SFieldRule& rule)
{
    return GetChannelFieldFloat(cfg, rule.eField);
}

void CFieldRules::SetValue(CChannelConfig& cfg, const SFieldRule& rule, float v, bool bSend)
{
    SetChannelFieldBits(cfg, rule.eField, FloatToBits(v), bSend, false);
}

bool CFieldRules::Step(CChannelConfig& cfg, const SFieldRule& rule, bool bUp, float& fltNew)
{
    if (rule.nId == IDC_LOW_LP_FREQ && cfg.GetChannel() == CHANNEL_SUBWOOFER)
        return false;
    const float fltStored = GetValue(cfg, rule);
    const float fltValue = bUp ? fltStored + rule.fltStep : fltStored - rule.fltStep;
    if (!IsInRange(rule, cfg.GetMode(), fltValue))
        return false;
    SetValue(cfg, rule, fltValue, true);
    fltNew = fltValue;
    return true;
}

bool CFieldRules::IsCharAllowed(char16_t ch, bool bDecimalPoint)
{
    if (IsDigit(ch) || ch == u'-')
        return true;
    if (ch == u'.')
        return bDecimalPoint;
    // Control characters: Backspace, Enter, Tab, Ctrl+C/V/X/Z and the like.
    return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F);
}

int CFieldRules::AdjusterForField(int nId, int nChannel, int nCurrentAdjuster)
{
    switch (nId) {
    case IDC_LOW_LP_FREQ:
        return nChannel == CHANNEL_SUBWOOFER ? 0 : 1;
    case IDC_LOW_GAIN:
        return 1;
    case IDC_LOW_PEQ_FREQ:
    case IDC_LOW_PEQ_GAIN:
    case IDC_LOW_PEQ_Q:
        return 2;
    case IDC_MID_HP_FREQ:
        return 3;
    case IDC_MID_GAIN:
        return (nCurrentAdjuster == 3 || nCurrentAdjuster == 4) ? -1 : 3;
    case IDC_MID_LP_FREQ:
        return 4;
    case IDC_MID_PEQ_FREQ:
    case IDC_MID_PEQ_GAIN:
    case IDC_MID_PEQ_Q:
        return 5;
    case IDC_HIGH_HP_FREQ:
    case IDC_HIGH_GAIN:
        return 6;
    case IDC_HIGH_PEQ_FREQ:
    case IDC_HIGH_PEQ_Q:
    case IDC_HIGH_PEQ_GAIN:
        return 7;
    case IDC_SEQ_FREQ:
    case IDC_SEQ_GAIN:
        return 8;
    case IDC_HEQ_FREQ:
    case IDC_HEQ_GAIN:
        return 9;
    case IDC_HP_FREQ:
        return 10;
    case IDC_DELAY:
        return -1;
    default:
        return 0;
    }
}
