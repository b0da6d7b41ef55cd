// The Measurements dialog on a document prepared in the test (the file
// dialogs are the end-to-end test's): what it shows per channel, Remove,
// the phase choice for every measurement, the typed level's check, and that
// each change reaches the owner (the plot asks its overlay again).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <string>
#include <vector>

#include "editor/measurements/DlgMeasurements.h"
#include "model/ChannelFields.h"
#include "tests/editor/DialogScript.h"
#include "tests/editor/FormDriver.h"

namespace {

CMeasurement Flat(double dDb, double dFrom = 20.0, double dTo = 20000.0)
{
    std::vector<SMeasurementPoint> points;
    for (double f = dFrom; f < dTo; f *= 1.1)
        points.push_back(SMeasurementPoint{f, dDb, 0.0});
    points.push_back(SMeasurementPoint{dTo, dDb, 0.0});
    CMeasurement m;
    std::string error;
    EXPECT_TRUE(CMeasurement::FromPoints(points, false, m, error)) << error;
    return m;
}

class DlgMeasurementsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CFormDriver::InitProcess();
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            m_configs.emplace_back(c);
        m_configs[CHANNEL_LEFT].SetMode(MODE_BIAMP);
        SSidecarChannel& center = m_overlay.Document().channels[CHANNEL_CENTER];
        center.room = SSidecarMeasurement{"room.txt", Flat(84.0, 25.0, 16000.0), EPhaseChoice::Measured};
        center.asMeasured = m_configs[CHANNEL_CENTER];
        center.drivers[2] = SSidecarMeasurement{"tweeter.txt", Flat(0.0, 500.0), EPhaseChoice::Measured};
        m_overlay.Changed();
    }
    // Runs the dialog for a channel with the script inside it.
    void Run(int nChannel, std::function<void(HWND)> script)
    {
        CDlgMeasurements::SContext ctx;
        ctx.pOverlay = &m_overlay;
        ctx.configOf = [this](int c) { return m_configs[static_cast<size_t>(c)]; };
        ctx.onChanged = [this] { ++m_nChanged; };
        ctx.format = [](UINT nId, std::initializer_list<std::wstring> args) {
            std::wstring s = std::to_wstring(nId);
            for (const std::wstring& a : args)
                s += L"|" + a;
            return s;
        };
        ctx.saveFailure = [](UINT, const wchar_t* psz, const CSafeFile::SResult&) { return std::wstring(psz); };
        ctx.systemReason = [](DWORD dw) { return std::to_wstring(dw); };
        ctx.nChannel = nChannel;
        CDlgMeasurements dlg(std::move(ctx));
        CDialogScript::Arm(L"Measurements", [script](HWND h) {
            script(h);
            ::SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
        });
        dlg.DoModal(nullptr);
        ASSERT_TRUE(CDialogScript::Ran());
    }
    static int Rows(HWND h)
    {
        return static_cast<int>(::SendDlgItemMessageW(h, IDC_MEAS_READOUT, LVM_GETITEMCOUNT, 0, 0));
    }

    std::vector<CChannelConfig> m_configs;
    CMeasurementOverlay m_overlay;
    int m_nChanged = 0;
};

} // namespace

TEST_F(DlgMeasurementsTest, ShowsTheChannelsMeasurementsAndItsBandsAndRemovesOnlyWhatIsAsked)
{
    Run(CHANNEL_CENTER, [&](HWND h) {
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_CHANNEL), L"Center");
        // "room.txt: N points, 25.0 Hz to 16000 Hz" through the owner's format.
        const std::wstring room = CDialogScript::Text(h, IDC_MEAS_ROOM);
        EXPECT_EQ(room.rfind(std::to_wstring(IDS_MEAS_SUMMARY) + L"|room.txt|", 0), 0u) << room;
        EXPECT_NE(room.find(L"|25.0|16000"), std::wstring::npos) << room;
        EXPECT_NE(CDialogScript::Text(h, IDC_MEAS_AS_MEASURED), L"");
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_ROOM_REMOVE));
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_EXPORT));
        EXPECT_EQ(Rows(h), CDeviationTable::BANDS); // 25 Hz .. 20 kHz
        // Triamp Center: three bands; the High one carries the tweeter.
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_BAND_NAME_0), L"Low:");
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_DRIVER_LOAD_1));
        EXPECT_FALSE(CDialogScript::Enabled(h, IDC_MEAS_DRIVER_REMOVE_0));
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_DRIVER_REMOVE_2));
        EXPECT_NE(CDialogScript::Text(h, IDC_MEAS_DRIVER_2).find(L"tweeter.txt"), std::wstring::npos);

        CDialogScript::Click(h, IDC_MEAS_DRIVER_REMOVE_2);
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_DRIVER_2), L"None");
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_ROOM_REMOVE)); // the room stays
        ::SetFocus(::GetDlgItem(h, IDC_MEAS_ROOM_REMOVE));
        CDialogScript::Click(h, IDC_MEAS_ROOM_REMOVE);
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_ROOM), L"None");
        // The pressed button went grey: the focus moved on to a control
        // that takes keys (else Escape would reach nothing).
        const HWND hFocus = ::GetFocus();
        EXPECT_TRUE(hFocus && ::IsChild(h, hFocus) && ::IsWindowEnabled(hFocus));
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_AS_MEASURED), L"");
        EXPECT_FALSE(CDialogScript::Enabled(h, IDC_MEAS_EXPORT));
        EXPECT_EQ(Rows(h), 0);

        // The Subwoofer: one band, named after it; Left in Biamp: no Mid.
        ::SendDlgItemMessageW(h, IDC_MEAS_CHANNEL, CB_SETCURSEL, CHANNEL_SUBWOOFER, 0);
        ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_MEAS_CHANNEL, CBN_SELCHANGE), 0);
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_BAND_NAME_0), L"Subwoofer:");
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_DRIVER_LOAD_0));
        EXPECT_FALSE(CDialogScript::Enabled(h, IDC_MEAS_DRIVER_LOAD_1) || CDialogScript::Enabled(h, IDC_MEAS_DRIVER_LOAD_2));
        ::SendDlgItemMessageW(h, IDC_MEAS_CHANNEL, CB_SETCURSEL, CHANNEL_LEFT, 0);
        ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_MEAS_CHANNEL, CBN_SELCHANGE), 0);
        EXPECT_FALSE(CDialogScript::Enabled(h, IDC_MEAS_DRIVER_LOAD_1));
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_DRIVER_LOAD_2));
    });
    const SSidecarChannel& center = m_overlay.Document().channels[CHANNEL_CENTER];
    EXPECT_FALSE(center.room || center.asMeasured || center.drivers[2]);
    EXPECT_EQ(m_nChanged, 2); // each removal reached the plot
}

