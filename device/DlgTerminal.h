#pragma once
// CDlgTerminal: the diagnostics terminal.  A technician types a line of
// four numbers into the edit box and presses Enter; the line goes to the
// unit as one raw command, and every command reply that arrives while the
// terminal is open is written into the box as one line.

#include <string>

#include "framework/ContainedWindow.h"
#include "framework/DialogImpl.h"
#include "resources/resource.h"
#include "framework/AppMessages.h"

class CDlgTerminal : public CDialogImpl<CDlgTerminal> {
public:
    enum { IDD = IDD_TERMINAL };

    // The box keeps this much text at most: the oldest lines go first.
    static constexpr int MAX_TEXT = 200000;

    CDlgTerminal();

    BEGIN_MSG_MAP(CDlgTerminal)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_COMM_PACKET, OnCommPacket)
        COMMAND_ID_HANDLER(IDOK, OnDone)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    ALT_MSG_MAP(1) // edit box 310
        MESSAGE_HANDLER(WM_CHAR, OnEditChar)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommPacket(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDone(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCancel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnEditChar(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // The box's last line turned into a raw command (or the answer written).
    void HandleLine();

private:
    void InsertAtCaret(const std::wstring& text);
    // A reply line goes in front of the line being typed, so that a reply
    // that arrives meanwhile never splits it.
    void InsertReply(const std::wstring& text);
    void TrimOldLines();
    std::wstring LastLine() const;

    CContainedWindow m_wndEdit;
};
