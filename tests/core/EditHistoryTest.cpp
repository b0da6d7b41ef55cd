#include <map>
#include <random>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "model/ChannelFields.h"
#include "model/EditHistory.h"
#include "tests/core/LiveConfig.h"
#include "model/FieldRanges.h"
#include "tests/core/RecordingSink.h"

namespace {

constexpr int FIELD_STEP = 211; // the callers' names of gestures are opaque numbers
constexpr int MUTE_STEP = 225;

bool SameConfig(const CConfigImage& a, const CConfigImage& b)
{
    return CEditHistory::Diff(a, b, 0).Empty();
}

TEST(EditHistory, TypingIntoOneFieldIsOneStepAndUndoRedoSendOnlyThatValue)
{
    CRecordingSink sink;
    SLive live;
    CEditHistory history;
    EXPECT_EQ(history.UndoWhat(live.Now()), CEditHistory::NOTHING);

    // Each applied key release begins the field's gesture again: it goes on.
    for (float v : {1.0f, 15.0f, 150.0f, 1500.0f}) {
        history.Begin(FIELD_STEP, live.Now());
        live.ap[2]->SetHighPEQFreq(v, true);
    }
    // The open gesture already counts as the step to undo.
    EXPECT_EQ(history.UndoWhat(live.Now()), FIELD_STEP);
    EXPECT_EQ(history.RedoWhat(live.Now()), CEditHistory::NOTHING);
    history.End(live.Now());
    ASSERT_EQ(history.StepCount(), 1u);

    sink.Clear();
    const CEditHistory::SStep* pStep = history.Undo(live.Now());
    ASSERT_NE(pStep, nullptr);
    ASSERT_EQ(pStep->aValues.size(), 1u);
    EXPECT_EQ(pStep->aValues[0].nChannel, 2);
    EXPECT_EQ(pStep->aValues[0].nField, FIELD_HIGH_PEQ_FREQ);
    EXPECT_EQ(BitsToFloat(pStep->aValues[0].dwBefore), 3000.0f);
    EXPECT_EQ(BitsToFloat(pStep->aValues[0].dwAfter), 1500.0f);
    EXPECT_FALSE(CEditHistory::Apply(*pStep, true, live.ap, live.Profile()));
    EXPECT_EQ(live.ap[2]->GetHighPEQFreq(), 3000.0f);
    ASSERT_EQ(sink.requests.size(), 1u);
    EXPECT_EQ(sink.requests[0].channel, 2);
    EXPECT_EQ(sink.requests[0].Float(), 3000.0f);
    EXPECT_EQ(history.UndoWhat(live.Now()), CEditHistory::NOTHING);
    EXPECT_EQ(history.Undo(live.Now()), nullptr);

    sink.Clear();
    EXPECT_EQ(history.RedoWhat(live.Now()), FIELD_STEP);
    pStep = history.Redo(live.Now());
    ASSERT_NE(pStep, nullptr);
    CEditHistory::Apply(*pStep, false, live.ap, live.Profile());
    EXPECT_EQ(live.ap[2]->GetHighPEQFreq(), 1500.0f);
    ASSERT_EQ(sink.requests.size(), 1u);
    EXPECT_EQ(sink.requests[0].Float(), 1500.0f);
    EXPECT_EQ(history.Redo(live.Now()), nullptr);
}

TEST(EditHistory, GesturesSplitDropRedoAndLeaveNoEmptySteps)
{
    CRecordingSink sink;
    SLive live;
    CEditHistory history;

    history.Begin(FIELD_STEP, live.Now());
    live.ap[0]->SetLowLPFreq(250.0f, true);
    // Another gesture begins before the field's ended: the field's step
    // holds only the field's change.
    history.Begin(MUTE_STEP, live.Now());
    live.ap[0]->SetLowFlags(live.ap[0]->GetLowFlags() ^ BAND_FLAG_MUTE, true);
    history.End(live.Now());
    ASSERT_EQ(history.StepCount(), 2u);

    // A gesture that changed nothing (a value typed back to itself) is no step.
    history.Begin(FIELD_STEP, live.Now());
    live.ap[0]->SetLowLPFreq(251.0f, true);
    live.ap[0]->SetLowLPFreq(250.0f, true);
    history.End(live.Now());
    EXPECT_EQ(history.StepCount(), 2u);

    const CEditHistory::SStep* pMute = history.Undo(live.Now());
    ASSERT_NE(pMute, nullptr);
    EXPECT_EQ(pMute->nWhat, MUTE_STEP);
    ASSERT_EQ(pMute->aValues.size(), 1u);
    EXPECT_EQ(pMute->aValues[0].nField, FIELD_LOW_FLAGS);
    CEditHistory::Apply(*pMute, true, live.ap, live.Profile());
    EXPECT_EQ(history.UndoWhat(live.Now()), FIELD_STEP);
    EXPECT_EQ(history.RedoWhat(live.Now()), MUTE_STEP);

    // Changing something while the mute could be redone: an open change
    // already hides the redo, and ending it drops it.
    history.Begin(FIELD_STEP, live.Now());
    live.ap[1]->SetDelay(1.0f, true);
    EXPECT_EQ(history.RedoWhat(live.Now()), CEditHistory::NOTHING);
    EXPECT_EQ(history.Redo(live.Now()), nullptr);
    EXPECT_EQ(history.StepCount(), 2u);
    EXPECT_EQ(history.UndoCount(), 2u);

    // Clearing forgets everything, an open gesture too.
    history.Begin(MUTE_STEP, live.Now());
    live.ap[1]->SetLowFlags(1, true);
    history.Clear();
    history.End(live.Now());
    EXPECT_EQ(history.StepCount(), 0u);
    EXPECT_EQ(history.UndoWhat(live.Now()), CEditHistory::NOTHING);
}

TEST(EditHistory, TextsAreRecordedAndPutBackAndAStepCostsBytesNotAConfiguration)
{
    SLive live;
    CEditHistory history;
    const std::u16string longComment(100, u'x');

    history.Begin(1, live.Now());
    live.ap[1]->SetSpeakerName(u"JBL 4675");
    live.ap[3]->SetSpeakerName(u"JBL 4675");
    live.Profile().SetComments(longComment.c_str());
    live.Profile().SetScreen(u"7");
    history.End(live.Now());
    // A name that differs only in case is the same name to the record.
    history.Begin(2, live.Now());
    live.ap[1]->SetSpeakerName(u"jbl 4675");
    history.End(live.Now());
    ASSERT_EQ(history.StepCount(), 1u);

    const CEditHistory::SStep* pStep = history.Undo(live.Now());
    ASSERT_NE(pStep, nullptr);
    EXPECT_EQ(pStep->aTexts.size(), 4u);
    EXPECT_TRUE(pStep->aValues.empty());
    EXPECT_TRUE(pStep->Touches(1));
    EXPECT_TRUE(pStep->Touches(3));
    EXPECT_FALSE(pStep->Touches(2));
    EXPECT_TRUE(CEditHistory::Apply(*pStep, true, live.ap, live.Profile()));
    EXPECT_EQ(std::u16string(live.ap[1]->GetSpeakerNameRaw()), u"DEFAULT Triamp");
    EXPECT_EQ(std::u16string(live.Profile().Comments()), u"");
    EXPECT_EQ(std::u16string(live.Profile().Screen()), u"");
    EXPECT_TRUE(CEditHistory::Apply(*pStep, false, live.ap, live.Profile()));
    EXPECT_EQ(std::u16string(live.Profile().Comments()), longComment);

    // A one-value step costs a few dozen bytes; a whole configuration is
    // well over a kilobyte.
    CEditHistory small;
    small.Begin(FIELD_STEP, live.Now());
    live.ap[4]->SetLowGain(-3.0f, false, false);
    small.End(live.Now());
    EXPECT_LE(small.Bytes(), 96u);
    EXPECT_GT(sizeof(CConfigImage), 1000u);
    EXPECT_GT(history.Bytes(), small.Bytes());
}

TEST(EditHistory, AtMost500StepsTheOldestGo)
{
    SLive live;
    CEditHistory history;
    const float fltStart = live.ap[0]->GetDelay();
    for (int i = 1; i <= 520; ++i) {
        history.Begin(i, live.Now());
        live.ap[0]->SetDelay(static_cast<float>(i) * 0.01f, false);
        history.End(live.Now());
    }
    EXPECT_EQ(history.StepCount(), CEditHistory::MAX_STEPS);
    int nUndone = 0;
    while (const CEditHistory::SStep* p = history.Undo(live.Now())) {
        CEditHistory::Apply(*p, true, live.ap, live.Profile());
        ++nUndone;
    }
    EXPECT_EQ(nUndone, 500);
    // Steps 1..20 are gone: the oldest kept step starts from step 20's value.
    EXPECT_EQ(live.ap[0]->GetDelay(), 20 * 0.01f);
    EXPECT_NE(live.ap[0]->GetDelay(), fltStart);
    EXPECT_EQ(history.RedoWhat(live.Now()), 21);
}

// What a unit that took every queued write would hold: the last value per
// parameter and per output command address.
using UnitImage = std::map<std::tuple<int, int, std::uint32_t>, std::uint32_t>;
void Take(UnitImage& unit, const CRecordingSink& sink)
{
    for (const QueuedRequest& r : sink.requests) {
        if (r.kind == QueuedRequest::COMMAND)
            unit[{1, r.command, r.uword}] = r.lword;
        else if (r.set)
            unit[{0, r.channel, r.parameter}] = r.value;
    }
}

// The Subwoofer's High Delay (which the form never edits) writes the
// parameter of its Low Delay: the unit holds whichever came last.
bool SharesParameter(int nChannel, EChannelField eField)
{
    return nChannel == CHANNEL_SUBWOOFER && eField == FIELD_HIGH_DELAY;
}

// The unit's image after every value of the configuration has been written.
UnitImage FullWrite(const CConfigImage& config)
{
    CRecordingSink sink;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        CChannelConfig scratch(c);
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto eField = static_cast<EChannelField>(f);
            if (SharesParameter(c, eField))
                continue;
            const std::uint32_t dwValue = GetChannelFieldBits(config.Channel(c), eField);
            SetChannelFieldBits(scratch, eField, ~dwValue, false, false);
            SetChannelFieldBits(scratch, eField, dwValue, true, true);
        }
    }
    UnitImage unit;
    Take(unit, sink);
    return unit;
}

