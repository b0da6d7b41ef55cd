// The read-back of a unit into the editor form, in this process with the
// simulated unit behind the real queue and notification pipe: every
// parameter, output gain, profile text and speaker name the unit holds
// reaches the channel set and the screen, nothing is written back meanwhile,
// and a text directory the unit got wrong never stops the read-back.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>
#include <string>

#include "device/Comm.h"
#include "model/ChannelFields.h"
#include "model/FieldRanges.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"
#include "model/UnitMismatch.h"
#include "framework/Handles.h"
#include "tests/editor/FormDriver.h"

namespace {

constexpr std::uint32_t UNIT_FLAGS = 0x00A50000;

// A value for field f of channel c inside the editor's range (distinct per channel).
float RangeValue(EChannelField f, int c, int nMode)
{
    CFieldRanges::SRange r{};
    if (!CFieldRanges::Get(f, nMode, r))
        return -0.5f * static_cast<float>(c + 1); // the level
    const float t = 0.15f + 0.12f * static_cast<float>(c) + 0.01f * static_cast<float>(f % 5);
    return std::round((r.fltMin + (r.fltMax - r.fltMin) * t) * 2.0f) / 2.0f;
}

// The unit's state for the test, and what the program should read from it.
class CUnitSetUp {
public:
    explicit CUnitSetUp(CSimUnit& unit, int nMode) : m_unit(unit), m_nMode(nMode)
    {
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            for (int f = 0; f < FIELD_COUNT; ++f) {
                const auto field = static_cast<EChannelField>(f);
                const int p = ParameterForField(field, c);
                if (p == PARAMETER_NONE)
                    continue;
                std::uint32_t bits;
                if (GetChannelFieldInfo(field).bFlags)
                    bits = (c & 1 ? BAND_FLAG_MUTE : 0) | (c & 2 ? BAND_FLAG_INVERT : 0) | 0x100u * (f + 1);
                else
                    bits = FloatToBits(RangeValue(field, c, nMode));
                unit.SetParameter(c, p, bits);
            }
        }
        // Output gains in half-decibel steps, as the level trackbar sets them.
        for (const OutputRow& row : kOutputRows) {
            const OutputUse& use = nMode == MODE_BIAMP && row.biamp.nChannel >= 0 ? row.biamp : row.triamp;
            if (use.nChannel < 0)
                continue;
            const float fltLevel = BitsToFloat(unit.GetParameter(use.nChannel, 31));
            const float fltGain = -3.0f + 0.5f * static_cast<float>(row.nBank * 4 + row.nIndex);
            unit.SetOutputFloat(row.nBank, row.nIndex, OutputGainValue(fltGain, fltLevel));
        }
    }

    // The band gain the program shows for an output value (the queue's
    // conversion: tenths cut toward zero, plus 8, minus the level).
    static float ShownGain(float fltOutput, float fltLevel)
    {
        const float fltTenths = fltOutput * 10.0f;
        const float fltShown = static_cast<float>(std::trunc(static_cast<double>(fltTenths)) * 0.1) + 8.0f;
        return fltShown - fltLevel;
    }

