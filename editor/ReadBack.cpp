#include "editor/ReadBack.h"

#include <algorithm>
#include <cmath>

#include "device/Comm.h"
#include "device/RXQueue.h"
#include "device/records/NotificationRecord.h"
#include "editor/EditorView.h"
#include "editor/TextMemorySync.h"
#include "framework/ExeModule.h"
#include "model/ConfigCheck.h"
#include "model/ConfigurationSet.h"
#include "model/ChannelFields.h"
#include "model/ChannelNames.h"
#include "model/ParameterMap.h"
#include "model/UnitMismatch.h"
#include "model/WriteOrder.h"
#include "resources/resource.h"

namespace {

std::wstring Widen(const char* psz) // the model's names and labels are ASCII
{
    std::wstring text;
    for (; psz && *psz; ++psz)
        text += static_cast<wchar_t>(static_cast<unsigned char>(*psz));
    return text;
}

// The Mid band's fields other than its high-pass do not exist in Biamp:
// their setters ignore them, and a reply for one is no disagreement.
bool IgnoredInMode(EChannelField eField, int nMode)
{
    return nMode == MODE_BIAMP && eField >= FIELD_MID_LP_FREQ && eField <= FIELD_MID_FLAGS;
}

} // namespace

std::wstring CReadBack::DescribeValue(int nChannel, EChannelField eField, const wchar_t* pszWhere)
{
    const std::wstring channel =
        nChannel >= 0 && nChannel < CHANNEL_COUNT ? Widen(kChannelNames[nChannel]) : L"Channel " + std::to_wstring(nChannel);
    return channel + L": " + Widen(GetChannelFieldLabel(eField)) + L" (" + pszWhere + L")";
}

void CReadBack::Hold()
{
    if (m_bActive)
        return;
    m_bActive = true;
    m_rejected.clear();
    m_kept = m_config.Capture();

    // A drag in progress would go on sending while the unit's values arrive.
    if (::GetCapture() == m_view.PlotWindow())
        ::ReleaseCapture();
    // A disabled form takes no clicks, but a field that has the focus would
    // still take keys: the focus waits on the frame until the read-back ends.
    const HWND hForm = m_view.FormWindow();
    const HWND hFocus = ::GetFocus();
    m_hWndFocusBefore = (hFocus && ::IsChild(hForm, hFocus)) ? hFocus : nullptr;
    if (m_hWndFocusBefore)
        ::SetFocus(::GetParent(hForm));
    ::EnableWindow(hForm, FALSE);
}

void CReadBack::Release()
{
    if (!m_bActive)
        return;
    m_bActive = false;
    const HWND hForm = m_view.FormWindow();
    ::EnableWindow(hForm, TRUE);
    const HWND hFocus = ::GetFocus();
    if (m_hWndFocusBefore && ::IsWindow(m_hWndFocusBefore) && (hFocus == nullptr || hFocus == ::GetParent(hForm)))
        ::SetFocus(m_hWndFocusBefore);
    m_hWndFocusBefore = nullptr;
}

void CReadBack::Start()
{
    Hold();
    // A new read-back of a unit: what another read-back found is void.
    CUnitMismatch::ClearAll();
    const bool bBiamp = (GetSystemFlags() & SYSFLAG_BIAMP) != 0;
    const int nMode = bBiamp ? MODE_BIAMP : MODE_TRIAMP;
    m_view.ShowMode(nMode);
    // The mode reaches every channel through the set: the shown channel's
    // values go in first and come back with the mode.
    m_config.StoreShown();
    ApplyMode(m_config.Records(), m_config.Shown(), nMode, false);
    m_config.LoadShown();

    m_nTextQueuedThrough = 0;
    m_textMemory.Reader().BeginDirectory();
    int nSection = 0;
    g_Comm.QueueReadMemory(nSection);
    ReadAllChannels();
}

void CReadBack::Reread()
{
    Hold();
    ReadAllChannels();
    QueueMarker();
}

void CReadBack::ReadAllChannels()
{
    const int nMode = m_config.Shown().GetMode();
    const bool bNoLeftRightCenter = (GetSystemFlags() & SYSFLAG_NO_LCR) != 0;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        if (bNoLeftRightCenter && (c == CHANNEL_LEFT_CENTER || c == CHANNEL_RIGHT_CENTER))
            continue;
        g_Comm.QueueReadChannel(c, nMode);
    }
}

void CReadBack::QueueMarker()
{
    g_Comm.QueueRequest(false, static_cast<BYTE>(m_config.ShownChannel()), static_cast<BYTE>(PARAMETER_MARKER),
                        0.0f);
}

