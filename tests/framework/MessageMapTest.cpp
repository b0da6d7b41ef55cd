// The window framework, tested the way a platform library is: each test
// records the messages that reach handlers and procedures and compares the
// sequence with an expected table.  No timing: every message is sent.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/AppSettings.h"
#include "framework/ContainedWindow.h"
#include "framework/DialogImpl.h"
#include "framework/WindowImpl.h"
#include "resources/resource.h"

namespace {

std::vector<std::string> g_log;

void Log(const std::string& s) { g_log.push_back(s); }

std::vector<std::string> TakeLog()
{
    std::vector<std::string> out;
    out.swap(g_log);
    return out;
}

constexpr UINT WM_PING = WM_APP + 1;     // two handlers: the first passes it on
constexpr UINT WM_PASS = WM_APP + 2;     // the only handler passes it on: default processing
constexpr UINT WM_MEMBER = WM_APP + 3;   // handled by the chained member
constexpr UINT WM_NOT_MINE = WM_APP + 4; // the member passes it on, then the owner's own entry
constexpr UINT WM_RESULT = WM_APP + 5;

// A member whose map the owner chains to.
class CMember : public CMessageMap {
public:
    BEGIN_MSG_MAP(CMember)
        MESSAGE_HANDLER(WM_MEMBER, OnMember)
        MESSAGE_HANDLER(WM_NOT_MINE, OnNotMine)
    END_MSG_MAP()

    LRESULT OnMember(UINT, WPARAM, LPARAM, BOOL&)
    {
        Log("member WM_MEMBER");
        return 31;
    }
    LRESULT OnNotMine(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("member WM_NOT_MINE (passed on)");
        bHandled = FALSE;
        return 0;
    }
};

class CTestWindow : public CWindowImpl<CTestWindow> {
public:
    static CWndClassInfo GetWndClassInfo() { return {L"QVRFrameworkTestWindow", 0, nullptr, IDC_ARROW}; }

    CTestWindow() : m_wndEdit(L"EDIT", this, 1) {}

    BEGIN_MSG_MAP(CTestWindow)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_PING, OnPingFirst)
        MESSAGE_HANDLER(WM_PING, OnPingSecond)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        CHAIN_MSG_MAP_MEMBER(m_member)
        MESSAGE_HANDLER(WM_NOT_MINE, OnNotMine)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_NCDESTROY, OnNcDestroy)
    ALT_MSG_MAP(1)
        MESSAGE_HANDLER(WM_SETTEXT, OnEditSetText)
        MESSAGE_HANDLER(WM_CHAR, OnEditChar)
    END_MSG_MAP()

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&)
    {
        Log("WM_CREATE");
        const RECT rc{0, 0, 100, 20};
        m_wndEdit.Create(m_hWnd, rc, L"", WS_CHILD);
        return 0;
    }
    LRESULT OnPingFirst(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("first WM_PING (passed on)");
        bHandled = FALSE;
        return 1;
    }
    LRESULT OnPingSecond(UINT, WPARAM, LPARAM, BOOL&)
    {
        Log("second WM_PING");
        return 2;
    }
    // Passes WM_SETTEXT on when wParam is 1: then the default procedure sets the text.
    LRESULT OnSetText(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        Log(wParam == 1 ? "WM_SETTEXT (passed on)" : "WM_SETTEXT (kept)");
        bHandled = wParam == 1 ? FALSE : TRUE;
        return 77;
    }
    LRESULT OnNotMine(UINT, WPARAM, LPARAM, BOOL&)
    {
        Log("owner WM_NOT_MINE");
        return 41;
    }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("WM_DESTROY");
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("WM_NCDESTROY");
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnEditSetText(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("edit WM_SETTEXT (passed on)");
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnEditChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        Log(std::string("edit WM_CHAR ") + static_cast<char>(wParam));
        bHandled = wParam == 'x'; // 'x' is swallowed, the rest typed
        return 0;
    }
    void OnFinalMessage(HWND hWnd) override
    {
        Log(std::string("OnFinalMessage") + (hWnd && !m_hWnd ? " (detached)" : " (still attached)"));
    }

    CMember m_member;
    CContainedWindow m_wndEdit;
};

std::wstring TextOf(HWND hWnd)
{
    wchar_t sz[64] = {};
    ::GetWindowTextW(hWnd, sz, 64);
    return sz;
}

