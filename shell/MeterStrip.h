#pragma once
// The six input meters over the right end of the main frame's toolbar:
// their creation, their place, the unit's polled readings and their reset
// when no unit answers.  The meters are pop-ups owned by the frame (so they
// hide and show with it) and stand in the screen order of the channel
// buttons: Left, Left Center, Center, Right Center, Right, Subwoofer.

#include <windows.h>

#include "editor/InputMeter.h"
#include "model/ChannelConfig.h"

struct utRXQueue;

class CMeterStrip {
public:
    // Creates the six meters, with the toolbar as their parent window and
    // no size (Layout places them).
    void Create(HWND hToolBar);
    // Shows them without activation: they never take the focus.
    void Show();
    // Places them over the right end of the toolbar of frame hFrame.
    void Layout(HWND hFrame, HWND hToolBar);
    // A polled meter reading of the unit; other records change nothing.
    void OnRecord(const utRXQueue& record);
    // Every meter at its lowest reading (no unit answers).
    void Reset();

    // Meter level (dB) of a polled input reading; minus infinity for readings of 0 or less.
    static float ReadingToLevel(float fltValue);

private:
    CInputMeter m_meters[CHANNEL_COUNT];
};
