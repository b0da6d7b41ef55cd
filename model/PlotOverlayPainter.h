#pragma once
// Draws the response plot's overlay (model/PlotOverlay.h): the stretches of
// the plot's frequencies where the predicted level leaves the tolerance mask
// (shaded, under everything), the mask's limits, the target, the predicted
// curve (bold) and over it the measured curve (thin, so that it shows where
// the two coincide, as they do before the first edit), and a legend naming
// the curves drawn.  Its colours are its own, apart from the bands' red, blue
// and green and the sum's white, so that a measured or predicted curve is
// never mistaken for a filter.  Nothing is drawn where no overlay curve is
// shown: the plot then looks exactly as it did without one.

#include <windows.h>

#include <vector>

#include "framework/DpiScale.h"
#include "framework/Handles.h"
#include "model/PlotGeometry.h"
#include "model/PlotOverlay.h"

class CPlotOverlayPainter {
public:
    static constexpr COLORREF RGB_MEASURED = RGB(192, 192, 192);
    static constexpr COLORREF RGB_PREDICTED = RGB(255, 128, 0);
    static constexpr COLORREF RGB_TARGET = RGB(255, 0, 255);
    static constexpr COLORREF RGB_OUTSIDE = RGB(128, 0, 64);
    static constexpr int PREDICTED_WIDTH = 3; // 96-dpi pixels

    CPlotOverlayPainter();

    // Draws at a new resolution (the bold line's width follows it).
    void SetScale(const CDpiScale& scale);

    // Which curves the View menu shows.
    void Show(EOverlayCurve e, bool bShow) { m_abShown[static_cast<int>(e)] = bShow; }
    bool IsShown(EOverlayCurve e) const { return m_abShown[static_cast<int>(e)]; }

    // The shading where the prediction leaves the mask; drawn before the
    // bands' curves.  rcPlot is the drawing area (the clip is the caller's).
    void DrawUnder(HDC hdc, const CPlotGeometry& geo, const RECT& rcPlot, const SPlotOverlay& overlay);
    // Mask, target, measured and predicted curves, over the bands' curves.
    void DrawOver(HDC hdc, const CPlotGeometry& geo, const SPlotOverlay& overlay);
    // The legend along the area's top, naming each curve drawn.
    void DrawLegend(HDC hdc, HFONT hFont, const RECT& rcPlot, const SPlotOverlay& overlay);

    // Draws a curve of levels as unbroken stretches between its NaN points
    // (a single point between two gaps draws nothing).
    void DrawLevels(HDC hdc, const CPlotGeometry& geo, const double* pdLevels, HPEN hPen, int nWidth = 1);

    // Whether curve e is drawn: shown, and present in the overlay.
    bool IsDrawn(EOverlayCurve e, const SPlotOverlay& overlay) const
    {
        return IsShown(e) && overlay.Curve(e) != nullptr;
    }
    // The stretches (first and last point) where the prediction lies outside
    // the mask; empty unless both the predicted curve and the target are shown.
    const std::vector<std::pair<int, int>>& OutsideRuns(const SPlotOverlay& overlay);

private:
    CDpiScale m_scale;
    bool m_abShown[static_cast<int>(EOverlayCurve::Count)] = {};
    CPen m_pnMeasured;
    CPen m_pnPredicted; // one pixel wide: bold by drawing it shifted
    CPen m_pnTarget;
    CPen m_pnMask;
    CBrush m_brOutside;
    std::vector<POINT> m_apt;
    std::vector<DWORD> m_adwRuns;
    std::vector<std::pair<int, int>> m_aOutside;
};
