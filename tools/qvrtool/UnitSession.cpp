#include "tools/qvrtool/UnitSession.h"

#include <algorithm>

#include "device/Advise.h"
#include "device/Comm.h"
#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "model/CommandSink.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"
#include "framework/AppMessages.h"

namespace {

// Longer than the queue can take to give up on one request (three attempts
// of an erase, 20 s each, and the pauses between them): a quieter unit is
// not coming back, and the wait ends with a message instead of hanging.
constexpr DWORD QUIET_MILLISECONDS = 70000;


// Counts the unit writes that the setters queue, and passes them on.
class CCountingSink : public ICommandSink {
public:
    explicit CCountingSink(std::uint32_t& nCount) : m_nCount(nCount), m_pNext(SetCommandSink(this)) {}
    ~CCountingSink() override { SetCommandSink(m_pNext); }
    bool QueueRequest(bool set, std::uint8_t channel, std::uint8_t parameter, float value) override
    {
        ++m_nCount;
        return m_pNext && m_pNext->QueueRequest(set, channel, parameter, value);
    }
    bool QueueRequestBits(bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits) override
    {
        ++m_nCount;
        return m_pNext && m_pNext->QueueRequestBits(set, channel, parameter, bits);
    }
    bool QueueCommand(std::uint8_t command, std::uint32_t iter, std::uint32_t uword, std::uint32_t lword) override
    {
        ++m_nCount;
        return m_pNext && m_pNext->QueueCommand(command, iter, uword, lword);
    }

private:
    std::uint32_t& m_nCount;
    ICommandSink* m_pNext;
};

void SetNameExactly(CChannelConfig& rec, const char16_t* pszName)
{
    // The setter ignores a name that differs only in letter case.
    rec.SetSpeakerName(u"");
    rec.SetSpeakerName(pszName);
}

bool IsPresent(int nChannel, bool bNoLeftRightCenter)
{
    return !(bNoLeftRightCenter && (nChannel == CHANNEL_LEFT_CENTER || nChannel == CHANNEL_RIGHT_CENTER));
}

} // namespace

CUnitSession::SUnit::SUnit()
{
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        channels.emplace_back(c);
}

CUnitSession::CUnitSession()
    : m_pWindow(std::make_unique<CRecordWindow>(g_Advise, [this](UINT uMsg, const utRXQueue& r) { OnRecord(uMsg, r); }))
{
}

CUnitSession::~CUnitSession()
{
    if (m_bOpen)
        g_Comm.Close();
}

bool CUnitSession::Open(int nDevice, std::string& error)
{
    if (!m_pWindow->IsValid()) {
        error = "the window that receives the unit's answers could not be created";
        return false;
    }
    g_Comm.SetPolling(false); // no meter reads between the tool's requests
    g_Comm.SetDeviceNumber(nDevice);
    if (!g_Comm.Open()) {
        error = "Failed to establish communications with selected device.";
        return false;
    }
    m_bOpen = true;
    return true;
}

CUnitSession::EResult CUnitSession::WaitFor(const std::function<bool()>& bDone)
{
    const bool bOk = m_pWindow->WaitUntil([&] { return m_bFailed || bDone(); }, QUIET_MILLISECONDS);
    if (m_bFailed)
        return EResult::LinkLost;
    return bOk ? EResult::Ok : EResult::Quiet;
}

void CUnitSession::ApplyTexts(const CTextMemoryReader::SStep& step)
{
    for (int n = 1; n <= TEXT_SECTION_COUNT; ++n) {
        if (!(step.nStoreMask & (1u << (n - 1))))
            continue;
        const char16_t* psz = step.aszText[n - 1];
        switch (n) {
        case 1: m_pUnit->profile.SetProject(psz); break;
        case 2: m_pUnit->profile.SetTheater(psz); break;
        case 3: m_pUnit->profile.SetScreen(psz); break;
        case 4: m_pUnit->profile.SetComments(psz); break;
        default: SetNameExactly(m_pUnit->channels[static_cast<size_t>(n - TEXT_FIRST_NAME_SECTION)], psz); break;
        }
    }
    if (step.nReadSection != 0) {
        if (!m_bSectionTableSet) {
            // The checked table: sections skipped as malformed read as empty.
            DWORD adwStart[TEXT_SECTION_COUNT + 1];
            DWORD adwLength[TEXT_SECTION_COUNT + 1];
            std::copy_n(m_textReader.SectionStarts(), TEXT_SECTION_COUNT + 1, adwStart);
            std::copy_n(m_textReader.SectionLengths(), TEXT_SECTION_COUNT + 1, adwLength);
            g_Comm.SetSectionTable(adwStart, adwLength);
            m_bSectionTableSet = true;
            for (int n = 1; n <= TEXT_SECTION_COUNT; ++n)
                m_nExpected += (m_textReader.SectionLengths()[n] + 1) / 2;
        }
        int nSection = step.nReadSection;
        g_Comm.QueueReadMemory(nSection);
    }
    if (step.bFinished)
        g_Comm.QueueRequest(false, static_cast<BYTE>(CHANNEL_LEFT), static_cast<BYTE>(PARAMETER_MARKER), 0.0f);
}

