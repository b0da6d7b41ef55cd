#include "model/ChannelConfig.h"

#include "model/ChannelFields.h"
#include "model/CommandSink.h"
#include "model/ParameterMap.h"
#include "model/ProfileInfo.h"
#include "model/UnitMismatch.h"
#include "model/WriteOrder.h"
#include "resources/resource.h"
#include "resources/strings/StringTable.h"

namespace {

constexpr float HP_FREQ_FLOOR = 20.0f;

std::uint32_t g_dwSystemFlags = 0;

// Simple case folding for the name compare: ASCII, Latin-1, the even/odd
// pairs of Latin Extended-A, Greek and Cyrillic capitals.
char16_t FoldCase(char16_t ch)
{
    if (ch >= u'A' && ch <= u'Z')
        return static_cast<char16_t>(ch + 0x20);
    if ((ch >= 0xC0 && ch <= 0xDE && ch != 0xD7))
        return static_cast<char16_t>(ch + 0x20);
    if (ch == 0x178) // capital Y with diaeresis pairs with 0xFF, not with its neighbour
        return 0xFF;
    if (ch >= 0x100 && ch <= 0x17F && ch != 0x130 && ch != 0x131 && ch != 0x138 && ch != 0x149 && ch != 0x178 && ch != 0x17F) {
        // Pairs start on even code points except 0x139..0x148 and 0x179..0x17E, which start odd.
        const bool bOddPairs = (ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E);
        if (bOddPairs ? (ch & 1) != 0 : (ch & 1) == 0)
            return static_cast<char16_t>(ch + 1);
        return ch;
    }
    if (ch >= 0x391 && ch <= 0x3A9 && ch != 0x3A2)
        return static_cast<char16_t>(ch + 0x20);
    if (ch >= 0x410 && ch <= 0x42F)
        return static_cast<char16_t>(ch + 0x20);
    if (ch >= 0x400 && ch <= 0x40F)
        return static_cast<char16_t>(ch + 0x50);
    return ch;
}

bool EqualNoCase(const char16_t* a, const char16_t* b)
{
    for (;; ++a, ++b) {
        if (FoldCase(*a) != FoldCase(*b))
            return false;
        if (*a == 0)
            return true;
    }
}

// A channel index outside 0..5 addresses nothing on the unit.
bool CanSend(int nChannel) { return nChannel >= 0 && nChannel < CHANNEL_COUNT; }

// A value equal to the one held is not sent again, unless the unit is known
// to hold another one there.
bool Unchanged(int nChannel, EChannelField field, bool bEqual)
{
    return bEqual && !CUnitMismatch::IsMarked(nChannel, field);
}

void QueueField(int nChannel, EChannelField field, float v)
{
    CUnitMismatch::Clear(nChannel, field);
    ICommandSink* pSink = GetCommandSink();
    const int nParameter = ParameterForField(field, nChannel);
    if (pSink && nParameter != PARAMETER_NONE)
        pSink->QueueRequest(true, static_cast<std::uint8_t>(nChannel), static_cast<std::uint8_t>(nParameter), v);
}

void QueueFieldBits(int nChannel, EChannelField field, std::uint32_t bits)
{
    CUnitMismatch::Clear(nChannel, field);
    ICommandSink* pSink = GetCommandSink();
    const int nParameter = ParameterForField(field, nChannel);
    if (pSink && nParameter != PARAMETER_NONE)
        pSink->QueueRequestBits(true, static_cast<std::uint8_t>(nChannel), static_cast<std::uint8_t>(nParameter), bits);
}

// The Low band follows the system's Biamp bit; the Mid band only exists in
// Triamp (its setters are guarded); the High output is the same in both.
void QueueBandGain(int nChannel, EBand band, float fltGain, float fltLevel)
{
    CUnitMismatch::Clear(nChannel, band == BAND_LOW ? FIELD_LOW_GAIN : band == BAND_MID ? FIELD_MID_GAIN : FIELD_HIGH_GAIN);
    ICommandSink* pSink = GetCommandSink();
    if (!pSink)
        return;
    const bool bBiamp = band == BAND_LOW && (g_dwSystemFlags & SYSFLAG_BIAMP) != 0;
    std::uint32_t dwAddress = 0;
    if (!FindOutputAddress(nChannel, band, bBiamp, &dwAddress))
        return;
    pSink->QueueCommand(CMD_WRITE_OUTPUT, 0, dwAddress, OutputGainBits(fltGain, fltLevel));
}

} // namespace

