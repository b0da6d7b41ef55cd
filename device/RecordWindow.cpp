#include "device/RecordWindow.h"

#include "device/Advise.h"
#include "framework/AppMessages.h"

namespace {

const wchar_t kClassName[] = L"QVR500RecordWindow";

ATOM RegisterRecordClass(WNDPROC pfnProc)
{
    static ATOM s_atom = 0;
    if (s_atom == 0) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = pfnProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        s_atom = ::RegisterClassExW(&wc);
    }
    return s_atom;
}

} // namespace

CRecordWindow::CRecordWindow(CAdvise& advise, Handler handler)
    : m_Advise(advise), m_Handler(std::move(handler)), m_dwLastRecord(::GetTickCount())
{
    if (RegisterRecordClass(&CRecordWindow::WindowProc) == 0)
        return;
    m_hWnd = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr),
                               this);
    if (m_hWnd)
        m_Advise.Advise(m_hWnd);
}

CRecordWindow::~CRecordWindow()
{
    if (!m_hWnd)
        return;
    m_Advise.Unadvise(m_hWnd);
    ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CRecordWindow::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        const auto* pCreate = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto* pThis = reinterpret_cast<CRecordWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis && uMsg >= WM_COMM_DATA && uMsg <= WM_COMM_FAILURE && lParam != 0) {
        pThis->m_dwLastRecord = ::GetTickCount();
        if (pThis->m_Handler)
            pThis->m_Handler(uMsg, *reinterpret_cast<const utRXQueue*>(lParam));
        return 0;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

bool CRecordWindow::WaitUntil(const std::function<bool()>& bDone, DWORD dwQuietMs)
{
    for (;;) {
        if (bDone())
            return true;
        const DWORD dwSince = ::GetTickCount() - m_dwLastRecord;
        if (dwSince >= dwQuietMs)
            return false;
        // Sent messages (the records) are handled inside the wait; posted
        // ones are dispatched here.
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, dwQuietMs - dwSince, QS_ALLINPUT) == WAIT_OBJECT_0) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
}
