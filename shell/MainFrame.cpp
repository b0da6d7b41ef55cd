#include "shell/MainFrame.h"

#include <vector>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/DlgDownload.h"
#include "device/DlgTerminal.h"
#include "device/RXQueue.h"
#include "model/ParameterMap.h"
#include "framework/AppGlobals.h"
#include "framework/DpiScale.h"
#include "shell/DlgDisconnect.h"
#include "shell/DlgSplash.h"
#include "shell/LinkLogCommand.h"

namespace {

constexpr int kSplashMilliseconds = 2000;
constexpr UINT_PTR kZOrderTimer = 1;
constexpr UINT kZOrderCheckMilliseconds = 250;

} // namespace

CMainFrame::CMainFrame()
    : m_documents(m_measurements, CDocumentCommands::WindowsHost()),
      m_connection(*this, m_deviceChoice)
{
}

CMainFrame::~CMainFrame()
{
    CloseLinkWindow();
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

SIZE CMainFrame::ComputeClientSize(int nDpiX, int nDpiY)
{
    const double sx = nDpiX / 96.0;
    const double sy = nDpiY / 96.0;
    // Above 96 dpi the form's fonts grow faster than the scale: extra width.
    double cx = sx * 755.0;
    if (sx != 1.0)
        cx += sx * nDpiX;
    const double cy = sy * 520.0;
    return SIZE{static_cast<LONG>(cx + 0.5), static_cast<LONG>(cy + 0.5)};
}

HWND CMainFrame::CreateFrame(UINT nId)
{
    wchar_t szTitle[256];
    g_Module.LoadString(nId, szTitle, 256);
    HMENU hMenu = ::LoadMenuW(g_Module.GetInstance(), MAKEINTRESOURCEW(nId));

    // The same resolution (sx, sy) that the drawing of the form and the meters scales with.
    const CDpiScale& scale = CDpiScale::FromScreen();
    const SIZE client = ComputeClientSize(scale.GetDpiX(), scale.GetDpiY());
    RECT rc{0, 0, client.cx, client.cy};
    // Sized as for a frame with a sizing border; the frame has none, so its
    // client area comes out slightly larger.
    ::AdjustWindowRectEx(&rc, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, TRUE, FRAME_EX_STYLE);
    RECT rcDesktop;
    ::GetClientRect(::GetDesktopWindow(), &rcDesktop);
    ::OffsetRect(&rc, rcDesktop.right / 2 - rc.right / 2, rcDesktop.bottom / 2 - rc.bottom / 2);

    if (!Create(nullptr, rc, szTitle, FRAME_STYLE, FRAME_EX_STYLE, hMenu)) {
        if (hMenu)
            ::DestroyMenu(hMenu);
        return nullptr;
    }
    HICON hIcon = ::LoadIconW(g_Module.GetInstance(), MAKEINTRESOURCEW(nId));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    return m_hWnd;
}

LRESULT CMainFrame::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    CDlgSplash splash(false);
    splash.Create(m_hWnd);

    g_Advise.Advise(m_hWnd);
    m_bars.Create(m_hWnd);
    m_meters.Create(m_bars.ToolBar());
    m_statusHelp.Attach(m_bars.StatusBar());

    m_pdlgCrossoverForm = std::make_unique<CDlgCrossover>();
    m_pdlgCrossoverForm->Create(m_hWnd);
    m_viewOptions.Load();
    m_viewOptions.ApplyTo(m_pdlgCrossoverForm->GetPlot());
    m_measurements.Attach(&m_pdlgCrossoverForm->GetPlot());
    m_documents.Attach(m_hWnd, m_pdlgCrossoverForm.get());

    m_connection.Attach(m_hWnd);
    m_deviceChoice.Restore();
    UpdateConnectionState(m_connection.IsConnectEnabled());
    ShowWindow(SW_SHOWNORMAL);
    m_meters.Show();
    ::SetTimer(m_hWnd, kZOrderTimer, kZOrderCheckMilliseconds, nullptr);

    // The splash stays up for two seconds; the frame keeps painting meanwhile.
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        const DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (dwElapsed >= static_cast<DWORD>(kSplashMilliseconds))
            break;
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            ::DispatchMessageW(&msg);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kSplashMilliseconds - dwElapsed, QS_ALLINPUT);
        }
    }
    splash.DestroyWindow();
    return 0;
}

LRESULT CMainFrame::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != kZOrderTimer) {
        bHandled = FALSE;
        return 0;
    }
    RaiseOwnedWindows();
    return 0;
}

