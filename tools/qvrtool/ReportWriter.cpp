#include "tools/qvrtool/ReportWriter.h"

#include "tools/qvrtool/RoomReport.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "editor/FieldRules.h"
#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FieldRanges.h"
#include "model/PlotGeometry.h"
#include "model/ProfileInfo.h"
#include "model/ChannelNames.h"
#include "model/SummedResponse.h"
#include "tools/qvrtool/ReadBackFields.h"
#include "tools/qvrtool/TextCodec.h"

namespace {

std::string Escape(const std::string& s)
{
    std::string out;
    for (const char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control characters (a text from a unit may hold any) are shown as blanks.
            out += (static_cast<unsigned char>(c) < 0x20 && c != '\n') ? ' ' : c;
        }
    }
    return out;
}

std::string Text16(const char16_t* psz)
{
    return Escape(Utf16ToUtf8(psz));
}

std::string Utf8(const std::u16string& s)
{
    return Utf16ToUtf8(s.c_str());
}

enum class ERow { Field, Level, HPQ, Mute, Invert, Name };

struct SRow {
    const char* pszGroup; // first row of a group names it
    const char* pszLabel;
    const char* pszUnit;
    ERow eKind;
    EChannelField eField; // the value field (or the flag word for Mute/Invert)
    int nBand;            // 0 channel, else the band the row belongs to
};

const SRow kRows[] = {
    {"Channel", "Speaker", "", ERow::Name, FIELD_NONE, 0},
    {nullptr, "Level", "dB", ERow::Level, FIELD_LEVEL, 0},
    {nullptr, "HP Filter", "Hz", ERow::Field, FIELD_HP_FREQ, 0},
    {nullptr, "HP Q", "", ERow::HPQ, FIELD_HP_Q, 0},
    {nullptr, "CH Delay", "ms", ERow::Field, FIELD_DELAY, 0},
    {"Low", "LP Freq.", "Hz", ERow::Field, FIELD_LOW_LP_FREQ, BAND_LOW},
    {nullptr, "Gain", "dB", ERow::Field, FIELD_LOW_GAIN, BAND_LOW},
    {nullptr, "Delay", "ms", ERow::Field, FIELD_LOW_DELAY, BAND_LOW},
    {nullptr, "PEQ Freq.", "Hz", ERow::Field, FIELD_LOW_PEQ_FREQ, BAND_LOW},
    {nullptr, "PEQ Q", "", ERow::Field, FIELD_LOW_PEQ_Q, BAND_LOW},
    {nullptr, "PEQ Gain", "dB", ERow::Field, FIELD_LOW_PEQ_GAIN, BAND_LOW},
    {nullptr, "Mute", "", ERow::Mute, FIELD_LOW_FLAGS, BAND_LOW},
    {nullptr, "Invert", "", ERow::Invert, FIELD_LOW_FLAGS, BAND_LOW},
    {"Mid", "HP Freq.", "Hz", ERow::Field, FIELD_MID_HP_FREQ, BAND_MID},
    {nullptr, "LP Freq.", "Hz", ERow::Field, FIELD_MID_LP_FREQ, BAND_MID},
    {nullptr, "Gain", "dB", ERow::Field, FIELD_MID_GAIN, BAND_MID},
    {nullptr, "Delay", "ms", ERow::Field, FIELD_MID_DELAY, BAND_MID},
    {nullptr, "PEQ Freq.", "Hz", ERow::Field, FIELD_MID_PEQ_FREQ, BAND_MID},
    {nullptr, "PEQ Q", "", ERow::Field, FIELD_MID_PEQ_Q, BAND_MID},
    {nullptr, "PEQ Gain", "dB", ERow::Field, FIELD_MID_PEQ_GAIN, BAND_MID},
    {nullptr, "Mute", "", ERow::Mute, FIELD_MID_FLAGS, BAND_MID},
    {nullptr, "Invert", "", ERow::Invert, FIELD_MID_FLAGS, BAND_MID},
    {"High", "HP Freq.", "Hz", ERow::Field, FIELD_HIGH_HP_FREQ, BAND_HIGH},
    {nullptr, "Gain", "dB", ERow::Field, FIELD_HIGH_GAIN, BAND_HIGH},
    {nullptr, "Delay", "ms", ERow::Field, FIELD_HIGH_DELAY, BAND_HIGH},
    {nullptr, "PEQ Freq.", "Hz", ERow::Field, FIELD_HIGH_PEQ_FREQ, BAND_HIGH},
    {nullptr, "PEQ Q", "", ERow::Field, FIELD_HIGH_PEQ_Q, BAND_HIGH},
    {nullptr, "PEQ Gain", "dB", ERow::Field, FIELD_HIGH_PEQ_GAIN, BAND_HIGH},
    {nullptr, "SEQ Freq.", "Hz", ERow::Field, FIELD_SEQ_FREQ, BAND_HIGH},
    {nullptr, "SEQ Gain", "dB", ERow::Field, FIELD_SEQ_GAIN, BAND_HIGH},
    {nullptr, "HEQ Freq.", "Hz", ERow::Field, FIELD_HEQ_FREQ, BAND_HIGH},
    {nullptr, "HEQ Gain", "dB", ERow::Field, FIELD_HEQ_GAIN, BAND_HIGH},
    {nullptr, "Mute", "", ERow::Mute, FIELD_HIGH_FLAGS, BAND_HIGH},
    {nullptr, "Invert", "", ERow::Invert, FIELD_HIGH_FLAGS, BAND_HIGH},
};