    // Checks one channel record against the unit.
    void Expect(const CChannelConfig& cfg, int c, const CChannelConfig& before) const
    {
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto field = static_cast<EChannelField>(f);
            const bool bMid = field >= FIELD_MID_HP_FREQ && field <= FIELD_MID_FLAGS;
            const int p = ParameterForField(field, c);
            // The Subwoofer's reads are its own four parameters.
            const bool bRead = p != PARAMETER_NONE && FieldForParameter(c, p) == field;
            if (bRead && !(bMid && m_nMode == MODE_BIAMP)) {
                EXPECT_EQ(GetChannelFieldBits(cfg, field), m_unit.GetParameter(c, p))
                    << "channel " << c << " " << GetChannelFieldInfo(field).pszName;
            } else if (ParameterForField(field, 0) != PARAMETER_NONE) {
                // Not read (Mid in Biamp, the Subwoofer's missing fields): kept.
                EXPECT_EQ(GetChannelFieldBits(cfg, field), GetChannelFieldBits(before, field))
                    << "channel " << c << " " << GetChannelFieldInfo(field).pszName;
            }
        }
        for (EBand band : {BAND_LOW, BAND_MID, BAND_HIGH}) {
            std::uint32_t dwAddress = 0;
            const EChannelField field = band == BAND_LOW ? FIELD_LOW_GAIN : band == BAND_MID ? FIELD_MID_GAIN
                                                                                            : FIELD_HIGH_GAIN;
            if (!FindOutputAddress(c, band, m_nMode == MODE_BIAMP, &dwAddress))
                continue;
            const float fltOut = m_unit.GetOutputFloat(dwAddress & 0xFF, (dwAddress >> 8) & 0xFF);
            EXPECT_EQ(GetChannelFieldFloat(cfg, field), ShownGain(fltOut, cfg.GetLevel()))
                << "channel " << c << " band " << band;
        }
    }

private:
    CSimUnit& m_unit;
    int m_nMode;
};

void StoreTexts(CSimUnit& unit, const CTextMemory::STexts& texts)
{
    STextMemoryImage image;
    CTextMemory::Build(texts, image);
    for (int i = 0; i < TEXT_DIRECTORY_WORDS; ++i)
        unit.PokeMemory(TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(i), image.adwDirectory[i]);
    std::uint32_t a = TEXT_AREA_START;
    for (std::uint32_t w : image.adwText) {
        unit.PokeMemory(a, w);
        a += 4;
    }
}

CTextMemory::STexts Texts(std::initializer_list<std::u16string> list)
{
    CTextMemory::STexts t;
    int i = 0;
    for (const auto& s : list) {
        std::copy(s.begin(), s.end(), t.aszText[i]);
        ++i;
    }
    return t;
}

const CTextMemory::STexts kTexts = Texts({u"Odeon Refit", u"Grand Theatre", u"7", u"Two-way\r\nchecked",
                                          u"Left Main", u"Right", u"Centre Cluster \u00e9", u"LC-1", u"RC"});

class ReadBack : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_d.Create()); }
    void TearDown() override { g_Comm.Close(); }

    // What the main frame does on connection: open the link, take the unit's
    // flags, send WM_READ_SETTINGS; then wait for the end-of-read marker.
    bool ConnectAndRead(bool bNoLeftRightCenter = false)
    {
        if (!m_d.Connect())
            return false;
        // Opening the link applies the device list's options to the unit.
        m_d.Unit().SetNoLeftRightCenter(bNoLeftRightCenter);
        SetSystemFlags(m_d.Unit().GetFlags(), false);
        m_d.Unit().ClearLog();
        ::SendMessageW(m_d.FormWnd(), WM_READ_SETTINGS, 0, 0);
        if (!m_d.Form().IsReadingBack() || ::IsWindowEnabled(m_d.FormWnd()))
            return false; // the form takes no input while it is read
        return m_d.WaitFor([&] { return !m_d.Form().IsReadingBack(); }) && m_d.Drain();
    }
    const CChannelConfig& Record(int c) { return m_d.Form().Configuration().Current(c); }
    std::u16string Name(int c) { return Record(c).GetSpeakerNameRaw(); }

    CFormDriver m_d;
};

} // namespace

