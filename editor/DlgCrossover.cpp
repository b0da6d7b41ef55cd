#include "editor/DlgCrossover.h"

#include <algorithm>
#include <string>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "editor/ChannelButtons.h"
#include "editor/EditStepNames.h"
#include "editor/FieldRules.h"
#include "editor/FieldStatusText.h"
#include "editor/HandleStream.h"
#include "files/ConfigFile.h"
#include "framework/DpiScale.h"
#include "framework/ExeModule.h"
#include "model/ChannelFields.h"
#include "model/FieldRanges.h"
#include "model/ConfigCheck.h"
#include "model/ParameterMap.h"
#include "model/UnitMismatch.h"
#include "framework/AppGlobals.h"

namespace {

constexpr COLORREF RGB_ERROR_TEXT = 0x00FFFF; // yellow
constexpr COLORREF RGB_ERROR_BACK = 0x0000FF; // red

std::u16string FieldText(HWND hWnd) { return CTabberWnd::FieldText(hWnd); }

} // namespace

CDlgCrossover::CDlgCrossover()
    : m_ctlPlot(CHANNEL_CENTER),
      m_wndSpeaker(L"Button", nullptr, 0),
      m_hbrError(::CreateSolidBrush(RGB_ERROR_BACK))
{
    m_apFields.reserve(CFieldRules::Count());
    for (size_t i = 0; i < CFieldRules::Count(); ++i)
        m_apFields.push_back(std::make_unique<CTabberWnd>(CFieldRules::Begin()[i].bDecimalPoint));
}

CDlgCrossover::~CDlgCrossover() = default;

int CDlgCrossover::ShownChannel() const { return m_config.ShownChannel(); }

// --- lifecycle ---------------------------------------------------------------

LRESULT CDlgCrossover::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    g_Advise.Advise(m_hWnd);
    if (HICON hIcon = ::LoadIconW(g_Module.GetInstance(), MAKEINTRESOURCEW(IDI_QVR500))) {
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    }
    m_wndSpeaker.SubclassWindow(GetDlgItem(IDC_SPEAKER));
    m_level.Attach(m_hWnd);

    for (size_t i = 0; i < CFieldRules::Count(); ++i)
        m_apFields[i]->SubclassWindow(GetDlgItem(CFieldRules::Begin()[i].nId));

    const std::wstring face = g_Module.LoadString(IDS_CHANNEL_FONT);
    // 12 pixels at 96 dpi, like the rest of the drawing grown with the resolution.
    m_fntChannel.Reset(::CreateFontW(CDpiScale::FromScreen().Y(12), 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    for (size_t i = 0; i < CChannelButtons::Count(); ++i)
        ::SendMessageW(GetDlgItem(CChannelButtons::Begin()[i].nButton), WM_SETFONT, reinterpret_cast<WPARAM>(m_fntChannel.Get()), TRUE);

    m_ctlPlot.SubclassWindow(GetDlgItem(IDC_PLOT));
    ::CheckRadioButton(m_hWnd, IDC_CH_LEFT, IDC_CH_SUBWOOFER, IDC_CH_CENTER);
    ::CheckRadioButton(m_hWnd, IDC_BIAMP, IDC_TRIAMP, IDC_TRIAMP);
    UpdateLevelControls();
    UpdateControls();
    return TRUE;
}

LRESULT CDlgCrossover::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    g_Advise.Unadvise(m_hWnd);
    bHandled = FALSE;
    return 0;
}

// --- refreshing the controls ---------------------------------------------------

void CDlgCrossover::SetFieldText(const SFieldRule& rule, float fltValue)
{
    const std::u16string text = CFieldRules::Format(rule, fltValue);
    ::SetDlgItemTextW(m_hWnd, rule.nId, reinterpret_cast<const wchar_t*>(text.c_str()));
    // What the program writes is the value in use: nothing waits.
    m_waiting.Clear(m_hWnd, Field(rule));
}

CTabberWnd& CDlgCrossover::Field(const SFieldRule& rule)
{
    return *m_apFields[static_cast<size_t>(&rule - CFieldRules::Begin())];
}

bool CDlgCrossover::HoldsValue() const
{
    return std::any_of(m_apFields.begin(), m_apFields.end(), [](const auto& p) { return p->IsWaiting(); });
}

