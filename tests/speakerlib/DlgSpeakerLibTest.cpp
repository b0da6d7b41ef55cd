// The Speaker Library dialog run from the editor form's speaker button, with
// the simulated unit attached through the real queue: what the list offers,
// what reaches the unit on OK and Cancel, and what a missing file or a
// harmful preset does.  Each library is written next to this test program,
// where the dialog looks for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "model/ParameterMap.h"
#include "speakerlib/DlgSpeakerLib.h"
#include "tests/editor/DialogScript.h"
#include "tests/editor/FormDriver.h"

namespace {

constexpr wchar_t TITLE[] = L"Speaker Library";
constexpr BYTE FENCE_PARAMETER = 10; // the driver's fence: a GET of an unused parameter

const char16_t kLibrary[] =
    u"; test library\r\n"
    u"[Two A]\r\nBands=2\r\nLBLP=1200\r\nHBHP=1200\r\nHPF=30\r\nHPQ=2\r\nHBG=-6\r\n"
    u"[Three A]\r\nBands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1400\r\nHBHP=1400\r\nHPF=35\r\nHPQ=0.707\r\n"
    u"[Two B]\r\nLBLP=900\r\nHBHP=900\r\nHPF=35\r\nHPQ=0.707\r\nLBG=-2\r\nHBG=-8\r\nLBPF=2000\r\n"
    u"[Three B]\r\nBands=3\r\nLBLP=250\r\nMBHP=250\r\nMBLP=1250\r\nHBHP=1250\r\nHPF=25\r\nHPQ=2\r\n"
    u"LBG=-2\r\nMBG=-4\r\nHBG=-9\r\nMBD=0.5\r\nLBPF=60\r\nLBPG=-2\r\nLBPQ=2\r\nHEF=12000\r\nHEG=2\r\n"
    u"[No HF Crossover]\r\nBands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1400\r\nHPF=35\r\nHPQ=0.707\r\n";

// What "Three B" sets, by parameter of channels 0..4, where it differs from a
// default channel (HBPF is missing: the library's 4000 Hz replaces the
// record's 3000 Hz).
const std::map<int, float> kThreeBParameters = {
    {23, 250.0f}, {14, 250.0f}, {15, 1250.0f}, {2, 1250.0f},  {0, 25.0f}, {1, 2.0f}, {20, 0.5f},
    {24, 60.0f},  {26, -2.0f},  {25, 2.0f},    {6, 12000.0f}, {7, 2.0f},  {3, 4000.0f},
};

std::wstring LibraryPath() { return CDlgSpeakerLib::LibraryPath(CDlgSpeakerLib::DATABASE_DEFAULT); }

void WriteLibrary(const char16_t* pszText)
{
    FILE* f = _wfopen(LibraryPath().c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    const unsigned char bom[2] = {0xFF, 0xFE};
    std::fwrite(bom, 1, 2, f);
    std::fwrite(pszText, sizeof(char16_t), std::char_traits<char16_t>::length(pszText), f);
    std::fclose(f);
}

// The list's items as (text, image).
std::vector<std::pair<std::wstring, int>> ListItems(HWND hDlg)
{
    HWND hList = ::GetDlgItem(hDlg, IDC_LIB_LIST);
    std::vector<std::pair<std::wstring, int>> out;
    const int n = static_cast<int>(::SendMessageW(hList, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t sz[80] = {};
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT | CBEIF_IMAGE;
        item.iItem = i;
        item.pszText = sz;
        item.cchTextMax = 80;
        ::SendMessageW(hList, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        out.emplace_back(sz, item.iImage);
    }
    return out;
}

int Selected(HWND hDlg) { return static_cast<int>(::SendDlgItemMessageW(hDlg, IDC_LIB_LIST, CB_GETCURSEL, 0, 0)); }

// Picks an item as the list reports a completed choice.
void Choose(HWND hDlg, int nItem)
{
    HWND hList = ::GetDlgItem(hDlg, IDC_LIB_LIST);
    ::SendMessageW(hList, CB_SETCURSEL, static_cast<WPARAM>(nItem), 0);
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LIB_LIST, CBN_SELENDOK), reinterpret_cast<LPARAM>(hList));
}

// A text of the unit's text memory: section 1..9 of its directory.
std::u16string UnitText(const CSimUnit& unit, int nSection)
{
    const auto word = [&](std::uint32_t a) { return unit.ReadMemory(a).value_or(CSimUnit::ERASED); };
    const std::uint32_t dwAddress = word(CSimUnit::TEXT_BASE + 4u * static_cast<unsigned>(2 * nSection - 1));
    const std::uint32_t dwLength = word(CSimUnit::TEXT_BASE + 4u * static_cast<unsigned>(2 * nSection));
    std::u16string s;
    for (std::uint32_t k = 0; k < dwLength && k < 256; ++k) {
        const std::uint32_t w = word(dwAddress + 4 * (k / 2));
        s.push_back(static_cast<char16_t>(k % 2 ? w >> 16 : w & 0xFFFF));
    }
    return s;
}

class SpeakerLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteLibrary(kLibrary);
        ASSERT_TRUE(m_d.Create());
        ASSERT_TRUE(m_d.Connect());
        m_d.Click(IDC_CH_LEFT);
        ASSERT_TRUE(m_d.Checked(IDC_CH_LEFT));
        ASSERT_TRUE(m_d.Drain());
        m_d.Unit().ClearLog();
    }
    void TearDown() override { ::DeleteFileW(LibraryPath().c_str()); }

