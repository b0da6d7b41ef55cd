// The rules of the editor's numeric fields: table, parsing, formats, steps.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "editor/FieldRules.h"
#include "editor/FieldStatusText.h"
#include "model/ChannelConfig.h"
#include "resources/resource.h"
#include "tests/editor/RecordingSink.h"

namespace {

float Parse(const char16_t* psz) { return CFieldRules::ParseText(psz); }

const SFieldRule& Rule(int nId)
{
    const SFieldRule* p = CFieldRules::Find(nId);
    EXPECT_NE(p, nullptr) << nId;
    static const SFieldRule none{};
    return p ? *p : none;
}

TEST(FieldRules, TableCoversTheTwentyFiveFieldsOnce)
{
    ASSERT_EQ(CFieldRules::Count(), 25u);
    std::set<int> ids;
    std::set<int> fields;
    for (size_t i = 0; i < CFieldRules::Count(); ++i) {
        const SFieldRule& r = CFieldRules::Begin()[i];
        ids.insert(r.nId);
        fields.insert(r.eField);
        // Frequencies take no decimal point; gains, Q values and delays do.
        EXPECT_EQ(r.bDecimalPoint, r.eFormat != EFieldFormat::Freq) << r.nId;
        EXPECT_LT(CFieldRules::GetRange(r, MODE_TRIAMP).fltMin, CFieldRules::GetRange(r, MODE_TRIAMP).fltMax);
        EXPECT_GT(r.fltStep, 0.0f);
    }
    EXPECT_EQ(ids.size(), 25u);
    EXPECT_EQ(fields.size(), 25u);
    EXPECT_EQ(CFieldRules::Find(IDC_LEVEL), nullptr);
    EXPECT_EQ(Rule(IDC_LOW_PEQ_Q).eField, FIELD_LOW_PEQ_Q);
    EXPECT_EQ(Rule(IDC_HIGH_PEQ_FREQ).eField, FIELD_HIGH_PEQ_FREQ);
    EXPECT_EQ(Rule(IDC_DELAY).nMask, 0);
    EXPECT_EQ(Rule(IDC_HP_FREQ).nMask, 7);
    EXPECT_EQ(Rule(IDC_LOW_DELAY).nMask, 4);
    EXPECT_EQ(Rule(IDC_MID_PEQ_GAIN).nMask, 2);
    EXPECT_EQ(Rule(IDC_HEQ_GAIN).nMask, 1);
}

TEST(FieldRules, BoundsAreInclusiveAndTwoDependOnTheMode)
{
    const SFieldRule& lp = Rule(IDC_LOW_LP_FREQ);
    EXPECT_TRUE(CFieldRules::IsInRange(lp, MODE_BIAMP, 150.0f));
    EXPECT_FALSE(CFieldRules::IsInRange(lp, MODE_TRIAMP, 150.0f));
    EXPECT_TRUE(CFieldRules::IsInRange(lp, MODE_TRIAMP, 200.0f));
    EXPECT_TRUE(CFieldRules::IsInRange(lp, MODE_TRIAMP, 4000.0f));
    EXPECT_FALSE(CFieldRules::IsInRange(lp, MODE_TRIAMP, 4000.5f));
    const SFieldRule& peq = Rule(IDC_LOW_PEQ_FREQ);
    EXPECT_TRUE(CFieldRules::IsInRange(peq, MODE_BIAMP, 1000.0f));
    EXPECT_FALSE(CFieldRules::IsInRange(peq, MODE_TRIAMP, 1000.0f));
    EXPECT_TRUE(CFieldRules::IsInRange(peq, MODE_TRIAMP, 25.0f));
    // The typed prefixes of 1500 in High PEQ Freq. (minimum 300).
    const SFieldRule& hp = Rule(IDC_HIGH_PEQ_FREQ);
    for (const char16_t* psz : {u"1", u"15", u"150"})
        EXPECT_FALSE(CFieldRules::IsInRange(hp, MODE_TRIAMP, Parse(psz))) << (int)psz[0];
    EXPECT_TRUE(CFieldRules::IsInRange(hp, MODE_TRIAMP, Parse(u"1500")));
    // 5.304 as a float is in range for the band delays, one step more is not.
    const SFieldRule& d = Rule(IDC_HIGH_DELAY);
    EXPECT_TRUE(CFieldRules::IsInRange(d, MODE_TRIAMP, Parse(u"5.304")));
    EXPECT_FALSE(CFieldRules::IsInRange(d, MODE_TRIAMP, Parse(u"5.3041")));
    // An empty gain field reads 0 and is valid; an empty Q field is not.
    EXPECT_TRUE(CFieldRules::IsInRange(Rule(IDC_LOW_GAIN), MODE_TRIAMP, Parse(u"")));
    EXPECT_FALSE(CFieldRules::IsInRange(Rule(IDC_LOW_PEQ_Q), MODE_TRIAMP, Parse(u"")));
    EXPECT_FALSE(CFieldRules::IsInRange(Rule(IDC_HP_FREQ), MODE_TRIAMP, Parse(u"-5")));
    EXPECT_FALSE(CFieldRules::IsInRange(Rule(IDC_LOW_GAIN), MODE_TRIAMP, std::nanf("")));
}

TEST(FieldRules, ParsingReadsTheLeadingNumberLikePercentF)
{
    EXPECT_FLOAT_EQ(Parse(u"1500"), 1500.0f);
    EXPECT_FLOAT_EQ(Parse(u"  \t12.5"), 12.5f);
    EXPECT_EQ(Parse(u"-3.27"), -3.27f);
    EXPECT_FLOAT_EQ(Parse(u"5-"), 5.0f);
    EXPECT_FLOAT_EQ(Parse(u"12abc"), 12.0f);
    EXPECT_FLOAT_EQ(Parse(u"1.2.3"), 1.2f);
    EXPECT_FLOAT_EQ(Parse(u".5"), 0.5f);
    EXPECT_FLOAT_EQ(Parse(u"-.5"), -0.5f);
    EXPECT_FLOAT_EQ(Parse(u"5."), 5.0f);
    EXPECT_FLOAT_EQ(Parse(u"+7"), 7.0f);
    EXPECT_FLOAT_EQ(Parse(u"1e3"), 1000.0f);
    EXPECT_FLOAT_EQ(Parse(u"2.5E-1"), 0.25f);
    EXPECT_FLOAT_EQ(Parse(u"1e"), 1.0f);
    EXPECT_FLOAT_EQ(Parse(u"1e+"), 1.0f);
    EXPECT_EQ(Parse(u"0.0208"), 0.0208f);
    // No number: 0.
    for (const char16_t* psz : {u"", u"-", u".", u"-.", u"--5", u"abc", u" ", u"e5", u"nan", u"inf", u"x1"})
        EXPECT_EQ(Parse(psz), 0.0f);
    // Hex is not read past its 0.
    EXPECT_EQ(Parse(u"0x10"), 0.0f);
    // Beyond a float: infinities (never in range), or zero for tiny values.
    EXPECT_TRUE(std::isinf(Parse(u"1e99")) && Parse(u"1e99") > 0);
    EXPECT_TRUE(std::isinf(Parse(u"-99999999999999999999999999999999999999999")));
    EXPECT_EQ(Parse(u"1e-99"), 0.0f);
    EXPECT_EQ(Parse(u"0.000000000000000000000000000000000000000000000000001"), 0.0f);
    EXPECT_EQ(Parse(u"1e99999999999999999999"), INFINITY);
    // Digits outside ASCII are not digits.
    EXPECT_EQ(Parse(u"\u0661\u0662"), 0.0f);
}

TEST(FieldRules, DisplayFormats)
{
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_HIGH_PEQ_FREQ), 1500.0f), u"1500");
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_HIGH_PEQ_FREQ), 30.5f), u"30"); // printf rounding (to even)
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_LOW_GAIN), -3.27f), u"-3.3");
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_LOW_PEQ_Q), 0.707f), u"0.71");
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_DELAY), 0.0208f), u"0.0208");
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_LOW_DELAY), 5.304f), u"5.3040");
    // No "-0".
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_LOW_GAIN), -0.0f), u"0.0");
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_LOW_GAIN), -0.04f), u"0.0");
    EXPECT_EQ(CFieldRules::Format(Rule(IDC_LOW_GAIN), -0.06f), u"-0.1");
}