TEST_F(ReadBack, EveryChannelOutputAndTextInTriampAndBiamp)
{
    for (int nMode : {MODE_TRIAMP, MODE_BIAMP}) {
        SCOPED_TRACE(nMode);
        m_d.Unit().FactoryReset();
        m_d.Unit().SetTiming(ESimTiming::Instant);
        m_d.Unit().SetFlags(UNIT_FLAGS | (nMode == MODE_BIAMP ? SYSFLAG_BIAMP : 0));
        const CUnitSetUp unit(m_d.Unit(), nMode);
        StoreTexts(m_d.Unit(), kTexts);
        // A value typed before connecting is replaced by the unit's.
        m_d.ClearField(IDC_LOW_DELAY);
        m_d.Type("2.5");
        m_d.Settle();
        std::vector<CChannelConfig> before;
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            before.push_back(Record(c));

        ASSERT_TRUE(ConnectAndRead());
        EXPECT_TRUE(::IsWindowEnabled(m_d.FormWnd()));
        EXPECT_EQ(m_d.Form().GetPlot().GetMode(), nMode);
        EXPECT_EQ(m_d.Checked(IDC_BIAMP), nMode == MODE_BIAMP);
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            unit.Expect(Record(c), c, before[static_cast<size_t>(c)]);
        // The screen shows the unit's Center.
        EXPECT_EQ(m_d.Text(IDC_LOW_DELAY), [&] {
            wchar_t sz[32];
            swprintf(sz, 32, L"%.4f", static_cast<double>(BitsToFloat(m_d.Unit().GetParameter(CHANNEL_CENTER, 28))));
            return std::wstring(sz);
        }());
        const CProfileInfo& profile = m_d.Form().Configuration().Profile();
        EXPECT_EQ(std::u16string(profile.Project()), u"Odeon Refit");
        EXPECT_EQ(std::u16string(profile.Theater()), u"Grand Theatre");
        EXPECT_EQ(std::u16string(profile.Screen()), u"7");
        EXPECT_EQ(std::u16string(profile.Comments()), u"Two-way\r\nchecked");
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(Name(c), std::u16string(kTexts.aszText[4 + c])) << c;
        EXPECT_EQ(Name(CHANNEL_SUBWOOFER), u"Subwoofer"); // never stored in the unit
        EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"Centre Cluster \u00e9");
        // Nothing went back to the unit: no SET, no output or memory write.
        const SimStats stats = m_d.Unit().GetStats();
        EXPECT_EQ(stats.nSet, 0u);
        EXPECT_EQ(stats.nRawByCommand[CMD_WRITE_OUTPUT], 0u);
        EXPECT_EQ(stats.nRawByCommand[CMD_WRITE_WORD], 0u);
        EXPECT_EQ(stats.nRawByCommand[CMD_ERASE], 0u);
        // Writing the same texts again sends nothing: the unit holds them.
        m_d.Form().TextMemory().Write();
        ASSERT_TRUE(m_d.Drain());
        EXPECT_EQ(m_d.Unit().GetStats().nRawByCommand[CMD_ERASE], 0u);
        g_Comm.Close();
        m_d.Form().OnLinkClosed();
    }
}

TEST_F(ReadBack, WithoutLeftAndRightCenterTheirChannelsAreNotRead)
{
    ASSERT_TRUE(ConnectAndRead(true));
    for (int p = 0; p < 32; ++p) {
        EXPECT_EQ(m_d.Unit().CountGets(CHANNEL_LEFT_CENTER, p), 0u);
        EXPECT_EQ(m_d.Unit().CountGets(CHANNEL_RIGHT_CENTER, p), 0u);
    }
    EXPECT_EQ(m_d.Unit().CountGets(CHANNEL_RIGHT, 31), 1u);
}

TEST_F(ReadBack, ErasedTextMemoryKeepsTheProgramsProfileAndNames)
{
    m_d.Form().Configuration().Profile().SetTheater(u"Kept");
    m_d.Form().Configuration().Record(CHANNEL_LEFT).SetSpeakerName(u"Kept Left");
    ASSERT_TRUE(ConnectAndRead());
    EXPECT_EQ(std::u16string(m_d.Form().Configuration().Profile().Theater()), u"Kept");
    EXPECT_EQ(std::u16string(m_d.Form().Configuration().Profile().Project()), u"* FACTORY DEFAULTS *");
    EXPECT_EQ(Name(CHANNEL_LEFT), u"Kept Left");
    // Only the directory was read.
    EXPECT_EQ(m_d.Unit().GetStats().nRawByCommand[CMD_READ_WORD], static_cast<std::uint64_t>(TEXT_DIRECTORY_WORDS));
}

