#include "editor/DlgCopyChannel.h"

#include "model/ChannelConfig.h"

namespace {

// Source buttons and target boxes by channel index 0..4.
constexpr int s_anSources[CDlgCopyChannel::TARGET_COUNT] = {
    IDC_COPY_FROM_LEFT, IDC_COPY_FROM_RIGHT, IDC_COPY_FROM_CENTER, IDC_COPY_FROM_LEFT_CENTER,
    IDC_COPY_FROM_RIGHT_CENTER};
constexpr int s_anTargets[CDlgCopyChannel::TARGET_COUNT] = {
    IDC_COPY_TO_LEFT, IDC_COPY_TO_RIGHT, IDC_COPY_TO_CENTER, IDC_COPY_TO_LEFT_CENTER, IDC_COPY_TO_RIGHT_CENTER};

bool NoCenters() { return (GetSystemFlags() & SYSFLAG_NO_LCR) != 0; }

} // namespace

CDlgCopyChannel::CDlgCopyChannel(int nFrom) : m_nFrom(nFrom), m_bTo{} {}

int CDlgCopyChannel::SourceButton(int nChannel)
{
    const bool bAvailable = nChannel >= 0 && nChannel < TARGET_COUNT &&
                            !(NoCenters() && (nChannel == CHANNEL_LEFT_CENTER || nChannel == CHANNEL_RIGHT_CENTER));
    // Center, the Subwoofer and a channel the unit does not have start from Center.
    return bAvailable ? s_anSources[nChannel] : IDC_COPY_FROM_CENTER;
}

int CDlgCopyChannel::TargetBox(int nChannel)
{
    return nChannel >= 0 && nChannel < TARGET_COUNT ? s_anTargets[nChannel] : 0;
}

LRESULT CDlgCopyChannel::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    ::CheckRadioButton(m_hWnd, IDC_COPY_FROM_LEFT, IDC_COPY_FROM_RIGHT_CENTER, SourceButton(m_nFrom));
    const BOOL bCenters = !NoCenters();
    for (int nId : {IDC_COPY_FROM_LEFT_CENTER, IDC_COPY_FROM_RIGHT_CENTER, IDC_COPY_TO_LEFT_CENTER,
                    IDC_COPY_TO_RIGHT_CENTER})
        ::EnableWindow(GetDlgItem(nId), bCenters);
    return TRUE;
}

LRESULT CDlgCopyChannel::OnCopy(UINT, WPARAM, LPARAM, BOOL&)
{
    // Tested in the order 1100, 1101, 1102, 1103, 1105: the last checked one wins.
    for (int c = 0; c < TARGET_COUNT; ++c)
        if (::IsDlgButtonChecked(m_hWnd, s_anSources[c]) == BST_CHECKED)
            m_nFrom = c;
    for (int c = 0; c < TARGET_COUNT; ++c)
        m_bTo[c] = ::IsDlgButtonChecked(m_hWnd, s_anTargets[c]) == BST_CHECKED &&
                   ::IsWindowEnabled(GetDlgItem(s_anTargets[c]));
    EndDialog(IDOK);
    return 0;
}

LRESULT CDlgCopyChannel::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}
