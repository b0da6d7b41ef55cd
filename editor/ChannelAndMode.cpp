#include "editor/ChannelAndMode.h"

#include <cstdint>

#include "device/Comm.h"
#include "editor/ChannelButtons.h"
#include "editor/EditRecorder.h"
#include "editor/EditorView.h"
#include "editor/ReadBack.h"
#include "framework/AppGlobals.h"
#include "framework/ExeModule.h"
#include "model/ConfigurationSet.h"
#include "model/ParameterMap.h"
#include "resources/resource.h"

void CChannelAndMode::CheckButton(int nButton)
{
    ::CheckRadioButton(m_view.FormWindow(), IDC_CH_LEFT, IDC_CH_SUBWOOFER, nButton);
}

int CChannelAndMode::SelectChannel(int nButton)
{
    const int nChannel = CChannelButtons::ChannelOfButton(nButton);
    if (nChannel < 0 || nChannel == m_config.ShownChannel())
        return -1;
    m_view.DropHeldValue(); // it belongs to the channel it was typed on, and the user has not confirmed it
    m_recorder.End();       // a field's edit belongs to the channel it was made on
    // During a read-back the set holds the unit's values as they arrive and
    // the form takes no edits: the working copy has nothing to give back.
    m_config.Show(nChannel, !m_readBack.IsActive());
    m_view.RefreshAll();
    return CChannelButtons::SiblingNumberOfButton(nButton);
}

void CChannelAndMode::ShowChannel(int nChannel)
{
    const int nButton = CChannelButtons::ButtonOfChannel(nChannel);
    if (nButton < 0)
        return;
    const int nSibling = SelectChannel(nButton);
    CheckButton(nButton);
    if (nSibling != -1 && g_hWndSibling)
        ::PostMessageW(g_hWndSibling, g_uMsgChannelChange, static_cast<WPARAM>(nSibling), 0);
}

void CChannelAndMode::OnSiblingChannel(int nNumber)
{
    const int nButton = CChannelButtons::ButtonOfSiblingNumber(nNumber);
    // A unit without Left Center and Right Center has them disabled: the
    // sibling's number for one is not a channel of this unit.
    const int nChannel = CChannelButtons::ChannelOfButton(nButton);
    if ((nChannel == CHANNEL_LEFT_CENTER || nChannel == CHANNEL_RIGHT_CENTER) &&
        (GetSystemFlags() & SYSFLAG_NO_LCR) != 0)
        return;
    SelectChannel(nButton);
    CheckButton(nButton);
}

void CChannelAndMode::ShowMode(int nMode)
{
    ::CheckRadioButton(m_view.FormWindow(), IDC_BIAMP, IDC_TRIAMP, nMode == MODE_BIAMP ? IDC_BIAMP : IDC_TRIAMP);
}

void CChannelAndMode::ChangeMode()
{
    m_view.DropHeldValue();
    const HWND hForm = m_view.FormWindow();
    if (g_Module.ShowMessage(hForm, IDS_MODE_WARNING, IDS_APP_TITLE, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        ShowMode(m_config.Shown().GetMode());
        return;
    }
    const int nMode = ::IsDlgButtonChecked(hForm, IDC_BIAMP) == BST_CHECKED ? MODE_BIAMP : MODE_TRIAMP;
    std::uint32_t dwFlags = GetSystemFlags() | SYSFLAG_MUTE;
    if (nMode == MODE_BIAMP)
        dwFlags |= SYSFLAG_BIAMP;
    else
        dwFlags &= ~SYSFLAG_BIAMP;
    SetSystemFlags(dwFlags, true);
    // The mode change resets values of the channel set; the shown channel
    // takes part through the set, so its edits are stored first and the
    // reset values are reloaded after (nothing more is sent by either copy).
    m_config.StoreShown();
    ApplyMode(m_config.Records(), m_config.Shown(), nMode, true);
    m_recorder.Clear(); // every channel changed mode: no step reaches back over it
    m_config.LoadShown();
    // While connected, the unit's values after the mode change reach the
    // screen when the marker behind the channel reads arrives.
    if (g_Comm.IsOpen())
        m_readBack.Reread();
    else
        m_view.RefreshAll();
}
