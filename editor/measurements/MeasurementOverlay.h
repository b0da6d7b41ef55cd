#pragma once
// CMeasurementOverlay: the measurements of the open configuration (the
// sidecar document) and what the response plot draws of them for the
// channel on show.  The plot asks it after each recomputation of its curves
// (IPlotOverlaySource), so the predicted curve, the target's level and the
// shading follow every edit, drag step, Undo and preset as they happen.
//
// The room curves are drawn relative to one level: a measurement program
// writes sound pressure levels (80 dB and more) that the plot's +24 .. -60 dB
// scale could not show, so the measured, predicted and target curves and the
// mask move together by the level of the measurement itself (its mean from
// 500 Hz to 2 kHz, as the target's level is taken; the typed level when one
// is typed), which then lies on the plot's 0 dB line (the legend names it).
// It does not follow the edits: while a handle is dragged the measured curve
// stays put and the prediction and the target's level move.  Without a level
// to take the curves are drawn as they are.
//
// Portable: the plot's Win32 side only draws what this computes.

#include <memory>
#include <string>

#include "measure/DriverSet.h"
#include "measure/RoomCurves.h"
#include "measure/Sidecar.h"
#include "model/PlotOverlay.h"
#include "model/SummedResponse.h"

class CMeasurementOverlay : public IPlotOverlaySource {
public:
    static constexpr int POINTS = CSummedResponse::POINTS;

    CMeasurementOverlay();
    CMeasurementOverlay(const CMeasurementOverlay&) = delete;
    CMeasurementOverlay& operator=(const CMeasurementOverlay&) = delete;
    ~CMeasurementOverlay();

    // The document; after changing it call Changed() (and then have the plot
    // ask again: CCtlQVRXOPlot::RefreshOverlay).
    CSidecar& Document() { return m_doc; }
    const CSidecar& Document() const { return m_doc; }
    void Changed() { m_nLoadedChannel = -1; }

    SPlotOverlay Refresh(const CChannelConfig& cfg, const CBandResponse& bands, const CSummedResponse* pSum,
                         int nMask) override;

    // Where each channel's as-measured configuration came from, for the
    // dialog (a configuration file's name; empty: the channel itself when
    // the measurement was attached).  Not part of the document.
    std::wstring asMeasuredFrom[CHANNEL_COUNT];

    // The level the room curves are drawn relative to (dB; 0 when none):
    // the measurement's own, or the typed one.
    double DisplayOffset() const { return m_dOffset; }
    // The room curves of the channel last refreshed (absolute levels).
    const CRoomCurves& RoomCurves() const { return m_room; }

private:
    // Puts the channel's measurements on the grid (on a channel change or
    // after the document changed).
    void Load(int nChannel);
    // The level of the measurement (or the typed one), once it is on the grid.
    double MeasuredLevel() const;

    CSidecar m_doc;
    int m_nLoadedChannel = -1;
    bool m_bHasRoom = false;
    bool m_bHasDrivers = false;
    CRoomCurves m_room;
    CDriverSet m_drivers;
    CSummedResponse m_sumFlat;    // without drivers: what the prediction takes (when the plot's is not current)
    bool m_bSumFlatStale = true;  // m_sumFlat missed recomputations (the plot's sum was taken)
    CSummedResponse m_sumDrivers; // over the drivers: what the plot draws as the sum
    bool m_bSumDriversStale = true;
    double m_dOffset = 0.0;
    // The curves as drawn (shifted by the offset) and the bands over their drivers.
    std::unique_ptr<double[]> m_pdMeasured, m_pdPredicted, m_pdTarget, m_pdMaskMin, m_pdMaskMax;
    std::unique_ptr<double[]> m_apdBand[3];
    std::wstring m_targetLegend;
};
