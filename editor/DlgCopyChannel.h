#pragma once
// The Copy Channel dialog (226): one source channel and any of the other
// screen channels as targets, in screen order.  The Subwoofer takes no part;
// Left Center and Right Center take no part when the unit has no such
// outputs (system flags bit 1).  The caller reads m_nFrom and m_bTo after
// the dialog ended with IDOK.

#include <windows.h>

#include "framework/DialogImpl.h"
#include "resources/resource.h"

class CDlgCopyChannel : public CDialogImpl<CDlgCopyChannel> {
public:
    enum { IDD = IDD_COPY_CHANNEL };
    static constexpr int TARGET_COUNT = 5; // channel indexes 0..4

    explicit CDlgCopyChannel(int nFrom);

    BEGIN_MSG_MAP(CDlgCopyChannel)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDOK, OnCopy)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    // The source button of a channel index, and the target box.
    static int SourceButton(int nChannel);
    static int TargetBox(int nChannel);

    int m_nFrom;                 // source channel index
    BOOL m_bTo[TARGET_COUNT];    // targets by channel index

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCopy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCancel(UINT, WPARAM, LPARAM, BOOL&);
};
