#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <algorithm>
#include <limits>
#include <vector>

#include "device/RXQueue.h"
#include "framework/AppGlobals.h"
#include "framework/AppSettings.h"
#include "shell/DlgSplash.h"
#include "shell/DocumentFile.h"
#include "shell/MainFrame.h"
#include "shell/MessageLoop.h"
#include "shell/ViewOptions.h"
#include "shell/StartFolder.h"
#include "shell/DeviceChoice.h"
#include "shell/SiblingLink.h"
#include "device/DlgSelectDevice.h"
#include "device/Comm.h"
#include "device/usbxp/SerialCommPorts.h"
#include "framework/AppSettings.h"

TEST(MainFrame, ClientSizeFollowsTheScreenResolution)
{
    SIZE s = CMainFrame::ComputeClientSize(96, 96);
    EXPECT_EQ(s.cx, 755);
    EXPECT_EQ(s.cy, 520);
    s = CMainFrame::ComputeClientSize(120, 120);
    EXPECT_EQ(s.cx, 1094);
    EXPECT_EQ(s.cy, 650);
    s = CMainFrame::ComputeClientSize(144, 144);
    EXPECT_EQ(s.cx, 1349);
    EXPECT_EQ(s.cy, 780);
}

TEST(Splash, FirmwareLineFromTheReplyBytes)
{
    wchar_t sz[256];
    // LWord bytes 1, 0, 5, 0; UWord bytes 1..3 = 0x04, 0x15, 0x14.
    CDlgSplash::FormatFirmwareRevision(0x14150400u, 0x00050001u, sz, 256);
    EXPECT_STREQ(sz, L"Firmware Revision 1.5 (15/04/2014)");
    CDlgSplash::FormatFirmwareRevision(0xFFFFFFFFu, 0x0300000Au, sz, 256);
    EXPECT_STREQ(sz, L"Firmware Revision 10.3 (ff/ff/20ff)");
    CDlgSplash::FormatFirmwareRevision(0x14150400u, 0x00050001u, sz, 10); // cut and terminated
    EXPECT_EQ(std::wcslen(sz), 9u);
}

namespace {

void PumpMessages()
{
    MSG msg;
    for (int i = 0; i < 5; ++i) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
}

// Screen pixels of a control's rectangle that are dark (text).
std::vector<POINT> DarkPixels(HWND hCtl)
{
    RECT rc;
    ::GetWindowRect(hCtl, &rc);
    std::vector<POINT> dark;
    HDC dc = ::GetDC(nullptr);
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            const COLORREF c = ::GetPixel(dc, x, y);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128)
                dark.push_back(POINT{x, y});
        }
    ::ReleaseDC(nullptr, dc);
    return dark;
}

} // namespace

TEST(Splash, FirmwareLineLeavesTheVersionTextWhole)
{
    // The version's second line reaches into the firmware line's strip: once
    // the firmware line shows, every letter of the version must still be there.
    CDlgSplash dlg(true); // the link is closed: the line starts hidden
    ASSERT_TRUE(dlg.Create(nullptr));
    ::SetWindowPos(dlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    PumpMessages();
    ::UpdateWindow(dlg);
    const HWND hVersion = ::GetDlgItem(dlg, IDC_SPLASH_VERSION);
    const HWND hFirmware = ::GetDlgItem(dlg, IDC_SPLASH_FIRMWARE);
    const std::vector<POINT> before = DarkPixels(hVersion);
    ASSERT_GT(before.size(), 100u);

    ::ShowWindow(hFirmware, SW_SHOW);
    utRXQueue record{};
    record.bKind = 2;
    record.bCommand = 10; // firmware revision
    RXPutWord(record.bUWord, 0x14150400u);
    RXPutWord(record.bLWord, 0x00050001u);
    ::SendMessageW(dlg, WM_COMM_PACKET, 0, reinterpret_cast<LPARAM>(&record));
    PumpMessages();
    ::UpdateWindow(dlg);

    wchar_t sz[64] = {};
    ::GetWindowTextW(hFirmware, sz, 64);
    EXPECT_STREQ(sz, L"Firmware Revision 1.5 (15/04/2014)");
    const std::vector<POINT> firmware = DarkPixels(hFirmware);
    EXPECT_GT(firmware.size(), 50u);
    HDC dc = ::GetDC(nullptr);
    int nLost = 0;
    for (const POINT& pt : before) {
        const COLORREF c = ::GetPixel(dc, pt.x, pt.y);
        if (GetRValue(c) + GetGValue(c) + GetBValue(c) >= 3 * 128)
            ++nLost;
    }
    ::ReleaseDC(nullptr, dc);
    EXPECT_EQ(nLost, 0);
    dlg.DestroyWindow();
}

namespace {

// Stands in for the sibling program's frame: counts the link starts it receives.
struct SSibling {
    HWND hWnd = nullptr;
    static inline int s_nStarts = 0;
    static inline LPARAM s_lLastFrom = 0;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        if (m == g_uMsgInitLink) {
            ++s_nStarts;
            s_lLastFrom = l;
            return 0;
        }
        return ::DefWindowProcW(h, m, w, l);
    }
    SSibling()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = L"ShellTestSibling";
        ::RegisterClassW(&wc);
        hWnd = ::CreateWindowW(L"ShellTestSibling", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    ~SSibling() { ::DestroyWindow(hWnd); }
    static void Pump()
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    }
};

} // namespace

