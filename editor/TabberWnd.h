#pragma once
// The subclass of each numeric edit field of the editor form: filters the
// typed and pasted characters (a beep for anything else), tells the form when the
// field gets the focus, when a key goes down and when a key release leaves
// a changed, valid text, and keeps the field's error flag that the form
// sets after its range check and reads when it colours the field.  The
// edit control's own undo is off: the editor's history takes changes back,
// and a text reverted behind its back would no longer be what was applied.
//
// A field also knows whether its text waits (is held): shown but not
// applied, because the value could harm a driver on its way
// (CFieldRules::HarmfulJump) or the text holds no number yet.  The form
// decides it at each key release against the value in use.  Enter and Tab
// ask the form to apply a held value (WM_FIELD_COMMIT); the focus leaving
// tells the form where it went (WM_FIELD_LEAVE), which applies the value
// only when that is the user's move to another control of the form and
// drops it otherwise.

#include <string>

#include "framework/WindowImplBase.h"
#include "framework/AppMessages.h"

class CTabberWnd : public CWindowImplBase {
public:
    explicit CTabberWnd(bool bAllowDecimalPoint) : m_bAllowDecimalPoint(bAllowDecimalPoint) {}

    BEGIN_MSG_MAP(CTabberWnd)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
        MESSAGE_HANDLER(WM_CHAR, OnChar)
        MESSAGE_HANDLER(WM_PASTE, OnPaste)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_KEYUP, OnKeyUp)
        MESSAGE_HANDLER(WM_GET_FIELD_ERROR, OnGetFieldError)
        MESSAGE_HANDLER(WM_SET_FIELD_ERROR, OnSetFieldError)
        MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        MESSAGE_HANDLER(WM_UNDO, OnOwnUndo)
        MESSAGE_HANDLER(EM_UNDO, OnOwnUndo)
        MESSAGE_HANDLER(EM_CANUNDO, OnOwnUndo)
    END_MSG_MAP()

    // A field's text, at most 31 units as the range check reads it.
    static std::u16string FieldText(HWND hWnd);

    // The text is red: out of range, never applied.
    bool HasError() const { return m_bError; }
    // The text is shown but not applied yet (see above).
    bool IsWaiting() const { return m_bWaiting; }
    void SetWaiting(bool bWaiting) { m_bWaiting = bWaiting; }

private:
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnChar(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaste(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetFieldError(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetFieldError(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOwnUndo(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&);

    const bool m_bAllowDecimalPoint;
    bool m_bError = false;
    bool m_bWaiting = false;
};
