#include "tests/editor/FormDriver.h"

#include <commctrl.h>

#include <algorithm>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "framework/ExeModule.h"
#include "framework/AppGlobals.h"
#include "model/ChannelConfig.h"
#include "sim/SimRegistry.h"

namespace {

constexpr wchar_t PARENT_CLASS[] = L"QVREditorTestParent";
constexpr BYTE FENCE_PARAMETER = 10; // a parameter the program never uses

// The message box answer armed by AnswerNextMessageBox.
struct SBoxAnswer {
    int nButton = 0;
    bool bAnswered = false;
    std::wstring text;
    std::wstring caption;
};
SBoxAnswer g_answer;

BOOL CALLBACK FindDialogBox(HWND hWnd, LPARAM lParam)
{
    wchar_t szClass[16] = {};
    ::GetClassNameW(hWnd, szClass, 16);
    if (wcscmp(szClass, L"#32770") == 0 && ::IsWindowVisible(hWnd)) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t sz[1024] = {};
    ::GetWindowTextW(hWnd, sz, 1024);
    return sz;
}

// Runs inside the message box's own loop.
void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR idTimer, DWORD)
{
    HWND hBox = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindDialogBox, reinterpret_cast<LPARAM>(&hBox));
    if (!hBox || g_answer.bAnswered)
        return;
    HWND hButton = ::GetDlgItem(hBox, g_answer.nButton);
    if (!hButton)
        return;
    ::KillTimer(nullptr, idTimer);
    g_answer.caption = WindowText(hBox);
    g_answer.text = WindowText(::GetDlgItem(hBox, 0xFFFF));
    g_answer.bAnswered = true;
    RECT rc;
    ::GetWindowRect(hButton, &rc);
    const POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ::SetCursorPos(pt.x, pt.y);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
}

// Fence answers delivered to the parent window (it is registered with the
// notification pipe like the form).
unsigned g_nFencesDelivered = 0;
// The last status-bar hint the form sent its parent (a held value, a dropped one).
std::wstring g_statusHint;
// What the form last asked the frame's status bar to say.
std::wstring g_statusText;

LRESULT CALLBACK ParentProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_FIELD_STATUS) {
        g_statusText = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        return 0;
    }
    if (uMsg == WM_COMM_DATA) {
        const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam);
        if (pRecord && pRecord->bKind == RX_VALUE && pRecord->bChannel == 0 && pRecord->bParameter == FENCE_PARAMETER)
            ++g_nFencesDelivered;
        return 0;
    }
    if (uMsg == WM_SET_STATUS_HINT) {
        g_statusHint = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        return 0;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

} // namespace

void CFormDriver::InitProcess()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    g_Module.Init(::GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    RegisterPlotClass();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = PARENT_CLASS;
    ::RegisterClassExW(&wc);
    const std::string list = std::string("sim:") + UNIT_NAME + ",instant:USBXpress Device:SIMED001";
    ::SetEnvironmentVariableA("QVR500_DEVICES", list.c_str());
    g_Comm.LookupDevice();
    g_Comm.SetPolling(false);
}

CFormDriver::CFormDriver() { InitProcess(); }

CFormDriver::~CFormDriver()
{
    // Records still in the pipe would hold the queue's worker in a pipe write
    // that only this thread can let through, and Close would wait out its
    // whole time-out: let them be delivered first.
    if (g_Comm.IsOpen())
        Drain();
    g_Comm.Close();
    if (m_hParent)
        g_Advise.Unadvise(m_hParent);
    if (m_pForm && m_pForm->m_hWnd)
        ::DestroyWindow(m_pForm->m_hWnd);
    if (m_hParent)
        ::DestroyWindow(m_hParent);
    Settle();
    m_pForm.reset();
    SetSystemFlags(0, false);
}

bool CFormDriver::Create()
{
    m_pUnit = &GetSharedSimUnit(UNIT_NAME);
    m_pUnit->FactoryReset();
    m_pUnit->SetTiming(ESimTiming::Instant);
    SetSystemFlags(0, false);
    m_hParent = ::CreateWindowExW(0, PARENT_CLASS, L"Editor test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1000,
                                  620, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!m_hParent)
        return false;
    g_Advise.Advise(m_hParent);
    m_pForm = std::make_unique<CDlgCrossover>();
    if (!m_pForm->Create(m_hParent))
        return false;
    ::ShowWindow(m_hParent, SW_SHOW);
    ::SetForegroundWindow(m_hParent);
    ::UpdateWindow(m_hParent);
    Settle();
    return true;
}

bool CFormDriver::Connect()
{
    if (!g_Comm.Open())
        return false;
    g_Comm.SetPolling(false);
    return true;
}

bool CFormDriver::Attach(CDlgCrossover& form, CSimUnit& unit, std::function<void(MSG&)> dispatch)
{
    m_pAttached = &form;
    m_pUnit = &unit;
    m_dispatch = std::move(dispatch);
    m_hParent = ::CreateWindowExW(0, PARENT_CLASS, L"Editor test fence", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!m_hParent)
        return false;
    g_Advise.Advise(m_hParent);
    return true;
}

