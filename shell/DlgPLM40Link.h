#pragma once
// CDlgPLM40Link: the small link window shown while this program is linked
// with the sibling cinema-processor program.  Its two icon buttons bring
// either program's main window to the front.  A modeless dialog whose
// parent is the desktop; it has no close box: the link's end closes it.

#include "framework/DialogImpl.h"
#include "framework/Handles.h"
#include "resources/resource.h"

class CDlgPLM40Link : public CDialogImpl<CDlgPLM40Link> {
public:
    enum { IDD = IDD_PLM40LINK };

    BEGIN_MSG_MAP(CDlgPLM40Link)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDC_LINK_QVR, OnQVR)
        COMMAND_ID_HANDLER(IDC_LINK_PLM, OnPLM)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnQVR(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPLM(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCancel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

private:
    HICON hQVR = nullptr; // icon 100, this program
    HICON hPLM = nullptr; // icon 227, the sibling program
};
