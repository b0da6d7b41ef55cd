#pragma once
// Dialog implementation: T names its template by `enum { IDD = ... }` and
// is shown modally with DoModal or modelessly with Create.

#include "framework/ExeModule.h"
#include "framework/WindowImplBase.h"

class CDialogImplBase : public CWindowImplBase {
public:
    BOOL EndDialog(INT_PTR nResult) { return ::EndDialog(m_hWnd, nResult); }

protected:
    INT_PTR DoModalTemplate(UINT nIdd, HWND hWndParent);
    HWND CreateTemplate(UINT nIdd, HWND hWndParent);
    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    WNDPROC GetWindowProc() override { return nullptr; }
};

template <class T>
class CDialogImpl : public CDialogImplBase {
public:
    INT_PTR DoModal(HWND hWndParent = ::GetActiveWindow()) { return DoModalTemplate(T::IDD, hWndParent); }
    HWND Create(HWND hWndParent) { return CreateTemplate(T::IDD, hWndParent); }
};
