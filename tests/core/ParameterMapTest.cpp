#include <vector>

#include <gtest/gtest.h>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ParameterMap.h"
#include "tests/core/RecordingSink.h"

namespace {

// The parameter table written out independently of the code's tables:
// field, parameter for channels 0-4, parameter for the Subwoofer (-1 none).
struct ExpectedParam {
    EChannelField field;
    int param;
    int subParam;
};
const ExpectedParam kExpectedParams[] = {
    {FIELD_HP_FREQ, 0, 0},        {FIELD_HP_Q, 1, 1},           {FIELD_HIGH_HP_FREQ, 2, 2},
    {FIELD_HIGH_PEQ_FREQ, 3, 3},  {FIELD_HIGH_PEQ_Q, 4, 4},     {FIELD_HIGH_PEQ_GAIN, 5, 5},
    {FIELD_HEQ_FREQ, 6, 6},       {FIELD_HEQ_GAIN, 7, 7},       {FIELD_SEQ_FREQ, 8, 8},
    {FIELD_SEQ_GAIN, 9, 9},       {FIELD_HIGH_DELAY, 11, 11},   {FIELD_HIGH_FLAGS, 13, 13},
    {FIELD_MID_HP_FREQ, 14, 14},  {FIELD_MID_LP_FREQ, 15, 15},  {FIELD_MID_PEQ_FREQ, 16, 16},
    {FIELD_MID_PEQ_Q, 17, 17},    {FIELD_MID_PEQ_GAIN, 18, 18}, {FIELD_MID_DELAY, 20, 20},
    {FIELD_MID_FLAGS, 22, 22},    {FIELD_LOW_LP_FREQ, 23, 23},  {FIELD_LOW_PEQ_FREQ, 24, 24},
    {FIELD_LOW_PEQ_Q, 25, 25},    {FIELD_LOW_PEQ_GAIN, 26, 26}, {FIELD_LOW_DELAY, 28, 11},
    {FIELD_DELAY, 29, 29},        {FIELD_LOW_FLAGS, 30, 13},    {FIELD_LEVEL, 31, 31},
};

TEST(ParameterMap, EveryFieldWritesItsParameterOnEveryChannel)
{
    CRecordingSink sink;
    for (int ch = 0; ch < CHANNEL_COUNT; ++ch) {
        for (const ExpectedParam& e : kExpectedParams) {
            SCOPED_TRACE(testing::Message() << "channel " << ch << " " << GetChannelFieldInfo(e.field).pszName);
            CChannelConfig c(ch);
            sink.Clear();
            const bool bFlags = GetChannelFieldInfo(e.field).bFlags;
            const std::uint32_t bits = bFlags ? 0x00030005u : FloatToBits(123.456f);
            SetChannelFieldBits(c, e.field, bits, true, false);
            const int expected = ch == CHANNEL_SUBWOOFER ? e.subParam : e.param;
            if (e.field == FIELD_LEVEL) {
                // The level also re-sends the band gains.
                ASSERT_GE(sink.requests.size(), 1u);
            } else {
                ASSERT_EQ(sink.requests.size(), 1u);
            }
            const QueuedRequest& r = sink.requests[0];
            EXPECT_EQ(r.kind, bFlags ? QueuedRequest::PARAM_BITS : QueuedRequest::PARAM_FLOAT);
            EXPECT_TRUE(r.set);
            EXPECT_EQ(r.channel, ch);
            EXPECT_EQ(r.parameter, expected);
            EXPECT_EQ(r.value, bits);
            EXPECT_EQ(ParameterForField(e.field, ch), expected);
        }
    }
}

TEST(ParameterMap, SubwooferEdgeCases)
{
    CRecordingSink sink;
    CChannelConfig sub(CHANNEL_SUBWOOFER), left(CHANNEL_LEFT);
    sub.SetMidGain(3.0f, true, true);
    sub.SetHighGain(3.0f, true, true);
    EXPECT_TRUE(sink.requests.empty()); // no Mid or High output
    EXPECT_EQ(sub.GetMidGain(), 3.0f);  // but stored
    EXPECT_EQ(sub.GetHighGain(), 3.0f);

    sub.SetHighHPFreq(3000, true);
    left.SetLowDelay(1.5f, true);
    sub.SetLowDelay(1.5f, true);
    ASSERT_EQ(sink.requests.size(), 3u);
    EXPECT_EQ(sink.requests[0].channel, 5);
    EXPECT_EQ(sink.requests[0].parameter, 2);
    EXPECT_EQ(sink.requests[1].parameter, 28);
    EXPECT_EQ(sink.requests[2].parameter, 11);
}

TEST(ParameterMap, MuteToggleSendsTheWholeFlagWord)
{
    CRecordingSink sink;
    CChannelConfig rc(CHANNEL_RIGHT_CENTER);
    rc.SetHighFlags(0x80000001u, false);
    rc.SetHighFlags(rc.GetHighFlags() ^ BAND_FLAG_MUTE, true);
    ASSERT_EQ(sink.requests.size(), 1u);
    EXPECT_EQ(sink.requests[0].kind, QueuedRequest::PARAM_BITS);
    EXPECT_EQ(sink.requests[0].channel, 4);
    EXPECT_EQ(sink.requests[0].parameter, 13);
    EXPECT_EQ(sink.requests[0].value, 0x80010001u);
}

struct ExpectedOutput {
    int channel;
    EBand band;
    int bank, index;
};
// Triamp column of the output table.
const ExpectedOutput kTriamp[] = {
    {CHANNEL_LEFT, BAND_MID, 0, 0},         {CHANNEL_RIGHT, BAND_MID, 0, 1},
    {CHANNEL_LEFT, BAND_HIGH, 0, 2},        {CHANNEL_RIGHT, BAND_HIGH, 0, 3},
    {CHANNEL_CENTER, BAND_HIGH, 1, 0},      {CHANNEL_CENTER, BAND_LOW, 1, 1},
    {CHANNEL_CENTER, BAND_MID, 1, 2},       {CHANNEL_SUBWOOFER, BAND_LOW, 1, 3},
    {CHANNEL_LEFT, BAND_LOW, 2, 0},         {CHANNEL_RIGHT, BAND_LOW, 2, 1},
    {CHANNEL_LEFT_CENTER, BAND_LOW, 2, 2},  {CHANNEL_RIGHT_CENTER, BAND_LOW, 2, 3},
    {CHANNEL_LEFT_CENTER, BAND_MID, 3, 0},  {CHANNEL_RIGHT_CENTER, BAND_MID, 3, 1},
    {CHANNEL_LEFT_CENTER, BAND_HIGH, 3, 2}, {CHANNEL_RIGHT_CENTER, BAND_HIGH, 3, 3},
};
// Biamp column (the empty cells (1,1) and (2,0)..(2,3) have no entry).
const ExpectedOutput kBiamp[] = {
    {CHANNEL_LEFT, BAND_LOW, 0, 0},         {CHANNEL_RIGHT, BAND_LOW, 0, 1},
    {CHANNEL_LEFT, BAND_HIGH, 0, 2},        {CHANNEL_RIGHT, BAND_HIGH, 0, 3},
    {CHANNEL_CENTER, BAND_HIGH, 1, 0},      {CHANNEL_CENTER, BAND_LOW, 1, 2},
    {CHANNEL_SUBWOOFER, BAND_LOW, 1, 3},    {CHANNEL_LEFT_CENTER, BAND_LOW, 3, 0},
    {CHANNEL_RIGHT_CENTER, BAND_LOW, 3, 1}, {CHANNEL_LEFT_CENTER, BAND_HIGH, 3, 2},
    {CHANNEL_RIGHT_CENTER, BAND_HIGH, 3, 3},
};

void SetGain(CChannelConfig& c, EBand band, float v)
{
    switch (band) {
    case BAND_LOW: c.SetLowGain(v, true, false); break;
    case BAND_MID: c.SetMidGain(v, true, false); break;
    default: c.SetHighGain(v, true, false); break;
    }
}

void ExpectOutputWrite(const ExpectedOutput& e, bool bBiamp)
{
    SCOPED_TRACE(testing::Message() << (bBiamp ? "Biamp" : "Triamp") << " channel " << e.channel << " band "
                                    << e.band);
    CRecordingSink sink;
    if (bBiamp)
        SetSystemFlags(SYSFLAG_BIAMP, false);
    CChannelConfig c(e.channel);
    c.SetMode(bBiamp ? MODE_BIAMP : MODE_TRIAMP);
    const float level = -3.3f, gain = 2.7f;
    c.SetLevel(level, false);
    SetGain(c, e.band, gain);
    ASSERT_EQ(sink.requests.size(), 1u);
    const QueuedRequest& r = sink.requests[0];
    EXPECT_EQ(r.kind, QueuedRequest::COMMAND);
    EXPECT_EQ(r.command, 7);
    EXPECT_EQ(r.iter, 0u);
    EXPECT_EQ(r.uword & 0xFF, static_cast<unsigned>(e.bank));
    EXPECT_EQ((r.uword >> 8) & 0xFF, static_cast<unsigned>(e.index));
    EXPECT_EQ(r.uword >> 16, 0u);
    const float sum = gain + level; // rounded to single before the subtraction
    EXPECT_EQ(r.LWordFloat(), sum - 8.0f);

    std::uint32_t address = 0;
    ASSERT_TRUE(FindOutputAddress(e.channel, e.band, bBiamp, &address));
    EXPECT_EQ(address, r.uword);
}

TEST(ParameterMap, EveryOutputOfBothColumnsIsWrittenWithLevelAndOffset)
{
    for (const ExpectedOutput& e : kTriamp)
        ExpectOutputWrite(e, false);
    for (const ExpectedOutput& e : kBiamp)
        ExpectOutputWrite(e, true);
}

TEST(ParameterMap, OutputGainExamplesAndColumnChoice)
{
    CRecordingSink sink;
    CChannelConfig left(CHANNEL_LEFT);
    left.SetLevel(-3.0f, false);
    left.SetLowGain(2.0f, true, false);
    ASSERT_EQ(sink.requests.size(), 1u);
    EXPECT_EQ(sink.requests[0].uword, 2u); // bytes (2, 0)
    EXPECT_EQ(sink.requests[0].LWordFloat(), -9.0f);

    // The Low column follows bit 2 of the system flags, not the record's mode.
    sink.Clear();
    SetSystemFlags(SYSFLAG_BIAMP, false);
    left.SetLowGain(2.5f, true, false); // record still Triamp
    EXPECT_EQ(sink.requests[0].uword, 0u);
    left.SetMidGain(1.0f, true, false); // Mid by the record's own mode: Triamp output (0,0)
    EXPECT_EQ(sink.requests[1].uword, 0u);
    SetSystemFlags(0, false);
    left.SetMode(MODE_BIAMP);
    left.SetLowGain(3.0f, true, false); // record Biamp, system Triamp: Triamp column
    EXPECT_EQ(sink.requests[2].uword, 2u);

    // Two output gain changes queue two raw commands.
    EXPECT_EQ(sink.requests.size(), 3u);

    // Single-precision rounding: 0.1f + 0.2f is rounded before the -8.
    EXPECT_EQ(OutputGainValue(0.1f, 0.2f), (0.1f + 0.2f) - 8.0f);
    EXPECT_EQ(OutputGainBits(0.0f, 0.0f), FloatToBits(-8.0f));
}

TEST(ParameterMap, ParameterRepliesApplyToTheirFields)
{
    const EChannelField kMain[PARAMETER_COUNT] = {
        FIELD_HP_FREQ,     FIELD_HP_Q,        FIELD_HIGH_HP_FREQ, FIELD_HIGH_PEQ_FREQ, FIELD_HIGH_PEQ_Q,
        FIELD_HIGH_PEQ_GAIN, FIELD_HEQ_FREQ,  FIELD_HEQ_GAIN,     FIELD_SEQ_FREQ,      FIELD_SEQ_GAIN,
        FIELD_NONE,        FIELD_HIGH_DELAY,  FIELD_NONE,         FIELD_HIGH_FLAGS,    FIELD_MID_HP_FREQ,
        FIELD_MID_LP_FREQ, FIELD_MID_PEQ_FREQ, FIELD_MID_PEQ_Q,   FIELD_MID_PEQ_GAIN,  FIELD_NONE,
        FIELD_MID_DELAY,   FIELD_NONE,        FIELD_MID_FLAGS,    FIELD_LOW_LP_FREQ,   FIELD_LOW_PEQ_FREQ,
        FIELD_LOW_PEQ_Q,   FIELD_LOW_PEQ_GAIN, FIELD_NONE,        FIELD_LOW_DELAY,     FIELD_DELAY,
        FIELD_LOW_FLAGS,   FIELD_LEVEL};
    for (int ch = 0; ch < 5; ++ch)
        for (int p = 0; p < PARAMETER_COUNT; ++p)
            EXPECT_EQ(FieldForParameter(ch, p), kMain[p]) << "channel " << ch << " parameter " << p;
    for (int p = 0; p < PARAMETER_COUNT; ++p) {
        EChannelField expected = FIELD_NONE;
        if (p == 11)
            expected = FIELD_LOW_DELAY;
        else if (p == 13)
            expected = FIELD_LOW_FLAGS;
        else if (p == 29)
            expected = FIELD_DELAY;
        else if (p == 31)
            expected = FIELD_LEVEL;
        EXPECT_EQ(FieldForParameter(CHANNEL_SUBWOOFER, p), expected) << "Subwoofer parameter " << p;
    }
    EXPECT_EQ(FieldForParameter(6, 0), FIELD_NONE);
    EXPECT_EQ(FieldForParameter(-1, 0), FIELD_NONE);
    EXPECT_EQ(FieldForParameter(0, 32), FIELD_NONE);
}

TEST(ParameterMap, OutputRepliesMapToChannelAndBandByShownMode)
{
    for (const ExpectedOutput& e : kTriamp) {
        int ch = -1;
        EBand band = BAND_ALL;
        ASSERT_TRUE(OutputToBand(OutputAddress(e.bank, e.index), MODE_TRIAMP, &ch, &band));
        EXPECT_EQ(ch, e.channel);
        EXPECT_EQ(band, e.band);
    }
    // Biamp: the Biamp cell where there is one, else the Triamp cell.
    for (const ExpectedOutput& t : kTriamp) {
        ExpectedOutput e = t;
        for (const ExpectedOutput& b : kBiamp)
            if (b.bank == t.bank && b.index == t.index)
                e = b;
        int ch = -1;
        EBand band = BAND_ALL;
        ASSERT_TRUE(OutputToBand(OutputAddress(e.bank, e.index), MODE_BIAMP, &ch, &band));
        EXPECT_EQ(ch, e.channel) << e.bank << "," << e.index;
        EXPECT_EQ(band, e.band) << e.bank << "," << e.index;
    }
    EXPECT_FALSE(OutputToBand(OutputAddress(4, 0), MODE_TRIAMP, nullptr, nullptr));
    EXPECT_FALSE(OutputToBand(0x10000, MODE_TRIAMP, nullptr, nullptr));
}

TEST(ParameterMap, ReadChannelPlans)
{
    const int kReads[CHANNEL_COUNT][3][2] = {
        {{0, 2}, {0, 0}, {2, 0}}, {{0, 3}, {0, 1}, {2, 1}}, {{1, 0}, {1, 2}, {1, 1}},
        {{3, 2}, {3, 0}, {2, 2}}, {{3, 3}, {3, 1}, {2, 3}}, {{1, 3}, {0, 0}, {0, 0}},
    };
    for (int ch = 0; ch < CHANNEL_COUNT; ++ch) {
        for (int mode : {MODE_BIAMP, MODE_TRIAMP}) {
            const ReadChannelPlan plan = GetReadChannelPlan(ch, mode);
            std::vector<int> params(plan.parameters, plan.parameters + plan.nParameters);
            if (ch == CHANNEL_SUBWOOFER) {
                EXPECT_EQ(params, (std::vector<int>{11, 13, 29, 31}));
                ASSERT_EQ(plan.nOutputs, 1);
            } else {
                ASSERT_EQ(plan.nParameters, 32);
                for (int p = 0; p < 32; ++p)
                    EXPECT_EQ(params[p], p);
                ASSERT_EQ(plan.nOutputs, mode == MODE_TRIAMP ? 3 : 2);
            }
            for (int k = 0; k < plan.nOutputs; ++k)
                EXPECT_EQ(plan.outputs[k], OutputAddress(kReads[ch][k][0], kReads[ch][k][1]))
                    << "channel " << ch << " read " << k;
        }
    }
    EXPECT_EQ(GetReadChannelPlan(6, MODE_TRIAMP).nParameters, 0);
    EXPECT_EQ(GetReadChannelPlan(6, MODE_TRIAMP).nOutputs, 0);
}

} // namespace
