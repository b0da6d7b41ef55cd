#include "device/DlgDownload.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdarg>
#include <cwchar>
#include <string>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "model/ParameterMap.h"

namespace {

constexpr UINT_PTR ESTIMATE_TIMER = 1;
constexpr UINT ESTIMATE_MILLISECONDS = 1000;
constexpr int PATH_CHARS = 260;
constexpr int STATUS_COLUMN_WIDTH = 325;
constexpr int ICON_SIZE = 32;
constexpr DWORD THREAD_STEP_MILLISECONDS = 50; // the thread looks at the link at least this often
constexpr int TEXT_CHARS = 256;

std::wstring FormatString(UINT nFormatId, ...)
{
    const std::wstring format = g_Module.LoadString(nFormatId);
    wchar_t szText[TEXT_CHARS];
    va_list args;
    va_start(args, nFormatId);
    // The format is our own string table's.
    std::vswprintf(szText, TEXT_CHARS, format.c_str(), args);
    va_end(args);
    szText[TEXT_CHARS - 1] = L'\0';
    return szText;
}

} // namespace

CDlgDownload::CDlgDownload()
    : m_hStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_hProgress(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

CDlgDownload::~CDlgDownload()
{
    StopThread();
    if (m_imgStatus)
        ::ImageList_Destroy(m_imgStatus);
}

std::wstring CDlgDownload::FormatEstimate(EPhase ePhase, std::uint32_t nDone, std::uint32_t nTotal,
                                          std::uint32_t nDelta)
{
    if (nDelta == 0 || nDone > nTotal)
        return std::wstring();
    std::uint32_t nLeft = nTotal - nDone;
    UINT nFormat = IDS_DOWNLOAD_ESTIMATE;
    if (ePhase == EPhase::Verifying)
        nFormat = IDS_VERIFY_ESTIMATE;
    else
        nLeft += nTotal; // every word is read back after the writes
    const std::uint32_t nSeconds = nLeft / nDelta;
    return FormatString(nFormat, static_cast<int>(nDone), static_cast<int>(nTotal), static_cast<int>(nSeconds / 60),
                        static_cast<int>(nSeconds % 60));
}

// --- dialog ------------------------------------------------------------------

LRESULT CDlgDownload::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    g_Advise.Advise(m_hWnd);

    int nBits = 8;
    {
        CClientDC dcScreen(nullptr);
        nBits = ::GetDeviceCaps(dcScreen, BITSPIXEL);
    }
    const UINT uColour = nBits == 16 ? ILC_COLOR16 : nBits == 24 ? ILC_COLOR24 : nBits == 32 ? ILC_COLOR32 : ILC_COLOR8;
    m_imgStatus = ::ImageList_Create(ICON_SIZE, ICON_SIZE, uColour | ILC_MASK, 3, 0);
    for (LPCWSTR pszIcon : {IDI_INFORMATION, IDI_WARNING, IDI_ERROR})
        ::ImageList_AddIcon(m_imgStatus, ::LoadIconW(nullptr, pszIcon));

    m_wndStatus = GetDlgItem(IDC_DOWNLOAD_STATUS);
    m_wndProgress = GetDlgItem(IDC_DOWNLOAD_PROGRESS);
    m_wndEstimate = GetDlgItem(IDC_DOWNLOAD_ESTIMATE);

    m_wndStatus.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    m_wndStatus.SendMessage(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_imgStatus));
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_CENTER;
    column.cx = STATUS_COLUMN_WIDTH;
    wchar_t szEmpty[1] = {L'\0'};
    column.pszText = szEmpty;
    m_wndStatus.SendMessage(LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

    ::SendDlgItemMessageW(m_hWnd, IDC_DOWNLOAD_PATH, EM_LIMITTEXT, PATH_CHARS - 1, 0);
    g_Comm.SetPolling(false);
    return TRUE;
}

LRESULT CDlgDownload::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    StopThread();
    ::KillTimer(m_hWnd, ESTIMATE_TIMER);
    g_Advise.Unadvise(m_hWnd);
    g_Comm.SetPolling(true);
    m_hFile.Reset();
    bHandled = FALSE;
    return 0;
}

LRESULT CDlgDownload::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    // The download owns the dialog until it has ended.
    if (IsRunning()) {
        ::MessageBeep(MB_OK);
        return 0;
    }
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CDlgDownload::OnOK(UINT, WPARAM, LPARAM, BOOL&)
{
    if (!IsRunning())
        EndDialog(IDOK);
    return 0;
}

LRESULT CDlgDownload::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    return 0; // Esc does nothing
}