// Stores `v` into `member` unless equal (or, when `guarded`, in Biamp);
// queues the field's parameter write.
#define QVR_FLOAT_SETTER(name, member, field, guarded)            \
    void CChannelConfig::name(float v, bool send)                 \
    {                                                             \
        if ((guarded && m_nMode == MODE_BIAMP) ||                 \
            Unchanged(m_nChannel, field, v == member))            \
            return;                                               \
        member = v;                                               \
        if (send && CanSend(m_nChannel))                          \
            QueueField(m_nChannel, field, v);                     \
    }

#define QVR_FLAGS_SETTER(name, member, field, guarded)            \
    void CChannelConfig::name(std::uint32_t v, bool send)         \
    {                                                             \
        if ((guarded && m_nMode == MODE_BIAMP) ||                 \
            Unchanged(m_nChannel, field, v == member))            \
            return;                                               \
        member = v;                                               \
        if (send && CanSend(m_nChannel))                          \
            QueueFieldBits(m_nChannel, field, v);                 \
    }

// Band gains go to the band's output with the level added; `force` sends an
// unchanged value again.
#define QVR_GAIN_SETTER(name, member, band, field, guarded)                   \
    void CChannelConfig::name(float v, bool send, bool force)                  \
    {                                                                          \
        if ((guarded && m_nMode == MODE_BIAMP) ||                              \
            (!force && Unchanged(m_nChannel, field, v == member)))             \
            return;                                                            \
        member = v;                                                            \
        if (send && CanSend(m_nChannel))                                       \
            QueueBandGain(m_nChannel, band, member, m_fltLevel);               \
    }

CChannelConfig::CChannelConfig(int nChannel)
    : m_nMode(MODE_TRIAMP), m_nChannel(nChannel), m_szSpeaker{}
{
    ResetToDefaults();
}

void CChannelConfig::ResetToDefaults()
{
    m_nMode = MODE_TRIAMP;
    for (char16_t& ch : m_szSpeaker)
        ch = 0;
    const char16_t* pszDefault =
        qvr::LoadStringText(m_nChannel == CHANNEL_SUBWOOFER ? IDS_SUBWOOFER : IDS_DEFAULT_TRIAMP);
    for (int i = 0; pszDefault && pszDefault[i] && i < SPEAKER_NAME_UNITS - 1; ++i)
        m_szSpeaker[i] = pszDefault[i];

    m_fltLevel = 0.0f;
    m_fltHPFreq = 30.0f;
    m_fltHPQ = 0.707f;
    m_fltDelay = 0.0f;
    m_fltLowLPFreq = m_nChannel == CHANNEL_SUBWOOFER ? 500.0f : 200.0f;
    m_fltLowPEQFreq = 40.0f;
    m_fltLowPEQQ = 1.0f;
    m_fltLowPEQGain = 0.0f;
    m_fltLowGain = 0.0f;
    m_fltLowDelay = 0.0f;
    m_dwLowFlags = 0;
    m_fltMidHPFreq = 316.0f;
    m_fltMidLPFreq = 1600.0f;
    m_fltMidPEQFreq = 800.0f;
    m_fltMidPEQQ = 1.0f;
    m_fltMidPEQGain = 0.0f;
    m_fltMidGain = 0.0f;
    m_fltMidDelay = 0.0f;
    m_dwMidFlags = 0;
    m_fltHighHPFreq = 2500.0f;
    m_fltHighPEQFreq = 3000.0f;
    m_fltHighPEQQ = 1.0f;
    m_fltHighPEQGain = 0.0f;
    m_fltSEQFreq = 10000.0f;
    m_fltSEQGain = 0.0f;
    m_fltHEQFreq = 10000.0f;
    m_fltHEQGain = 0.0f;
    m_fltHighGain = 0.0f;
    m_fltHighDelay = 0.0f;
    m_dwHighFlags = 0;
}

