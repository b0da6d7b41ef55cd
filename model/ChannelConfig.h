#pragma once
// The settings of one output channel of the crossover.  Every change goes
// through a setter; with `send` set the setter queues the matching write to
// the unit through the command sink (see ParameterMap.h for the addresses).

#include <cstdint>

enum EChannel : int {
    CHANNEL_LEFT = 0,
    CHANNEL_RIGHT = 1,
    CHANNEL_CENTER = 2,
    CHANNEL_LEFT_CENTER = 3,
    CHANNEL_RIGHT_CENTER = 4,
    CHANNEL_SUBWOOFER = 5,
    CHANNEL_COUNT = 6
};

enum EMode : int { MODE_BIAMP = 2, MODE_TRIAMP = 3 };

// Bits of a band flag word; other bits are carried unchanged.
constexpr std::uint32_t BAND_FLAG_MUTE = 0x10000;
constexpr std::uint32_t BAND_FLAG_INVERT = 0x20000;

// Bits of the system flags word.
constexpr std::uint32_t SYSFLAG_MUTE = 0x1;
constexpr std::uint32_t SYSFLAG_NO_LCR = 0x2; // Left Center / Right Center not available
constexpr std::uint32_t SYSFLAG_BIAMP = 0x4;

constexpr int SPEAKER_NAME_UNITS = 32;

class CChannelConfig {
public:
    explicit CChannelConfig(int nChannel);
    CChannelConfig(const CChannelConfig&) = default;
    CChannelConfig& operator=(const CChannelConfig&) = default;
    virtual ~CChannelConfig() = default;

    void ResetToDefaults();

    // Copies every field of `src` (not the channel index) through the
    // setters, in the order of CWriteOrder (nothing on the way louder than
    // both ends).
    void Assign(const CChannelConfig& src, bool send);

    // --- plain fields -----------------------------------------------------
    int GetMode() const { return m_nMode; }
    void SetMode(int nMode) { m_nMode = nMode; }
    int GetChannel() const { return m_nChannel; }
    void SetChannel(int nChannel) { m_nChannel = nChannel; }

    // Case-insensitive compare; a different name is stored cut to 31 units.
    void SetSpeakerName(const char16_t* pszName);
    // Copies the name, or "Unknown" when empty, into a buffer of cbBuffer bytes.
    void GetSpeakerName(char16_t* pszBuffer, int cbBuffer) const;
    const char16_t* GetSpeakerNameRaw() const { return m_szSpeaker; }
    // Name compares as SetSpeakerName makes them: ignoring case, whole
    // texts (NamesEqualNoCase) or as stored, cut to 31 units (SameSpeakerName).
    static bool NamesEqualNoCase(const char16_t* pszA, const char16_t* pszB);
    static bool SameSpeakerName(const char16_t* pszA, const char16_t* pszB);
    // The case folding of those compares, one UTF-16 unit at a time.
    static char16_t FoldNameCase(char16_t ch);

    // --- getters ----------------------------------------------------------
    float GetLevel() const { return m_fltLevel; }
    float GetHPFreq() const { return m_fltHPFreq; }
    float GetHPQ() const { return m_fltHPQ; }
    float GetDelay() const { return m_fltDelay; }
    float GetLowLPFreq() const { return m_fltLowLPFreq; }
    float GetLowPEQFreq() const { return m_fltLowPEQFreq; }
    float GetLowPEQQ() const { return m_fltLowPEQQ; }
    float GetLowPEQGain() const { return m_fltLowPEQGain; }
    float GetLowGain() const { return m_fltLowGain; }
    float GetLowDelay() const { return m_fltLowDelay; }
    std::uint32_t GetLowFlags() const { return m_dwLowFlags; }
    float GetMidHPFreq() const { return m_fltMidHPFreq; }
    float GetMidLPFreq() const { return m_fltMidLPFreq; }
    float GetMidPEQFreq() const { return m_fltMidPEQFreq; }
    float GetMidPEQQ() const { return m_fltMidPEQQ; }
    float GetMidPEQGain() const { return m_fltMidPEQGain; }
    float GetMidGain() const { return m_fltMidGain; }
    float GetMidDelay() const { return m_fltMidDelay; }
    std::uint32_t GetMidFlags() const { return m_dwMidFlags; }
    float GetHighHPFreq() const { return m_fltHighHPFreq; }
    float GetHighPEQFreq() const { return m_fltHighPEQFreq; }
    float GetHighPEQQ() const { return m_fltHighPEQQ; }
    float GetHighPEQGain() const { return m_fltHighPEQGain; }
    float GetSEQFreq() const { return m_fltSEQFreq; }
    float GetSEQGain() const { return m_fltSEQGain; }
    float GetHEQFreq() const { return m_fltHEQFreq; }
    float GetHEQGain() const { return m_fltHEQGain; }
    float GetHighGain() const { return m_fltHighGain; }
    float GetHighDelay() const { return m_fltHighDelay; }
    std::uint32_t GetHighFlags() const { return m_dwHighFlags; }