TEST(MessageLoop, LinkStartIsAnsweredOncePerSibling)
{
    CMainFrame frame; // no window needed for the link bookkeeping
    CMessageLoop loop(frame, nullptr);
    SSibling first, second;
    g_hWndMain = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
    SSibling::s_nStarts = 0;

    loop.OnLinkStart(first.hWnd);
    SSibling::Pump();
    EXPECT_EQ(g_hWndSibling, first.hWnd);
    EXPECT_EQ(SSibling::s_nStarts, 1);
    EXPECT_EQ(SSibling::s_lLastFrom, 0x1234);

    // The sibling answering our answer does not start another round.
    loop.OnLinkStart(first.hWnd);
    SSibling::Pump();
    EXPECT_EQ(SSibling::s_nStarts, 1);

    // A different sibling window replaces the link and is answered.
    loop.OnLinkStart(second.hWnd);
    SSibling::Pump();
    EXPECT_EQ(g_hWndSibling, second.hWnd);
    EXPECT_EQ(SSibling::s_nStarts, 2);

    // One link window all along, owned by the frame, gone with the link.
    const auto countLinkWindows = [] {
        int n = 0;
        for (HWND h = ::FindWindowW(L"#32770", L"QVR500/PLM-40"); h;
             h = ::FindWindowExW(nullptr, h, L"#32770", L"QVR500/PLM-40"))
            ++n;
        return n;
    };
    EXPECT_TRUE(frame.HasLinkWindow());
    EXPECT_EQ(countLinkWindows(), 1);
    loop.OnLinkEnd();
    EXPECT_EQ(g_hWndSibling, nullptr);
    EXPECT_FALSE(frame.HasLinkWindow());
    EXPECT_EQ(countLinkWindows(), 0);
    loop.OnLinkEnd(); // a link end with no link window only clears the sibling
    EXPECT_EQ(g_hWndSibling, nullptr);
    g_hWndMain = nullptr;
}

TEST(MessageLoop, WheelAndSiblingMessagesAreFiltered)
{
    CMainFrame frame;
    CMessageLoop loop(frame, nullptr);
    SSibling target;
    static int s_nWheel, s_nTermLink, s_nChannelChange;
    s_nWheel = s_nTermLink = s_nChannelChange = 0;
    ::SetWindowLongPtrW(target.hWnd, GWLP_WNDPROC,
                        reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                            if (m == WM_MOUSEWHEEL)
                                ++s_nWheel;
                            if (m == g_uMsgTermLink)
                                ++s_nTermLink;
                            if (m == g_uMsgChannelChange)
                                ++s_nChannelChange;
                            return ::DefWindowProcW(h, m, w, l);
                        }));
    MSG msg{target.hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0, 0, {}};
    loop.ProcessMessage(msg);
    EXPECT_EQ(s_nWheel, 0);

    // A link start arriving through the loop links up and is not dispatched.
    g_hWndSibling = nullptr;
    MSG start{target.hWnd, g_uMsgInitLink, 0, reinterpret_cast<LPARAM>(target.hWnd), 0, {}};
    loop.ProcessMessage(start);
    EXPECT_EQ(g_hWndSibling, target.hWnd);
    MSG end{target.hWnd, g_uMsgTermLink, 0, 0, 0, {}};
    loop.ProcessMessage(end);
    EXPECT_EQ(g_hWndSibling, nullptr);
    EXPECT_EQ(s_nTermLink, 1); // still dispatched to its window
    SSibling::Pump();

    // A channel change becomes WM_SELECT_CHANNEL (2047) with the sibling's
    // number, for the frame; the message itself goes no further.
    MSG change{target.hWnd, g_uMsgChannelChange, 6, 0, 0, {}};
    loop.ProcessMessage(change);
    MSG posted{};
    ASSERT_TRUE(::PeekMessageW(&posted, nullptr, 2047, 2047, PM_REMOVE));
    EXPECT_EQ(posted.wParam, 6u);
    EXPECT_EQ(s_nChannelChange, 0);
}