void CFormDriver::Dispatch(MSG& msg)
{
    if (m_dispatch) {
        m_dispatch(msg);
    } else if (!FormWnd() || !::IsDialogMessageW(FormWnd(), &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void CFormDriver::Redraw()
{
    if (HWND h = m_pAttached ? ::GetAncestor(FormWnd(), GA_ROOT) : m_hParent)
        ::RedrawWindow(h, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CFormDriver::Pump(DWORD nMs)
{
    const DWORD dwEnd = ::GetTickCount() + nMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Dispatch(msg);
        }
        const DWORD dwNow = ::GetTickCount();
        if (static_cast<LONG>(dwEnd - dwNow) <= 0)
            break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(dwEnd - dwNow, 10), QS_ALLINPUT);
    }
}

void CFormDriver::Settle()
{
    // Bounded: a running timer (the plot's drag timer) keeps posting.
    for (int nRound = 0; nRound < 50; ++nRound) {
        bool bAny = false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            bAny = true;
            Dispatch(msg);
        }
        Redraw();
        if (!bAny && (::GetQueueStatus(QS_ALLINPUT) & (QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT)) == 0)
            return;
    }
}

bool CFormDriver::WaitFor(const std::function<bool()>& pred, DWORD nMs)
{
    const DWORD dwEnd = ::GetTickCount() + nMs;
    while (!pred()) {
        if (static_cast<LONG>(dwEnd - ::GetTickCount()) <= 0)
            return pred();
        Pump(10);
    }
    return true;
}

bool CFormDriver::Drain()
{
    if (!g_Comm.IsOpen())
        return true;
    // The pipe keeps the queue's order: once the fence's answer has been
    // delivered, so has every record before it.
    const unsigned n = g_nFencesDelivered;
    if (!g_Comm.QueueRequest(false, 0, FENCE_PARAMETER, 0.0f))
        return false;
    return WaitFor([&] { return g_nFencesDelivered > n; });
}

POINT CFormDriver::ClientToScreenPt(HWND hWnd, POINT pt)
{
    ::ClientToScreen(hWnd, &pt);
    return pt;
}

void CFormDriver::MoveMouse(POINT pt)
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in.mi.dx = static_cast<LONG>((static_cast<LONGLONG>(pt.x) * 65536 + cx - 1) / cx);
    in.mi.dy = static_cast<LONG>((static_cast<LONGLONG>(pt.y) * 65536 + cy - 1) / cy);
    ::SendInput(1, &in, sizeof in);
    Settle();
}

void CFormDriver::MouseButton(bool bDown)
{
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = bDown ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &in, sizeof in);
    Settle();
}

void CFormDriver::ClickAt(POINT pt)
{
    MoveMouse(pt);
    MouseButton(true);
    MouseButton(false);
}

void CFormDriver::Click(int nId)
{
    RECT rc;
    ::GetWindowRect(Item(nId), &rc);
    ClickAt(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
}

bool CFormDriver::DragHandle(const RECT& rcHandle, int x, int y)
{
    Settle(); // the handle rectangles come from the last paint
    const HWND hPlot = Item(IDC_PLOT);
    MoveMouse(ClientToScreenPt(hPlot, POINT{(rcHandle.left + rcHandle.right) / 2, (rcHandle.top + rcHandle.bottom) / 2}));
    MouseButton(true);
    const bool bGrabbed = Form().GetPlot().IsDragging();
    MoveMouse(ClientToScreenPt(hPlot, POINT{x, y}));
    // The plot follows the pointer on its drag timer: one tick, driven
    // here rather than waited for, applies the position.
    ::SendMessageW(hPlot, WM_TIMER, CCtlQVRXOPlot::DRAG_TIMER, 0);
    MouseButton(false);
    return bGrabbed && !Form().GetPlot().IsDragging();
}

void CFormDriver::Key(WORD vk, bool bDown)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = bDown ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &in, sizeof in);
    Settle();
}

void CFormDriver::TapKey(WORD vk)
{
    Key(vk, true);
    Key(vk, false);
}

void CFormDriver::Type(const char* psz)
{
    for (; *psz; ++psz) {
        const SHORT s = ::VkKeyScanA(*psz);
        const bool bShift = (s >> 8) & 1;
        if (bShift)
            Key(VK_SHIFT, true);
        TapKey(static_cast<WORD>(s & 0xFF));
        if (bShift)
            Key(VK_SHIFT, false);
    }
}

void CFormDriver::ClearField(int nId)
{
    Click(nId);
    // The field selects its whole text when it gets the focus; a click
    // into an already focused field places the caret, so select again.
    ::SendMessageW(Item(nId), EM_SETSEL, 0, -1);
    TapKey(VK_DELETE);
}

void CFormDriver::SelectAllByKeys()
{
    TapKey(VK_END);
    Key(VK_SHIFT, true);
    TapKey(VK_HOME);
    Key(VK_SHIFT, false);
}

std::wstring CFormDriver::StatusHint() const { return g_statusHint; }
std::wstring CFormDriver::StatusText() const { return g_statusText; }

bool CFormDriver::FieldError(int nId) { return ::SendMessageW(Item(nId), WM_GET_FIELD_ERROR, 0, 0) != 0; }

COLORREF CFormDriver::FieldBackground(int nId)
{
    HWND h = Item(nId);
    ::UpdateWindow(h);
    Settle();
    HDC hdc = ::GetDC(h);
    const COLORREF c = ::GetPixel(hdc, 2, 2);
    ::ReleaseDC(h, hdc);
    return c;
}

std::wstring CFormDriver::Text(int nId) const { return WindowText(Item(nId)); }

void CFormDriver::AnswerNextMessageBox(int nButton)
{
    g_answer = SBoxAnswer{};
    g_answer.nButton = nButton;
    ::SetTimer(nullptr, 0, 50, AnswerTimer);
}

bool CFormDriver::BoxAnswered() const { return g_answer.bAnswered; }
std::wstring CFormDriver::LastBoxText() const { return g_answer.text; }
std::wstring CFormDriver::LastBoxCaption() const { return g_answer.caption; }
