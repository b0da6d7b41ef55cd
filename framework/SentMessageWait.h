#pragma once
// The wait of a thread that owns windows for something another thread does:
// messages that other threads send to this thread are handled meanwhile.
// The notification pipe's reader delivers records by SendMessage to windows
// of the user-interface thread, and the queue's worker cannot go on while the
// pipe it writes to is full, so a user-interface thread that waited for the
// worker (or for anything waiting for it) without taking those messages
// would wait for itself.

#include <windows.h>

// Waits for one of the handles like WaitForMultipleObjects (nCount may be 0:
// a pause that still handles sent messages).  Returns WAIT_OBJECT_0 + i for
// the signalled handle, or WAIT_TIMEOUT.
DWORD WaitHandlingSentMessages(DWORD nCount, const HANDLE* phHandles, DWORD dwTimeout);
