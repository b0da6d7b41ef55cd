// The editor form in this process with the simulated unit attached through
// the real command queue, driven with real mouse and keyboard input; each
// case checks what the unit received as well as what the form shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <vector>

#include "editor/FieldRules.h"
#include "model/ChannelFields.h"
#include "model/PlotGeometry.h"
#include "model/SummedResponse.h"
#include "editor/WaitingFields.h"
#include "model/ParameterMap.h"
#include "tests/editor/DialogScript.h"
#include "framework/AppGlobals.h"
#include "tests/editor/FormDriver.h"

namespace {

constexpr int CENTER = CHANNEL_CENTER;
constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF WAITING = CWaitingFields::RGB_WAITING_BACK;

class EditorForm : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_d.Create()); }

    CCtlQVRXOPlot& Plot() { return m_d.Form().GetPlot(); }
    // A point of the plot's client area on the screen.
    POINT PlotPoint(int x, int y) { return CFormDriver::ClientToScreenPt(m_d.Item(IDC_PLOT), POINT{x, y}); }
    POINT Centre(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }
    void Drag(const RECT& rcHandle, int x, int y) { ASSERT_TRUE(m_d.DragHandle(rcHandle, x, y)); }
    float UnitFloat(int c, int p) { return m_d.Unit().GetParameterFloat(c, p); }

    CFormDriver m_d;
};

TEST_F(EditorForm, TabOrderAndCentredFields)
{
    const int expected[] = {236, 1150, 250, 1151, 211, 221, 212, 213, 219, 217, 225, 226, 214, 223, 222, 216, 215,
                            220, 218, 227, 228, 224, 232, 233, 229, 230, 231, 237, 238, 239, 240, 255, 254, 209};
    // At start (Center, Triamp) every stop is enabled.  The platform makes the
    // checked button of each radio group a tab stop at run time; the walk
    // skips those.
    auto isRadio = [](HWND h) { return (::GetWindowLongW(h, GWL_STYLE) & 0x0F) == BS_AUTORADIOBUTTON; };
    HWND h = m_d.Item(IDC_SPEAKER);
    for (size_t i = 0; i < std::size(expected); ++i) {
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(::GetDlgCtrlID(h), expected[i]) << "tab stop " << i;
        do
            h = ::GetNextDlgTabItem(m_d.FormWnd(), h, FALSE);
        while (isRadio(h));
    }
    EXPECT_EQ(::GetDlgCtrlID(h), 236); // wraps around
    for (size_t i = 0; i < CFieldRules::Count(); ++i) {
        const LONG style = ::GetWindowLongW(m_d.Item(CFieldRules::Begin()[i].nId), GWL_STYLE);
        EXPECT_TRUE(style & ES_CENTER) << CFieldRules::Begin()[i].nId;
    }
    for (int id : {201, 202, 204, 205, 206, 207, 252}) // unchecked radio buttons
        EXPECT_FALSE(::GetWindowLongW(m_d.Item(id), GWL_STYLE) & WS_TABSTOP) << id;
    // The plot fills its rectangle of the template.
    RECT rc{40, 20, 40 + 460, 20 + 139};
    ::MapDialogRect(m_d.FormWnd(), &rc);
    RECT rcPlot;
    ::GetWindowRect(m_d.Item(IDC_PLOT), &rcPlot);
    ::MapWindowPoints(nullptr, m_d.FormWnd(), reinterpret_cast<POINT*>(&rcPlot), 2);
    EXPECT_EQ(rcPlot.left, rc.left);
    EXPECT_EQ(rcPlot.right, rc.right);
    // Start: Center, Triamp, the default Center record in every field.
    EXPECT_TRUE(m_d.Checked(IDC_CH_CENTER));
    EXPECT_TRUE(m_d.Checked(IDC_TRIAMP));
    EXPECT_EQ(m_d.Text(IDC_HIGH_PEQ_FREQ), L"3000");
    EXPECT_EQ(m_d.Text(IDC_LOW_PEQ_Q), L"1.00");
    EXPECT_EQ(m_d.Text(IDC_DELAY), L"0.0000");
    EXPECT_EQ(m_d.Text(IDC_LEVEL_TEXT), L"0.0");
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"DEFAULT Triamp");
    EXPECT_TRUE(m_d.Checked(IDC_HP_Q_707));
}

TEST_F(EditorForm, TypingHighPEQFreq1500IsRedUntilValidThenSentOnce)
{
    ASSERT_TRUE(m_d.Connect());
    m_d.ClearField(IDC_HIGH_PEQ_FREQ);
    for (const char* key : {"1", "5", "0"}) {
        m_d.Type(key);
        EXPECT_TRUE(m_d.FieldError(IDC_HIGH_PEQ_FREQ)) << m_d.Text(IDC_HIGH_PEQ_FREQ).size();
        EXPECT_EQ(m_d.FieldBackground(IDC_HIGH_PEQ_FREQ), RED);
    }
    EXPECT_FLOAT_EQ(Plot().GetHighPEQFreq(), 3000.0f);
    m_d.Type("0");
    EXPECT_EQ(m_d.Text(IDC_HIGH_PEQ_FREQ), L"1500");
    EXPECT_FALSE(m_d.FieldError(IDC_HIGH_PEQ_FREQ));
    EXPECT_NE(m_d.FieldBackground(IDC_HIGH_PEQ_FREQ), RED);
    EXPECT_FLOAT_EQ(Plot().GetHighPEQFreq(), 1500.0f);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 3), 1500.0f);
    EXPECT_EQ(m_d.Unit().CountSets(CENTER, 3), 1u); // 1, 15 and 150 were never applied
    // Focusing the field selected the High PEQ handle.
    EXPECT_EQ(Plot().GetAdjuster(), 7);
}