using Log_t = std::vector<std::string>;

} // namespace

TEST(MessageMap, HandledFallThroughDefaultProcessingAndChaining)
{
    CTestWindow wnd;
    const RECT rc{0, 0, 200, 100};
    ASSERT_TRUE(wnd.Create(nullptr, rc, L"start", WS_OVERLAPPEDWINDOW));
    // Creation sets the text through the default procedure (CreateWindowEx
    // does not send WM_SETTEXT); WM_CREATE reaches the map.
    EXPECT_EQ(TakeLog(), (Log_t{"WM_CREATE"}));

    // A handler that clears bHandled lets the next entry for the message run;
    // the result is the last handler's.
    EXPECT_EQ(wnd.SendMessage(WM_PING), 2);
    EXPECT_EQ(TakeLog(), (Log_t{"first WM_PING (passed on)", "second WM_PING"}));

    // Kept: the default procedure never sees it (the text stays).
    EXPECT_EQ(wnd.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"kept")), 77);
    EXPECT_EQ(TextOf(wnd), L"start");
    // Passed on: the default procedure sets the text and its result counts.
    EXPECT_EQ(wnd.SendMessage(WM_SETTEXT, 1, reinterpret_cast<LPARAM>(L"passed")), TRUE);
    EXPECT_EQ(TextOf(wnd), L"passed");
    EXPECT_EQ(TakeLog(), (Log_t{"WM_SETTEXT (kept)", "WM_SETTEXT (passed on)"}));

    // The chained member's map answers in its place in the table; what it
    // passes on goes to the owner's later entries.
    EXPECT_EQ(wnd.SendMessage(WM_MEMBER), 31);
    EXPECT_EQ(wnd.SendMessage(WM_NOT_MINE), 41);
    EXPECT_EQ(TakeLog(), (Log_t{"member WM_MEMBER", "member WM_NOT_MINE (passed on)", "owner WM_NOT_MINE"}));

    // A message no entry names goes to the default procedure only.
    EXPECT_EQ(wnd.SendMessage(WM_PASS), 0);
    EXPECT_TRUE(TakeLog().empty());

    // Destruction: the handlers, then OnFinalMessage with the object detached.
    const HWND hWnd = wnd.m_hWnd;
    ::DestroyWindow(hWnd);
    EXPECT_EQ(TakeLog(), (Log_t{"WM_DESTROY", "WM_NCDESTROY", "OnFinalMessage (detached)"}));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWindowImplBase::FromHandle(hWnd), nullptr);
}

TEST(MessageMap, AContainedWindowUsesItsOwnersAlternateMapThenTheControlsProcedure)
{
    CTestWindow wnd;
    const RECT rc{0, 0, 200, 100};
    ASSERT_TRUE(wnd.Create(nullptr, rc, L"", WS_OVERLAPPEDWINDOW));
    TakeLog();
    const HWND hEdit = wnd.m_wndEdit.m_hWnd;
    ASSERT_TRUE(hEdit);

    // The alternate map sees the edit's messages; the edit's own procedure
    // does what the map passes on.
    ::SendMessageW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"ab"));
    EXPECT_EQ(TextOf(hEdit), L"ab");
    ::SendMessageW(hEdit, EM_SETSEL, 2, 2);
    ::SendMessageW(hEdit, WM_CHAR, 'x', 0);
    ::SendMessageW(hEdit, WM_CHAR, 'c', 0);
    EXPECT_EQ(TextOf(hEdit), L"abc");
    EXPECT_EQ(TakeLog(), (Log_t{"edit WM_SETTEXT (passed on)", "edit WM_CHAR x", "edit WM_CHAR c"}));
    // The owner's main map never sees the edit's messages, nor the alternate map the owner's.
    wnd.SendMessage(WM_PING);
    EXPECT_EQ(TakeLog(), (Log_t{"first WM_PING (passed on)", "second WM_PING"}));
    ::SendMessageW(hEdit, WM_PING, 0, 0);
    EXPECT_TRUE(TakeLog().empty());
    ::DestroyWindow(wnd.m_hWnd);
    TakeLog();
}