LRESULT CDlgDownload::OnBrowse(UINT, WPARAM, LPARAM, BOOL&)
{
    if (IsRunning())
        return 0;
    // "Name\0pattern\0\0"
    std::wstring filter = g_Module.LoadString(IDS_FIRMWARE_FILTER_NAME);
    filter.push_back(L'\0');
    filter += g_Module.LoadString(IDS_FIRMWARE_FILTER_PATTERN);
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    wchar_t szPath[PATH_CHARS] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = szPath;
    ofn.nMaxFile = PATH_CHARS;
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameW(&ofn))
        ::SetDlgItemTextW(m_hWnd, IDC_DOWNLOAD_PATH, szPath);
    return 0;
}

void CDlgDownload::ShowFileError(const wchar_t* pszReason)
{
    std::wstring text = g_Module.LoadString(IDS_FIRMWARE_OPEN_FAILED);
    if (pszReason && *pszReason) {
        text += L"\r\n\r\n";
        text += pszReason;
    }
    const std::wstring caption = g_Module.LoadString(IDS_APP_TITLE);
    ::MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_ICONERROR);
}

bool CDlgDownload::OpenImage(const wchar_t* pszPath)
{
    // Read only, and nobody may write the file while the download holds it.
    CFileHandle hFile(::CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!hFile || !::GetFileSizeEx(hFile, &size)) {
        ShowFileError(g_Module.LoadString(IDS_FIRMWARE_UNREADABLE).c_str());
        return false;
    }
    std::vector<std::uint8_t> bytes;
    SFirmwareCheck check;
    if (static_cast<unsigned long long>(size.QuadPart) > CFirmwareImage::MAX_FILE_BYTES) {
        check.eResult = EFirmwareCheck::TooLarge;
    } else {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD dwRead = 0;
        if (!bytes.empty() &&
            (!::ReadFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwRead, nullptr) ||
             dwRead != bytes.size())) {
            ShowFileError(g_Module.LoadString(IDS_FIRMWARE_UNREADABLE).c_str());
            return false;
        }
        check = m_Image.Parse(bytes.data(), bytes.size());
    }

    std::wstring reason;
    const int nRecord = static_cast<int>(check.nRecord);
    const int nOffset = static_cast<int>(check.nOffset);
    switch (check.eResult) {
    case EFirmwareCheck::Ok:
        m_hFile = std::move(hFile);
        return true;
    case EFirmwareCheck::TooLarge:
        reason = FormatString(IDS_FIRMWARE_TOO_LARGE, static_cast<int>(CFirmwareImage::MAX_FILE_BYTES));
        break;
    case EFirmwareCheck::BadHeader:
        reason = g_Module.LoadString(IDS_FIRMWARE_BAD_HEADER);
        break;
    case EFirmwareCheck::BadRecord:
        reason = FormatString(IDS_FIRMWARE_BAD_RECORD, nRecord, nOffset);
        break;
    case EFirmwareCheck::TruncatedRecord:
        reason = FormatString(IDS_FIRMWARE_TRUNCATED, nRecord, nOffset);
        break;
    case EFirmwareCheck::TooManyWords:
        reason = FormatString(IDS_FIRMWARE_TOO_MANY_WORDS, nRecord, static_cast<int>(CFirmwareImage::MAX_WORDS));
        break;
    case EFirmwareCheck::NoWords:
        reason = g_Module.LoadString(IDS_FIRMWARE_NO_WORDS);
        break;
    }
    ShowFileError(reason.c_str());
    return false;
}

LRESULT CDlgDownload::OnDownload(UINT, WPARAM, LPARAM, BOOL&)
{
    if (IsRunning())
        return 0;
    wchar_t szPath[PATH_CHARS] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_DOWNLOAD_PATH, szPath, PATH_CHARS);
    szPath[PATH_CHARS - 1] = L'\0';
    if (!OpenImage(szPath))
        return 0;
    // A link opened here outlives the dialog: the frame reads the unit back
    // over it, or closes it, when the dialog ends.
    if (!g_Comm.IsOpen()) {
        if (!g_Comm.Open()) {
            m_hFile.Reset();
            g_Module.ShowMessage(m_hWnd, IDS_COMM_FAILED, IDS_APP_TITLE, MB_ICONERROR);
            return 0;
        }
        m_bOpenedLink = true;
    }

    m_nTotalWords = static_cast<std::uint32_t>(m_Image.WordCount());
    m_nWordsSent = m_nWordsSentAtTick = 0;
    m_nWordsVerified = m_nWordsVerifiedAtTick = 0;
    m_nMismatches = 0;
    m_dwFirstBadAddress = 0;
    m_nAnswered = 0;
    m_wndProgress.SendMessage(PBM_SETRANGE32, 0, static_cast<LPARAM>(m_nTotalWords));
    m_wndProgress.SendMessage(PBM_SETSTEP, 1);
    m_wndProgress.SendMessage(PBM_SETPOS, 0);
    m_wndEstimate.SetWindowText(L"");
    m_wndProgress.ShowWindow(SW_SHOW);
    m_wndEstimate.ShowWindow(SW_SHOW);

    AddStatus(IDS_ERASING_FLASH, ICON_INFORMATION);
    m_ePhase = EPhase::Erasing;
    SetRunning(true);
    ::ResetEvent(m_hStop);
    ::ResetEvent(m_hProgress);
    m_hThread.Reset(::CreateThread(nullptr, 0, &CDlgDownload::DownloadThread, this, 0, nullptr));
    if (!m_hThread) {
        Fail(false);
        return 0;
    }
    ::SetTimer(m_hWnd, ESTIMATE_TIMER, ESTIMATE_MILLISECONDS, nullptr);
    return 0;
}