// Retyping passes through values on the way to the one meant; those that
// could harm a driver (a gain more than 6 dB up, a high-pass more than an
// octave down, against the value the unit plays now) and text without a
// number wait, shown in their own colour, until the user confirms them.
// Checked at the unit after every key.
TEST_F(EditorForm, RetypedValuesThatCouldHarmADriverWaitForEnter)
{
    ASSERT_TRUE(m_d.Connect());
    CSimUnit& u = m_d.Unit();
    std::uint32_t dwHighOutput = 0;
    ASSERT_TRUE(FindOutputAddress(CENTER, BAND_HIGH, false, &dwHighOutput));
    // Every value written to Center's High output since the last ClearLog (level 0: gain - 8).
    auto highGainsSent = [&] {
        std::vector<float> v;
        for (const SUnitRequest& r : UnitRequests(u))
            if (r.bType == 0x25 && r.nCommand == CMD_WRITE_OUTPUT && r.dwUWord == dwHighOutput)
                v.push_back(r.LWordFloat() + 8.0f);
        return v;
    };
    auto typeKeys = [&](const char* psz, const std::function<void()>& check) {
        for (; *psz; ++psz) {
            const char key[2] = {*psz, 0};
            m_d.Type(key);
            ASSERT_TRUE(m_d.Drain());
            check();
        }
    };

    // High Gain from 0 to -15 in one visit (each step down applies at once),
    // then all of it selected and retyped as -12 without leaving the field:
    // "-" holds no number and -1 is 14 dB above the -15 the unit plays now,
    // so neither is sent, whatever the field held when it got the focus.
    m_d.ClearField(IDC_HIGH_GAIN);
    m_d.Type("-15");
    ASSERT_TRUE(m_d.Drain());
    ASSERT_FLOAT_EQ(u.GetOutputFloat(dwHighOutput & 0xFF, dwHighOutput >> 8), -15.0f - 8.0f);
    u.ClearLog();
    m_d.SelectAllByKeys();
    ASSERT_EQ(::GetFocus(), m_d.Item(IDC_HIGH_GAIN));
    typeKeys("-12", [&] {
        for (const float g : highGainsSent())
            EXPECT_LE(g, -12.0f) << "while typing " << std::string(m_d.Text(IDC_HIGH_GAIN).begin(),
                                                                   m_d.Text(IDC_HIGH_GAIN).end());
        if (m_d.Text(IDC_HIGH_GAIN) == L"-1") {
            EXPECT_EQ(m_d.FieldBackground(IDC_HIGH_GAIN), WAITING);
        }
    });
    EXPECT_EQ(highGainsSent(), std::vector<float>({-12.0f}));
    EXPECT_NE(m_d.FieldBackground(IDC_HIGH_GAIN), WAITING);
    EXPECT_FALSE(m_d.Form().HasUnappliedField());

    // 0 typed over it (12 dB above the -12 in use) waits until Enter.
    m_d.SelectAllByKeys();
    m_d.Type("0");
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(highGainsSent(), std::vector<float>({-12.0f}));
    EXPECT_EQ(m_d.FieldBackground(IDC_HIGH_GAIN), WAITING);
    EXPECT_FALSE(m_d.FieldError(IDC_HIGH_GAIN));
    EXPECT_TRUE(m_d.Form().HasUnappliedField());
    EXPECT_NE(m_d.StatusHint().find(L"-12.0 dB in use"), std::wstring::npos);
    EXPECT_FLOAT_EQ(Plot().GetHighGain(), -12.0f);
    m_d.TapKey(VK_RETURN);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(highGainsSent(), std::vector<float>({-12.0f, 0.0f}));
    EXPECT_NE(m_d.FieldBackground(IDC_HIGH_GAIN), WAITING);
    EXPECT_EQ(m_d.Text(IDC_HIGH_GAIN), L"0");

    // High HP 400 (confirmed), then 4000 and retyped as 2500 in the same
    // visit: 250 is four octaves below the 4000 the horn plays and waits;
    // 2 and 25 are red.  The unit never gets a High HP below 2500.
    m_d.ClearField(IDC_HIGH_HP_FREQ);
    m_d.Type("400");
    m_d.TapKey(VK_TAB);
    ASSERT_TRUE(m_d.Drain());
    ASSERT_FLOAT_EQ(UnitFloat(CENTER, 2), 400.0f);
    // Back into the field just left (Shift+Tab: a second click there would be
    // a double-click, which does not focus), its text selected.
    m_d.Key(VK_SHIFT, true);
    m_d.TapKey(VK_TAB);
    m_d.Key(VK_SHIFT, false);
    ASSERT_EQ(::GetFocus(), m_d.Item(IDC_HIGH_HP_FREQ));
    m_d.Type("4000");
    ASSERT_TRUE(m_d.Drain());
    ASSERT_FLOAT_EQ(UnitFloat(CENTER, 2), 4000.0f);
    u.ClearLog();
    m_d.SelectAllByKeys();
    ASSERT_EQ(::GetFocus(), m_d.Item(IDC_HIGH_HP_FREQ));
    typeKeys("2500", [&] { EXPECT_GE(UnitFloat(CENTER, 2), 2500.0f); });
    EXPECT_EQ(u.CountSets(CENTER, 2), 1u);
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 2), 2500.0f);

    // An Up press applies too: a value typed next is judged against it.
    m_d.TapKey(VK_UP);
    ASSERT_TRUE(m_d.Drain());
    const float fltStepped = UnitFloat(CENTER, 2);
    ASSERT_GT(fltStepped, 2500.0f);
    u.ClearLog();
    m_d.SelectAllByKeys();
    m_d.Type("1000"); // more than an octave below what Up applied
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(u.CountSets(CENTER, 2), 0u);
    EXPECT_EQ(m_d.FieldBackground(IDC_HIGH_HP_FREQ), WAITING);
    m_d.TapKey(VK_RETURN);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 2), 1000.0f);

    // Text without a number applies the 0 it stands for when Tab confirms it.
    m_d.ClearField(IDC_LOW_GAIN);
    m_d.Type("-6");
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(Plot().GetLowGain(), -6.0f);
    m_d.ClearField(IDC_LOW_GAIN);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(Plot().GetLowGain(), -6.0f);
    EXPECT_EQ(m_d.FieldBackground(IDC_LOW_GAIN), WAITING);
    m_d.TapKey(VK_TAB);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(Plot().GetLowGain(), 0.0f);
    EXPECT_NE(m_d.FieldBackground(IDC_LOW_GAIN), WAITING);
}

