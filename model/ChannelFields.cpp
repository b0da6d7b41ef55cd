#include "model/ChannelFields.h"

#include <cstring>

#include "model/ChannelConfig.h"

namespace {

static_assert(FIELD_LEVEL == 0 && FIELD_COUNT == 30, "the record has 30 value fields");

#define QVR_VALUE_INFO(ID, Name) {FIELD_##ID, "m_flt" #Name, false, false},
#define QVR_GAIN_INFO(ID, Name) {FIELD_##ID, "m_flt" #Name, false, true},
#define QVR_FLAGS_INFO(ID, Name) {FIELD_##ID, "m_dw" #Name, true, false},
const ChannelFieldInfo kFields[FIELD_COUNT] = {QVR_CHANNEL_FIELDS(QVR_VALUE_INFO, QVR_GAIN_INFO, QVR_FLAGS_INFO)};
#undef QVR_VALUE_INFO
#undef QVR_GAIN_INFO
#undef QVR_FLAGS_INFO

struct SFieldLabel {
    const char* pszLabel;
    const char* pszUnit;
};
const SFieldLabel kLabels[FIELD_COUNT] = {
    {"Level", "dB"},
    {"HP Freq.", "Hz"},
    {"HP Q", ""},
    {"CH Delay", "ms"},
    {"Low LP Freq.", "Hz"},
    {"Low PEQ Freq.", "Hz"},
    {"Low PEQ Q", ""},
    {"Low PEQ Gain", "dB"},
    {"Low Gain", "dB"},
    {"Low Delay", "ms"},
    {"Low Mute/Invert", ""},
    {"Mid HP Freq.", "Hz"},
    {"Mid LP Freq.", "Hz"},
    {"Mid PEQ Freq.", "Hz"},
    {"Mid PEQ Q", ""},
    {"Mid PEQ Gain", "dB"},
    {"Mid Gain", "dB"},
    {"Mid Delay", "ms"},
    {"Mid Mute/Invert", ""},
    {"High HP Freq.", "Hz"},
    {"High PEQ Freq.", "Hz"},
    {"High PEQ Q", ""},
    {"High PEQ Gain", "dB"},
    {"SEQ Freq.", "Hz"},
    {"SEQ Gain", "dB"},
    {"HEQ Freq.", "Hz"},
    {"HEQ Gain", "dB"},
    {"High Gain", "dB"},
    {"High Delay", "ms"},
    {"High Mute/Invert", ""},
};

} // namespace

const char* GetChannelFieldLabel(EChannelField field)
{
    return kLabels[field].pszLabel;
}

const char* GetChannelFieldUnit(EChannelField field)
{
    return kLabels[field].pszUnit;
}

std::uint32_t FloatToBits(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

float BitsToFloat(std::uint32_t bits)
{
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

const ChannelFieldInfo& GetChannelFieldInfo(EChannelField field)
{
    return kFields[field];
}

bool IsGainField(EChannelField field)
{
    switch (field) {
    case FIELD_LOW_GAIN:
    case FIELD_MID_GAIN:
    case FIELD_HIGH_GAIN:
    case FIELD_LOW_PEQ_GAIN:
    case FIELD_MID_PEQ_GAIN:
    case FIELD_HIGH_PEQ_GAIN:
    case FIELD_SEQ_GAIN:
    case FIELD_HEQ_GAIN:
        return true;
    default:
        return false;
    }
}

bool IsHighPassField(EChannelField field)
{
    return field == FIELD_HP_FREQ || field == FIELD_MID_HP_FREQ || field == FIELD_HIGH_HP_FREQ;
}

EChannelField FindChannelField(const char* pszName)
{
    if (pszName == nullptr)
        return FIELD_NONE;
    for (const ChannelFieldInfo& info : kFields)
        if (std::strcmp(info.pszName, pszName) == 0)
            return info.field;
    return FIELD_NONE;
}

#define QVR_NO_CASE(ID, Name)
#define QVR_GET_FLAGS(ID, Name) \
    case FIELD_##ID: return cfg.Get##Name();
std::uint32_t GetChannelFieldBits(const CChannelConfig& cfg, EChannelField field)
{
    switch (field) {
    QVR_CHANNEL_FIELDS(QVR_NO_CASE, QVR_NO_CASE, QVR_GET_FLAGS)
    default: return FloatToBits(GetChannelFieldFloat(cfg, field));
    }
}

#define QVR_GET_VALUE(ID, Name) \
    case FIELD_##ID: return cfg.Get##Name();
#define QVR_GET_FLAGS_AS_FLOAT(ID, Name) \
    case FIELD_##ID: return static_cast<float>(cfg.Get##Name());
float GetChannelFieldFloat(const CChannelConfig& cfg, EChannelField field)
{
    switch (field) {
    QVR_CHANNEL_FIELDS(QVR_GET_VALUE, QVR_GET_VALUE, QVR_GET_FLAGS_AS_FLOAT)
    default: return 0.0f;
    }
}

#define QVR_SET_VALUE(ID, Name) \
    case FIELD_##ID: cfg.Set##Name(v, send); break;
#define QVR_SET_GAIN(ID, Name) \
    case FIELD_##ID: cfg.Set##Name(v, send, force); break;
#define QVR_SET_FLAGS(ID, Name) \
    case FIELD_##ID: cfg.Set##Name(bits, send); break;
void SetChannelFieldBits(CChannelConfig& cfg, EChannelField field, std::uint32_t bits, bool send, bool force)
{
    const float v = BitsToFloat(bits);
    switch (field) {
    QVR_CHANNEL_FIELDS(QVR_SET_VALUE, QVR_SET_GAIN, QVR_SET_FLAGS)
    default: break;
    }
}
