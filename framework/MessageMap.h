#pragma once
// Message maps: a class lists its messages in a table, each routed to a
// handler  LRESULT OnX(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled).
// bHandled arrives TRUE; a handler that clears it lets the next matching
// entry and then the default processing run.  ALT_MSG_MAP(n) starts the
// alternate map n used by contained windows.

#include <windows.h>
#include <commctrl.h>

class CMessageMap {
public:
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                      DWORD dwMsgMapID) = 0;

protected:
    ~CMessageMap() = default;
};

#define BEGIN_MSG_MAP(theClass)                                                                             \
public:                                                                                                     \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,         \
                              DWORD dwMsgMapID = 0) override                                                \
    {                                                                                                       \
        BOOL bHandled = TRUE;                                                                               \
        (void)hWnd;                                                                                         \
        (void)uMsg;                                                                                         \
        (void)wParam;                                                                                       \
        (void)lParam;                                                                                       \
        (void)lResult;                                                                                      \
        (void)bHandled;                                                                                     \
        switch (dwMsgMapID) {                                                                               \
        case 0:

#define ALT_MSG_MAP(mapId)                                                                                  \
    break;                                                                                                  \
    case mapId:

#define QVR_CALL_HANDLER(func)                                                                              \
    {                                                                                                       \
        bHandled = TRUE;                                                                                    \
        lResult = func(uMsg, wParam, lParam, bHandled);                                                     \
        if (bHandled)                                                                                       \
            return TRUE;                                                                                    \
    }

#define MESSAGE_HANDLER(msg, func)                                                                          \
    if (uMsg == (UINT)(msg))                                                                                \
    QVR_CALL_HANDLER(func)

#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)                                                      \
    if (uMsg >= (UINT)(msgFirst) && uMsg <= (UINT)(msgLast))                                                \
    QVR_CALL_HANDLER(func)

// WM_COMMAND by control id and notification code.
#define COMMAND_HANDLER(id, code, func)                                                                     \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code))                           \
    QVR_CALL_HANDLER(func)

// WM_COMMAND by control id, any notification code.
#define COMMAND_ID_HANDLER(id, func)                                                                        \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id))                                                       \
    QVR_CALL_HANDLER(func)

// WM_COMMAND by notification code, any control.
#define COMMAND_CODE_HANDLER(code, func)                                                                    \
    if (uMsg == WM_COMMAND && HIWORD(wParam) == (code))                                                     \
    QVR_CALL_HANDLER(func)

#define COMMAND_RANGE_HANDLER(idFirst, idLast, func)                                                        \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (idFirst) && LOWORD(wParam) <= (idLast))                    \
    QVR_CALL_HANDLER(func)

// WM_NOTIFY by control id and notification code.
#define NOTIFY_HANDLER(id, cd, func)                                                                        \
    if (uMsg == WM_NOTIFY && ((LPNMHDR)lParam)->idFrom == (UINT_PTR)(id) && ((LPNMHDR)lParam)->code == (UINT)(cd)) \
    QVR_CALL_HANDLER(func)

// WM_NOTIFY by notification code, any control.
#define NOTIFY_CODE_HANDLER(cd, func)                                                                       \
    if (uMsg == WM_NOTIFY && ((LPNMHDR)lParam)->code == (UINT)(cd))                                         \
    QVR_CALL_HANDLER(func)

// Hands the message to another map (a member or base class).
#define CHAIN_MSG_MAP_MEMBER(member)                                                                        \
    if ((member).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0))                              \
        return TRUE;

#define END_MSG_MAP()                                                                                       \
    break;                                                                                                  \
    default:                                                                                                \
        break;                                                                                              \
        }                                                                                                   \
        return FALSE;                                                                                       \
    }