// Only the user confirms a held value: Enter, Tab, a click into another
// control of the form.  Whatever the program does on its own while a value
// is held (a dialog or message box takes the focus, a channel or mode
// change, Undo/Redo, Save, Open, a read-back, the frame taking the focus)
// drops it: the unit never gets it, the field shows the value in use again,
// its colour goes and the status bar says the typed value was not applied.
// Save after a drop writes what the screen shows: the Open row reads that
// file and sends nothing.
TEST_F(EditorForm, OnlyTheUserConfirmsAHeldValue)
{
    ASSERT_TRUE(m_d.Connect());
    CSimUnit& u = m_d.Unit();
    CDlgCrossover& form = m_d.Form();
    const SFieldRule& highHP = *CFieldRules::Find(IDC_HIGH_HP_FREQ);
    wchar_t szDir[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szDir);
    ::GetTempFileNameW(szDir, L"qvr", 0, szPath);

    auto cancelDialog = [](const wchar_t* pszTitle) {
        CDialogScript::Arm(pszTitle, [](HWND hDlg) { CDialogScript::Click(hDlg, IDCANCEL); });
    };
    auto command = [&](int nId) { ::SendMessageW(m_d.FormWnd(), WM_COMMAND, static_cast<WPARAM>(nId), 0); };
    auto serialize = [&](int nDirection) {
        CFileHandle h(::CreateFileW(szPath, nDirection == 0 ? GENERIC_WRITE : GENERIC_READ, 0, nullptr,
                                    nDirection == 0 ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(h);
        EXPECT_EQ(form.SerializeConfig(h, nDirection, FALSE), 1);
    };
    struct SRow {
        const char* pszName;
        std::function<void()> act;
        bool bConfirms;
    };
    const SRow rows[] = {
        {"Enter", [&] { m_d.TapKey(VK_RETURN); }, true},
        {"Tab", [&] { m_d.TapKey(VK_TAB); }, true},
        {"a click into another field", [&] { m_d.Click(IDC_LOW_GAIN); }, true},
        {"a click on a Mute button", [&] { m_d.Click(IDC_HIGH_INVERT); }, true},
        {"Copy Channel's dialog", [&] { cancelDialog(L"Copy Channel"); command(ID_COPY_CHANNEL); }, false},
        {"Profile Information's dialog",
         [&] {
             cancelDialog(L"Profile Information");
             command(ID_PROFILE_INFO);
         },
         false},
        {"the Speaker Library button", [&] { cancelDialog(L"Speaker Library"); m_d.Click(IDC_SPEAKER); }, false},
        {"the mode question", [&] { m_d.AnswerNextMessageBox(IDNO); m_d.Click(IDC_BIAMP); }, false},
        {"a channel button", [&] { m_d.Click(IDC_CH_LEFT); }, false},
        {"the sibling's channel change", [&] { ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, 0, 0); }, false},
        {"Undo", [&] { command(ID_EDIT_UNDO); }, false},
        {"Redo", [&] { command(ID_EDIT_REDO); }, false},
        {"Save", [&] { serialize(0); }, false},
        {"Open of the file just saved", [&] { serialize(1); }, false},
        {"a read-back", [&] {
             ::SendMessageW(m_d.FormWnd(), WM_READ_SETTINGS, 0, 0);
             ASSERT_TRUE(m_d.SettleReadBack());
         }, false},
        {"the frame taking the focus", [&] { ::SetFocus(::GetParent(m_d.FormWnd())); }, false},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        // Center's High HP plays 2500; 1000 is typed over it and held.
        if (!m_d.Checked(IDC_CH_CENTER))
            m_d.Click(IDC_CH_CENTER);
        CFieldRules::SetValue(Plot(), highHP, 2500.0f, true);
        form.UpdateControls();
        // The focus put there directly: clicks of consecutive rows at the
        // same place could make a double-click, which does not focus.
        ::SetFocus(m_d.Item(IDC_HIGH_HP_FREQ));
        m_d.SelectAllByKeys();
        m_d.Type("1000");
        ASSERT_TRUE(m_d.Drain());
        ASSERT_FLOAT_EQ(UnitFloat(CENTER, 2), 2500.0f);
        ASSERT_EQ(m_d.FieldBackground(IDC_HIGH_HP_FREQ), WAITING);
        ASSERT_TRUE(form.HoldsValue());
        u.ClearLog();

        row.act();
        m_d.Settle();
        ASSERT_TRUE(m_d.Drain()); // the fence: whatever the action sent has arrived
        EXPECT_FALSE(form.HoldsValue());
        const float fltCenter = m_d.Checked(IDC_CH_CENTER) ? Plot().GetHighHPFreq()
                                                            : form.Configuration().Record(CENTER).GetHighHPFreq();
        if (row.bConfirms) {
            EXPECT_FLOAT_EQ(UnitFloat(CENTER, 2), 1000.0f);
            EXPECT_FLOAT_EQ(fltCenter, 1000.0f);
            continue;
        }
        EXPECT_EQ(u.CountSets(CENTER, 2), 0u);
        EXPECT_FLOAT_EQ(UnitFloat(CENTER, 2), 2500.0f);
        EXPECT_FLOAT_EQ(fltCenter, 2500.0f);
        EXPECT_NE(m_d.StatusHint().find(L"was not applied"), std::wstring::npos) << m_d.StatusHint().size();
        if (m_d.Checked(IDC_CH_CENTER)) {
            EXPECT_EQ(m_d.Text(IDC_HIGH_HP_FREQ), L"2500");
            EXPECT_NE(m_d.FieldBackground(IDC_HIGH_HP_FREQ), WAITING);
        }
    }
    ::DeleteFileW(szPath);
}

TEST_F(EditorForm, CharacterFilterAndEmptyFields)
{
    ASSERT_TRUE(m_d.Connect());
    // A decimal point in a frequency field is dropped; the minus sign is taken.
    m_d.ClearField(IDC_LOW_LP_FREQ);
    m_d.Type("2.5");
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"25");
    EXPECT_TRUE(m_d.FieldError(IDC_LOW_LP_FREQ));
    m_d.ClearField(IDC_HP_FREQ);
    m_d.Type("-5");
    EXPECT_EQ(m_d.Text(IDC_HP_FREQ), L"-5");
    EXPECT_TRUE(m_d.FieldError(IDC_HP_FREQ));
    // A gain field takes the point; -3.27 is applied as typed and stays shown so.
    m_d.ClearField(IDC_LOW_PEQ_GAIN);
    m_d.Type("-3.27");
    EXPECT_EQ(m_d.Text(IDC_LOW_PEQ_GAIN), L"-3.27");
    EXPECT_FLOAT_EQ(Plot().GetLowPEQGain(), -3.27f);
    // Clearing Low Gain applies 0 dB; clearing Low PEQ Q turns it red.
    m_d.ClearField(IDC_LOW_PEQ_Q);
    m_d.TapKey(VK_SHIFT); // a key release in the emptied field
    EXPECT_TRUE(m_d.FieldError(IDC_LOW_PEQ_Q));
    EXPECT_FLOAT_EQ(Plot().GetLowPEQQ(), 1.0f);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 26), -3.27f);
    EXPECT_EQ(m_d.Unit().CountSets(CENTER, 23), 0u);
    EXPECT_EQ(m_d.Unit().CountSets(CENTER, 0), 0u);
    EXPECT_EQ(m_d.Unit().CountSets(CENTER, 25), 0u);
}