// Directories the unit got wrong: the read-back ends, the link stays up (no
// read outside the text memory, which the unit would refuse), and the valid
// sections are applied.
TEST_F(ReadBack, BrokenDirectoriesEndTheReadBackWithTheValidPartApplied)
{
    struct SCase {
        const char* what;
        int nWord;
        std::uint32_t dwValue;
        int nSkippedSection; // 0: no text read at all
    };
    const SCase cases[] = {
        {"comments longer than the buffer", 8, 500, 4},
        {"theater outside the text memory", 3, 0x90070000, 2},
        {"a name in the program area", 11, 0x90000000, 6},
        {"a name running backwards", 13, TEXT_AREA_START, 7},
        {"end address before the names", 19, 0, -1}, // the first name's start, below
        {"word 0 neither written nor erased", 0, 7, 0},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_d.Unit().FactoryReset();
        m_d.Unit().SetTiming(ESimTiming::Instant);
        StoreTexts(m_d.Unit(), kTexts);
        STextMemoryImage image;
        CTextMemory::Build(kTexts, image);
        const std::uint32_t dwValue = c.nSkippedSection < 0 ? image.adwDirectory[9] : c.dwValue;
        m_d.Unit().PokeMemory(TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(c.nWord), dwValue);
        m_d.Form().Configuration().Profile().SetTheater(u"old theater");
        m_d.Form().Configuration().Profile().SetComments(u"old comments");
        for (int ch = 0; ch < 5; ++ch)
            m_d.Form().Configuration().Record(ch).SetSpeakerName(u"old");
        m_d.Form().GetPlot().SetSpeakerName(u"old"); // the shown channel's own copy
        ASSERT_TRUE(ConnectAndRead());
        EXPECT_TRUE(g_Comm.IsOpen());
        EXPECT_EQ(m_d.Unit().GetStats().nNack, 0u);
        const CProfileInfo& profile = m_d.Form().Configuration().Profile();
        if (c.nSkippedSection == 0) {
            EXPECT_EQ(std::u16string(profile.Theater()), u"old theater");
            // Nothing but the directory was read.
            EXPECT_EQ(m_d.Unit().GetStats().nRawByCommand[CMD_READ_WORD],
                      static_cast<std::uint64_t>(TEXT_DIRECTORY_WORDS));
        } else {
            EXPECT_EQ(std::u16string(profile.Project()), u"Odeon Refit");
            EXPECT_EQ(std::u16string(profile.Theater()), c.nSkippedSection == 2 ? u"old theater" : u"Grand Theatre");
            EXPECT_EQ(std::u16string(profile.Comments()), c.nSkippedSection == 4 ? u"old comments" : u"Two-way\r\nchecked");
        }
        // Every name: the unit's, but where its section was skipped (the end
        // address cuts off every name; an unreadable directory reads none).
        for (int ch = 0; ch < 5; ++ch) {
            const bool bKept = c.nSkippedSection == 0 || c.nSkippedSection < 0 || c.nSkippedSection == ch + 5;
            EXPECT_EQ(Name(ch), bKept ? std::u16string(u"old") : std::u16string(kTexts.aszText[4 + ch])) << ch;
        }
        g_Comm.Close();
        m_d.Form().OnLinkClosed();
    }
}