    // Clicks the speaker button and runs the script in the dialog.
    void RunDialog(std::function<void(HWND)> fn)
    {
        CDialogScript::Arm(TITLE, std::move(fn));
        m_d.Click(IDC_SPEAKER);
        ASSERT_TRUE(m_d.WaitFor([] { return CDialogScript::Ran(); }));
        m_d.Pump(30);
    }
    // After a fence, the unit received nothing but the fence.
    void ExpectNothingSent()
    {
        ASSERT_TRUE(m_d.Drain());
        for (const SUnitRequest& r : UnitRequests(m_d.Unit()))
            EXPECT_TRUE(r.bType == 'G' && r.nParameter == FENCE_PARAMETER)
                << "type " << int(r.bType) << " channel " << r.nChannel << " parameter " << r.nParameter
                << " command " << r.nCommand;
    }
    CChannelConfig& Record(int c) { return m_d.Form().Configuration().Record(c); }

    CFormDriver m_d;
};

TEST_F(SpeakerLibrary, AThreeBandPresetReachesExactlyTheTickedChannels)
{
    RunDialog([](HWND hDlg) {
        const auto items = ListItems(hDlg);
        // Only the three-band presets, in file order, with the three-band mark.
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(items[0].first, L"Three A");
        EXPECT_EQ(items[1].first, L"Three B");
        EXPECT_EQ(items[2].first, L"No HF Crossover");
        for (const auto& item : items)
            EXPECT_EQ(item.second, 1);
        EXPECT_EQ(Selected(hDlg), 0); // "DEFAULT Triamp" is no item: the first one
        EXPECT_TRUE(CDialogScript::Checked(hDlg, IDC_LIB_LEFT));
        for (int id : {IDC_LIB_LEFT_CENTER, IDC_LIB_CENTER, IDC_LIB_RIGHT_CENTER, IDC_LIB_RIGHT}) {
            EXPECT_FALSE(CDialogScript::Checked(hDlg, id)) << id;
            EXPECT_TRUE(CDialogScript::Enabled(hDlg, id)) << id;
        }
        EXPECT_TRUE(CDialogScript::Checked(hDlg, IDC_LIB_DEFAULT));
        EXPECT_FALSE(CDialogScript::Enabled(hDlg, IDC_LIB_CUSTOM));
        Choose(hDlg, 1);
        CDialogScript::Click(hDlg, IDC_LIB_CENTER);
        CDialogScript::Click(hDlg, IDC_LIB_RIGHT);
        CDialogScript::Click(hDlg, IDOK);
    });
    ASSERT_TRUE(m_d.Drain());

    CSimUnit& u = m_d.Unit();
    const int targets[] = {CHANNEL_LEFT, CHANNEL_CENTER, CHANNEL_RIGHT};
    auto isTarget = [&](int c) { return c == CHANNEL_LEFT || c == CHANNEL_CENTER || c == CHANNEL_RIGHT; };
    // Every write went to a ticked channel and carried the preset's value.
    int nSets = 0, nOutputs = 0;
    for (const SUnitRequest& r : UnitRequests(u)) {
        if (r.bType == 'S') {
            ++nSets;
            EXPECT_TRUE(isTarget(r.nChannel)) << "SET to channel " << r.nChannel;
            const auto it = kThreeBParameters.find(r.nParameter);
            ASSERT_NE(it, kThreeBParameters.end()) << "parameter " << r.nParameter;
            EXPECT_EQ(r.Value(), it->second) << "parameter " << r.nParameter;
        } else if (r.bType == 0x25 && r.nCommand == CMD_WRITE_OUTPUT) {
            ++nOutputs;
            int c = -1;
            EBand band = BAND_LOW;
            ASSERT_TRUE(OutputToBand(r.dwUWord, MODE_TRIAMP, &c, &band));
            EXPECT_TRUE(isTarget(c)) << "output of channel " << c;
        } else {
            // Only the fence and the text memory (erase 6, word writes 4) besides.
            EXPECT_TRUE((r.bType == 'G' && r.nParameter == FENCE_PARAMETER) ||
                        (r.bType == 0x25 && (r.nCommand == 4 || r.nCommand == 6)))
                << "type " << int(r.bType) << " command " << r.nCommand;
        }
    }
    EXPECT_EQ(nSets, 3 * static_cast<int>(kThreeBParameters.size()));
    EXPECT_EQ(nOutputs, 9); // Low, Mid and High of each: the preset's gains differ from the defaults
    for (int c : targets) {
        for (const auto& [p, v] : kThreeBParameters)
            EXPECT_EQ(u.GetParameterFloat(c, p), v) << "channel " << c << " parameter " << p;
        std::uint32_t a = 0;
        ASSERT_TRUE(FindOutputAddress(c, BAND_LOW, false, &a));
        EXPECT_EQ(u.GetOutputFloat(a & 0xFF, a >> 8), -2.0f - 8.0f);
        ASSERT_TRUE(FindOutputAddress(c, BAND_MID, false, &a));
        EXPECT_EQ(u.GetOutputFloat(a & 0xFF, a >> 8), -4.0f - 8.0f);
        ASSERT_TRUE(FindOutputAddress(c, BAND_HIGH, false, &a));
        EXPECT_EQ(u.GetOutputFloat(a & 0xFF, a >> 8), -9.0f - 8.0f);
        EXPECT_EQ(std::u16string(Record(c).GetSpeakerNameRaw()), u"Three B");
    }
    EXPECT_EQ(std::u16string(Record(CHANNEL_LEFT_CENTER).GetSpeakerNameRaw()), u"DEFAULT Triamp");
    // The editor shows Left with the preset.
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"Three B");
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"250");
    EXPECT_EQ(m_d.Text(IDC_MID_DELAY), L"0.5000");
    EXPECT_EQ(m_d.Form().GetPlot().GetHighGain(), -9.0f);
}

