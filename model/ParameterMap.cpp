#include "model/ParameterMap.h"

#include "model/ChannelConfig.h"

const FieldParameterRow kFieldParameters[FIELD_COUNT] = {
    {FIELD_LEVEL, 31, 31},
    {FIELD_HP_FREQ, 0, 0},
    {FIELD_HP_Q, 1, 1},
    {FIELD_DELAY, 29, 29},
    {FIELD_LOW_LP_FREQ, 23, 23},
    {FIELD_LOW_PEQ_FREQ, 24, 24},
    {FIELD_LOW_PEQ_Q, 25, 25},
    {FIELD_LOW_PEQ_GAIN, 26, 26},
    {FIELD_LOW_GAIN, PARAMETER_NONE, PARAMETER_NONE},
    {FIELD_LOW_DELAY, 28, 11},
    {FIELD_LOW_FLAGS, 30, 13},
    {FIELD_MID_HP_FREQ, 14, 14},
    {FIELD_MID_LP_FREQ, 15, 15},
    {FIELD_MID_PEQ_FREQ, 16, 16},
    {FIELD_MID_PEQ_Q, 17, 17},
    {FIELD_MID_PEQ_GAIN, 18, 18},
    {FIELD_MID_GAIN, PARAMETER_NONE, PARAMETER_NONE},
    {FIELD_MID_DELAY, 20, 20},
    {FIELD_MID_FLAGS, 22, 22},
    {FIELD_HIGH_HP_FREQ, 2, 2},
    {FIELD_HIGH_PEQ_FREQ, 3, 3},
    {FIELD_HIGH_PEQ_Q, 4, 4},
    {FIELD_HIGH_PEQ_GAIN, 5, 5},
    {FIELD_SEQ_FREQ, 8, 8},
    {FIELD_SEQ_GAIN, 9, 9},
    {FIELD_HEQ_FREQ, 6, 6},
    {FIELD_HEQ_GAIN, 7, 7},
    {FIELD_HIGH_GAIN, PARAMETER_NONE, PARAMETER_NONE},
    {FIELD_HIGH_DELAY, 11, 11},
    {FIELD_HIGH_FLAGS, 13, 13},
};

namespace {
constexpr OutputUse NO_USE = {-1, BAND_LOW};
}

const OutputRow kOutputRows[OUTPUT_COUNT] = {
    {0, 0, {CHANNEL_LEFT, BAND_MID}, {CHANNEL_LEFT, BAND_LOW}},
    {0, 1, {CHANNEL_RIGHT, BAND_MID}, {CHANNEL_RIGHT, BAND_LOW}},
    {0, 2, {CHANNEL_LEFT, BAND_HIGH}, {CHANNEL_LEFT, BAND_HIGH}},
    {0, 3, {CHANNEL_RIGHT, BAND_HIGH}, {CHANNEL_RIGHT, BAND_HIGH}},
    {1, 0, {CHANNEL_CENTER, BAND_HIGH}, {CHANNEL_CENTER, BAND_HIGH}},
    {1, 1, {CHANNEL_CENTER, BAND_LOW}, NO_USE},
    {1, 2, {CHANNEL_CENTER, BAND_MID}, {CHANNEL_CENTER, BAND_LOW}},
    {1, 3, {CHANNEL_SUBWOOFER, BAND_LOW}, {CHANNEL_SUBWOOFER, BAND_LOW}},
    {2, 0, {CHANNEL_LEFT, BAND_LOW}, NO_USE},
    {2, 1, {CHANNEL_RIGHT, BAND_LOW}, NO_USE},
    {2, 2, {CHANNEL_LEFT_CENTER, BAND_LOW}, NO_USE},
    {2, 3, {CHANNEL_RIGHT_CENTER, BAND_LOW}, NO_USE},
    {3, 0, {CHANNEL_LEFT_CENTER, BAND_MID}, {CHANNEL_LEFT_CENTER, BAND_LOW}},
    {3, 1, {CHANNEL_RIGHT_CENTER, BAND_MID}, {CHANNEL_RIGHT_CENTER, BAND_LOW}},
    {3, 2, {CHANNEL_LEFT_CENTER, BAND_HIGH}, {CHANNEL_LEFT_CENTER, BAND_HIGH}},
    {3, 3, {CHANNEL_RIGHT_CENTER, BAND_HIGH}, {CHANNEL_RIGHT_CENTER, BAND_HIGH}},
};