// The link goes while the unit is read: values already read would stand
// beside the program's own (gains derived from the unit's level next to the
// program's level).  The configuration from before the read-back comes back:
// channel set, working copy, profile and screen.
TEST_F(ReadBack, ALinkLostDuringTheReadBackPutsTheConfigurationBack)
{
    StoreTexts(m_d.Unit(), kTexts);
    CUnitSetUp setUp(m_d.Unit(), MODE_TRIAMP);
    CDlgCrossover& form = m_d.Form();
    form.GetPlot().SetLowLPFreq(432.0f, false); // an edit of the shown channel, not in the set yet
    form.Configuration().Profile().SetTheater(u"Before");
    const CConfigImage before = form.Configuration().Capture();
    ASSERT_TRUE(m_d.Connect());
    SetSystemFlags(m_d.Unit().GetFlags(), false);
    // Every reply comes late, so that the whole read-back takes seconds: on a
    // loaded machine the form's thread may otherwise see Left's values only
    // after the last answer, and the cable would be pulled from a finished
    // read-back.
    m_d.Unit().DelayReplies(100000, 20);
    ::SendMessageW(m_d.FormWnd(), WM_READ_SETTINGS, 0, 0);
    // Some of the unit's values have arrived (Left is read first): the cable goes.
    ASSERT_TRUE(m_d.WaitFor([&] {
        return GetChannelFieldBits(form.Configuration().Record(CHANNEL_LEFT), FIELD_LEVEL) == m_d.Unit().GetParameter(0, 31);
    }));
    m_d.Unit().Unplug();
    ASSERT_TRUE(m_d.WaitFor([&] { return !form.IsReadingBack(); }, 20000));
    g_Comm.Close();
    EXPECT_FALSE(form.OnLinkClosed()); // already ended, nothing more to put back
    EXPECT_TRUE(::IsWindowEnabled(m_d.FormWnd()));
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto field = static_cast<EChannelField>(f);
            EXPECT_EQ(GetChannelFieldBits(Record(c), field), GetChannelFieldBits(before.Channel(c), field))
                << "channel " << c << " " << GetChannelFieldInfo(field).pszName;
        }
    EXPECT_EQ(std::u16string(form.Configuration().Profile().Theater()), u"Before");
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"432");
    m_d.Unit().ClearFaults();
    m_d.Unit().Plug();
}

// The unit is untrusted: a value that is not a finite number is not taken
// (the program's stays), nor shown as the unit holds it when the setters
// change it on the way in (a high-pass of 10 Hz is shown as 20); the
// read-back still ends, and its end names each and asks whether to send the
// values shown.  Yes (the default) writes exactly those parameters.
class CRefusedValues {
public:
    explicit CRefusedValues(CFormDriver& d) : m_d(d)
    {
        fltCenterHP = d.Form().Configuration().Record(CHANNEL_CENTER).GetHPFreq();
        fltRightHigh = d.Form().Configuration().Record(CHANNEL_RIGHT).GetHighGain();
        d.Unit().SetParameter(CHANNEL_CENTER, 0, 0x7FC00000u);                    // NaN HP frequency
        d.Unit().SetParameterFloat(CHANNEL_LEFT, 0, 10.0f);                        // below the setter's floor
        d.Unit().SetParameterFloat(CHANNEL_CENTER, 28, 1.5f);                      // a good value beside them
        d.Unit().SetOutputFloat(0, 3, std::numeric_limits<float>::infinity()); // Right High output
    }
    void ExpectNamed() const
    {
        const std::wstring box = m_d.LastBoxText();
        EXPECT_NE(box.find(L"Center: HP Freq. (parameter 0): NaN"), std::wstring::npos) << box;
        EXPECT_NE(box.find(L"Left: HP Freq. (parameter 0): 10"), std::wstring::npos) << box;
        EXPECT_NE(box.find(L"Right: High Gain (output 0,3): inf"), std::wstring::npos) << box;
        EXPECT_NE(box.find(L"Send the values shown to the unit?"), std::wstring::npos) << box;
        EXPECT_EQ(box.find(L"Low Delay"), std::wstring::npos) << box;
    }
    float fltCenterHP = 0.0f;
    float fltRightHigh = 0.0f;

private:
    CFormDriver& m_d;
};

