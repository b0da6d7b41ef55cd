// Copy Channel from the editor form, with the simulated unit attached
// through the real queue: what reaches the unit, what the editor shows
// afterwards, and which rows the unit's outputs allow.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "editor/DlgCopyChannel.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"
#include "tests/editor/DialogScript.h"
#include "tests/editor/FormDriver.h"

namespace {

constexpr wchar_t TITLE[] = L"Copy Channel";
constexpr BYTE FENCE_PARAMETER = 10;

class CopyChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_d.Create());
        ASSERT_TRUE(m_d.Connect());
    }
    void Run(std::function<void(HWND)> fn)
    {
        ASSERT_TRUE(m_d.Drain());
        m_d.Unit().ClearLog();
        CDialogScript::Arm(TITLE, std::move(fn));
        ::SendMessageW(m_d.FormWnd(), WM_COMMAND, ID_COPY_CHANNEL, 0); // as the frame forwards it
        ASSERT_TRUE(CDialogScript::Ran());
        ASSERT_TRUE(m_d.Drain());
    }
    CChannelConfig& Record(int c) { return m_d.Form().Configuration().Record(c); }

    // (channel, parameter) of every SET and (channel, band) of every output
    // write the unit received; anything else but the fence and the text
    // memory fails.
    void Received(std::set<std::pair<int, int>>& sets, std::set<std::pair<int, int>>& outputs)
    {
        for (const SUnitRequest& r : UnitRequests(m_d.Unit())) {
            if (r.bType == 'S') {
                sets.emplace(r.nChannel, r.nParameter);
            } else if (r.bType == 0x25 && r.nCommand == CMD_WRITE_OUTPUT) {
                int c = -1;
                EBand band = BAND_LOW;
                ASSERT_TRUE(OutputToBand(r.dwUWord, MODE_TRIAMP, &c, &band));
                outputs.emplace(c, band);
            } else {
                EXPECT_TRUE((r.bType == 'G' && r.nParameter == FENCE_PARAMETER) ||
                            (r.bType == 0x25 && (r.nCommand == 4 || r.nCommand == 6)))
                    << "type " << int(r.bType) << " command " << r.nCommand;
            }
        }
    }

    // A text of the unit's text memory as its directory describes it (section
    // 5 + c is channel c's speaker name).
    std::u16string UnitText(int nSection)
    {
        CSimUnit& u = m_d.Unit();
        const auto word = [&](std::uint32_t a) { return u.ReadMemory(a).value_or(0xFFFFFFFFu); };
        const std::uint32_t dwStart = word(TEXT_MEMORY_START + 4u * TextSectionStartWord(nSection));
        const std::uint32_t dwLength = word(TEXT_MEMORY_START + 4u * TextSectionLengthWord(nSection));
        std::u16string text;
        for (std::uint32_t i = 0; i < dwLength && i < TEXT_SECTION_MAX_UNITS; ++i) {
            const std::uint32_t w = word(dwStart + 4u * (i / 2));
            text.push_back(static_cast<char16_t>(i % 2 ? w >> 16 : w & 0xFFFFu));
        }
        while (!text.empty() && text.back() == u'\0')
            text.pop_back();
        return text;
    }

    CFormDriver m_d;
};

