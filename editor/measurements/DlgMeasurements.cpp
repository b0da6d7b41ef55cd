#include "editor/measurements/DlgMeasurements.h"

#include <commctrl.h>

#include <cmath>
#include <cwchar>

#include "editor/measurements/MeasurementFiles.h"
#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "framework/ExeModule.h"
#include "framework/FileChoice.h"
#include "measure/DeviationTable.h"
#include "measure/TargetCurve.h"
#include "model/ChannelFields.h"
#include "model/ChannelNames.h"

namespace {

constexpr int BAND_BITS[3] = {BAND_LOW, BAND_MID, BAND_HIGH};
// The smoothing combo's entries, top to bottom, and the fraction each means.
constexpr struct {
    UINT nName;
    int nFraction;
} SMOOTHINGS[] = {{IDS_SMOOTHING_NONE, 0}, {IDS_SMOOTHING_SIXTH, 6}, {IDS_SMOOTHING_THIRD, 3}};
// A typed target level outside this range is taken for a typing slip.
constexpr double MAX_TYPED_LEVEL = 200.0;

std::wstring Number(double d, int nDecimals)
{
    wchar_t sz[32];
    swprintf(sz, 32, L"%.*f", nDecimals, d);
    return sz;
}

std::wstring Hertz(double d) { return Number(d, d < 100.0 ? 1 : 0); }

} // namespace

CDlgMeasurements::CDlgMeasurements(SContext context) : m_ctx(std::move(context)), m_nChannel(m_ctx.nChannel)
{
    if (m_nChannel < 0 || m_nChannel >= CHANNEL_COUNT)
        m_nChannel = 0;
}

// --- typed helpers -----------------------------------------------------------

void CDlgMeasurements::SetText(int nId, const std::wstring& text) { ::SetDlgItemTextW(m_hWnd, nId, text.c_str()); }

std::wstring CDlgMeasurements::Text(int nId) const
{
    wchar_t sz[64] = {};
    ::GetDlgItemTextW(m_hWnd, nId, sz, 64);
    return sz;
}

int CDlgMeasurements::ComboSel(int nId) const
{
    return static_cast<int>(::SendDlgItemMessageW(m_hWnd, nId, CB_GETCURSEL, 0, 0));
}

void CDlgMeasurements::Enable(int nId, bool bEnable)
{
    const HWND hCtl = ::GetDlgItem(m_hWnd, nId);
    // A control that goes grey with the focus (Remove, once pressed) would
    // leave the dialog without one, and then no key, not even Escape,
    // reaches it: the focus moves on first.
    if (!bEnable && ::GetFocus() == hCtl)
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE);
    ::EnableWindow(hCtl, bEnable);
}

void CDlgMeasurements::Message(const std::wstring& text, UINT uType)
{
    ::MessageBoxW(m_hWnd, text.c_str(), g_Module.LoadString(IDS_APP_TITLE).c_str(), uType);
}

bool CDlgMeasurements::ChooseFile(bool bOpen, UINT nFilterName, UINT nFilterPattern, const wchar_t* pszExtension,
                                  std::wstring& path)
{
    // "name\0pattern\0\0": the dialog's filter, from the string table.
    std::wstring filter = g_Module.LoadString(nFilterName);
    filter += L'\0';
    filter += g_Module.LoadString(nFilterPattern);
    filter += L'\0';
    filter += L'\0';
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrDefExt = pszExtension;
    ofn.Flags = bOpen ? OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY
                      : OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    wchar_t szPath[CFileChoice::PATH_UNITS] = {};
    const CFileChoice::EResult r = CFileChoice::Run(ofn, bOpen, szPath);
    if (r == CFileChoice::EResult::PathTooLong)
        Message(g_Module.LoadString(IDS_PATH_TOO_LONG), MB_ICONERROR);
    if (r != CFileChoice::EResult::Chosen)
        return false;
    path = szPath;
    return true;
}