TEST(FieldRules, StepsStayInRangeAndSend)
{
    CEditorSink sink;
    CChannelConfig cfg(CHANNEL_LEFT);
    float v = 0;
    // Low Gain at 0.0: Up does nothing, Down gives -0.5 and sends it.
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_LOW_GAIN), true, v));
    EXPECT_TRUE(sink.requests.empty());
    EXPECT_TRUE(CFieldRules::Step(cfg, Rule(IDC_LOW_GAIN), false, v));
    EXPECT_FLOAT_EQ(v, -0.5f);
    EXPECT_FLOAT_EQ(cfg.GetLowGain(), -0.5f);
    EXPECT_EQ(sink.Commands(7), 1u);
    // CH Delay: Up from 0 gives 0.0208, Down from 0 nothing.
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_DELAY), false, v));
    EXPECT_TRUE(CFieldRules::Step(cfg, Rule(IDC_DELAY), true, v));
    EXPECT_EQ(cfg.GetDelay(), 0.0208f);
    EXPECT_EQ(sink.Sets(CHANNEL_LEFT, 29), std::vector<float>{0.0208f});
    // High Delay at 5.304: Up does nothing.
    cfg.SetHighDelay(5.304f, false);
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_HIGH_DELAY), true, v));
    EXPECT_EQ(cfg.GetHighDelay(), 5.304f);
    // HP Freq.: Up at 40 and Down at 20 do nothing.
    cfg.SetHPFreq(40.0f, false);
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_HP_FREQ), true, v));
    cfg.SetHPFreq(20.0f, false);
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_HP_FREQ), false, v));
    EXPECT_TRUE(CFieldRules::Step(cfg, Rule(IDC_HP_FREQ), true, v));
    EXPECT_EQ(cfg.GetHPFreq(), 21.0f);
    // Low LP Freq.: the mode decides the minimum.
    cfg.SetLowLPFreq(200.0f, false);
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_LOW_LP_FREQ), false, v));
    cfg.SetMode(MODE_BIAMP);
    EXPECT_TRUE(CFieldRules::Step(cfg, Rule(IDC_LOW_LP_FREQ), false, v));
    EXPECT_EQ(cfg.GetLowLPFreq(), 199.0f);
    // The Subwoofer's Low LP Freq. does not step at all.
    CChannelConfig sub(CHANNEL_SUBWOOFER);
    EXPECT_FALSE(CFieldRules::Step(sub, Rule(IDC_LOW_LP_FREQ), true, v));
    EXPECT_EQ(sub.GetLowLPFreq(), 500.0f);
    // A stored value outside the range (from a file) cannot be stepped further out.
    cfg.SetMode(MODE_TRIAMP);
    cfg.SetLowPEQFreq(1000.0f, false);
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_LOW_PEQ_FREQ), true, v));
    EXPECT_FALSE(CFieldRules::Step(cfg, Rule(IDC_LOW_PEQ_FREQ), false, v)); // 999 is still above 800
}