TEST_F(ReadBack, ValuesNotTakenAreNamedAndYesSendsExactlyThoseWithTheValuesShown)
{
    m_d.Unit().SetTiming(ESimTiming::Instant);
    const CRefusedValues refused(m_d);
    m_d.AnswerNextMessageBox(IDYES);
    ASSERT_TRUE(ConnectAndRead());
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.Drain());
    refused.ExpectNamed();
    EXPECT_FLOAT_EQ(m_d.Form().GetPlot().GetHPFreq(), refused.fltCenterHP);
    EXPECT_FLOAT_EQ(m_d.Form().Configuration().Record(CHANNEL_LEFT).GetHPFreq(), 20.0f);
    EXPECT_FLOAT_EQ(m_d.Form().Configuration().Record(CHANNEL_RIGHT).GetHighGain(), refused.fltRightHigh);
    EXPECT_FLOAT_EQ(m_d.Form().GetPlot().GetLowDelay(), 1.5f);
    // The unit now plays what the screen shows, and got nothing else.
    CSimUnit& unit = m_d.Unit();
    EXPECT_FLOAT_EQ(unit.GetParameterFloat(CHANNEL_CENTER, 0), refused.fltCenterHP);
    EXPECT_FLOAT_EQ(unit.GetParameterFloat(CHANNEL_LEFT, 0), 20.0f);
    const CChannelConfig& right = m_d.Form().Configuration().Record(CHANNEL_RIGHT);
    EXPECT_EQ(unit.GetOutput(0, 3), OutputGainBits(right.GetHighGain(), right.GetLevel()));
    EXPECT_EQ(unit.GetStats().nSet, 2u);
    EXPECT_EQ(unit.CountSets(CHANNEL_CENTER, 0), 1u);
    EXPECT_EQ(unit.CountSets(CHANNEL_LEFT, 0), 1u);
    EXPECT_EQ(unit.CountCommands(CMD_WRITE_OUTPUT), 1u);
    EXPECT_EQ(CUnitMismatch::Count(), 0);
    EXPECT_NE(m_d.FieldBackground(IDC_HP_FREQ), RGB(255, 0, 0));
}

// No: the unit keeps its values, the fields stay marked (the field on show in
// red, the status bar says what the unit holds), and the next write of any
// value to such a field is sent, even of the value the program holds: a file
// saved before, opened again, used to be let through without a word and
// without a write, leaving the unit on NaN for good.
TEST_F(ReadBack, NoLeavesTheFieldsMarkedAndTheirNextWriteIsSentEvenUnchanged)
{
    m_d.Unit().SetTiming(ESimTiming::Instant);
    const CRefusedValues refused(m_d);
    // What the file saved below holds for Left's HP: the program's value
    // before the read-back, not the 20 Hz the unit's 10 Hz is shown as.
    const float fltLeftFileHP = m_d.Form().Configuration().Record(CHANNEL_LEFT).GetHPFreq();
    wchar_t szDir[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szDir);
    ::GetTempFileNameW(szDir, L"qvr", 0, szPath);
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(h);
        ASSERT_EQ(m_d.Form().SerializeConfig(h, 0, FALSE), 1);
    }
    m_d.AnswerNextMessageBox(IDNO);
    ASSERT_TRUE(ConnectAndRead());
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.Drain());
    refused.ExpectNamed();
    CSimUnit& unit = m_d.Unit();
    EXPECT_EQ(unit.GetStats().nSet, 0u);
    EXPECT_EQ(unit.GetParameter(CHANNEL_CENTER, 0), 0x7FC00000u);
    EXPECT_EQ(CUnitMismatch::Count(), 3);
    EXPECT_NE(m_d.StatusText().find(L"3 fields differ from the unit"), std::wstring::npos) << m_d.StatusText();
    EXPECT_EQ(m_d.FieldBackground(IDC_HP_FREQ), RGB(255, 0, 0));
    ::SetFocus(m_d.Item(IDC_HP_FREQ));
    m_d.Settle();
    EXPECT_NE(m_d.StatusText().find(L"the unit holds NaN"), std::wstring::npos) << m_d.StatusText();

    // The file holds the program's own values: Open asks nothing (no gate
    // here) and sends the marked fields, nothing else that is unchanged.
    unit.ClearLog();
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(h);
        ASSERT_EQ(m_d.Form().SerializeConfig(h, 1, FALSE), 1);
    }
    ::DeleteFileW(szPath);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(unit.GetParameterFloat(CHANNEL_CENTER, 0), refused.fltCenterHP);
    EXPECT_FLOAT_EQ(unit.GetParameterFloat(CHANNEL_LEFT, 0), fltLeftFileHP);
    EXPECT_EQ(unit.CountSets(CHANNEL_CENTER, 0), 1u);
    EXPECT_EQ(unit.CountSets(CHANNEL_LEFT, 0), 1u);
    EXPECT_EQ(CUnitMismatch::Count(), 0);
    EXPECT_NE(m_d.FieldBackground(IDC_HP_FREQ), RGB(255, 0, 0));
}