namespace {
void PutOnClipboard(HWND hOwner, const wchar_t* psz)
{
    ASSERT_TRUE(::OpenClipboard(hOwner));
    ::EmptyClipboard();
    const std::size_t cb = (std::wcslen(psz) + 1) * sizeof(wchar_t);
    HGLOBAL hData = ::GlobalAlloc(GMEM_MOVEABLE, cb);
    std::memcpy(::GlobalLock(hData), psz, cb);
    ::GlobalUnlock(hData);
    ::SetClipboardData(CF_UNICODETEXT, hData);
    ::CloseClipboard();
}
} // namespace

// Pasting goes through the typing filter: what could not be typed is left
// out, and the rest is applied as if typed.
TEST_F(EditorForm, PastedTextPassesTheCharacterFilter)
{
    ASSERT_TRUE(m_d.Connect());
    PutOnClipboard(m_d.FormWnd(), L"500abc");
    m_d.ClearField(IDC_LOW_LP_FREQ);
    m_d.Key(VK_CONTROL, true);
    m_d.TapKey('V');
    m_d.Key(VK_CONTROL, false);
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"500");
    EXPECT_FALSE(m_d.FieldError(IDC_LOW_LP_FREQ));
    EXPECT_FLOAT_EQ(Plot().GetLowLPFreq(), 500.0f);
    // A point is no frequency character; a gain field takes it.
    PutOnClipboard(m_d.FormWnd(), L" 1.5e3\r\n");
    m_d.ClearField(IDC_LOW_LP_FREQ);
    ::SendMessageW(m_d.Item(IDC_LOW_LP_FREQ), WM_PASTE, 0, 0);
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"153");
    PutOnClipboard(m_d.FormWnd(), L"-2.5 dB");
    m_d.ClearField(IDC_LOW_PEQ_GAIN);
    ::SendMessageW(m_d.Item(IDC_LOW_PEQ_GAIN), WM_PASTE, 0, 0);
    EXPECT_EQ(m_d.Text(IDC_LOW_PEQ_GAIN), L"-2.5");
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 23), 500.0f);
}

TEST_F(EditorForm, UpDownSteppingStopsAtTheRangeEdges)
{
    ASSERT_TRUE(m_d.Connect());
    CSimUnit& u = m_d.Unit();
    const float fltOutputBefore = u.GetOutputFloat(1, 1); // Center Low in Triamp
    // Low Gain at 0.0: Up does nothing; Down shows -0.5 and sends it.
    m_d.Click(IDC_LOW_GAIN);
    m_d.TapKey(VK_UP);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Text(IDC_LOW_GAIN), L"0.0");
    EXPECT_EQ(u.CountCommands(7), 0u);
    EXPECT_FLOAT_EQ(u.GetOutputFloat(1, 1), fltOutputBefore);
    m_d.TapKey(VK_DOWN);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Text(IDC_LOW_GAIN), L"-0.5");
    EXPECT_FLOAT_EQ(u.GetOutputFloat(1, 1), -0.5f + 0.0f - 8.0f);
    // CH Delay: Down from 0 does nothing, Up shows 0.0208 and sends it.
    m_d.Click(IDC_DELAY);
    m_d.TapKey(VK_DOWN);
    EXPECT_EQ(m_d.Text(IDC_DELAY), L"0.0000");
    m_d.TapKey(VK_UP);
    EXPECT_EQ(m_d.Text(IDC_DELAY), L"0.0208");
    // HP Freq.: stepped up from 30 to 40, one more Up does nothing.
    m_d.Click(IDC_HP_FREQ);
    for (int i = 0; i < 10; ++i)
        m_d.TapKey(VK_UP);
    EXPECT_EQ(m_d.Text(IDC_HP_FREQ), L"40");
    ASSERT_TRUE(m_d.Drain());
    const auto nHPSets = u.CountSets(CENTER, 0);
    m_d.TapKey(VK_UP);
    EXPECT_EQ(m_d.Text(IDC_HP_FREQ), L"40");
    // Down at 20 does nothing either.
    for (int i = 0; i < 25; ++i)
        m_d.TapKey(VK_DOWN);
    EXPECT_EQ(m_d.Text(IDC_HP_FREQ), L"20");
    ASSERT_TRUE(m_d.Drain());
    EXPECT_GT(u.CountSets(CENTER, 0), nHPSets);
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 0), 20.0f);
    // Up in a red field replaces the text by the stored value plus one step
    // ("-5" was valid and applied on the way to "-50").
    m_d.ClearField(IDC_HIGH_GAIN);
    m_d.Type("-50");
    EXPECT_TRUE(m_d.FieldError(IDC_HIGH_GAIN));
    EXPECT_FLOAT_EQ(Plot().GetHighGain(), -5.0f);
    m_d.TapKey(VK_UP);
    EXPECT_EQ(m_d.Text(IDC_HIGH_GAIN), L"-4.5");
    EXPECT_FALSE(m_d.FieldError(IDC_HIGH_GAIN));
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(u.CountSets(CENTER, 29), 1u);
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 29), 0.0208f);
    EXPECT_FLOAT_EQ(u.GetOutputFloat(1, 0), -4.5f - 8.0f); // Center High
}

TEST_F(EditorForm, DraggingTheLowCrossoverToTheFarLeftStopsAtTheModesMinimum)
{
    ASSERT_TRUE(m_d.Connect());
    // Triamp: from 1000 Hz to the far left of the screen (negative x in the plot).
    m_d.ClearField(IDC_LOW_LP_FREQ);
    m_d.Type("1000");
    EXPECT_EQ(Plot().GetAdjuster(), 1);
    Drag(Plot().GetAdjusterRect(), -200, Centre(Plot().GetAdjusterRect()).y);
    EXPECT_FLOAT_EQ(Plot().GetLowLPFreq(), 200.0f);
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"200"); // refreshed by WM_ADJUSTER_MOVED
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 23), 200.0f);

    // Biamp: the same drag stops at 100 Hz.
    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.SettleReadBack());
    m_d.Settle();
    ASSERT_EQ(Plot().GetMode(), MODE_BIAMP);
    m_d.Click(IDC_LOW_LP_FREQ);
    Drag(Plot().GetAdjusterRect(), -200, Centre(Plot().GetAdjusterRect()).y);
    EXPECT_FLOAT_EQ(Plot().GetLowLPFreq(), 100.0f);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 23), 100.0f);
    // Far right: 4000 Hz.
    Drag(Plot().GetAdjusterRect(), 5000, Centre(Plot().GetAdjusterRect()).y);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 23), 4000.0f);
}

