#pragma once
// The crossover editor form (placeholder until the editor lands): a child
// dialog of the main frame that answers the read-back request by queuing
// the end-of-read marker.

#include "framework/DialogImpl.h"
#include "resources/resource.h"
#include "shell/AppMessages.h"

class CDlgCrossover : public CDialogImpl<CDlgCrossover> {
public:
    enum { IDD = IDD_CROSSOVER };

    BEGIN_MSG_MAP(CDlgCrossover)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_READ_SETTINGS, OnReadSettings)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnReadSettings(UINT, WPARAM, LPARAM, BOOL&);
};
