#pragma once
// CDlgDownload: writes a new program into the unit's flash.  The user picks
// a firmware file; the whole file is checked before anything is sent, and
// its extent (word count and address range) is shown, because a file cut on
// a record boundary passes the check; the download itself (erase, every
// word written and verified by its own reply) is CFirmwareDownload's, which
// `qvrtool firmware` runs too.  The status list, the progress bar and the
// time estimate follow the unit's replies.
//
// While a download runs it owns the dialog: Download, Browse and the path
// are disabled, the dialog cannot be closed, and the file stays open for
// reading only, so nobody can change it under the download.
//
// The frame's side: it runs the dialog modally (DoModal) and gets IDOK or
// IDCANCEL; the link is opened by the dialog when it was closed and left
// open; OpenedLink and Completed tell the frame what happened.

#include <windows.h>

#include <cstdint>
#include <string>

#include "device/FirmwareDownload.h"
#include "device/FirmwareFile.h"
#include "framework/AppMessages.h"
#include "framework/DialogImpl.h"
#include "resources/resource.h"

class CDlgDownload : public CDialogImpl<CDlgDownload> {
public:
    enum { IDD = IDD_DOWNLOAD };

    // Status list icons.
    enum EStatusIcon { ICON_INFORMATION = 0, ICON_WARNING = 1, ICON_ERROR = 2 };

    using EPhase = CFirmwareDownload::EPhase;

    CDlgDownload();
    ~CDlgDownload() override;

    EPhase GetPhase() const { return m_Download.GetPhase(); }
    bool IsRunning() const { return m_Download.IsRunning(); }
    std::uint32_t GetTotalWords() const { return m_Download.GetTotalWords(); }
    std::uint32_t GetWordsWritten() const { return m_Download.GetWordsWritten(); }
    // What the dialog leaves behind for its owner: whether it opened the link
    // itself, and whether its last download completed ("Firmware download complete").
    bool OpenedLink() const { return m_bOpenedLink; }
    bool Completed() const { return GetPhase() == EPhase::Complete; }

    // Estimate text of one timer tick, or an empty string when no word was
    // answered during the tick (the text then stays as it was).
    static std::wstring FormatEstimate(std::uint32_t nDone, std::uint32_t nTotal, std::uint32_t nDelta);

    BEGIN_MSG_MAP(CDlgDownload)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_COMM_PACKET, OnCommPacket)
        MESSAGE_HANDLER(WM_COMM_FAILURE, OnCommFailure)
        MESSAGE_HANDLER(WM_DOWNLOAD_STOPPED, OnDownloadStopped)
        COMMAND_ID_HANDLER(IDC_DOWNLOAD_BROWSE, OnBrowse)
        COMMAND_ID_HANDLER(IDC_DOWNLOAD_START, OnDownload)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommPacket(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommFailure(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDownloadStopped(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnBrowse(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDownload(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnOK(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCancel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // A status line at the top of the list, selected; a warning or an error
    // also sounds the default beep.
    void AddStatus(const wchar_t* pszText, int nIcon);
    void AddStatus(UINT nStringId, int nIcon);

private:
    void ShowFileError(const std::wstring& reason);
    void SetRunning(bool bRunning);
    // What the engine reported for a record, shown.
    void Show(CFirmwareDownload::EEvent eEvent);
    void Ended();

    CWindow m_wndStatus;   // list view 262
    CWindow m_wndProgress; // progress bar 316
    CWindow m_wndEstimate; // static 317
    HIMAGELIST m_imgStatus = nullptr;

    CFirmwareFile m_File; // held while a download runs
    CFirmwareDownload m_Download;
    std::uint32_t m_nWordsAtTick = 0;
    bool m_bOpenedLink = false;
};
