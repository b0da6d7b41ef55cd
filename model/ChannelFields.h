#pragma once
// The 30 value fields of CChannelConfig as data: an identifier per field in
// declaration order (which is also the order of the configuration file),
// the member name, whether it is a flag word, and access through the
// record's own getters and setters.  The parameter map, the file reader and
// writer, the read-back and the command-line tool all go through this table.

#include <cstdint>

class CChannelConfig;

enum EChannelField : int {
    FIELD_NONE = -1,
    FIELD_LEVEL = 0,
    FIELD_HP_FREQ,
    FIELD_HP_Q,
    FIELD_DELAY,
    FIELD_LOW_LP_FREQ,
    FIELD_LOW_PEQ_FREQ,
    FIELD_LOW_PEQ_Q,
    FIELD_LOW_PEQ_GAIN,
    FIELD_LOW_GAIN,
    FIELD_LOW_DELAY,
    FIELD_LOW_FLAGS,
    FIELD_MID_HP_FREQ,
    FIELD_MID_LP_FREQ,
    FIELD_MID_PEQ_FREQ,
    FIELD_MID_PEQ_Q,
    FIELD_MID_PEQ_GAIN,
    FIELD_MID_GAIN,
    FIELD_MID_DELAY,
    FIELD_MID_FLAGS,
    FIELD_HIGH_HP_FREQ,
    FIELD_HIGH_PEQ_FREQ,
    FIELD_HIGH_PEQ_Q,
    FIELD_HIGH_PEQ_GAIN,
    FIELD_SEQ_FREQ,
    FIELD_SEQ_GAIN,
    FIELD_HEQ_FREQ,
    FIELD_HEQ_GAIN,
    FIELD_HIGH_GAIN,
    FIELD_HIGH_DELAY,
    FIELD_HIGH_FLAGS,
    FIELD_COUNT // 30
};

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