bool CDlgMeasurements::LoadMeasurement(SSidecarMeasurement& out)
{
    std::wstring path;
    if (!ChooseFile(true, IDS_MEAS_FILTER_NAME, IDS_MEAS_FILTER_PATTERN, L"txt", path))
        return false;
    std::string bytes;
    DWORD dwError = 0;
    if (!CMeasurementFiles::ReadBounded(path, CTextTable::MAX_BYTES, bytes, dwError)) {
        Message(m_ctx.format(IDS_FILE_CANNOT_OPEN, {path, m_ctx.systemReason(dwError)}), MB_ICONERROR);
        return false;
    }
    STableSummary summary;
    CMeasurement data;
    if (!CMeasurement::Parse(bytes, data, summary)) {
        Message(m_ctx.format(IDS_MEAS_REFUSED, {path, CMeasurementFiles::FromUtf8(summary.Describe())}),
                MB_ICONERROR);
        return false;
    }
    out.name = CMeasurementFiles::ToUtf8(CMeasurementFiles::FileName(path));
    out.data = std::move(data);
    out.ePhase = ::IsDlgButtonChecked(m_hWnd, IDC_MEAS_PHASE_MINIMUM) == BST_CHECKED ? EPhaseChoice::Minimum
                                                                                      : EPhaseChoice::Measured;
    SetText(IDC_MEAS_IMPORT_NOTE, CMeasurementFiles::FileName(path) + L": " +
                                      CMeasurementFiles::FromUtf8(summary.Describe()));
    return true;
}

// --- showing the document ----------------------------------------------------

void CDlgMeasurements::ShowChannel()
{
    m_bFilling = true;
    const SSidecarChannel& ch = Channel();
    const auto summary = [&](const std::optional<SSidecarMeasurement>& m) {
        if (!m)
            return g_Module.LoadString(IDS_MEAS_NONE);
        return m_ctx.format(IDS_MEAS_SUMMARY, {CMeasurementFiles::FromUtf8(m->name),
                                               std::to_wstring(m->data.Points().size()),
                                               Hertz(m->data.MinFreq()), Hertz(m->data.MaxFreq())});
    };
    SetText(IDC_MEAS_ROOM, summary(ch.room));
    const std::wstring& from = m_ctx.pOverlay->asMeasuredFrom[m_nChannel];
    SetText(IDC_MEAS_AS_MEASURED, !ch.room ? std::wstring()
                                  : from.empty() ? g_Module.LoadString(IDS_MEAS_AS_ATTACHED)
                                                 : m_ctx.format(IDS_MEAS_AS_FILE, {from}));
    Enable(IDC_MEAS_ROOM_REMOVE, ch.room.has_value());
    Enable(IDC_MEAS_AS_MEASURED_PICK, ch.room.has_value());

    // The Subwoofer has one band (its Low); Mid exists in Triamp only.
    const bool bSub = m_nChannel == CHANNEL_SUBWOOFER;
    const bool bTriamp = m_ctx.configOf(m_nChannel).GetMode() == MODE_TRIAMP;
    const UINT anNames[3] = {bSub ? static_cast<UINT>(IDS_BAND_SUBWOOFER) : IDS_BAND_LOW, IDS_BAND_MID, IDS_BAND_HIGH};
    for (int k = 0; k < 3; ++k) {
        const bool bBand = k == 0 || (!bSub && (k == 2 || bTriamp));
        SetText(IDC_MEAS_BAND_NAME_0 + k, g_Module.LoadString(anNames[k]) + L":");
        SetText(IDC_MEAS_DRIVER_0 + k, summary(ch.drivers[k]));
        Enable(IDC_MEAS_BAND_NAME_0 + k, bBand);
        Enable(IDC_MEAS_DRIVER_0 + k, bBand);
        Enable(IDC_MEAS_DRIVER_LOAD_0 + k, bBand);
        Enable(IDC_MEAS_DRIVER_REMOVE_0 + k, bBand && ch.drivers[k].has_value());
    }
    m_bFilling = false;
    ShowReadout();
}

void CDlgMeasurements::ShowReadout()
{
    const HWND hList = ::GetDlgItem(m_hWnd, IDC_MEAS_READOUT);
    ::SendMessageW(hList, LVM_DELETEALLITEMS, 0, 0);
    m_rows.clear();
    const SSidecarChannel& ch = Channel();
    const bool bRoom = ch.room && ch.asMeasured;
    Enable(IDC_MEAS_EXPORT, bRoom);
    if (!bRoom)
        return;
    // The readout of the channel chosen here, with the filters as they are
    // now: the same computation the plot draws for the channel on show.
    auto pCurves = std::make_unique<CRoomCurves>();
    pCurves->SetView(Doc().view);
    pCurves->SetMask(Doc().mask ? &*Doc().mask : nullptr);
    pCurves->SetRoom(ch.room->data, *ch.asMeasured, ch.room->ePhase);
    pCurves->Update(m_ctx.configOf(m_nChannel));
    m_rows = pCurves->Deviations();
    const std::wstring outside = g_Module.LoadString(IDS_READOUT_OUTSIDE_MARK);
    int nItem = 0;
    for (const CDeviationTable::SRow& row : m_rows) {
        std::wstring band = Hertz(row.dNominal);
        // A deviation that rounds to nothing reads 0.0, not -0.0.
        const double d = std::fabs(row.dDeviation) < 0.05 ? 0.0 : row.dDeviation;
        std::wstring deviation = std::isnan(row.dDeviation) ? std::wstring() : Number(d, 1);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = nItem;
        item.pszText = band.data();
        ::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = deviation.data();
        ::SendMessageW(hList, LVM_SETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item));
        std::wstring mark = row.bOutside ? outside : std::wstring();
        item.iSubItem = 2;
        item.pszText = mark.data();
        ::SendMessageW(hList, LVM_SETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item));
        ++nItem;
    }
}