TEST_F(EditorForm, DraggingAQHandleOntoTheCentreLineGivesQ10)
{
    ASSERT_TRUE(m_d.Connect());
    m_d.Click(IDC_LOW_PEQ_Q);
    ASSERT_EQ(Plot().GetAdjuster(), 2);
    m_d.Settle();
    const RECT rcMain = Plot().GetAdjusterRect();
    const RECT rcRight = Plot().GetQRightRect();
    ASSERT_FALSE(::IsRectEmpty(&rcRight));
    // Q 1.0: the Q handles sit 100 pixels either side.
    EXPECT_EQ(Centre(rcRight).x - Centre(rcMain).x, 100);
    Drag(rcRight, Centre(rcMain).x, Centre(rcMain).y + 30);
    EXPECT_FLOAT_EQ(Plot().GetLowPEQQ(), 10.0f);
    EXPECT_FLOAT_EQ(Plot().GetLowPEQFreq(), 40.0f); // a Q drag moves only the Q
    EXPECT_EQ(m_d.Text(IDC_LOW_PEQ_Q), L"10.00");
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 25), 10.0f);
    EXPECT_EQ(m_d.Unit().CountSets(CENTER, 24), 0u);
    EXPECT_EQ(m_d.Unit().CountSets(CENTER, 26), 0u);
}

TEST_F(EditorForm, SubwooferDisablesItsControls)
{
    ASSERT_TRUE(m_d.Connect());
    m_d.Click(IDC_CH_SUBWOOFER);
    ASSERT_EQ(Plot().GetChannel(), CHANNEL_SUBWOOFER);
    for (int id : {277, 278, 250, 279, 251, 252, 274, 213, 275, 219, 276, 217, 263, 264, 265, 266, 267, 268, 269, 270,
                   271, 272, 273, 224, 229, 230, 231, 232, 233, 237, 238, 239, 240, 254, 255, 236, 241, 242, 248, 214,
                   215, 216, 218, 220, 222, 223, 227, 228})
        EXPECT_FALSE(::IsWindowEnabled(m_d.Item(id))) << id;
    for (int id : {IDC_LOW_LP_FREQ, IDC_LOW_GAIN, IDC_LOW_DELAY, IDC_LOW_MUTE, IDC_LOW_INVERT, IDC_DELAY, IDC_LEVEL})
        EXPECT_TRUE(::IsWindowEnabled(m_d.Item(id))) << id;
    EXPECT_TRUE(::GetWindowLongW(m_d.Item(IDC_LOW_LP_FREQ), GWL_STYLE) & ES_READONLY);
    // Disabled and read-only fields still show their values.
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"500");
    EXPECT_EQ(m_d.Text(IDC_HIGH_HP_FREQ), L"2500");
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"Subwoofer");
    // Typing into Low LP Freq. and stepping it change nothing; focusing it shows no handle.
    m_d.Click(IDC_LOW_LP_FREQ);
    EXPECT_EQ(Plot().GetAdjuster(), 0);
    m_d.Type("9");
    m_d.TapKey(VK_UP);
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"500");
    // Low Gain still works and goes to the Subwoofer's output.
    m_d.Click(IDC_LOW_GAIN);
    m_d.TapKey(VK_DOWN);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Unit().CountSets(CHANNEL_SUBWOOFER, 23), 0u);
    EXPECT_FLOAT_EQ(m_d.Unit().GetOutputFloat(1, 3), -0.5f - 8.0f);

    // Back to Center: everything enabled again, 211 writable.
    m_d.Click(IDC_CH_CENTER);
    EXPECT_TRUE(::IsWindowEnabled(m_d.Item(IDC_HIGH_PEQ_FREQ)));
    EXPECT_TRUE(::IsWindowEnabled(m_d.Item(IDC_MID_GAIN)));
    EXPECT_FALSE(::GetWindowLongW(m_d.Item(IDC_LOW_LP_FREQ), GWL_STYLE) & ES_READONLY);
}

TEST_F(EditorForm, BiampDisablesTheMidBand)
{
    // Offline the mode change refreshes the form at once.
    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.SettleReadBack());
    m_d.Settle();
    ASSERT_TRUE(m_d.Connect());
    for (int ch : {IDC_CH_LEFT, IDC_CH_CENTER}) {
        m_d.Click(ch);
        for (int id : {241, 242, 243, 244, 245, 246, 247, 248, 214, 215, 216, 218, 220, 222, 223, 227, 228})
            EXPECT_FALSE(::IsWindowEnabled(m_d.Item(id))) << id;
        EXPECT_TRUE(::IsWindowEnabled(m_d.Item(IDC_HIGH_PEQ_FREQ)));
        EXPECT_EQ(m_d.Text(IDC_MID_LP_FREQ), L"1600");
        EXPECT_EQ(m_d.Text(IDC_MID_HP_FREQ), L"10"); // the mode change set it
    }
    // A Low PEQ Freq. of 1000 is valid in Biamp.
    m_d.ClearField(IDC_LOW_PEQ_FREQ);
    m_d.Type("1000");
    EXPECT_FALSE(m_d.FieldError(IDC_LOW_PEQ_FREQ));
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 24), 1000.0f);
}

