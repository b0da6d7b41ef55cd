#pragma once
// CFleetOutcome: what became of each unit of a run over several units, told
// from what its child qvrtool said and how it ended, and the two summaries
// of a run: the table printed at the end and the index page of the reports.
//
// A child's output is the single-unit verb's own: its exit code (0 success,
// 1 different, 2 error, anything else a child that did not end by itself),
// the difference lines on stdout, and one error line on stderr naming the
// unit or the file.  Both texts are bounded by the reader (MAX_OUTPUT).

#include <cstddef>
#include <string>
#include <vector>

class CFleetOutcome {
public:
    enum class EVerb { Pull, Push, Diff, Firmware, Report };

    // The most bytes of a child's stdout or stderr that are kept.
    static constexpr std::size_t MAX_OUTPUT = 1u << 20;

    // One child's run.
    struct SStep {
        EVerb verb = EVerb::Pull;
        bool bStarted = true;      // false: the child could not be started (reason in err)
        unsigned long nExit = 0;   // its exit code
        std::string out, err;      // what it wrote
        std::vector<std::string> names; // the unit and file arguments it was given, stripped from its messages
    };

    // A unit's result.
    struct SResult {
        int nExit = 0;    // 0 success, 1 differs or failed verification, 2 error
        std::string text; // "done", "already equal", "differs: N fields", "failed: reason"
    };

    static SResult Judge(const SStep& step);
    static SResult Refused(const std::string& reason) { return {2, "failed: " + reason}; }
    // The error line of a child without "qvrtool: " and the unit or file it names.
    static std::string Reason(const SStep& step);
    // The difference lines a diff or a push's verification printed.
    static int CountDifferences(const std::string& out);

    // The run's exit code: the worst of the units'.
    static int ExitCode(const std::vector<SResult>& results);

    // One row of the summary table.
    struct SRow {
        std::string serial, device;
        SResult result;
        double dSeconds = 0;
    };
    // The table, one line per unit, columns padded to their widest cell.
    static std::string Table(const std::vector<SRow>& rows);

    // The index page of a report run: each unit's serial, device, result and
    // a link to its report (when one was written).
    struct SIndexRow {
        SRow row;
        std::string report; // file name of the unit's report beside the index; empty when none
    };
    static std::string IndexPage(const std::vector<SIndexRow>& rows, const std::string& date);
};