namespace {

// A procedure someone installs on top of ours.
WNDPROC g_pfnBelowThirdParty = nullptr;
LRESULT CALLBACK ThirdPartyProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_PING)
        Log("third party");
    return ::CallWindowProcW(g_pfnBelowThirdParty, hWnd, uMsg, wParam, lParam);
}

WNDPROC g_pfnOriginal = nullptr;
LRESULT CALLBACK OriginalProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_PING) {
        Log("original");
        return 5;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

class CPingWindow : public CWindowImplBase {
public:
    BEGIN_MSG_MAP(CPingWindow)
        MESSAGE_HANDLER(WM_PING, OnPing)
    END_MSG_MAP()
    LRESULT OnPing(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("ours (passed on)");
        bHandled = FALSE;
        return 0;
    }
};

HWND CreateOriginal()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = OriginalProc;
    wc.lpszClassName = L"QVRFrameworkOriginal";
    ::RegisterClassW(&wc);
    g_pfnOriginal = OriginalProc;
    return ::CreateWindowExW(0, L"QVRFrameworkOriginal", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
}

} // namespace

TEST(Subclassing, OrderOfProceduresAndUnsubclassOnlyFromTheTop)
{
    const HWND hWnd = CreateOriginal();
    ASSERT_TRUE(hWnd);
    {
        CPingWindow ours;
        ASSERT_TRUE(ours.SubclassWindow(hWnd));
        EXPECT_FALSE(ours.SubclassWindow(hWnd)) << "one window per object";
        EXPECT_EQ(::SendMessageW(hWnd, WM_PING, 0, 0), 5);
        EXPECT_EQ(TakeLog(), (Log_t{"ours (passed on)", "original"}));

        // Someone subclasses after us: the chain is third party, ours, original.
        g_pfnBelowThirdParty = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ThirdPartyProc)));
        EXPECT_EQ(::SendMessageW(hWnd, WM_PING, 0, 0), 5);
        EXPECT_EQ(TakeLog(), (Log_t{"third party", "ours (passed on)", "original"}));

        // Unsubclassing now would cut the third party out of the chain: refused, nothing changes.
        EXPECT_EQ(ours.UnsubclassWindow(), nullptr);
        EXPECT_EQ(ours.m_hWnd, hWnd);
        EXPECT_EQ(::SendMessageW(hWnd, WM_PING, 0, 0), 5);
        EXPECT_EQ(TakeLog(), (Log_t{"third party", "ours (passed on)", "original"}));

        // Once the third party has gone, ours is on top again and leaves.
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pfnBelowThirdParty));
        EXPECT_EQ(ours.UnsubclassWindow(), hWnd);
        EXPECT_EQ(ours.m_hWnd, nullptr);
        EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(OriginalProc));
        EXPECT_EQ(::SendMessageW(hWnd, WM_PING, 0, 0), 5);
        EXPECT_EQ(TakeLog(), (Log_t{"original"}));

        // An object that dies while still subclassed restores the original.
        ASSERT_TRUE(ours.SubclassWindow(hWnd));
    }
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(OriginalProc));
    EXPECT_EQ(CWindowImplBase::FromHandle(hWnd), nullptr);
    {
        // An object that dies under someone else's subclass leaves the chain
        // whole and is never called again.
        CPingWindow ours;
        ASSERT_TRUE(ours.SubclassWindow(hWnd));
        g_pfnBelowThirdParty = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ThirdPartyProc)));
    }
    EXPECT_EQ(CWindowImplBase::FromHandle(hWnd), nullptr);
    ::SendMessageW(hWnd, WM_PING, 0, 0);
    EXPECT_EQ(TakeLog(), (Log_t{"third party"}));
    ::DestroyWindow(hWnd);
    TakeLog();
}

namespace {

class CTestDialog : public CDialogImpl<CTestDialog> {
public:
    enum { IDD = IDD_CONNECTING };