TEST_F(EditorForm, LevelTrackbarFromTopToBottom)
{
    ASSERT_TRUE(m_d.Connect());
    HWND hTrack = m_d.Item(IDC_LEVEL);
    RECT rcThumb;
    ::SendMessageW(hTrack, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&rcThumb));
    RECT rcChannel;
    ::SendMessageW(hTrack, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&rcChannel));
    const POINT ptThumb = CFormDriver::ClientToScreenPt(hTrack, Centre(rcThumb));
    m_d.MoveMouse(ptThumb);
    m_d.MouseButton(true);
    // Up past the top: +8.0 dB.
    m_d.MoveMouse(POINT{ptThumb.x, ptThumb.y - 400});
    EXPECT_EQ(m_d.Text(IDC_LEVEL_TEXT), L"8.0");
    std::vector<std::wstring> seen;
    RECT rcTrack;
    ::GetWindowRect(hTrack, &rcTrack);
    for (int y = rcTrack.top; y <= rcTrack.bottom + 40; y += 2) {
        m_d.MoveMouse(POINT{ptThumb.x, y});
        if (seen.empty() || seen.back() != m_d.Text(IDC_LEVEL_TEXT))
            seen.push_back(m_d.Text(IDC_LEVEL_TEXT));
    }
    EXPECT_EQ(m_d.Text(IDC_LEVEL_TEXT), L"-22.0");
    m_d.MouseButton(false);
    m_d.Settle();
    // Half-dB steps only, from +8.0 down to -22.0.
    for (const auto& s : seen) {
        const double v = _wtof(s.c_str());
        EXPECT_EQ(std::fmod(std::fabs(v) * 2.0, 1.0), 0.0) << s.c_str();
        EXPECT_GE(v, -22.0);
        EXPECT_LE(v, 8.0);
    }
    EXPECT_EQ(seen.front(), L"8.0");
    EXPECT_FLOAT_EQ(Plot().GetLevel(), -22.0f);
    EXPECT_EQ(::SendMessageW(hTrack, TBM_GETPOS, 0, 0), 44);
    ASSERT_TRUE(m_d.Drain());
    // The unit has the level and the band gains that include it.
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 31), -22.0f);
    EXPECT_FLOAT_EQ(m_d.Unit().GetOutputFloat(1, 1), 0.0f - 22.0f - 8.0f); // Low
    EXPECT_FLOAT_EQ(m_d.Unit().GetOutputFloat(1, 2), 0.0f - 22.0f - 8.0f); // Mid
    EXPECT_FLOAT_EQ(m_d.Unit().GetOutputFloat(1, 0), 0.0f - 22.0f - 8.0f); // High
    EXPECT_GE(m_d.Unit().CountSets(CENTER, 31), 10u); // sent while dragging
}

TEST_F(EditorForm, ModeQuestionNoKeepsEverythingYesMutesAndSwitches)
{
    ASSERT_TRUE(m_d.Connect());
    CSimUnit& u = m_d.Unit();
    const std::uint32_t dwFlagsBefore = u.GetFlags();
    m_d.AnswerNextMessageBox(IDNO);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.SettleReadBack());
    m_d.Settle();
    EXPECT_EQ(m_d.LastBoxCaption(), L"QVR500");
    EXPECT_EQ(m_d.LastBoxText().rfind(L"Warning!  A change of screen crossover type", 0), 0u);
    EXPECT_TRUE(m_d.Checked(IDC_TRIAMP));
    EXPECT_FALSE(m_d.Checked(IDC_BIAMP));
    EXPECT_EQ(Plot().GetMode(), MODE_TRIAMP);
    EXPECT_EQ(GetSystemFlags(), 0u);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(u.CountCommands(11), 0u);
    EXPECT_EQ(u.GetFlags(), dwFlagsBefore);
    EXPECT_EQ(u.GetStats().nSet, 0u);

    // The question is asked on the current mode's button too.
    m_d.AnswerNextMessageBox(IDNO);
    m_d.Click(IDC_TRIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));

    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.SettleReadBack());
    m_d.Settle();
    EXPECT_EQ(GetSystemFlags(), SYSFLAG_MUTE | SYSFLAG_BIAMP);
    EXPECT_EQ(Plot().GetMode(), MODE_BIAMP);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(u.CountCommands(11), 2u);
    EXPECT_TRUE(u.GetFlags() & SYSFLAG_MUTE);
    EXPECT_TRUE(u.GetFlags() & SYSFLAG_BIAMP);
    for (int c = 0; c < 5; ++c) {
        EXPECT_FLOAT_EQ(UnitFloat(c, 14), 10.0f) << c; // Mid HP reset
        EXPECT_EQ(u.CountGets(c, 31), 1u) << c;        // every channel read back
    }
    EXPECT_EQ(u.CountGets(CHANNEL_SUBWOOFER, 31), 1u);
    EXPECT_EQ(u.CountSets(CHANNEL_SUBWOOFER, 14), 0u);
    // Once the marker behind the reads has arrived the form shows Biamp.
    ASSERT_TRUE(m_d.WaitFor([&] { return !::IsWindowEnabled(m_d.Item(IDC_MID_LP_FREQ)); }));
    EXPECT_FALSE(::IsWindowEnabled(m_d.Item(IDC_MID_GROUP)));

    // Back to Triamp: the system mute stays on.
    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_TRIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.SettleReadBack());
    m_d.Settle();
    EXPECT_EQ(GetSystemFlags(), SYSFLAG_MUTE);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FALSE(u.GetFlags() & SYSFLAG_BIAMP);
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 14), 316.0f);
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 16), 800.0f);
}

TEST_F(EditorForm, ModeChangeOfflineRefreshesAtOnce)
{
    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    ASSERT_TRUE(m_d.SettleReadBack());
    m_d.Settle();
    EXPECT_EQ(m_d.Text(IDC_MID_HP_FREQ), L"10");
    EXPECT_FALSE(::IsWindowEnabled(m_d.Item(IDC_MID_LP_FREQ)));
    EXPECT_EQ(m_d.Form().Configuration().Record(CHANNEL_LEFT).GetMode(), MODE_BIAMP);
    // The shown channel keeps the reset after a round trip through another channel.
    m_d.Click(IDC_CH_RIGHT);
    m_d.Click(IDC_CH_CENTER);
    EXPECT_EQ(m_d.Text(IDC_MID_HP_FREQ), L"10");
    EXPECT_FLOAT_EQ(m_d.Form().Configuration().Record(CENTER).GetMidHPFreq(), 10.0f);
    EXPECT_EQ(m_d.Unit().GetStats().nRequests, 0u);
}

