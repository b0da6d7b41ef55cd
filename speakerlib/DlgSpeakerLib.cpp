#include "speakerlib/DlgSpeakerLib.h"

#include "framework/ExeModule.h"
#include "framework/Handles.h"
#include "speakerlib/TextFormat.h"

namespace {

constexpr wchar_t DEFAULT_LIBRARY[] = L"speakerlib.ini";
constexpr wchar_t CUSTOM_LIBRARY[] = L"customlib.ini";
constexpr int IMAGE_WIDTH = 16;                      // bitmap 221: two 16 x 16 marks
constexpr COLORREF IMAGE_MASK = RGB(255, 0, 255);    // drawn on magenta
constexpr DWORD MODULE_PATH_UNITS = 32768;

const CDlgSpeakerLib::SChannelBit s_aChannelBits[] = {
    {CDlgSpeakerLib::CHANNEL_BIT_LEFT, CHANNEL_LEFT, IDC_LIB_LEFT},
    {CDlgSpeakerLib::CHANNEL_BIT_LEFT_CENTER, CHANNEL_LEFT_CENTER, IDC_LIB_LEFT_CENTER},
    {CDlgSpeakerLib::CHANNEL_BIT_CENTER, CHANNEL_CENTER, IDC_LIB_CENTER},
    {CDlgSpeakerLib::CHANNEL_BIT_RIGHT_CENTER, CHANNEL_RIGHT_CENTER, IDC_LIB_RIGHT_CENTER},
    {CDlgSpeakerLib::CHANNEL_BIT_RIGHT, CHANNEL_RIGHT, IDC_LIB_RIGHT},
};

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
std::u16string Utf16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

} // namespace

CDlgSpeakerLib::CDlgSpeakerLib(const CChannelConfig& record, int nBands)
    : m_config(record.GetChannel()), m_nBands(nBands == MODE_BIAMP ? MODE_BIAMP : MODE_TRIAMP)
{
    // Index and every setting of the record, nothing sent.
    m_config.Assign(record, false);
}

CDlgSpeakerLib::~CDlgSpeakerLib()
{
    if (m_hImages)
        ::ImageList_Destroy(m_hImages);
}

const CDlgSpeakerLib::SChannelBit* CDlgSpeakerLib::ChannelBits() { return s_aChannelBits; }

std::wstring CDlgSpeakerLib::LibraryPath(EDatabase eDatabase)
{
    std::wstring module(MODULE_PATH_UNITS, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, module.data(), MODULE_PATH_UNITS);
    module.resize(n < MODULE_PATH_UNITS ? n : MODULE_PATH_UNITS - 1); // not terminated when cut
    const size_t slash = module.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : module.substr(0, slash);
    return folder + L"\\" + (eDatabase == DATABASE_CUSTOM ? CUSTOM_LIBRARY : DEFAULT_LIBRARY);
}

CDlgSpeakerLib::EFileStatus CDlgSpeakerLib::ReadLibraryFile(const std::wstring& path, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    CFileHandle hFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) {
        const DWORD dwError = ::GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? FILE_NOT_FOUND : FILE_UNREADABLE;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(hFile, &size) || size.QuadPart < 0)
        return FILE_UNREADABLE;
    if (static_cast<unsigned long long>(size.QuadPart) > CSpeakerLibrary::MAX_FILE_BYTES)
        return FILE_TOO_LARGE;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t nGot = 0;
    while (nGot < bytes.size()) {
        DWORD dwRead = 0;
        if (!::ReadFile(hFile, bytes.data() + nGot, static_cast<DWORD>(bytes.size() - nGot), &dwRead, nullptr)) {
            bytes.clear();
            return FILE_UNREADABLE;
        }
        if (dwRead == 0)
            break; // the file shrank meanwhile: take what there is
        nGot += dwRead;
    }
    bytes.resize(nGot);
    return FILE_OK;
}

