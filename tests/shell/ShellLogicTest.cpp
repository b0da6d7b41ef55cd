#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "device/RXQueue.h"
#include "framework/AppGlobals.h"
#include "shell/DlgSplash.h"
#include "shell/MainFrame.h"
#include "shell/MessageLoop.h"

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

#include "device/Comm.h"

TEST(MainFrame, DeviceChangeNeverSwapsAKnownUnit)
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

    devices(L"");
    frame.OnDeviceChange(WM_DEVICECHANGE, 0, 0, bHandled);
    EXPECT_EQ(g_Comm.GetDeviceNumber(), -1); // unplugged: forgotten

    ::SetEnvironmentVariableW(L"QVR500_DEVICES", nullptr);
    g_Comm.SetDeviceNumber(nSaved);
}