bool HasBand(int nChannel, int nMode, int nBand)
{
    if (nBand == 0 || nBand == BAND_LOW)
        return true;
    if (nChannel == CHANNEL_SUBWOOFER)
        return false;
    return !(nBand == BAND_MID && nMode == MODE_BIAMP);
}

// Whether a unit reports the value of a row (names: the Subwoofer's is
// not stored in the unit).
bool IsReported(const SRow& row, int nChannel, const CReportWriter::SInput& in)
{
    if (row.eKind == ERow::Name)
        return nChannel != CHANNEL_SUBWOOFER;
    return CReadBackFields::IsReadBack(nChannel, row.eField, in.nMode, in.bNoLeftRightCenter);
}

// The cell of one row for one channel: its text, and whether the editor
// would refuse the value.
std::string Cell(const SRow& row, const CChannelConfig& c, int nMode, bool& bOutside)
{
    bOutside = false;
    switch (row.eKind) {
    case ERow::Name: {
        char16_t sz[SPEAKER_NAME_UNITS] = {};
        c.GetSpeakerName(sz, static_cast<int>(sizeof sz));
        return Text16(sz);
    }
    case ERow::Mute:
        return (GetChannelFieldBits(c, row.eField) & BAND_FLAG_MUTE) ? "muted" : "";
    case ERow::Invert:
        return (GetChannelFieldBits(c, row.eField) & BAND_FLAG_INVERT) ? "inverted" : "";
    case ERow::HPQ: {
        char sz[32];
        std::snprintf(sz, sizeof sz, "%.3g", static_cast<double>(c.GetHPQ()));
        return sz;
    }
    case ERow::Level:
    case ERow::Field: break;
    }
    float v = GetChannelFieldFloat(c, row.eField);
    CFieldRanges::SRange range{};
    if (!std::isfinite(v) ||
        (CFieldRanges::GetEditorRange(row.eField, nMode, range) && !(v >= range.fltMin && v <= range.fltMax)))
        bOutside = true;
    if (!std::isfinite(v))
        return std::isnan(v) ? "NaN" : (v > 0 ? "inf" : "-inf");
    if (row.eKind == ERow::Level) // the level text is cut toward zero to one decimal
        return Escape(Utf8(CFieldRules::Format(EFieldFormat::Gain, std::trunc(v * 10.0f) / 10.0f)));
    const SFieldRule* pRule = CFieldRules::FindByField(row.eField);
    return Escape(pRule ? Utf8(CFieldRules::Format(*pRule, v)) : std::to_string(v));
}

// x on a logarithmic axis of nWidth units from 20 Hz to 20 kHz.
double FreqX(double dHz, double dWidth)
{
    return dWidth * std::log10(dHz / CPlotGeometry::MIN_FREQ) / 3.0;
}

constexpr double PLOT_W = 300.0, PLOT_H = 168.0; // drawing area in SVG units
constexpr double MARGIN_L = 28.0, MARGIN_B = 14.0, MARGIN_T = 4.0, MARGIN_R = 6.0;
constexpr double DB_TOP = 24.0, DB_BOTTOM = -60.0;

