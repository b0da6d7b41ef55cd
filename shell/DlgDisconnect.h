#pragma once
// CDlgDisconnect: "Disconnect and save changes to the QVR500?"  Ends with
// IDOK (Yes), IDCANCEL (No, Escape, close box) or IDC_DO_NOT_SAVE.  Its
// default push button is the invisible IDC_HIDDEN_DEFAULT, which does
// nothing, so Enter alone never answers the question.

#include "framework/DialogImpl.h"
#include "resources/resource.h"

class CDlgDisconnect : public CDialogImpl<CDlgDisconnect> {
public:
    enum { IDD = IDD_DISCONNECT };

    BEGIN_MSG_MAP(CDlgDisconnect)
        COMMAND_ID_HANDLER(IDOK, OnAnswer)
        COMMAND_ID_HANDLER(IDCANCEL, OnAnswer)
        COMMAND_ID_HANDLER(IDC_DO_NOT_SAVE, OnAnswer)
        COMMAND_ID_HANDLER(IDC_HIDDEN_DEFAULT, OnHiddenDefault)
    END_MSG_MAP()

    LRESULT OnAnswer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnHiddenDefault(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
};
