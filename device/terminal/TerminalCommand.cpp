#include "device/terminal/TerminalCommand.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "model/ParameterMap.h"
#include "model/TextMemory.h"

namespace {

constexpr std::size_t LINE_FIELDS = 4;
// Longest field worth reading: digits beyond this are no 32-bit value.
constexpr std::size_t MAX_FIELD = 64;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

bool ParseHex(std::u16string_view field, std::uint32_t& dwValue)
{
    if (field.size() > 2 && field[0] == u'0' && (field[1] == u'x' || field[1] == u'X'))
        field.remove_prefix(2);
    if (field.empty())
        return false;
    std::uint64_t value = 0;
    for (char16_t c : field) {
        const int nDigit = HexDigit(c);
        if (nDigit < 0)
            return false;
        value = value * 16 + static_cast<std::uint64_t>(nDigit);
        if (value > 0xFFFFFFFFull)
            return false;
    }
    dwValue = static_cast<std::uint32_t>(value);
    return true;
}

// A decimal number with a point: [sign] digits . digits [e [sign] digits],
// with at least one digit before or after the point.
bool ParseFloat(std::u16string_view field, std::uint32_t& dwBits)
{
    if (field.size() > MAX_FIELD)
        return false;
    char sz[MAX_FIELD + 1];
    std::size_t n = 0;
    std::size_t i = 0;
    if (i < field.size() && (field[i] == u'+' || field[i] == u'-'))
        sz[n++] = static_cast<char>(field[i++]);
    std::size_t nDigits = 0;
    while (i < field.size() && field[i] >= u'0' && field[i] <= u'9') {
        sz[n++] = static_cast<char>(field[i++]);
        ++nDigits;
    }
    if (i >= field.size() || field[i] != u'.')
        return false;
    sz[n++] = '.';
    ++i;
    while (i < field.size() && field[i] >= u'0' && field[i] <= u'9') {
        sz[n++] = static_cast<char>(field[i++]);
        ++nDigits;
    }
    if (nDigits == 0)
        return false;
    if (i < field.size() && (field[i] == u'e' || field[i] == u'E')) {
        sz[n++] = 'e';
        ++i;
        if (i < field.size() && (field[i] == u'+' || field[i] == u'-'))
            sz[n++] = static_cast<char>(field[i++]);
        std::size_t nExponent = 0;
        while (i < field.size() && field[i] >= u'0' && field[i] <= u'9') {
            sz[n++] = static_cast<char>(field[i++]);
            ++nExponent;
        }
        if (nExponent == 0)
            return false;
    }
    if (i != field.size())
        return false;
    sz[n] = '\0';
    // The syntax has been checked: strtod sees a plain decimal number (the
    // program keeps the "C" locale, so the point is the decimal point).  A
    // number too small for a double reads as zero, one too large as
    // infinity, which is refused below.
    char* pEnd = nullptr;
    const double dValue = std::strtod(sz, &pEnd);
    if (pEnd != sz + n)
        return false;
    if (!std::isfinite(dValue) || std::fabs(dValue) > static_cast<double>(std::numeric_limits<float>::max()))
        return false;
    const float fltValue = static_cast<float>(dValue);
    std::memcpy(&dwBits, &fltValue, sizeof(dwBits));
    return true;
}

bool ParseWord(std::u16string_view field, std::uint32_t& dwValue)
{
    if (field.find(u'.') != std::u16string_view::npos)
        return ParseFloat(field, dwValue);
    return ParseHex(field, dwValue);
}

// Float text as the reply line shows it: "%f", and the names of the values
// that have no digits (the C libraries of the platforms spell them apart).
void AppendFloat(std::u16string& out, std::uint32_t dwBits)
{
    float fltValue;
    std::memcpy(&fltValue, &dwBits, sizeof(fltValue));
    char sz[64];
    if (std::isnan(fltValue))
        std::snprintf(sz, sizeof sz, "nan");
    else if (std::isinf(fltValue))
        std::snprintf(sz, sizeof sz, fltValue < 0 ? "-inf" : "inf");
    else
        std::snprintf(sz, sizeof sz, "%f", static_cast<double>(fltValue));
    for (const char* p = sz; *p; ++p)
        out.push_back(static_cast<char16_t>(*p));
}

// The unit's memory: the program area, then the text memory, which ends it.
bool IsUnitWord(std::uint32_t dwAddress)
{
    return dwAddress >= PROGRAM_AREA_START && dwAddress < TEXT_MEMORY_END && dwAddress % 4 == 0;
}

bool IsOutputSelector(std::uint32_t dwSelector)
{
    for (const OutputRow& row : kOutputRows)
        if (OutputAddress(row.nBank, row.nIndex) == dwSelector)
            return true;
    return false;
}

void AppendAscii(std::u16string& out, const char* psz)
{
    for (; *psz; ++psz)
        out.push_back(static_cast<char16_t>(*psz));
}

} // namespace

bool CTerminalCommand::Parse(std::u16string_view line, STerminalCommand& cmd)
{
    if (line.size() > MAX_LINE)
        return false;
    std::u16string_view fields[LINE_FIELDS];
    std::size_t nFields = 0;
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        const std::size_t nStart = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (nFields == LINE_FIELDS)
            return false; // a fifth field
        fields[nFields++] = line.substr(nStart, i - nStart);
    }
    if (nFields != LINE_FIELDS)
        return false;

    STerminalCommand parsed;
    std::uint32_t dwCommand = 0;
    if (!ParseHex(fields[0], dwCommand) || dwCommand > CMD_HIGHEST)
        return false;
    parsed.bCommand = static_cast<std::uint8_t>(dwCommand);
    if (!ParseHex(fields[1], parsed.dwIter))
        return false;
    if (!ParseWord(fields[2], parsed.dwUWord) || !ParseWord(fields[3], parsed.dwLWord))
        return false;
    if (UnitRefuses(parsed))
        return false;
    cmd = parsed;
    return true;
}

bool CTerminalCommand::UnitRefuses(const STerminalCommand& cmd)
{
    switch (cmd.bCommand) {
    case CMD_READ_WORD:
    case CMD_WRITE_WORD: return !IsUnitWord(cmd.dwUWord);
    case CMD_ERASE:
        // 64 bits: a length that runs past the end must not wrap around to pass.
        return !IsUnitWord(cmd.dwUWord) ||
               static_cast<std::uint64_t>(cmd.dwUWord) + cmd.dwLWord > static_cast<std::uint64_t>(TEXT_MEMORY_END);
    case CMD_WRITE_OUTPUT:
    case CMD_READ_OUTPUT: return !IsOutputSelector(cmd.dwUWord);
    default: return false;
    }
}

std::u16string CTerminalCommand::FormatReply(std::uint32_t dwIter, std::uint32_t dwUWord, std::uint32_t dwLWord)
{
    std::u16string out;
    char sz[64];
    std::snprintf(sz, sizeof sz, "ITR: %d UW: %08X (", static_cast<int>(static_cast<std::int32_t>(dwIter)),
                  static_cast<unsigned>(dwUWord));
    AppendAscii(out, sz);
    AppendFloat(out, dwUWord);
    std::snprintf(sz, sizeof sz, ") LW: %08X (", static_cast<unsigned>(dwLWord));
    AppendAscii(out, sz);
    AppendFloat(out, dwLWord);
    AppendAscii(out, ")\r\n");
    return out;
}
