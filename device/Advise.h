#pragma once
// CAdvise: carries the queue's notification records to the registered
// windows as messages 2043..2046 (lParam: the utRXQueue record), on the
// user-interface thread.
//
// One thread empties the pipe as soon as records arrive and keeps them in
// order; another sends them to the windows.  The pipe therefore never fills
// while a window is busy, and the queue's worker never waits for the
// user-interface thread: a handler of a record may itself wait for room in
// the queue (the read-back queues its text reads from reply handlers).

#include <windows.h>
#include <array>
#include <deque>
#include <memory>
#include <vector>

#include "framework/Handles.h"

class CComm;

class CAdvise {
public:
    // Creates the pipe, gives its write end to the queue engine (g_Comm by
    // default) and starts the reader thread.
    CAdvise();
    explicit CAdvise(CComm& comm);
    virtual ~CAdvise();
    CAdvise(const CAdvise&) = delete;
    CAdvise& operator=(const CAdvise&) = delete;

    // Adds a window (once) / removes it.  The window handle is read at each delivery.
    void Advise(HWND hWnd);
    void Unadvise(HWND hWnd);

private:
    // What the reader thread uses.  It is shared with the thread, so that a
    // reader that does not end in time (a window that does not answer its
    // message) never touches released state.
    struct SState {
        CCriticalSection csWindows; // guards the list; never held while a message is sent
        std::vector<HWND> windows;  // in order of registration, no duplicates
        CFileHandle hReadPipe;
        CHandle hTermQReceived;
        // Records taken out of the pipe and not yet delivered, in order.
        CCriticalSection csRecords;
        std::deque<std::array<BYTE, 24>> records;
        CHandle hRecordsWaiting; // set when records were added
    };

    static DWORD WINAPI QReceivedThread(LPVOID pParam);
    static DWORD WINAPI PipeThread(LPVOID pParam);
    static void ReaderLoop(SState& state);
    static void PipeLoop(SState& state);
    static void Deliver(SState& state, const BYTE (&bRecord)[24]);

    CComm& m_Comm;
    std::shared_ptr<SState> m_pState;
    CFileHandle m_hWritePipe;
    CHandle m_hQReceivedThread;
    CHandle m_hPipeThread;
};

extern CAdvise g_Advise;
