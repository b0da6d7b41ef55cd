#pragma once
// CDlgConnecting: the "Retrieving Settings..." box shown modelessly while a
// connection reads the unit back.  It has no buttons and no handlers: only
// the main frame removes it (end-of-read marker or failure).

#include "framework/DialogImpl.h"
#include "resources/resource.h"

class CDlgConnecting : public CDialogImpl<CDlgConnecting> {
public:
    enum { IDD = IDD_CONNECTING };

    BEGIN_MSG_MAP(CDlgConnecting)
    END_MSG_MAP()
};
