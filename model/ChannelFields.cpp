#include "model/ChannelFields.h"

#include <cstring>

#include "model/ChannelConfig.h"

namespace {

const ChannelFieldInfo kFields[FIELD_COUNT] = {
    {FIELD_LEVEL, "m_fltLevel", false, false},
    {FIELD_HP_FREQ, "m_fltHPFreq", false, false},
    {FIELD_HP_Q, "m_fltHPQ", false, false},
    {FIELD_DELAY, "m_fltDelay", false, false},
    {FIELD_LOW_LP_FREQ, "m_fltLowLPFreq", false, false},
    {FIELD_LOW_PEQ_FREQ, "m_fltLowPEQFreq", false, false},
    {FIELD_LOW_PEQ_Q, "m_fltLowPEQQ", false, false},
    {FIELD_LOW_PEQ_GAIN, "m_fltLowPEQGain", false, false},
    {FIELD_LOW_GAIN, "m_fltLowGain", false, true},
    {FIELD_LOW_DELAY, "m_fltLowDelay", false, false},
    {FIELD_LOW_FLAGS, "m_dwLowFlags", true, false},
    {FIELD_MID_HP_FREQ, "m_fltMidHPFreq", false, false},
    {FIELD_MID_LP_FREQ, "m_fltMidLPFreq", false, false},
    {FIELD_MID_PEQ_FREQ, "m_fltMidPEQFreq", false, false},
    {FIELD_MID_PEQ_Q, "m_fltMidPEQQ", false, false},
    {FIELD_MID_PEQ_GAIN, "m_fltMidPEQGain", false, false},
    {FIELD_MID_GAIN, "m_fltMidGain", false, true},
    {FIELD_MID_DELAY, "m_fltMidDelay", false, false},
    {FIELD_MID_FLAGS, "m_dwMidFlags", true, false},
    {FIELD_HIGH_HP_FREQ, "m_fltHighHPFreq", false, false},
    {FIELD_HIGH_PEQ_FREQ, "m_fltHighPEQFreq", false, false},
    {FIELD_HIGH_PEQ_Q, "m_fltHighPEQQ", false, false},
    {FIELD_HIGH_PEQ_GAIN, "m_fltHighPEQGain", false, false},
    {FIELD_SEQ_FREQ, "m_fltSEQFreq", false, false},
    {FIELD_SEQ_GAIN, "m_fltSEQGain", false, false},
    {FIELD_HEQ_FREQ, "m_fltHEQFreq", false, false},
    {FIELD_HEQ_GAIN, "m_fltHEQGain", false, false},
    {FIELD_HIGH_GAIN, "m_fltHighGain", false, true},
    {FIELD_HIGH_DELAY, "m_fltHighDelay", false, false},
    {FIELD_HIGH_FLAGS, "m_dwHighFlags", true, false},
};

} // namespace

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

EChannelField FindChannelField(const char* pszName)
{
    if (pszName == nullptr)
        return FIELD_NONE;
    for (const ChannelFieldInfo& info : kFields)
        if (std::strcmp(info.pszName, pszName) == 0)
            return info.field;
    return FIELD_NONE;
}

std::uint32_t GetChannelFieldBits(const CChannelConfig& cfg, EChannelField field)
{
    switch (field) {
    case FIELD_LOW_FLAGS: return cfg.GetLowFlags();
    case FIELD_MID_FLAGS: return cfg.GetMidFlags();
    case FIELD_HIGH_FLAGS: return cfg.GetHighFlags();
    default: return FloatToBits(GetChannelFieldFloat(cfg, field));
    }
}

