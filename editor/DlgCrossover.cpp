#include "editor/DlgCrossover.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <string>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/RXQueue.h"
#include "editor/ChannelButtons.h"
#include "editor/DlgCopyChannel.h"
#include "editor/DlgProfileInfo.h"
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
#include "model/TextMemory.h"
#include "model/UnitMismatch.h"
#include "framework/AppGlobals.h"
#include "speakerlib/DlgSpeakerLib.h"

namespace {


constexpr COLORREF RGB_ERROR_TEXT = 0x00FFFF; // yellow
constexpr COLORREF RGB_ERROR_BACK = 0x0000FF; // red

// Controls the Subwoofer does without: the HP Filter, the Low PEQ, the whole
// High band and the speaker button.
constexpr int s_anNotForSubwoofer[] = {
    IDC_HP_GROUP, IDC_HP_FREQ_LABEL, IDC_HP_FREQ, IDC_HP_Q_LABEL, IDC_HP_Q_707, IDC_HP_Q_2,
    IDC_LOW_PEQ_FREQ_LABEL, IDC_LOW_PEQ_FREQ, IDC_LOW_PEQ_Q_LABEL, IDC_LOW_PEQ_Q, IDC_LOW_PEQ_GAIN_LABEL,
    IDC_LOW_PEQ_GAIN, IDC_HIGH_GROUP, IDC_HIGH_HP_FREQ_LABEL, IDC_HIGH_GAIN_LABEL, IDC_HIGH_DELAY_LABEL,
    IDC_HIGH_PEQ_FREQ_LABEL, IDC_HIGH_PEQ_Q_LABEL, IDC_HIGH_PEQ_GAIN_LABEL, IDC_SEQ_FREQ_LABEL, IDC_SEQ_GAIN_LABEL,
    IDC_HEQ_FREQ_LABEL, IDC_HEQ_GAIN_LABEL, IDC_HIGH_HP_FREQ, IDC_HIGH_PEQ_FREQ, IDC_HIGH_PEQ_Q, IDC_HIGH_PEQ_GAIN,
    IDC_HIGH_GAIN, IDC_HIGH_DELAY, IDC_SEQ_FREQ, IDC_SEQ_GAIN, IDC_HEQ_FREQ, IDC_HEQ_GAIN, IDC_HIGH_INVERT,
    IDC_HIGH_MUTE, IDC_SPEAKER,
};

// The Mid Band group: only in Triamp, never for the Subwoofer.
constexpr int s_anMidBand[] = {
    IDC_MID_GROUP, IDC_MID_HP_FREQ_LABEL, IDC_MID_LP_FREQ_LABEL, IDC_MID_GAIN_LABEL, IDC_MID_DELAY_LABEL,
    IDC_MID_PEQ_FREQ_LABEL, IDC_MID_PEQ_Q_LABEL, IDC_MID_PEQ_GAIN_LABEL, IDC_MID_HP_FREQ, IDC_MID_PEQ_FREQ,
    IDC_MID_DELAY, IDC_MID_PEQ_GAIN, IDC_MID_PEQ_Q, IDC_MID_GAIN, IDC_MID_LP_FREQ, IDC_MID_MUTE, IDC_MID_INVERT,
};

// Mute and Invert buttons: band (4 Low, 2 Mid, 1 High) and flag bit.
struct SFlagButton {
    int nButton;
    int nBand;
    std::uint32_t dwBit;
};
constexpr SFlagButton s_aFlagButtons[] = {
    {IDC_LOW_MUTE, 4, BAND_FLAG_MUTE},  {IDC_LOW_INVERT, 4, BAND_FLAG_INVERT},
    {IDC_MID_MUTE, 2, BAND_FLAG_MUTE},  {IDC_MID_INVERT, 2, BAND_FLAG_INVERT},
    {IDC_HIGH_MUTE, 1, BAND_FLAG_MUTE}, {IDC_HIGH_INVERT, 1, BAND_FLAG_INVERT},
};

std::uint32_t BandFlags(const CChannelConfig& cfg, int nBand)
{
    return nBand == 4 ? cfg.GetLowFlags() : nBand == 2 ? cfg.GetMidFlags() : cfg.GetHighFlags();
}

std::u16string FieldText(HWND hWnd) { return CTabberWnd::FieldText(hWnd); }

} // namespace