bool CDlgCrossover::DropHeldValue()
{
    bool bDropped = false;
    for (size_t i = 0; i < CFieldRules::Count(); ++i) {
        const SFieldRule& rule = CFieldRules::Begin()[i];
        const CTabberWnd& field = Field(rule);
        if (!field.IsWaiting())
            continue;
        const float fltApplied = CFieldRules::GetValue(m_ctlPlot, rule);
        SetFieldText(rule, fltApplied);
        m_waiting.ShowDropped(m_hWnd, field, CFieldRules::Format(rule, fltApplied));
        bDropped = true;
    }
    return bDropped;
}

bool CDlgCrossover::HasUnappliedField() const
{
    for (const auto& pField : m_apFields)
        if (pField->HasError() || pField->IsWaiting())
            return true;
    return false;
}

void CDlgCrossover::UpdateControls()
{
    CCtlQVRXOPlot& wc = m_ctlPlot;
    // A handle whose fields the form now shows disabled is put down.
    if (wc.GetAdjuster() != 0 && !CFieldRanges::IsAdjusterAvailable(wc.GetAdjuster(), wc.GetChannel(), wc.GetMode()))
        wc.SelectAdjuster(0);
    ShowMode(wc.GetMode());
    m_buttons.ShowEnabled(m_hWnd);
    // Every field shows its value, the disabled ones too.
    for (size_t i = 0; i < CFieldRules::Count(); ++i) {
        const SFieldRule& rule = CFieldRules::Begin()[i];
        SetFieldText(rule, CFieldRules::GetValue(wc, rule));
    }
    m_buttons.ShowChecked(m_hWnd);

    char16_t szSpeaker[SPEAKER_NAME_UNITS] = {};
    wc.GetSpeakerName(szSpeaker, static_cast<int>(sizeof szSpeaker));
    ::SetDlgItemTextW(m_hWnd, IDC_SPEAKER, reinterpret_cast<const wchar_t*>(szSpeaker));
}

void CDlgCrossover::RefreshAll()
{
    m_ctlPlot.RecalcBands(BAND_ALL);
    UpdateLevelControls();
    UpdateControls();
}

void CDlgCrossover::UpdateLevelControls() { m_level.Show(); }

LRESULT CDlgCrossover::OnVScroll(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    bHandled = m_level.OnScroll(wParam, reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    return 0;
}

LRESULT CDlgCrossover::OnLevelCustomDraw(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    return m_level.OnCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lParam));
}

// --- channel and mode --------------------------------------------------------------

LRESULT CDlgCrossover::OnChannelButton(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    ShowChannel(CChannelButtons::ChannelOfButton(LOWORD(wParam)));
    return 0;
}

void CDlgCrossover::ShowChannel(int nChannel) { m_channelAndMode.ShowChannel(nChannel); }

LRESULT CDlgCrossover::OnSelectChannel(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    m_channelAndMode.OnSiblingChannel(static_cast<int>(wParam));
    return 0;
}

void CDlgCrossover::ShowMode(int nMode) { m_channelAndMode.ShowMode(nMode); }

LRESULT CDlgCrossover::OnModeButton(UINT, WPARAM, LPARAM, BOOL&)
{
    m_channelAndMode.ChangeMode();
    return 0;
}

// --- buttons of the working copy ---------------------------------------------------

LRESULT CDlgCrossover::OnMuteInvert(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    m_buttons.OnFlagButton(LOWORD(wParam));
    return 0;
}

LRESULT CDlgCrossover::OnHPQ(UINT, WPARAM, LPARAM, BOOL&)
{
    m_buttons.OnHPQ(m_hWnd);
    return 0;
}

// --- fields ------------------------------------------------------------------------------

LRESULT CDlgCrossover::OnFieldUpdate(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    const SFieldRule* pRule = CFieldRules::Find(LOWORD(wParam));
    HWND hField = reinterpret_cast<HWND>(lParam);
    if (!pRule || !hField) {
        bHandled = FALSE;
        return 0;
    }
    const float v = CFieldRules::ParseText(FieldText(hField));
    const bool bError = !CFieldRules::IsInRange(*pRule, m_ctlPlot.GetMode(), v);
    ::SendMessageW(hField, WM_SET_FIELD_ERROR, bError ? 1 : 0, 0);
    if (bError)
        m_waiting.Clear(m_hWnd, Field(*pRule)); // red text never applies
    ::InvalidateRect(hField, nullptr, TRUE);
    if (hField == ::GetFocus())
        ShowFieldStatus(hField);
    return 0;
}