float GetChannelFieldFloat(const CChannelConfig& cfg, EChannelField field)
{
    switch (field) {
    case FIELD_LEVEL: return cfg.GetLevel();
    case FIELD_HP_FREQ: return cfg.GetHPFreq();
    case FIELD_HP_Q: return cfg.GetHPQ();
    case FIELD_DELAY: return cfg.GetDelay();
    case FIELD_LOW_LP_FREQ: return cfg.GetLowLPFreq();
    case FIELD_LOW_PEQ_FREQ: return cfg.GetLowPEQFreq();
    case FIELD_LOW_PEQ_Q: return cfg.GetLowPEQQ();
    case FIELD_LOW_PEQ_GAIN: return cfg.GetLowPEQGain();
    case FIELD_LOW_GAIN: return cfg.GetLowGain();
    case FIELD_LOW_DELAY: return cfg.GetLowDelay();
    case FIELD_LOW_FLAGS: return static_cast<float>(cfg.GetLowFlags());
    case FIELD_MID_HP_FREQ: return cfg.GetMidHPFreq();
    case FIELD_MID_LP_FREQ: return cfg.GetMidLPFreq();
    case FIELD_MID_PEQ_FREQ: return cfg.GetMidPEQFreq();
    case FIELD_MID_PEQ_Q: return cfg.GetMidPEQQ();
    case FIELD_MID_PEQ_GAIN: return cfg.GetMidPEQGain();
    case FIELD_MID_GAIN: return cfg.GetMidGain();
    case FIELD_MID_DELAY: return cfg.GetMidDelay();
    case FIELD_MID_FLAGS: return static_cast<float>(cfg.GetMidFlags());
    case FIELD_HIGH_HP_FREQ: return cfg.GetHighHPFreq();
    case FIELD_HIGH_PEQ_FREQ: return cfg.GetHighPEQFreq();
    case FIELD_HIGH_PEQ_Q: return cfg.GetHighPEQQ();
    case FIELD_HIGH_PEQ_GAIN: return cfg.GetHighPEQGain();
    case FIELD_SEQ_FREQ: return cfg.GetSEQFreq();
    case FIELD_SEQ_GAIN: return cfg.GetSEQGain();
    case FIELD_HEQ_FREQ: return cfg.GetHEQFreq();
    case FIELD_HEQ_GAIN: return cfg.GetHEQGain();
    case FIELD_HIGH_GAIN: return cfg.GetHighGain();
    case FIELD_HIGH_DELAY: return cfg.GetHighDelay();
    case FIELD_HIGH_FLAGS: return static_cast<float>(cfg.GetHighFlags());
    default: return 0.0f;
    }
}

void SetChannelFieldBits(CChannelConfig& cfg, EChannelField field, std::uint32_t bits, bool send, bool force)
{
    const float v = BitsToFloat(bits);
    switch (field) {
    case FIELD_LEVEL: cfg.SetLevel(v, send); break;
    case FIELD_HP_FREQ: cfg.SetHPFreq(v, send); break;
    case FIELD_HP_Q: cfg.SetHPQ(v, send); break;
    case FIELD_DELAY: cfg.SetDelay(v, send); break;
    case FIELD_LOW_LP_FREQ: cfg.SetLowLPFreq(v, send); break;
    case FIELD_LOW_PEQ_FREQ: cfg.SetLowPEQFreq(v, send); break;
    case FIELD_LOW_PEQ_Q: cfg.SetLowPEQQ(v, send); break;
    case FIELD_LOW_PEQ_GAIN: cfg.SetLowPEQGain(v, send); break;
    case FIELD_LOW_GAIN: cfg.SetLowGain(v, send, force); break;
    case FIELD_LOW_DELAY: cfg.SetLowDelay(v, send); break;
    case FIELD_LOW_FLAGS: cfg.SetLowFlags(bits, send); break;
    case FIELD_MID_HP_FREQ: cfg.SetMidHPFreq(v, send); break;
    case FIELD_MID_LP_FREQ: cfg.SetMidLPFreq(v, send); break;
    case FIELD_MID_PEQ_FREQ: cfg.SetMidPEQFreq(v, send); break;
    case FIELD_MID_PEQ_Q: cfg.SetMidPEQQ(v, send); break;
    case FIELD_MID_PEQ_GAIN: cfg.SetMidPEQGain(v, send); break;
    case FIELD_MID_GAIN: cfg.SetMidGain(v, send, force); break;
    case FIELD_MID_DELAY: cfg.SetMidDelay(v, send); break;
    case FIELD_MID_FLAGS: cfg.SetMidFlags(bits, send); break;
    case FIELD_HIGH_HP_FREQ: cfg.SetHighHPFreq(v, send); break;
    case FIELD_HIGH_PEQ_FREQ: cfg.SetHighPEQFreq(v, send); break;
    case FIELD_HIGH_PEQ_Q: cfg.SetHighPEQQ(v, send); break;
    case FIELD_HIGH_PEQ_GAIN: cfg.SetHighPEQGain(v, send); break;
    case FIELD_SEQ_FREQ: cfg.SetSEQFreq(v, send); break;
    case FIELD_SEQ_GAIN: cfg.SetSEQGain(v, send); break;
    case FIELD_HEQ_FREQ: cfg.SetHEQFreq(v, send); break;
    case FIELD_HEQ_GAIN: cfg.SetHEQGain(v, send); break;
    case FIELD_HIGH_GAIN: cfg.SetHighGain(v, send, force); break;
    case FIELD_HIGH_DELAY: cfg.SetHighDelay(v, send); break;
    case FIELD_HIGH_FLAGS: cfg.SetHighFlags(bits, send); break;
    default: break;
    }
}
