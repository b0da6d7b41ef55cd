#include "device/DlgTerminal.h"

#include <vector>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "device/terminal/TerminalCommand.h"

namespace {

std::wstring ToWide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

} // namespace

CDlgTerminal::CDlgTerminal() : m_wndEdit(L"EDIT", this, 1) {}

LRESULT CDlgTerminal::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    g_Advise.Advise(m_hWnd);
    m_wndEdit.SubclassWindow(GetDlgItem(IDC_TERMINAL_EDIT));
    m_wndEdit.SendMessage(EM_SETLIMITTEXT, MAX_TEXT * 2);
    g_Comm.SetPolling(false);
    m_wndEdit.SetFocus();
    return FALSE; // the focus has been set
}

LRESULT CDlgTerminal::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    g_Advise.Unadvise(m_hWnd);
    g_Comm.SetPolling(true);
    if (m_wndEdit.m_hWnd)
        m_wndEdit.UnsubclassWindow();
    bHandled = FALSE;
    return 0;
}

LRESULT CDlgTerminal::OnDone(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDOK);
    return 0;
}

LRESULT CDlgTerminal::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CDlgTerminal::OnEditChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    // The line is handled first; the box's own handling of Enter then
    // starts a new line.
    if (wParam == L'\r')
        HandleLine();
    bHandled = FALSE;
    return 0;
}

std::wstring CDlgTerminal::LastLine() const
{
    const LRESULT nLines = m_wndEdit.SendMessage(EM_GETLINECOUNT);
    const LRESULT nStart = m_wndEdit.SendMessage(EM_LINEINDEX, static_cast<WPARAM>(nLines > 0 ? nLines - 1 : 0));
    const LRESULT nLength = m_wndEdit.SendMessage(EM_LINELENGTH, static_cast<WPARAM>(nStart < 0 ? 0 : nStart));
    if (nStart < 0 || nLength <= 0)
        return std::wstring();
    // One more than the terminal reads: a longer line is refused, not cut.
    const size_t nTake = static_cast<size_t>(nLength) < CTerminalCommand::MAX_LINE + 1
                             ? static_cast<size_t>(nLength)
                             : CTerminalCommand::MAX_LINE + 1;
    std::vector<wchar_t> buffer(nTake + 1, L'\0');
    *reinterpret_cast<WORD*>(buffer.data()) = static_cast<WORD>(nTake); // EM_GETLINE takes the room in its first word
    const LRESULT nGot =
        m_wndEdit.SendMessage(EM_GETLINE, static_cast<WPARAM>(nLines - 1), reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data(), static_cast<size_t>(nGot > 0 ? nGot : 0));
}

void CDlgTerminal::HandleLine()
{
    // Enter always works on the last line and answers at its end, wherever
    // the caret was.
    const int nEnd = ::GetWindowTextLengthW(m_wndEdit);
    m_wndEdit.SendMessage(EM_SETSEL, static_cast<WPARAM>(nEnd), nEnd);
    if (!g_Comm.IsOpen()) {
        InsertAtCaret(L"\r\n" + g_Module.LoadString(IDS_TERMINAL_NOT_CONNECTED));
        return;
    }
    const std::wstring line = LastLine();
    STerminalCommand cmd;
    if (line.empty() || !CTerminalCommand::Parse(std::u16string(line.begin(), line.end()), cmd)) {
        InsertAtCaret(L"\r\n" + g_Module.LoadString(IDS_TERMINAL_INVALID_ENTRY));
        return;
    }
    g_Comm.QueueCommand(cmd.bCommand, cmd.dwIter, cmd.dwUWord, cmd.dwLWord);
}

void CDlgTerminal::InsertAtCaret(const std::wstring& text)
{
    TrimOldLines();
    m_wndEdit.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void CDlgTerminal::InsertReply(const std::wstring& text)
{
    TrimOldLines();
    DWORD dwStart = 0;
    DWORD dwEnd = 0;
    m_wndEdit.SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart), reinterpret_cast<LPARAM>(&dwEnd));
    const LRESULT nLines = m_wndEdit.SendMessage(EM_GETLINECOUNT);
    const LRESULT nLineStart = m_wndEdit.SendMessage(EM_LINEINDEX, static_cast<WPARAM>(nLines > 0 ? nLines - 1 : 0));
    const DWORD dwAt = static_cast<DWORD>(nLineStart < 0 ? 0 : nLineStart);
    m_wndEdit.SendMessage(EM_SETSEL, dwAt, dwAt);
    m_wndEdit.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    // The caret keeps its place in the text that moved down.
    const DWORD dwShift = static_cast<DWORD>(text.size());
    if (dwStart >= dwAt)
        dwStart += dwShift;
    if (dwEnd >= dwAt)
        dwEnd += dwShift;
    m_wndEdit.SendMessage(EM_SETSEL, dwStart, dwEnd);
    m_wndEdit.SendMessage(EM_SCROLLCARET);
}

void CDlgTerminal::TrimOldLines()
{
    const int nLength = ::GetWindowTextLengthW(m_wndEdit);
    if (nLength <= MAX_TEXT)
        return;
    // Cut whole lines from the top down to three quarters of the bound.
    const LRESULT nLine =
        m_wndEdit.SendMessage(EM_LINEFROMCHAR, static_cast<WPARAM>(nLength - MAX_TEXT * 3 / 4));
    const LRESULT nCut = m_wndEdit.SendMessage(EM_LINEINDEX, static_cast<WPARAM>(nLine + 1));
    if (nCut <= 0)
        return;
    DWORD dwStart = 0;
    DWORD dwEnd = 0;
    m_wndEdit.SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart), reinterpret_cast<LPARAM>(&dwEnd));
    m_wndEdit.SendMessage(EM_SETSEL, 0, nCut);
    m_wndEdit.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    const DWORD dwCut = static_cast<DWORD>(nCut);
    dwStart = dwStart > dwCut ? dwStart - dwCut : 0;
    dwEnd = dwEnd > dwCut ? dwEnd - dwCut : 0;
    m_wndEdit.SendMessage(EM_SETSEL, dwStart, dwEnd);
}

LRESULT CDlgTerminal::OnCommPacket(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam);
    if (!pRecord)
        return 0;
    InsertReply(ToWide(CTerminalCommand::FormatReply(RXGetWord(pRecord->bIter), RXGetWord(pRecord->bUWord),
                                                     RXGetWord(pRecord->bLWord))));
    return 0;
}
