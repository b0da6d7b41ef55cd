#pragma once
// CDlgProfileInfo: "Profile Information" (dialog 225).  Edits copies of the
// profile's four texts: project name, theater name, screen number and
// comments.  DoModal returns IDOK (1) when confirmed, with the edited texts
// read out of the controls (cut to 31, 31, 3 and 127 characters), or
// IDCANCEL (2) for Cancel, Escape and the close box, with the texts untouched.

#include "framework/DialogImpl.h"
#include "model/ProfileInfo.h"
#include "resources/resource.h"

class CDlgProfileInfo : public CDialogImpl<CDlgProfileInfo> {
public:
    enum { IDD = IDD_PROFILE_INFO };

    explicit CDlgProfileInfo(const CProfileInfo& profile);

    // The texts: as given before DoModal, as edited after an IDOK.
    const CProfileInfo& GetProfile() const { return m_profile; }

    BEGIN_MSG_MAP(CDlgProfileInfo)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCancel(UINT, WPARAM, LPARAM, BOOL&);

    CProfileInfo m_profile; // the dialog's own copies of the four texts
};