TEST(FieldRules, CharacterFilter)
{
    for (char16_t ch : {u'0', u'9', u'-', u'\b', u'\r', u'\t', char16_t(0x16) /* Ctrl+V */, char16_t(0x03)})
        EXPECT_TRUE(CFieldRules::IsCharAllowed(ch, false)) << int(ch);
    EXPECT_FALSE(CFieldRules::IsCharAllowed(u'.', false));
    EXPECT_TRUE(CFieldRules::IsCharAllowed(u'.', true));
    for (char16_t ch : {u'a', u'e', u'+', u' ', u',', char16_t(0x0661), char16_t(0xFF11)})
        EXPECT_FALSE(CFieldRules::IsCharAllowed(ch, true)) << int(ch);
}

TEST(FieldRules, FocusedFieldsSelectTheirAdjuster)
{
    struct SCase {
        int nId;
        int nChannel;
        int nCurrent; // the adjuster selected before
        int nExpected;
    };
    const SCase aCases[] = {
        {IDC_LOW_LP_FREQ, CHANNEL_LEFT, 0, 1},
        {IDC_LOW_LP_FREQ, CHANNEL_SUBWOOFER, 5, 0},
        {IDC_LOW_GAIN, CHANNEL_SUBWOOFER, 0, 1},
        {IDC_LOW_PEQ_Q, CHANNEL_LEFT, 0, 2},
        {IDC_MID_HP_FREQ, CHANNEL_LEFT, 4, 3},
        // Mid Gain keeps whichever Mid crossover handle is shown.
        {IDC_MID_GAIN, CHANNEL_LEFT, 0, 3},
        {IDC_MID_GAIN, CHANNEL_LEFT, 3, -1},
        {IDC_MID_GAIN, CHANNEL_LEFT, 4, -1},
        {IDC_MID_GAIN, CHANNEL_LEFT, 5, 3},
        {IDC_MID_LP_FREQ, CHANNEL_LEFT, 0, 4},
        {IDC_MID_PEQ_GAIN, CHANNEL_LEFT, 0, 5},
        {IDC_HIGH_GAIN, CHANNEL_LEFT, 0, 6},
        {IDC_HIGH_PEQ_Q, CHANNEL_LEFT, 0, 7},
        {IDC_SEQ_GAIN, CHANNEL_LEFT, 0, 8},
        {IDC_HEQ_FREQ, CHANNEL_LEFT, 0, 9},
        {IDC_HP_FREQ, CHANNEL_LEFT, 0, 10},
        {IDC_DELAY, CHANNEL_LEFT, 7, -1},
    };
    for (const SCase& c : aCases)
        EXPECT_EQ(CFieldRules::AdjusterForField(c.nId, c.nChannel, c.nCurrent), c.nExpected)
            << c.nId << " channel " << c.nChannel << " selected " << c.nCurrent;
    for (int id : {IDC_LOW_DELAY, IDC_MID_DELAY, IDC_HIGH_DELAY})
        EXPECT_EQ(CFieldRules::AdjusterForField(id, CHANNEL_LEFT, 7), 0);
    // Every adjuster's fields select that adjuster back (Mid Gain aside).
    for (int n = 1; n <= 10; ++n)
        for (int i = 0; i < 3; ++i) {
            const SFieldRule* pRule = CFieldRules::FindByField(CFieldRanges::FieldsOfAdjuster(n)[i]);
            if (pRule && pRule->nId != IDC_MID_GAIN) {
                EXPECT_EQ(CFieldRules::AdjusterForField(pRule->nId, CHANNEL_LEFT, 0), n) << pRule->nId;
            }
        }
    EXPECT_EQ(CFieldRanges::FieldsOfAdjuster(0), nullptr);
    EXPECT_EQ(CFieldRanges::FieldsOfAdjuster(11), nullptr);
}

} // namespace