void CReadBack::Reject(int nChannel, EChannelField eField, const wchar_t* pszWhere, std::uint32_t dwUnitBits)
{
    // The unit keeps the value; the program shows its own until one of them
    // is sent (the model's mark makes sure the next write is).
    CUnitMismatch::Mark(nChannel, eField, dwUnitBits);
    // A unit that sends rubbish sends it for every value: the report stays short.
    constexpr size_t REPORT_LIMIT = 64;
    const std::wstring value = Widen(CConfigCheck::FormatFloat(BitsToFloat(dwUnitBits)).c_str());
    if (m_rejected.size() < REPORT_LIMIT)
        m_rejected.push_back(DescribeValue(nChannel, eField, pszWhere) + L": " + value);
    else if (m_rejected.size() == REPORT_LIMIT)
        m_rejected.emplace_back(L"...");
}

void CReadBack::Take(CChannelConfig& cfg, EChannelField eField, std::uint32_t dwBits, const wchar_t* pszWhere)
{
    const int nChannel = cfg.GetChannel();
    // The unit is outside the program too: a value that is not a number is
    // never applied (flag words are carried as they are).
    if (CConfigCheck::CheckBits(eField, m_config.Shown().GetMode(), dwBits) == CConfigCheck::EVerdict::NonFinite) {
        Reject(nChannel, eField, pszWhere, dwBits);
        return;
    }
    SetChannelFieldBits(cfg, eField, dwBits, false, false);
    // A setter that changes a value on the way in (a high-pass below its
    // floor) shows what the unit does not play: named like a refused one.
    const bool bShownOtherwise = GetChannelFieldInfo(eField).bFlags
                                     ? GetChannelFieldBits(cfg, eField) != dwBits
                                     : GetChannelFieldFloat(cfg, eField) != BitsToFloat(dwBits); // -0 is 0
    if (bShownOtherwise && !IgnoredInMode(eField, cfg.GetMode()))
        Reject(nChannel, eField, pszWhere, dwBits);
    else
        CUnitMismatch::Clear(nChannel, eField);
}

void CReadBack::OnValue(const utRXQueue& record)
{
    if (record.bChannel >= CHANNEL_COUNT)
        return;
    // Parameters without a field (band gains come per output, 12 is the
    // meter) and the Subwoofer's unused ones map to no field.
    const EChannelField eField = FieldForParameter(record.bChannel, record.bParameter);
    if (eField == FIELD_NONE)
        return;
    Take(m_config.Record(record.bChannel), eField, RXGetWord(record.bValue),
         (L"parameter " + std::to_wstring(record.bParameter)).c_str());
}

void CReadBack::OnOutput(const utRXQueue& record)
{
    int nChannel = -1;
    EBand band = BAND_LOW;
    const std::uint32_t dwAddress = RXGetWord(record.bUWord);
    if (!OutputToBand(dwAddress, m_config.Shown().GetMode(), &nChannel, &band) || !CConfigurationSet::IsChannel(nChannel))
        return;
    CChannelConfig& cfg = m_config.Record(nChannel);
    const EChannelField eField = band == BAND_LOW ? FIELD_LOW_GAIN : band == BAND_MID ? FIELD_MID_GAIN : FIELD_HIGH_GAIN;
    // The reply carries the output in whole tenths of a dB, truncated: a
    // gain the program sent to it is known to the last digit, and taking
    // the reply's rounded value instead would part screen and unit.
    const float fltReply = RXWordAsFloat(RXGetWord(record.bLWord));
    const float fltGain =
        HeldGain(nChannel, band, dwAddress, cfg.GetLevel(), fltReply).value_or(fltReply - cfg.GetLevel());
    const std::wstring where =
        L"output " + std::to_wstring(dwAddress & 0xFF) + L"," + std::to_wstring((dwAddress >> 8) & 0xFF);
    Take(cfg, eField, FloatToBits(fltGain), where.c_str());
    if (nChannel == m_config.ShownChannel())
        SetChannelFieldBits(m_config.Shown(), eField, GetChannelFieldBits(cfg, eField), false, false);
}

std::optional<float> CReadBack::HeldGain(int nChannel, EBand band, std::uint32_t dwAddress, float fltLevel,
                                         float fltReply) const
{
    if (!CConfigurationSet::IsChannel(nChannel))
        return std::nullopt;
    const CChannelConfig& held = m_kept.Channel(nChannel);
    // The reply's own band first; then a band that drives the same output in
    // the other mode (Biamp's Low is Triamp's Mid) after a mode change.
    const EBand aBands[] = {band, BAND_LOW, BAND_MID, BAND_HIGH};
    for (const EBand b : aBands)
        for (const bool bBiamp : {false, true}) {
            std::uint32_t dw = 0;
            if (!FindOutputAddress(nChannel, b, bBiamp, &dw) || dw != dwAddress)
                continue;
            const float flt = b == BAND_LOW ? held.GetLowGain() : b == BAND_MID ? held.GetMidGain() : held.GetHighGain();
            if (CNotificationRecord::ShownOutput(OutputGainValue(flt, fltLevel)) == fltReply)
                return flt;
        }
    return std::nullopt;
}