TEST_F(CopyChannel, LeftToRightAndRightCenterSendsTheDifferencesAndTheForcedGains)
{
    // Left: a speaker of its own, a lower crossover, a High gain and a muted Low band.
    Record(CHANNEL_LEFT).SetSpeakerName(u"Model L");
    Record(CHANNEL_LEFT).SetLowLPFreq(500.0f, false);
    Record(CHANNEL_LEFT).SetHighGain(-3.0f, false, false);
    Record(CHANNEL_LEFT).SetLowFlags(BAND_FLAG_MUTE, false);
    // Right already has Left's crossover but another High HP.
    Record(CHANNEL_RIGHT).SetLowLPFreq(500.0f, false);
    Record(CHANNEL_RIGHT).SetHighHPFreq(3000.0f, false);

    Run([](HWND hDlg) {
        EXPECT_TRUE(CDialogScript::Checked(hDlg, IDC_COPY_FROM_CENTER)); // the channel on show
        for (int id : {IDC_COPY_TO_LEFT, IDC_COPY_TO_LEFT_CENTER, IDC_COPY_TO_CENTER, IDC_COPY_TO_RIGHT_CENTER,
                       IDC_COPY_TO_RIGHT}) {
            EXPECT_FALSE(CDialogScript::Checked(hDlg, id)) << id;
            EXPECT_TRUE(CDialogScript::Enabled(hDlg, id)) << id;
        }
        CDialogScript::Click(hDlg, IDC_COPY_FROM_LEFT);
        CDialogScript::Click(hDlg, IDC_COPY_TO_RIGHT);
        CDialogScript::Click(hDlg, IDC_COPY_TO_RIGHT_CENTER);
        CDialogScript::Click(hDlg, IDOK);
    });
    std::set<std::pair<int, int>> sets, outputs;
    Received(sets, outputs);
    const std::set<std::pair<int, int>> expectedSets = {
        {CHANNEL_RIGHT, 2}, {CHANNEL_RIGHT, 30},                    // High HP back to 2500, Low flags
        {CHANNEL_RIGHT_CENTER, 23}, {CHANNEL_RIGHT_CENTER, 30}};    // Low LP 500, Low flags
    EXPECT_EQ(sets, expectedSets);
    const std::set<std::pair<int, int>> expectedOutputs = {
        {CHANNEL_RIGHT, BAND_LOW}, {CHANNEL_RIGHT, BAND_MID}, {CHANNEL_RIGHT, BAND_HIGH},
        {CHANNEL_RIGHT_CENTER, BAND_LOW}, {CHANNEL_RIGHT_CENTER, BAND_MID}, {CHANNEL_RIGHT_CENTER, BAND_HIGH}};
    EXPECT_EQ(outputs, expectedOutputs);
    CSimUnit& u = m_d.Unit();
    EXPECT_EQ(u.GetParameterFloat(CHANNEL_RIGHT, 2), 2500.0f);
    EXPECT_EQ(u.GetParameter(CHANNEL_RIGHT_CENTER, 30), BAND_FLAG_MUTE);
    EXPECT_EQ(u.GetParameterFloat(CHANNEL_RIGHT_CENTER, 23), 500.0f);
    EXPECT_EQ(u.GetOutputFloat(0, 3), -3.0f - 8.0f); // Right High
    EXPECT_EQ(u.GetOutputFloat(3, 3), -3.0f - 8.0f); // Right Center High

    // The unit's text memory names Left's speaker for the two copies too.
    EXPECT_EQ(UnitText(TEXT_FIRST_NAME_SECTION + CHANNEL_LEFT), u"Model L");
    EXPECT_EQ(UnitText(TEXT_FIRST_NAME_SECTION + CHANNEL_RIGHT), u"Model L");
    EXPECT_EQ(UnitText(TEXT_FIRST_NAME_SECTION + CHANNEL_RIGHT_CENTER), u"Model L");
    EXPECT_EQ(UnitText(TEXT_FIRST_NAME_SECTION + CHANNEL_CENTER), u"DEFAULT Triamp");
    EXPECT_EQ(UnitText(TEXT_FIRST_NAME_SECTION + CHANNEL_LEFT_CENTER), u"DEFAULT Triamp");

    // Right now shows Left's speaker.
    m_d.Click(IDC_CH_RIGHT);
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"Model L");
    EXPECT_EQ(m_d.Text(IDC_HIGH_GAIN), L"-3.0");
    EXPECT_TRUE(m_d.Checked(IDC_LOW_MUTE));
}

TEST_F(CopyChannel, WithoutCenterOutputsTheirRowsAreOffAndTheSubwooferStartsFromCenter)
{
    SetSystemFlags(SYSFLAG_NO_LCR, false);
    m_d.Click(IDC_CH_SUBWOOFER);
    Record(CHANNEL_CENTER).SetLowLPFreq(700.0f, false);
    const CChannelConfig before = Record(CHANNEL_LEFT);
    Run([](HWND hDlg) {
        EXPECT_TRUE(CDialogScript::Checked(hDlg, IDC_COPY_FROM_CENTER));
        for (int id : {IDC_COPY_FROM_LEFT_CENTER, IDC_COPY_FROM_RIGHT_CENTER, IDC_COPY_TO_LEFT_CENTER,
                       IDC_COPY_TO_RIGHT_CENTER})
            EXPECT_FALSE(CDialogScript::Enabled(hDlg, id)) << id;
        for (int id : {IDC_COPY_FROM_LEFT, IDC_COPY_FROM_CENTER, IDC_COPY_FROM_RIGHT, IDC_COPY_TO_LEFT,
                       IDC_COPY_TO_CENTER, IDC_COPY_TO_RIGHT})
            EXPECT_TRUE(CDialogScript::Enabled(hDlg, id)) << id;
        CDialogScript::Click(hDlg, IDC_COPY_TO_LEFT);
        CDialogScript::Click(hDlg, IDCANCEL);
    });
    // Cancel: after the fence the unit has received nothing else.
    for (const SUnitRequest& r : UnitRequests(m_d.Unit()))
        EXPECT_TRUE(r.bType == 'G' && r.nParameter == FENCE_PARAMETER) << int(r.bType) << " " << r.nCommand;
    EXPECT_EQ(Record(CHANNEL_LEFT).GetLowLPFreq(), before.GetLowLPFreq());
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"500"); // the Subwoofer still on show

    // A shown Left Center cannot be the source either.
    SetSystemFlags(0, false);
    m_d.Click(IDC_CH_LEFT_CENTER);
    SetSystemFlags(SYSFLAG_NO_LCR, false);
    Run([](HWND hDlg) {
        EXPECT_TRUE(CDialogScript::Checked(hDlg, IDC_COPY_FROM_CENTER));
        EXPECT_FALSE(CDialogScript::Checked(hDlg, IDC_COPY_FROM_LEFT_CENTER));
        CDialogScript::Click(hDlg, IDCANCEL);
    });
}

