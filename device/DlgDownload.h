#pragma once
// CDlgDownload: writes a new program into the unit's flash.  The user picks
// a firmware file; the whole file is checked before anything is sent; the
// program area is erased and every word of the file written, from a thread
// of the dialog that feeds the command queue; the words are then read back
// and compared.  The status list, the progress bar and the time estimate
// follow the unit's replies.
//
// While a download runs it owns the dialog: Download, Browse and the path
// are disabled, the dialog cannot be closed, and the file stays open for
// reading only, so nobody can change it under the download.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "device/firmware/FirmwareImage.h"
#include "framework/DialogImpl.h"
#include "framework/Handles.h"
#include "resources/resource.h"
#include "framework/AppMessages.h"

class CDlgDownload : public CDialogImpl<CDlgDownload> {
public:
    enum { IDD = IDD_DOWNLOAD };

    // Status list icons.
    enum EStatusIcon { ICON_INFORMATION = 0, ICON_WARNING = 1, ICON_ERROR = 2 };

    enum class EPhase { Idle, Erasing, Writing, Verifying, Complete, Failed };

    // Requests queued ahead of the replies at most.
    static constexpr std::uint32_t QUEUE_AHEAD = CFirmwareImage::DOWNLOAD_QUEUE_AHEAD;
    // The thread is woken to top the queue up once per this many replies,
    // not for every one: each wake costs the worker a share of the processor.
    static constexpr std::uint32_t REFILL_BATCH = 32;

    CDlgDownload();
    ~CDlgDownload() override;

    EPhase GetPhase() const { return m_ePhase; }
    // What the dialog leaves behind for its owner: whether it opened the link
    // itself, and whether its last download completed ("Firmware download complete").
    bool OpenedLink() const { return m_bOpenedLink; }
    bool Completed() const { return m_ePhase == EPhase::Complete; }
    bool IsRunning() const { return m_ePhase == EPhase::Erasing || m_ePhase == EPhase::Writing ||
                                    m_ePhase == EPhase::Verifying; }
    std::uint32_t GetTotalWords() const { return m_nTotalWords; }
    std::uint32_t GetWordsSent() const { return m_nWordsSent; }
    std::uint32_t GetWordsVerified() const { return m_nWordsVerified; }

    // Estimate text of one timer tick, or an empty string when no word was
    // answered during the tick (the text then stays as it was).  Writing
    // counts the verification still to come into the time left.
    static std::wstring FormatEstimate(EPhase ePhase, std::uint32_t nDone, std::uint32_t nTotal, std::uint32_t nDelta);

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
    static DWORD WINAPI DownloadThread(LPVOID pParam);
    void RunDownload();
    // Waits until fewer than QUEUE_AHEAD requests are unanswered; false
    // when the download is to stop (asked to, or the link closed).
    bool WaitForRoom(std::uint32_t nQueued);
    bool ShouldStop() const;

    // Reads and checks the file at the path; keeps it open.  False (and the
    // user told why) when it cannot be used.
    bool OpenImage(const wchar_t* pszPath);
    void ShowFileError(const wchar_t* pszReason);
    void SetRunning(bool bRunning);
    void BeginVerifying();
    void Finish();
    void Fail(bool bLinkLost);
    void StopThread();

    CWindow m_wndStatus;   // list view 262
    CWindow m_wndProgress; // progress bar 316
    CWindow m_wndEstimate; // static 317
    HIMAGELIST m_imgStatus = nullptr;

    CFileHandle m_hFile; // the firmware file, held while a download runs
    CFirmwareImage m_Image;
    std::uint32_t m_nTotalWords = 0;
    std::uint32_t m_nWordsSent = 0;       // writes the unit answered
    std::uint32_t m_nWordsSentAtTick = 0;
    std::uint32_t m_nWordsVerified = 0;   // read-backs compared
    std::uint32_t m_nWordsVerifiedAtTick = 0;
    std::uint32_t m_nMismatches = 0;
    std::uint32_t m_dwFirstBadAddress = 0;
    EPhase m_ePhase = EPhase::Idle;
    bool m_bOpenedLink = false;

    // Shared with the download thread.
    CHandle m_hThread;
    CHandle m_hStop;     // manual reset: the thread ends at its next step
    CHandle m_hProgress; // auto reset: a reply of the download arrived
    std::atomic<std::uint32_t> m_nAnswered{0}; // replies of the download so far (erase, writes, reads)
};