// A modal dialog's loop dispatches the sibling's messages straight to the
// frame: the frame handles them as the program's own loop does.
TEST(MainFrame, SiblingMessagesReachingTheFrameAreHandled)
{
    CMainFrame frame;
    SSibling target;
    BOOL bHandled = TRUE;
    g_hWndSibling = nullptr;
    frame.OnSiblingMessage(g_uMsgInitLink, 0, reinterpret_cast<LPARAM>(target.hWnd), bHandled);
    EXPECT_EQ(g_hWndSibling, target.hWnd);
    EXPECT_TRUE(frame.HasLinkWindow());
    frame.OnSiblingMessage(g_uMsgTermLink, 0, 0, bHandled);
    EXPECT_EQ(g_hWndSibling, nullptr);
    EXPECT_FALSE(frame.HasLinkWindow());
    frame.OnSiblingMessage(g_uMsgChannelChange, 7, 0, bHandled);
    MSG posted{};
    ASSERT_TRUE(::PeekMessageW(&posted, nullptr, 2047, 2047, PM_REMOVE));
    EXPECT_EQ(posted.wParam, 7u);
    SSibling::Pump();
}


namespace {
// A stand-in for the frame: it takes WM_SELECT_CHANNEL and WM_ENABLE as the
// frame does, through the sibling link.
struct SHoldFrame {
    static inline CSiblingLink* s_pLink = nullptr;
    static inline std::vector<WPARAM> s_applied;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        if (m == WM_SELECT_CHANNEL) {
            if (!s_pLink->HoldChannelWhileModal(h, w))
                s_applied.push_back(w);
            return 0;
        }
        if (m == WM_ENABLE && w)
            s_pLink->ReleaseHeldChannel(h);
        return ::DefWindowProcW(h, m, w, l);
    }
};

// Runs f once on the next timer tick of the modal loop that is running;
// posted messages go first (a tick comes only when none is waiting).
void OnNextTick(void (*f)())
{
    static void (*s_f)() = nullptr;
    s_f = f;
    ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        s_f();
    });
}

// Closes the top-level dialog of this thread titled pszTitle.
void CloseModal(const wchar_t* pszTitle)
{
    ::PostMessageW(::FindWindowW(L"#32770", pszTitle), WM_COMMAND, IDCANCEL, 0);
}
} // namespace

