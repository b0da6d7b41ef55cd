#include "editor/EditorDialogs.h"

#include "device/Comm.h"
#include "editor/DlgCopyChannel.h"
#include "editor/DlgProfileInfo.h"
#include "editor/EditRecorder.h"
#include "editor/EditStepNames.h"
#include "editor/EditorView.h"
#include "editor/TextMemorySync.h"
#include "model/ConfigurationSet.h"
#include "speakerlib/DlgSpeakerLib.h"

void CEditorDialogs::SpeakerLibrary()
{
    // The button is disabled for the Subwoofer: no preset is meant for it.
    m_view.DropHeldValue();
    const int nShown = m_config.ShownChannel();
    if (nShown < 0 || nShown >= CHANNEL_SUBWOOFER)
        return;
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::SpeakerLibrary());
    // The dialog starts from the shown channel with its edits, and the
    // preset's values are sent against them.
    m_config.StoreShown();
    CDlgSpeakerLib dlg(m_config.Record(nShown), m_config.Shown().GetMode());
    if (dlg.DoModal(m_view.FormWindow()) != IDOK)
        return;
    // Left, Left Center, Center, Right Center, Right: the preset's keys and
    // name on each channel's own record (its level, channel delay and
    // Mute/Invert stay its own); each changed value is sent.
    for (int i = 0; i < 5; ++i) {
        const CDlgSpeakerLib::SChannelBit& b = CDlgSpeakerLib::ChannelBits()[i];
        if (dlg.GetChannelMask() & b.dwBit)
            dlg.GetPreset().ApplyTo(m_config.Record(b.nChannel), true);
    }
    if (g_Comm.IsOpen())
        m_textMemory.Write(); // the speaker names live in the unit's text memory
    // The channel shown now (the sibling program may have changed it while
    // the dialog was open) takes its entry's values.
    m_config.LoadShown();
    m_view.RefreshAll();
}

void CEditorDialogs::CopyChannel()
{
    m_view.DropHeldValue(); // the dialog would otherwise take the focus and leave the unit playing it
    const int nShown = m_config.ShownChannel();
    if (!CConfigurationSet::IsChannel(nShown))
        return;
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::CopyChannel());
    // Edits of the shown channel are copied too.
    m_config.StoreShown();
    CDlgCopyChannel dlg(nShown);
    if (dlg.DoModal(m_view.FormWindow()) != IDOK)
        return;
    if (dlg.m_nFrom >= 0 && dlg.m_nFrom < CDlgCopyChannel::TARGET_COUNT) {
        const CChannelConfig& source = m_config.Record(dlg.m_nFrom);
        for (int i = 0; i < CDlgCopyChannel::TARGET_COUNT; ++i)
            if (dlg.m_bTo[i])
                m_config.Record(i).Assign(source, true);
    }
    m_config.LoadShown();
    m_view.RefreshAll();
    m_textMemory.Write(); // queues nothing while the link is closed
}

void CEditorDialogs::ProfileInformation()
{
    m_view.DropHeldValue();
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::ProfileInformation());
    CProfileInfo& profile = m_config.Profile();
    CDlgProfileInfo dlg(profile);
    if (dlg.DoModal(m_view.FormWindow()) != IDOK)
        return;
    const CProfileInfo& edited = dlg.GetProfile();
    profile.SetProject(edited.Project());
    profile.SetTheater(edited.Theater());
    profile.SetScreen(edited.Screen());
    profile.SetComments(edited.Comments());
    m_textMemory.Write();
}
