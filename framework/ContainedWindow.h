#pragma once
// A window of another class (a common control) whose messages go to the
// alternate message map `dwMsgMapID` of an owning object; whatever that map
// leaves unhandled goes to the control's own procedure.

#include "framework/WindowImplBase.h"

class CContainedWindow : public CWindowImplBase {
public:
    CContainedWindow(const wchar_t* pszClassName, CMessageMap* pObject, DWORD dwMsgMapID)
        : m_pszClassName(pszClassName), m_pObject(pObject), m_dwMsgMapID(dwMsgMapID)
    {
    }

    HWND Create(HWND hWndParent, const RECT& rc, const wchar_t* pszName, DWORD dwStyle, DWORD dwExStyle = 0,
                UINT nId = 0);

    // Plain subclass wrappers have no map: everything goes to the control.
    BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&, DWORD) override { return FALSE; }

protected:
    BOOL RouteMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    const wchar_t* m_pszClassName;
    CMessageMap* m_pObject;
    DWORD m_dwMsgMapID;
};
