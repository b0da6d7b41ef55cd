#pragma once
// CMainFrame: the program's only top-level window.  It owns the menu, the
// toolbar and status bar (CFrameBars), the six input meters over the right
// end of the toolbar (CMeterStrip) and the crossover editor form below the
// toolbar, keeps its owned windows above it, and routes every command and
// every record of the queue: the document commands to CDocumentCommands,
// the connection's events to CConnectionExecutor, the form's own commands
// to the form.

#include <memory>
#include <string>

#include "editor/DlgCrossover.h"
#include "framework/WindowImpl.h"
#include "resources/resource.h"
#include "framework/AppGlobals.h"
#include "framework/AppMessages.h"
#include "shell/ConnectionExecutor.h"
#include "shell/DeviceChoice.h"
#include "shell/FrameBars.h"
#include "shell/DocumentCommands.h"
#include "shell/StatusHelp.h"
#include "shell/MeterStrip.h"
#include "shell/SiblingLink.h"
#include "shell/ViewOptions.h"
#include "shell/MeasurementCommands.h"

class CMainFrame : public CWindowImpl<CMainFrame>, private CConnectionExecutor::IHost {
public:
    static CWndClassInfo GetWndClassInfo()
    {
        return {L"QVR500FRAME", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                IDC_ARROW};
    }

    static constexpr DWORD FRAME_STYLE = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    static constexpr DWORD FRAME_EX_STYLE = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;

    CMainFrame();
    ~CMainFrame() override;

    // Creates the window from resource nId (title string, menu, icon), sized
    // for the screen's resolution and centred on the desktop.  Returns after
    // the two-second start-up splash.
    HWND CreateFrame(UINT nId);

    // Client size requested for a screen resolution (dots per inch).
    static SIZE ComputeClientSize(int nDpiX, int nDpiY);

    // Toolbar, status text and meters from the link state.
    void UpdateConnectionState(bool bConnectEnabled);
    // Places the six meters over the right end of the toolbar.
    void LayoutMeters();

    // The sibling program's link window (opened on a link start, closed on a link end).
    void OpenLinkWindow();
    void CloseLinkWindow();
    bool HasLinkWindow() const;
    CSiblingLink& SiblingLink() { return m_link; }

    // Commands that leave a value the user typed and has not confirmed
    // waiting in its field: they change neither the configuration nor the
    // focus (the view options, the system mute), or the form's history
    // decides (Undo drops it as its whole step, Redo drops it first).
    static bool KeepsHeldValue(UINT nCommand);

