// The connection's steps against the simulated unit, with a host that
// records what they ask of the frame's windows and answers the Disconnect
// question: the order of those questions is the connection's road as the
// user sees it (Connect greyed and the form held before the unit's first
// answer, the read-back started by that answer, the state shown at its end,
// the link closed only by the store's answer).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "device/usbxp/SerialCommPorts.h"
#include "framework/AppGlobals.h"
#include "framework/AppMessages.h"
#include "framework/AppSettings.h"
#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"
#include "shell/ConnectionExecutor.h"
#include "shell/DeviceChoice.h"
#include "sim/SimRegistry.h"
#include "sim/SimUnit.h"

namespace {

using Asked = std::vector<std::wstring>;

class CRecordingHost final : public CConnectionExecutor::IHost {
public:
    Asked asked;
    std::deque<CConnectionFlow::EAnswer> answers; // of the Disconnect questions, in order

    void ShowState(bool bConnectEnabled) override
    {
        asked.push_back(bConnectEnabled ? L"state, Connect on" : L"state, Connect off");
    }
    void EnableConnectButton(bool bEnabled) override { asked.push_back(bEnabled ? L"Connect on" : L"Connect off"); }
    void HoldForm() override { asked.push_back(L"hold form"); }
    void StartReadBack() override { asked.push_back(L"read back"); }
    bool LinkClosed() override
    {
        asked.push_back(L"link closed");
        return false;
    }
    CConnectionFlow::EAnswer AskDisconnect() override
    {
        asked.push_back(L"ask disconnect");
        const CConnectionFlow::EAnswer answer = answers.empty() ? CConnectionFlow::EAnswer::No : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
    void ShowError(const std::wstring& text) override { asked.push_back(L"error: " + text); }

    Asked Take() { return std::exchange(asked, {}); }
    // The same without the state shown at each flags answer of the meter
    // poll (how many come depends on the machine's speed).
    Asked TakeButPolledState()
    {
        Asked taken = Take();
        taken.erase(std::remove_if(taken.begin(), taken.end(),
                                   [](const std::wstring& s) { return s.rfind(L"state, ", 0) == 0; }),
                    taken.end());
        return taken;
    }
};

// Stands in for the frame: the queue's records for it go to the steps.
struct SAdviseWindow {
    static inline CConnectionExecutor* s_pExec = nullptr;
    // Runs after the steps have had each flags answer.
    static inline std::function<void()> s_afterFlagsAnswer;
    // While set, the records for the steps wait here, in order, as if the
    // unit had not answered yet; Release hands them over.
    static inline bool s_bHolding = false;
    static inline std::vector<std::pair<UINT, utRXQueue>> s_held;
    HWND hWnd = nullptr;

    static void Deliver(UINT m, const utRXQueue& record)
    {
        if (m == WM_COMM_PACKET) {
            s_pExec->PacketArrived(record);
            if (record.bCommand == CMD_SYSTEM_FLAGS && s_afterFlagsAnswer)
                s_afterFlagsAnswer();
        } else {
            s_pExec->QueueFailed();
        }
    }
    static void Release()
    {
        // Records that come while the held ones are handed over (a close
        // handles sent messages) join the end: the order stays the pipe's.
        while (!s_held.empty()) {
            const auto [m, record] = s_held.front();
            s_held.erase(s_held.begin());
            Deliver(m, record);
        }
        s_bHolding = false;
    }
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        if ((m == WM_COMM_PACKET && l) || m == WM_COMM_FAILURE) {
            utRXQueue record{};
            if (l)
                record = *reinterpret_cast<const utRXQueue*>(l);
            if (s_bHolding)
                s_held.emplace_back(m, record);
            else if (s_pExec)
                Deliver(m, record);
        }
        return ::DefWindowProcW(h, m, w, l);
    }
    SAdviseWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = L"ConnectionExecutorTestFrame";
        ::RegisterClassW(&wc);
        hWnd = ::CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                               nullptr);
        g_Advise.Advise(hWnd);
    }
    ~SAdviseWindow()
    {
        g_Advise.Unadvise(hWnd);
        ::DestroyWindow(hWnd);
    }
};

// Handles messages (the queue delivers by SendMessage) until pred holds;
// the bound only keeps a lost answer from hanging the run.
bool PumpUntil(const std::function<bool()>& pred)
{
    const DWORD dwStart = ::GetTickCount();
    while (!pred() && ::GetTickCount() - dwStart < 60000) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return pred();
}

bool HasOwnedWindow(HWND hOwner)
{
    struct SFind {
        HWND hOwner;
        bool bFound;
    } find{hOwner, false};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND h, LPARAM l) {
            auto* p = reinterpret_cast<SFind*>(l);
            p->bFound = p->bFound || ::GetWindow(h, GW_OWNER) == p->hOwner;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.bFound;
}

