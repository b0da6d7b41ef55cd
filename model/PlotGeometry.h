#pragma once
// Geometry of the response plot: the logarithmic frequency axis (a table of
// 30 frequencies 22 pixels apart, walked one hertz at a time in single
// precision), the decibel axis (2 pixels per dB, 0 dB 60 pixels below the
// top), the adjusters (drag handles) and the drag step that turns a mouse
// position into clamped settings of the working copy.  Portable: the plot
// control draws with it and the tests check it without a window.
//
// Every pixel figure is one of 96 dpi; at another resolution the horizontal
// ones are multiplied by sx and the vertical ones by sy (CDpiScale), so the
// drawing fills the control as it does at 96 dpi and the conversions stay
// the inverse of the drawing.  At 96 dpi the arithmetic, single-precision
// accumulation included, is exactly the unscaled one.

#include <cstdint>
#include <memory>

#include "framework/DpiScale.h"

class CChannelConfig;

class CPlotGeometry {
public:
    static constexpr int AXIS_ENTRIES = 30;
    static constexpr int AXIS_STEP = 22;    // pixels between two axis entries
    static constexpr int ROW_HEIGHT = 24;   // one 12 dB row
    static constexpr int ROWS = 8;          // +24 dB .. -60 dB
    static constexpr int PLOT_HEIGHT = ROW_HEIGHT * ROWS;
    static constexpr int FIRST_POINT = 5;   // curve point of 25 Hz (5 Hz per point)
    static constexpr int LAST_POINT = 4000; // curve point of 20000 Hz
    static constexpr int MIN_FREQ = 20;
    static constexpr int MAX_FREQ = 20000;
    static constexpr int HANDLE_RADIUS = 5; // a handle is a diamond 2 x 5 pixels across

    // Axis table in Hz (31 and 63 rather than 31.5 and 63, 316 rather than 315).
    static const int s_anAxis[AXIS_ENTRIES];

    // The drawing area's left and top edges in client pixels, at a resolution.
    CPlotGeometry(int nLeft = 0, int nTop = 0, const CDpiScale& scale = CDpiScale());
    int GetLeft() const { return m_nLeft; }
    int GetTop() const { return m_nTop; }
    const CDpiScale& GetScale() const { return m_scale; }

    // The layout at this resolution (96 dpi figures in brackets).
    int RowHeight() const { return m_scale.Y(ROW_HEIGHT); }            // a 12 dB row (24)
    int RowTop(int k) const { return m_scale.Y(ROW_HEIGHT * k); }      // top of row k from the area's top
    int PlotHeight() const { return m_scale.Y(PLOT_HEIGHT); }          // the area's height (192)
    int GridY(int k) const { return m_nTop + m_scale.Y(12 + ROW_HEIGHT * k); } // level line k (+24 dB - 12 k)
    int GridX(int j) const { return m_nLeft + m_scale.X(10 + AXIS_STEP * j); }  // line of axis entry j
    int LabelX(int i) const { return m_nLeft + m_scale.X(1 + AXIS_STEP * i); }  // label of axis entry i
    int HandleRadiusX() const { return m_scale.X(HANDLE_RADIUS); }     // a handle's half size (5)
    int HandleRadiusY() const { return m_scale.Y(HANDLE_RADIUS); }

    // x of a whole frequency: 2.2 pixels per Hz from 20 to 24 Hz, then the
    // per-Hz walk of the axis table from left + 11 at 25 Hz; below 20 Hz
    // left + 11, from 20000 Hz on the position of 20000 Hz (left + 648).
    int FreqToX(int nFreq) const;
    // The same for a stored frequency, rounded to the nearest Hz (halves
    // away from zero); values outside 20..20000 Hz, infinities and NaN land
    // on the ends of the axis.
    int FreqToX(float fltFreq) const;
    // The frequency under x: the first whole frequency whose position, taken
    // one pixel to the left, exceeds x; 20 left of the area, 20000 right of it.
    int XToFreq(int x) const;
    // x of curve point i (i * 5 Hz), on the same walk as FreqToX.
    int PointToX(int nPoint) const { return m_nLeft + PointOffset(nPoint); }

    // y of a level in dB: top + 60 - 2 * dB, truncated (saturated to +-30000).
    int GainToY(float fltGain) const;
    // The gain under y for an adjuster: (trunc(top + 60 - 2 * level) - y) / 2,
    // then +6 for the crossover handles (1, 3, 4, 6), minus the band gain for
    // the equaliser handles (2, 5, 7, 8, 9), unchanged for 10.  In half dB as
    // at 96 dpi, where a pixel is half a dB: at other resolutions the distance
    // is rounded to the nearest half dB.
    float YToGain(int y, int nAdjuster, const CChannelConfig& cfg) const;
    // Q of an equaliser whose Q handle is at x: 100 / |x - centre x|, the
    // distance at least one pixel (100 pixels times sx at other resolutions).
    float QFromX(float fltCentreFreq, int x) const;

    // An adjuster's handle: 1 Low LP, 2 Low PEQ, 3 Mid HP, 4 Mid LP, 5 Mid
    // PEQ, 6 High HP, 7 High PEQ, 8 SEQ, 9 HEQ, 10 channel high-pass.
    struct SAdjuster {
        float fltFreq = 0;  // the frequency field
        float fltOffset = 0; // vertical offset s (dB)
        float fltGain = 0;  // gain term r (dB)
        bool bHasQ = false;
        float fltQ = 0;
    };
    // False for numbers outside 1..10.
    static bool GetAdjuster(const CChannelConfig& cfg, int nAdjuster, SAdjuster& adj);
    // y of the main handle: trunc(top + 61 - 2 * (level + r + s)) - 1.
    int AdjusterY(const CChannelConfig& cfg, const SAdjuster& adj) const;
    // Half-width of the Q bar in pixels: 100 / Q rounded (bounded for
    // degenerate Q values); 100 pixels times sx at other resolutions.
    int QHalfWidth(float fltQ) const;

    // One drag step of adjuster n to the mouse position (x, y): the values
    // are clamped to the ranges of the adjuster's fields for the working
    // copy's mode and stored through its setters with sending on (band gains
    // without force).  A Q drag changes only the equaliser's Q.  Returns the
    // band mask to recompute (4 Low, 2 Mid, 1 High, 7 all; 0 for an unknown
    // adjuster).
    int ApplyDragStep(CChannelConfig& cfg, int nAdjuster, bool bDragQ, int x, int y) const;

    // Offset from left of whole frequency f (20..20000) on the axis walk.
    int FreqOffset(int nFreq) const;
    // Offset of curve point i (clamped to 0..4000).
    int PointOffset(int nPoint) const;

    // Float to int by truncation toward zero, saturated to +-30000 (NaN: 0),
    // so that no coordinate overflows a conversion or the drawing calls.
    static int TruncCoord(float v);

    struct SAxisWalk;

private:
    int m_nLeft;
    int m_nTop;
    CDpiScale m_scale;
    float m_fltSx; // the factors in single precision, as the walk accumulates
    float m_fltSy;
    std::shared_ptr<const SAxisWalk> m_pWalk; // the axis walk of sx
};
