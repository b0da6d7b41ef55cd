// Changes of several values at once, watched write by write as the unit
// would take them: whatever the path (a whole record copied, a file read,
// an undo or redo, a list of writes in any order), no band output is ever
// louder than at both ends, and the outputs end where the change ends.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "model/EditHistory.h"
#include "model/UnitMismatch.h"
#include "model/WriteOrder.h"
#include "tests/core/LiveConfig.h"
#include "tests/core/OutputWatch.h"
#include "tests/core/RecordingSink.h"

namespace {

// Replays what the sink took as the unit would take it, one write at a time.
std::string Watch(const CRecordingSink& sink, const CChannelConfig* const* apBefore,
                  const CChannelConfig* const* apAfter)
{
    COutputWatch watch(apBefore, apAfter);
    for (const QueuedRequest& q : sink.requests) {
        if (q.kind == QueuedRequest::COMMAND && q.command == CMD_WRITE_OUTPUT)
            watch.OnOutput(q.uword, q.LWordFloat());
        else if (q.kind != QueuedRequest::COMMAND && q.set)
            watch.OnParameter(q.channel, q.parameter, q.Float());
    }
    if (!watch.Fault().empty())
        return watch.Fault();
    return watch.AllAtTheEnd() ? std::string() : std::string("an output did not end at its value after the change");
}

struct SPair {
    SLive before, after;
    explicit SPair(std::mt19937& rng)
    {
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            before.ap[c]->SetChannel(c);
            after.ap[c]->SetChannel(c);
            RandomiseRecord(*before.ap[c], rng);
            RandomiseRecord(*after.ap[c], rng);
        }
    }
    SPair(const SPair&) = delete; // SLive points into itself
    const CChannelConfig* const* Before() const { return before.ap; }
    const CChannelConfig* const* After() const { return after.ap; }
};

// A live configuration holding a copy of another's records.
void CopyInto(SLive& live, const SLive& from)
{
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        live.ap[c]->SetChannel(c);
        live.ap[c]->Assign(*from.ap[c], false);
    }
}

TEST(WriteOrder, NoPathSendsAnOutputLouderThanBothEnds)
{
    CUnitMismatch::ClearAll();
    for (const std::uint32_t dwSeed : {1u, 2u}) {
        std::mt19937 rng(dwSeed);
        for (int n = 0; n < 100; ++n) {
            SPair pair(rng);
            const std::string at = "seed " + std::to_string(dwSeed) + " pair " + std::to_string(n) + ": ";

            {   // Copy Channel: whole records copied with sending on.
                SLive live;
                CopyInto(live, pair.before);
                CRecordingSink sink;
                for (int c = 0; c < CHANNEL_COUNT; ++c)
                    live.ap[c]->Assign(*pair.after.ap[c], true);
                EXPECT_EQ(Watch(sink, pair.Before(), pair.After()), "") << at << "Assign";
            }
            {   // A file opened over the configuration.
                CChannelConfig target[CHANNEL_COUNT] = {CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                                                        CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)};
                CChannelConfig set[CHANNEL_COUNT] = {CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                                                     CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)};
                for (int c = 0; c < CHANNEL_COUNT; ++c) {
                    target[c].Assign(*pair.after.ap[c], false);
                    set[c].Assign(*pair.before.ap[c], false);
                }
                std::uint8_t image[CConfigFile::FILE_BYTES];
                CConfigFile::BuildImage(target, image);
                CMemoryStream in(std::vector<std::uint8_t>(image, image + sizeof image));
                CRecordingSink sink;
                ASSERT_TRUE(CConfigFile::Read(in, set, nullptr, false).Ok());
                EXPECT_EQ(Watch(sink, pair.Before(), pair.After()), "") << at << "file";
            }
            {   // The step from one to the other, redone and undone.
                SLive live;
                CopyInto(live, pair.before);
                const CEditHistory::SStep step = CEditHistory::Diff(pair.before.Now(), pair.after.Now(), 0);
                CRecordingSink redo;
                CEditHistory::Apply(step, false, live.ap, live.Profile());
                EXPECT_EQ(Watch(redo, pair.Before(), pair.After()), "") << at << "redo";
                CRecordingSink undo;
                CEditHistory::Apply(step, true, live.ap, live.Profile());
                EXPECT_EQ(Watch(undo, pair.After(), pair.Before()), "") << at << "undo";
            }
            {   // Writes listed in any order (a preset's keys): the order is the writer's own.
                SLive live;
                CopyInto(live, pair.before);
                std::vector<CWriteOrder::SWrite> writes;
                for (int c = 0; c < CHANNEL_COUNT; ++c)
                    for (int f = 0; f < FIELD_COUNT; ++f)
                        writes.push_back({live.ap[c], static_cast<EChannelField>(f),
                                          GetChannelFieldBits(*pair.after.ap[c], static_cast<EChannelField>(f))});
                std::shuffle(writes.begin(), writes.end(), rng);
                CRecordingSink sink;
                CWriteOrder::Apply(writes, true, false);
                EXPECT_EQ(Watch(sink, pair.Before(), pair.After()), "") << at << "list";
            }
            if (HasFailure())
                return;
        }
    }
}

