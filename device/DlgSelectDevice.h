#pragma once
// CDlgSelectDevice: lists the attached units described "QVR500 USB" with
// their serial numbers (after "None") and, on OK, makes the chosen one the
// queue's device number.  Choosing does not connect.

#include "framework/DialogImpl.h"
#include "resources/resource.h"

class CDlgSelectDevice : public CDialogImpl<CDlgSelectDevice> {
public:
    enum { IDD = IDD_SELECT_DEVICE };

    BEGIN_MSG_MAP(CDlgSelectDevice)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnOK(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCancel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

private:
    void AddItem(const wchar_t* pszText, int nDevice);
};