void CDlgDownload::SetRunning(bool bRunning)
{
    for (int nId : {IDC_DOWNLOAD_PATH, IDC_DOWNLOAD_BROWSE, IDC_DOWNLOAD_START, IDOK})
        ::EnableWindow(GetDlgItem(nId), !bRunning);
    const HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hMenu)
        ::EnableMenuItem(hMenu, SC_CLOSE, MF_BYCOMMAND | (bRunning ? MF_GRAYED : MF_ENABLED));
    // The end of a download may come while another window is in front (the
    // frame's message about a lost link): focusing would raise the dialog
    // over it.
    if (!bRunning && ::GetActiveWindow() == m_hWnd)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDOK)), TRUE);
}

void CDlgDownload::AddStatus(const wchar_t* pszText, int nIcon)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
    item.iItem = 0;
    item.pszText = const_cast<wchar_t*>(pszText);
    item.iImage = nIcon;
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    m_wndStatus.SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    m_wndStatus.SendMessage(LVM_ENSUREVISIBLE, 0, FALSE);
    if (nIcon != ICON_INFORMATION)
        ::MessageBeep(MB_OK);
    m_wndStatus.Invalidate();
    ::UpdateWindow(m_wndStatus);
}

void CDlgDownload::AddStatus(UINT nStringId, int nIcon)
{
    AddStatus(g_Module.LoadString(nStringId).c_str(), nIcon);
}

// --- replies -----------------------------------------------------------------

LRESULT CDlgDownload::OnCommPacket(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam);
    if (!pRecord || !IsRunning())
        return 0;
    switch (pRecord->bCommand) {
    case CMD_ERASE:
        if (m_ePhase != EPhase::Erasing)
            return 0;
        AddStatus(IDS_WRITING_FLASH, ICON_INFORMATION);
        m_ePhase = EPhase::Writing;
        break;
    case CMD_WRITE_WORD:
        if (m_ePhase != EPhase::Writing)
            return 0;
        ++m_nWordsSent;
        m_wndProgress.SendMessage(PBM_STEPIT);
        break;
    case CMD_READ_WORD: {
        if (m_ePhase != EPhase::Verifying || m_nWordsVerified >= m_nTotalWords)
            return 0;
        // One request is answered at a time, in order: the n-th read
        // answers the n-th word.  Its address comes back too.
        const std::uint32_t dwAddress = CFirmwareImage::AddressOf(m_nWordsVerified);
        if (RXGetWord(pRecord->bUWord) != dwAddress ||
            RXGetWord(pRecord->bLWord) != m_Image.Words()[m_nWordsVerified]) {
            if (m_nMismatches++ == 0)
                m_dwFirstBadAddress = dwAddress;
        }
        ++m_nWordsVerified;
        m_wndProgress.SendMessage(PBM_STEPIT);
        break;
    }
    default:
        return 0;
    }
    if (++m_nAnswered % REFILL_BATCH == 0)
        ::SetEvent(m_hProgress);
    if (m_ePhase == EPhase::Writing && m_nWordsSent == m_nTotalWords)
        BeginVerifying();
    else if (m_ePhase == EPhase::Verifying && m_nWordsVerified == m_nTotalWords)
        Finish();
    return 0;
}

void CDlgDownload::BeginVerifying()
{
    m_ePhase = EPhase::Verifying;
    AddStatus(IDS_VERIFYING_FLASH, ICON_INFORMATION);
    m_wndProgress.SendMessage(PBM_SETPOS, 0);
    m_nWordsVerifiedAtTick = 0;
}

void CDlgDownload::Finish()
{
    StopThread(); // it has queued its last read and ended
    ::KillTimer(m_hWnd, ESTIMATE_TIMER);
    m_wndProgress.ShowWindow(SW_HIDE);
    m_wndEstimate.ShowWindow(SW_HIDE);
    m_hFile.Reset();
    if (m_nMismatches == 0) {
        m_ePhase = EPhase::Complete;
        AddStatus(IDS_DOWNLOAD_COMPLETE, ICON_INFORMATION);
    } else {
        m_ePhase = EPhase::Failed;
        AddStatus(FormatString(IDS_VERIFY_FAILED, static_cast<int>(m_nMismatches), m_dwFirstBadAddress).c_str(),
                  ICON_ERROR);
        AddStatus(IDS_DOWNLOAD_NEEDED, ICON_ERROR);
    }
    SetRunning(false);
}

