#pragma once
// The channel level of the form: the vertical trackbar (+8 dB at the top,
// -22 dB at the bottom, steps of 0.5 dB, the selection mark at 0 dB) and
// its readout.  A press held until the release (or one key) is one step of
// Undo; the level is sent as the thumb moves and the curves follow at the
// release.  The trackbar paints its own slot (while it has the focus) and
// thumb.

#include <windows.h>
#include <commctrl.h>

#include "framework/ContainedWindow.h"

class CCtlQVRXOPlot;
class CEditRecorder;

class CLevelControl {
public:
    CLevelControl(CCtlQVRXOPlot& workingCopy, CEditRecorder& recorder);
    CLevelControl(const CLevelControl&) = delete;
    CLevelControl& operator=(const CLevelControl&) = delete;

    // Takes the form's trackbar and readout and sets the trackbar's range.
    void Attach(HWND hForm);
    // Shows the working copy's level.
    void Show();
    // WM_VSCROLL of the form; false when hScroll is not the level's trackbar.
    bool OnScroll(WPARAM wParam, HWND hScroll);
    // NM_CUSTOMDRAW of the trackbar.
    LRESULT OnCustomDraw(const NMCUSTOMDRAW& cd);

private:
    void SetText(float fltLevel);

    CCtlQVRXOPlot& m_workingCopy;
    CEditRecorder& m_recorder;
    HWND m_hForm = nullptr;
    CContainedWindow m_wndLevel;
    CContainedWindow m_wndLevelText;
    bool m_bFocus = false; // the trackbar had the focus when its paint began
};
