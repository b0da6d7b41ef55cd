#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "tests/core/RecordingSink.h"

namespace {

std::u16string Name(const CChannelConfig& c) { return c.GetSpeakerNameRaw(); }

TEST(ChannelConfig, DefaultsPerChannel)
{
    CChannelConfig left(CHANNEL_LEFT), sub(CHANNEL_SUBWOOFER);
    EXPECT_EQ(left.GetMode(), MODE_TRIAMP);
    EXPECT_EQ(left.GetChannel(), 0);
    EXPECT_EQ(Name(left), u"DEFAULT Triamp");
    EXPECT_EQ(Name(sub), u"Subwoofer");
    EXPECT_EQ(left.GetLowLPFreq(), 200.0f);
    EXPECT_EQ(sub.GetLowLPFreq(), 500.0f);
    EXPECT_EQ(left.GetHPFreq(), 30.0f);
    EXPECT_EQ(left.GetHPQ(), 0.707f);
    EXPECT_EQ(left.GetMidHPFreq(), 316.0f);
    EXPECT_EQ(left.GetMidLPFreq(), 1600.0f);
    EXPECT_EQ(left.GetMidPEQFreq(), 800.0f);
    EXPECT_EQ(left.GetHighHPFreq(), 2500.0f);
    EXPECT_EQ(left.GetHighPEQFreq(), 3000.0f);
    EXPECT_EQ(left.GetSEQFreq(), 10000.0f);
    EXPECT_EQ(left.GetHEQFreq(), 10000.0f);
    EXPECT_EQ(left.GetLowPEQQ(), 1.0f);

    // ResetToDefaults keeps the index and returns to Triamp.
    left.SetMode(MODE_BIAMP);
    left.SetChannel(3);
    left.SetLevel(-4.0f, false);
    left.SetSpeakerName(u"X");
    left.ResetToDefaults();
    EXPECT_EQ(left.GetChannel(), 3);
    EXPECT_EQ(left.GetMode(), MODE_TRIAMP);
    EXPECT_EQ(left.GetLevel(), 0.0f);
    EXPECT_EQ(Name(left), u"DEFAULT Triamp");
}

TEST(ChannelConfig, SetterSendsOnlyChangesUnlessForced)
{
    CRecordingSink sink;
    CChannelConfig c(CHANNEL_CENTER);
    c.SetLowPEQQ(1.0f, true); // equal to the stored value
    c.SetLowGain(0.0f, true, false);
    EXPECT_TRUE(sink.requests.empty());

    c.SetLowGain(0.0f, true, true); // forced
    ASSERT_EQ(sink.requests.size(), 1u);
    EXPECT_EQ(sink.requests[0].command, 7);

    sink.Clear();
    c.SetLowPEQQ(2.5f, false); // stored, not sent
    EXPECT_EQ(c.GetLowPEQQ(), 2.5f);
    EXPECT_TRUE(sink.requests.empty());
    c.SetLowPEQQ(2.5f, true); // now equal: nothing
    EXPECT_TRUE(sink.requests.empty());

    // -0 equals +0 under float comparison: no change.
    c.SetDelay(-0.0f, true);
    EXPECT_TRUE(sink.requests.empty());
}

TEST(ChannelConfig, MidSettersIgnoredInBiampExceptMidHP)
{
    CRecordingSink sink;
    CChannelConfig c(CHANNEL_LEFT);
    c.SetMode(MODE_BIAMP);
    c.SetMidLPFreq(2000, true);
    c.SetMidPEQFreq(900, false);
    c.SetMidPEQQ(3, true);
    c.SetMidPEQGain(4, true);
    c.SetMidGain(5, true, true);
    c.SetMidDelay(1, true);
    c.SetMidFlags(BAND_FLAG_MUTE, true);
    EXPECT_TRUE(sink.requests.empty());
    EXPECT_EQ(c.GetMidLPFreq(), 1600.0f);
    EXPECT_EQ(c.GetMidPEQFreq(), 800.0f);
    EXPECT_EQ(c.GetMidPEQQ(), 1.0f);
    EXPECT_EQ(c.GetMidPEQGain(), 0.0f);
    EXPECT_EQ(c.GetMidGain(), 0.0f);
    EXPECT_EQ(c.GetMidDelay(), 0.0f);
    EXPECT_EQ(c.GetMidFlags(), 0u);

    c.SetMidHPFreq(10, true);
    EXPECT_EQ(c.GetMidHPFreq(), 10.0f);
    ASSERT_EQ(sink.requests.size(), 1u);
    EXPECT_EQ(sink.requests[0].parameter, 14);
}

TEST(ChannelConfig, HighPassFloorStoresTwentySendsValuePassed)
{
    CRecordingSink sink;
    CChannelConfig c(CHANNEL_LEFT);
    c.SetHPFreq(10.0f, true);
    EXPECT_EQ(c.GetHPFreq(), 20.0f);
    ASSERT_EQ(sink.requests.size(), 1u);
    EXPECT_EQ(sink.requests[0].parameter, 0);
    EXPECT_EQ(sink.requests[0].Float(), 10.0f);

    // Below the floor the no-change test never returns early.
    c.SetHPFreq(10.0f, true);
    EXPECT_EQ(sink.requests.size(), 2u);

    sink.Clear();
    c.SetHPFreq(20.0f, true);
    c.SetHPFreq(20.0f, true);
    EXPECT_EQ(sink.requests.size(), 0u); // already stored as 20

    c.SetHPFreq(25.0f, true);
    c.SetHPFreq(20.0f, true);
    c.SetHPFreq(20.0f, true);
    EXPECT_EQ(sink.requests.size(), 2u); // 25, then 20 once
}

TEST(ChannelConfig, LevelResendsBandGainsWithTheLevelIncluded)
{
    CRecordingSink sink;
    CChannelConfig c(CHANNEL_LEFT);
    c.SetLowGain(1.0f, false, false);
    c.SetMidGain(2.0f, false, false);
    c.SetHighGain(3.0f, false, false);
    c.SetLevel(-3.0f, true);
    ASSERT_EQ(sink.requests.size(), 4u);
    EXPECT_EQ(sink.requests[0].parameter, 31);
    EXPECT_EQ(sink.requests[0].Float(), -3.0f);
    // Low (2,0), Mid (0,0), High (0,2), each (gain + level) - 8.
    EXPECT_EQ(sink.requests[1].uword, 2u + 256u * 0u);
    EXPECT_EQ(sink.requests[1].LWordFloat(), 1.0f - 3.0f - 8.0f);
    EXPECT_EQ(sink.requests[2].uword, 0u);
    EXPECT_EQ(sink.requests[2].LWordFloat(), 2.0f - 3.0f - 8.0f);
    EXPECT_EQ(sink.requests[3].uword, 0u + 256u * 2u);
    EXPECT_EQ(sink.requests[3].LWordFloat(), 3.0f - 3.0f - 8.0f);

    // Biamp: the Mid re-send is skipped by its guard.
    sink.Clear();
    c.SetMode(MODE_BIAMP);
    c.SetLevel(-2.0f, true);
    EXPECT_EQ(sink.requests.size(), 3u);

    // Subwoofer: its level and its one output.
    sink.Clear();
    CChannelConfig sub(CHANNEL_SUBWOOFER);
    sub.SetLevel(1.0f, true);
    ASSERT_EQ(sink.requests.size(), 2u);
    EXPECT_EQ(sink.requests[1].uword, 1u + 256u * 3u);

    // Without send nothing at all.
    sink.Clear();
    sub.SetLevel(2.0f, false);
    EXPECT_TRUE(sink.requests.empty());
}

TEST(ChannelConfig, SpeakerNameCompareCutAndGet)
{
    CRecordingSink sink;
    CChannelConfig c(CHANNEL_LEFT);
    c.SetSpeakerName(u"default TRIAMP"); // differs only in case: kept
    EXPECT_EQ(Name(c), u"DEFAULT Triamp");

    c.SetSpeakerName(u"\u0178\u0179");     // capital Y diaeresis, capital Z acute
    c.SetSpeakerName(u"\u00FF\u017A");     // the same letters in small: kept
    EXPECT_EQ(Name(c), u"\u0178\u0179");
    c.SetSpeakerName(u"\u0179\u0179");     // another letter: replaced
    EXPECT_EQ(Name(c), u"\u0179\u0179");

    const std::u16string forty(40, u'x');
    c.SetSpeakerName(forty.c_str());
    EXPECT_EQ(Name(c), std::u16string(31, u'x'));
    EXPECT_TRUE(sink.requests.empty()); // names are never sent

    // A cut through a surrogate pair drops its first half.
    std::u16string pair = std::u16string(30, u'a') + u"\U0001F3B5";
    c.SetSpeakerName(pair.c_str());
    EXPECT_EQ(Name(c), std::u16string(30, u'a'));

    char16_t buf[32];
    c.SetSpeakerName(u"");
    c.GetSpeakerName(buf, sizeof buf);
    EXPECT_EQ(std::u16string(buf), u"Unknown");
    c.GetSpeakerName(buf, 8); // 8 bytes: 3 units and the terminator
    EXPECT_EQ(std::u16string(buf), u"Unk");
    c.SetSpeakerName(u"Main");
    c.GetSpeakerName(buf, sizeof buf);
    EXPECT_EQ(std::u16string(buf), u"Main");
    buf[0] = u'Z';
    c.GetSpeakerName(buf, 1); // no room even for the terminator: untouched
    EXPECT_EQ(buf[0], u'Z');
}

TEST(ChannelConfig, AssignSendsQuieterWritesFirstThenFieldOrderAndSetsModeFirst)
{
    CChannelConfig src(CHANNEL_RIGHT);
    // Give every field a value different from the defaults.
    for (int f = 0; f < FIELD_COUNT; ++f) {
        const auto field = static_cast<EChannelField>(f);
        if (GetChannelFieldInfo(field).bFlags)
            SetChannelFieldBits(src, field, 0x10000u + f, false, false);
        else
            SetChannelFieldBits(src, field, FloatToBits(100.0f + f), false, false);
    }
    src.SetSpeakerName(u"Src");

    CRecordingSink sink;
    CChannelConfig dst(CHANNEL_RIGHT);
    dst.Assign(src, true);
    for (int f = 0; f < FIELD_COUNT; ++f)
        EXPECT_EQ(GetChannelFieldBits(dst, static_cast<EChannelField>(f)),
                  GetChannelFieldBits(src, static_cast<EChannelField>(f)));
    EXPECT_EQ(Name(dst), u"Src");

    // First what makes the unit quieter or safer: the channel high-pass
    // raised (30 -> 101 Hz) and the three bands muted; then the rest in
    // field order: the level (with its three gain re-sends), each band gain
    // (forced) in its place among its band's fields.  The Mid and High
    // high-passes fall (316 -> 111, 2500 -> 119 Hz): among the rest.
    std::vector<int> order;
    for (const auto& r : sink.requests)
        order.push_back(r.kind == QueuedRequest::COMMAND ? -1 : r.parameter);
    const std::vector<int> expected = {0,  30, 22, 13, 31, -1, -1, -1, 1, 29, 23, 24, 25, 26, -1, 28, 14,
                                       15, 16, 17, 18, -1, 20, 2,  3,  4, 5,  8,  9,  6,  7,  -1, 11};
    EXPECT_EQ(order, expected);

    // A Biamp source: the destination takes the mode first, so its Mid
    // fields other than the Mid HP frequency keep their values.
    CChannelConfig biamp(src);
    biamp.SetMode(MODE_BIAMP);
    CChannelConfig fresh(CHANNEL_RIGHT);
    fresh.Assign(biamp, false);
    EXPECT_EQ(fresh.GetMode(), MODE_BIAMP);
    EXPECT_EQ(fresh.GetMidGain(), 0.0f);
    EXPECT_EQ(fresh.GetMidLPFreq(), 1600.0f);
    EXPECT_EQ(fresh.GetMidHPFreq(), src.GetMidHPFreq());
    EXPECT_EQ(fresh.GetChannel(), CHANNEL_RIGHT);
}

TEST(ChannelConfig, ApplyModeChangesChannelsZeroToFour)
{
    CRecordingSink sink;
    CChannelConfig set[CHANNEL_COUNT] = {CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                                         CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)};
    CChannelConfig working(0);
    const CChannelConfig subBefore(set[5]);

