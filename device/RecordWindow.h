#pragma once
// CRecordWindow: a message-only window that receives the notification
// pipe's records (messages 2043..2046) for code that has no window of its
// own, such as a console program that drives the queue.  The records
// arrive by SendMessage from the pipe's delivery thread, so the thread that
// created the window must keep handling sent messages while it waits:
// WaitUntil does that.

#include <windows.h>

#include <functional>

#include "device/RXQueue.h"

class CAdvise;

class CRecordWindow {
public:
    // Called on the creating thread for each record: the message (2043..2046)
    // and the record, which is only valid during the call.
    using Handler = std::function<void(UINT uMsg, const utRXQueue& record)>;

    CRecordWindow(CAdvise& advise, Handler handler);
    ~CRecordWindow();
    CRecordWindow(const CRecordWindow&) = delete;
    CRecordWindow& operator=(const CRecordWindow&) = delete;

    // False when the window could not be created (nothing will arrive).
    bool IsValid() const { return m_hWnd != nullptr; }
    // The window, for a thread that wakes WaitUntil with a posted message.
    HWND GetHwnd() const { return m_hWnd; }

    // Handles this thread's messages until bDone() holds (true), or until no
    // record has arrived for dwQuietMs milliseconds (false).  bDone is
    // checked after every message.
    bool WaitUntil(const std::function<bool()>& bDone, DWORD dwQuietMs);

    // The tick count of the last record (or of the window's creation).
    DWORD GetLastRecordTick() const { return m_dwLastRecord; }

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    CAdvise& m_Advise;
    Handler m_Handler;
    HWND m_hWnd = nullptr;
    DWORD m_dwLastRecord = 0;
};
