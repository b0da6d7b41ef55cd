#include "device/DlgDownload.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "framework/FileChoice.h"

namespace {

constexpr UINT_PTR ESTIMATE_TIMER = 1;
constexpr UINT ESTIMATE_MILLISECONDS = 1000;
constexpr int STATUS_COLUMN_WIDTH = 325;
constexpr int ICON_SIZE = 32;
// The bar moves once per this many words (a fifth of a second on the line):
// moving it repaints, and under Wine every repaint is a trip to the server
// that the queue's worker needs for each exchange.
constexpr std::uint32_t PROGRESS_STEP_WORDS = 64;

} // namespace

CDlgDownload::CDlgDownload() : m_Download(g_Comm) {}

CDlgDownload::~CDlgDownload()
{
    m_Download.Stop();
    if (m_imgStatus)
        ::ImageList_Destroy(m_imgStatus);
}

std::wstring CDlgDownload::FormatEstimate(std::uint32_t nDone, std::uint32_t nTotal, std::uint32_t nDelta)
{
    if (nDelta == 0 || nDone > nTotal)
        return std::wstring();
    const std::uint32_t nSeconds = (nTotal - nDone) / nDelta;
    return CFirmwareFile::Format(IDS_DOWNLOAD_ESTIMATE, static_cast<int>(nDone), static_cast<int>(nTotal),
                                 static_cast<int>(nSeconds / 60), static_cast<int>(nSeconds % 60));
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

    ::SendDlgItemMessageW(m_hWnd, IDC_DOWNLOAD_PATH, EM_LIMITTEXT, CFileChoice::PATH_UNITS - 1, 0);
    g_Comm.SetPolling(false);
    return TRUE;
}

LRESULT CDlgDownload::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    m_Download.Stop();
    ::KillTimer(m_hWnd, ESTIMATE_TIMER);
    g_Advise.Unadvise(m_hWnd);
    g_Comm.SetPolling(true);
    m_File.Close();
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
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    wchar_t szPath[CFileChoice::PATH_UNITS];
    switch (CFileChoice::Run(ofn, true, szPath)) {
    case CFileChoice::EResult::Chosen:
        ::SetDlgItemTextW(m_hWnd, IDC_DOWNLOAD_PATH, szPath);
        break;
    case CFileChoice::EResult::PathTooLong:
        g_Module.ShowMessage(m_hWnd, IDS_PATH_TOO_LONG, IDS_APP_TITLE, MB_ICONERROR);
        break;
    case CFileChoice::EResult::Cancelled:
        break;
    }
    return 0;
}

void CDlgDownload::ShowFileError(const std::wstring& reason)
{
    std::wstring text = g_Module.LoadString(IDS_FIRMWARE_OPEN_FAILED);
    if (!reason.empty()) {
        text += L"\r\n\r\n";
        text += reason;
    }
    const std::wstring caption = g_Module.LoadString(IDS_APP_TITLE);
    ::MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_ICONERROR);
}

LRESULT CDlgDownload::OnDownload(UINT, WPARAM, LPARAM, BOOL&)
{
    if (IsRunning())
        return 0;
    wchar_t szPath[CFileChoice::PATH_UNITS] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_DOWNLOAD_PATH, szPath, CFileChoice::PATH_UNITS);
    szPath[CFileChoice::PATH_UNITS - 1] = L'\0';
    if (!m_File.Open(szPath)) {
        ShowFileError(m_File.FailureText());
        return 0;
    }
    // A link opened here outlives the dialog: the frame reads the unit back
    // over it, or closes it, when the dialog ends.
    if (!g_Comm.IsOpen()) {
        if (!g_Comm.Open()) {
            m_File.Close();
            g_Module.ShowMessage(m_hWnd, IDS_COMM_FAILED, IDS_APP_TITLE, MB_ICONERROR);
            return 0;
        }
        m_bOpenedLink = true;
    }

    const std::uint32_t nTotal = static_cast<std::uint32_t>(m_File.Image().WordCount());
    m_nWordsAtTick = 0;
    m_wndProgress.SendMessage(PBM_SETRANGE32, 0, static_cast<LPARAM>(nTotal));
    m_wndProgress.SendMessage(PBM_SETSTEP, PROGRESS_STEP_WORDS);
    m_wndProgress.SendMessage(PBM_SETPOS, 0);
    m_wndEstimate.SetWindowText(L"");
    m_wndProgress.ShowWindow(SW_SHOW);
    m_wndEstimate.ShowWindow(SW_SHOW);

    // The check cannot see a file cut on a record boundary: its extent can.
    AddStatus(m_File.ExtentText(IDS_FIRMWARE_EXTENT).c_str(), ICON_INFORMATION);
    AddStatus(IDS_ERASING_FLASH, ICON_INFORMATION);
    SetRunning(true);
    if (!m_Download.Start(m_File.Image().Words(), m_hWnd)) {
        Ended();
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
    if (const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam))
        Show(m_Download.OnPacket(*pRecord));
    return 0;
}