TEST_F(CopyChannel, CopyingOntoTheShownChannelRefreshesTheEditorAndTheSourceGetsOnlyForcedGains)
{
    m_d.Click(IDC_CH_RIGHT);
    Record(CHANNEL_LEFT).SetLowLPFreq(700.0f, false);
    Record(CHANNEL_LEFT).SetSpeakerName(u"Model L");
    Run([](HWND hDlg) {
        EXPECT_TRUE(CDialogScript::Checked(hDlg, IDC_COPY_FROM_RIGHT));
        CDialogScript::Click(hDlg, IDC_COPY_FROM_LEFT);
        CDialogScript::Click(hDlg, IDC_COPY_TO_LEFT); // the source itself
        CDialogScript::Click(hDlg, IDC_COPY_TO_RIGHT);
        CDialogScript::Click(hDlg, IDOK);
    });
    std::set<std::pair<int, int>> sets, outputs;
    Received(sets, outputs);
    const std::set<std::pair<int, int>> expectedSets = {{CHANNEL_RIGHT, 23}};
    EXPECT_EQ(sets, expectedSets);
    EXPECT_EQ(outputs.count({CHANNEL_LEFT, BAND_LOW}) + outputs.count({CHANNEL_LEFT, BAND_MID}) +
                  outputs.count({CHANNEL_LEFT, BAND_HIGH}),
              3u);
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"700");
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"Model L");
    EXPECT_EQ(m_d.Form().GetPlot().GetLowLPFreq(), 700.0f);
}

TEST_F(CopyChannel, EditsOfTheShownChannelAreCopiedToo)
{
    m_d.Click(IDC_CH_LEFT);
    m_d.Form().GetPlot().SetHighHPFreq(3300.0f, true); // as an edit in the form does
    Run([](HWND hDlg) {
        CDialogScript::Click(hDlg, IDC_COPY_TO_CENTER);
        CDialogScript::Click(hDlg, IDOK);
    });
    EXPECT_EQ(m_d.Unit().GetParameterFloat(CHANNEL_CENTER, 2), 3300.0f);
    EXPECT_EQ(Record(CHANNEL_CENTER).GetHighHPFreq(), 3300.0f);
}

// The sibling program may show another channel while the dialog is open:
// afterwards the screen shows that channel's own values, and the channel
// left keeps its edits.
TEST_F(CopyChannel, ASiblingChannelChangeWhileTheDialogIsOpenShowsTheNewChannelsValuesAfter)
{
    m_d.Click(IDC_CH_LEFT);
    m_d.Form().GetPlot().SetLevel(-6.0f, true); // an edit of Left, not in its entry yet
    Run([&](HWND hDlg) {
        ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, 4, 0); // the sibling's Subwoofer
        CDialogScript::Click(hDlg, IDC_COPY_TO_CENTER);
        CDialogScript::Click(hDlg, IDOK);
    });
    const CConfigurationSet& config = m_d.Form().Configuration();
    ASSERT_EQ(config.ShownChannel(), CHANNEL_SUBWOOFER);
    EXPECT_EQ(config.Shown().GetLevel(), Record(CHANNEL_SUBWOOFER).GetLevel());
    EXPECT_EQ(config.Shown().GetLowLPFreq(), Record(CHANNEL_SUBWOOFER).GetLowLPFreq());
    EXPECT_EQ(m_d.Text(IDC_LEVEL_TEXT), L"0.0");
    EXPECT_EQ(Record(CHANNEL_LEFT).GetLevel(), -6.0f);
    EXPECT_EQ(Record(CHANNEL_CENTER).GetLevel(), -6.0f);
    EXPECT_EQ(m_d.Unit().GetParameterFloat(CHANNEL_CENTER, 31), -6.0f);
}

// Needs the text memory's writes: Copy >> with no target still writes the profile block.
TEST_F(CopyChannel, CopyWithNoTargetStillWritesTheTextMemory)
{
    Run([](HWND hDlg) { CDialogScript::Click(hDlg, IDOK); });
    std::set<std::pair<int, int>> sets, outputs;
    Received(sets, outputs);
    EXPECT_TRUE(sets.empty());
    EXPECT_TRUE(outputs.empty());
    EXPECT_EQ(m_d.Unit().CountCommands(6), 1u); // the erase before the texts
    EXPECT_EQ(m_d.Unit().ReadMemory(CSimUnit::TEXT_BASE).value_or(0), 1u);
}

} // namespace