    // --- setters (value, send); band gains (value, send, force) ----------
    void SetLevel(float v, bool send);
    void SetHPFreq(float v, bool send);
    void SetHPQ(float v, bool send);
    void SetDelay(float v, bool send);
    void SetLowLPFreq(float v, bool send);
    void SetLowPEQFreq(float v, bool send);
    void SetLowPEQQ(float v, bool send);
    void SetLowPEQGain(float v, bool send);
    void SetLowGain(float v, bool send, bool force);
    void SetLowDelay(float v, bool send);
    void SetLowFlags(std::uint32_t v, bool send);
    void SetMidHPFreq(float v, bool send);
    void SetMidLPFreq(float v, bool send);
    void SetMidPEQFreq(float v, bool send);
    void SetMidPEQQ(float v, bool send);
    void SetMidPEQGain(float v, bool send);
    void SetMidGain(float v, bool send, bool force);
    void SetMidDelay(float v, bool send);
    void SetMidFlags(std::uint32_t v, bool send);
    void SetHighHPFreq(float v, bool send);
    void SetHighPEQFreq(float v, bool send);
    void SetHighPEQQ(float v, bool send);
    void SetHighPEQGain(float v, bool send);
    void SetSEQFreq(float v, bool send);
    void SetSEQGain(float v, bool send);
    void SetHEQFreq(float v, bool send);
    void SetHEQGain(float v, bool send);
    void SetHighGain(float v, bool send, bool force);
    void SetHighDelay(float v, bool send);
    void SetHighFlags(std::uint32_t v, bool send);

protected:
    // Declaration order is the file order from m_nChannel on.
    int m_nMode;
    int m_nChannel;
    char16_t m_szSpeaker[SPEAKER_NAME_UNITS];
    float m_fltLevel;
    float m_fltHPFreq;
    float m_fltHPQ;
    float m_fltDelay;
    float m_fltLowLPFreq;
    float m_fltLowPEQFreq;
    float m_fltLowPEQQ;
    float m_fltLowPEQGain;
    float m_fltLowGain;
    float m_fltLowDelay;
    std::uint32_t m_dwLowFlags;
    float m_fltMidHPFreq;
    float m_fltMidLPFreq;
    float m_fltMidPEQFreq;
    float m_fltMidPEQQ;
    float m_fltMidPEQGain;
    float m_fltMidGain;
    float m_fltMidDelay;
    std::uint32_t m_dwMidFlags;
    float m_fltHighHPFreq;
    float m_fltHighPEQFreq;
    float m_fltHighPEQQ;
    float m_fltHighPEQGain;
    float m_fltSEQFreq;
    float m_fltSEQGain;
    float m_fltHEQFreq;
    float m_fltHEQGain;
    float m_fltHighGain;
    float m_fltHighDelay;
    std::uint32_t m_dwHighFlags;
};

// ApplyMode on a channel set of six records plus the working copy.
void ApplyMode(CChannelConfig* pChannels /* [CHANNEL_COUNT] */, CChannelConfig& workingCopy, int nMode, bool send);

// The process-wide system flags word (initially 0).
std::uint32_t GetSystemFlags();
void SetSystemFlags(std::uint32_t dwFlags, bool send);
