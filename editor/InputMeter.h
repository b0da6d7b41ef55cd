#pragma once
// CInputMeter: the input level of one channel as a column of seven labelled
// segments (+2 .. -10 dB), lit when the level reaches their threshold.  It
// only draws: mouse input falls through to the window underneath, and it
// cannot be closed on its own.

#include "framework/DpiScale.h"
#include "framework/Handles.h"
#include "framework/WindowImpl.h"

class CInputMeter : public CWindowImpl<CInputMeter> {
public:
    static CWndClassInfo GetWndClassInfo() { return {L"QVRInputMeter", 0, nullptr, IDC_ARROW}; }

    static constexpr int SEGMENT_COUNT = 7;
    static constexpr float LEVEL_OFF = -80.0f;

    // The drawing takes the screen's resolution (CDpiScale::FromScreen).
    CInputMeter();
    ~CInputMeter() override;

    // Draws at another resolution from now on (the font is made anew).
    void SetScale(const CDpiScale& scale);
    const CDpiScale& GetScale() const { return m_scale; }
    // The resolution a meter nHeight pixels high draws at: the column of
    // segments ends 67 pixels down at 96 dpi, and where the meter is given
    // less room than that times sy (its height follows the menu bar and the
    // toolbar, which do not grow exactly with the resolution), the column's
    // vertical figures shrink to fit, never below those of 96 dpi.
    CDpiScale DrawingScale(int nHeight) const;
    // Segment nSegment (0 = top) of the meter of the last WM_SIZE: 26 x 11
    // pixels at 96 dpi, centred, 9 pixels below the one above (so that they
    // overlap by 2), the first at y = 2.
    RECT SegmentRect(int nSegment) const;

    // Stores the level (dB) and repaints, only when it changed.
    void SetLevel(float fltLevel);
    float GetLevel() const { return m_fltLevel; }

    // Whether segment nSegment (0 = top "+2" .. 6 = bottom "-10") is lit at a level.
    static bool IsSegmentLit(int nSegment, float fltLevel);

    BEGIN_MSG_MAP(CInputMeter)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
    END_MSG_MAP()

    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnEraseBkgnd(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

private:
    void CreateLabelFont();

    CDpiScale m_scale;
    CDpiScale m_scaleDrawn; // m_scale fitted to the client height
    float m_fltLevel = LEVEL_OFF;
    int m_cxClient = 0;
    int m_cyClient = 0;
    CMemDC m_dcMem;
    CBitmap m_bmpMem;
    HGDIOBJ m_hbmOld = nullptr;  // the memory DC's own bitmap while ours is selected
    CFont m_fntDB;
    CBrush m_brushLevelHigh;
    CBrush m_brushLevelHighDim;
    CBrush m_brushLevelNormal;
    CBrush m_brushLevelNormalDim;
    CBrush m_brushLevelLow;
    CBrush m_brushLevelLowDim;
    CPen m_penOutline;
};