TEST_F(DlgMeasurementsTest, ThePhaseChoiceTakesEveryMeasurementAndATypedLevelMustBeANumber)
{
    m_overlay.Document().channels[CHANNEL_LEFT].room =
        SSidecarMeasurement{"left.txt", Flat(80.0), EPhaseChoice::Measured};
    m_overlay.Document().channels[CHANNEL_LEFT].asMeasured = m_configs[CHANNEL_LEFT];
    Run(CHANNEL_CENTER, [&](HWND h) {
        EXPECT_TRUE(CDialogScript::Checked(h, IDC_MEAS_PHASE_MEASURED));
        CDialogScript::Click(h, IDC_MEAS_PHASE_MINIMUM);
        EXPECT_FALSE(CDialogScript::Enabled(h, IDC_MEAS_LEVEL));
        CDialogScript::Click(h, IDC_MEAS_LEVEL_TYPED);
        EXPECT_TRUE(CDialogScript::Enabled(h, IDC_MEAS_LEVEL));
        ::SetDlgItemTextW(h, IDC_MEAS_LEVEL, L"8x");
        EXPECT_FALSE(m_overlay.Document().view.bTypedLevel); // not a number: not taken
        EXPECT_NE(CDialogScript::Text(h, IDC_MEAS_IMPORT_NOTE), L"");
        ::SetDlgItemTextW(h, IDC_MEAS_LEVEL, L"1e9");
        EXPECT_FALSE(m_overlay.Document().view.bTypedLevel); // beyond any level
        ::SetDlgItemTextW(h, IDC_MEAS_LEVEL, L"86.5");
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_IMPORT_NOTE), L"");
        ::SendDlgItemMessageW(h, IDC_MEAS_TARGET, CB_SETCURSEL, static_cast<WPARAM>(ETargetCurve::S2K), 0);
        ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_MEAS_TARGET, CBN_SELCHANGE), 0);
        ::SendDlgItemMessageW(h, IDC_MEAS_SMOOTHING, CB_SETCURSEL, 2, 0);
        ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_MEAS_SMOOTHING, CBN_SELCHANGE), 0);
    });
    const CSidecar& doc = m_overlay.Document();
    EXPECT_EQ(doc.channels[CHANNEL_CENTER].room->ePhase, EPhaseChoice::Minimum);
    EXPECT_EQ(doc.channels[CHANNEL_CENTER].drivers[2]->ePhase, EPhaseChoice::Minimum);
    EXPECT_EQ(doc.channels[CHANNEL_LEFT].room->ePhase, EPhaseChoice::Minimum);
    EXPECT_TRUE(doc.view.bTypedLevel);
    EXPECT_DOUBLE_EQ(doc.view.dTypedLevel, 86.5);
    EXPECT_EQ(doc.view.eTarget, ETargetCurve::S2K);
    EXPECT_EQ(doc.view.nSmoothing, 3); // the third entry: 1/3 octave

    // Opened again, the dialog shows what the document holds.
    Run(CHANNEL_LEFT, [&](HWND h) {
        EXPECT_TRUE(CDialogScript::Checked(h, IDC_MEAS_PHASE_MINIMUM));
        EXPECT_TRUE(CDialogScript::Checked(h, IDC_MEAS_LEVEL_TYPED));
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_LEVEL), L"86.5");
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_TARGET), L"S2K");
        EXPECT_EQ(CDialogScript::Text(h, IDC_MEAS_SMOOTHING), L"1/3 octave");
    });
}