TEST_F(EditorForm, ChannelButtonsSelectAndTellTheSibling)
{
    ASSERT_TRUE(m_d.Connect());
    // A window standing in for the sibling program's frame records what it is sent.
    static std::vector<WPARAM> s_posted;
    s_posted.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == g_uMsgChannelChange)
            s_posted.push_back(w);
        return ::DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QVRTestSibling";
    ::RegisterClassW(&wc);
    HWND hSibling = ::CreateWindowExW(0, L"QVRTestSibling", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      wc.hInstance, nullptr);
    ASSERT_NE(hSibling, nullptr);
    g_hWndSibling = hSibling;
    auto posted = [&](WPARAM& w) {
        m_d.Settle();
        if (s_posted.empty())
            return false;
        w = s_posted.front();
        s_posted.erase(s_posted.begin());
        return true;
    };
    // Edit Center, switch to Left Center and back: the edit is kept in the channel set.
    m_d.ClearField(IDC_LOW_DELAY);
    m_d.Type("1.5");
    // Each key release applies what the field holds: "1" and "1.5" may both
    // go out (an idle queue sends at once instead of merging them).
    ASSERT_TRUE(m_d.Drain());
    const auto nTypedSets = m_d.Unit().GetStats().nSet;
    EXPECT_GE(nTypedSets, 1u);
    WPARAM w = 0;
    m_d.Click(IDC_CH_LEFT_CENTER);
    ASSERT_TRUE(posted(w));
    EXPECT_EQ(w, 6u);
    EXPECT_EQ(Plot().GetChannel(), CHANNEL_LEFT_CENTER);
    EXPECT_EQ(m_d.Text(IDC_LOW_DELAY), L"0.0000");
    m_d.Click(IDC_CH_LEFT_CENTER); // already shown: nothing posted
    EXPECT_FALSE(posted(w));
    m_d.Click(IDC_CH_CENTER);
    ASSERT_TRUE(posted(w));
    EXPECT_EQ(w, 1u);
    EXPECT_EQ(m_d.Text(IDC_LOW_DELAY), L"1.5000");
    // The sibling's numbers: 4 Subwoofer, anything unknown Left; nothing is posted back.
    ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, 4, 0);
    EXPECT_EQ(Plot().GetChannel(), CHANNEL_SUBWOOFER);
    EXPECT_TRUE(m_d.Checked(IDC_CH_SUBWOOFER));
    ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, 99, 0);
    EXPECT_EQ(Plot().GetChannel(), CHANNEL_LEFT);
    EXPECT_TRUE(m_d.Checked(IDC_CH_LEFT));
    ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, 0, 0);
    EXPECT_TRUE(m_d.Checked(IDC_CH_LEFT));
    // A unit without Left Center and Right Center: their numbers (6, 7) are ignored.
    const std::uint32_t dwFlags = GetSystemFlags();
    SetSystemFlags(dwFlags | SYSFLAG_NO_LCR, false);
    for (WPARAM n : {6u, 7u}) {
        ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, n, 0);
        EXPECT_EQ(Plot().GetChannel(), CHANNEL_LEFT) << n;
        EXPECT_TRUE(m_d.Checked(IDC_CH_LEFT)) << n;
        EXPECT_FALSE(m_d.Checked(n == 6u ? IDC_CH_LEFT_CENTER : IDC_CH_RIGHT_CENTER)) << n;
    }
    SetSystemFlags(dwFlags, false);
    EXPECT_FALSE(posted(w));
    g_hWndSibling = nullptr;
    ::DestroyWindow(hSibling);
    // Selecting channels sends nothing to the unit; only the typed delay went out.
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Unit().GetStats().nSet, nTypedSets);
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 28), 1.5f);
}

TEST_F(EditorForm, MuteInvertAndHighPassQ)
{
    ASSERT_TRUE(m_d.Connect());
    // The summed response is shown: it follows every one of these changes at once.
    Plot().ShowSum(true);
    auto sumIsCurrent = [&] {
        CBandResponse bands;
        CSummedResponse sum;
        bands.RecalcBands(Plot(), BAND_ALL);
        sum.Recalc(Plot(), bands, BAND_ALL);
        return std::memcmp(sum.GetSum(), Plot().GetSum().GetSum(), sizeof(double) * CSummedResponse::POINTS) == 0 &&
               std::memcmp(sum.GetGroupDelay(), Plot().GetSum().GetGroupDelay(),
                           sizeof(double) * CSummedResponse::POINTS) == 0;
    };
    const double dBefore = Plot().GetSum().GetSum()[2000 / 5];
    m_d.Click(IDC_LOW_MUTE);
    EXPECT_TRUE(sumIsCurrent());
    m_d.Click(IDC_HIGH_INVERT);
    EXPECT_TRUE(sumIsCurrent());
    EXPECT_GT(std::fabs(Plot().GetSum().GetSum()[2000 / 5] - dBefore), 3.0); // the Mid/High crossover
    m_d.ClearField(IDC_HIGH_DELAY);
    m_d.Type("0.5");
    EXPECT_FLOAT_EQ(Plot().GetHighDelay(), 0.5f);
    EXPECT_TRUE(sumIsCurrent());
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Unit().GetParameter(CENTER, 30), BAND_FLAG_MUTE);
    EXPECT_EQ(m_d.Unit().GetParameter(CENTER, 13), BAND_FLAG_INVERT);
    EXPECT_TRUE(m_d.Checked(IDC_LOW_MUTE));
    m_d.Click(IDC_LOW_MUTE);
    m_d.Click(IDC_HP_Q_2);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Unit().GetParameter(CENTER, 30), 0u);
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 1), 2.0f);
    EXPECT_FALSE(m_d.Checked(IDC_LOW_MUTE));
    EXPECT_TRUE(sumIsCurrent());
    // The other flag bits are carried over.
    m_d.Click(IDC_CH_LEFT);
    Plot().SetHighFlags(0x00000005, false);
    m_d.Click(IDC_HIGH_MUTE);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_EQ(m_d.Unit().GetParameter(CHANNEL_LEFT, 13), 0x00010005u);
}

TEST_F(EditorForm, SpeakerNameAndAdjusterLink)
{
    Plot().SetSpeakerName(u"");
    m_d.Form().UpdateControls();
    EXPECT_EQ(m_d.Text(IDC_SPEAKER), L"Unknown");
    // Mid Gain keeps the Mid LP handle; CH Delay leaves the selection alone.
    m_d.Click(IDC_MID_LP_FREQ);
    EXPECT_EQ(Plot().GetAdjuster(), 4);
    m_d.Click(IDC_MID_GAIN);
    EXPECT_EQ(Plot().GetAdjuster(), 4);
    m_d.Click(IDC_DELAY);
    EXPECT_EQ(Plot().GetAdjuster(), 4);
    m_d.Click(IDC_MID_DELAY);
    EXPECT_EQ(Plot().GetAdjuster(), 0);
    Plot().SelectAdjuster(6);
    Plot().SelectAdjuster(11);
    EXPECT_EQ(Plot().GetAdjuster(), 6);
    // A click beside every handle deselects.
    m_d.ClickAt(PlotPoint(Plot().GetPlotRect().left + 3, 3));
    EXPECT_EQ(Plot().GetAdjuster(), 0);
}