void CMainFrame::RaiseOwnedWindows()
{
    // Owned windows (meters, splash, dialogs) belong above their owner, as
    // Windows keeps them.  Wine without a window manager can restack the frame
    // alone, without any message (when parts of it are exposed), so a timer
    // checks the order; any owned window found below the frame is put back on
    // top without being activated.  Where the platform keeps the order, the
    // check only walks the windows below the frame and finds nothing to do.
    const auto isShownOwned = [this](HWND h) { return ::GetWindow(h, GW_OWNER) == m_hWnd && ::IsWindowVisible(h); };
    HWND hBelow = ::GetWindow(m_hWnd, GW_HWNDNEXT);
    while (hBelow && !isShownOwned(hBelow))
        hBelow = ::GetWindow(hBelow, GW_HWNDNEXT);
    if (!hBelow)
        return;
    std::vector<HWND> owned;
    for (HWND h = ::GetTopWindow(nullptr); h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (h != m_hWnd && isShownOwned(h))
            owned.push_back(h);
    // Keep their own order: raise the lowest first.
    for (auto it = owned.rbegin(); it != owned.rend(); ++it)
        ::SetWindowPos(*it, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CMainFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    g_Advise.Unadvise(m_hWnd);
    ::KillTimer(m_hWnd, kZOrderTimer);
    m_bars.Destroy();
    ::PostQuitMessage(0);
    return 0;
}

bool CMainFrame::KeepsHeldValue(UINT nCommand)
{
    switch (nCommand) {
    case ID_VIEW_SUMMED_RESPONSE:
    case ID_VIEW_PHASE:
    case ID_SYSTEM_MUTE:
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO:
        return true;
    default:
        return false;
    }
}

LRESULT CMainFrame::OnCommandFirst(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    // Every other command of the menu, the toolbar or a key acts on the
    // configuration or opens a window of its own: a value the user has not
    // confirmed is dropped before it runs (a dialog taking the focus would
    // otherwise be taken for the user's confirmation, and Save would write
    // a value the screen no longer shows).
    if (!KeepsHeldValue(LOWORD(wParam)) && m_pdlgCrossoverForm && m_pdlgCrossoverForm->IsWindow())
        m_pdlgCrossoverForm->DropHeldValue();
    bHandled = FALSE; // the command itself runs as ever
    return 0;
}

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    if (g_hWndSibling)
        ::PostMessageW(g_hWndSibling, g_uMsgTermLink, 0, 0);
    if (m_pdlgCrossoverForm) {
        m_pdlgCrossoverForm->DropHeldValue(); // closing confirms nothing
        m_pdlgCrossoverForm->DestroyWindow();
        m_documents.Attach(m_hWnd, nullptr);
        m_pdlgCrossoverForm.reset();
    }
    CloseLinkWindow();
    DestroyWindow();
    return 0;
}

LRESULT CMainFrame::OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    const int cyToolBar = m_bars.Layout(uMsg, wParam, lParam);
    LayoutMeters();

    if (m_pdlgCrossoverForm && m_pdlgCrossoverForm->IsWindow()) {
        RECT rcForm;
        m_pdlgCrossoverForm->GetWindowRect(&rcForm);
        m_pdlgCrossoverForm->SetWindowPos(nullptr, 0, cyToolBar + 2, LOWORD(lParam), rcForm.bottom - rcForm.top,
                                          SWP_NOZORDER);
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CMainFrame::OnMove(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    LayoutMeters();
    bHandled = FALSE;
    return 0;
}

void CMainFrame::LayoutMeters()
{
    m_meters.Layout(m_hWnd, m_bars.ToolBar());
}

LRESULT CMainFrame::OnInitMenu(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const HMENU hMenu = reinterpret_cast<HMENU>(wParam);
    const UINT uOn = MF_BYCOMMAND | MF_ENABLED;
    const UINT uOff = MF_BYCOMMAND | MF_DISABLED | MF_GRAYED;
    const bool bOpen = g_Comm.IsOpen();
    ::EnableMenuItem(hMenu, ID_CONNECT, bOpen ? uOff : uOn);
    // Like its toolbar button, Disconnect waits until the settings have been read.
    ::EnableMenuItem(hMenu, ID_DISCONNECT, bOpen && !m_connection.IsConnecting() ? uOn : uOff);
    ::EnableMenuItem(hMenu, ID_SYSTEM_MUTE, bOpen ? uOn : uOff);
    m_viewOptions.UpdateMenu(hMenu);
    if (m_pdlgCrossoverForm && m_pdlgCrossoverForm->IsWindow())
        m_pdlgCrossoverForm->EditRecorder().UpdateMenu(hMenu);
    return 0;
}

void CMainFrame::ShowDescription(int nId)
{
    m_statusHelp.ShowCommand(nId);
}

LRESULT CMainFrame::OnFieldStatus(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    m_statusHelp.SetFieldText(reinterpret_cast<const wchar_t*>(lParam));
    return 0;
}

LRESULT CMainFrame::OnSetStatusHint(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    m_statusHelp.SetWaitingText(reinterpret_cast<const wchar_t*>(lParam));
    return 0;
}

LRESULT CMainFrame::OnMenuSelect(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    ShowDescription(LOWORD(wParam));
    return 0;
}

void CMainFrame::SendToChildren(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        ::SendMessageW(hChild, uMsg, wParam, lParam);
}

LRESULT CMainFrame::OnActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    SendToChildren(uMsg, wParam, lParam);
    // The children's default handling passes the focus through the toolbar,
    // and a toolbar that makes its first button hot on focus would keep it
    // lit with the cursor elsewhere.
    POINT pt;
    if (LOWORD(wParam) != WA_INACTIVE && ::GetCursorPos(&pt) && !m_bars.IsOverToolBar(pt))
        m_bars.ToolBar().SendMessage(TB_SETHOTITEM, static_cast<WPARAM>(-1));
    bHandled = FALSE;
    return 0;
}

LRESULT CMainFrame::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    POINT pt;
    if (::GetCursorPos(&pt) && !m_bars.IsOverToolBar(pt))
        m_statusHelp.ShowCommand(0);
    bHandled = FALSE;
    return 0;
}

