#include "shell/DlgDisconnect.h"

LRESULT CDlgDisconnect::OnAnswer(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    EndDialog(LOWORD(wParam));
    return 0;
}

LRESULT CDlgDisconnect::OnHiddenDefault(UINT, WPARAM, LPARAM, BOOL&)
{
    return 0; // Enter lands here: the question stays open
}
