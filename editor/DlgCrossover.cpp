#include "editor/DlgCrossover.h"

#include "device/Advise.h"
#include "device/Comm.h"

LRESULT CDlgCrossover::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    g_Advise.Advise(m_hWnd);
    return TRUE;
}

LRESULT CDlgCrossover::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    g_Advise.Unadvise(m_hWnd);
    bHandled = FALSE;
    return 0;
}

LRESULT CDlgCrossover::OnReadSettings(UINT, WPARAM, LPARAM, BOOL&)
{
    // End-of-read marker: a GET of parameter 32.
    g_Comm.QueueRequest(false, 0, 32, 0.0f);
    return 0;
}
