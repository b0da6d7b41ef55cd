#pragma once
// Drives the editor form inside a test process as a person would: the form
// in a parent window, the message loop with dialog navigation, real mouse
// and keyboard input through SendInput, answers to message boxes, and the
// simulated unit attached through QVR500_DEVICES and the real command queue.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "editor/DlgCrossover.h"
#include "sim/SimUnit.h"

class CFormDriver {
public:
    // Once per process: module, common controls, the plot's class, the
    // parent's class and the device list naming the simulated unit.
    static void InitProcess();
    static constexpr const char* UNIT_NAME = "editor-gui";

    CFormDriver();
    ~CFormDriver();
    CFormDriver(const CFormDriver&) = delete;
    CFormDriver& operator=(const CFormDriver&) = delete;

    // Creates the parent and the form (factory unit, system flags 0).
    bool Create();
    // Opens the link to the simulated unit.
    bool Connect();
    // Drives a form that the program's frame owns instead: every message goes
    // through dispatch (the program's own message loop), and the fence is
    // answered to a hidden window of the driver's.
    bool Attach(CDlgCrossover& form, CSimUnit& unit, std::function<void(MSG&)> dispatch);

    CDlgCrossover& Form() { return m_pAttached ? *m_pAttached : *m_pForm; }
    HWND FormWnd() const { return m_pAttached ? m_pAttached->m_hWnd : m_pForm ? m_pForm->m_hWnd : nullptr; }
    HWND Item(int nId) const { return ::GetDlgItem(FormWnd(), nId); }
    CSimUnit& Unit() { return *m_pUnit; }

    // Runs the message loop for about nMs.
    void Pump(DWORD nMs);
    // Handles every message already waiting (sent, posted, input, paint) and
    // the repaints they cause, without waiting for anything to come.  Input
    // made with SendInput is queued by the time SendInput returns, so this is
    // the fence after an input: its effects have happened on return.
    void Settle();
    // Runs the loop until the predicate holds (true) or nMs pass (false).
    // The default is generous: it is only used up when a test fails, and a
    // loaded machine running Wine can take seconds for what is usually quick.
    bool WaitFor(const std::function<bool()>& pred, DWORD nMs = 10000);
    // Waits until the queue has sent everything queued before this call and
    // every answer before it has been delivered to the windows.
    bool Drain();
    // Waits until a read-back of the unit (after a mode change while
    // connected) has ended and the form takes input again.
    bool SettleReadBack() { return WaitFor([&] { return !m_pForm->IsReadingBack(); }); }

    // Real input.
    void MoveMouse(POINT ptScreen);
    void MouseButton(bool bDown);
    void ClickAt(POINT ptScreen);
    void Click(int nId); // centre of a control
    // Presses on a handle of the plot (rectangle in plot client coordinates),
    // moves to (x, y) in plot client coordinates, lets the plot take the
    // position, releases.  False when the press grabbed no handle or the
    // release did not end the drag.
    bool DragHandle(const RECT& rcHandle, int x, int y);
    void Key(WORD vk, bool bDown);
    void TapKey(WORD vk);
    void Type(const char* psz);
    // Focuses a field, selects all its text and deletes it, as a user would.
    void ClearField(int nId);
    // Selects the focused field's whole text with the keyboard (End,
    // Shift+Home), as a user retyping without leaving the field does.
    void SelectAllByKeys();
    // The status-bar hint the form last sent (empty: none).
    std::wstring StatusHint() const;

    // The field's error flag and the colour of its background pixel.
    bool FieldError(int nId);
    COLORREF FieldBackground(int nId);
    std::wstring Text(int nId) const;
    // The form's last text for the frame's status bar.
    std::wstring StatusText() const;
    bool Checked(int nId) const { return ::IsDlgButtonChecked(FormWnd(), nId) == BST_CHECKED; }

    // Arms an answer for the next message box of this thread: the button
    // (IDYES/IDNO/...) is clicked with the mouse.  After it, the box's text
    // and caption are in LastBoxText/LastBoxCaption.
    void AnswerNextMessageBox(int nButton);
    bool BoxAnswered() const;
    std::wstring LastBoxText() const;
    std::wstring LastBoxCaption() const;

    static POINT ClientToScreenPt(HWND hWnd, POINT pt);

private:
    void Dispatch(MSG& msg);
    void Redraw();

    HWND m_hParent = nullptr;
    CDlgCrossover* m_pAttached = nullptr;
    std::function<void(MSG&)> m_dispatch;
    std::unique_ptr<CDlgCrossover> m_pForm;
    CSimUnit* m_pUnit = nullptr;
};
