#pragma once
// CDlgSelectDevice: lists the attached units described "QVR500 USB" with
// their serial numbers (after "None") and, on OK, makes the chosen one the
// queue's device number.  Choosing does not connect.

#include <string>

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

    // After OK: the serial number of the chosen unit; empty for "None".
    const std::wstring& GetChosenSerial() const { return m_strChosenSerial; }
    // The index of the attached unit listed with this serial number, or -1
    // (none attached, or an empty serial).
    static int FindListedDevice(const std::wstring& serial);

private:
    std::wstring m_strChosenSerial;

    void AddItem(const wchar_t* pszText, int nDevice);
};