// A channel change from the sibling while a modal window of the program is
// up (a dialog, a message box, one inside the other) is held, and only the
// last one is applied, once, when the frame is enabled again.
TEST(SiblingLink, AChannelChangeWaitsWhileAnyModalWindowIsUp)
{
    CSiblingLink link;
    SHoldFrame::s_pLink = &link;
    SHoldFrame::s_applied.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = SHoldFrame::Proc;
    wc.lpszClassName = L"ShellTestHoldFrame";
    ::RegisterClassW(&wc);
    const HWND hFrame = ::CreateWindowW(L"ShellTestHoldFrame", L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                        nullptr, nullptr);
    ASSERT_TRUE(hFrame);
    static HWND s_hFrame;
    s_hFrame = hFrame;

    // No modal window: taken at once.
    ::SendMessageW(hFrame, WM_SELECT_CHANNEL, 4, 0);
    EXPECT_EQ(SHoldFrame::s_applied, std::vector<WPARAM>{4});
    SHoldFrame::s_applied.clear();

    // A message box of the frame.
    ::PostMessageW(hFrame, WM_SELECT_CHANNEL, 1, 0);
    ::PostMessageW(hFrame, WM_SELECT_CHANNEL, 2, 0);
    static bool s_bAppliedUnderBox;
    OnNextTick([] {
        s_bAppliedUnderBox = !SHoldFrame::s_applied.empty();
        CloseModal(L"hold test");
    });
    ::MessageBoxW(hFrame, L"text", L"hold test", MB_OKCANCEL);
    EXPECT_FALSE(s_bAppliedUnderBox);
    EXPECT_TRUE(SHoldFrame::s_applied.empty()) << "applied after the caller of the box has returned";
    PumpMessages();
    EXPECT_EQ(SHoldFrame::s_applied, std::vector<WPARAM>{2});
    SHoldFrame::s_applied.clear();

    // A dialog, and a message box over it (the dialog is its owner: the
    // frame stays disabled when the box goes).
    ::PostMessageW(hFrame, WM_SELECT_CHANNEL, 6, 0);
    static bool s_bAppliedUnderDialog;
    OnNextTick([] {
        ::PostMessageW(s_hFrame, WM_SELECT_CHANNEL, 7, 0);
        OnNextTick([] { CloseModal(L"inner box"); });
        ::MessageBoxW(::FindWindowW(L"#32770", L"Select Device"), L"text", L"inner box", MB_OKCANCEL);
        ::PostMessageW(s_hFrame, WM_SELECT_CHANNEL, 1, 0);
        OnNextTick([] {
            s_bAppliedUnderDialog = !SHoldFrame::s_applied.empty();
            CloseModal(L"Select Device");
        });
    });
    CDlgSelectDevice dlg;
    dlg.DoModal(hFrame);
    EXPECT_FALSE(s_bAppliedUnderDialog);
    PumpMessages();
    EXPECT_EQ(SHoldFrame::s_applied, std::vector<WPARAM>{1});
    ::DestroyWindow(hFrame);
    SHoldFrame::s_pLink = nullptr;
}

TEST(MainFrame, DeviceChangeFollowsTheKnownUnitByItsSerial)
{
    CMainFrame frame;
    BOOL bHandled = TRUE;
    const int nSaved = g_Comm.GetDeviceNumber();
    auto devices = [](const wchar_t* psz) { ::SetEnvironmentVariableW(L"QVR500_DEVICES", psz); };

    g_Comm.SetDeviceNumber(-1);
    devices(L"tcp:127.0.0.1:9:QVR500 USB:A;tcp:127.0.0.1:9:USBXpress Device:B");
    EXPECT_EQ(frame.OnDeviceChange(WM_DEVICECHANGE, 0, 0, bHandled), TRUE);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 1); // plugged in: found

    devices(L"tcp:127.0.0.1:9:USBXpress Device:C;tcp:127.0.0.1:9:USBXpress Device:B");
    frame.OnDeviceChange(WM_DEVICECHANGE, 0, 0, bHandled);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 1); // still there: kept, though another comes first

    // The unit moves in the list: followed by its serial number; its old
    // number now names another unit, which must never be opened for it.
    devices(L"tcp:127.0.0.1:9:USBXpress Device:B;tcp:127.0.0.1:9:USBXpress Device:C");
    frame.OnDeviceChange(WM_DEVICECHANGE, 0, 0, bHandled);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 0);
    // It goes away while another automatic unit stays: that one, by the automatic lookup.
    devices(L"tcp:127.0.0.1:9:QVR500 USB:B;tcp:127.0.0.1:9:USBXpress Device:C");
    frame.OnDeviceChange(WM_DEVICECHANGE, 0, 0, bHandled);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 1);

    devices(L"");
    frame.OnDeviceChange(WM_DEVICECHANGE, 0, 0, bHandled);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), -1); // unplugged: forgotten

    ::SetEnvironmentVariableW(L"QVR500_DEVICES", nullptr);
    g_Comm.SetDeviceNumber(nSaved);
}

