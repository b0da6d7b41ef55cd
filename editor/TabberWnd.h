#pragma once
// The subclass of each numeric edit field of the editor form: filters the
// typed and pasted characters (a beep for anything else), tells the form when the
// field gets the focus, when a key goes down and when a key release leaves
// a changed, valid text, and keeps the field's error flag that the form
// sets after its range check and reads when it colours the field.  The
// edit control's own undo is off: the editor's history takes changes back,
// and a text reverted behind its back would no longer be what was applied.

#include <string>

#include "framework/WindowImplBase.h"
#include "framework/AppMessages.h"

class CTabberWnd : public CWindowImplBase {
public:
    explicit CTabberWnd(bool bAllowDecimalPoint) : m_bAllowDecimalPoint(bAllowDecimalPoint) {}

    BEGIN_MSG_MAP(CTabberWnd)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
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

private:
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL&);
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
};
