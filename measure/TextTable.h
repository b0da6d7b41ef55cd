#pragma once
// CTextTable: the one reader of the numeric text tables this program takes
// from outside (measurements, tolerance masks), whatever program wrote them.
//
// A line is
//   - a comment when it starts (after blanks) with '*', '#' or ';' (anywhere
//     in the file), or is blank;
//   - data when it holds at least nMinColumns numbers and nothing else,
//     separated by blanks (spaces, tabs), commas or semicolons; when the line
//     has no comma used as a separator (blank-, tab- or semicolon-separated)
//     a decimal comma is taken for a decimal point;
//   - otherwise, before the first data line, a header (column names, a
//     program's title lines): passed over; after it, skipped and counted,
//     the first one named by its number.
// Columns beyond nMaxColumns are ignored.  Refused: input over MAX_BYTES,
// more than MAX_POINTS data rows, no data line at all.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Why a file was refused.
enum class ETableRefusal {
    None,
    TooLarge,      // over MAX_BYTES
    TooManyPoints, // over MAX_POINTS data rows (nRefusalLine: the first row too many)
    NoData,        // no line that parses
    TooFewPoints,  // fewer than 2 usable points after the checks
};

// What an import did; Describe() is the one-line text the dialog and qvrtool show.
struct STableSummary {
    std::size_t nRead = 0;     // points taken
    std::size_t nSorted = 0;   // points that were out of ascending order
    std::size_t nRepeated = 0; // points dropped for a repeated frequency
    std::size_t nSkipped = 0;  // lines after the data began that were not (valid) data
    int nFirstSkippedLine = 0; // 1-based; 0 when none was skipped
    ETableRefusal eRefusal = ETableRefusal::None;
    int nRefusalLine = 0; // 1-based, where the refusal has a line; else 0

    // "2000 points read, 3 sorted, 1 repeated, 2 skipped (first: line 17)"
    // or "refused: ..." naming why (and the line).
    std::string Describe() const;
};

class CTextTable {
public:
    static constexpr std::size_t MAX_BYTES = 16u * 1024u * 1024u;
    static constexpr std::size_t MAX_POINTS = 262144;
    static constexpr int MAX_COLUMNS = 8;

    struct SRow {
        double adValue[MAX_COLUMNS] = {};
        int nColumns = 0; // how many numbers the line held (at most nMaxColumns)
        int nLine = 0;    // 1-based
    };

    // Splits text into rows of at least nMinColumns numbers (keeping up to
    // nMaxColumns of them).  False when refused (summary.eRefusal set);
    // summary.nSkipped and nFirstSkippedLine count the lines skipped.  The
    // callers' own checks of the values add to the same counts (Skip).
    static bool Read(std::string_view text, int nMinColumns, int nMaxColumns, std::vector<SRow>& rows,
                     STableSummary& summary);

    // Counts a data row that the caller's checks reject as a skipped line.
    static void Skip(const SRow& row, STableSummary& summary);
};