    BEGIN_MSG_MAP(CTestDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_RESULT, OnResult)
        MESSAGE_HANDLER(WM_CTLCOLORDLG, OnCtlColorDlg)
        MESSAGE_HANDLER(WM_PING, OnPing)
        MESSAGE_HANDLER(WM_NCDESTROY, OnNcDestroy)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        Log("WM_INITDIALOG");
        return TRUE;
    }
    LRESULT OnResult(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        Log("WM_RESULT");
        return static_cast<LRESULT>(wParam) * 1000 + 7;
    }
    LRESULT OnCtlColorDlg(UINT, WPARAM, LPARAM, BOOL&)
    {
        Log("WM_CTLCOLORDLG");
        return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH));
    }
    LRESULT OnPing(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("WM_PING (passed on)");
        bHandled = FALSE;
        return 99;
    }
    LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Log("WM_NCDESTROY");
        bHandled = FALSE;
        return 0;
    }
    void OnFinalMessage(HWND) override { Log(m_hWnd ? "OnFinalMessage (still attached)" : "OnFinalMessage"); }
};

} // namespace

TEST(DialogMap, ResultsGoThroughDwlpMsgResultExceptTheDirectOnes)
{
    CTestDialog dlg;
    const HWND hDlg = dlg.Create(nullptr);
    ASSERT_TRUE(hDlg);
    Log_t log = TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "WM_INITDIALOG");

    // An ordinary message's result reaches the sender through DWLP_MSGRESULT.
    EXPECT_EQ(::SendMessageW(hDlg, WM_RESULT, 3, 0), 3007);
    EXPECT_EQ(::GetWindowLongPtrW(hDlg, DWLP_MSGRESULT), 3007);
    // WM_CTLCOLOR* return the brush directly (DWLP_MSGRESULT untouched).
    EXPECT_EQ(::SendMessageW(hDlg, WM_CTLCOLORDLG, 0, 0), reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)));
    EXPECT_EQ(::GetWindowLongPtrW(hDlg, DWLP_MSGRESULT), 3007);
    // A message the map passes on gets the dialog manager's default (0), not the handler's 99.
    EXPECT_EQ(::SendMessageW(hDlg, WM_PING, 0, 0), 0);
    EXPECT_EQ(TakeLog(), (Log_t{"WM_RESULT", "WM_CTLCOLORDLG", "WM_PING (passed on)"}));

    ::DestroyWindow(hDlg);
    EXPECT_EQ(TakeLog(), (Log_t{"WM_NCDESTROY", "OnFinalMessage"}));
    EXPECT_EQ(CWindowImplBase::FromHandle(hDlg), nullptr);
}

// The remembered choices: what is written reads back, a value of the wrong
// type or a missing key reads as absent, and deleting leaves nothing.
TEST(AppSettings, ValuesRoundTripAndBadOnesReadAsAbsent)
{
    ASSERT_TRUE(CAppSettings::DeleteAll());
    EXPECT_FALSE(CAppSettings::ReadDword(L"Probe").has_value());
    EXPECT_FALSE(CAppSettings::ReadString(L"Probe").has_value());
    EXPECT_TRUE(CAppSettings::DeleteValue(L"Probe")); // no key at all is not a failure

    ASSERT_TRUE(CAppSettings::WriteDword(L"Number", 0x80000001u));
    ASSERT_TRUE(CAppSettings::WriteString(L"Text", L"COM5"));
    EXPECT_EQ(CAppSettings::ReadDword(L"Number").value_or(0), 0x80000001u);
    EXPECT_EQ(CAppSettings::ReadString(L"Text").value_or(L""), L"COM5");
    // The other type under the same name is not taken for the one asked.
    EXPECT_FALSE(CAppSettings::ReadString(L"Number").has_value());
    EXPECT_FALSE(CAppSettings::ReadDword(L"Text").has_value());

    // A string stored without its terminator (another program wrote it) ends where its bytes end.
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, CAppSettings::KEY_PATH, 0, KEY_SET_VALUE, &hKey), ERROR_SUCCESS);
    const wchar_t raw[] = {L'C', L'O', L'M', L'7'};
    ASSERT_EQ(::RegSetValueExW(hKey, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof(raw)),
              ERROR_SUCCESS);
    ::RegCloseKey(hKey);
    EXPECT_EQ(CAppSettings::ReadString(L"Raw").value_or(L""), L"COM7");

    ASSERT_TRUE(CAppSettings::DeleteValue(L"Text"));
    EXPECT_FALSE(CAppSettings::ReadString(L"Text").has_value());
    EXPECT_EQ(CAppSettings::ReadDword(L"Number").value_or(0), 0x80000001u);
    ASSERT_TRUE(CAppSettings::DeleteAll());
    EXPECT_FALSE(CAppSettings::ReadDword(L"Number").has_value());
}