TEST(ViewOptions, RememberedAcrossStartsAndAppliedToThePlotAndMenu)
{
    CAppSettings::DeleteValue(CViewOptions::VALUE_SUMMED_RESPONSE);
    CAppSettings::DeleteValue(CViewOptions::VALUE_PHASE);
    HMENU hMenu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_TRUE(hMenu);
    auto checked = [&](UINT nId) { return (::GetMenuState(hMenu, nId, MF_BYCOMMAND) & MF_CHECKED) != 0; };

    // Nothing stored: both off, the plot as it always was.
    CViewOptions first;
    first.Load();
    CCtlQVRXOPlot plot(CHANNEL_CENTER);
    first.ApplyTo(plot);
    first.UpdateMenu(hMenu);
    EXPECT_FALSE(plot.IsSumShown() || plot.IsPhaseShown());
    EXPECT_FALSE(checked(ID_VIEW_SUMMED_RESPONSE) || checked(ID_VIEW_PHASE));

    EXPECT_TRUE(first.Toggle(ID_VIEW_SUMMED_RESPONSE));
    EXPECT_FALSE(first.Toggle(ID_SYSTEM_MUTE)); // not a View command: nothing changes
    first.ApplyTo(plot);
    first.UpdateMenu(hMenu);
    EXPECT_TRUE(plot.IsSumShown());
    EXPECT_FALSE(plot.IsPhaseShown());
    EXPECT_TRUE(checked(ID_VIEW_SUMMED_RESPONSE));
    EXPECT_FALSE(checked(ID_VIEW_PHASE));
    EXPECT_EQ(CAppSettings::ReadDword(CViewOptions::VALUE_SUMMED_RESPONSE), std::optional<DWORD>(1));

    // The next start finds both choices; switching one off is remembered too.
    first.Toggle(ID_VIEW_PHASE);
    first.Toggle(ID_VIEW_SUMMED_RESPONSE);
    CViewOptions next;
    next.Load();
    EXPECT_FALSE(next.IsSumShown());
    EXPECT_TRUE(next.IsPhaseShown());

    // A value of another type reads as nothing stored.
    CAppSettings::WriteString(CViewOptions::VALUE_PHASE, L"1");
    next.Load();
    EXPECT_FALSE(next.IsPhaseShown());
    CAppSettings::DeleteValue(CViewOptions::VALUE_SUMMED_RESPONSE);
    CAppSettings::DeleteValue(CViewOptions::VALUE_PHASE);
    ::DestroyMenu(hMenu);
}

TEST(ViewOptions, MeasurementCurvesAreOnUntilSwitchedOffAndEachIsRememberedOnItsOwn)
{
    const wchar_t* const apszValues[] = {CViewOptions::VALUE_MEASURED, CViewOptions::VALUE_PREDICTED,
                                         CViewOptions::VALUE_TARGET};
    for (const wchar_t* psz : apszValues)
        CAppSettings::DeleteValue(psz);
    HMENU hMenu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_TRUE(hMenu);
    auto checked = [&](UINT nId) { return (::GetMenuState(hMenu, nId, MF_BYCOMMAND) & MF_CHECKED) != 0; };

    // Nothing stored: all three on (they draw nothing without a measurement).
    CViewOptions first;
    first.Load();
    CCtlQVRXOPlot plot(CHANNEL_LEFT);
    first.ApplyTo(plot);
    first.UpdateMenu(hMenu);
    for (const EOverlayCurve e : {EOverlayCurve::Measured, EOverlayCurve::Predicted, EOverlayCurve::Target})
        EXPECT_TRUE(plot.IsOverlayCurveShown(e));
    EXPECT_TRUE(checked(ID_VIEW_MEASURED) && checked(ID_VIEW_PREDICTED) && checked(ID_VIEW_TARGET));
    EXPECT_FALSE(plot.IsSumShown()); // the old choices keep their own defaults

    // Predicted off: only it changes, on the plot, in the menu and for the next start.
    EXPECT_TRUE(first.Toggle(ID_VIEW_PREDICTED));
    first.ApplyTo(plot);
    first.UpdateMenu(hMenu);
    EXPECT_FALSE(plot.IsOverlayCurveShown(EOverlayCurve::Predicted));
    EXPECT_TRUE(plot.IsOverlayCurveShown(EOverlayCurve::Measured) && plot.IsOverlayCurveShown(EOverlayCurve::Target));
    EXPECT_FALSE(checked(ID_VIEW_PREDICTED));
    EXPECT_EQ(CAppSettings::ReadDword(CViewOptions::VALUE_PREDICTED), std::optional<DWORD>(0));
    CViewOptions next;
    next.Load();
    EXPECT_FALSE(next.IsPredictedShown());
    EXPECT_TRUE(next.IsMeasuredShown() && next.IsTargetShown());

    // A value of another type reads as nothing stored: back to on.
    CAppSettings::WriteString(CViewOptions::VALUE_PREDICTED, L"0");
    next.Load();
    EXPECT_TRUE(next.IsPredictedShown());
    for (const wchar_t* psz : apszValues)
        CAppSettings::DeleteValue(psz);
    ::DestroyMenu(hMenu);
}