void CChannelConfig::SetSpeakerName(const char16_t* pszName)
{
    static const char16_t kEmpty[1] = {0};
    if (pszName == nullptr)
        pszName = kEmpty;
    if (EqualNoCase(pszName, m_szSpeaker))
        return;
    // Cut to 31 units (never between the halves of a surrogate pair), zero-filled.
    CProfileInfo::CopyText(m_szSpeaker, SPEAKER_NAME_UNITS, pszName);
}

char16_t CChannelConfig::FoldNameCase(char16_t ch) { return FoldCase(ch); }

bool CChannelConfig::NamesEqualNoCase(const char16_t* pszA, const char16_t* pszB)
{
    static const char16_t kEmpty[1] = {0};
    return EqualNoCase(pszA ? pszA : kEmpty, pszB ? pszB : kEmpty);
}

bool CChannelConfig::SameSpeakerName(const char16_t* pszA, const char16_t* pszB)
{
    char16_t szA[SPEAKER_NAME_UNITS];
    char16_t szB[SPEAKER_NAME_UNITS];
    CProfileInfo::CopyText(szA, SPEAKER_NAME_UNITS, pszA);
    CProfileInfo::CopyText(szB, SPEAKER_NAME_UNITS, pszB);
    return EqualNoCase(szA, szB);
}

void CChannelConfig::GetSpeakerName(char16_t* pszBuffer, int cbBuffer) const
{
    const int nUnits = cbBuffer / static_cast<int>(sizeof(char16_t));
    if (pszBuffer == nullptr || nUnits <= 0)
        return;
    static const char16_t kUnknown[] = u"Unknown";
    const char16_t* pszSource = m_szSpeaker[0] ? m_szSpeaker : kUnknown;
    int i = 0;
    for (; i < nUnits - 1 && i < SPEAKER_NAME_UNITS && pszSource[i]; ++i)
        pszBuffer[i] = pszSource[i];
    pszBuffer[i] = 0;
}

void CChannelConfig::SetLevel(float v, bool send)
{
    if (Unchanged(m_nChannel, FIELD_LEVEL, v == m_fltLevel))
        return;
    m_fltLevel = v;
    if (send && CanSend(m_nChannel)) {
        QueueField(m_nChannel, FIELD_LEVEL, v);
        // The gain sent for each band includes the level: send them again.
        SetLowGain(m_fltLowGain, true, true);
        SetMidGain(m_fltMidGain, true, true);
        SetHighGain(m_fltHighGain, true, true);
    }
}

void CChannelConfig::SetHPFreq(float v, bool send)
{
    if (Unchanged(m_nChannel, FIELD_HP_FREQ, v == m_fltHPFreq && v >= HP_FREQ_FLOOR))
        return;
    m_fltHPFreq = v < HP_FREQ_FLOOR ? HP_FREQ_FLOOR : v;
    if (send && CanSend(m_nChannel))
        QueueField(m_nChannel, FIELD_HP_FREQ, v); // the value passed in, even below the floor
}

