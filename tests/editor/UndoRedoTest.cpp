// Undo and Redo on the editor form with the simulated unit attached through
// the real queue: after every undo and redo the channel set, the screen and
// the unit agree.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "device/Comm.h"
#include "protocol/QVRSCP.h"
#include "editor/ChannelButtons.h"
#include "editor/DlgCopyChannel.h"
#include "editor/EditStepNames.h"
#include "editor/FieldRules.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"
#include "tests/editor/DialogScript.h"
#include "tests/editor/FormDriver.h"
#include "tests/core/OutputWatch.h"

namespace {

class UndoRedo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_d.Create());
        ASSERT_TRUE(m_d.Connect());
    }

    CDlgCrossover& Form() { return m_d.Form(); }
    CCtlQVRXOPlot& Plot() { return Form().GetPlot(); }
    // The configuration as it stands: the set, the shown channel from the working copy.
    CConfigImage Image() { return Form().Configuration().Capture(); }
    static bool Same(const CConfigImage& a, const CConfigImage& b) { return CEditHistory::Diff(a, b, 0).Empty(); }

    const CEditHistory& History() { return Form().EditRecorder().History(); }
    void Undo() { ::SendMessageW(m_d.FormWnd(), WM_COMMAND, ID_EDIT_UNDO, 0); }
    void Redo() { ::SendMessageW(m_d.FormWnd(), WM_COMMAND, ID_EDIT_REDO, 0); }

    // The Edit menu's two items as the frame would show them.
    std::pair<std::wstring, std::wstring> MenuTexts()
    {
        HMENU hMenu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
        Form().EditRecorder().UpdateMenu(hMenu);
        auto item = [&](UINT nId) {
            wchar_t sz[128] = {};
            ::GetMenuStringW(hMenu, nId, sz, 128, MF_BYCOMMAND);
            const bool bGrey = (::GetMenuState(hMenu, nId, MF_BYCOMMAND) & MF_GRAYED) != 0;
            return std::wstring(sz) + (bGrey ? L" (grey)" : L"");
        };
        auto texts = std::make_pair(item(ID_EDIT_UNDO), item(ID_EDIT_REDO));
        ::DestroyMenu(hMenu);
        return texts;
    }

    // Where the unit differs from the configuration ("" when nowhere): every
    // parameter the channels write, and every output's gain.  The
    // Subwoofer's own parameters are the four it has for its Low band.
    std::string UnitDifferences()
    {
        EXPECT_TRUE(m_d.Drain());
        const CConfigImage now = Image();
        std::string out;
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            const CChannelConfig& cfg = now.Channel(c);
            for (int f = 0; f < FIELD_COUNT; ++f) {
                const auto field = static_cast<EChannelField>(f);
                const int p = ParameterForField(field, c);
                if (p == PARAMETER_NONE || (c == CHANNEL_SUBWOOFER && FieldForParameter(c, p) != field))
                    continue;
                if (GetChannelFieldBits(cfg, field) != m_d.Unit().GetParameter(c, p))
                    out += "channel " + std::to_string(c) + " " + GetChannelFieldInfo(field).pszName + "\n";
            }
            for (EBand band : {BAND_LOW, BAND_MID, BAND_HIGH}) {
                std::uint32_t dwAddress = 0;
                if (!FindOutputAddress(c, band, false, &dwAddress))
                    continue;
                const EChannelField field =
                    band == BAND_LOW ? FIELD_LOW_GAIN : band == BAND_MID ? FIELD_MID_GAIN : FIELD_HIGH_GAIN;
                if (OutputGainBits(GetChannelFieldFloat(cfg, field), cfg.GetLevel()) !=
                    m_d.Unit().GetOutput(dwAddress & 0xFF, (dwAddress >> 8) & 0xFF))
                    out += "channel " + std::to_string(c) + " output of band " + std::to_string(band) + "\n";
            }
        }
        // The texts, once the unit's text memory has been written at all.
        CSimUnit& unit = m_d.Unit();
        if (unit.ReadMemory(TEXT_MEMORY_START).value_or(0) == TEXT_DIRECTORY_WRITTEN) {
            const CChannelConfig* apNames[TEXT_NAME_SECTIONS];
            for (int c = 0; c < TEXT_NAME_SECTIONS; ++c)
                apNames[c] = &now.Channel(c);
            CTextMemory::STexts texts;
            CTextMemory::CollectTexts(now.Profile(), apNames, texts);
            STextMemoryImage image;
            CTextMemory::Build(texts, image);
            for (int i = 0; i < TEXT_DIRECTORY_WORDS; ++i)
                if (unit.ReadMemory(TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(i)) != image.adwDirectory[i])
                    out += "text directory word " + std::to_string(i) + "\n";
            for (std::size_t i = 0; i < image.adwText.size(); ++i)
                if (unit.ReadMemory(TEXT_AREA_START + 4u * static_cast<std::uint32_t>(i)) != image.adwText[i])
                    out += "text word " + std::to_string(i) + "\n";
        }
        return out;
    }

    // Where the screen differs from the working copy ("" when nowhere).
    std::string ScreenDifferences()
    {
        std::string out;
        for (size_t i = 0; i < CFieldRules::Count(); ++i) {
            const SFieldRule& rule = CFieldRules::Begin()[i];
            const std::u16string want = CFieldRules::Format(rule, CFieldRules::GetValue(Plot(), rule));
            if (m_d.Text(rule.nId) != std::wstring(want.begin(), want.end()))
                out += "field " + std::to_string(rule.nId) + "\n";
        }
        if (m_d.Checked(IDC_LOW_MUTE) != ((Plot().GetLowFlags() & BAND_FLAG_MUTE) != 0))
            out += "Low Mute\n";
        if (m_d.Checked(IDC_HP_Q_2) != (Plot().GetHPQ() == 2.0f))
            out += "HP Q\n";
        const int nPos = static_cast<int>(::SendMessageW(m_d.Item(IDC_LEVEL), TBM_GETPOS, 0, 0));
        if (nPos != static_cast<int>(-2.0f * Plot().GetLevel()))
            out += "level\n";
        for (int nButton = IDC_CH_LEFT; nButton <= IDC_CH_SUBWOOFER; ++nButton)
            if (m_d.Checked(nButton) != (CChannelButtons::ChannelOfButton(nButton) == Plot().GetChannel()))
                out += "channel button " + std::to_string(nButton) + "\n";
        return out;
    }

    void CopyChannel(int nFromButton, std::vector<int> toButtons)
    {
        CDialogScript::Arm(L"Copy Channel", [=](HWND hDlg) {
            CDialogScript::Click(hDlg, nFromButton);
            for (int nTo : toButtons)
                CDialogScript::Click(hDlg, nTo);
            CDialogScript::Click(hDlg, IDOK);
        });
        ::SendMessageW(m_d.FormWnd(), WM_COMMAND, ID_COPY_CHANNEL, 0);
        ASSERT_TRUE(CDialogScript::Ran());
    }

    // The live record of a channel (the shown one's working copy).
    CChannelConfig& Live(int c) { return Form().Configuration().Current(c); }

    // Every write the unit took since its log was cleared, replayed one at a
    // time: "" when no band output was ever louder than at both ends.
    std::string WatchUnit(const CConfigImage& before, const CConfigImage& after)
    {
        const CChannelConfig* apBefore[CHANNEL_COUNT];
        const CChannelConfig* apAfter[CHANNEL_COUNT];
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            apBefore[c] = &before.Channel(c);
            apAfter[c] = &after.Channel(c);
        }
        COutputWatch watch(apBefore, apAfter);
        for (const SUnitRequest& r : UnitRequests(m_d.Unit())) {
            if (r.bType == SCP_TYPE_RAW && r.nCommand == CMD_WRITE_OUTPUT)
                watch.OnOutput(r.dwUWord, r.LWordFloat());
            else if (r.bType == SCP_TYPE_SET)
                watch.OnParameter(r.nChannel, r.nParameter, r.Value());
        }
        if (!watch.Fault().empty())
            return watch.Fault();
        return watch.AllAtTheEnd() ? std::string() : std::string("the unit did not end at the step's end");
    }

    CFormDriver m_d;
};

