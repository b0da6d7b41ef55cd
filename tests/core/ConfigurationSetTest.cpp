// The configuration set's rules: the working copy and its entry meet only
// where the set moves values between them, nothing it does is sent, and a
// picture of the configuration puts back exactly what it took.
#include <gtest/gtest.h>

#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "model/ConfigurationSet.h"
#include "model/EditHistory.h"
#include "tests/core/RecordingSink.h"

namespace {

bool Same(const CConfigImage& a, const CConfigImage& b) { return CEditHistory::Diff(a, b, 0).Empty(); }

struct SEditor {
    CChannelConfig working{CHANNEL_CENTER}; // the editor starts on Center
    CConfigurationSet set{working};
};

TEST(ConfigurationSet, TheWorkingCopyAndItsEntryMeetOnlyWhereTheSetMovesValuesAndNothingIsSent)
{
    CRecordingSink sink;
    SEditor e;
    CConfigurationSet& set = e.set;
    ASSERT_EQ(set.ShownChannel(), CHANNEL_CENTER);
    ASSERT_EQ(&set.Shown(), &e.working);

    // An edit of the shown channel lives in the working copy until it is stored.
    set.Shown().SetLowLPFreq(150.0f, false);
    EXPECT_EQ(set.Current(CHANNEL_CENTER).GetLowLPFreq(), 150.0f);
    EXPECT_NE(set.Record(CHANNEL_CENTER).GetLowLPFreq(), 150.0f);
    EXPECT_EQ(set.Capture().Channel(CHANNEL_CENTER).GetLowLPFreq(), 150.0f); // pictures take the newest
    set.StoreShown();
    EXPECT_EQ(set.Record(CHANNEL_CENTER).GetLowLPFreq(), 150.0f);

    // A whole-set operation changes the entry; loading brings it to the working copy.
    set.Record(CHANNEL_CENTER).SetLevel(-6.0f, false);
    set.Shown().SetHighGain(-3.0f, false, false); // not stored: dropped by the load
    set.LoadShown();
    EXPECT_EQ(set.Shown().GetLevel(), -6.0f);
    EXPECT_EQ(set.Shown().GetHighGain(), set.Record(CHANNEL_CENTER).GetHighGain());
    EXPECT_EQ(set.Shown().GetChannel(), CHANNEL_CENTER);

    // Another channel's Current is its entry, whatever the working copy holds.
    EXPECT_EQ(&set.Current(CHANNEL_LEFT), &set.Record(CHANNEL_LEFT));
    EXPECT_TRUE(sink.requests.empty()); // the unit has every value already
}

TEST(ConfigurationSet, ShowingAChannelKeepsTheShownEditsExceptWhileAReadBackFillsTheSet)
{
    CRecordingSink sink;
    SEditor e;
    CConfigurationSet& set = e.set;
    set.Record(CHANNEL_LEFT).SetDelay(2.5f, false);
    set.Shown().SetDelay(1.0f, false); // Center's edit

    ASSERT_TRUE(set.Show(CHANNEL_LEFT));
    EXPECT_EQ(set.ShownChannel(), CHANNEL_LEFT);
    EXPECT_EQ(set.Shown().GetDelay(), 2.5f);
    EXPECT_EQ(set.Record(CHANNEL_CENTER).GetDelay(), 1.0f); // stored on the way out
    ASSERT_TRUE(set.Show(CHANNEL_CENTER));
    EXPECT_EQ(set.Shown().GetDelay(), 1.0f);

    // A read-back writes the unit's values into the set as they arrive; a
    // channel change meanwhile must not overwrite them with the old screen.
    set.Record(CHANNEL_CENTER).SetDelay(4.0f, false);
    ASSERT_TRUE(set.Show(CHANNEL_RIGHT, false));
    EXPECT_EQ(set.Record(CHANNEL_CENTER).GetDelay(), 4.0f);

    // No channel: nothing changes.
    set.Shown().SetDelay(3.0f, false);
    EXPECT_FALSE(set.Show(-1));
    EXPECT_FALSE(set.Show(CHANNEL_COUNT));
    EXPECT_EQ(set.ShownChannel(), CHANNEL_RIGHT);
    EXPECT_EQ(set.Shown().GetDelay(), 3.0f);
    EXPECT_NE(set.Record(CHANNEL_RIGHT).GetDelay(), 3.0f);
    EXPECT_TRUE(sink.requests.empty());
}

TEST(ConfigurationSet, RestorePutsBackEveryChannelTheProfileAndTheShownValuesOfThePicture)
{
    CRecordingSink sink;
    SEditor e;
    CConfigurationSet& set = e.set;
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        set.Record(c).SetLevel(-1.0f - static_cast<float>(c), false);
    set.Shown().SetLevel(5.0f, false); // newer than Center's entry
    set.Profile().SetTheater(u"Hall 2");
    const CConfigImage before = set.Capture();
    EXPECT_EQ(before.Channel(CHANNEL_CENTER).GetLevel(), 5.0f);

    for (int c = 0; c < CHANNEL_COUNT; ++c)
        set.Record(c).SetLevel(-20.0f, false);
    set.Shown().SetLevel(-21.0f, false);
    set.Profile().SetTheater(u"Hall 9");
    set.Restore(before);

    EXPECT_TRUE(Same(set.Capture(), before));
    EXPECT_EQ(set.Shown().GetLevel(), 5.0f);
    EXPECT_EQ(set.Record(CHANNEL_CENTER).GetLevel(), 5.0f);
    EXPECT_EQ(set.ShownChannel(), CHANNEL_CENTER);
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        EXPECT_EQ(set.Record(c).GetChannel(), c);
    EXPECT_EQ(std::u16string(set.Profile().Theater()), u"Hall 2");
    EXPECT_TRUE(sink.requests.empty());
}

// Two whole-set operations treat the working copy differently, on purpose:
// File New writes the defaults of the six entries and leaves the screen as
// it was (the shown values go back into their entry at the next channel
// change), while a read-back's mode keeps the shown channel's values in its
// entry and the working copy.
TEST(ConfigurationSet, FileNewResetsOnlyTheEntriesWhileAModeChangeKeepsTheShownValues)
{
    CRecordingSink sink;
    SEditor e;
    CConfigurationSet& set = e.set;
    set.Shown().SetLowLPFreq(120.0f, false);
    set.Record(CHANNEL_RIGHT).SetLowLPFreq(130.0f, false);

    // New keeps the stored entries (not the working copy) around the writing.
    const CConfigImage kept = set.CaptureRecords();
    EXPECT_NE(kept.Channel(CHANNEL_CENTER).GetLowLPFreq(), 120.0f);
    set.StoreShown();
    CMemoryStream file;
    ASSERT_TRUE(CConfigFile::Write(file, set.Records(), &set.Profile(), true).Ok());
    const CChannelConfig defaults(CHANNEL_CENTER);
    EXPECT_EQ(set.Record(CHANNEL_CENTER).GetLowLPFreq(), defaults.GetLowLPFreq());
    EXPECT_EQ(set.Record(CHANNEL_RIGHT).GetLowLPFreq(), defaults.GetLowLPFreq());
    EXPECT_EQ(set.Shown().GetLowLPFreq(), 120.0f);
    set.RestoreRecords(kept);
    EXPECT_EQ(set.Record(CHANNEL_RIGHT).GetLowLPFreq(), 130.0f);
    EXPECT_EQ(set.Shown().GetLowLPFreq(), 120.0f); // the screen was never touched
    set.Show(CHANNEL_LEFT);
    EXPECT_EQ(set.Record(CHANNEL_CENTER).GetLowLPFreq(), 120.0f);

    set.Shown().SetHPFreq(90.0f, false);
    set.StoreShown();
    ApplyMode(set.Records(), set.Shown(), MODE_BIAMP, false);
    set.LoadShown();
    EXPECT_EQ(set.Shown().GetHPFreq(), 90.0f);
    EXPECT_EQ(set.Shown().GetMode(), MODE_BIAMP);
    EXPECT_EQ(set.Record(CHANNEL_LEFT).GetHPFreq(), 90.0f);
    EXPECT_TRUE(sink.requests.empty());
}

} // namespace
