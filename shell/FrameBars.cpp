#include "shell/FrameBars.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "framework/ExeModule.h"
#include "framework/DpiScale.h"
#include "resources/resource.h"

namespace {

constexpr UINT kToolBarId = 0xE800;
constexpr UINT kStatusBarId = 0xE801;
constexpr int kToolBarImages = 14;
constexpr int kImageSize = 32;
constexpr int kImageMuteOff = 8; // 9 while muted
constexpr int kStatusPartWidth = 580;
constexpr int kTipChars = 80;

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

TBBUTTON Button(int nImage, int nCommand, BYTE fsState = TBSTATE_ENABLED)
{
    TBBUTTON b{};
    b.iBitmap = nImage;
    b.idCommand = nCommand;
    b.fsState = fsState;
    b.fsStyle = BTNS_BUTTON;
    return b;
}

TBBUTTON Separator()
{
    TBBUTTON b{};
    b.fsStyle = BTNS_SEP;
    return b;
}

} // namespace

CFrameBars::CFrameBars() : m_wndToolBar(TOOLBARCLASSNAMEW, this, 0), m_wndStatusBar(STATUSCLASSNAMEW, this, 0) {}

void CFrameBars::Create(HWND hFrame)
{
    CreateToolBar(hFrame);
    CreateStatusBar(hFrame);
}

void CFrameBars::CreateToolBar(HWND hFrame)
{
    const RECT rcEmpty{};
    m_wndToolBar.Create(hFrame, rcEmpty, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS, 0,
                        kToolBarId);
    m_wndToolBar.SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    // The image size must be known before the strip is cut into images.
    m_wndToolBar.SendMessage(TB_SETBITMAPSIZE, 0, MAKELONG(kImageSize, kImageSize));
    TBADDBITMAP tbab{g_Module.GetInstance(), IDB_TOOLBAR};
    m_wndToolBar.SendMessage(TB_ADDBITMAP, kToolBarImages, reinterpret_cast<LPARAM>(&tbab));
    TBBUTTON buttons[] = {
        Button(0, ID_FILE_NEW),
        Button(1, ID_FILE_OPEN),
        Button(2, ID_FILE_SAVE),
        Button(10, ID_PROFILE_INFO),
        Separator(),
        Button(3, ID_COPY_CHANNEL),
        Separator(),
        Button(5, ID_CONNECT),
        Button(6, ID_DISCONNECT, 0),
        Separator(),
        Button(7, ID_APP_ABOUT),
        Separator(),
        Button(kImageMuteOff, ID_SYSTEM_MUTE),
    };
    m_wndToolBar.SendMessage(TB_ADDBUTTONSW, sizeof buttons / sizeof buttons[0], reinterpret_cast<LPARAM>(buttons));
    // The images keep their 32 pixels (crisp); the buttons grow with the
    // resolution, so the toolbar, and the meters over it, keep their proportions.
    const CDpiScale& scale = CDpiScale::FromScreen();
    m_wndToolBar.SendMessage(TB_SETBUTTONSIZE, 0, MAKELONG(scale.X(kImageSize), scale.Y(kImageSize)));
}

void CFrameBars::CreateStatusBar(HWND hFrame)
{
    const RECT rcEmpty{};
    m_wndStatusBar.Create(hFrame, rcEmpty, nullptr, WS_CHILD | WS_VISIBLE, 0, kStatusBarId);
    int anParts[2] = {CDpiScale::FromScreen().X(kStatusPartWidth), -1};
    m_wndStatusBar.SendMessage(SB_SETPARTS, 2, reinterpret_cast<LPARAM>(anParts));
    const std::wstring text = g_Module.LoadString(IDS_DISCONNECTED);
    m_wndStatusText = ::CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 0, 0, 0,
                                        m_wndStatusBar, nullptr, g_Module.GetInstance(), nullptr);
    m_fntTabFont.Reset(
        CreateFaceFont(CDpiScale::FromScreen().Y(16), FW_NORMAL, g_Module.LoadString(IDS_FONT_TAHOMA).c_str()));
    m_wndStatusText.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_fntTabFont.Get()), TRUE);
    m_hbrConnected.Reset(::CreateSolidBrush(kGreen));
    m_hbrDisconnected.Reset(::CreateSolidBrush(kRed));
}

