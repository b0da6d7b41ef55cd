#pragma once
// The response plot of the crossover editor (control 209 of the editor form,
// window class "QVRXOPlot").  It draws the magnitude curves of the channel on
// show against a logarithmic frequency axis (25 Hz .. 20 kHz) and a decibel
// axis (+24 .. -60 dB), on request their sum and its phase (View menu), and
// shows one draggable handle, the adjuster, for the filter the user works on.  Dragging changes the channel with sending on and
// posts WM_ADJUSTER_MOVED to the parent.  The control is itself the working
// copy of the shown channel.
//
// The class "QVRXOPlot" is registered once at start-up with the default
// window procedure (RegisterPlotClass, below); the form's
// template creates the control and the form subclasses it with this object.

#include <windows.h>

#include <vector>

#include "framework/DpiScale.h"
#include "framework/Handles.h"
#include "framework/WindowImplBase.h"
#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/PlotGeometry.h"
#include "model/PlotOverlay.h"
#include "model/PlotOverlayPainter.h"
#include "model/SummedResponse.h"

class CCtlQVRXOPlot : public CWindowImplBase, public CChannelConfig {
public:
    static constexpr const wchar_t* CLASS_NAME = L"QVRXOPlot";
    static constexpr UINT_PTR DRAG_TIMER = 1;
    static constexpr UINT DRAG_PERIOD_MS = 20;

    // The drawing takes the screen's resolution (CDpiScale::FromScreen).
    explicit CCtlQVRXOPlot(int nChannel);
    ~CCtlQVRXOPlot() override;

    // Draws at another resolution from now on (the fonts are made anew).
    void SetScale(const CDpiScale& scale);
    const CDpiScale& GetScale() const { return m_scale; }
    // The geometry of the last paint (drawing area and resolution).
    CPlotGeometry GetGeometry() const;

    BEGIN_MSG_MAP(CCtlQVRXOPlot)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_CAPTURECHANGED, OnCaptureChanged)
    END_MSG_MAP()

    // Recomputes the band curves of the mask (4 Low, 2 Mid, 1 High, 7 all)
    // and asks for a repaint.
    void RecalcBands(int nMask);
    // The summed response as a fourth curve, drawn over the bands, and its
    // phase as a dotted curve with its own -180..+180 degree scale at the
    // area's right edge; both off at construction (the drawing is then the
    // bands' alone).  Turning one on computes the sum; while either is on,
    // every recomputation of the curves recomputes it too.
    void ShowSum(bool bShow);
    void ShowPhase(bool bShow);
    bool IsSumShown() const { return m_bShowSum; }
    bool IsPhaseShown() const { return m_bShowPhase; }
    // The sum as last computed (current while the sum or the phase is shown).
    const CSummedResponse& GetSum() const { return m_sum; }
    // y of a phase in degrees on the phase scale (+180 at the area's top,
    // -180 at its bottom), on the geometry of the last paint.
    int PhaseToY(double dDegrees) const;

    // The overlay (model/PlotOverlay.h): the source is asked for it after
    // every recomputation of the curves; nullptr draws none.  The source is
    // not owned and must outlive the plot or be taken away first.
    void SetOverlaySource(IPlotOverlaySource* pSource);
    // The source's data changed (a measurement attached or removed, another
    // target): asks it again and repaints.
    void RefreshOverlay();
    // The View menu's overlay curves, all off at construction.
    void ShowOverlayCurve(EOverlayCurve e, bool bShow);
    bool IsOverlayCurveShown(EOverlayCurve e) const { return m_overlayPainter.IsShown(e); }
    const SPlotOverlay& GetOverlay() const { return m_overlay; }
    // Point ranges where the drawn prediction leaves the drawn mask (shaded).
    const std::vector<std::pair<int, int>>& GetOutsideRuns() { return m_overlayPainter.OutsideRuns(m_overlay); }

    // Highlights adjuster 0 (none) .. 10; other numbers are ignored.
    void SelectAdjuster(int nAdjuster);
    int GetAdjuster() const { return m_nAdjuster; }

    // The drawing area of the last paint and the handles' hit rectangles.
    const RECT& GetPlotRect() const { return m_rcPlot; }
    const RECT& GetAdjusterRect() const { return m_rcAdjuster; }
    const RECT& GetQLeftRect() const { return m_rcQLeft; }
    const RECT& GetQRightRect() const { return m_rcQRight; }
    bool IsDragging() const { return m_bDragging != 0; }
    const CBandResponse& GetResponse() const { return m_response; }

    // Draws the whole control into a DC of the client's size (the erase
    // handler draws through an off-screen bitmap with it).
    void Draw(HDC hdc, const RECT& rcClient);

private:
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&);

    void CreateFonts();
    void DrawCurve(HDC hdc, const CPlotGeometry& geo, const float* pfltBand, HPEN hPen);
    void DrawBand(HDC hdc, const CPlotGeometry& geo, int nIndex, const float* pfltBand, HPEN hPen);
    void DrawSum(HDC hdc, const CPlotGeometry& geo);
    void DrawPhaseScale(HDC hdc, const CPlotGeometry& geo);
    void DrawPhase(HDC hdc, const CPlotGeometry& geo);
    // Recomputes the band curves of nMask and, while it is shown, the sum.
    void RecalcCurves(int nMask);
    void ShowView(bool& bFlag, bool bShow);
    // The sum, when it is kept current (while it or its phase is shown).
    const CSummedResponse* SumIfCurrent() const { return m_bShowSum || m_bShowPhase ? &m_sum : nullptr; }
    void DrawAdjuster(HDC hdc, const CPlotGeometry& geo);
    void DragStep();
    void EndDrag();

    CDpiScale m_scale; // before the fonts, which are made at its size
    // Members in the order of the drawing's description.
    CFont m_fntdB;      // decibel labels
    CFont m_fntBand;    // frequency labels, running upwards
    CPen m_pnHash;      // grid
    CPen m_pnHigh;
    CPen m_pnMid;
    CPen m_pnLow;
    CPen m_pnAdjuster;
    CBrush m_brAdjuster;
    CPen m_pnSum;
    CPen m_pnPhase;      // dotted
    CPen m_pnPhaseScale; // the scale's ticks
    int m_nAdjuster = 0;
    RECT m_rcAdjuster{};
    RECT m_rcQLeft{};
    RECT m_rcQRight{};
    RECT m_rcPlot{};
    BOOL m_bDragging = 0;
    BOOL m_bDragQ = 0;
    POINT m_ptMouse{};
    CBandResponse m_response; // the band curves and the frequency grid
    CSummedResponse m_sum;
    bool m_bShowSum = false;
    bool m_bShowPhase = false;
    IPlotOverlaySource* m_pOverlaySource = nullptr;
    SPlotOverlay m_overlay;
    CPlotOverlayPainter m_overlayPainter;

    // Off-screen bitmap, kept while the client size stays the same.
    CBitmap m_bmpOffscreen;
    SIZE m_sizeOffscreen{};
    std::vector<POINT> m_aptCurve; // one curve's points, allocated once
    std::vector<DWORD> m_adwRuns;  // the phase curve's unbroken stretches
};

// Registers the window class "QVRXOPlot" (once, at start-up, before the editor
// form's template creates the control); returns the class atom.
ATOM RegisterPlotClass();