void CDlgDownload::Fail(bool bLinkLost)
{
    m_ePhase = EPhase::Failed;
    StopThread();
    ::KillTimer(m_hWnd, ESTIMATE_TIMER);
    m_wndProgress.ShowWindow(SW_HIDE);
    m_wndEstimate.ShowWindow(SW_HIDE);
    m_hFile.Reset();
    AddStatus(bLinkLost ? IDS_DOWNLOAD_LINK_LOST : IDS_DOWNLOAD_NOT_COMPLETE, ICON_ERROR);
    AddStatus(IDS_DOWNLOAD_NEEDED, ICON_ERROR);
    SetRunning(false);
}

LRESULT CDlgDownload::OnCommFailure(UINT, WPARAM, LPARAM, BOOL&)
{
    if (IsRunning())
        Fail(true);
    return 0;
}

LRESULT CDlgDownload::OnDownloadStopped(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    if (IsRunning())
        Fail(wParam != 0);
    return 0;
}

LRESULT CDlgDownload::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != ESTIMATE_TIMER) {
        bHandled = FALSE;
        return 0;
    }
    std::wstring text;
    if (m_ePhase == EPhase::Writing) {
        text = FormatEstimate(m_ePhase, m_nWordsSent, m_nTotalWords, m_nWordsSent - m_nWordsSentAtTick);
        m_nWordsSentAtTick = m_nWordsSent;
    } else if (m_ePhase == EPhase::Verifying) {
        text = FormatEstimate(m_ePhase, m_nWordsVerified, m_nTotalWords, m_nWordsVerified - m_nWordsVerifiedAtTick);
        m_nWordsVerifiedAtTick = m_nWordsVerified;
    }
    if (!text.empty())
        m_wndEstimate.SetWindowText(text.c_str());
    return 0;
}

// --- the download thread -------------------------------------------------------

DWORD WINAPI CDlgDownload::DownloadThread(LPVOID pParam)
{
    static_cast<CDlgDownload*>(pParam)->RunDownload();
    return 0;
}

bool CDlgDownload::ShouldStop() const
{
    return ::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0 || !g_Comm.IsOpen();
}

bool CDlgDownload::WaitForRoom(std::uint32_t nQueued)
{
    for (;;) {
        if (ShouldStop())
            return false;
        if (nQueued - m_nAnswered.load() < QUEUE_AHEAD)
            return true;
        const HANDLE ahEvents[2] = {m_hStop, m_hProgress};
        ::WaitForMultipleObjects(2, ahEvents, FALSE, THREAD_STEP_MILLISECONDS);
    }
}

void CDlgDownload::RunDownload()
{
    const HWND hWnd = m_hWnd;
    const std::vector<std::uint32_t>& words = m_Image.Words();
    // Erase, every word written, every word read back.  A request the
    // queue refuses means the link has failed: the download stops there
    // (the queue would accept everything after the link is closed without
    // sending it).
    const auto queue = [&](BYTE bCommand, DWORD dwUWord, DWORD dwLWord, std::uint32_t& nQueued) {
        if (!WaitForRoom(nQueued) || !g_Comm.QueueCommand(bCommand, 0, dwUWord, dwLWord) || ShouldStop())
            return false;
        ++nQueued;
        return true;
    };
    std::uint32_t nQueued = 0;
    bool bOk = queue(CMD_ERASE, PROGRAM_AREA_START, PROGRAM_AREA_BYTES, nQueued);
    for (std::size_t i = 0; bOk && i < words.size(); ++i)
        bOk = queue(CMD_WRITE_WORD, CFirmwareImage::AddressOf(i), words[i], nQueued);
    for (std::size_t i = 0; bOk && i < words.size(); ++i)
        bOk = queue(CMD_READ_WORD, CFirmwareImage::AddressOf(i), 0, nQueued);
    if (!bOk) {
        const bool bAsked = ::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0;
        ::PostMessageW(hWnd, WM_DOWNLOAD_STOPPED, bAsked ? 0 : 1, 0);
    }
}

void CDlgDownload::StopThread()
{
    if (!m_hThread)
        return;
    ::SetEvent(m_hStop);
    // The thread may be waiting for room in the queue, whose worker may be
    // waiting for the notification pipe, whose reader may be sending this
    // thread a message: sent messages are handled while waiting.
    const HANDLE hThread = m_hThread;
    while (::MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_hThread.Reset();
}
