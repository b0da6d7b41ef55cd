#pragma once
// The form's controls that are not fields: which of them the shown channel
// and mode enable (the Subwoofer has the Low band only, Biamp no Mid band),
// and the buttons that edit the shown channel directly: Mute and Invert of
// each band and the HP filter's Q pair.  Each click is one step of Undo and
// is sent.

#include <windows.h>

class CCtlQVRXOPlot;
class CEditRecorder;

class CBandButtons {
public:
    CBandButtons(CCtlQVRXOPlot& workingCopy, CEditRecorder& recorder) : m_workingCopy(workingCopy), m_recorder(recorder)
    {
    }
    CBandButtons(const CBandButtons&) = delete;
    CBandButtons& operator=(const CBandButtons&) = delete;

    // Enables the controls the shown channel and mode have (the Subwoofer's
    // Low LP Freq. is read-only), disables the others.
    void ShowEnabled(HWND hForm) const;
    // Checks the HP Q and Mute/Invert buttons as the working copy has them.
    void ShowChecked(HWND hForm) const;
    // A Mute or Invert button was clicked: its band's flag toggles.
    void OnFlagButton(int nButton);
    // An HP Q button was clicked: the checked one is the Q.
    void OnHPQ(HWND hForm);

private:
    CCtlQVRXOPlot& m_workingCopy;
    CEditRecorder& m_recorder;
};