#include "shell/OpenApproval.h"

TEST(OpenApproval, ValuesAreNamedByChannelAndFieldWithTheRangeAndTheListIsBounded)
{
    std::vector<CConfigCheck::SFinding> named;
    auto finding = [](int nRecord, EChannelField eField, float v, bool bNonFinite) {
        CConfigCheck::SFinding f;
        f.nRecord = nRecord;
        f.eField = eField;
        f.fltValue = v;
        f.bNonFinite = bNonFinite;
        f.eVerdict = bNonFinite ? CConfigCheck::EVerdict::NonFinite : CConfigCheck::EVerdict::OutOfRange;
        return f;
    };
    named.push_back(finding(0, FIELD_HP_FREQ, 45.0f, false));
    named.push_back(finding(2, FIELD_HIGH_GAIN, 1e30f, false));
    named.push_back(finding(5, FIELD_HP_Q, 5.0f, false));
    EXPECT_EQ(COpenApproval::ListValues(named, MODE_BIAMP),
              L"Left: HP Freq. is 45 (the editor takes 20 to 40 Hz)\r\n"
              L"Center: High Gain is 1e+30 (the editor takes -18 to 0 dB)\r\n"
              L"Subwoofer: HP Q is 5 (the editor takes 0.707 or 2.0)");
    named.clear();
    for (int i = 0; i < 14; ++i)
        named.push_back(finding(i % CHANNEL_COUNT, FIELD_LOW_GAIN, std::numeric_limits<float>::quiet_NaN(), true));
    const std::wstring list = COpenApproval::ListValues(named, MODE_TRIAMP);
    EXPECT_EQ(list.substr(0, 25), L"Left: Low Gain is NaN\r\nRi");
    EXPECT_EQ(std::count(list.begin(), list.end(), L'\n'), static_cast<long>(COpenApproval::MAX_LISTED));
    EXPECT_EQ(list.substr(list.size() - 10), L"and 4 more");
}