void CUnitSession::OnRecord(UINT uMsg, const utRXQueue& record)
{
    if (m_pDownload) {
        // The download takes what answers its own requests; the rest is
        // nobody's here.
        if (uMsg == WM_COMM_FAILURE) {
            m_bFailed = true;
            m_pDownload->OnLinkLost();
        } else if (uMsg == WM_COMM_PACKET &&
                   m_pDownload->OnPacket(record) == CFirmwareDownload::EEvent::WordWritten && m_progress) {
            m_progress(m_pDownload->GetWordsWritten(), m_pDownload->GetTotalWords());
        }
        return;
    }
    if (uMsg == WM_COMM_FAILURE) {
        m_bFailed = true;
        return;
    }
    if (uMsg == WM_COMM_MARKER) {
        m_bMarker = true;
        return;
    }
    ++m_nAnswered;
    if (m_progress)
        m_progress(m_nAnswered, m_nExpected);
    if (uMsg == WM_COMM_DATA) {
        if (!m_pUnit || record.bChannel >= CHANNEL_COUNT)
            return;
        const EChannelField eField = FieldForParameter(record.bChannel, record.bParameter);
        if (eField != FIELD_NONE)
            SetChannelFieldBits(m_pUnit->channels[record.bChannel], eField, RXGetWord(record.bValue), false, false);
        return;
    }
    if (uMsg != WM_COMM_PACKET)
        return;
    switch (record.bCommand) {
    case CMD_SYSTEM_FLAGS:
        if (m_pUnit && !m_bFlagsAnswered) {
            m_pUnit->dwFlags = RXGetWord(record.bLWord);
            m_bFlagsAnswered = true;
        }
        break;
    case CMD_READ_OUTPUT: {
        if (!m_pUnit)
            break;
        int nChannel = -1;
        EBand band = BAND_LOW;
        if (!OutputToBand(RXGetWord(record.bUWord), m_pUnit->nMode, &nChannel, &band) || nChannel < 0 ||
            nChannel >= CHANNEL_COUNT)
            break;
        CChannelConfig& cfg = m_pUnit->channels[static_cast<size_t>(nChannel)];
        const float fltGain = RXWordAsFloat(RXGetWord(record.bLWord)) - cfg.GetLevel();
        const EChannelField eField =
            band == BAND_LOW ? FIELD_LOW_GAIN : band == BAND_MID ? FIELD_MID_GAIN : FIELD_HIGH_GAIN;
        SetChannelFieldBits(cfg, eField, FloatToBits(fltGain), false, false);
        break;
    }
    case CMD_READ_WORD:
        if (m_pUnit)
            ApplyTexts(m_textReader.OnWord(RXGetWord(record.bUWord), RXGetWord(record.bLWord)));
        break;
    case CMD_STORE_SETTINGS:
        m_bStored = true;
        break;
    default:
        break;
    }
}

CUnitSession::EResult CUnitSession::Read(SUnit& unit, const Progress& progress)
{
    m_pUnit = &unit;
    m_progress = progress;
    m_nAnswered = 0;
    m_nExpected = 1;
    m_bFlagsAnswered = false;
    m_bMarker = false;
    m_bSectionTableSet = false;

    // Connect: the system flags first; their answer gives the mode.
    g_Comm.QueueCommand(CMD_SYSTEM_FLAGS, 0, 0, 0);
    EResult r = WaitFor([this] { return m_bFlagsAnswered; });
    if (r != EResult::Ok) {
        m_pUnit = nullptr;
        return r == EResult::LinkLost ? EResult::NoAnswer : r;
    }
    SetSystemFlags(unit.dwFlags, false);
    unit.nMode = (unit.dwFlags & SYSFLAG_BIAMP) ? MODE_BIAMP : MODE_TRIAMP;
    unit.bNoLeftRightCenter = (unit.dwFlags & SYSFLAG_NO_LCR) != 0;
    CChannelConfig working(CHANNEL_LEFT);
    working.Assign(unit.channels[CHANNEL_LEFT], false);
    ApplyMode(unit.channels.data(), working, unit.nMode, false);

    // The read of the settings: the text directory, then every channel; the
    // directory's last word starts the text reads behind the channel reads,
    // and the marker after the last text ends the read.
    m_nExpected += TEXT_DIRECTORY_WORDS;
    m_textReader.BeginDirectory();
    int nSection = 0;
    g_Comm.QueueReadMemory(nSection);
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        if (!IsPresent(c, unit.bNoLeftRightCenter))
            continue;
        const ReadChannelPlan plan = GetReadChannelPlan(c, unit.nMode);
        m_nExpected += static_cast<std::uint32_t>(plan.nParameters + plan.nOutputs);
        g_Comm.QueueReadChannel(c, unit.nMode);
    }
    r = WaitFor([this] { return m_bMarker; });
    unit.eDirectory = m_textReader.GetDirectoryState();
    if (r != EResult::Ok)
        m_textReader.Abort();
    m_pUnit = nullptr;
    m_progress = nullptr;
    return r;
}

