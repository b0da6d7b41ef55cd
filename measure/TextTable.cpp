#include "measure/TextTable.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Longest number text we take; longer "numbers" are not data.
constexpr std::size_t MAX_NUMBER_CHARS = 64;

// One whole field as a number, whatever the process's locale is: the text
// is checked by hand against the plain grammar (sign, digits with at most one
// point or decimal comma, an exponent), copied with the comma turned into a
// point, and read by from_chars, which knows no locale.
bool ParseNumber(std::string_view s, bool bDecimalComma, double& value)
{
    if (s.empty() || s.size() > MAX_NUMBER_CHARS)
        return false;
    char buf[MAX_NUMBER_CHARS + 1];
    std::size_t i = 0, n = 0;
    if (s[i] == '-')
        buf[n++] = s[i++];
    else if (s[i] == '+')
        ++i; // from_chars takes no plus sign
    bool bDigits = false, bPoint = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            bDigits = true;
            buf[n++] = c;
        } else if ((c == '.' || (bDecimalComma && c == ',')) && !bPoint) {
            bPoint = true;
            buf[n++] = '.';
        } else {
            break;
        }
    }
    if (!bDigits)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        buf[n++] = 'e';
        ++i;
        if (i < s.size() && s[i] == '-')
            buf[n++] = s[i++];
        else if (i < s.size() && s[i] == '+')
            ++i;
        bool bExp = false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            buf[n++] = s[i];
            bExp = true;
        }
        if (!bExp)
            return false;
    }
    if (i != s.size())
        return false;
    const std::from_chars_result r = std::from_chars(buf, buf + n, value);
    // Out of range ("1e999") is not a value of any measurement.
    return r.ec == std::errc() && r.ptr == buf + n;
}

// Splits one line into numbers; false when anything in it is not a number.
bool ParseLine(std::string_view line, int nMaxColumns, CTextTable::SRow& row)
{
    // A comma separates columns when the line has no semicolon or tab
    // doing it and has commas between numbers; then no decimal comma.
    const bool bHasSemicolon = line.find(';') != std::string_view::npos;
    const bool bHasTab = line.find('\t') != std::string_view::npos;
    bool bCommaSeparates = false;
    if (!bHasSemicolon && !bHasTab && line.find(',') != std::string_view::npos) {
        // Blank-separated fields with decimal commas ("20,5 -3,2") keep their
        // commas inside the fields; otherwise commas separate.
        bool bBlankBetween = false;
        std::size_t a = 0;
        while (a < line.size() && IsBlank(line[a]))
            ++a;
        std::size_t b = line.size();
        while (b > a && IsBlank(line[b - 1]))
            --b;
        for (std::size_t k = a; k < b; ++k)
            if (IsBlank(line[k]) && k > 0 && line[k - 1] != ',' && k + 1 < b && line[k + 1] != ',' &&
                !IsBlank(line[k - 1]))
                bBlankBetween = true;
        bCommaSeparates = !bBlankBetween;
    }
    const bool bDecimalComma = !bCommaSeparates;
    row.nColumns = 0;
    std::size_t i = 0;
    bool bExpectField = true; // after a separator character a field must follow
    bool bAny = false;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        std::size_t j = i;
        while (j < line.size() && !IsBlank(line[j]) && line[j] != ';' && !(bCommaSeparates && line[j] == ','))
            ++j;
        if (j == i) {
            // A separator character with no field before it: an empty field.
            return false;
        }
        double v = 0.0;
        if (!ParseNumber(line.substr(i, j - i), bDecimalComma, v))
            return false;
        if (row.nColumns < nMaxColumns)
            row.adValue[row.nColumns] = v;
        ++row.nColumns;
        bAny = true;
        bExpectField = false;
        i = j;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i < line.size() && (line[i] == ';' || (bCommaSeparates && line[i] == ','))) {
            ++i;
            bExpectField = true;
        }
    }
    if (bExpectField && bAny)
        return false; // a trailing separator
    if (row.nColumns > nMaxColumns)
        row.nColumns = nMaxColumns;
    return bAny;
}

} // namespace

std::string STableSummary::Describe() const
{
    char buf[200];
    switch (eRefusal) {
    case ETableRefusal::TooLarge:
        std::snprintf(buf, sizeof buf, "refused: the file is larger than %u MiB",
                      static_cast<unsigned>(CTextTable::MAX_BYTES >> 20));
        return buf;
    case ETableRefusal::TooManyPoints:
        std::snprintf(buf, sizeof buf, "refused: more than %u points (line %d)",
                      static_cast<unsigned>(CTextTable::MAX_POINTS), nRefusalLine);
        return buf;
    case ETableRefusal::NoData:
        return "refused: no line holds data";
    case ETableRefusal::TooFewPoints:
        if (nFirstSkippedLine > 0)
            std::snprintf(buf, sizeof buf, "refused: fewer than 2 usable points (first line not taken: %d)",
                          nFirstSkippedLine);
        else
            std::snprintf(buf, sizeof buf, "refused: fewer than 2 usable points");
        return buf;
    case ETableRefusal::None: break;
    }
    std::snprintf(buf, sizeof buf, "%zu points read, %zu sorted, %zu repeated, %zu skipped", nRead, nSorted,
                  nRepeated, nSkipped);
    std::string s = buf;
    if (nFirstSkippedLine > 0) {
        std::snprintf(buf, sizeof buf, " (first: line %d)", nFirstSkippedLine);
        s += buf;
    }
    return s;
}

void CTextTable::Skip(const SRow& row, STableSummary& summary)
{
    ++summary.nSkipped;
    if (summary.nFirstSkippedLine == 0 || row.nLine < summary.nFirstSkippedLine)
        summary.nFirstSkippedLine = row.nLine;
}

bool CTextTable::Read(std::string_view text, int nMinColumns, int nMaxColumns, std::vector<SRow>& rows,
                      STableSummary& summary)
{
    summary = STableSummary();
    rows.clear();
    if (nMaxColumns > MAX_COLUMNS)
        nMaxColumns = MAX_COLUMNS;
    if (text.size() > MAX_BYTES) {
        summary.eRefusal = ETableRefusal::TooLarge;
        return false;
    }
    // A byte-order mark is not part of the first line.
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    bool bDataBegan = false;
    int nLine = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        // A lone CR also ends a line (files from old programs).
        const std::size_t cr = text.substr(pos, end - pos).find('\r');
        if (cr != std::string_view::npos && pos + cr + 1 < end && text[pos + cr + 1] != '\n')
            end = pos + cr;
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++nLine;
        std::size_t a = 0;
        while (a < line.size() && IsBlank(line[a]))
            ++a;
        if (a == line.size() || line[a] == '*' || line[a] == '#' || line[a] == ';')
            continue;
        SRow row;
        row.nLine = nLine;
        if (ParseLine(line, nMaxColumns, row) && row.nColumns >= nMinColumns) {
            if (rows.size() >= MAX_POINTS) {
                summary.eRefusal = ETableRefusal::TooManyPoints;
                summary.nRefusalLine = nLine;
                rows.clear();
                return false;
            }
            bDataBegan = true;
            rows.push_back(row);
        } else if (bDataBegan) {
            Skip(row, summary);
        }
    }
    if (rows.empty()) {
        summary.eRefusal = ETableRefusal::NoData;
        return false;
    }
    return true;
}