TEST_F(EditorForm, ConfigurationFilesRoundTripAndRefresh)
{
    ASSERT_TRUE(m_d.Connect());
    wchar_t szDir[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szDir);
    ::GetTempFileNameW(szDir, L"qvr", 0, szPath);
    // Write what the editor shows (the working copy's unsaved edit included).
    Plot().SetLowLPFreq(1234.0f, false);
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(h);
        EXPECT_EQ(m_d.Form().SerializeConfig(h, 0, FALSE), 1);
        EXPECT_EQ(::GetFileSize(h, nullptr), 1144u);
    }
    // Edit the shown channel as typing does: the working copy and the unit
    // change, the set keeps the file's value until another channel is chosen.
    // Reading the file back must still bring the edit back to the file's value.
    Plot().SetLowLPFreq(300.0f, true);
    m_d.Form().UpdateControls();
    ASSERT_TRUE(m_d.Drain());
    ASSERT_FLOAT_EQ(UnitFloat(CENTER, 23), 300.0f);
    ASSERT_FLOAT_EQ(m_d.Form().Configuration().Record(CENTER).GetLowLPFreq(), 1234.0f);
    m_d.Unit().ClearLog();
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(h);
        EXPECT_EQ(m_d.Form().SerializeConfig(h, 1, FALSE), 1);
    }
    EXPECT_EQ(m_d.Text(IDC_LOW_LP_FREQ), L"1234");
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 23), 1234.0f);
    EXPECT_EQ(m_d.Unit().CountSets(CENTER, 23), 1u);
    // The sibling program may show another channel while Open's gate asks:
    // every channel takes its own values of the file, and the screen shows
    // the channel shown now with its own.
    CConfigurationSet& config = m_d.Form().Configuration();
    config.Record(CHANNEL_LEFT).SetLevel(-6.0f, true);
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_EQ(m_d.Form().SerializeConfig(h, 0, FALSE), 1);
    }
    config.Record(CHANNEL_LEFT).SetLevel(-1.0f, true);
    Plot().SetLevel(-2.0f, true); // Center's edit
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(m_d.Form().SerializeConfig(h, 1, FALSE, nullptr, [&](const std::uint8_t*, std::size_t) {
            ::SendMessageW(m_d.FormWnd(), WM_SELECT_CHANNEL, 0, 0); // the sibling's Left
            return true;
        }), 1);
    }
    ASSERT_EQ(config.ShownChannel(), CHANNEL_LEFT);
    EXPECT_FLOAT_EQ(Plot().GetLevel(), -6.0f);
    EXPECT_EQ(m_d.Text(IDC_LEVEL_TEXT), L"-6.0");
    EXPECT_FLOAT_EQ(config.Record(CENTER).GetLevel(), 0.0f);
    EXPECT_FLOAT_EQ(config.Record(CENTER).GetLowLPFreq(), 1234.0f);
    ASSERT_TRUE(m_d.Drain());
    EXPECT_FLOAT_EQ(UnitFloat(CENTER, 31), 0.0f);
    EXPECT_FLOAT_EQ(UnitFloat(CHANNEL_LEFT, 31), -6.0f);
    // A file that is not a configuration is refused and changes nothing.
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD dw = 0;
        ::WriteFile(h, "nrvxo", 5, &dw, nullptr);
    }
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(m_d.Form().SerializeConfig(h, 1, FALSE), 0);
    }
    EXPECT_FLOAT_EQ(config.Current(CENTER).GetLowLPFreq(), 1234.0f);
    // A write that fails is reported.
    {
        CFileHandle h(::CreateFileW(szPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(m_d.Form().SerializeConfig(h, 0, FALSE), 0);
    }
    ::DeleteFileW(szPath);
}

// The curves meet the axis: a band's pixel at a frequency is drawn at that
// frequency's grid position, and only the bands of the channel appear.
TEST_F(EditorForm, PlotDrawsTheChannelsCurvesOnTheAxis)
{
    HWND hPlot = m_d.Item(IDC_PLOT);
    auto countColour = [&](COLORREF colour) {
        ::RedrawWindow(hPlot, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        m_d.Settle();
        const RECT rc = Plot().GetPlotRect();
        HDC hdc = ::GetDC(hPlot);
        int n = 0;
        for (int x = rc.left; x < rc.right; x += 1)
            for (int y = rc.top; y < rc.bottom; y += 1)
                n += ::GetPixel(hdc, x, y) == colour;
        ::ReleaseDC(hPlot, hdc);
        return n;
    };
    const CPlotGeometry geo(Plot().GetPlotRect().left, Plot().GetPlotRect().top);
    // The Low curve of Center at 100 Hz (point 20) lies on the 100 Hz grid line.
    {
        ::RedrawWindow(hPlot, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const float v = Plot().GetResponse().GetLowBand()[20];
        HDC hdc = ::GetDC(hPlot);
        const COLORREF c = ::GetPixel(hdc, geo.FreqToX(100), geo.GainToY(v));
        ::ReleaseDC(hPlot, hdc);
        EXPECT_EQ(c, RGB(255, 0, 0));
        EXPECT_EQ(geo.FreqToX(100), geo.GetLeft() + 11 + 22 * 6);
    }
    EXPECT_GT(countColour(RGB(255, 0, 0)), 200);
    EXPECT_GT(countColour(RGB(0, 0, 255)), 200);
    EXPECT_GT(countColour(RGB(0, 255, 0)), 200);
    m_d.Click(IDC_CH_SUBWOOFER);
    EXPECT_GT(countColour(RGB(255, 0, 0)), 200);
    EXPECT_EQ(countColour(RGB(0, 0, 255)), 0);
    EXPECT_EQ(countColour(RGB(0, 255, 0)), 0);
    m_d.Click(IDC_CH_LEFT);
    m_d.AnswerNextMessageBox(IDYES);
    m_d.Click(IDC_BIAMP);
    ASSERT_TRUE(m_d.WaitFor([&] { return m_d.BoxAnswered(); }));
    EXPECT_EQ(countColour(RGB(0, 0, 255)), 0);
    EXPECT_GT(countColour(RGB(0, 255, 0)), 200);
}

} // namespace
