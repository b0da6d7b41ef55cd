#pragma once
// What the response plot draws besides the filters' own curves: measured,
// predicted and target levels and a tolerance mask around the target, and,
// for bands that carry a measured driver, the band's curve and the sum as
// computed over the drivers.  The plot knows nothing of measurements: it
// draws arrays of levels on its own grid (CBandResponse::RESPONSE_POINTS
// points, point i at 5 * i Hz, in dB), and a NaN level marks a point where
// nothing is drawn (outside the measured range, a prediction that cannot be
// made).  A null array is a curve that is not there at all.
//
// Portable: the plot draws it, the tests fill it.

class CChannelConfig;
class CBandResponse;
class CSummedResponse;

// The overlay curves the View menu turns on and off.
enum class EOverlayCurve { Measured, Predicted, Target, Count };

struct SPlotOverlay {
    const double* pdMeasured = nullptr;
    const double* pdPredicted = nullptr;
    const double* pdTarget = nullptr;
    // The mask's limits (absolute levels, already placed around the target).
    const double* pdMaskMin = nullptr;
    const double* pdMaskMax = nullptr;
    // A band drawn over its measured driver replaces the flat-driver curve
    // (index 0 Low, 1 Mid, 2 High); the sum over the drivers and its phase
    // (degrees, wrapped to -180..180, NaN where undefined) replace the
    // plot's own while any band carries a driver.
    const double* apdBand[3] = {};
    const double* pdSum = nullptr;
    const double* pdSumPhase = nullptr;
    // The legend's text for the target (null: its plain name).
    const wchar_t* pszTargetLegend = nullptr;

    const double* Curve(EOverlayCurve e) const
    {
        return e == EOverlayCurve::Measured ? pdMeasured : e == EOverlayCurve::Predicted ? pdPredicted : pdTarget;
    }
};

// Where the plot takes its overlay from.  The plot calls Refresh after every
// recomputation of its own curves (an edit, a drag step, Undo, a preset, a
// channel or mode change), so that whatever follows the filters follows
// them at the same moment; the returned arrays stay valid until the next
// Refresh or until the source says otherwise (CCtlQVRXOPlot::RefreshOverlay).
class IPlotOverlaySource {
public:
    // cfg is the plot's working copy and bands its band curves, current for
    // cfg; pSum is the plot's own summed response (flat drivers) when it is
    // current, else null; nMask names the bands recomputed (4 Low, 2 Mid,
    // 1 High, 7 all; 0 where only flags, delays or the level changed).
    virtual SPlotOverlay Refresh(const CChannelConfig& cfg, const CBandResponse& bands, const CSummedResponse* pSum,
                                 int nMask) = 0;

protected:
    ~IPlotOverlaySource() = default;
};