double GainY(double dB)
{
    if (!(dB <= DB_TOP)) // also NaN
        dB = std::isnan(dB) ? DB_BOTTOM : DB_TOP;
    if (dB < DB_BOTTOM)
        dB = DB_BOTTOM;
    return MARGIN_T + (DB_TOP - dB) * PLOT_H / (DB_TOP - DB_BOTTOM);
}

template <class T>
void AppendCurve(std::string& svg, const T* pCurve, const char* pszColour)
{
    std::string points;
    double dLastX = -1e9;
    char sz[48];
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; ++i) {
        const double x = MARGIN_L + FreqX(5.0 * i, PLOT_W);
        // One point per half unit is finer than print resolution.
        if (x - dLastX < 0.5 && i != CPlotGeometry::LAST_POINT)
            continue;
        dLastX = x;
        std::snprintf(sz, sizeof sz, "%.1f,%.1f ", x, GainY(static_cast<double>(pCurve[i])));
        points += sz;
    }
    svg += "<polyline fill=\"none\" stroke=\"";
    svg += pszColour;
    svg += "\" stroke-width=\"1.2\" points=\"" + points + "\"/>\n";
}

// The line under a channel's plot: where the sum dips deepest below its
// median level, the crossover an installer should look at.
std::string DipLine(const CSummedResponse& sum)
{
    const CSummedResponse::SDip dip = CSummedResponse::FindDeepestDip(sum.GetSum());
    char sz[200];
    if (dip.dMedian == -std::numeric_limits<double>::infinity())
        return "<p class=\"dip\">Every band is muted: the channel is silent.</p>\n";
    if (!dip.bFound) {
        std::snprintf(sz, sizeof sz,
                      "<p class=\"dip\">No dip of the sum deeper than %.0f dB between 25 Hz and 20 kHz.</p>\n",
                      CSummedResponse::MIN_DIP_RISE_DB);
        return sz;
    }
    if (!(dip.dLevel >= CSummedResponse::FLOOR_DB))
        std::snprintf(sz, sizeof sz,
                      "<p class=\"dip\">Deepest dip of the sum: a null at %.0f Hz (below %.0f dB; median level "
                      "%.1f dB).</p>\n",
                      dip.dFreq, CSummedResponse::FLOOR_DB, dip.dMedian);
    else
        std::snprintf(sz, sizeof sz,
                      "<p class=\"dip\">Deepest dip of the sum: %.0f Hz, %.1f dB below its median level "
                      "(%.1f dB there, median %.1f dB).</p>\n",
                      dip.dFreq, dip.Depth(), dip.dLevel, dip.dMedian);
    return sz;
}

std::string Plot(int nChannel, const CChannelConfig& c, int nMode, CBandResponse& response, CSummedResponse& sum)
{
    // The plot's working copy of the channel on show.
    CChannelConfig working(nChannel);
    working.Assign(c, false);
    working.SetMode(nMode);
    response.RecalcBands(working, BAND_ALL);
    sum.Recalc(working, response, BAND_ALL);
    const double dW = MARGIN_L + PLOT_W + MARGIN_R, dH = MARGIN_T + PLOT_H + MARGIN_B;
    char sz[256];
    std::snprintf(sz, sizeof sz,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" class=\"plot\">\n", dW, dH);
    std::string svg = sz;
    std::snprintf(sz, sizeof sz, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" class=\"area\"/>\n",
                  MARGIN_L, MARGIN_T, PLOT_W, PLOT_H);
    svg += sz;
    for (int dB = static_cast<int>(DB_TOP); dB >= static_cast<int>(DB_BOTTOM); dB -= 12) {
        const double y = GainY(dB);
        std::snprintf(sz, sizeof sz,
                      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" class=\"%s\"/>"
                      "<text x=\"%.1f\" y=\"%.1f\" class=\"yl\">%+d</text>\n",
                      MARGIN_L, y, MARGIN_L + PLOT_W, y, dB == 0 ? "zero" : "grid", MARGIN_L - 2, y + 2.5, dB);
        svg += sz;
    }
    for (int nDecade = 10; nDecade <= 10000; nDecade *= 10)
        for (int k = 1; k <= 9; ++k) {
            const int nHz = nDecade * k;
            if (nHz < CPlotGeometry::MIN_FREQ || nHz > CPlotGeometry::MAX_FREQ)
                continue;
            const double x = MARGIN_L + FreqX(nHz, PLOT_W);
            std::snprintf(sz, sizeof sz, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" class=\"%s\"/>\n", x,
                          MARGIN_T, x, MARGIN_T + PLOT_H, k == 1 ? "grid" : "fine");
            svg += sz;
        }
    for (const int nHz : {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000}) {
        const double x = MARGIN_L + FreqX(nHz, PLOT_W);
        std::snprintf(sz, sizeof sz, "<text x=\"%.1f\" y=\"%.1f\" class=\"xl\">%s</text>\n", x,
                      MARGIN_T + PLOT_H + 10,
                      nHz >= 1000 ? (std::to_string(nHz / 1000) + "k").c_str() : std::to_string(nHz).c_str());
        svg += sz;
    }
    AppendCurve(svg, response.GetLowBand(), "#d00000");
    if (HasBand(nChannel, nMode, BAND_MID))
        AppendCurve(svg, response.GetMidBand(), "#0000d0");
    if (HasBand(nChannel, nMode, BAND_HIGH))
        AppendCurve(svg, response.GetHighBand(), "#00a000");
    AppendCurve(svg, sum.GetSum(), "#000000"); // over the bands
    svg += "</svg>\n";
    return svg + DipLine(sum);
}

