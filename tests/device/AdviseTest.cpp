// The notification pipe: records of the queue reach every registered window
// as messages 2043..2046, in queue order, once per window, on the thread that
// owns the window; without windows they are dropped.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "sim/SimRegistry.h"

namespace {
struct SDelivered {
    UINT uMsg;
    utRXQueue record;
    DWORD dwThread;
};

// A hidden message-only window that keeps what it is sent.
class CRecordingWindow {
public:
    CRecordingWindow()
    {
        static const wchar_t* const CLASS_NAME = L"QvrAdviseTestWindow";
        static bool s_bRegistered = false;
        if (!s_bRegistered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &CRecordingWindow::WndProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = CLASS_NAME;
            s_bRegistered = ::RegisterClassW(&wc) != 0;
        }
        m_hWnd = ::CreateWindowExW(0, CLASS_NAME, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CRecordingWindow() { ::DestroyWindow(m_hWnd); }
    HWND Handle() const { return m_hWnd; }

    std::vector<SDelivered> delivered;
    std::function<void()> onMessage;

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* pThis = reinterpret_cast<CRecordingWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (pThis != nullptr && uMsg >= 2043 && uMsg <= 2046) {
            EXPECT_EQ(wParam, 0u);
            pThis->delivered.push_back({uMsg, *reinterpret_cast<const utRXQueue*>(lParam), ::GetCurrentThreadId()});
            if (pThis->onMessage)
                pThis->onMessage();
            return 0;
        }
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
};

// Handles messages until done() or the time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD nTimeoutMs = 5000)
{
    const DWORD dwStart = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - dwStart > nTimeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    }
    return true;
}

void Pump(DWORD nMs)
{
    PumpUntil([] { return false; }, nMs);
}

// A queue and its pipe on a fresh instant unit.
struct SAdviseRig {
    explicit SAdviseRig(const std::string& name) : unit(GetSharedSimUnit(name))
    {
        unit.FactoryReset();
        ::SetEnvironmentVariableA("QVR500_DEVICES", ("sim:" + name + ",instant:USBXpress Device:A").c_str());
        comm.SetDeviceNumber(0);
        comm.SetPolling(false);
    }
    CSimUnit& unit;
    CComm comm;
    CAdvise advise{comm};
};
} // namespace

TEST(Advise, EveryRecordReachesEachWindowOnceInQueueOrderEvenAfterABusySpell)
{
    SAdviseRig rig("advise-order");
    CRecordingWindow a, b;
    rig.advise.Advise(a.Handle());
    rig.advise.Advise(b.Handle());
    rig.advise.Advise(a.Handle()); // registered twice: still one message per record
    ASSERT_TRUE(rig.comm.Open());

    rig.comm.QueueReadChannel(1, 3);          // 32 values, 3 command replies
    rig.comm.QueueRequest(false, 1, 32, 0.0f); // marker
    ::Sleep(600); // the user-interface thread is busy: the records wait in the pipe
    ASSERT_TRUE(PumpUntil([&] { return a.delivered.size() >= 36 && b.delivered.size() >= 36; }));
    rig.unit.NackRequests(3);
    rig.comm.QueueRequest(false, 0, 0, 0.0f);
    ASSERT_TRUE(PumpUntil([&] { return a.delivered.size() >= 37 && b.delivered.size() >= 37; }));
    Pump(100);

    for (const CRecordingWindow* pWindow : {&a, &b}) {
        const std::vector<SDelivered>& d = pWindow->delivered;
        ASSERT_EQ(d.size(), 37u);
        for (int p = 0; p < 32; ++p) {
            EXPECT_EQ(d[p].uMsg, 2043u);
            EXPECT_EQ(d[p].record.bParameter, p);
        }
        for (int i = 32; i < 35; ++i) {
            EXPECT_EQ(d[i].uMsg, 2044u);
            EXPECT_EQ(d[i].record.bCommand, 13);
        }
        EXPECT_EQ(d[35].uMsg, 2045u);
        EXPECT_EQ(d[35].record.bChannel, 1);
        EXPECT_EQ(d[36].uMsg, 2046u);
        for (const SDelivered& one : d)
            EXPECT_EQ(one.dwThread, ::GetCurrentThreadId()); // handled on the window's own thread
    }
}

TEST(Advise, RecordsWithoutWindowsAreDroppedAndLeavingStopsDelivery)
{
    SAdviseRig rig("advise-leave");
    CRecordingWindow a, b;
    ASSERT_TRUE(rig.comm.Open());
    for (int p = 0; p < 10; ++p)
        rig.comm.QueueRequest(false, 0, static_cast<BYTE>(p), 0.0f);
    PumpUntil([&] { return rig.unit.GetStats().nRequests >= 10; });
    Pump(200); // read and dropped: nobody listens

    rig.advise.Advise(a.Handle());
    rig.advise.Advise(b.Handle());
    // A handler may leave the list while it is being served.
    a.onMessage = [&] { rig.advise.Unadvise(a.Handle()); };
    rig.comm.QueueRequest(false, 0, 20, 0.0f);
    rig.comm.QueueRequest(false, 0, 21, 0.0f);
    ASSERT_TRUE(PumpUntil([&] { return b.delivered.size() >= 2; }));
    Pump(100);
    ASSERT_EQ(a.delivered.size(), 1u);
    EXPECT_EQ(a.delivered[0].record.bParameter, 20);
    ASSERT_EQ(b.delivered.size(), 2u);
    EXPECT_EQ(b.delivered[0].record.bParameter, 20);

    rig.advise.Unadvise(b.Handle());
    rig.advise.Unadvise(b.Handle()); // not there any more: nothing happens
    rig.comm.QueueRequest(false, 0, 22, 0.0f);
    PumpUntil([&] { return rig.unit.CountGets(0, 22) >= 1; });
    Pump(200);
    EXPECT_EQ(b.delivered.size(), 2u);
}

// The program may end with the link open and requests waiting: the pipe
// stops the queue's worker first, so tearing both down returns, the link is
// closed, and the waiting requests still reached the unit.
TEST(Advise, TeardownWithTheLinkOpenStopsTheWorkerFirst)
{
    CRecordingWindow a;
    auto pRig = std::make_unique<SAdviseRig>("advise-teardown");
    CSimUnit& unit = pRig->unit;
    pRig->advise.Advise(a.Handle()); // still registered at teardown
    ASSERT_TRUE(pRig->comm.Open());
    for (int i = 0; i < 250; ++i)
        pRig->comm.QueueCommand(10, DWORD(i), 0, 0);
    const DWORD dwStart = ::GetTickCount();
    pRig.reset();
    EXPECT_LT(::GetTickCount() - dwStart, 6000u);
    EXPECT_EQ(unit.CountCommands(10), 250u);
}

// The user-interface thread queues more than the queue holds while the pipe's
// reader waits to hand it records: its waits for room (and Close's wait for
// the worker) take the records meanwhile.  Without that, the pipe fills, the
// worker stops in its write, no room is ever made, and this test hangs.  The
// same happens when the requests are queued from inside a record's handler,
// as the read-back does.
TEST(Advise, UserInterfaceWaitsOnTheQueueHandleTheRecordsMeanwhile)
{
    SAdviseRig rig("advise-full");
    CRecordingWindow a;
    rig.advise.Advise(a.Handle());
    ASSERT_TRUE(rig.comm.Open());
    constexpr int COUNT = 1200; // several pipes' worth of records
    for (int i = 0; i < COUNT; ++i)
        ASSERT_TRUE(rig.comm.QueueCommand(10, DWORD(i), 0, 0));
    // Records were delivered while this thread waited for room.
    EXPECT_GT(a.delivered.size(), 0u);

    // From a handler: the first record's handler queues another round.
    bool bQueued = false;
    a.onMessage = [&] {
        if (bQueued)
            return;
        bQueued = true;
        for (int i = 0; i < COUNT; ++i)
            rig.comm.QueueCommand(10, DWORD(COUNT + i), 0, 0);
    };
    ASSERT_TRUE(PumpUntil([&] { return a.delivered.size() >= 2u * COUNT; }, 60000));
    for (size_t i = 0; i < a.delivered.size(); ++i)
        ASSERT_EQ(RXGetWord(a.delivered[i].record.bIter), DWORD(i)) << "in order, none lost";

    // Close with requests waiting and records on their way: every one of
    // them, the last (held until the queue ran dry) included, reaches the
    // window, in order.
    a.onMessage = nullptr;
    for (int i = 0; i < 250; ++i)
        rig.comm.QueueCommand(10, DWORD(2 * COUNT + i), 0, 0);
    rig.comm.Close();
    EXPECT_FALSE(rig.comm.IsOpen());
    EXPECT_EQ(rig.comm.GetQueueLength(), 0u);
    EXPECT_EQ(rig.unit.CountCommands(10), 2u * COUNT + 250u);
    ASSERT_TRUE(PumpUntil([&] { return a.delivered.size() >= 2u * COUNT + 250u; }));
    ASSERT_EQ(a.delivered.size(), 2u * COUNT + 250u);
    for (size_t i = 2u * COUNT; i < a.delivered.size(); ++i)
        ASSERT_EQ(RXGetWord(a.delivered[i].record.bIter), DWORD(i)) << "in order, none lost";
}

// A failure right after a request whose record is still held: the held
// record comes first, then the failure.
TEST(Advise, AFailureAfterAHeldRecordComesAfterIt)
{
    SAdviseRig rig("advise-held");
    CRecordingWindow a;
    rig.advise.Advise(a.Handle());
    ASSERT_TRUE(rig.comm.Open());
    rig.unit.SetParameterFloat(2, 23, 321.0f);
    rig.comm.QueueRequest(false, 2, 23, 0.0f);                 // answered: its record is held
    rig.comm.QueueCommand(1, 0, 0x90070000u, 0);               // refused three times: the link is lost
    ASSERT_TRUE(PumpUntil([&] { return a.delivered.size() >= 2u; }));
    Pump(100);
    ASSERT_EQ(a.delivered.size(), 2u);
    EXPECT_EQ(a.delivered[0].uMsg, 2043u);
    EXPECT_EQ(a.delivered[0].record.bParameter, 23);
    EXPECT_FLOAT_EQ(RXGetValue(a.delivered[0].record), 321.0f);
    EXPECT_EQ(a.delivered[1].uMsg, 2046u);
    rig.comm.Close();
}