// Needs the text memory's writes (the profile and speaker names in the unit).
TEST_F(SpeakerLibrary, TheUnitsTextMemoryThenHoldsTheNewSpeakerNames)
{
    RunDialog([](HWND hDlg) {
        Choose(hDlg, 1);
        CDialogScript::Click(hDlg, IDC_LIB_CENTER);
        CDialogScript::Click(hDlg, IDC_LIB_RIGHT);
        CDialogScript::Click(hDlg, IDOK);
    });
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Unit().ReadMemory(CSimUnit::TEXT_BASE).value_or(0), 1u);
    EXPECT_EQ(UnitText(m_d.Unit(), 5), u"Three B"); // Left
    EXPECT_EQ(UnitText(m_d.Unit(), 6), u"Three B"); // Right
    EXPECT_EQ(UnitText(m_d.Unit(), 7), u"Three B"); // Center
    EXPECT_EQ(UnitText(m_d.Unit(), 8), u"DEFAULT Triamp");
}

TEST_F(SpeakerLibrary, AHarmfulPresetCannotBeChosenAndCancelSendsNothing)
{
    m_d.Form().GetPlot().SetSpeakerName(u"three b"); // the channel's own speaker is preselected
    m_d.Form().UpdateControls();
    bool bStillOpen = false;
    RunDialog([&](HWND hDlg) {
        EXPECT_EQ(Selected(hDlg), 1);
        EXPECT_TRUE(CDialogScript::Enabled(hDlg, IDOK));
        EXPECT_EQ(CDialogScript::Text(hDlg, IDC_LIB_NOTE), L"");
        Choose(hDlg, 2);
        EXPECT_EQ(CDialogScript::Text(hDlg, IDC_LIB_NOTE), L"\"No HF Crossover\" cannot be used: HBHP is missing.");
        EXPECT_FALSE(CDialogScript::Enabled(hDlg, IDOK));
        CDialogScript::Click(hDlg, IDC_LIB_RIGHT);
        CDialogScript::Click(hDlg, IDOK);                    // disabled: nothing happens
        ::SendMessageW(hDlg, WM_COMMAND, IDOK, 0);           // nor by the Enter key's command
        bStillOpen = ::IsWindowVisible(hDlg) != FALSE;
        Choose(hDlg, 0);
        EXPECT_TRUE(CDialogScript::Enabled(hDlg, IDOK));
        EXPECT_EQ(CDialogScript::Text(hDlg, IDC_LIB_NOTE), L"");
        CDialogScript::Click(hDlg, IDCANCEL);
    });
    EXPECT_TRUE(bStillOpen);
    ExpectNothingSent();
    EXPECT_EQ(Record(CHANNEL_RIGHT).GetHighHPFreq(), 2500.0f);
    EXPECT_EQ(std::u16string(Record(CHANNEL_RIGHT).GetSpeakerNameRaw()), u"DEFAULT Triamp");
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"three b");
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"200");
}