CDlgCrossover::CDlgCrossover()
    : m_aChannels{CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                  CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)},
      m_ctlPlot(CHANNEL_CENTER),
      m_wndSpeaker(L"Button", nullptr, 0),
      m_wndLevel(TRACKBAR_CLASSW, nullptr, 0),
      m_wndLevelText(L"Static", nullptr, 0),
      m_hbrError(::CreateSolidBrush(RGB_ERROR_BACK))
{
    m_apFields.reserve(CFieldRules::Count());
    for (size_t i = 0; i < CFieldRules::Count(); ++i)
        m_apFields.push_back(std::make_unique<CTabberWnd>(CFieldRules::Begin()[i].bDecimalPoint));
}

CDlgCrossover::~CDlgCrossover() = default;

int CDlgCrossover::ShownChannel() const { return m_ctlPlot.GetChannel(); }

// --- lifecycle ---------------------------------------------------------------

LRESULT CDlgCrossover::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    g_Advise.Advise(m_hWnd);
    if (HICON hIcon = ::LoadIconW(g_Module.GetInstance(), MAKEINTRESOURCEW(IDI_QVR500))) {
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    }
    m_wndSpeaker.SubclassWindow(GetDlgItem(IDC_SPEAKER));
    m_wndLevel.SubclassWindow(GetDlgItem(IDC_LEVEL));
    m_wndLevelText.SubclassWindow(GetDlgItem(IDC_LEVEL_TEXT));

    // Level: positions -16 (top, +8 dB) .. 44 (bottom, -22 dB), the selection mark at 0 dB.
    m_wndLevel.SendMessage(TBM_SETTICFREQ, 4, 0);
    m_wndLevel.SendMessage(TBM_SETSELSTART, FALSE, 0);
    const CFieldRanges::SRange levelRange = CFieldRanges::GetLevelRange();
    const int nTopPos = static_cast<int>(-levelRange.fltMax / CFieldRanges::LEVEL_STEP);
    const int nBottomPos = static_cast<int>(-levelRange.fltMin / CFieldRanges::LEVEL_STEP);
    m_wndLevel.SendMessage(TBM_SETRANGE, FALSE, MAKELPARAM(static_cast<WORD>(nTopPos), static_cast<WORD>(nBottomPos)));
    m_wndLevel.SendMessage(TBM_SETPAGESIZE, 0, 0);

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

int CDlgCrossover::ShowMessage(UINT nText, UINT uStyle)
{
    return g_Module.ShowMessage(m_hWnd, nText, IDS_APP_TITLE, uStyle);
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
    const bool bSubwoofer = wc.GetChannel() == CHANNEL_SUBWOOFER;
    // A handle whose fields the form now shows disabled is put down.
    if (wc.GetAdjuster() != 0 && !CFieldRanges::IsAdjusterAvailable(wc.GetAdjuster(), wc.GetChannel(), wc.GetMode()))
        wc.SelectAdjuster(0);
    ::CheckRadioButton(m_hWnd, IDC_BIAMP, IDC_TRIAMP, wc.GetMode() == MODE_BIAMP ? IDC_BIAMP : IDC_TRIAMP);

    for (int nId : s_anNotForSubwoofer)
        ::EnableWindow(GetDlgItem(nId), !bSubwoofer);
    ::SendMessageW(GetDlgItem(IDC_LOW_LP_FREQ), EM_SETREADONLY, bSubwoofer, 0);
    const bool bMid = wc.GetMode() == MODE_TRIAMP && !bSubwoofer;
    for (int nId : s_anMidBand)
        ::EnableWindow(GetDlgItem(nId), bMid);

    // Every field shows its value, the disabled ones too.
    for (size_t i = 0; i < CFieldRules::Count(); ++i) {
        const SFieldRule& rule = CFieldRules::Begin()[i];
        SetFieldText(rule, CFieldRules::GetValue(wc, rule));
    }
    ::CheckRadioButton(m_hWnd, IDC_HP_Q_707, IDC_HP_Q_2, wc.GetHPQ() == 2.0f ? IDC_HP_Q_2 : IDC_HP_Q_707);
    for (const auto& b : s_aFlagButtons)
        ::CheckDlgButton(m_hWnd, b.nButton, (BandFlags(wc, b.nBand) & b.dwBit) ? BST_CHECKED : BST_UNCHECKED);

    char16_t szSpeaker[SPEAKER_NAME_UNITS] = {};
    wc.GetSpeakerName(szSpeaker, static_cast<int>(sizeof szSpeaker));
    ::SetDlgItemTextW(m_hWnd, IDC_SPEAKER, reinterpret_cast<const wchar_t*>(szSpeaker));
}