TEST_F(ReadBack, ALostLinkEndsTheReadBackAndALateAnswerStartsNone)
{
    m_d.Unit().SetTiming(ESimTiming::Instant);
    ASSERT_TRUE(m_d.Connect());
    SetSystemFlags(m_d.Unit().GetFlags(), false);
    m_d.Unit().Unplug();
    ::SendMessageW(m_d.FormWnd(), WM_READ_SETTINGS, 0, 0);
    ASSERT_TRUE(m_d.Form().IsReadingBack());
    // Three attempts fail: the failure record ends the read-back and gives
    // the form back to the user.
    ASSERT_TRUE(m_d.WaitFor([&] { return !m_d.Form().IsReadingBack(); }, 20000));
    EXPECT_TRUE(::IsWindowEnabled(m_d.FormWnd()));
    g_Comm.Close();
    m_d.Unit().Plug();
    // With the link closed, WM_READ_SETTINGS starts nothing.
    ::SendMessageW(m_d.FormWnd(), WM_READ_SETTINGS, 0, 0);
    EXPECT_FALSE(m_d.Form().IsReadingBack());
    EXPECT_TRUE(::IsWindowEnabled(m_d.FormWnd()));
}

TEST_F(ReadBack, HandlesOfAbsentBandsAreNeitherShownNorDragged)
{
    // The High PEQ handle chosen on Center, then the Subwoofer shown: the
    // handle is put down and a drag step on it changes nothing.
    CCtlQVRXOPlot& plot = m_d.Form().GetPlot();
    plot.SelectAdjuster(7);
    m_d.Click(IDC_CH_SUBWOOFER);
    m_d.Settle();
    EXPECT_EQ(plot.GetAdjuster(), 0);
    const RECT& rc = plot.GetAdjusterRect();
    EXPECT_TRUE(::IsRectEmpty(&rc));
    // Biamp: the Mid handles go too.
    m_d.Click(IDC_CH_LEFT);
    plot.SelectAdjuster(3);
    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.SettleReadBack());
    m_d.Settle();
    EXPECT_EQ(plot.GetAdjuster(), 0);
}

// The sibling program changes the channel while the unit is read: the marker
// was queued for Center, the form now shows Left, and Left is shown with the
// unit's values; Center's record in the set keeps the unit's values too (the
// working copy, which had nothing the unit lacks, is not stored back).
TEST_F(ReadBack, AChannelChosenByTheSiblingDuringTheReadBackShowsTheUnitsValues)
{
    m_d.Unit().SetParameterFloat(CHANNEL_LEFT, 28, 1.25f);  // Left Low delay
    m_d.Unit().SetParameterFloat(CHANNEL_CENTER, 28, 2.5f); // Center Low delay
    ASSERT_TRUE(m_d.Connect());
    SetSystemFlags(m_d.Unit().GetFlags(), false);
    ::SendMessageW(m_d.FormWnd(), WM_READ_SETTINGS, 0, 0);
    ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, 0, 0); // the sibling's number of Left
    ASSERT_EQ(m_d.Form().GetPlot().GetChannel(), CHANNEL_LEFT);
    ASSERT_TRUE(m_d.WaitFor([&] { return !m_d.Form().IsReadingBack(); }));
    EXPECT_FLOAT_EQ(m_d.Form().GetPlot().GetLowDelay(), 1.25f);
    EXPECT_EQ(m_d.Text(IDC_LOW_DELAY), L"1.2500");
    EXPECT_FLOAT_EQ(m_d.Form().Configuration().Record(CHANNEL_CENTER).GetLowDelay(), 2.5f);
}