CUnitSession::EResult CUnitSession::Push(SUnit& unit, const std::vector<std::uint8_t>& fileImage,
                                         const CProfileInfo* pProfile, std::uint32_t& nSent,
                                         const Progress& progress)
{
    nSent = 0;
    m_progress = progress;
    m_nAnswered = 0;
    m_bMarker = false;
    {
        CCountingSink counter(nSent);
        // Open while connected: every field through its setter with sending
        // on, so only values that differ from the unit's go out.
        CMemoryStream stream(fileImage);
        CConfigFile::Read(stream, unit.channels.data(), nullptr, false);
        if (pProfile)
            unit.profile = *pProfile;

        // Then the text memory, unless the unit holds these very texts.
        const CChannelConfig* apNames[TEXT_NAME_SECTIONS];
        for (int c = 0; c < TEXT_NAME_SECTIONS; ++c)
            apNames[c] = &unit.channels[static_cast<size_t>(c)];
        CTextMemory::STexts texts;
        CTextMemory::CollectTexts(unit.profile, apNames, texts);
        STextMemoryImage image;
        CTextMemory::Build(texts, image);
        std::copy(std::begin(image.adwDirectory), std::end(image.adwDirectory), std::begin(g_adwTextDirectory));
        if (!m_textReader.UnitHolds(image)) {
            // Erase, the texts, the directory last: a write cut short leaves
            // an erased directory rather than one pointing at half a text.
            bool bOk = counter.QueueCommand(CMD_ERASE, 0, TEXT_MEMORY_START, TEXT_MEMORY_BYTES);
            std::uint32_t dwAddress = TEXT_AREA_START;
            for (std::uint32_t dwWord : image.adwText) {
                if (!bOk)
                    break;
                bOk = counter.QueueCommand(CMD_WRITE_WORD, 0, dwAddress, dwWord);
                dwAddress += 4;
            }
            for (int i = 0; bOk && i < TEXT_DIRECTORY_WORDS; ++i)
                bOk = counter.QueueCommand(CMD_WRITE_WORD, 0, TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(i),
                                           image.adwDirectory[i]);
            m_textReader.ForgetUnitImage();
        }
    }
    m_nExpected = nSent;
    g_Comm.QueueRequest(false, static_cast<BYTE>(CHANNEL_LEFT), static_cast<BYTE>(PARAMETER_MARKER), 0.0f);
    const EResult r = WaitFor([this] { return m_bMarker; });
    m_progress = nullptr;
    return r;
}

CUnitSession::EResult CUnitSession::Store()
{
    m_bStored = false;
    g_Comm.QueueCommand(CMD_STORE_SETTINGS, 0, 0, 0);
    return WaitFor([this] { return m_bStored; });
}

CUnitSession::EResult CUnitSession::Firmware(CFirmwareDownload& download, const std::vector<std::uint32_t>& words,
                                             const Progress& progress)
{
    m_bFailed = false;
    m_progress = progress;
    m_pDownload = &download;
    // The download's thread posts to the session's window when it stops
    // early, which wakes the wait below; a link closed under it ends it too.
    EResult r = EResult::Ok;
    if (download.Start(words, m_pWindow->GetHwnd()))
        r = WaitFor([&] { return !download.IsRunning() || !g_Comm.IsOpen(); });
    if (download.IsRunning())
        download.OnStopped(r == EResult::Quiet ? 0 : 1);
    m_pDownload = nullptr;
    m_progress = nullptr;
    if (r == EResult::Ok && download.GetFailure() == CFirmwareDownload::EFailure::LinkLost)
        r = EResult::LinkLost;
    return r;
}
