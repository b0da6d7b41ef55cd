#include "shell/DlgSplash.h"

#include <cwchar>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "model/ParameterMap.h"

namespace {
}

void CDlgSplash::FormatFirmwareRevision(std::uint32_t dwUWord, std::uint32_t dwLWord, wchar_t* pszBuffer,
                                        int cchBuffer)
{
    if (!pszBuffer || cchBuffer <= 0)
        return;
    auto byteOf = [](std::uint32_t w, int n) { return static_cast<unsigned>((w >> (8 * n)) & 0xFF); };
    wchar_t szFormat[256];
    g_Module.LoadString(IDS_FIRMWARE_REVISION, szFormat, 256);
    // The format comes from our own string table: two decimals, three hex bytes.
    std::swprintf(pszBuffer, static_cast<size_t>(cchBuffer), szFormat, byteOf(dwLWord, 0) | byteOf(dwLWord, 1),
                  byteOf(dwLWord, 2) | byteOf(dwLWord, 3), byteOf(dwUWord, 2), byteOf(dwUWord, 1),
                  byteOf(dwUWord, 3));
    pszBuffer[cchBuffer - 1] = L'\0';
}

LRESULT CDlgSplash::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    g_Advise.Advise(m_hWnd);
    m_wndFirmware = GetDlgItem(IDC_SPLASH_FIRMWARE);

    // The version text is a template in the resource: fill in the numbers.
    wchar_t szTemplate[256] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_SPLASH_VERSION, szTemplate, 256);
    wchar_t szText[256];
    std::swprintf(szText, 256, szTemplate, VERSION_MAJOR, VERSION_MINOR, VERSION_PATCH, VERSION_BUILD);
    szText[255] = L'\0';
    ::SetDlgItemTextW(m_hWnd, IDC_SPLASH_VERSION, szText);

    m_brBk.Reset(::CreateSolidBrush(RGB(255, 255, 255)));
    const std::wstring face = g_Module.LoadString(IDS_FONT_ARIAL);
    m_hFont.Reset(CreateFaceFont(20, FW_BOLD, face.c_str()));
    m_hFontVer.Reset(CreateFaceFont(12, FW_BOLD, face.c_str()));

    // The texts take their fonts when they paint (WM_CTLCOLORSTATIC); give
    // them the same fonts up front too, for static controls that select
    // their own font after asking for their colours.
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        ::SendMessageW(hChild, WM_SETFONT,
                       reinterpret_cast<WPARAM>(hChild == m_wndFirmware.m_hWnd ? m_hFontVer.Get() : m_hFont.Get()),
                       FALSE);

    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    CRgn rgn(::CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, CORNER, CORNER));
    if (rgn && ::SetWindowRgn(m_hWnd, rgn.Get(), FALSE))
        rgn.Release(); // the window owns it now

    if (m_bAbout && g_Comm.IsOpen()) {
        m_wndFirmware.ShowWindow(SW_SHOW);
        g_Comm.QueueCommand(CMD_FIRMWARE_REVISION, 0, 0, 0);
    }
    return TRUE;
}

LRESULT CDlgSplash::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    g_Advise.Unadvise(m_hWnd);
    m_brBk.Reset();
    m_hFont.Reset();
    m_hFontVer.Reset();
    bHandled = FALSE;
    return 0;
}

LRESULT CDlgSplash::OnEraseBkgnd(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    ::FillRect(reinterpret_cast<HDC>(wParam), &rc, m_brBk);
    return 1;
}

LRESULT CDlgSplash::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    CPaintDC dc(m_hWnd);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    CPen pen(::CreatePen(PS_INSIDEFRAME, 2, ::GetSysColor(COLOR_WINDOWFRAME)));
    CSaveDC save(dc);
    ::SelectObject(dc, pen);
    ::RoundRect(dc, 0, 0, rc.right - 1, rc.bottom - 1, CORNER, CORNER);
    return 0;
}

LRESULT CDlgSplash::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const HDC hdc = reinterpret_cast<HDC>(wParam);
    const HWND hCtl = reinterpret_cast<HWND>(lParam);
    ::SetBkColor(hdc, RGB(255, 255, 255));
    ::SelectObject(hdc, hCtl == m_wndFirmware.m_hWnd ? m_hFontVer.Get() : m_hFont.Get());
    if (IsOverlappingText(hCtl)) {
        // The box's own white background shows through: the version's
        // second line and the firmware line share a strip, and a filled
        // background would cut the other's letters.
        ::SetBkMode(hdc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    return reinterpret_cast<LRESULT>(m_brBk.Get());
}

bool CDlgSplash::IsOverlappingText(HWND hCtl) const
{
    return hCtl && (hCtl == m_wndFirmware.m_hWnd || hCtl == GetDlgItem(IDC_SPLASH_VERSION));
}

void CDlgSplash::SetFirmwareText(const wchar_t* pszText)
{
    m_wndFirmware.SetWindowText(pszText);
    // A transparent text does not erase its old letters: repaint the box's
    // background under the line and every text over it.
    RECT rc;
    if (m_wndFirmware.GetWindowRect(&rc)) {
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        ::RedrawWindow(m_hWnd, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

LRESULT CDlgSplash::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_bAbout)
        EndDialog(1);
    return 0;
}

LRESULT CDlgSplash::OnCommPacket(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam);
    if (!pRecord || pRecord->bCommand != CMD_FIRMWARE_REVISION)
        return 0;
    wchar_t szLine[256];
    FormatFirmwareRevision(RXGetWord(pRecord->bUWord), RXGetWord(pRecord->bLWord), szLine, 256);
    SetFirmwareText(szLine);
    return 0;
}