QVR_GAIN_SETTER(SetLowGain, m_fltLowGain, BAND_LOW, FIELD_LOW_GAIN, false)
QVR_GAIN_SETTER(SetMidGain, m_fltMidGain, BAND_MID, FIELD_MID_GAIN, true)
QVR_GAIN_SETTER(SetHighGain, m_fltHighGain, BAND_HIGH, FIELD_HIGH_GAIN, false)
QVR_FLOAT_SETTER(SetHPQ, m_fltHPQ, FIELD_HP_Q, false)
QVR_FLOAT_SETTER(SetDelay, m_fltDelay, FIELD_DELAY, false)
QVR_FLOAT_SETTER(SetLowLPFreq, m_fltLowLPFreq, FIELD_LOW_LP_FREQ, false)
QVR_FLOAT_SETTER(SetLowPEQFreq, m_fltLowPEQFreq, FIELD_LOW_PEQ_FREQ, false)
QVR_FLOAT_SETTER(SetLowPEQQ, m_fltLowPEQQ, FIELD_LOW_PEQ_Q, false)
QVR_FLOAT_SETTER(SetLowPEQGain, m_fltLowPEQGain, FIELD_LOW_PEQ_GAIN, false)
QVR_FLOAT_SETTER(SetLowDelay, m_fltLowDelay, FIELD_LOW_DELAY, false)
QVR_FLAGS_SETTER(SetLowFlags, m_dwLowFlags, FIELD_LOW_FLAGS, false)
QVR_FLOAT_SETTER(SetMidHPFreq, m_fltMidHPFreq, FIELD_MID_HP_FREQ, false) // no Biamp guard
QVR_FLOAT_SETTER(SetMidLPFreq, m_fltMidLPFreq, FIELD_MID_LP_FREQ, true)
QVR_FLOAT_SETTER(SetMidPEQFreq, m_fltMidPEQFreq, FIELD_MID_PEQ_FREQ, true)
QVR_FLOAT_SETTER(SetMidPEQQ, m_fltMidPEQQ, FIELD_MID_PEQ_Q, true)
QVR_FLOAT_SETTER(SetMidPEQGain, m_fltMidPEQGain, FIELD_MID_PEQ_GAIN, true)
QVR_FLOAT_SETTER(SetMidDelay, m_fltMidDelay, FIELD_MID_DELAY, true)
QVR_FLAGS_SETTER(SetMidFlags, m_dwMidFlags, FIELD_MID_FLAGS, true)
QVR_FLOAT_SETTER(SetHighHPFreq, m_fltHighHPFreq, FIELD_HIGH_HP_FREQ, false)
QVR_FLOAT_SETTER(SetHighPEQFreq, m_fltHighPEQFreq, FIELD_HIGH_PEQ_FREQ, false)
QVR_FLOAT_SETTER(SetHighPEQQ, m_fltHighPEQQ, FIELD_HIGH_PEQ_Q, false)
QVR_FLOAT_SETTER(SetHighPEQGain, m_fltHighPEQGain, FIELD_HIGH_PEQ_GAIN, false)
QVR_FLOAT_SETTER(SetSEQFreq, m_fltSEQFreq, FIELD_SEQ_FREQ, false)
QVR_FLOAT_SETTER(SetSEQGain, m_fltSEQGain, FIELD_SEQ_GAIN, false)
QVR_FLOAT_SETTER(SetHEQFreq, m_fltHEQFreq, FIELD_HEQ_FREQ, false)
QVR_FLOAT_SETTER(SetHEQGain, m_fltHEQGain, FIELD_HEQ_GAIN, false)
QVR_FLOAT_SETTER(SetHighDelay, m_fltHighDelay, FIELD_HIGH_DELAY, false)
QVR_FLAGS_SETTER(SetHighFlags, m_dwHighFlags, FIELD_HIGH_FLAGS, false)

#undef QVR_FLOAT_SETTER
#undef QVR_FLAGS_SETTER
#undef QVR_GAIN_SETTER

void CChannelConfig::Assign(const CChannelConfig& src, bool send)
{
    SetMode(src.m_nMode);
    SetSpeakerName(src.m_szSpeaker);
    // Band gains are forced: their outputs carry the level as well.
    CWriteOrder::ApplyAll(*this, src, send, true);
}

void ApplyMode(CChannelConfig* pChannels, CChannelConfig& workingCopy, int nMode, bool send)
{
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        CChannelConfig& cfg = pChannels[i];
        cfg.SetMode(nMode);
        if (i == CHANNEL_SUBWOOFER)
            continue;
        if (nMode == MODE_BIAMP) {
            cfg.SetMidHPFreq(10.0f, send);
            cfg.SetLowPEQFreq(40.0f, send);
        } else if (nMode == MODE_TRIAMP) {
            cfg.SetMidHPFreq(316.0f, send);
            // Pass through 40 Hz unsent so that 800 Hz is always written.
            cfg.SetMidPEQFreq(40.0f, false);
            cfg.SetMidPEQFreq(800.0f, send);
        }
    }
    workingCopy.SetMode(nMode);
}

std::uint32_t GetSystemFlags() { return g_dwSystemFlags; }

void SetSystemFlags(std::uint32_t dwFlags, bool send)
{
    if (dwFlags == g_dwSystemFlags)
        return;
    g_dwSystemFlags = dwFlags;
    if (!send)
        return;
    if (ICommandSink* pSink = GetCommandSink()) {
        pSink->QueueCommand(CMD_SYSTEM_FLAGS, 0, 0, 0);
        pSink->QueueCommand(CMD_SYSTEM_FLAGS, 0, SYSTEM_FLAGS_WRITE, dwFlags);
    }
}