// Where Open and Save As start: the last folder used; the first time the
// program's folder if the user may write there, else Documents.  (Wine
// grants every write and tests run as root, so the check is replaced.)
TEST(StartFolder, LastFolderElseWritableProgramFolderElseDocuments)
{
    ASSERT_TRUE(CAppSettings::DeleteAll());
    const std::wstring program = CDocumentFile::ProgramFolder();
    const std::wstring documents = CStartFolder::DocumentsFolder();
    ASSERT_FALSE(documents.empty());
    ASSERT_NE(program, documents);

    CStartFolder::SetWritableCheck([](const std::wstring&) { return true; });
    EXPECT_EQ(CStartFolder::Get(), program);
    CStartFolder::SetWritableCheck([](const std::wstring&) { return false; });
    EXPECT_EQ(CStartFolder::Get(), documents) << "installed under Program Files";

    wchar_t szTemp[MAX_PATH];
    ASSERT_NE(::GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring last = std::wstring(szTemp) + L"qvr-start-folder-test";
    ASSERT_TRUE(::CreateDirectoryW(last.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    CStartFolder::Remember((last + L"\\show.qvr").c_str());
    EXPECT_EQ(CStartFolder::Get(), last);
    EXPECT_EQ(CAppSettings::ReadString(CStartFolder::SETTING).value_or(L""), last) << "kept for the next start";
    // A remembered folder that has gone is passed over, as is one no dialog could start in.
    ASSERT_TRUE(::RemoveDirectoryW(last.c_str()));
    EXPECT_EQ(CStartFolder::Get(), documents);
    CAppSettings::WriteString(CStartFolder::SETTING, std::wstring(300, L'x'));
    EXPECT_EQ(CStartFolder::Get(), documents);
    CStartFolder::Remember(L"C:\\show.qvr");
    EXPECT_EQ(CAppSettings::ReadString(CStartFolder::SETTING).value_or(L""), L"C:\\");

    // The real check: a folder one can write to, and one that is not there.
    CStartFolder::SetWritableCheck(nullptr);
    EXPECT_TRUE(CStartFolder::IsWritable(std::wstring(szTemp).substr(0, std::wcslen(szTemp) - 1)));
    EXPECT_FALSE(CStartFolder::IsWritable(last));
    ASSERT_TRUE(CAppSettings::DeleteAll());
}

// The unit chosen in Select Device, remembered for the next start: taken
// like a choice of this run while it is attached; otherwise the automatic
// lookup's unit stands.  A chosen unit found at another index is followed
// there; one that has gone is never replaced by whatever took its number.
TEST(DeviceChoice, RememberedUnitIsTakenWhileAttached)
{
    SerialCommPorts::SetSource([] { return std::vector<std::string>{"COM4"}; });
    ASSERT_TRUE(CAppSettings::DeleteAll());
    ::SetEnvironmentVariableA("QVR500_DEVICES", "sim:ca:USBXpress Device:AUTO;sim:cb:QVR500 USB:SN-B");
    g_Comm.SetDeviceNumber(CComm::FindDevice());

    CDeviceChoice choice;
    choice.Restore(); // nothing remembered: the automatic lookup's unit
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 0);
    ASSERT_TRUE(CAppSettings::WriteString(CDeviceChoice::SETTING, L"COM4"));
    choice.Restore();
    EXPECT_EQ(choice.GetSerial(), L"COM4");
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 2); // after the two entries of the variable

    // The variable loses an entry: the port moves up, and Connect follows it.
    ::SetEnvironmentVariableA("QVR500_DEVICES", "sim:cb:QVR500 USB:SN-B");
    EXPECT_EQ(choice.ResolveForConnect(), 1);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 1);
    // The port is gone: neither what took its number nor the automatic unit
    // is opened for it (Connect says the unit could not be found), on a
    // device change as before Connect; the choice stands for this run.
    SerialCommPorts::SetSource([] { return std::vector<std::string>{}; });
    ::SetEnvironmentVariableA("QVR500_DEVICES",
                              "sim:cb:QVR500 USB:SN-B;sim:cc:QVR500 USB:SN-C;sim:ca:USBXpress Device:AUTO");
    choice.Refresh();
    EXPECT_EQ(g_Comm.GetDeviceNumber(), -1);
    EXPECT_EQ(choice.ResolveForConnect(), -1);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), -1);
    EXPECT_EQ(choice.GetSerial(), L"COM4");
    EXPECT_EQ(CAppSettings::ReadString(CDeviceChoice::SETTING).value_or(L""), L"COM4") << "kept for a later start";
    // Plugged in again (at another index): it is the one Connect opens.
    SerialCommPorts::SetSource([] { return std::vector<std::string>{"COM4"}; });
    choice.Refresh();
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 3);
    EXPECT_EQ(choice.ResolveForConnect(), 3);

    // A remembered unit that is not attached at start: the existing rules apply.
    SerialCommPorts::SetSource([] { return std::vector<std::string>{}; });
    ::SetEnvironmentVariableA("QVR500_DEVICES", "sim:ca:USBXpress Device:AUTO");
    g_Comm.SetDeviceNumber(CComm::FindDevice());
    choice.Restore();
    EXPECT_EQ(g_Comm.GetDeviceNumber(), 0);
    EXPECT_EQ(choice.GetSerial(), L"");
    // A remembered text too long to be any serial number names nothing.
    ASSERT_TRUE(CAppSettings::WriteString(CDeviceChoice::SETTING, std::wstring(300, L'A')));
    choice.Restore();
    EXPECT_EQ(choice.GetSerial(), L"");
    ASSERT_TRUE(CAppSettings::DeleteAll());
    ::SetEnvironmentVariableA("QVR500_DEVICES", nullptr);
}