void CDlgCrossover::ShowFieldStatus(HWND hField)
{
    const SFieldRule* pRule = hField ? CFieldRules::Find(::GetDlgCtrlID(hField)) : nullptr;
    const bool bError = pRule && ::SendMessageW(hField, WM_GET_FIELD_ERROR, 0, 0) != 0;
    const std::u16string text = CFieldStatusText::ForField(pRule, m_ctlPlot.GetMode(), bError);
    std::wstring wide(text.begin(), text.end());
    // A field the unit holds another value in says which (the read-back's No).
    if (!bError && pRule && CUnitMismatch::IsMarked(ShownChannel(), pRule->eField))
        wide = UnitHoldsText(pRule->eField);
    ::SendMessageW(GetParent(), WM_FIELD_STATUS, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::wstring CDlgCrossover::UnitHoldsText(EChannelField eField) const
{
    const std::u16string name = CFieldStatusText::Name(eField);
    const std::uint32_t dwUnit = CUnitMismatch::UnitBits(ShownChannel(), eField, 0);
    const std::string value = CConfigCheck::FormatFloat(BitsToFloat(dwUnit));
    return g_Module.FormatString(IDS_UNIT_HOLDS,
                                 {std::wstring(name.begin(), name.end()), std::wstring(value.begin(), value.end())});
}

LRESULT CDlgCrossover::OnCtlColorEdit(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    if (!::SendMessageW(reinterpret_cast<HWND>(lParam), WM_GET_FIELD_ERROR, 0, 0)) {
        const SFieldRule* pRule = CFieldRules::Find(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
        if (const HBRUSH hbr = pRule ? m_waiting.Colour(reinterpret_cast<HDC>(wParam), Field(*pRule)) : nullptr)
            return reinterpret_cast<LRESULT>(hbr);
        // Marked as differing from the unit: the error's colours, until a
        // value of the field is sent.
        if (pRule && CUnitMismatch::IsMarked(ShownChannel(), pRule->eField)) {
            ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB_ERROR_TEXT);
            ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB_ERROR_BACK);
            return reinterpret_cast<LRESULT>(m_hbrError.Get());
        }
        bHandled = FALSE;
        return 0;
    }
    HDC hdc = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(hdc, RGB_ERROR_TEXT);
    ::SetBkColor(hdc, RGB_ERROR_BACK);
    return reinterpret_cast<LRESULT>(m_hbrError.Get());
}

LRESULT CDlgCrossover::OnFieldChanged(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const SFieldRule* pRule = CFieldRules::Find(static_cast<int>(wParam));
    HWND hField = reinterpret_cast<HWND>(lParam);
    if (!pRule || !hField)
        return 0;
    // The field reports only valid text; a value that could harm a driver on
    // the way to the one meant waits for the user's confirmation.  It is
    // judged against the value the unit plays now: the last one applied to
    // the field by whatever means (an earlier value typed in this visit too).
    if (m_waiting.MayApply(m_hWnd, Field(*pRule), *pRule, FieldText(hField), CFieldRules::GetValue(m_ctlPlot, *pRule)))
        ApplyFieldText(*pRule, hField);
    return 0;
}

LRESULT CDlgCrossover::OnFieldCommit(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const SFieldRule* pRule = CFieldRules::Find(static_cast<int>(wParam));
    HWND hField = reinterpret_cast<HWND>(lParam);
    if (!pRule || !hField)
        return 0;
    CommitHeldValue(*pRule, hField); // Enter or Tab
    return 0;
}

namespace {
// Controls of the form whose click is a command of the program rather than
// a move to another value: they show another channel, ask about the mode or
// open a dialog.  The focus moving onto one drops a held value.
bool IsCommandControl(int nId)
{
    return (nId >= IDC_CH_LEFT && nId <= IDC_CH_SUBWOOFER) || nId == IDC_BIAMP || nId == IDC_TRIAMP ||
           nId == IDC_SPEAKER;
}
} // namespace

LRESULT CDlgCrossover::OnFieldLeave(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const SFieldRule* pRule = CFieldRules::Find(static_cast<int>(wParam));
    if (!pRule)
        return 0;
    // Only the user's own move to another control of the form confirms:
    // the focus going to a dialog, a message box, the frame (a read-back, a
    // command) or another program, or nowhere (closing), drops the value.
    const HWND hTo = reinterpret_cast<HWND>(lParam);
    const bool bUserMove = hTo && ::GetParent(hTo) == m_hWnd && !IsCommandControl(::GetDlgCtrlID(hTo));
    if (bUserMove)
        CommitHeldValue(*pRule, Field(*pRule).m_hWnd);
    else
        DropHeldValue();
    return 0;
}

void CDlgCrossover::CommitHeldValue(const SFieldRule& rule, HWND hField)
{
    CTabberWnd& field = Field(rule);
    const bool bWaited = field.IsWaiting() && !field.HasError();
    // A form that takes no input (a read-back runs, or it is closing) has
    // not had the user's confirmation: what waited is dropped, never sent.
    if (bWaited && (IsReadingBack() || !::IsWindowEnabled(m_hWnd) || !::IsWindowVisible(m_hWnd))) {
        DropHeldValue();
        return;
    }
    m_waiting.Clear(m_hWnd, field);
    if (bWaited)
        ApplyFieldText(rule, hField);
}

void CDlgCrossover::ApplyFieldText(const SFieldRule& rule, HWND hField)
{
    // The value goes in as typed.
    const float v = CFieldRules::ParseText(FieldText(hField));
    m_recorder.Begin(CEditStepNames::OfControl(rule.nId)); // until Enter or the focus leaves
    CFieldRules::SetValue(m_ctlPlot, rule, v, true);
    m_ctlPlot.RecalcBands(rule.nMask);
}

LRESULT CDlgCrossover::OnFieldKeyDown(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    if (lParam == VK_RETURN)
        m_recorder.End(CEditStepNames::OfControl(static_cast<int>(wParam))); // Enter ends the field's edit
    if (lParam != VK_UP && lParam != VK_DOWN)
        return 0;
    const SFieldRule* pRule = CFieldRules::Find(static_cast<int>(wParam));
    if (!pRule)
        return 0;
    m_recorder.Begin(CEditStepNames::OfControl(pRule->nId)); // presses while the field keeps the focus
    // Step leaves the Subwoofer's Low LP Freq. alone.
    int nMask = 0;
    float fltNew = 0.0f;
    if (CFieldRules::Step(m_ctlPlot, *pRule, lParam == VK_UP, fltNew)) {
        SetFieldText(*pRule, fltNew); // the range check clears the error colouring
        nMask = pRule->nMask;
    }
    m_ctlPlot.RecalcBands(nMask);
    return 0;
}

// --- the plot's adjusters ------------------------------------------------------------

LRESULT CDlgCrossover::OnFieldFocus(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    if (const SFieldRule* pRule = CFieldRules::Find(static_cast<int>(wParam)))
        m_waiting.OnFocus(m_hWnd, Field(*pRule));
    const int nAdjuster =
        CFieldRules::AdjusterForField(static_cast<int>(wParam), ShownChannel(), m_ctlPlot.GetAdjuster());
    if (nAdjuster >= 0)
        m_ctlPlot.SelectAdjuster(nAdjuster);
    ShowFieldStatus(reinterpret_cast<HWND>(lParam));
    return 0;
}

LRESULT CDlgCrossover::OnAdjusterMoved(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const EChannelField* peFields = CFieldRanges::FieldsOfAdjuster(static_cast<int>(wParam));
    if (!peFields)
        return 0;
    for (int i = 0; i < 3; ++i) {
        const SFieldRule* pRule = CFieldRules::FindByField(peFields[i]);
        if (pRule)
            SetFieldText(*pRule, CFieldRules::GetValue(m_ctlPlot, *pRule));
    }
    return 0;
}

// --- configuration files -------------------------------------------------------------

int CDlgCrossover::SerializeConfig(HANDLE hFile, int nDirection, BOOL bReset, ConfigResult* pResult,
                                   const std::function<bool(const std::uint8_t*, std::size_t)>& gate)
{
    // Save writes what the screen shows, and Open replaces it.
    DropHeldValue();
    CHandleStream stream(hFile);
    // The file works on the six records: the shown channel's edits go in
    // first.  A read stores them once the whole file is read and let through
    // (a refused file changes nothing), just before the values are applied,
    // so that a file value equal to a stale one still reaches the unit.
    ConfigResult r;
    if (nDirection == 0) {
        m_config.StoreShown();
        r = CConfigFile::Write(stream, m_config.Records(), &m_config.Profile(), bReset != FALSE);
    } else {
        const auto storeWhenLetThrough = [&](const std::uint8_t* pImage, std::size_t cb) {
            if (gate && !gate(pImage, cb))
                return false;
            m_config.StoreShown();
            return true;
        };
        r = CConfigFile::Read(stream, m_config.Records(), &m_config.Profile(), bReset != FALSE, storeWhenLetThrough);
        if (r.Ok()) {
            // The channel shown now (the sibling program may have changed it
            // while the gate asked) takes the file's values.
            m_config.LoadShown();
            m_recorder.Clear();
            RefreshAll();
            m_textMemory.Write();
        }
    }
    if (pResult)
        *pResult = r;
    return r.Ok() ? 1 : 0;
}

// --- the unit: read-back and text memory --------------------------------------------------

bool CDlgCrossover::OnLinkClosed()
{
    m_textMemory.ForgetPendingReplies();
    return m_readBack.OnLinkClosed();
}

LRESULT CDlgCrossover::OnReadSettings(UINT, WPARAM, LPARAM, BOOL&)
{
    // Only a link that is up is read: an answer that was still on its way
    // when the link closed starts nothing.
    if (!g_Comm.IsOpen())
        return 0;
    m_textMemory.ForgetPendingReplies();
    DropHeldValue();
    m_readBack.Start();
    return 0;
}

LRESULT CDlgCrossover::OnCommData(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    if (const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam))
        m_readBack.OnValue(*pRecord);
    return 0;
}