namespace {

bool ValidChannel(int nChannel) { return nChannel >= 0 && nChannel < CHANNEL_COUNT; }

// Output reads of QueueReadChannel per channel, (bank, index) in order: the
// High output, the output of the Mid band (which carries the Low band in
// Biamp), then, in Triamp only, the Low output.
struct OutputPair {
    std::uint8_t nBank;
    std::uint8_t nIndex;
};
struct ReadOutputsRow {
    OutputPair reads[3];
    int nAlways; // reads in both modes
    int nTriamp; // reads in Triamp
};

const ReadOutputsRow kReadOutputs[CHANNEL_COUNT] = {
    {{{0, 2}, {0, 0}, {2, 0}}, 2, 3},
    {{{0, 3}, {0, 1}, {2, 1}}, 2, 3},
    {{{1, 0}, {1, 2}, {1, 1}}, 2, 3},
    {{{3, 2}, {3, 0}, {2, 2}}, 2, 3},
    {{{3, 3}, {3, 1}, {2, 3}}, 2, 3},
    {{{1, 3}, {0, 0}, {0, 0}}, 1, 1},
};

// The Subwoofer parameters that are read back, and the field each reply
// applies to (its other parameters are written but never applied).
struct SubwooferReply {
    std::uint8_t nParameter;
    EChannelField field;
};
const SubwooferReply kSubwooferReplies[] = {
    {11, FIELD_LOW_DELAY},
    {13, FIELD_LOW_FLAGS},
    {29, FIELD_DELAY},
    {31, FIELD_LEVEL},
};

} // namespace

int ParameterForField(EChannelField field, int nChannel)
{
    if (!ValidChannel(nChannel) || field < 0 || field >= FIELD_COUNT)
        return PARAMETER_NONE;
    const FieldParameterRow& row = kFieldParameters[field];
    return nChannel == CHANNEL_SUBWOOFER ? row.nSubwooferParameter : row.nParameter;
}

EChannelField FieldForParameter(int nChannel, int nParameter)
{
    if (!ValidChannel(nChannel) || nParameter < 0 || nParameter >= PARAMETER_COUNT)
        return FIELD_NONE;
    if (nChannel == CHANNEL_SUBWOOFER) {
        for (const SubwooferReply& reply : kSubwooferReplies)
            if (reply.nParameter == nParameter)
                return reply.field;
        return FIELD_NONE;
    }
    // Channels 0-4: the field whose writes go to this parameter.
    for (const FieldParameterRow& row : kFieldParameters)
        if (row.nParameter == nParameter)
            return row.field;
    return FIELD_NONE;
}

bool FindOutputAddress(int nChannel, EBand band, bool bBiamp, std::uint32_t* pdwAddress)
{
    if (!ValidChannel(nChannel))
        return false;
    for (const OutputRow& row : kOutputRows) {
        const OutputUse& use = bBiamp ? row.biamp : row.triamp;
        if (use.nChannel == nChannel && use.band == band) {
            if (pdwAddress)
                *pdwAddress = OutputAddress(row.nBank, row.nIndex);
            return true;
        }
    }
    return false;
}

float OutputGainValue(float fltGain, float fltLevel)
{
    const float fltSum = fltGain + fltLevel; // rounded to single
    return fltSum - 8.0f;
}

std::uint32_t OutputGainBits(float fltGain, float fltLevel)
{
    return FloatToBits(OutputGainValue(fltGain, fltLevel));
}

bool OutputToBand(std::uint32_t dwAddress, int nShownMode, int* pnChannel, EBand* pBand)
{
    for (const OutputRow& row : kOutputRows) {
        if (OutputAddress(row.nBank, row.nIndex) != dwAddress)
            continue;
        const OutputUse* pUse = &row.triamp;
        if (nShownMode == MODE_BIAMP && row.biamp.nChannel >= 0)
            pUse = &row.biamp;
        if (pnChannel)
            *pnChannel = pUse->nChannel;
        if (pBand)
            *pBand = pUse->band;
        return true;
    }
    return false;
}

ReadChannelPlan GetReadChannelPlan(int nChannel, int nMode)
{
    ReadChannelPlan plan{};
    if (!ValidChannel(nChannel))
        return plan;
    if (nChannel == CHANNEL_SUBWOOFER) {
        for (const SubwooferReply& reply : kSubwooferReplies)
            plan.parameters[plan.nParameters++] = reply.nParameter;
    } else {
        for (int p = 0; p < PARAMETER_COUNT; ++p)
            plan.parameters[plan.nParameters++] = static_cast<std::uint8_t>(p);
    }
    const ReadOutputsRow& row = kReadOutputs[nChannel];
    const int nReads = nMode == MODE_TRIAMP ? row.nTriamp : row.nAlways;
    for (int i = 0; i < nReads; ++i)
        plan.outputs[plan.nOutputs++] = OutputAddress(row.reads[i].nBank, row.reads[i].nIndex);
    return plan;
}