LRESULT CDlgDownload::OnCommFailure(UINT, WPARAM, LPARAM, BOOL&)
{
    Show(m_Download.OnLinkLost());
    return 0;
}

LRESULT CDlgDownload::OnDownloadStopped(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    Show(m_Download.OnStopped(wParam));
    return 0;
}

void CDlgDownload::Show(CFirmwareDownload::EEvent eEvent)
{
    switch (eEvent) {
    case CFirmwareDownload::EEvent::None:
        break;
    case CFirmwareDownload::EEvent::Erased:
        AddStatus(IDS_WRITING_FLASH, ICON_INFORMATION);
        break;
    case CFirmwareDownload::EEvent::WordWritten:
        if (m_Download.GetWordsWritten() % PROGRESS_STEP_WORDS == 0)
            m_wndProgress.SendMessage(PBM_STEPIT);
        break;
    case CFirmwareDownload::EEvent::Complete:
    case CFirmwareDownload::EEvent::Failed:
        Ended();
        break;
    }
}

void CDlgDownload::Ended()
{
    ::KillTimer(m_hWnd, ESTIMATE_TIMER);
    m_wndProgress.ShowWindow(SW_HIDE);
    m_wndEstimate.ShowWindow(SW_HIDE);
    m_File.Close();
    switch (m_Download.GetFailure()) {
    // Each line fits the status list's column: what does not fit is
    // split over two lines, the newest on top.
    case CFirmwareDownload::EFailure::None:
        AddStatus(m_File.ExtentText(IDS_VERIFIED_EXTENT).c_str(), ICON_INFORMATION);
        AddStatus(IDS_DOWNLOAD_COMPLETE, ICON_INFORMATION);
        break;
    case CFirmwareDownload::EFailure::Verify:
        AddStatus(CFirmwareFile::Format(IDS_VERIFY_WORDS, m_Download.GetUnitWord(), m_Download.GetFileWord()).c_str(),
                  ICON_ERROR);
        AddStatus(CFirmwareFile::Format(IDS_VERIFY_FAILED_AT, m_Download.GetBadAddress()).c_str(), ICON_ERROR);
        AddStatus(IDS_DOWNLOAD_NEEDED, ICON_ERROR);
        break;
    case CFirmwareDownload::EFailure::LinkLost:
    case CFirmwareDownload::EFailure::NotComplete:
        AddStatus(m_Download.GetFailure() == CFirmwareDownload::EFailure::LinkLost ? IDS_DOWNLOAD_LINK_LOST
                                                                                   : IDS_DOWNLOAD_NOT_COMPLETE,
                  ICON_ERROR);
        AddStatus(IDS_DOWNLOAD_NEEDED, ICON_ERROR);
        break;
    }
    SetRunning(false);
}

LRESULT CDlgDownload::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != ESTIMATE_TIMER) {
        bHandled = FALSE;
        return 0;
    }
    const std::uint32_t nDone = m_Download.GetWordsWritten();
    const std::wstring text = FormatEstimate(nDone, m_Download.GetTotalWords(), nDone - m_nWordsAtTick);
    m_nWordsAtTick = nDone;
    if (!text.empty())
        m_wndEstimate.SetWindowText(text.c_str());
    return 0;
}
