#pragma once
// CAdvise: carries the queue's notification records to the registered
// windows as messages 2043..2046 (lParam: the utRXQueue record), on the
// user-interface thread.

#include <windows.h>

class CAdvise {
public:
    CAdvise();
    virtual ~CAdvise();
    CAdvise(const CAdvise&) = delete;
    CAdvise& operator=(const CAdvise&) = delete;

    // Adds a window (once) / removes it.  The window handle is read at each delivery.
    void Advise(HWND hWnd);
    void Unadvise(HWND hWnd);
};

extern CAdvise g_Advise;
