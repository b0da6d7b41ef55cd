#include "editor/BandButtons.h"

#include <cstdint>

#include "editor/EditRecorder.h"
#include "editor/EditStepNames.h"
#include "model/CtlQVRXOPlot.h"
#include "model/ParameterMap.h"
#include "resources/resource.h"

namespace {

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

} // namespace

void CBandButtons::ShowEnabled(HWND hForm) const
{
    const bool bSubwoofer = m_workingCopy.GetChannel() == CHANNEL_SUBWOOFER;
    for (int nId : s_anNotForSubwoofer)
        ::EnableWindow(::GetDlgItem(hForm, nId), !bSubwoofer);
    ::SendMessageW(::GetDlgItem(hForm, IDC_LOW_LP_FREQ), EM_SETREADONLY, bSubwoofer, 0);
    const bool bMid = m_workingCopy.GetMode() == MODE_TRIAMP && !bSubwoofer;
    for (int nId : s_anMidBand)
        ::EnableWindow(::GetDlgItem(hForm, nId), bMid);
}

void CBandButtons::ShowChecked(HWND hForm) const
{
    ::CheckRadioButton(hForm, IDC_HP_Q_707, IDC_HP_Q_2, m_workingCopy.GetHPQ() == 2.0f ? IDC_HP_Q_2 : IDC_HP_Q_707);
    for (const auto& b : s_aFlagButtons)
        ::CheckDlgButton(hForm, b.nButton, (BandFlags(m_workingCopy, b.nBand) & b.dwBit) ? BST_CHECKED : BST_UNCHECKED);
}

void CBandButtons::OnFlagButton(int nButton)
{
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::OfControl(nButton));
    for (const auto& b : s_aFlagButtons) {
        if (b.nButton != nButton)
            continue;
        const std::uint32_t dwFlags = BandFlags(m_workingCopy, b.nBand) ^ b.dwBit;
        if (b.nBand == 4)
            m_workingCopy.SetLowFlags(dwFlags, true);
        else if (b.nBand == 2)
            m_workingCopy.SetMidFlags(dwFlags, true);
        else
            m_workingCopy.SetHighFlags(dwFlags, true);
    }
    // The band curves do not change, the summed response does.
    m_workingCopy.RecalcBands(0);
}

void CBandButtons::OnHPQ(HWND hForm)
{
    CEditRecorder::CGesture gesture(m_recorder, CEditStepNames::HPQ());
    m_workingCopy.SetHPQ(::IsDlgButtonChecked(hForm, IDC_HP_Q_707) == BST_CHECKED ? 0.707f : 2.0f, true);
    m_workingCopy.RecalcBands(BAND_ALL);
}