bool Contains(const Asked& asked, const wchar_t* psz)
{
    for (const std::wstring& s : asked)
        if (s == psz)
            return true;
    return false;
}

class ConnectionExecutor : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Module.Init(::GetModuleHandleW(nullptr));
        ASSERT_TRUE(CAppSettings::DeleteAll());
        SerialCommPorts::SetSource([] { return std::vector<std::string>{}; });
        SetSystemFlags(0, false);
        SAdviseWindow::s_pExec = &m_exec;
    }
    void TearDown() override
    {
        SAdviseWindow::s_pExec = nullptr;
        SAdviseWindow::s_afterFlagsAnswer = nullptr;
        SAdviseWindow::s_bHolding = false;
        SAdviseWindow::s_held.clear();
        g_Comm.Close();
        SetSystemFlags(0, false);
        ::SetEnvironmentVariableA("QVR500_DEVICES", nullptr);
        SerialCommPorts::SetSource(nullptr);
        CAppSettings::DeleteAll();
    }

    // The steps on a simulated unit in factory state that answers at once.
    CSimUnit& UseSimUnit()
    {
        CSimUnit& unit = GetSharedSimUnit("executor-test");
        unit.FactoryReset();
        unit.SetTiming(ESimTiming::Instant);
        ::SetEnvironmentVariableA("QVR500_DEVICES", "sim:executor-test,instant:USBXpress Device:SN-EXEC");
        g_Comm.SetDeviceNumber(CComm::FindDevice());
        m_exec.Attach(m_frame.hWnd);
        return unit;
    }

    SAdviseWindow m_frame;
    CRecordingHost m_host;
    CDeviceChoice m_device;
    CConnectionExecutor m_exec{m_host, m_device};
};

} // namespace

TEST_F(ConnectionExecutor, AMissingUnitIsReportedWithTheSkippedEntriesAndNothingOpens)
{
    // Seven mistyped entries and no unit: the message names five, counts the rest.
    ::SetEnvironmentVariableA("QVR500_DEVICES", "a;b;c;d;e;f;g");
    g_Comm.SetDeviceNumber(-1);
    m_exec.Attach(m_frame.hWnd);
    m_exec.Connect();
    EXPECT_FALSE(g_Comm.IsOpen());
    const Asked asked = m_host.Take();
    ASSERT_EQ(asked.size(), 1u);
    const std::wstring& text = asked[0];
    EXPECT_EQ(text.rfind(L"error: QVR500 device could not be found.\r\n\r\nQVR500_DEVICES: entry 1 ", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), 2 + 5);
    EXPECT_EQ(text.substr(text.size() - 10), L"\r\n(2 more)");
    EXPECT_TRUE(m_exec.IsConnectEnabled());

    // With the link closed the unit's late words change nothing and say nothing twice.
    m_exec.Disconnect();
    m_exec.QueueFailed();
    EXPECT_EQ(m_host.Take(), Asked{});
    m_exec.DownloadClosed(true, true);
    EXPECT_EQ(m_host.Take(), Asked{L"state, Connect on"});
}

TEST_F(ConnectionExecutor, ConnectReadsBackAndOnlyTheStoresAnswerEndsTheLink)
{
    CSimUnit& unit = UseSimUnit();

    // Connect: greyed and held before the unit's first answer, whose
    // arrival starts the read-back; the wait box stays until its end.
    m_exec.Connect();
    ASSERT_TRUE(g_Comm.IsOpen());
    EXPECT_EQ(m_host.Take(), (Asked{L"Connect off", L"hold form"}));
    EXPECT_TRUE(m_exec.IsConnecting());
    EXPECT_TRUE(HasOwnedWindow(m_frame.hWnd)) << "the wait box";
    ASSERT_TRUE(PumpUntil([&] { return Contains(m_host.asked, L"read back"); }));
    EXPECT_EQ(m_host.TakeButPolledState(), Asked{L"read back"});
    m_exec.Disconnect(); // not while the settings are read (a beep)
    EXPECT_EQ(m_host.Take(), Asked{});
    m_exec.MarkerReached();
    EXPECT_EQ(m_host.Take(), Asked{L"state, Connect off"});
    EXPECT_FALSE(m_exec.IsConnecting());
    EXPECT_FALSE(HasOwnedWindow(m_frame.hWnd));

    // Disconnect, No, while muted: the unit is unmuted and stays connected.
    SetSystemFlags(SYSFLAG_MUTE, true);
    ASSERT_TRUE(
        PumpUntil([&] { return (unit.GetFlags() & SYSFLAG_MUTE) != 0 && GetSystemFlags() == unit.GetFlags(); }));
    m_host.answers = {CConnectionFlow::EAnswer::No, CConnectionFlow::EAnswer::Yes};
    m_host.Take();
    m_exec.Disconnect();
    EXPECT_EQ(m_host.TakeButPolledState(), Asked{L"ask disconnect"});
    ASSERT_TRUE(PumpUntil([&] { return (unit.GetFlags() & SYSFLAG_MUTE) == 0; }));
    EXPECT_TRUE(g_Comm.IsOpen());

    // Yes: the link stays until the unit has answered the store.
    unit.SetParameterFloat(CHANNEL_LEFT, 1, -7.0f); // a live value the store must keep
    ASSERT_NE(unit.GetStoredSettings().params, unit.GetLiveSettings().params);
    m_exec.Disconnect();
    EXPECT_EQ(m_host.TakeButPolledState(), Asked{L"ask disconnect"});
    EXPECT_TRUE(g_Comm.IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return !g_Comm.IsOpen(); }));
    // Polled flags answers around the close only show the state again.
    const Asked closing = m_host.Take();
    const auto closed = std::find(closing.begin(), closing.end(), L"link closed");
    ASSERT_NE(closed, closing.end());
    EXPECT_EQ(Asked(closed, std::min(closed + 2, closing.end())), (Asked{L"link closed", L"state, Connect on"}));
    m_host.asked = closing;
    EXPECT_EQ(m_host.TakeButPolledState(), Asked{L"link closed"});
    EXPECT_EQ(unit.GetStoredSettings().params, unit.GetLiveSettings().params);
    EXPECT_TRUE(m_exec.IsConnectEnabled());
}