// The case as it was found: level +8 with High -18 copied onto level -10
// with High 0.  Field order sent the level first, and with it the High
// output at +8 dB: 18 dB above both ends.
TEST(WriteOrder, ALouderLevelWithAQuieterBandNeverSendsTheOldBandAtTheNewLevel)
{
    CUnitMismatch::ClearAll();
    CChannelConfig from(CHANNEL_LEFT), onto(CHANNEL_CENTER);
    from.SetLevel(8.0f, false);
    from.SetHighGain(-18.0f, false, false);
    onto.SetLevel(-10.0f, false);
    CRecordingSink sink;
    onto.Assign(from, true);
    std::uint32_t dwHigh = 0;
    ASSERT_TRUE(FindOutputAddress(CHANNEL_CENTER, BAND_HIGH, false, &dwHigh));
    std::vector<float> high;
    for (const QueuedRequest& q : sink.requests)
        if (q.kind == QueuedRequest::COMMAND && q.command == CMD_WRITE_OUTPUT && q.uword == dwHigh)
            high.push_back(q.LWordFloat());
    ASSERT_FALSE(high.empty());
    for (float v : high)
        EXPECT_LE(v, OutputGainValue(0.0f, -10.0f));
    EXPECT_EQ(high.back(), OutputGainValue(-18.0f, 8.0f));

    // Which writes go first.
    EXPECT_TRUE(CWriteOrder::GoesFirst(FIELD_LEVEL, FloatToBits(0.0f), FloatToBits(-1.0f)));
    EXPECT_FALSE(CWriteOrder::GoesFirst(FIELD_LEVEL, FloatToBits(0.0f), FloatToBits(1.0f)));
    EXPECT_TRUE(CWriteOrder::GoesFirst(FIELD_HIGH_HP_FREQ, FloatToBits(1000.0f), FloatToBits(2000.0f)));
    EXPECT_FALSE(CWriteOrder::GoesFirst(FIELD_HIGH_HP_FREQ, FloatToBits(2000.0f), FloatToBits(1000.0f)));
    EXPECT_TRUE(CWriteOrder::GoesFirst(FIELD_SEQ_GAIN, FloatToBits(3.0f), FloatToBits(-3.0f)));
    EXPECT_TRUE(CWriteOrder::GoesFirst(FIELD_HIGH_FLAGS, 0, BAND_FLAG_MUTE | BAND_FLAG_INVERT));
    EXPECT_FALSE(CWriteOrder::GoesFirst(FIELD_HIGH_FLAGS, BAND_FLAG_MUTE, 0));
    EXPECT_FALSE(CWriteOrder::GoesFirst(FIELD_LOW_LP_FREQ, FloatToBits(2000.0f), FloatToBits(200.0f)));
}

} // namespace
