#pragma once
// The crossover editor form (dialog 308): a modeless child of the main
// frame that shows one channel at a time and owns the configuration
// (CConfigurationSet: the six records, the profile, and the response plot,
// which is the working copy of the shown channel).  Every edit goes through
// a setter of the working copy with sending on, so a connected unit follows
// it.  The read-back, Undo and Redo and the commands that open dialogs see
// the form only as an IEditorView.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "editor/BandButtons.h"
#include "editor/ChannelAndMode.h"
#include "editor/EditRecorder.h"
#include "editor/EditorDialogs.h"
#include "editor/EditorView.h"
#include "editor/LevelControl.h"
#include "editor/TabberWnd.h"
#include "editor/TextMemorySync.h"
#include "editor/WaitingFields.h"
#include "framework/ContainedWindow.h"
#include "framework/DialogImpl.h"
#include "framework/Handles.h"
#include "model/ChannelConfig.h"
#include "model/ConfigurationSet.h"
#include "model/CtlQVRXOPlot.h"
#include "editor/ReadBack.h"
#include "resources/resource.h"
#include "framework/AppMessages.h"

struct SFieldRule;
struct utRXQueue;
struct ConfigResult;

class CDlgCrossover : public CDialogImpl<CDlgCrossover>, private IEditorView {
public:
    enum { IDD = IDD_CROSSOVER };

    CDlgCrossover();
    ~CDlgCrossover() override;

    BEGIN_MSG_MAP(CDlgCrossover)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_VSCROLL, OnVScroll)
        MESSAGE_HANDLER(WM_CTLCOLOREDIT, OnCtlColorEdit)
        NOTIFY_HANDLER(IDC_LEVEL, NM_CUSTOMDRAW, OnLevelCustomDraw)
        MESSAGE_HANDLER(WM_FIELD_FOCUS, OnFieldFocus)
        MESSAGE_HANDLER(WM_FIELD_CHANGED, OnFieldChanged)
        MESSAGE_HANDLER(WM_FIELD_KEYDOWN, OnFieldKeyDown)
        MESSAGE_HANDLER(WM_FIELD_COMMIT, OnFieldCommit)
        MESSAGE_HANDLER(WM_FIELD_LEAVE, OnFieldLeave)
        MESSAGE_HANDLER(WM_ADJUSTER_MOVED, OnAdjusterMoved)
        MESSAGE_HANDLER(WM_READ_SETTINGS, OnReadSettings)
        MESSAGE_HANDLER(WM_COMM_DATA, OnCommData)
        MESSAGE_HANDLER(WM_COMM_PACKET, OnCommPacket)
        MESSAGE_HANDLER(WM_COMM_MARKER, OnCommMarker)
        MESSAGE_HANDLER(WM_COMM_FAILURE, OnCommFailure)
        MESSAGE_HANDLER(WM_SELECT_CHANNEL, OnSelectChannel)
        MESSAGE_HANDLER(WM_ADJUSTER_DRAG, OnAdjusterDrag)
        COMMAND_CODE_HANDLER(EN_UPDATE, OnFieldUpdate)
        COMMAND_CODE_HANDLER(EN_KILLFOCUS, OnFieldKillFocus)
        COMMAND_RANGE_HANDLER(IDC_CH_LEFT, IDC_CH_SUBWOOFER, OnChannelButton)
        COMMAND_RANGE_HANDLER(IDC_BIAMP, IDC_TRIAMP, OnModeButton)
        COMMAND_ID_HANDLER(IDC_LOW_MUTE, OnMuteInvert)
        COMMAND_ID_HANDLER(IDC_LOW_INVERT, OnMuteInvert)
        COMMAND_ID_HANDLER(IDC_MID_MUTE, OnMuteInvert)
        COMMAND_ID_HANDLER(IDC_MID_INVERT, OnMuteInvert)
        COMMAND_ID_HANDLER(IDC_HIGH_MUTE, OnMuteInvert)
        COMMAND_ID_HANDLER(IDC_HIGH_INVERT, OnMuteInvert)
        COMMAND_RANGE_HANDLER(IDC_HP_Q_707, IDC_HP_Q_2, OnHPQ)
        COMMAND_ID_HANDLER(IDC_SPEAKER, OnSpeakerLibrary)
        COMMAND_ID_HANDLER(ID_COPY_CHANNEL, OnCopyChannel)
        COMMAND_ID_HANDLER(ID_PROFILE_INFO, OnProfileInformation)
        COMMAND_ID_HANDLER(ID_EDIT_UNDO, OnUndoRedo)
        COMMAND_ID_HANDLER(ID_EDIT_REDO, OnUndoRedo)
    END_MSG_MAP()

    // Refreshes every control from the working copy (mode, enabled states,
    // fields, HP Q, Mute/Invert, speaker name).
    void UpdateControls();
    // Refreshes the level trackbar and its readout.
    void UpdateLevelControls();
    // Writes (0) or reads (1) a configuration file through an open handle;
    // bReset writes factory defaults.  1 on success, 0 when a read finds no
    // complete configuration file or a write fails; pResult (if given) then
    // says why.  A read asks gate (when given) once the whole file has been
    // read, before anything is applied: its No leaves everything as it was.
    int SerializeConfig(HANDLE hFile, int nDirection, BOOL bReset, ConfigResult* pResult = nullptr,
                        const std::function<bool(const std::uint8_t*, std::size_t)>& gate = {});

    // A read-back of the unit runs (from WM_READ_SETTINGS, or after a mode
    // change while connected, until its end-of-read marker): the form takes
    // no input meanwhile, so nothing edited can be overwritten by a reply
    // that was already on its way.
    bool IsReadingBack() const override { return m_readBack.IsActive(); }
    // Connect opened the link: the form takes no input from now until the
    // read-back ends, and keeps its configuration for a read-back that fails.
    void HoldForReadBack()
    {
        DropHeldValue();
        m_readBack.Hold();
    }
    // The link was closed (or lost): a read-back in progress has ended, and
    // what the unit's text memory holds is no longer known.  True when a
    // read-back was running and the configuration from before it was put back.
    bool OnLinkClosed();

    // A field shows text that is not the value in use: red (out of range)
    // or waiting to be applied (CWaitingFields).
    bool HasUnappliedField() const;
    // A field holds a typed value that waits to be applied.
    bool HoldsValue() const override;
    // The one rule for a held value: only the user confirms it (Enter, Tab,
    // a click into another control of the form).  Whatever the program does
    // on its own (a dialog or message box it opens, a document or link
    // command, a channel or mode change, Undo/Redo, a read-back, closing)
    // calls this first: the held value is dropped, never sent, the field
    // shows the value in use again and the status bar says the typed value
    // was not applied.  True when a value was dropped.
    bool DropHeldValue() override;

    // The configuration: every reader and writer goes through the set.
    CConfigurationSet& Configuration() { return m_config; }
    // The response plot as a window (view options, overlays); its values are
    // the set's working copy.
    CCtlQVRXOPlot& GetPlot() { return m_ctlPlot; }
    // Undo and Redo, and the Edit menu.
    CEditRecorder& EditRecorder() { return m_recorder; }
    // The unit's text memory.
    CTextMemorySync& TextMemory() { return m_textMemory; }

