#include "tools/qvrtool/RoomReport.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "measure/RoomCurves.h"
#include "model/PlotGeometry.h"

namespace {

constexpr double PLOT_W = 300.0, PLOT_H = 120.0;
constexpr double MARGIN_L = 28.0, MARGIN_B = 14.0, MARGIN_T = 4.0, MARGIN_R = 6.0;
constexpr double DB_ABOVE = 12.0, DB_BELOW = 36.0;

double X(double dHz) { return MARGIN_L + PLOT_W * std::log10(dHz / CPlotGeometry::MIN_FREQ) / 3.0; }

double Y(double dB, double dLevel)
{
    const double d = std::fmax(std::fmin(dB - dLevel, DB_ABOVE), -DB_BELOW);
    return MARGIN_T + (DB_ABOVE - d) * PLOT_H / (DB_ABOVE + DB_BELOW);
}

// The curve as polylines, broken where nothing is drawn (NaN).
void Curve(std::string& svg, const double* pd, double dLevel, const char* pszStyle)
{
    std::string points;
    double dLastX = -1e9;
    char sz[48];
    auto flush = [&]() {
        if (points.find(' ') != points.rfind(' ')) // at least two points
            svg += std::string("<polyline fill=\"none\" ") + pszStyle + " points=\"" + points + "\"/>\n";
        points.clear();
    };
    for (int i = CPlotGeometry::FIRST_POINT; i <= CPlotGeometry::LAST_POINT; ++i) {
        if (!std::isfinite(pd[i])) {
            flush();
            continue;
        }
        const double x = X(5.0 * i);
        if (x - dLastX < 0.5 && i != CPlotGeometry::LAST_POINT)
            continue;
        dLastX = x;
        std::snprintf(sz, sizeof sz, "%.1f,%.1f ", x, Y(pd[i], dLevel));
        points += sz;
    }
    flush();
}

} // namespace

std::string CRoomReport::Legend()
{
    return "<div class=\"legend\"><span><i class=\"key\" style=\"background:#909090\"></i>Measured</span>"
           "<span><i class=\"key\" style=\"background:#8000a0\"></i>Predicted</span>"
           "<span><i class=\"key\" style=\"background:#e08000\"></i>Target</span>"
           "<span>in the room: as measured, as the settings now predict it (the room and the microphone "
           "unchanged since the measurement), and the target curve</span></div>\n";
}

std::string CRoomReport::Plot(const CChannelConfig& now, const SSidecarChannel& channel, const CSidecar& doc)
{
    if (!channel.room || !channel.asMeasured)
        return {};
    auto pCurves = std::make_unique<CRoomCurves>();
    pCurves->SetRoom(channel.room->data, *channel.asMeasured, channel.room->ePhase);
    pCurves->SetMask(doc.mask ? &*doc.mask : nullptr);
    pCurves->SetView(doc.view);
    pCurves->Update(now);
    double dLevel = pCurves->TargetLevel();
    if (!std::isfinite(dLevel))
        dLevel = 0.0;
    const double dW = MARGIN_L + PLOT_W + MARGIN_R, dH = MARGIN_T + PLOT_H + MARGIN_B;
    char sz[256];
    std::snprintf(sz, sizeof sz, "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" class=\"plot\">\n",
                  dW, dH);
    std::string svg = sz;
    std::snprintf(sz, sizeof sz, "<rect class=\"area\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>\n",
                  MARGIN_L, MARGIN_T, PLOT_W, PLOT_H);
    svg += sz;
    for (double d = DB_ABOVE; d >= -DB_BELOW; d -= 12.0) {
        const double y = Y(dLevel + d, dLevel);
        std::snprintf(sz, sizeof sz,
                      "<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>"
                      "<text class=\"yl\" x=\"%.1f\" y=\"%.1f\">%.0f</text>\n",
                      MARGIN_L, y, MARGIN_L + PLOT_W, y, MARGIN_L - 2.0, y + 2.0, dLevel + d);
        svg += sz;
    }
    for (const double f : {100.0, 1000.0, 10000.0}) {
        std::snprintf(sz, sizeof sz,
                      "<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>"
                      "<text class=\"xl\" x=\"%.1f\" y=\"%.1f\">%s</text>\n",
                      X(f), MARGIN_T, X(f), MARGIN_T + PLOT_H, X(f), MARGIN_T + PLOT_H + 8.0,
                      f == 100.0 ? "100" : f == 1000.0 ? "1k" : "10k");
        svg += sz;
    }
    if (pCurves->HasMask()) {
        Curve(svg, pCurves->MaskMin(), dLevel, "stroke=\"#e08000\" stroke-width=\"0.5\"");
        Curve(svg, pCurves->MaskMax(), dLevel, "stroke=\"#e08000\" stroke-width=\"0.5\"");
    }
    Curve(svg, pCurves->Target(), dLevel, "stroke=\"#e08000\" stroke-width=\"1\" stroke-dasharray=\"3 2\"");
    Curve(svg, pCurves->Measured(), dLevel, "stroke=\"#909090\" stroke-width=\"0.7\"");
    Curve(svg, pCurves->Predicted(), dLevel, "stroke=\"#8000a0\" stroke-width=\"1.6\"");
    svg += "</svg>\n";
    return svg;
}