TEST_F(ConnectionExecutor, DisconnectBetweenTheMutesReadAndWriteAnswersStillUnmutesTheUnit)
{
    // A mute is a read of the flags and then the write; the read's answer
    // tells of the unmuted word the write replaces.  A Disconnect handled
    // after that answer and before the write's (one reply apart, or three
    // attempts when the unit refuses the write) must still see the mute and
    // take it off the unit, whatever the answer to its question.  The
    // answers after the read's are held back from the steps until the
    // Disconnect is done, as a slow unit would hold them.
    CSimUnit& unit = UseSimUnit();
    const auto connect = [&] {
        m_exec.Connect();
        ASSERT_TRUE(g_Comm.IsOpen());
        ASSERT_TRUE(PumpUntil([&] { return Contains(m_host.asked, L"read back"); }));
        m_exec.MarkerReached();
        m_host.Take();
    };
    // Every flags write answered to the steps: whatever they last took is in.
    const auto flagsSettled = [] { return g_Comm.GetFlagsWritesOnTheirWay() == 0 && g_Comm.GetQueueLength() == 0; };

    using EAnswer = CConnectionFlow::EAnswer;
    for (const EAnswer answer : {EAnswer::No, EAnswer::DoNotSave, EAnswer::Yes}) {
        SCOPED_TRACE(static_cast<int>(answer));
        if (!g_Comm.IsOpen())
            connect();
        // Each answer starts unmuted, whatever the one before left.
        unit.SetFlags(unit.GetFlags() & ~SYSFLAG_MUTE);
        SetSystemFlags(unit.GetFlags(), false);
        m_host.answers = {answer};
        bool bReadAnswered = false;
        SAdviseWindow::s_afterFlagsAnswer = [&] {
            bReadAnswered = true; // the first flags answer after the mute: the read's
            SAdviseWindow::s_bHolding = true;
            SAdviseWindow::s_afterFlagsAnswer = nullptr;
        };
        SetSystemFlags(GetSystemFlags() | SYSFLAG_MUTE, true);
        ASSERT_TRUE(PumpUntil([&] { return bReadAnswered; }));
        EXPECT_NE(GetSystemFlags() & SYSFLAG_MUTE, 0u) << "the read's answer took the mute back";
        m_exec.Disconnect();
        EXPECT_TRUE(Contains(m_host.asked, L"ask disconnect"));
        SAdviseWindow::Release();

        if (answer == EAnswer::Yes) { // the store's answer ends the link
            ASSERT_TRUE(PumpUntil([&] { return !g_Comm.IsOpen(); }));
        }
        ASSERT_TRUE(PumpUntil(flagsSettled));
        EXPECT_EQ(unit.GetFlags() & SYSFLAG_MUTE, 0u);
        EXPECT_EQ(g_Comm.IsOpen(), answer == EAnswer::No);
        if (answer == EAnswer::No) {
            EXPECT_EQ(GetSystemFlags(), unit.GetFlags()) << "the copy agrees with the unit";
        }
        if (answer == EAnswer::Yes) {
            EXPECT_EQ(unit.GetStoredSettings().flags & SYSFLAG_MUTE, 0u) << "stored after the unmute";
        }
        m_host.Take();
    }
}