private:
    // IEditorView
    HWND FormWindow() const override { return m_hWnd; }
    HWND PlotWindow() const override { return m_ctlPlot.m_hWnd; }
    void RefreshAll() override;
    void ShowChannel(int nChannel) override;
    void ShowMode(int nMode) override;

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnVScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCtlColorEdit(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLevelCustomDraw(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFieldFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFieldChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFieldKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFieldCommit(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFieldLeave(UINT, WPARAM, LPARAM, BOOL&);
    // Applies a held value the user confirmed.
    void CommitHeldValue(const SFieldRule& rule, HWND hField);
    LRESULT OnAdjusterMoved(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnReadSettings(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommData(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommPacket(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommMarker(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommFailure(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSelectChannel(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFieldUpdate(UINT, WPARAM, LPARAM, BOOL&);
    // Tells the frame what the status bar says about hField (the focused
    // field, or nullptr when none has the focus).
    void ShowFieldStatus(HWND hField);
    // The status bar's "the unit holds ..." of a field of the shown channel.
    std::wstring UnitHoldsText(EChannelField eField) const;
    LRESULT OnChannelButton(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnModeButton(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMuteInvert(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnHPQ(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSpeakerLibrary(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCopyChannel(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnProfileInformation(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnAdjusterDrag(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFieldKillFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnUndoRedo(UINT, WPARAM, LPARAM, BOOL&);

    void SetFieldText(const SFieldRule& rule, float fltValue);
    int ShownChannel() const;

    CCtlQVRXOPlot m_ctlPlot;
    CConfigurationSet m_config{m_ctlPlot};
    std::vector<std::unique_ptr<CTabberWnd>> m_apFields; // in the order of the field rules
    CTabberWnd& Field(const SFieldRule& rule);
    // Applies a field's text to the working copy (sending) and redraws its band.
    void ApplyFieldText(const SFieldRule& rule, HWND hField);
    CWaitingFields m_waiting;
    CContainedWindow m_wndSpeaker;
    CBrush m_hbrError;
    CFont m_fntChannel;

    CTextMemorySync m_textMemory{m_config};
    CReadBack m_readBack{m_config, *this, m_textMemory};
    CEditRecorder m_recorder{m_config, *this, m_textMemory};
    CEditorDialogs m_dialogs{m_config, *this, m_textMemory, m_recorder};
    CLevelControl m_level{m_ctlPlot, m_recorder};
    CChannelAndMode m_channelAndMode{m_config, *this, m_recorder, m_readBack};
    CBandButtons m_buttons{m_ctlPlot, m_recorder};
};