void CDlgMeasurements::Changed()
{
    m_ctx.pOverlay->Changed();
    if (m_ctx.onChanged)
        m_ctx.onChanged();
    ShowChannel();
}

// --- handlers ----------------------------------------------------------------

LRESULT CDlgMeasurements::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_bFilling = true;
    for (const char* pszName : kChannelNames) {
        const std::wstring name = CMeasurementFiles::FromUtf8(pszName);
        ::SendDlgItemMessageW(m_hWnd, IDC_MEAS_CHANNEL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    ::SendDlgItemMessageW(m_hWnd, IDC_MEAS_CHANNEL, CB_SETCURSEL, static_cast<WPARAM>(m_nChannel), 0);

    const SRoomView& view = Doc().view;
    for (int t = 0; t < CTargetCurve::COUNT; ++t) {
        const std::wstring name = CMeasurementFiles::FromUtf8(CTargetCurve::Name(static_cast<ETargetCurve>(t)));
        ::SendDlgItemMessageW(m_hWnd, IDC_MEAS_TARGET, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    ::SendDlgItemMessageW(m_hWnd, IDC_MEAS_TARGET, CB_SETCURSEL, static_cast<WPARAM>(view.eTarget), 0);
    ::CheckDlgButton(m_hWnd, IDC_MEAS_LEVEL_TYPED, view.bTypedLevel ? BST_CHECKED : BST_UNCHECKED);
    SetText(IDC_MEAS_LEVEL, Number(view.dTypedLevel, 1));
    Enable(IDC_MEAS_LEVEL, view.bTypedLevel);
    for (int s = 0; s < 3; ++s) {
        const std::wstring name = g_Module.LoadString(SMOOTHINGS[s].nName);
        ::SendDlgItemMessageW(m_hWnd, IDC_MEAS_SMOOTHING, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (SMOOTHINGS[s].nFraction == view.nSmoothing)
            ::SendDlgItemMessageW(m_hWnd, IDC_MEAS_SMOOTHING, CB_SETCURSEL, static_cast<WPARAM>(s), 0);
    }
    SetText(IDC_MEAS_MASK, Doc().mask ? CMeasurementFiles::FromUtf8(Doc().maskName) : g_Module.LoadString(IDS_MEAS_NONE));
    Enable(IDC_MEAS_MASK_REMOVE, Doc().mask.has_value());

    // The phase choice shown is the one of the measurements attached (the
    // minimum phase when any of them takes it).
    bool bMinimum = false;
    for (const SSidecarChannel& ch : Doc().channels) {
        bMinimum |= ch.room && ch.room->ePhase == EPhaseChoice::Minimum;
        for (const auto& d : ch.drivers)
            bMinimum |= d && d->ePhase == EPhaseChoice::Minimum;
    }
    ::CheckRadioButton(m_hWnd, IDC_MEAS_PHASE_MEASURED, IDC_MEAS_PHASE_MINIMUM,
                       bMinimum ? IDC_MEAS_PHASE_MINIMUM : IDC_MEAS_PHASE_MEASURED);

    const HWND hList = ::GetDlgItem(m_hWnd, IDC_MEAS_READOUT);
    ::SendMessageW(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const UINT anColumns[3] = {IDS_READOUT_BAND, IDS_READOUT_DEVIATION, IDS_READOUT_OUTSIDE};
    // Widths in dialog units: the three fill the list beside its scroll bar.
    const int anWidths[3] = {40, 56, 36};
    for (int c = 0; c < 3; ++c) {
        std::wstring title = g_Module.LoadString(anColumns[c]);
        RECT rc{0, 0, anWidths[c], 8};
        ::MapDialogRect(m_hWnd, &rc);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.fmt = c == 2 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        col.cx = rc.right;
        col.pszText = title.data();
        ::SendMessageW(hList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
    }
    m_bFilling = false;
    ShowChannel();
    return TRUE;
}

LRESULT CDlgMeasurements::OnChannel(UINT, WPARAM, LPARAM, BOOL&)
{
    const int n = ComboSel(IDC_MEAS_CHANNEL);
    if (n >= 0 && n < CHANNEL_COUNT) {
        m_nChannel = n;
        SetText(IDC_MEAS_IMPORT_NOTE, std::wstring());
        ShowChannel();
    }
    return 0;
}

LRESULT CDlgMeasurements::OnRoomLoad(UINT, WPARAM, LPARAM, BOOL&)
{
    SSidecarMeasurement m;
    if (!LoadMeasurement(m))
        return 0;
    // Measured with the channel as it is at this moment (what the unit
    // plays when connected: every edit has reached it).
    CChannelConfig asMeasured = m_ctx.configOf(m_nChannel);
    Channel().room = std::move(m);
    Channel().asMeasured = asMeasured;
    m_ctx.pOverlay->asMeasuredFrom[m_nChannel].clear();
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnRoomRemove(UINT, WPARAM, LPARAM, BOOL&)
{
    Channel().room.reset();
    Channel().asMeasured.reset();
    m_ctx.pOverlay->asMeasuredFrom[m_nChannel].clear();
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnAsMeasuredPick(UINT, WPARAM, LPARAM, BOOL&)
{
    std::wstring path;
    if (!Channel().room ||
        !ChooseFile(true, IDS_MEAS_CONFIG_FILTER_NAME, IDS_MEAS_CONFIG_FILTER_PATTERN, L"qvr", path))
        return 0;
    std::string bytes;
    DWORD dwError = 0;
    if (!CMeasurementFiles::ReadBounded(path, CConfigFile::FILE_BYTES, bytes, dwError)) {
        Message(m_ctx.format(IDS_FILE_CANNOT_OPEN, {path, m_ctx.systemReason(dwError)}), MB_ICONERROR);
        return 0;
    }
    // Read into channels of their own: nothing reaches the editor or the unit.
    CChannelConfig aChannels[CHANNEL_COUNT] = {CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                                               CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)};
    CMemoryStream stream(bytes.data(), bytes.size());
    const ConfigResult result = CConfigFile::Read(stream, aChannels, nullptr, false);
    if (!result.Ok() || bytes.size() != CConfigFile::FILE_BYTES) {
        const UINT nReason = result.status == EConfigStatus::WrongSignature ? IDS_FILE_NOT_CONFIGURATION
                             : result.status == EConfigStatus::ShortFile    ? IDS_FILE_UNREADABLE
                                                                            : IDS_FILE_UNREADABLE;
        Message(m_ctx.format(IDS_MEAS_CONFIG_REFUSED, {path, g_Module.LoadString(nReason)}), MB_ICONERROR);
        return 0;
    }
    // A configuration file does not hold the mode (the unit's system flags
    // do): the measurement is taken as made in the mode the channel has now.
    CChannelConfig picked = aChannels[m_nChannel];
    picked.SetChannel(m_nChannel);
    picked.SetMode(m_ctx.configOf(m_nChannel).GetMode());
    Channel().asMeasured = picked;
    m_ctx.pOverlay->asMeasuredFrom[m_nChannel] = CMeasurementFiles::FileName(path);
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnDriverLoad(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const int k = LOWORD(wParam) - IDC_MEAS_DRIVER_LOAD_0;
    SSidecarMeasurement m;
    if (k < 0 || k > 2 || !LoadMeasurement(m))
        return 0;
    Channel().drivers[k] = std::move(m);
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnDriverRemove(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const int k = LOWORD(wParam) - IDC_MEAS_DRIVER_REMOVE_0;
    if (k < 0 || k > 2)
        return 0;
    Channel().drivers[k].reset();
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnPhase(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_bFilling)
        return 0;
    // One choice for every measurement attached: mixing phases of both
    // kinds in one sum would make its dips meaningless.
    const EPhaseChoice e = ::IsDlgButtonChecked(m_hWnd, IDC_MEAS_PHASE_MINIMUM) == BST_CHECKED
                               ? EPhaseChoice::Minimum
                               : EPhaseChoice::Measured;
    for (SSidecarChannel& ch : Doc().channels) {
        if (ch.room)
            ch.room->ePhase = e;
        for (auto& d : ch.drivers)
            if (d)
                d->ePhase = e;
    }
    Changed();
    return 0;
}

void CDlgMeasurements::ReadView()
{
    SRoomView& view = Doc().view;
    const int nTarget = ComboSel(IDC_MEAS_TARGET);
    if (nTarget >= 0 && nTarget < CTargetCurve::COUNT)
        view.eTarget = static_cast<ETargetCurve>(nTarget);
    const int nSmoothing = ComboSel(IDC_MEAS_SMOOTHING);
    if (nSmoothing >= 0 && nSmoothing < 3)
        view.nSmoothing = SMOOTHINGS[nSmoothing].nFraction;
    const bool bTyped = ::IsDlgButtonChecked(m_hWnd, IDC_MEAS_LEVEL_TYPED) == BST_CHECKED;
    Enable(IDC_MEAS_LEVEL, bTyped);
    view.bTypedLevel = false;
    if (!bTyped)
        return;
    // A level that is not a number yet (being typed) leaves the target at
    // the prediction's level and says what is wanted.
    const std::wstring text = Text(IDC_MEAS_LEVEL);
    wchar_t* pszEnd = nullptr;
    const double d = std::wcstod(text.c_str(), &pszEnd);
    const bool bValid = !text.empty() && pszEnd && *pszEnd == L'\0' && std::isfinite(d) && std::fabs(d) <= MAX_TYPED_LEVEL;
    SetText(IDC_MEAS_IMPORT_NOTE, bValid ? std::wstring() : g_Module.LoadString(IDS_MEAS_LEVEL_BAD));
    if (bValid) {
        view.bTypedLevel = true;
        view.dTypedLevel = d;
    }
}

LRESULT CDlgMeasurements::OnView(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_bFilling)
        return 0;
    ReadView();
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnMaskLoad(UINT, WPARAM, LPARAM, BOOL&)
{
    std::wstring path;
    if (!ChooseFile(true, IDS_MEAS_FILTER_NAME, IDS_MEAS_FILTER_PATTERN, L"txt", path))
        return 0;
    std::string bytes;
    DWORD dwError = 0;
    if (!CMeasurementFiles::ReadBounded(path, CTextTable::MAX_BYTES, bytes, dwError)) {
        Message(m_ctx.format(IDS_FILE_CANNOT_OPEN, {path, m_ctx.systemReason(dwError)}), MB_ICONERROR);
        return 0;
    }
    STableSummary summary;
    CToleranceMask mask;
    if (!CToleranceMask::Parse(bytes, mask, summary)) {
        Message(m_ctx.format(IDS_MEAS_REFUSED, {path, CMeasurementFiles::FromUtf8(summary.Describe())}),
                MB_ICONERROR);
        return 0;
    }
    Doc().mask = std::move(mask);
    Doc().maskName = CMeasurementFiles::ToUtf8(CMeasurementFiles::FileName(path));
    SetText(IDC_MEAS_MASK, CMeasurementFiles::FileName(path));
    Enable(IDC_MEAS_MASK_REMOVE, true);
    SetText(IDC_MEAS_IMPORT_NOTE, CMeasurementFiles::FileName(path) + L": " +
                                      CMeasurementFiles::FromUtf8(summary.Describe()));
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnMaskRemove(UINT, WPARAM, LPARAM, BOOL&)
{
    Doc().mask.reset();
    Doc().maskName.clear();
    SetText(IDC_MEAS_MASK, g_Module.LoadString(IDS_MEAS_NONE));
    Enable(IDC_MEAS_MASK_REMOVE, false);
    Changed();
    return 0;
}

LRESULT CDlgMeasurements::OnExport(UINT, WPARAM, LPARAM, BOOL&)
{
    std::wstring path;
    if (m_rows.empty() || !ChooseFile(false, IDS_CSV_FILTER_NAME, IDS_CSV_FILTER_PATTERN, L"csv", path))
        return 0;
    const CSafeFile::SResult r = CMeasurementFiles::WriteSafely(path, CDeviationTable::Csv(m_rows));
    if (!r.Ok())
        Message(m_ctx.saveFailure(IDS_CSV_CANNOT_SAVE, path.c_str(), r), MB_ICONERROR);
    return 0;
}

LRESULT CDlgMeasurements::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}
