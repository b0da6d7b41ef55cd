#include "framework/SentMessageWait.h"

DWORD WaitHandlingSentMessages(DWORD nCount, const HANDLE* phHandles, DWORD dwTimeout)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        const DWORD dwElapsed = ::GetTickCount() - dwStart;
        const DWORD dwLeft = dwTimeout == INFINITE ? INFINITE : (dwElapsed >= dwTimeout ? 0 : dwTimeout - dwElapsed);
        const DWORD dwWait = ::MsgWaitForMultipleObjects(nCount, phHandles, FALSE, dwLeft, QS_SENDMESSAGE);
        if (dwWait != WAIT_OBJECT_0 + nCount)
            return dwWait == WAIT_FAILED ? WAIT_TIMEOUT : dwWait;
        // A peek runs the handlers of the messages sent to this thread and
        // removes nothing posted.
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (dwLeft == 0)
            return WAIT_TIMEOUT;
    }
}