TEST(FieldRules, RisesOfMoreThanSixDecibelsAndFallsOfMoreThanAnOctaveWait)
{
    using J = CFieldRules::EJump;
    const SFieldRule& highGain = *CFieldRules::Find(IDC_HIGH_GAIN);
    const SFieldRule& highHP = *CFieldRules::Find(IDC_HIGH_HP_FREQ);
    // Retyping -15 as -12 passes 0 and -1: both wait; -12 itself does not.
    EXPECT_EQ(CFieldRules::HarmfulJump(highGain, -15.0f, 0.0f), J::GainRise);
    EXPECT_EQ(CFieldRules::HarmfulJump(highGain, -15.0f, -1.0f), J::GainRise);
    EXPECT_EQ(CFieldRules::HarmfulJump(highGain, -15.0f, -9.0f), J::None); // exactly 6 dB
    EXPECT_EQ(CFieldRules::HarmfulJump(highGain, -15.0f, -8.9f), J::GainRise);
    EXPECT_EQ(CFieldRules::HarmfulJump(highGain, -15.0f, -12.0f), J::None);
    EXPECT_EQ(CFieldRules::HarmfulJump(highGain, 0.0f, -18.0f), J::None); // down is never harmful
    // Retyping 1600 Hz as 2000 passes 200: it waits; exactly an octave does not.
    EXPECT_EQ(CFieldRules::HarmfulJump(highHP, 1600.0f, 200.0f), J::OctaveFall);
    EXPECT_EQ(CFieldRules::HarmfulJump(highHP, 1600.0f, 799.0f), J::OctaveFall);
    EXPECT_EQ(CFieldRules::HarmfulJump(highHP, 1600.0f, 800.0f), J::None);
    EXPECT_EQ(CFieldRules::HarmfulJump(highHP, 1600.0f, 4000.0f), J::None);
    // Which fields: every gain of a band or an equaliser, the three high-pass frequencies.
    int nGains = 0, nHighPasses = 0;
    for (const SFieldRule* p = CFieldRules::Begin(); p != CFieldRules::Begin() + CFieldRules::Count(); ++p) {
        nGains += CFieldRules::HarmfulJump(*p, -12.0f, 0.0f) == J::GainRise;
        nHighPasses += CFieldRules::HarmfulJump(*p, 1000.0f, 100.0f) == J::OctaveFall;
    }
    EXPECT_EQ(nGains, 8);      // Low, Mid, High, their PEQs, SEQ, HEQ
    EXPECT_EQ(nHighPasses, 3); // HP Filter, Mid HP, High HP
    EXPECT_EQ(CFieldRules::HarmfulJump(*CFieldRules::Find(IDC_LOW_LP_FREQ), 1000.0f, 100.0f), J::None);
    EXPECT_EQ(CFieldRules::HarmfulJump(*CFieldRules::Find(IDC_HIGH_DELAY), 0.0f, 5.0f), J::None);

    // What holds a number: the same text ParseText reads one from.
    for (const char16_t* psz : {u"", u"-", u"+", u".", u"-.", u" ", u"e5", u"x1"})
        EXPECT_FALSE(CFieldRules::HasNumber(psz));
    for (const char16_t* psz : {u"0", u"-1", u".5", u"-.5", u" 7", u"5-", u"1e"})
        EXPECT_TRUE(CFieldRules::HasNumber(psz));
}