    ApplyMode(set, working, MODE_BIAMP, true);
    EXPECT_EQ(working.GetMode(), MODE_BIAMP);
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        EXPECT_EQ(set[i].GetMode(), MODE_BIAMP);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(set[i].GetMidHPFreq(), 10.0f);
    // Low PEQ frequency was already 40: only the Mid HP writes go out.
    EXPECT_EQ(sink.requests.size(), 5u);
    EXPECT_EQ(set[5].GetMidHPFreq(), subBefore.GetMidHPFreq());

    sink.Clear();
    ApplyMode(set, working, MODE_TRIAMP, true);
    // Per channel: Mid HP 316, Mid PEQ 800 (always written).
    ASSERT_EQ(sink.requests.size(), 10u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(sink.requests[2 * i].parameter, 14);
        EXPECT_EQ(sink.requests[2 * i + 1].parameter, 16);
        EXPECT_EQ(sink.requests[2 * i + 1].Float(), 800.0f);
        EXPECT_EQ(sink.requests[2 * i + 1].channel, i);
    }
    // Subwoofer values untouched apart from the mode.
    for (int f = 0; f < FIELD_COUNT; ++f)
        EXPECT_EQ(GetChannelFieldBits(set[5], static_cast<EChannelField>(f)),
                  GetChannelFieldBits(subBefore, static_cast<EChannelField>(f)));
}