LRESULT CDlgCrossover::OnCommPacket(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const auto* pRecord = reinterpret_cast<const utRXQueue*>(lParam);
    if (!pRecord)
        return 0;
    switch (pRecord->bCommand) {
    case CMD_SYSTEM_FLAGS: {
        const BOOL bLeftRightCenter = (GetSystemFlags() & SYSFLAG_NO_LCR) == 0;
        ::EnableWindow(GetDlgItem(IDC_CH_LEFT_CENTER), bLeftRightCenter);
        ::EnableWindow(GetDlgItem(IDC_CH_RIGHT_CENTER), bLeftRightCenter);
        break;
    }
    case CMD_READ_OUTPUT:
        m_readBack.OnOutput(*pRecord);
        break;
    case CMD_READ_WORD:
        m_readBack.OnMemoryWord(RXGetWord(pRecord->bUWord), RXGetWord(pRecord->bLWord));
        break;
    case CMD_WRITE_WORD:
    case CMD_ERASE:
        m_textMemory.OnWriteReply();
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CDlgCrossover::OnCommMarker(UINT, WPARAM, LPARAM, BOOL&)
{
    // The end-of-read marker: a read-back ends here with the unit's values
    // on screen; the values it did not take are named once they are.
    const bool bEnded = m_readBack.OnMarker();
    if (bEnded)
        m_recorder.Clear(); // the unit's values replaced the configuration
    RefreshAll();
    if (bEnded && m_readBack.ReportRejected()) {
        // No: the fields stay marked, and the status bar says so.
        const std::wstring text =
            g_Module.FormatString(IDS_UNIT_DIFFERS, {std::to_wstring(CUnitMismatch::Count())});
        ::SendMessageW(GetParent(), WM_FIELD_STATUS, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    if (bEnded)
        ::InvalidateRect(m_hWnd, nullptr, TRUE); // a field's marking went or came
    return 0;
}

LRESULT CDlgCrossover::OnCommFailure(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    // The queue has dropped everything: no marker will come.
    OnLinkClosed();
    bHandled = FALSE;
    return 0;
}

// --- commands that open their own dialogs -------------------------------------------------

LRESULT CDlgCrossover::OnSpeakerLibrary(UINT, WPARAM, LPARAM, BOOL&)
{
    m_dialogs.SpeakerLibrary();
    return 0;
}

LRESULT CDlgCrossover::OnCopyChannel(UINT, WPARAM, LPARAM, BOOL&)
{
    m_dialogs.CopyChannel();
    return 0;
}

LRESULT CDlgCrossover::OnProfileInformation(UINT, WPARAM, LPARAM, BOOL&)
{
    m_dialogs.ProfileInformation();
    return 0;
}

// --- Undo and Redo -------------------------------------------------------------------------

LRESULT CDlgCrossover::OnAdjusterDrag(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    // Press to release is one step, whatever fields the handle moved.
    if (wParam)
        m_recorder.Begin(CEditStepNames::OfDrag(m_ctlPlot.GetAdjuster()));
    else
        m_recorder.End();
    return 0;
}

LRESULT CDlgCrossover::OnFieldKillFocus(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    m_recorder.End(CEditStepNames::OfControl(LOWORD(wParam))); // a field's edit ends when the focus leaves it
    if (CFieldRules::Find(LOWORD(wParam)))
        ShowFieldStatus(nullptr); // a field that takes the focus next says so itself
    return 0;
}

LRESULT CDlgCrossover::OnUndoRedo(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    if (LOWORD(wParam) == ID_EDIT_UNDO)
        m_recorder.Undo();
    else
        m_recorder.Redo();
    return 0;
}