// The entries where two unit images differ, readable ("" when none).
std::string Differences(const UnitImage& have, const UnitImage& want)
{
    std::string out;
    for (const auto& [key, v] : want) {
        const auto it = have.find(key);
        if (it == have.end() || it->second != v)
            out += std::to_string(std::get<1>(key)) + "/" + std::to_string(std::get<2>(key)) + ": " +
                   (it == have.end() ? std::string("never sent") : std::to_string(BitsToFloat(it->second))) +
                   " instead of " + std::to_string(BitsToFloat(v)) + "\n";
    }
    return out;
}

// Random edits of random channels, undos and redos: the values that reach
// the unit always add up to the configuration, and undoing everything gives
// back the starting configuration, value for value.
TEST(EditHistory, RandomEditsUndosAndRedosKeepTheUnitEqualToTheConfiguration)
{
    std::mt19937 rng(20261207);
    SLive live;
    CEditHistory history;
    const CConfigImage start = live.Now();
    UnitImage unit = FullWrite(start);
    CRecordingSink sink;
    for (int n = 0; n < 400; ++n) {
        const int nAction = static_cast<int>(rng() % 10);
        if (nAction < 6) {
            const int nWhat = static_cast<int>(rng() % 4);
            history.Begin(nWhat, live.Now());
            const int nChanges = 1 + static_cast<int>(rng() % 3);
            for (int k = 0; k < nChanges; ++k) {
                const int c = static_cast<int>(rng() % CHANNEL_COUNT);
                const auto eField = static_cast<EChannelField>(rng() % FIELD_COUNT);
                if (SharesParameter(c, eField))
                    continue;
                if (GetChannelFieldInfo(eField).bFlags) {
                    SetChannelFieldBits(*live.ap[c], eField, GetChannelFieldBits(*live.ap[c], eField) ^ BAND_FLAG_MUTE,
                                        true, false);
                    continue;
                }
                CFieldRanges::SRange range{};
                if (!CFieldRanges::GetEditorRange(eField, MODE_TRIAMP, range))
                    continue;
                const float v = range.fltMin + (range.fltMax - range.fltMin) * static_cast<float>(rng() % 1000) / 999.0f;
                SetChannelFieldBits(*live.ap[c], eField, FloatToBits(v), true, false);
            }
            if (rng() % 2)
                history.End(live.Now());
        } else if (const CEditHistory::SStep* p =
                       nAction < 8 ? history.Undo(live.Now()) : history.Redo(live.Now())) {
            CEditHistory::Apply(*p, nAction < 8, live.ap, live.Profile());
        }
        Take(unit, sink);
        sink.Clear();
    }
    EXPECT_EQ(Differences(unit, FullWrite(live.Now())), "");
    EXPECT_GT(history.StepCount(), 20u);

    while (const CEditHistory::SStep* p = history.Undo(live.Now())) {
        CEditHistory::Apply(*p, true, live.ap, live.Profile());
        Take(unit, sink);
        sink.Clear();
    }
    EXPECT_TRUE(SameConfig(live.Now(), start));
    EXPECT_EQ(Differences(unit, FullWrite(start)), "");
}

} // namespace