void CDlgCrossover::SetLevelText(float fltLevel)
{
    // One decimal, cut toward zero; never "-0.0".
    const float fltShown = std::trunc(fltLevel * 10.0f) / 10.0f + 0.0f;
    wchar_t sz[64];
    swprintf(sz, 64, L"%2.1f", static_cast<double>(fltShown));
    ::SetDlgItemTextW(m_hWnd, IDC_LEVEL_TEXT, sz);
}

void CDlgCrossover::UpdateLevelControls()
{
    const float fltLevel = m_ctlPlot.GetLevel();
    SetLevelText(fltLevel);
    // Saturated, so a level from a file or the unit cannot overflow; the
    // trackbar clamps the position to its range.
    ::SendMessageW(GetDlgItem(IDC_LEVEL), TBM_SETPOS, TRUE, CPlotGeometry::TruncCoord(-2.0f * fltLevel));
}

// --- level trackbar ----------------------------------------------------------------

LRESULT CDlgCrossover::OnVScroll(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    HWND hTrack = GetDlgItem(IDC_LEVEL);
    if (reinterpret_cast<HWND>(lParam) != hTrack || !hTrack) {
        bHandled = FALSE;
        return 0;
    }
    const int nPos = static_cast<int>(::SendMessageW(hTrack, TBM_GETPOS, 0, 0));
    const float fltLevel = static_cast<float>(-nPos) / 2.0f;
    SetLevelText(fltLevel);
    if (LOWORD(wParam) != TB_ENDTRACK) {
        m_recorder.Begin(CEditStepNames::Level()); // press to release, or one key
        m_ctlPlot.SetLevel(fltLevel, true);        // also re-sends the band gains
    } else {
        m_ctlPlot.RecalcBands(BAND_ALL);
        m_recorder.End();
    }
    return 0;
}