LRESULT CMainFrame::OnDeviceChange(UINT, WPARAM, LPARAM, BOOL&)
{
    m_deviceChoice.Refresh();
    return TRUE;
}

LRESULT CMainFrame::OnToolTipTextA(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    CFrameBars::FillTip(*reinterpret_cast<NMTTDISPINFOA*>(lParam));
    return 0;
}

LRESULT CMainFrame::OnToolTipTextW(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    CFrameBars::FillTip(*reinterpret_cast<NMTTDISPINFOW*>(lParam));
    return 0;
}

LRESULT CMainFrame::OnHotItemChange(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const auto* pHot = reinterpret_cast<const NMTBHOTITEM*>(lParam);
    ShowDescription(pHot->idNew);
    return 0;
}

void CMainFrame::UpdateConnectionState(bool bConnectEnabled)
{
    const bool bConnected = g_Comm.IsOpen();
    m_bars.ShowConnection(bConnected, bConnectEnabled, (GetSystemFlags() & SYSFLAG_MUTE) != 0);
    if (!bConnected)
        m_meters.Reset();
}

LRESULT CMainFrame::OnCommData(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    if (const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam))
        m_meters.OnRecord(*pRecord);
    return 0;
}

// --- connection ------------------------------------------------------------

LRESULT CMainFrame::OnConnect(UINT, WPARAM, LPARAM, BOOL&)
{
    m_connection.Connect();
    return 0;
}

LRESULT CMainFrame::OnDisconnect(UINT, WPARAM, LPARAM, BOOL&)
{
    m_connection.Disconnect();
    return 0;
}

LRESULT CMainFrame::OnCommPacket(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    if (const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam))
        m_connection.PacketArrived(*pRecord);
    return 0;
}

LRESULT CMainFrame::OnCommMarker(UINT, WPARAM, LPARAM, BOOL&)
{
    m_connection.MarkerReached();
    return 0;
}

LRESULT CMainFrame::OnCommFailure(UINT, WPARAM, LPARAM, BOOL&)
{
    m_connection.QueueFailed();
    return 0;
}

void CMainFrame::HoldForm()
{
    if (m_pdlgCrossoverForm)
        m_pdlgCrossoverForm->HoldForReadBack();
}

bool CMainFrame::LinkClosed()
{
    // The form's read-back (if any) ends with the link.
    return m_pdlgCrossoverForm && m_pdlgCrossoverForm->OnLinkClosed();
}

CConnectionFlow::EAnswer CMainFrame::AskDisconnect()
{
    CDlgDisconnect dlg;
    const INT_PTR nResult = dlg.DoModal(::GetActiveWindow());
    return nResult == IDOK                ? CConnectionFlow::EAnswer::Yes
           : nResult == IDC_DO_NOT_SAVE ? CConnectionFlow::EAnswer::DoNotSave
                                          : CConnectionFlow::EAnswer::No;
}

void CMainFrame::ShowError(const std::wstring& text)
{
    ::MessageBoxW(m_hWnd, text.c_str(), g_Module.LoadString(IDS_APP_TITLE).c_str(), MB_ICONERROR);
}

bool CMainFrame::ConfigurationSettled() const
{
    if (m_connection.IsConnecting() || (m_pdlgCrossoverForm && m_pdlgCrossoverForm->IsReadingBack())) {
        ::MessageBeep(MB_OK);
        return false;
    }
    return true;
}

// --- commands --------------------------------------------------------------