LRESULT CDlgSpeakerLib::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_hImages = ::ImageList_LoadImageW(g_Module.GetInstance(), MAKEINTRESOURCEW(IDB_SPEAKERLIB), IMAGE_WIDTH, 0,
                                       IMAGE_MASK, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    ::SendDlgItemMessageW(m_hWnd, IDC_LIB_LIST, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_hImages));

    for (const SChannelBit& b : s_aChannelBits)
        ::CheckDlgButton(m_hWnd, b.nBox, b.nChannel == m_config.GetChannel() ? BST_CHECKED : BST_UNCHECKED);
    FillList();
    ::CheckRadioButton(m_hWnd, IDC_LIB_DEFAULT, IDC_LIB_CUSTOM, IDC_LIB_DEFAULT);
    const BOOL bCenters = (GetSystemFlags() & SYSFLAG_NO_LCR) == 0;
    ::EnableWindow(GetDlgItem(IDC_LIB_LEFT_CENTER), bCenters);
    ::EnableWindow(GetDlgItem(IDC_LIB_RIGHT_CENTER), bCenters);
    if (!bCenters) {
        // A channel the unit does not have is never a target.
        ::CheckDlgButton(m_hWnd, IDC_LIB_LEFT_CENTER, BST_UNCHECKED);
        ::CheckDlgButton(m_hWnd, IDC_LIB_RIGHT_CENTER, BST_UNCHECKED);
    }
    // The list has the focus: the arrow keys go through the presets.
    ::SetFocus(GetDlgItem(IDC_LIB_LIST));
    return FALSE;
}

LRESULT CDlgSpeakerLib::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

void CDlgSpeakerLib::SetNote(const std::u16string& text) { ::SetDlgItemTextW(m_hWnd, IDC_LIB_NOTE, Wide(text)); }

void CDlgSpeakerLib::FillList()
{
    HWND hList = GetDlgItem(IDC_LIB_LIST);
    ::SendMessageW(hList, CB_RESETCONTENT, 0, 0);
    m_items.clear();
    m_library.Clear();
    m_fileNote.clear();

    const std::wstring path = LibraryPath(m_eDatabase);
    const std::u16string fileName = Utf16(m_eDatabase == DATABASE_CUSTOM ? CUSTOM_LIBRARY : DEFAULT_LIBRARY);
    ::SetDlgItemTextW(m_hWnd, IDC_LIB_PATH, Wide(CTextFormat::Format(IDS_LIB_PATH, {Utf16(path)})));

    std::vector<std::uint8_t> bytes;
    EFileStatus eStatus = ReadLibraryFile(path, bytes);
    if (eStatus == FILE_OK) {
        const CSpeakerLibrary::ELoad eLoad = m_library.Load(bytes.data(), bytes.size());
        if (eLoad == CSpeakerLibrary::ELoad::NotUtf16)
            eStatus = FILE_NOT_UTF16;
        else if (eLoad == CSpeakerLibrary::ELoad::TooLarge)
            eStatus = FILE_TOO_LARGE;
    }
    switch (eStatus) {
    case FILE_OK: break;
    case FILE_NOT_FOUND: m_fileNote = CTextFormat::Format(IDS_LIB_NOT_FOUND, {fileName}); break;
    case FILE_UNREADABLE: m_fileNote = CTextFormat::Format(IDS_LIB_UNREADABLE, {fileName}); break;
    case FILE_NOT_UTF16: m_fileNote = CTextFormat::Format(IDS_LIB_NOT_UTF16, {fileName}); break;
    case FILE_TOO_LARGE: m_fileNote = CTextFormat::Format(IDS_LIB_TOO_LARGE, {fileName}); break;
    }

    for (const std::u16string& name : m_library.Sections()) {
        if (CSpeakerPreset::BandsOf(m_library, name) != m_nBands)
            continue;
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
        item.iItem = -1;
        item.pszText = const_cast<wchar_t*>(Wide(name));
        item.iImage = item.iSelectedImage = m_nBands - MODE_BIAMP;
        if (::SendMessageW(hList, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) >= 0)
            m_items.push_back(name);
    }
    if (eStatus == FILE_OK && m_items.empty())
        m_fileNote = CTextFormat::Format(m_nBands == MODE_BIAMP ? IDS_LIB_NO_TWO_BAND : IDS_LIB_NO_THREE_BAND,
                                         {fileName});

    // The channel's own speaker first, else the first preset.
    char16_t szSpeaker[SPEAKER_NAME_UNITS] = {};
    m_config.GetSpeakerName(szSpeaker, static_cast<int>(sizeof szSpeaker));
    int nSelect = 0;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (CChannelConfig::SameSpeakerName(m_items[i].c_str(), szSpeaker)) {
            nSelect = static_cast<int>(i);
            break;
        }
    ::SendMessageW(hList, CB_SETCURSEL, m_items.empty() ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(nSelect), 0);
    ApplySelection();
}