// A step of several values (Copy Channel, its Undo and Redo) at the unit:
// every write replayed as the unit took it, no band output is ever louder
// than at both ends of the step.  Field order sent the level first, and with
// it every band at its old gain: level +8 with High -18 copied onto level
// -10 with High 0 played the High output at +8 dB for several exchanges.
TEST_F(UndoRedo, StepsOfSeveralValuesNeverPlayAnOutputLouderThanBothEnds)
{
    std::mt19937 rng(24);
    for (int n = 0; n < 16; ++n) {
        CChannelConfig left(CHANNEL_LEFT), center(CHANNEL_CENTER);
        if (n == 0) { // the case as it was found
            left.SetLevel(8.0f, false);
            left.SetHighGain(-18.0f, false, false);
            center.SetLevel(-10.0f, false);
            center.SetHighGain(0.0f, false, false);
        } else {
            RandomiseRecord(left, rng);
            RandomiseRecord(center, rng);
        }
        Live(CHANNEL_LEFT).Assign(left, true);
        Live(CHANNEL_CENTER).Assign(center, true);
        Form().UpdateControls();
        ASSERT_TRUE(m_d.Drain());
        const CConfigImage before = Image();
        const std::string at = "pair " + std::to_string(n) + ": ";

        m_d.Unit().ClearLog();
        CopyChannel(IDC_COPY_FROM_LEFT, {IDC_COPY_TO_CENTER});
        ASSERT_TRUE(m_d.Drain());
        const CConfigImage after = Image();
        EXPECT_EQ(WatchUnit(before, after), "") << at << "Copy Channel";

        m_d.Unit().ClearLog();
        Undo();
        ASSERT_TRUE(m_d.Drain());
        EXPECT_EQ(WatchUnit(after, before), "") << at << "Undo";

        m_d.Unit().ClearLog();
        Redo();
        ASSERT_TRUE(m_d.Drain());
        EXPECT_EQ(WatchUnit(before, after), "") << at << "Redo";
        ASSERT_FALSE(HasFailure());
    }
}