const char kStyle[] = R"(
@page { size: A4 portrait; margin: 12mm; }
* { box-sizing: border-box; }
body { font-family: "Liberation Sans", Arial, Helvetica, sans-serif; font-size: 9pt; color: #000; margin: 0; }
.page { width: 186mm; margin: 0 auto; }
h1 { font-size: 15pt; margin: 0 0 2mm 0; }
h2 { font-size: 11pt; margin: 4mm 0 2mm 0; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 0.2mm solid #888; padding: 0.4mm 1.2mm; }
table.profile th { text-align: left; width: 32mm; background: #eee; }
table.profile td { white-space: pre-wrap; }
table.settings td { text-align: right; font-variant-numeric: tabular-nums; }
table.settings th { background: #eee; }
table.settings th.group { text-align: left; background: #ddd; }
table.settings td.label { text-align: left; }
table.settings td.name { text-align: center; }
td.na { color: #999; text-align: center; }
td.warn { background: #fdd; font-weight: bold; }
.meta { margin: 1mm 0 3mm 0; }
.plots { break-before: page; page-break-before: always; }
.grid2 { display: grid; grid-template-columns: 1fr 1fr; gap: 3mm 4mm; }
figure { margin: 0; break-inside: avoid; page-break-inside: avoid; }
figcaption { font-weight: bold; margin-bottom: 0.5mm; }
svg.plot { width: 100%; height: auto; display: block; }
svg .area { fill: #fff; stroke: #444; stroke-width: 0.6; }
svg .grid { stroke: #aaa; stroke-width: 0.4; }
svg .fine { stroke: #ddd; stroke-width: 0.3; }
svg .zero { stroke: #555; stroke-width: 0.6; }
svg text { font-size: 6.5px; fill: #333; font-family: "Liberation Sans", Arial, sans-serif; }
svg .yl { text-anchor: end; }
svg .xl { text-anchor: middle; }
.legend span { display: inline-block; margin-right: 4mm; }
.key { display: inline-block; width: 6mm; height: 0.8mm; vertical-align: middle; margin-right: 1mm; }
.note { color: #444; margin-top: 2mm; }
.dip { margin: 0.5mm 0 0 0; }
)";

} // namespace

std::string CReportWriter::Build(const SInput& in)
{
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>QVR500 commissioning report</title>\n<style>";
    html += kStyle;
    html += "</style>\n</head>\n<body>\n<div class=\"page\">\n<h1>QVR500 commissioning report</h1>\n";
    html += "<div class=\"meta\">Settings of " + Escape(in.source);
    if (!in.date.empty())
        html += ", " + Escape(in.date);
    html += ". Mode: ";
    html += in.nMode == MODE_BIAMP ? "Biamp" : "Triamp";
    if (in.bNoLeftRightCenter)
        html += "; the unit has no Left Center and Right Center channels";
    html += ".</div>\n";

    html += "<h2>Profile</h2>\n<table class=\"profile\">\n";
    if (in.pProfile) {
        html += "<tr><th>Project Name</th><td>" + Text16(in.pProfile->Project()) + "</td></tr>\n";
        html += "<tr><th>Theater Name</th><td>" + Text16(in.pProfile->Theater()) + "</td></tr>\n";
        html += "<tr><th>Screen Number</th><td>" + Text16(in.pProfile->Screen()) + "</td></tr>\n";
        html += "<tr><th>Comments</th><td>" + Text16(in.pProfile->Comments()) + "</td></tr>\n";
    } else {
        html += "<tr><td>No profile: a configuration file holds none (give one with --profile).</td></tr>\n";
    }
    html += "</table>\n";

    bool abPresent[CHANNEL_COUNT];
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        abPresent[c] = !(in.bNoLeftRightCenter && (c == CHANNEL_LEFT_CENTER || c == CHANNEL_RIGHT_CENTER));

    html += "<h2>Settings</h2>\n<table class=\"settings\">\n<tr><th></th><th></th>";
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        html += std::string("<th>") + kChannelNames[c] + "</th>";
    html += "</tr>\n";
    bool bAnyOutside = false;
    bool bAnyUnread = false;
    for (const SRow& row : kRows) {
        if (row.pszGroup)
            html += "<tr><th class=\"group\" colspan=\"8\">" + std::string(row.pszGroup) + "</th></tr>\n";
        html += "<tr><td class=\"label\">" + std::string(row.pszLabel) + "</td><td class=\"label\">" +
                row.pszUnit + "</td>";
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            if (!abPresent[c] || !HasBand(c, in.nMode, row.nBand)) {
                html += "<td class=\"na\">&ndash;</td>";
                continue;
            }
            if (in.bFromUnit && !IsReported(row, c, in)) {
                html += "<td class=\"na\" title=\"not read from the unit\">n/r</td>";
                bAnyUnread = true;
                continue;
            }
            bool bOutside = false;
            const std::string text = Cell(row, in.pChannels[c], in.nMode, bOutside);
            bAnyOutside = bAnyOutside || bOutside;
            html += std::string("<td") + (bOutside ? " class=\"warn\"" : row.eKind == ERow::Name ? " class=\"name\"" : "") +
                    ">" + text + "</td>";
        }
        html += "</tr>\n";
    }
    html += "</table>\n";
    if (bAnyOutside)
        html += "<p class=\"note\">Values marked in red lie outside the ranges the editor accepts.</p>\n";
    if (bAnyUnread)
        html += "<p class=\"note\">n/r: not read from the unit (the unit is written these values but does not "
                "report them when it is read); the plots use the program's defaults there.</p>\n";

    html += "<div class=\"plots\">\n<h2>Responses</h2>\n<div class=\"legend\">"
            "<span><i class=\"key\" style=\"background:#d00000\"></i>Low</span>"
            "<span><i class=\"key\" style=\"background:#0000d0\"></i>Mid</span>"
            "<span><i class=\"key\" style=\"background:#00a000\"></i>High</span>"
            "<span><i class=\"key\" style=\"background:#000000\"></i>Sum</span>"
            "<span>the bands as the editor draws them (level, gains, crossovers, equalisers); the sum as "
            "the loudspeaker plays them together, with mute, polarity and band delays (the channel delay "
            "delays every band alike and changes nothing in it)</span></div>\n<div class=\"grid2\">\n";
    CBandResponse response;
    CSummedResponse sum;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        if (!abPresent[c])
            continue;
        char16_t sz[SPEAKER_NAME_UNITS] = {};
        in.pChannels[c].GetSpeakerName(sz, static_cast<int>(sizeof sz));
        html += std::string("<figure><figcaption>") + kChannelNames[c] + " &mdash; " + Text16(sz) + "</figcaption>\n";
        html += Plot(c, in.pChannels[c], in.nMode, response, sum);
        if (in.pSidecar && in.pSidecar->channels[static_cast<std::size_t>(c)].room) {
            CChannelConfig working(c);
            working.Assign(in.pChannels[c], false);
            working.SetMode(in.nMode);
            html += CRoomReport::Legend() +
                    CRoomReport::Plot(working, in.pSidecar->channels[static_cast<std::size_t>(c)], *in.pSidecar);
        }
        html += "</figure>\n";
    }
    html += "</div>\n</div>\n</div>\n</body>\n</html>\n";
    return html;
}
