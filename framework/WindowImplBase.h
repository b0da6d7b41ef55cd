#pragma once
// Base of every window object: a CWindow whose messages are routed through
// the object's message map.  The object is found from the window handle by
// a window property, so it also works for subclassed controls.

#include "framework/MessageMap.h"
#include "framework/Window.h"

class CWindowImplBase : public CWindow, public CMessageMap {
public:
    CWindowImplBase() = default;
    CWindowImplBase(const CWindowImplBase&) = delete;
    CWindowImplBase& operator=(const CWindowImplBase&) = delete;
    virtual ~CWindowImplBase();

    // The window property through which a handle finds its object.
    static constexpr const wchar_t* OBJECT_PROPERTY = L"QVR.WindowObject";

    // Attaches this object to an existing window by replacing its window procedure.
    BOOL SubclassWindow(HWND hWnd);
    // Restores the original window procedure and detaches; returns the window.
    // Only while ours is still the installed procedure: when someone
    // subclassed the window after us, restoring ours-before would cut their
    // procedure out of the chain, so nothing changes and the answer is null.
    HWND UnsubclassWindow();

    virtual WNDPROC GetWindowProc() { return WindowProc; }
    // Called after WM_NCDESTROY, when the handle is gone.
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    // Default processing for messages the map left unhandled.
    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

    static CWindowImplBase* FromHandle(HWND hWnd);

protected:
    void Attach(HWND hWnd);
    static LRESULT CALLBACK StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // The map id used for this object's messages (contained windows use theirs).
    virtual BOOL RouteMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    WNDPROC m_pfnSuperWindowProc = ::DefWindowProcW;
};