// Every kind of step, made with real input where a person uses it: each
// Undo gives back the configuration before the step, at the unit too, and
// shows the step's channel; each Redo the one after.
TEST_F(UndoRedo, EveryKindOfStepWalksBackAndForthWithTheUnit)
{
    std::vector<CConfigImage> images{Image()};
    std::vector<std::wstring> names;
    auto step = [&](const wchar_t* pszName) {
        images.push_back(Image());
        names.push_back(pszName);
    };
    EXPECT_EQ(MenuTexts(), std::make_pair(std::wstring(L"&Undo\tCtrl+Z (grey)"), std::wstring(L"&Redo\tCtrl+Y (grey)")));

    // Typing 1500: four applied texts, one step; the edit control's own
    // undo (its character, its message) changes nothing.
    m_d.ClearField(IDC_HIGH_PEQ_FREQ);
    m_d.Type("1500");
    ::SendMessageW(m_d.Item(IDC_HIGH_PEQ_FREQ), WM_CHAR, 0x1A, 0);
    ::SendMessageW(m_d.Item(IDC_HIGH_PEQ_FREQ), EM_UNDO, 0, 0);
    EXPECT_EQ(::SendMessageW(m_d.Item(IDC_HIGH_PEQ_FREQ), EM_CANUNDO, 0, 0), 0);
    EXPECT_EQ(m_d.Text(IDC_HIGH_PEQ_FREQ), L"1500");
    EXPECT_EQ(MenuTexts().first, L"&Undo High PEQ Freq\tCtrl+Z");
    m_d.TapKey(VK_RETURN);
    step(L"High PEQ Freq");
    // Down twice while the field keeps the focus: one step; then Enter.
    m_d.Click(IDC_LOW_GAIN);
    m_d.TapKey(VK_DOWN);
    m_d.TapKey(VK_DOWN);
    EXPECT_EQ(Plot().GetLowGain(), -1.0f);
    m_d.TapKey(VK_TAB);
    step(L"Low Gain");
    // A drag of the Low crossover handle (its fields focused first).
    m_d.Click(IDC_LOW_LP_FREQ);
    const RECT rcHandle = Plot().GetAdjusterRect();
    ASSERT_TRUE(m_d.DragHandle(rcHandle, rcHandle.right + 40, rcHandle.bottom + 30));
    ASSERT_NE(Plot().GetLowLPFreq(), images.back().Channel(CHANNEL_CENTER).GetLowLPFreq());
    step(L"Low LP Filter");
    // One key on the level trackbar.
    ::SetFocus(m_d.Item(IDC_LEVEL));
    m_d.TapKey(VK_UP);
    EXPECT_EQ(Plot().GetLevel(), 0.5f);
    step(L"Channel Level");
    m_d.Click(IDC_LOW_MUTE);
    step(L"Low Mute");
    m_d.Click(IDC_HP_Q_2);
    step(L"HP Q");
    // Center (with all of the above) onto Left and Right, from a focused
    // field: the field losing the focus to the dialog ends no gesture but its own.
    m_d.Click(IDC_DELAY);
    CopyChannel(IDC_COPY_FROM_CENTER, {IDC_COPY_TO_LEFT, IDC_COPY_TO_RIGHT});
    step(L"Copy Channel");
    CDialogScript::Arm(L"Profile Information", [](HWND hDlg) {
        ::SetDlgItemTextW(hDlg, IDC_PROFILE_THEATER, L"Odeon 3");
        CDialogScript::Click(hDlg, IDOK);
    });
    ::SendMessageW(m_d.FormWnd(), WM_COMMAND, ID_PROFILE_INFO, 0);
    ASSERT_TRUE(CDialogScript::Ran());
    step(L"Profile Information");
    m_d.Click(IDC_CH_SUBWOOFER); // undo shows a step's channel again
    EXPECT_EQ(UnitDifferences(), "");
    EXPECT_EQ(m_d.Unit().ReadMemory(TEXT_MEMORY_START), TEXT_DIRECTORY_WRITTEN); // the texts are compared too

    for (size_t n = names.size(); n > 0; --n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(MenuTexts().first, L"&Undo " + names[n - 1] + L"\tCtrl+Z");
        Undo();
        EXPECT_TRUE(Same(Image(), images[n - 1]));
        // A Copy Channel onto Left and Right shows the first of them; the
        // profile belongs to no channel and leaves the Subwoofer on show.
        EXPECT_EQ(Plot().GetChannel(), n == names.size()       ? CHANNEL_SUBWOOFER
                                       : n == names.size() - 1 ? CHANNEL_LEFT
                                                               : CHANNEL_CENTER);
        EXPECT_EQ(ScreenDifferences(), "");
        EXPECT_EQ(UnitDifferences(), "");
    }
    EXPECT_EQ(MenuTexts(), std::make_pair(std::wstring(L"&Undo\tCtrl+Z (grey)"),
                                          std::wstring(L"&Redo High PEQ Freq\tCtrl+Y")));
    for (size_t n = 1; n <= names.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(MenuTexts().second, L"&Redo " + names[n - 1] + L"\tCtrl+Y");
        Redo();
        EXPECT_TRUE(Same(Image(), images[n]));
        EXPECT_EQ(ScreenDifferences(), "");
        EXPECT_EQ(UnitDifferences(), "");
    }

    // A new step after an undo drops what could have been redone.
    Undo();
    m_d.Click(IDC_LOW_INVERT);
    EXPECT_EQ(MenuTexts(), std::make_pair(std::wstring(L"&Undo Low Invert\tCtrl+Z"),
                                          std::wstring(L"&Redo\tCtrl+Y (grey)")));
}

