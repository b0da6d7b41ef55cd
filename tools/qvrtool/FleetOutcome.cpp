#include "tools/qvrtool/FleetOutcome.h"

#include <algorithm>
#include <cstdio>

#include "tools/qvrtool/ReportWriter.h"

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

std::string Seconds(double d)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.1f s", d);
    return sz;
}

} // namespace

int CFleetOutcome::CountDifferences(const std::string& out)
{
    int n = 0;
    for (const std::string& line : Lines(out))
        if (StartsWith(line, "record ") || StartsWith(line, "profile "))
            ++n;
    return n;
}

std::string CFleetOutcome::Reason(const SStep& step)
{
    std::string reason;
    for (const std::string& line : Lines(step.err)) {
        if (!StartsWith(line, "qvrtool: ") || line.find(": warning: ") != std::string::npos ||
            StartsWith(line, "qvrtool: note: "))
            continue;
        reason = line.substr(9);
    }
    if (reason.empty()) {
        const std::vector<std::string> lines = Lines(step.err);
        if (!lines.empty())
            reason = lines.back();
    }
    for (const std::string& name : step.names) {
        if (name.empty())
            continue;
        if (StartsWith(reason, "unit " + name + ": ")) {
            reason.erase(0, name.size() + 7);
            break;
        }
        if (StartsWith(reason, name + ": ")) {
            reason.erase(0, name.size() + 2);
            break;
        }
    }
    return reason;
}

CFleetOutcome::SResult CFleetOutcome::Judge(const SStep& step)
{
    if (!step.bStarted)
        return {2, "failed: " + step.err};
    const std::string reason = Reason(step);
    switch (step.nExit) {
    case 0:
        if (step.verb == EVerb::Diff || (step.verb == EVerb::Push && StartsWith(step.out, "0 writes sent")))
            return {0, "already equal"};
        return {0, "done"};
    case 1:
        if (step.verb == EVerb::Diff || step.verb == EVerb::Push)
            return {1, "differs: " + std::to_string(CountDifferences(step.out)) + " fields"};
        if (step.verb == EVerb::Firmware)
            return {1, "failed: " + reason};
        break;
    case 2: return {2, "failed: " + (reason.empty() ? std::string("no reason given") : reason)};
    default: break;
    }
    // A child that did not end by itself (a crash ends with the exception's code).
    char sz[64];
    std::snprintf(sz, sizeof sz, "qvrtool ended with code 0x%08lX", step.nExit);
    return {2, "failed: " + std::string(sz) + (reason.empty() ? "" : " (" + reason + ")")};
}

int CFleetOutcome::ExitCode(const std::vector<SResult>& results)
{
    int n = 0;
    for (const SResult& r : results)
        n = std::max(n, r.nExit);
    return n;
}

std::string CFleetOutcome::Table(const std::vector<SRow>& rows)
{
    const char* const apszHead[] = {"unit", "device", "result", "time"};
    std::vector<std::vector<std::string>> cells;
    cells.push_back({apszHead[0], apszHead[1], apszHead[2], apszHead[3]});
    for (const SRow& r : rows)
        cells.push_back({r.serial, r.device, r.result.text, Seconds(r.dSeconds)});
    std::size_t anWidth[4] = {};
    for (const auto& line : cells)
        for (std::size_t i = 0; i < 3; ++i)
            anWidth[i] = std::max(anWidth[i], line[i].size());
    std::string text;
    for (const auto& line : cells) {
        for (std::size_t i = 0; i < 3; ++i)
            text += line[i] + std::string(anWidth[i] - line[i].size() + 2, ' ');
        text += line[3] + "\n";
    }
    return text;
}

std::string CFleetOutcome::IndexPage(const std::vector<SIndexRow>& rows, const std::string& date)
{
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>QVR500 reports</title>\n"
                       "<style>body{font-family:sans-serif}table{border-collapse:collapse}"
                       "td,th{border:1px solid #999;padding:2px 8px;text-align:left}.bad{color:#b00}</style>"
                       "</head><body>\n<h1>QVR500 reports</h1>\n";
    if (!date.empty())
        html += "<p>" + CReportWriter::Escape(date) + "</p>\n";
    html += "<table>\n<tr><th>Unit</th><th>Device</th><th>Result</th><th>Time</th></tr>\n";
    for (const SIndexRow& r : rows) {
        const std::string serial = CReportWriter::Escape(r.row.serial);
        html += "<tr><td>";
        html += r.report.empty() ? serial : "<a href=\"" + CReportWriter::Escape(r.report) + "\">" + serial + "</a>";
        html += "</td><td>" + CReportWriter::Escape(r.row.device) + "</td><td" +
                (r.row.result.nExit ? " class=\"bad\"" : "") + ">" + CReportWriter::Escape(r.row.result.text) +
                "</td><td>" + Seconds(r.row.dSeconds) + "</td></tr>\n";
    }
    return html + "</table>\n</body></html>\n";
}
