#pragma once
// The 30 value fields of CChannelConfig as data: an identifier per field in
// declaration order (which is also the order of the configuration file),
// the member name, whether it is a flag word, and access through the
// record's own getters and setters.  The parameter map, the file reader and
// writer, the read-back and the command-line tool all go through this table.

#include <cstdint>

class CChannelConfig;

// The one list of the fields, in declaration order: VALUE(ID, Name) for a
// float with Set##Name(v, send), GAIN(ID, Name) for a band gain whose setter
// also takes `force`, FLAGS(ID, Name) for a 32-bit flag word.  The member is
// m_flt##Name or m_dw##Name, the accessors Get##Name and Set##Name.
#define QVR_CHANNEL_FIELDS(VALUE, GAIN, FLAGS) \
    VALUE(LEVEL, Level) \
    VALUE(HP_FREQ, HPFreq) \
    VALUE(HP_Q, HPQ) \
    VALUE(DELAY, Delay) \
    VALUE(LOW_LP_FREQ, LowLPFreq) \
    VALUE(LOW_PEQ_FREQ, LowPEQFreq) \
    VALUE(LOW_PEQ_Q, LowPEQQ) \
    VALUE(LOW_PEQ_GAIN, LowPEQGain) \
    GAIN(LOW_GAIN, LowGain) \
    VALUE(LOW_DELAY, LowDelay) \
    FLAGS(LOW_FLAGS, LowFlags) \
    VALUE(MID_HP_FREQ, MidHPFreq) \
    VALUE(MID_LP_FREQ, MidLPFreq) \
    VALUE(MID_PEQ_FREQ, MidPEQFreq) \
    VALUE(MID_PEQ_Q, MidPEQQ) \
    VALUE(MID_PEQ_GAIN, MidPEQGain) \
    GAIN(MID_GAIN, MidGain) \
    VALUE(MID_DELAY, MidDelay) \
    FLAGS(MID_FLAGS, MidFlags) \
    VALUE(HIGH_HP_FREQ, HighHPFreq) \
    VALUE(HIGH_PEQ_FREQ, HighPEQFreq) \
    VALUE(HIGH_PEQ_Q, HighPEQQ) \
    VALUE(HIGH_PEQ_GAIN, HighPEQGain) \
    VALUE(SEQ_FREQ, SEQFreq) \
    VALUE(SEQ_GAIN, SEQGain) \
    VALUE(HEQ_FREQ, HEQFreq) \
    VALUE(HEQ_GAIN, HEQGain) \
    GAIN(HIGH_GAIN, HighGain) \
    VALUE(HIGH_DELAY, HighDelay) \
    FLAGS(HIGH_FLAGS, HighFlags)

#define QVR_FIELD_ENUM(ID, Name) FIELD_##ID,
enum EChannelField : int {
    FIELD_NONE = -1,
    QVR_CHANNEL_FIELDS(QVR_FIELD_ENUM, QVR_FIELD_ENUM, QVR_FIELD_ENUM)
    FIELD_COUNT // 30
};
#undef QVR_FIELD_ENUM

// Band identifiers; the values are also the bits of the redraw mask.
enum EBand : int { BAND_LOW = 4, BAND_MID = 2, BAND_HIGH = 1, BAND_ALL = 7 };

struct ChannelFieldInfo {
    EChannelField field;
    const char* pszName;  // member name, e.g. "m_fltLowPEQGain"
    bool bFlags;          // 32-bit flag word (else an IEEE-754 single)
    bool bBandGain;       // setter takes `force`
};

// Info of one field (field must be 0..FIELD_COUNT-1).
const ChannelFieldInfo& GetChannelFieldInfo(EChannelField field);
// The field as the editor's form labels it for a person ("Low LP Freq.",
// "CH Delay", "High Mute/Invert") and its unit ("Hz", "dB", "ms"; empty for
// the Q values and the flag words).  field must be 0..FIELD_COUNT-1.
const char* GetChannelFieldLabel(EChannelField field);
const char* GetChannelFieldUnit(EChannelField field);
// A band gain or an EQ gain (the PEQs and shelves): a rise makes the band
// louder.  The level, which every band output carries, is not one of them.
bool IsGainField(EChannelField field);
// A high-pass frequency (the channel's, the Mid and High bands'): a fall lets
// lower frequencies reach the driver.
bool IsHighPassField(EChannelField field);
// The field with this member name, or FIELD_NONE.
EChannelField FindChannelField(const char* pszName);

// The stored value as its 32-bit pattern (float bits or flag word).
std::uint32_t GetChannelFieldBits(const CChannelConfig& cfg, EChannelField field);
// The stored value as a float (flag words converted numerically).
float GetChannelFieldFloat(const CChannelConfig& cfg, EChannelField field);
// Applies a 32-bit pattern through the field's setter.  `force` is passed
// to the band-gain setters and ignored by the others.
void SetChannelFieldBits(CChannelConfig& cfg, EChannelField field, std::uint32_t bits, bool send, bool force);

std::uint32_t FloatToBits(float v);
float BitsToFloat(std::uint32_t bits);