TEST_F(SpeakerLibrary, InBiampOnlyTwoBandPresetsAreListedAndTheCentersFollowTheUnit)
{
    // Biamp as the mode change makes it (the shown channel goes through the set).
    CConfigurationSet& config = m_d.Form().Configuration();
    config.StoreShown();
    ApplyMode(config.Records(), config.Shown(), MODE_BIAMP, false);
    config.LoadShown();
    SetSystemFlags(SYSFLAG_BIAMP | SYSFLAG_NO_LCR, false);
    m_d.Form().UpdateControls();
    RunDialog([](HWND hDlg) {
        const auto items = ListItems(hDlg);
        ASSERT_EQ(items.size(), 2u); // "Two B" has no Bands key: two-band
        EXPECT_EQ(items[0].first, L"Two A");
        EXPECT_EQ(items[1].first, L"Two B");
        EXPECT_EQ(items[0].second, 0);
        EXPECT_EQ(items[1].second, 0);
        EXPECT_FALSE(CDialogScript::Enabled(hDlg, IDC_LIB_LEFT_CENTER));
        EXPECT_FALSE(CDialogScript::Enabled(hDlg, IDC_LIB_RIGHT_CENTER));
        EXPECT_TRUE(CDialogScript::Enabled(hDlg, IDC_LIB_CENTER));
        Choose(hDlg, 1);
        CDialogScript::Click(hDlg, IDC_LIB_LEFT); // untick the channel on show
        CDialogScript::Click(hDlg, IDC_LIB_RIGHT);
        CDialogScript::Click(hDlg, IDOK);
    });
    ASSERT_TRUE(m_d.Drain());
    CSimUnit& u = m_d.Unit();
    EXPECT_EQ(u.GetParameterFloat(CHANNEL_RIGHT, 23), 900.0f);
    EXPECT_EQ(u.GetParameterFloat(CHANNEL_RIGHT, 24), 2000.0f); // Low PEQ up to 4000 Hz in Biamp
    EXPECT_EQ(u.GetOutputFloat(0, 1), -2.0f - 8.0f);            // Right Low on its Biamp output
    for (int p = 0; p < 32; ++p)
        EXPECT_EQ(u.CountSets(CHANNEL_LEFT, p), 0u) << p;
    EXPECT_EQ(u.CountSets(CHANNEL_RIGHT, 14), 0u); // the Mid band stays as the mode made it
    EXPECT_EQ(std::u16string(Record(CHANNEL_RIGHT).GetSpeakerNameRaw()), u"Two B");
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"DEFAULT Triamp"); // Left unchanged
}

TEST_F(SpeakerLibrary, AMissingLibraryListsNothingSaysWhichFileAndOkChangesNothing)
{
    ::DeleteFileW(LibraryPath().c_str());
    std::wstring note, path;
    RunDialog([&](HWND hDlg) {
        EXPECT_TRUE(ListItems(hDlg).empty());
        note = CDialogScript::Text(hDlg, IDC_LIB_NOTE);
        path = CDialogScript::Text(hDlg, IDC_LIB_PATH);
        EXPECT_TRUE(CDialogScript::Enabled(hDlg, IDOK));
        CDialogScript::Click(hDlg, IDC_LIB_RIGHT);
        CDialogScript::Click(hDlg, IDOK);
    });
    EXPECT_EQ(note, L"speakerlib.ini was not found in the program's folder: no presets to choose from.");
    EXPECT_EQ(path, L"Library: " + LibraryPath());
    ExpectNothingSent();
    EXPECT_EQ(std::u16string(Record(CHANNEL_RIGHT).GetSpeakerNameRaw()), u"DEFAULT Triamp");
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"DEFAULT Triamp");

    // A file in another encoding says so.
    FILE* f = _wfopen(LibraryPath().c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fputs("[Three A]\r\nBands=3\r\n", f);
    std::fclose(f);
    RunDialog([&](HWND hDlg) {
        EXPECT_TRUE(ListItems(hDlg).empty());
        note = CDialogScript::Text(hDlg, IDC_LIB_NOTE);
        CDialogScript::Click(hDlg, IDCANCEL);
    });
    EXPECT_EQ(note, L"speakerlib.ini is not a UTF-16 text file: no presets to choose from.");
}

} // namespace