// A field whose text is not what it applied (red here): Undo first puts the
// applied value back, and only the next one walks the history.  A
// read-back holds Undo off and clears the history at its end, a lost link
// keeps it, a mode change clears it.
TEST_F(UndoRedo, AnUnappliedFieldIsPutBackFirstAndWhatClearsTheHistory)
{
    m_d.Click(IDC_LOW_MUTE);
    m_d.ClearField(IDC_HIGH_PEQ_FREQ);
    m_d.Type("15");
    ASSERT_TRUE(m_d.FieldError(IDC_HIGH_PEQ_FREQ));
    EXPECT_EQ(MenuTexts().first, L"&Undo High PEQ Freq\tCtrl+Z");
    Undo();
    EXPECT_EQ(m_d.Text(IDC_HIGH_PEQ_FREQ), L"3000");
    EXPECT_FALSE(m_d.FieldError(IDC_HIGH_PEQ_FREQ));
    EXPECT_TRUE(Plot().GetLowFlags() & BAND_FLAG_MUTE);
    EXPECT_EQ(::GetFocus(), m_d.Item(IDC_HIGH_PEQ_FREQ));
    Undo();
    EXPECT_FALSE(Plot().GetLowFlags() & BAND_FLAG_MUTE);
    EXPECT_EQ(UnitDifferences(), "");

    // While the unit's settings are read back Undo does nothing; the
    // read-back's end replaces the configuration and clears the history.
    Redo();
    ::SendMessageW(m_d.FormWnd(), WM_READ_SETTINGS, 0, 0);
    ASSERT_TRUE(Form().IsReadingBack());
    const CConfigImage during = Image();
    Undo();
    EXPECT_TRUE(Same(Image(), during));
    EXPECT_EQ(History().UndoCount(), 1u);
    ASSERT_TRUE(m_d.SettleReadBack());
    EXPECT_EQ(History().StepCount(), 0u);

    // A lost link replaces nothing: the history stays.  A mode change
    // replaces every channel: nothing is left to undo.
    m_d.Click(IDC_LOW_INVERT);
    g_Comm.Close();
    Form().OnLinkClosed();
    EXPECT_EQ(MenuTexts().first, L"&Undo Low Invert\tCtrl+Z");
    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.BoxAnswered());
    EXPECT_EQ(History().StepCount(), 0u);
    EXPECT_EQ(MenuTexts(), std::make_pair(std::wstring(L"&Undo\tCtrl+Z (grey)"), std::wstring(L"&Redo\tCtrl+Y (grey)")));
}

