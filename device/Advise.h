#pragma once
// CAdvise: carries the queue's notification records to the registered
// windows as messages 2043..2046 (lParam: the utRXQueue record), on the
// user-interface thread.

#include <windows.h>
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
    };

    static DWORD WINAPI QReceivedThread(LPVOID pParam);
    static void ReaderLoop(SState& state);
    static void Deliver(SState& state, const BYTE (&bRecord)[24]);

    CComm& m_Comm;
    std::shared_ptr<SState> m_pState;
    CFileHandle m_hWritePipe;
    CHandle m_hQReceivedThread;
};

extern CAdvise g_Advise;
