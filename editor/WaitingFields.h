#pragma once
// The waiting (held) state of the editor's typed fields.  A value that could
// harm a driver on its way to the one the user means (a gain rising more than
// 6 dB above the value the unit plays now, a high-pass frequency falling more
// than an octave below it: CFieldRules::HarmfulJump), and text that holds no
// number yet, are shown but not applied; the field says so with colours of
// its own (not the red of an out-of-range text) and the status bar says that
// Enter applies it.  Only the user confirms it (Enter, Tab, a click into
// another control of the form); whatever the program does first drops it
// (CDlgCrossover::DropHeldValue), and the status bar then says so until the
// user types again or moves to another field.

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
    // applied now, judged against fltApplied (the field's value in use, the
    // last one applied by any means); otherwise the field waits (and shows
    // it).  hForm is the editor form, whose parent shows the status text.
    bool MayApply(HWND hForm, CTabberWnd& field, const SFieldRule& rule, std::u16string_view text,
                  float fltApplied);
    // The field's text no longer waits: applied, rewritten by the program or
    // turned red.
    void Clear(HWND hForm, CTabberWnd& field);
    // The field's held value was dropped and it shows appliedText again: the
    // status bar says the typed value was not applied.
    void ShowDropped(HWND hForm, const CTabberWnd& field, const std::u16string& appliedText);
    // A field gets the focus: the word about a value dropped in another field
    // goes (the one about this field stays, as after a dialog that closed).
    void OnFocus(HWND hForm, const CTabberWnd& field);
    // The field's colours while it waits (WM_CTLCOLOREDIT); nullptr when it
    // does not wait.
    HBRUSH Colour(HDC hdc, const CTabberWnd& field) const;

private:
    void Show(HWND hForm, CTabberWnd& field, bool bWaiting, const std::u16string& hint);
    void ForgetDropped(HWND hForm);
    static void SendHint(HWND hForm, const std::u16string* pHint);

    CBrush m_hbrWaiting;
    // The field whose dropped value the status bar names, or nullptr.
    const CTabberWnd* m_pDropped = nullptr;
};