// A few hundred random edits of every kind on random channels, undos and
// redos: after each undo and redo the screen and the unit agree with the
// configuration, and undoing everything gives back the starting
// configuration at the unit, value for value.
TEST_F(UndoRedo, RandomEditsUndosAndRedosEndWithTheUnitEqualToTheConfiguration)
{
    std::mt19937 rng(211);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const CConfigImage start = Image();
    const int aButtons[] = {IDC_LOW_MUTE, IDC_LOW_INVERT, IDC_MID_MUTE, IDC_HIGH_INVERT, IDC_HP_Q_707, IDC_HP_Q_2};
    for (int n = 0; n < 300; ++n) {
        const int nAction = pick(20);
        if (nAction < 7) {
            // A value typed into an enabled field, applied as its key is released.
            const SFieldRule& rule = CFieldRules::Begin()[pick(static_cast<int>(CFieldRules::Count()))];
            const HWND hField = m_d.Item(rule.nId);
            if (!::IsWindowEnabled(hField) || (::GetWindowLongW(hField, GWL_STYLE) & ES_READONLY))
                continue;
            const CFieldRules::SRange r = CFieldRules::GetRange(rule, Plot().GetMode());
            const float v = r.fltMin + (r.fltMax - r.fltMin) * static_cast<float>(pick(101)) / 100.0f;
            const std::u16string text = CFieldRules::Format(rule, v);
            ::SetFocus(hField);
            ::SetWindowTextW(hField, reinterpret_cast<const wchar_t*>(text.c_str()));
            ::SendMessageW(hField, EM_SETMODIFY, TRUE, 0);
            ::SendMessageW(hField, WM_KEYUP, '0', 0);
            if (pick(2))
                ::SendMessageW(hField, WM_KEYDOWN, pick(2) ? VK_UP : VK_DOWN, 0);
        } else if (nAction < 9) {
            const HWND hButton = m_d.Item(aButtons[pick(6)]);
            if (::IsWindowEnabled(hButton))
                ::SendMessageW(hButton, BM_CLICK, 0, 0);
        } else if (nAction < 10) {
            ::SetFocus(m_d.Item(IDC_LEVEL));
            const WPARAM vk = pick(2) ? VK_UP : VK_DOWN;
            ::SendMessageW(m_d.Item(IDC_LEVEL), WM_KEYDOWN, vk, 0);
            ::SendMessageW(m_d.Item(IDC_LEVEL), WM_KEYUP, vk, 0);
        } else if (nAction < 12) {
            ::SendMessageW(m_d.Item(IDC_CH_LEFT + pick(6)), BM_CLICK, 0, 0);
        } else if (nAction < 13) {
            const int aFrom[] = {IDC_COPY_FROM_LEFT, IDC_COPY_FROM_RIGHT, IDC_COPY_FROM_CENTER,
                                 IDC_COPY_FROM_LEFT_CENTER, IDC_COPY_FROM_RIGHT_CENTER};
            const int aTo[] = {IDC_COPY_TO_LEFT, IDC_COPY_TO_RIGHT, IDC_COPY_TO_CENTER, IDC_COPY_TO_LEFT_CENTER,
                               IDC_COPY_TO_RIGHT_CENTER};
            if (Plot().GetChannel() != CHANNEL_SUBWOOFER)
                CopyChannel(aFrom[pick(5)], {aTo[pick(5)]});
        } else {
            if (nAction < 17)
                Undo();
            else
                Redo();
            ASSERT_EQ(ScreenDifferences(), "") << "action " << n;
            ASSERT_EQ(UnitDifferences(), "") << "action " << n;
        }
        m_d.Settle();
    }
    ::SetFocus(m_d.Item(IDC_LEVEL)); // ends the last field's edit
    EXPECT_EQ(UnitDifferences(), "");
    EXPECT_GT(Form().EditRecorder().History().UndoCount(), 20u);
    while (Form().EditRecorder().History().UndoCount() > 0)
        Undo();
    EXPECT_TRUE(Same(Image(), start));
    EXPECT_EQ(UnitDifferences(), "");
    EXPECT_EQ(ScreenDifferences(), "");
}

} // namespace