TEST(FieldStatusText, RedFieldNamesItsRangeInTheModeAndUnit)
{
    const SFieldRule* pLowLp = CFieldRules::FindByField(FIELD_LOW_LP_FREQ);
    ASSERT_NE(pLowLp, nullptr);
    EXPECT_EQ(CFieldStatusText::ForField(pLowLp, MODE_TRIAMP, true), u"Low LP Freq: 200 to 4000 Hz");
    EXPECT_EQ(CFieldStatusText::ForField(pLowLp, MODE_BIAMP, true), u"Low LP Freq: 100 to 4000 Hz");
    EXPECT_EQ(CFieldStatusText::ForField(pLowLp, MODE_TRIAMP, false), u""); // not red: nothing to say
    EXPECT_EQ(CFieldStatusText::ForField(nullptr, MODE_TRIAMP, true), u"");
    // Each kind of bound is written exactly and as short as it can be.
    EXPECT_EQ(CFieldStatusText::RangeText(*CFieldRules::FindByField(FIELD_LOW_DELAY), MODE_BIAMP),
              u"Low Delay: 0 to 5.304 ms");
    EXPECT_EQ(CFieldStatusText::RangeText(*CFieldRules::FindByField(FIELD_MID_PEQ_Q), MODE_TRIAMP),
              u"Mid PEQ Q: 0.5 to 10");
    EXPECT_EQ(CFieldStatusText::RangeText(*CFieldRules::FindByField(FIELD_HIGH_PEQ_GAIN), MODE_TRIAMP),
              u"High PEQ Gain: -12 to 6 dB");
    // Every field the form edits has a name, and its text shows its own bounds.
    for (const SFieldRule* p = CFieldRules::Begin(); p != CFieldRules::Begin() + CFieldRules::Count(); ++p)
        for (const int nMode : {MODE_BIAMP, MODE_TRIAMP}) {
            const std::u16string text = CFieldStatusText::RangeText(*p, nMode);
            const CFieldRules::SRange r = CFieldRules::GetRange(*p, nMode);
            EXPECT_EQ(text.rfind(CFieldStatusText::Name(p->eField) + u": ", 0), 0u) << p->nId;
            EXPECT_NE(text.find(CFieldStatusText::Number(r.fltMin) + u" to " + CFieldStatusText::Number(r.fltMax)),
                      std::u16string::npos)
                << p->nId;
        }
}