void CReadBack::OnMemoryWord(std::uint32_t dwAddress, std::uint32_t dwValue)
{
    const CTextMemoryReader::SStep step = m_textMemory.Reader().OnWord(dwAddress, dwValue);
    CProfileInfo& profile = m_config.Profile();
    for (int n = 1; n <= TEXT_SECTION_COUNT; ++n) {
        if (!(step.nStoreMask & (1u << (n - 1))))
            continue;
        const char16_t* psz = step.aszText[n - 1];
        switch (n) {
        case 1: profile.SetProject(psz); break;
        case 2: profile.SetTheater(psz); break;
        case 3: profile.SetScreen(psz); break;
        case 4: profile.SetComments(psz); break;
        default: m_config.Record(n - TEXT_FIRST_NAME_SECTION).SetSpeakerName(psz); break;
        }
    }
    if (step.nReadSection != 0)
        QueueTextReads(step.nReadSection);
    if (step.bFinished)
        QueueMarker();
}

void CReadBack::QueueTextReads(int nSection)
{
    const CTextMemoryReader& reader = m_textMemory.Reader();
    if (m_nTextQueuedThrough == 0) {
        // The checked table: skipped sections read as empty ones.
        std::uint32_t adwStart[TEXT_SECTION_COUNT + 1];
        std::uint32_t adwLength[TEXT_SECTION_COUNT + 1];
        std::copy_n(reader.SectionStarts(), TEXT_SECTION_COUNT + 1, adwStart);
        std::copy_n(reader.SectionLengths(), TEXT_SECTION_COUNT + 1, adwLength);
        g_Comm.SetSectionTable(reinterpret_cast<const DWORD*>(adwStart), reinterpret_cast<const DWORD*>(adwLength));
    }
    // The sections after this one are queued too while the queue stays
    // short enough that no later section ever waits for room (a section is
    // 64 reads at most): the worker then never idles between two sections,
    // and the unit gets the same reads in the same order.
    constexpr size_t READ_AHEAD_LIMIT = 190;
    for (int n = nSection; n != 0; n = reader.NextSection(n)) {
        if (n <= m_nTextQueuedThrough)
            continue;
        const size_t nWords = (reader.SectionLengths()[n] + 1) / 2;
        if (n != nSection && g_Comm.GetQueueLength() + nWords > READ_AHEAD_LIMIT)
            break;
        int nQueued = n;
        g_Comm.QueueReadMemory(nQueued);
        m_nTextQueuedThrough = n;
    }
}

bool CReadBack::OnMarker()
{
    // Every request queued before the marker has been answered.  The channel
    // on show now is reloaded from the channel set, whichever channel the
    // marker was queued for (the sibling program may have changed the channel
    // meanwhile; the set holds the unit's values of every channel).
    if (!m_bActive)
        return false;
    m_config.LoadShown();
    Release();
    return true;
}

bool CReadBack::ReportRejected()
{
    if (m_rejected.empty())
        return false;
    std::wstring list;
    for (const std::wstring& one : m_rejected)
        list += (list.empty() ? L"" : L"\r\n") + one;
    m_rejected.clear();
    std::wstring text = g_Module.LoadString(IDS_READ_BACK_REJECTED);
    const size_t nAt = text.find(L"%ls");
    if (nAt != std::wstring::npos)
        text.replace(nAt, 3, list);
    const int nAnswer = ::MessageBoxW(m_view.FormWindow(), text.c_str(), g_Module.LoadString(IDS_APP_TITLE).c_str(),
                                      MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON1);
    if (nAnswer == IDYES)
        SendShownWhereTheUnitDiffers();
    return CUnitMismatch::Count() != 0;
}

void CReadBack::SendShownWhereTheUnitDiffers()
{
    // Exactly the marked parameters, with the values shown (the working copy
    // for the channel on show): the marks make the setters send them though
    // they equal what the program holds, and clear as they go.
    std::vector<CWriteOrder::SWrite> writes;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        CChannelConfig& cfg = m_config.Current(c);
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto eField = static_cast<EChannelField>(f);
            if (CUnitMismatch::IsMarked(c, eField))
                writes.push_back({&cfg, eField, GetChannelFieldBits(cfg, eField)});
        }
    }
    CWriteOrder::Apply(writes, true, false);
}

bool CReadBack::OnLinkClosed()
{
    m_textMemory.Reader().Abort();
    // Without a link nothing is known of a unit.
    CUnitMismatch::ClearAll();
    if (!m_bActive)
        return false;
    // The unit's values that arrived before the link went would stand beside
    // the program's own: the configuration goes back to what it was.
    m_config.Restore(m_kept);
    m_rejected.clear();
    Release();
    m_view.RefreshAll();
    return true;
}
