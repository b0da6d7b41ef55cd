#pragma once
// The waiting state of the editor's typed fields.  A value that could harm a
// driver on its way to the one the user means (a gain rising more than 6 dB
// above what the field held, a high-pass frequency falling more than an
// octave below it: CFieldRules::HarmfulJump), and text that holds no number
// yet, are shown but not applied; the field says so with colours of its own
// (not the red of an out-of-range text) and the status bar says that Enter
// applies it.  Enter, Tab or the focus leaving the field apply it.

#include <windows.h>

#include <string_view>

#include "editor/FieldRules.h"
#include "framework/Handles.h"

class CTabberWnd;

class CWaitingFields {
public:
    // Black on amber: set apart from the yellow on red of an error.
    static constexpr COLORREF RGB_WAITING_TEXT = 0x000000;
    static constexpr COLORREF RGB_WAITING_BACK = 0x80DDFF;

    CWaitingFields();

    // At a key release that left valid text: true when the value may be
    // applied now; otherwise the field waits (and shows it).  hForm is the
    // editor form, whose parent shows the status text.
    bool MayApply(HWND hForm, CTabberWnd& field, const SFieldRule& rule, std::u16string_view text);
    // The field's text no longer waits: applied, rewritten by the program or
    // turned red.
    void Clear(HWND hForm, CTabberWnd& field);
    // The field's colours while it waits (WM_CTLCOLOREDIT); nullptr when it
    // does not wait.
    HBRUSH Colour(HDC hdc, const CTabberWnd& field) const;

private:
    void Show(HWND hForm, CTabberWnd& field, bool bWaiting, const std::u16string& hint);

    CBrush m_hbrWaiting;
};
