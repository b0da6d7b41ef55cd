#include "model/FieldRanges.h"

#include <algorithm>
#include <cmath>

#include "model/ChannelConfig.h"

namespace {

// The level trackbar: +8 dB at the top, -22 dB at the bottom.
constexpr float LEVEL_MIN = -22.0f;
constexpr float LEVEL_MAX = 8.0f;

// 5.304 is the float nearest to 5.304 (255 steps of 0.0208 ms).
constexpr float MAX_BAND_DELAY = 5.304f;

struct SFieldBounds {
    EChannelField eField;
    CFieldRanges::SRange triamp; // every mode unless the Biamp pair differs
    CFieldRanges::SRange biamp;
};

#define QVR_BOUNDS(field, mn, mx) {field, {mn, mx}, {mn, mx}}

const SFieldBounds s_aBounds[] = {
    QVR_BOUNDS(FIELD_HP_FREQ, 20.0f, 40.0f),
    QVR_BOUNDS(FIELD_DELAY, 0.0f, 10.0f),
    {FIELD_LOW_LP_FREQ, {200.0f, 4000.0f}, {100.0f, 4000.0f}},
    QVR_BOUNDS(FIELD_LOW_GAIN, -18.0f, 0.0f),
    QVR_BOUNDS(FIELD_LOW_DELAY, 0.0f, MAX_BAND_DELAY),
    {FIELD_LOW_PEQ_FREQ, {25.0f, 800.0f}, {25.0f, 4000.0f}},
    QVR_BOUNDS(FIELD_LOW_PEQ_Q, 0.5f, 10.0f),
    QVR_BOUNDS(FIELD_LOW_PEQ_GAIN, -12.0f, 6.0f),
    QVR_BOUNDS(FIELD_MID_HP_FREQ, 130.0f, 1000.0f),
    QVR_BOUNDS(FIELD_MID_LP_FREQ, 200.0f, 4000.0f),
    QVR_BOUNDS(FIELD_MID_GAIN, -18.0f, 0.0f),
    QVR_BOUNDS(FIELD_MID_DELAY, 0.0f, MAX_BAND_DELAY),
    QVR_BOUNDS(FIELD_MID_PEQ_FREQ, 100.0f, 4000.0f),
    QVR_BOUNDS(FIELD_MID_PEQ_Q, 0.5f, 10.0f),
    QVR_BOUNDS(FIELD_MID_PEQ_GAIN, -12.0f, 6.0f),
    QVR_BOUNDS(FIELD_HIGH_HP_FREQ, 200.0f, 4000.0f),
    QVR_BOUNDS(FIELD_HIGH_GAIN, -18.0f, 0.0f),
    QVR_BOUNDS(FIELD_HIGH_DELAY, 0.0f, MAX_BAND_DELAY),
    QVR_BOUNDS(FIELD_HIGH_PEQ_FREQ, 300.0f, 20000.0f),
    QVR_BOUNDS(FIELD_HIGH_PEQ_Q, 0.5f, 10.0f),
    QVR_BOUNDS(FIELD_HIGH_PEQ_GAIN, -12.0f, 6.0f),
    QVR_BOUNDS(FIELD_SEQ_FREQ, 1000.0f, 15000.0f),
    QVR_BOUNDS(FIELD_SEQ_GAIN, 0.0f, 6.0f),
    QVR_BOUNDS(FIELD_HEQ_FREQ, 1000.0f, 15000.0f),
    QVR_BOUNDS(FIELD_HEQ_GAIN, 0.0f, 6.0f),
};

#undef QVR_BOUNDS

const EChannelField s_aAdjusterFields[10][3] = {
    {FIELD_LOW_LP_FREQ, FIELD_LOW_GAIN, FIELD_NONE},
    {FIELD_LOW_PEQ_FREQ, FIELD_LOW_PEQ_GAIN, FIELD_LOW_PEQ_Q},
    {FIELD_MID_HP_FREQ, FIELD_MID_GAIN, FIELD_NONE},
    {FIELD_MID_LP_FREQ, FIELD_MID_GAIN, FIELD_NONE},
    {FIELD_MID_PEQ_FREQ, FIELD_MID_PEQ_GAIN, FIELD_MID_PEQ_Q},
    {FIELD_HIGH_HP_FREQ, FIELD_HIGH_GAIN, FIELD_NONE},
    {FIELD_HIGH_PEQ_FREQ, FIELD_HIGH_PEQ_GAIN, FIELD_HIGH_PEQ_Q},
    {FIELD_SEQ_FREQ, FIELD_SEQ_GAIN, FIELD_NONE},
    {FIELD_HEQ_FREQ, FIELD_HEQ_GAIN, FIELD_NONE},
    {FIELD_HP_FREQ, FIELD_NONE, FIELD_NONE},
};

} // namespace

bool CFieldRanges::Get(EChannelField eField, int nMode, SRange& range)
{
    for (const SFieldBounds& b : s_aBounds)
        if (b.eField == eField) {
            range = nMode == MODE_BIAMP ? b.biamp : b.triamp;
            return true;
        }
    return false;
}

bool CFieldRanges::IsInRange(EChannelField eField, int nMode, float v)
{
    SRange r;
    return Get(eField, nMode, r) && v >= r.fltMin && v <= r.fltMax;
}

CFieldRanges::SRange CFieldRanges::GetLevelRange()
{
    return SRange{LEVEL_MIN, LEVEL_MAX};
}

bool CFieldRanges::GetEditorRange(EChannelField eField, int nMode, SRange& range)
{
    if (eField == FIELD_LEVEL) {
        range = GetLevelRange();
        return true;
    }
    return Get(eField, nMode, range);
}

float CFieldRanges::Clamp(EChannelField eField, int nMode, float v)
{
    SRange r;
    if (!Get(eField, nMode, r))
        return v;
    if (std::isnan(v))
        return r.fltMin;
    return std::min(std::max(v, r.fltMin), r.fltMax);
}

const EChannelField* CFieldRanges::FieldsOfAdjuster(int nAdjuster)
{
    if (nAdjuster < 1 || nAdjuster > 10)
        return nullptr;
    return s_aAdjusterFields[nAdjuster - 1];
}

bool CFieldRanges::IsAdjusterAvailable(int nAdjuster, int nChannel, int nMode)
{
    if (nAdjuster < 1 || nAdjuster > 10 || nChannel < CHANNEL_LEFT || nChannel >= CHANNEL_COUNT)
        return false;
    if (nChannel == CHANNEL_SUBWOOFER)
        return nAdjuster == 1;
    const bool bMidBand = nAdjuster >= 3 && nAdjuster <= 5;
    return !(bMidBand && nMode == MODE_BIAMP);
}