void CDlgSpeakerLib::ApplySelection()
{
    m_bApplied = false;
    const int nSel = static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_LIB_LIST, CB_GETCURSEL, 0, 0));
    if (nSel < 0 || static_cast<size_t>(nSel) >= m_items.size()) {
        // Nothing to apply: the record keeps the channel's own values, and OK
        // changes nothing.
        SetNote(m_fileNote);
        ::EnableWindow(GetDlgItem(IDOK), TRUE);
        return;
    }
    const int nSame = CSpeakerPreset::EarlierWithSameStoredName(m_items, static_cast<size_t>(nSel));
    if (nSame >= 0) {
        // Once stored, its name would be the earlier preset's.
        SetNote(CTextFormat::Format(IDS_PRESET_NAME_CLASH, {m_items[static_cast<size_t>(nSame)]}));
        ::EnableWindow(GetDlgItem(IDOK), FALSE);
        return;
    }
    m_preset.Read(m_library, m_items[static_cast<size_t>(nSel)], m_nBands);
    if (m_preset.Usable()) {
        m_preset.ApplyTo(m_config, false);
        m_bApplied = true;
    }
    SetNote(m_preset.DescribeFault());
    ::EnableWindow(GetDlgItem(IDOK), m_bApplied);
}

LRESULT CDlgSpeakerLib::OnSelEndOk(UINT, WPARAM, LPARAM, BOOL&)
{
    ApplySelection();
    return 0;
}

LRESULT CDlgSpeakerLib::OnSelChange(UINT, WPARAM, LPARAM, BOOL&)
{
    // The arrow keys change the item of a closed list without a completed
    // choice: apply it too, so the preset on show is the one OK assigns.
    // While the list is open its end (CBN_SELENDOK) applies the choice.
    if (!::SendDlgItemMessageW(m_hWnd, IDC_LIB_LIST, CB_GETDROPPEDSTATE, 0, 0))
        ApplySelection();
    return 0;
}

LRESULT CDlgSpeakerLib::OnDatabase(UINT, WPARAM, LPARAM, BOOL&)
{
    m_eDatabase = ::IsDlgButtonChecked(m_hWnd, IDC_LIB_DEFAULT) == BST_CHECKED ? DATABASE_DEFAULT : DATABASE_CUSTOM;
    FillList();
    return 0;
}

LRESULT CDlgSpeakerLib::OnOK(UINT, WPARAM, LPARAM, BOOL&)
{
    if (!::IsWindowEnabled(GetDlgItem(IDOK)))
        return 0; // Enter while an unusable preset is selected
    m_dwChannels = 0;
    for (const SChannelBit& b : s_aChannelBits)
        if (::IsDlgButtonChecked(m_hWnd, b.nBox) == BST_CHECKED && ::IsWindowEnabled(GetDlgItem(b.nBox)))
            m_dwChannels |= b.dwBit;
    // With no usable preset applied there is nothing to assign.
    EndDialog(m_bApplied ? IDOK : IDCANCEL);
    return 0;
}

LRESULT CDlgSpeakerLib::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}