LRESULT CMainFrame::OnFileNew(UINT, WPARAM, LPARAM, BOOL&)
{
    if (ConfigurationSettled())
        m_documents.New();
    return 0;
}

LRESULT CMainFrame::OnFileOpen(UINT, WPARAM, LPARAM, BOOL&)
{
    if (ConfigurationSettled())
        m_documents.Open();
    return 0;
}

LRESULT CMainFrame::OnFileSave(UINT, WPARAM, LPARAM, BOOL&)
{
    if (ConfigurationSettled())
        m_documents.Save();
    return 0;
}

LRESULT CMainFrame::OnFileSaveAs(UINT, WPARAM, LPARAM, BOOL&)
{
    if (ConfigurationSettled())
        m_documents.SaveAs();
    return 0;
}

LRESULT CMainFrame::OnForwardToForm(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    // The form's own commands (profile, copy) change what the unit holds:
    // they wait, like the file commands, until the unit has been read.
    if (uMsg == WM_COMMAND && !ConfigurationSettled())
        return 0;
    if (m_pdlgCrossoverForm && m_pdlgCrossoverForm->IsWindow())
        m_pdlgCrossoverForm->SendMessage(uMsg, wParam, lParam);
    return 0;
}

LRESULT CMainFrame::OnAppExit(UINT, WPARAM, LPARAM, BOOL&)
{
    PostMessage(WM_CLOSE);
    return 0;
}

LRESULT CMainFrame::OnSelectDevice(UINT, WPARAM, LPARAM, BOOL&)
{
    m_deviceChoice.Choose(m_hWnd);
    return 0;
}

LRESULT CMainFrame::OnDownloadFirmware(UINT, WPARAM, LPARAM, BOOL&)
{
    // While the unit is read its replies are the read-back's, and a download
    // would mix its own among them.
    if (!ConfigurationSettled())
        return 0;
    CDlgDownload dlg;
    dlg.DoModal(m_hWnd);
    // A link the dialog opened is read back (so "Connected" means the screen
    // shows the unit) or closed; menu and toolbar follow the link.
    m_connection.DownloadClosed(dlg.OpenedLink(), dlg.Completed());
    return 0;
}

LRESULT CMainFrame::OnDiagnostics(UINT, WPARAM, LPARAM, BOOL&)
{
    if (!ConfigurationSettled())
        return 0;
    CDlgTerminal dlg;
    dlg.DoModal(m_hWnd);
    return 0;
}

LRESULT CMainFrame::OnSaveLinkLog(UINT, WPARAM, LPARAM, BOOL&)
{
    CLinkLogCommand::Save(m_hWnd);
    return 0;
}

LRESULT CMainFrame::OnAppAbout(UINT, WPARAM, LPARAM, BOOL&)
{
    CDlgSplash dlg(true);
    dlg.DoModal(m_hWnd);
    return 0;
}

LRESULT CMainFrame::OnSystemMute(UINT, WPARAM, LPARAM, BOOL&)
{
    SetSystemFlags(GetSystemFlags() ^ 1u, true);
    return 0;
}

LRESULT CMainFrame::OnViewOption(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    // Only the drawing changes: no need to wait for a read-back.
    if (m_viewOptions.Toggle(LOWORD(wParam)) && m_pdlgCrossoverForm)
        m_viewOptions.ApplyTo(m_pdlgCrossoverForm->GetPlot());
    return 0;
}

LRESULT CMainFrame::OnViewMeasurements(UINT, WPARAM, LPARAM, BOOL&)
{
    // Only the drawing and the sidecar's document change: no need to wait.
    if (m_pdlgCrossoverForm && m_pdlgCrossoverForm->IsWindow())
        m_measurements.ShowDialog(m_hWnd, *m_pdlgCrossoverForm);
    return 0;
}

// --- sibling program link ----------------------------------------------------

void CMainFrame::OpenLinkWindow() { m_link.OpenWindow(); }

void CMainFrame::CloseLinkWindow() { m_link.CloseWindow(); }

bool CMainFrame::HasLinkWindow() const { return m_link.HasWindow(); }

LRESULT CMainFrame::OnSiblingMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    // Dispatched here by a modal loop (a dialog or a message box is up): the
    // program's own loop would have taken it first.
    m_link.Handle(m_hWnd, uMsg, wParam, lParam);
    return 0;
}

LRESULT CMainFrame::OnSelectChannel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    if (m_link.HoldChannelWhileModal(m_hWnd, wParam))
        return 0;
    return OnForwardToForm(uMsg, wParam, lParam, bHandled);
}

LRESULT CMainFrame::OnEnable(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam)
        m_link.ReleaseHeldChannel(m_hWnd);
    bHandled = FALSE;
    return 0;
}