    BEGIN_MSG_MAP(CMainFrame)
        MESSAGE_HANDLER(WM_COMMAND, OnCommandFirst) // before every command handler
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_MOVE, OnMove)
        MESSAGE_HANDLER(WM_INITMENU, OnInitMenu)
        MESSAGE_HANDLER(WM_MENUSELECT, OnMenuSelect)
        MESSAGE_HANDLER(WM_SET_STATUS_HINT, OnSetStatusHint)
        MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        MESSAGE_HANDLER(WM_DEVICECHANGE, OnDeviceChange)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        NOTIFY_CODE_HANDLER(TTN_GETDISPINFOA, OnToolTipTextA)
        NOTIFY_CODE_HANDLER(TTN_GETDISPINFOW, OnToolTipTextW)
        NOTIFY_CODE_HANDLER(TBN_HOTITEMCHANGE, OnHotItemChange)
        MESSAGE_HANDLER(WM_COMM_DATA, OnCommData)
        MESSAGE_HANDLER(WM_COMM_PACKET, OnCommPacket)
        MESSAGE_HANDLER(WM_COMM_MARKER, OnCommMarker)
        MESSAGE_HANDLER(WM_COMM_FAILURE, OnCommFailure)
        MESSAGE_HANDLER(WM_SELECT_CHANNEL, OnSelectChannel)
        MESSAGE_HANDLER(WM_ENABLE, OnEnable)
        MESSAGE_HANDLER(WM_FIELD_STATUS, OnFieldStatus)
        MESSAGE_HANDLER(g_uMsgChannelChange, OnSiblingMessage)
        MESSAGE_HANDLER(g_uMsgInitLink, OnSiblingMessage)
        MESSAGE_HANDLER(g_uMsgTermLink, OnSiblingMessage)
        COMMAND_ID_HANDLER(ID_FILE_NEW, OnFileNew)
        COMMAND_ID_HANDLER(ID_FILE_OPEN, OnFileOpen)
        COMMAND_ID_HANDLER(ID_FILE_SAVE, OnFileSave)
        COMMAND_ID_HANDLER(ID_FILE_SAVE_AS, OnFileSaveAs)
        COMMAND_ID_HANDLER(ID_PROFILE_INFO, OnForwardToForm)
        COMMAND_ID_HANDLER(ID_COPY_CHANNEL, OnForwardToForm)
        COMMAND_ID_HANDLER(ID_EDIT_UNDO, OnForwardToForm)
        COMMAND_ID_HANDLER(ID_EDIT_REDO, OnForwardToForm)
        COMMAND_ID_HANDLER(ID_APP_EXIT, OnAppExit)
        COMMAND_ID_HANDLER(ID_CONNECT, OnConnect)
        COMMAND_ID_HANDLER(ID_DISCONNECT, OnDisconnect)
        COMMAND_ID_HANDLER(ID_SELECT_DEVICE, OnSelectDevice)
        COMMAND_ID_HANDLER(ID_DOWNLOAD_FIRMWARE, OnDownloadFirmware)
        COMMAND_ID_HANDLER(ID_DIAGNOSTICS, OnDiagnostics)
        COMMAND_ID_HANDLER(ID_SAVE_LINK_LOG, OnSaveLinkLog)
        COMMAND_ID_HANDLER(ID_APP_ABOUT, OnAppAbout)
        COMMAND_ID_HANDLER(ID_SYSTEM_MUTE, OnSystemMute)
        COMMAND_ID_HANDLER(ID_VIEW_SUMMED_RESPONSE, OnViewOption)
        COMMAND_ID_HANDLER(ID_VIEW_PHASE, OnViewOption)
        COMMAND_ID_HANDLER(ID_VIEW_MEASURED, OnViewOption)
        COMMAND_ID_HANDLER(ID_VIEW_PREDICTED, OnViewOption)
        COMMAND_ID_HANDLER(ID_VIEW_TARGET, OnViewOption)
        COMMAND_ID_HANDLER(ID_VIEW_MEASUREMENTS, OnViewMeasurements)
    END_MSG_MAP()

    LRESULT OnCommandFirst(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnInitMenu(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnMenuSelect(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetStatusHint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetCursor(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDeviceChange(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnToolTipTextA(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnToolTipTextW(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnHotItemChange(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommData(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommPacket(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommMarker(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommFailure(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnFieldStatus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSiblingMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // The sibling's channel change: held while a modal window of ours is up,
    // applied when the frame is enabled again.
    LRESULT OnSelectChannel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnEnable(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // Commands.
    LRESULT OnFileNew(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnFileOpen(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnFileSave(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnFileSaveAs(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // The channel choice and the form's own commands go on to the editor form.
    LRESULT OnForwardToForm(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnAppExit(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnConnect(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDisconnect(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSelectDevice(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDownloadFirmware(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDiagnostics(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSaveLinkLog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnAppAbout(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSystemMute(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // View > Summed Response and View > Phase: shown on the plot, remembered.
    LRESULT OnViewOption(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // View > Measurements...: room and driver measurements, target, mask.
    LRESULT OnViewMeasurements(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

private:
    void RaiseOwnedWindows();
    // Status bar part 0: the description after the first newline of string nId
    // (the hint, when there is one, for nId < 1).
    void ShowDescription(int nId);
    void SendToChildren(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // What the connection's steps ask of the frame's windows.
    void ShowState(bool bConnectEnabled) override { UpdateConnectionState(bConnectEnabled); }
    void EnableConnectButton(bool bEnabled) override { m_bars.EnableConnectButton(bEnabled); }
    void HoldForm() override;
    void StartReadBack() override { SendToChildren(WM_READ_SETTINGS, 0, 0); }
    bool LinkClosed() override;
    CConnectionFlow::EAnswer AskDisconnect() override;
    void ShowError(const std::wstring& text) override;
    // Commands that change or save the whole configuration wait until the
    // screen shows what the unit holds; false (with a beep) while it does not.
    bool ConfigurationSettled() const;

    CFrameBars m_bars; // the toolbar and the status bar with the connection indicator
    CMeterStrip m_meters;
    // Before the form: its plot draws from the measurements until it goes.
    CMeasurementCommands m_measurements;
    CDocumentCommands m_documents; // New, Open, Save, Save As and the current file's name
    std::unique_ptr<CDlgCrossover> m_pdlgCrossoverForm;
    CSiblingLink m_link; // the sibling program's link and its window
    CViewOptions m_viewOptions;
    // The unit chosen in Select Device (in this run or remembered).
    CDeviceChoice m_deviceChoice;
    CConnectionExecutor m_connection; // Connect, Disconnect, the read-back's start and end, the link's loss
    CStatusHelp m_statusHelp;

public:
    // The status bar's first part (tests).
    const CStatusHelp& GetStatusHelp() const { return m_statusHelp; }
    // The editor form (tests that drive the whole window).
    CDlgCrossover* GetForm() { return m_pdlgCrossoverForm.get(); }
    // The current file's path (tests and diagnostics).
    const wchar_t* GetFileName() const { return m_documents.GetFileName(); }
    // The measurements of the configuration (tests).
    CMeasurementCommands& Measurements() { return m_measurements; }
};