TEST(ChannelConfig, SystemFlagsQueueReadThenWrite)
{
    CRecordingSink sink;
    SetSystemFlags(0, true);
    EXPECT_TRUE(sink.requests.empty());
    SetSystemFlags(SYSFLAG_MUTE | SYSFLAG_BIAMP, true);
    EXPECT_EQ(GetSystemFlags(), 5u);
    ASSERT_EQ(sink.requests.size(), 2u);
    EXPECT_EQ(sink.requests[0].command, 11);
    EXPECT_EQ(sink.requests[0].uword, 0u);
    EXPECT_EQ(sink.requests[0].lword, 0u);
    EXPECT_EQ(sink.requests[1].command, 11);
    EXPECT_EQ(sink.requests[1].uword, 1u);
    EXPECT_EQ(sink.requests[1].lword, 5u);
    SetSystemFlags(5, true); // unchanged
    SetSystemFlags(0, false);
    EXPECT_EQ(sink.requests.size(), 2u);
    EXPECT_EQ(GetSystemFlags(), 0u);
}

TEST(ChannelConfig, ChannelIndexOutsideRangeSendsNothing)
{
    CRecordingSink sink;
    CChannelConfig c(CHANNEL_LEFT);
    c.SetChannel(9);
    c.SetLevel(3.0f, true);
    c.SetLowGain(1.0f, true, true);
    c.SetHighFlags(1, true);
    EXPECT_TRUE(sink.requests.empty());
    EXPECT_EQ(c.GetLevel(), 3.0f);
}

} // namespace