void CFrameBars::Destroy()
{
    m_fntTabFont.Reset();
    m_hbrConnected.Reset();
    m_hbrDisconnected.Reset();
}

int CFrameBars::Layout(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    m_wndToolBar.SendMessage(TB_AUTOSIZE);
    RECT rcToolBar;
    m_wndToolBar.GetClientRect(&rcToolBar);

    m_wndStatusBar.SendMessage(uMsg, wParam, lParam);
    RECT rcPart;
    if (m_wndStatusBar.SendMessage(SB_GETRECT, 1, reinterpret_cast<LPARAM>(&rcPart))) {
        ::InflateRect(&rcPart, -1, -1);
        m_wndStatusText.SetWindowPos(nullptr, rcPart.left, rcPart.top, rcPart.right - rcPart.left,
                                     rcPart.bottom - rcPart.top, SWP_NOZORDER);
    }
    return rcToolBar.bottom - rcToolBar.top;
}

void CFrameBars::EnableConnectButton(bool bEnabled)
{
    m_wndToolBar.SendMessage(TB_ENABLEBUTTON, ID_CONNECT, MAKELONG(bEnabled ? TRUE : FALSE, 0));
}

void CFrameBars::ShowConnection(bool bConnected, bool bConnectEnabled, bool bMuted)
{
    EnableConnectButton(bConnectEnabled);
    m_wndToolBar.SendMessage(TB_ENABLEBUTTON, ID_DISCONNECT, MAKELONG(bConnected, 0));
    m_wndToolBar.SendMessage(TB_ENABLEBUTTON, ID_SYSTEM_MUTE, MAKELONG(bConnected, 0));

    const int nMuted = bMuted ? 1 : 0;
    m_wndToolBar.SendMessage(TB_CHECKBUTTON, ID_SYSTEM_MUTE, MAKELONG(nMuted, 0));
    m_wndToolBar.SendMessage(TB_CHANGEBITMAP, ID_SYSTEM_MUTE, MAKELPARAM(kImageMuteOff + nMuted, 0));

    m_bShownConnected = bConnected;
    m_wndStatusText.SetWindowText(g_Module.LoadString(bConnected ? IDS_CONNECTED : IDS_DISCONNECTED).c_str());
    m_wndStatusText.Invalidate();
}

bool CFrameBars::IsOverToolBar(POINT pt)
{
    RECT rcToolBar;
    return m_wndToolBar.GetWindowRect(&rcToolBar) && ::PtInRect(&rcToolBar, pt);
}

void CFrameBars::FillTip(NMTTDISPINFOA& info)
{
    info.hinst = nullptr;
    info.lpszText = info.szText;
    info.szText[0] = '\0';
    ::LoadStringA(g_Module.GetInstance(), static_cast<UINT>(info.hdr.idFrom), info.szText, kTipChars);
    info.szText[kTipChars - 1] = '\0';
    if (char* p = std::strchr(info.szText, '\n'))
        *p = '\0';
}

void CFrameBars::FillTip(NMTTDISPINFOW& info)
{
    info.hinst = nullptr;
    info.lpszText = info.szText;
    g_Module.LoadString(static_cast<UINT>(info.hdr.idFrom), info.szText, kTipChars);
    if (wchar_t* p = std::wcschr(info.szText, L'\n'))
        *p = L'\0';
}

LRESULT CFrameBars::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const HDC hdc = reinterpret_cast<HDC>(wParam);
    if (reinterpret_cast<HWND>(lParam) == m_wndStatusText.m_hWnd) {
        if (m_bShownConnected) {
            ::SetTextColor(hdc, kBlack);
            ::SetBkColor(hdc, kGreen);
            return reinterpret_cast<LRESULT>(m_hbrConnected.Get());
        }
        ::SetTextColor(hdc, kYellow);
        ::SetBkColor(hdc, kRed);
        return reinterpret_cast<LRESULT>(m_hbrDisconnected.Get());
    }
    ::SetTextColor(hdc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(hdc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}
