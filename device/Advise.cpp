// The notification pipe: the queue's worker writes 24-byte records into an
// anonymous pipe; the pipe thread takes them out at once, and the reader
// thread sends each one, as a window message, to every registered window in
// order of registration.
#include "device/Advise.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "device/Comm.h"
#include "device/RXQueue.h"
#include "framework/AppMessages.h"

namespace {
constexpr DWORD READER_WAIT_MS = 10;
constexpr DWORD DESTROY_WAIT_MS = 1000;
constexpr DWORD RECORD_SIZE = sizeof(utRXQueue);
} // namespace

CAdvise::CAdvise() : CAdvise(g_Comm) {}

CAdvise::CAdvise(CComm& comm) : m_Comm(comm), m_pState(std::make_shared<SState>())
{
    HANDLE hRead = INVALID_HANDLE_VALUE;
    HANDLE hWrite = INVALID_HANDLE_VALUE;
    // What cannot be made here (the system is out of handles or threads)
    // leaves the queue without a pipe: every Open then fails and says so.
    if (!::CreatePipe(&hRead, &hWrite, nullptr, 0))
        return;
    m_pState->hReadPipe.Reset(hRead);
    m_hWritePipe.Reset(hWrite);

    m_pState->hTermQReceived.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    m_pState->hRecordsWaiting.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_pState->hTermQReceived || !m_pState->hRecordsWaiting)
        return;
    auto* pThreadState = new std::shared_ptr<SState>(m_pState);
    m_hQReceivedThread.Reset(::CreateThread(nullptr, 0, &CAdvise::QReceivedThread, pThreadState, 0, nullptr));
    if (!m_hQReceivedThread) {
        delete pThreadState;
        return;
    }
    auto* pPipeState = new std::shared_ptr<SState>(m_pState);
    m_hPipeThread.Reset(::CreateThread(nullptr, 0, &CAdvise::PipeThread, pPipeState, 0, nullptr));
    if (!m_hPipeThread) {
        delete pPipeState;
        return;
    }
    m_Comm.SetWritePipe(hWrite);
}

CAdvise::~CAdvise()
{
    // No window takes messages any more; the records still written while
    // the queue's worker stops are read and dropped.
    {
        CLock lock(m_pState->csWindows);
        m_pState->windows.clear();
    }
    // Nothing may write into the pipe once it is closed: the queue's worker
    // is stopped first, while the reader still empties the pipe.
    m_Comm.DetachWritePipe();
    if (m_hQReceivedThread) {
        const DWORD dwWait = ::SignalObjectAndWait(m_pState->hTermQReceived, m_hQReceivedThread, DESTROY_WAIT_MS, FALSE);
        // A reader still blocked in a window's handler keeps its own share of
        // the state; it ends when it next looks at the termination event.
        (void)dwWait;
    }
    // Closing the write end ends the pipe thread's read.
    m_hWritePipe.Reset();
    if (m_hPipeThread)
        ::WaitForSingleObject(m_hPipeThread, DESTROY_WAIT_MS);
    m_hPipeThread.Reset();
    m_hQReceivedThread.Reset();
    m_pState.reset();
}

void CAdvise::Advise(HWND hWnd)
{
    if (hWnd == nullptr)
        return;
    CLock lock(m_pState->csWindows);
    auto& windows = m_pState->windows;
    if (std::find(windows.begin(), windows.end(), hWnd) == windows.end())
        windows.push_back(hWnd);
}

void CAdvise::Unadvise(HWND hWnd)
{
    CLock lock(m_pState->csWindows);
    auto& windows = m_pState->windows;
    windows.erase(std::remove(windows.begin(), windows.end(), hWnd), windows.end());
}

DWORD WINAPI CAdvise::QReceivedThread(LPVOID pParam)
{
    std::unique_ptr<std::shared_ptr<SState>> pState(static_cast<std::shared_ptr<SState>*>(pParam));
    ReaderLoop(**pState);
    return 0;
}

DWORD WINAPI CAdvise::PipeThread(LPVOID pParam)
{
    std::unique_ptr<std::shared_ptr<SState>> pState(static_cast<std::shared_ptr<SState>*>(pParam));
    PipeLoop(**pState);
    return 0;
}

// Takes whole records out of the pipe as soon as they are written, until the
// write end is closed.
void CAdvise::PipeLoop(SState& state)
{
    for (;;) {
        std::array<BYTE, RECORD_SIZE> record{};
        DWORD dwGot = 0;
        while (dwGot < RECORD_SIZE) {
            DWORD dwRead = 0;
            if (!::ReadFile(state.hReadPipe, record.data() + dwGot, RECORD_SIZE - dwGot, &dwRead, nullptr) ||
                dwRead == 0)
                return; // the write end is gone
            dwGot += dwRead;
        }
        // The reader waits only after it found the list empty (under the
        // lock): only a record into an empty list needs to wake it.
        bool bWasEmpty;
        {
            CLock lock(state.csRecords);
            bWasEmpty = state.records.empty();
            state.records.push_back(record);
        }
        if (bWasEmpty)
            ::SetEvent(state.hRecordsWaiting);
    }
}

// Sends the records taken out of the pipe, one at a time, in order.
void CAdvise::ReaderLoop(SState& state)
{
    const HANDLE ahWait[2] = {state.hTermQReceived, state.hRecordsWaiting};
    for (;;) {
        if (::WaitForMultipleObjects(2, ahWait, FALSE, READER_WAIT_MS) == WAIT_OBJECT_0)
            return;
        for (;;) {
            std::array<BYTE, RECORD_SIZE> record;
            {
                CLock lock(state.csRecords);
                if (state.records.empty())
                    break;
                record = state.records.front();
                state.records.pop_front();
            }
            BYTE bRecord[RECORD_SIZE];
            std::memcpy(bRecord, record.data(), RECORD_SIZE);
            Deliver(state, bRecord);
            if (::WaitForSingleObject(state.hTermQReceived, 0) == WAIT_OBJECT_0)
                return;
        }
    }
}

// The list is copied under the lock and the messages are sent without it, so
// a handler may call Advise or Unadvise.  A window that left the list after
// the copy is skipped; each window gets its own copy of the record.
void CAdvise::Deliver(SState& state, const BYTE (&bRecord)[24])
{
    const BYTE bKind = bRecord[0];
    UINT uMsg = 0;
    switch (bKind) {
    case RX_VALUE:
        uMsg = WM_COMM_DATA;
        break;
    case RX_COMMAND:
        uMsg = WM_COMM_PACKET;
        break;
    case RX_MARKER:
        uMsg = WM_COMM_MARKER;
        break;
    case RX_FAILURE:
        uMsg = WM_COMM_FAILURE;
        break;
    default:
        return;
    }
    std::vector<HWND> windows;
    {
        CLock lock(state.csWindows);
        windows = state.windows;
    }
    for (HWND hWnd : windows) {
        {
            CLock lock(state.csWindows);
            if (std::find(state.windows.begin(), state.windows.end(), hWnd) == state.windows.end())
                continue;
        }
        utRXQueue record;
        std::memcpy(&record, bRecord, sizeof(record));
        ::SendMessageW(hWnd, uMsg, 0, reinterpret_cast<LPARAM>(&record));
    }
}