LRESULT CDlgCrossover::OnLevelCustomDraw(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    auto* pcd = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
    if (pcd->dwDrawStage == CDDS_PREPAINT) {
        m_bLevelFocus = ::GetFocus() == pcd->hdr.hwndFrom;
        return CDRF_NOTIFYITEMDRAW;
    }
    if (pcd->dwDrawStage != CDDS_ITEMPREPAINT)
        return CDRF_DODEFAULT;

    const RECT& rc = pcd->rc;
    if (pcd->dwItemSpec == TBCD_CHANNEL) {
        if (!m_bLevelFocus)
            return CDRF_DODEFAULT;
        // Blue to white, top left to bottom right, along the slot's length.
        TRIVERTEX av[2] = {{rc.left, rc.top, 0x0000, 0x3333, 0xFFFF, 0x0000},
                           {rc.right, rc.bottom, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000}};
        GRADIENT_RECT gr{0, 1};
        const bool bVertical = (rc.right - rc.left) <= (rc.bottom - rc.top);
        CSelectObject selPen(pcd->hdc, ::GetStockObject(NULL_PEN));
        CSelectObject selBrush(pcd->hdc, ::GetStockObject(NULL_BRUSH));
        ::GradientFill(pcd->hdc, av, 2, &gr, 1, bVertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
        return CDRF_SKIPDEFAULT;
    }
    if (pcd->dwItemSpec == TBCD_THUMB) {
        TRIVERTEX av[2] = {{rc.left, rc.top, 0x0000, 0xCCCC, 0x0000, 0x0000},
                           {rc.right, rc.bottom, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000}};
        GRADIENT_RECT gr{0, 1};
        ::GradientFill(pcd->hdc, av, 2, &gr, 1, GRADIENT_FILL_RECT_H);
        CSelectObject selPen(pcd->hdc, ::GetStockObject(BLACK_PEN));
        CSelectObject selBrush(pcd->hdc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(pcd->hdc, rc.left, rc.top, rc.right, rc.bottom);
        return CDRF_SKIPDEFAULT;
    }
    return CDRF_DODEFAULT; // tick marks
}

// --- channel and mode --------------------------------------------------------------

int CDlgCrossover::SelectChannel(int nButton)
{
    const int nChannel = CChannelButtons::ChannelOfButton(nButton);
    if (nChannel < 0)
        return -1;
    const int nCurrent = ShownChannel();
    if (nChannel == nCurrent)
        return -1;
    DropHeldValue(); // it belongs to the channel it was typed on, and the user has not confirmed it
    m_recorder.End(); // a field's edit belongs to the channel it was made on
    // During a read-back the set holds the unit's values as they arrive and
    // the form takes no edits: the working copy has nothing to give back.
    if (nCurrent >= 0 && nCurrent < CHANNEL_COUNT && !m_readBack.IsActive())
        m_aChannels[static_cast<size_t>(nCurrent)].Assign(m_ctlPlot, false);
    // The whole record, its Mid band too: in Biamp the Mid setters keep
    // what they hold, and Assign would leave the Mid values of the channel
    // shown before on screen under this one's name.  Nothing is sent.
    static_cast<CChannelConfig&>(m_ctlPlot) = m_aChannels[static_cast<size_t>(nChannel)];
    m_ctlPlot.SetChannel(nChannel);
    m_ctlPlot.RecalcBands(BAND_ALL);
    UpdateLevelControls();
    UpdateControls();
    return CChannelButtons::SiblingNumberOfButton(nButton);
}

LRESULT CDlgCrossover::OnChannelButton(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    ChooseChannel(CChannelButtons::ChannelOfButton(LOWORD(wParam)));
    return 0;
}

void CDlgCrossover::ChooseChannel(int nChannel)
{
    const int nButton = CChannelButtons::ButtonOfChannel(nChannel);
    if (nButton < 0)
        return;
    const int nSibling = SelectChannel(nButton);
    ::CheckRadioButton(m_hWnd, IDC_CH_LEFT, IDC_CH_SUBWOOFER, nButton);
    if (nSibling != -1 && g_hWndSibling)
        ::PostMessageW(g_hWndSibling, g_uMsgChannelChange, static_cast<WPARAM>(nSibling), 0);
}

LRESULT CDlgCrossover::OnSelectChannel(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const int nButton = CChannelButtons::ButtonOfSiblingNumber(static_cast<int>(wParam));
    // A unit without Left Center and Right Center has them disabled: the
    // sibling's number for one is not a channel of this unit.
    const int nChannel = CChannelButtons::ChannelOfButton(nButton);
    if ((nChannel == CHANNEL_LEFT_CENTER || nChannel == CHANNEL_RIGHT_CENTER) &&
        (GetSystemFlags() & SYSFLAG_NO_LCR) != 0)
        return 0;
    SelectChannel(nButton);
    ::CheckRadioButton(m_hWnd, IDC_CH_LEFT, IDC_CH_SUBWOOFER, nButton);
    return 0;
}

void CDlgCrossover::ChangeMode()
{
    DropHeldValue();
    if (ShowMessage(IDS_MODE_WARNING, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        ::CheckRadioButton(m_hWnd, IDC_BIAMP, IDC_TRIAMP, m_ctlPlot.GetMode() == MODE_BIAMP ? IDC_BIAMP : IDC_TRIAMP);
        return;
    }
    const int nMode = ::IsDlgButtonChecked(m_hWnd, IDC_BIAMP) == BST_CHECKED ? MODE_BIAMP : MODE_TRIAMP;
    std::uint32_t dwFlags = GetSystemFlags() | SYSFLAG_MUTE;
    if (nMode == MODE_BIAMP)
        dwFlags |= SYSFLAG_BIAMP;
    else
        dwFlags &= ~SYSFLAG_BIAMP;
    SetSystemFlags(dwFlags, true);
    // The mode change resets values of the channel set; the shown channel
    // takes part through the set, so its edits are stored first and the
    // reset values are reloaded after (nothing more is sent by either copy).
    const int nShown = ShownChannel();
    const bool bShownInSet = nShown >= 0 && nShown < CHANNEL_COUNT;
    if (bShownInSet)
        m_aChannels[static_cast<size_t>(nShown)].Assign(m_ctlPlot, false);
    ApplyMode(m_aChannels.data(), m_ctlPlot, nMode, true);
    m_recorder.Clear(); // every channel changed mode: no step reaches back over it
    if (bShownInSet)
        m_ctlPlot.Assign(m_aChannels[static_cast<size_t>(nShown)], false);
    if (g_Comm.IsOpen()) {
        // The unit's values after the mode change reach the screen when the
        // marker behind the channel reads arrives.
        m_readBack.Reread();
    } else {
        m_ctlPlot.RecalcBands(BAND_ALL);
        UpdateLevelControls();
        UpdateControls();
    }
}

LRESULT CDlgCrossover::OnModeButton(UINT, WPARAM, LPARAM, BOOL&)
{
    ChangeMode();
    return 0;
}

// --- buttons of the working copy ---------------------------------------------------

LRESULT CDlgCrossover::OnMuteInvert(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::OfControl(LOWORD(wParam)));
    for (const auto& b : s_aFlagButtons) {
        if (b.nButton != LOWORD(wParam))
            continue;
        const std::uint32_t dwFlags = BandFlags(m_ctlPlot, b.nBand) ^ b.dwBit;
        if (b.nBand == 4)
            m_ctlPlot.SetLowFlags(dwFlags, true);
        else if (b.nBand == 2)
            m_ctlPlot.SetMidFlags(dwFlags, true);
        else
            m_ctlPlot.SetHighFlags(dwFlags, true);
    }
    // The band curves do not change, the summed response does.
    m_ctlPlot.RecalcBands(0);
    return 0;
}

LRESULT CDlgCrossover::OnHPQ(UINT, WPARAM, LPARAM, BOOL&)
{
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::HPQ());
    m_ctlPlot.SetHPQ(::IsDlgButtonChecked(m_hWnd, IDC_HP_Q_707) == BST_CHECKED ? 0.707f : 2.0f, true);
    m_ctlPlot.RecalcBands(BAND_ALL);
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
    const int nShown = ShownChannel();
    ConfigResult r;
    if (nDirection == 0) {
        r = CConfigFile::Write(stream, m_aChannels.data(), &m_ctlPlot, nShown, &m_profile, bReset != FALSE);
    } else {
        r = CConfigFile::Read(stream, m_aChannels.data(), &m_ctlPlot, nShown, &m_profile, bReset != FALSE, gate);
        if (r.Ok()) {
            m_recorder.Clear();
            m_ctlPlot.RecalcBands(BAND_ALL);
            UpdateLevelControls();
            UpdateControls();
            WriteTextMemory();
        }
    }
    if (pResult)
        *pResult = r;
    return r.Ok() ? 1 : 0;
}

// --- the unit: read-back and text memory --------------------------------------------------

bool CDlgCrossover::OnLinkClosed()
{
    m_nOwnTextReplies = 0;
    return m_readBack.OnLinkClosed();
}

LRESULT CDlgCrossover::OnReadSettings(UINT, WPARAM, LPARAM, BOOL&)
{
    // Only a link that is up is read: an answer that was still on its way
    // when the link closed starts nothing.
    if (!g_Comm.IsOpen())
        return 0;
    m_nOwnTextReplies = 0;
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
        // Someone else (the terminal, a firmware download) wrote the unit's
        // memory: the next text write cannot rely on what it held.
        if (m_nOwnTextReplies > 0)
            --m_nOwnTextReplies;
        else
            m_readBack.TextReader().ForgetUnitImage();
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
    m_ctlPlot.RecalcBands(BAND_ALL);
    UpdateLevelControls();
    UpdateControls();
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

void CDlgCrossover::WriteTextMemory()
{
    // The names are the channel set's: a name changes only there (the
    // working copy takes it from the set).
    const CChannelConfig* apNames[TEXT_NAME_SECTIONS];
    for (int c = 0; c < TEXT_NAME_SECTIONS; ++c)
        apNames[c] = &m_aChannels[static_cast<size_t>(c)];
    CTextMemory::STexts texts;
    CTextMemory::CollectTexts(m_profile, apNames, texts);
    STextMemoryImage image;
    CTextMemory::Build(texts, image);
    std::copy(std::begin(image.adwDirectory), std::end(image.adwDirectory), std::begin(g_adwTextDirectory));

    // Flash wears with every erase: a unit that holds these very texts (as
    // read back, or as written since) is left alone.
    if (!g_Comm.IsOpen() || m_readBack.TextReader().UnitHolds(image))
        return;
    // Erase, the texts, then the directory last: a write cut short leaves a
    // directory that is erased (never written) rather than one that points
    // at half-written texts.
    int nQueued = 0;
    bool bOk = g_Comm.QueueCommand(CMD_ERASE, 0, TEXT_MEMORY_START, TEXT_MEMORY_BYTES);
    nQueued += bOk ? 1 : 0;
    std::uint32_t dwAddress = TEXT_AREA_START;
    for (std::uint32_t dwWord : image.adwText) {
        if (!bOk)
            break;
        bOk = g_Comm.QueueCommand(CMD_WRITE_WORD, 0, dwAddress, dwWord);
        nQueued += bOk ? 1 : 0;
        dwAddress += 4;
    }
    for (int i = 0; bOk && i < TEXT_DIRECTORY_WORDS; ++i) {
        bOk = g_Comm.QueueCommand(CMD_WRITE_WORD, 0, TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(i),
                                  image.adwDirectory[i]);
        nQueued += bOk ? 1 : 0;
    }
    // A link that closed while the writes were queued took none of them.
    if (!bOk || !g_Comm.IsOpen()) {
        m_readBack.TextReader().ForgetUnitImage();
        return;
    }
    m_nOwnTextReplies += nQueued;
    m_readBack.TextReader().SetUnitImage(image);
}

// --- commands that open their own dialogs -------------------------------------------------

LRESULT CDlgCrossover::OnSpeakerLibrary(UINT, WPARAM, LPARAM, BOOL&)
{
    // The button is disabled for the Subwoofer: no preset is meant for it.
    DropHeldValue();
    const int nShown = ShownChannel();
    if (nShown < 0 || nShown >= CHANNEL_SUBWOOFER)
        return 0;
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::SpeakerLibrary());
    CChannelConfig& shown = m_aChannels[static_cast<size_t>(nShown)];
    shown.Assign(m_ctlPlot, false);
    CDlgSpeakerLib dlg(shown, m_ctlPlot.GetMode());
    if (dlg.DoModal(m_hWnd) != IDOK)
        return 0;
    // Left, Left Center, Center, Right Center, Right: the preset's keys and
    // name on each channel's own record (its level, channel delay and
    // Mute/Invert stay its own); each changed value is sent.
    for (int i = 0; i < 5; ++i) {
        const CDlgSpeakerLib::SChannelBit& b = CDlgSpeakerLib::ChannelBits()[i];
        if (dlg.GetChannelMask() & b.dwBit)
            dlg.GetPreset().ApplyTo(m_aChannels[static_cast<size_t>(b.nChannel)], true);
    }
    if (g_Comm.IsOpen())
        WriteTextMemory(); // the speaker names live in the unit's text memory
    m_ctlPlot.Assign(shown, false);
    UpdateLevelControls();
    UpdateControls();
    m_ctlPlot.RecalcBands(BAND_ALL);
    return 0;
}

LRESULT CDlgCrossover::OnCopyChannel(UINT, WPARAM, LPARAM, BOOL&)
{
    DropHeldValue(); // the dialog would otherwise take the focus and leave the unit playing it
    const int nShown = ShownChannel();
    if (nShown < 0 || nShown >= CHANNEL_COUNT)
        return 0;
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::CopyChannel());
    // Edits of the shown channel are copied too.
    CChannelConfig& shown = m_aChannels[static_cast<size_t>(nShown)];
    shown.Assign(m_ctlPlot, false);
    CDlgCopyChannel dlg(nShown);
    if (dlg.DoModal(m_hWnd) != IDOK)
        return 0;
    if (dlg.m_nFrom >= 0 && dlg.m_nFrom < CDlgCopyChannel::TARGET_COUNT) {
        const CChannelConfig& source = m_aChannels[static_cast<size_t>(dlg.m_nFrom)];
        for (int i = 0; i < CDlgCopyChannel::TARGET_COUNT; ++i)
            if (dlg.m_bTo[i])
                m_aChannels[static_cast<size_t>(i)].Assign(source, true);
    }
    m_ctlPlot.Assign(shown, false);
    UpdateLevelControls();
    UpdateControls();
    m_ctlPlot.RecalcBands(BAND_ALL);
    WriteTextMemory(); // queues nothing while the link is closed
    return 0;
}

LRESULT CDlgCrossover::OnProfileInformation(UINT, WPARAM, LPARAM, BOOL&)
{
    DropHeldValue();
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::ProfileInformation());
    CDlgProfileInfo dlg(m_profile);
    if (dlg.DoModal(m_hWnd) != IDOK)
        return 0;
    const CProfileInfo& edited = dlg.GetProfile();
    m_profile.SetProject(edited.Project());
    m_profile.SetTheater(edited.Theater());
    m_profile.SetScreen(edited.Screen());
    m_profile.SetComments(edited.Comments());
    WriteTextMemory();
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
