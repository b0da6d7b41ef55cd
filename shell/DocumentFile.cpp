#include "shell/DocumentFile.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "framework/ExeModule.h"
#include "resources/resource.h"
#include "shell/StartFolder.h"

namespace {
constexpr wchar_t FILTER[] = L"QVR Configuration Files (*.qvr)\0*.qvr\0";
constexpr wchar_t DEFAULT_EXTENSION[] = L"qvr";
// Save: OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER; open adds OFN_FILEMUSTEXIST.
constexpr DWORD SAVE_FLAGS = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
constexpr DWORD OPEN_FLAGS = SAVE_FLAGS | OFN_FILEMUSTEXIST;
static_assert(SAVE_FLAGS == 0x80806 && OPEN_FLAGS == 0x81806, "file dialog flags");
} // namespace

std::wstring CDocumentFile::ProgramFolder()
{
    std::vector<wchar_t> buffer(32768);
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size() - 1));
    buffer[n < buffer.size() ? n : buffer.size() - 1] = L'\0'; // not always terminated
    std::wstring path(buffer.data());
    const size_t nSlash = path.find_last_of(L'\\');
    return nSlash == std::wstring::npos ? std::wstring() : path.substr(0, nSlash);
}

CDocumentFile::EChoice CDocumentFile::Choose(HWND hOwner, bool bOpen, wchar_t (&szPath)[PATH_UNITS])
{
    SDialog dialog;
    dialog.bOpen = bOpen;
    dialog.pszFilter = FILTER;
    dialog.pszDefaultExtension = DEFAULT_EXTENSION;
    dialog.initialFolder = CStartFolder::Get();
    return Choose(hOwner, dialog, szPath);
}

CDocumentFile::EChoice CDocumentFile::Choose(HWND hOwner, const SDialog& dialog, wchar_t (&szPath)[PATH_UNITS])
{
    szPath[0] = L'\0';
    // The dialog gets room for much more than the program keeps, so that a
    // path too long for it comes back whole and is refused here, never cut
    // (some dialogs crash on a path longer than their buffer instead of
    // reporting it).
    std::vector<wchar_t> chosen(DIALOG_UNITS, L'\0');
    const std::wstring proposed = dialog.proposedName.substr(0, PATH_UNITS - 1);
    std::copy(proposed.begin(), proposed.end(), chosen.begin());
    const std::wstring& folder = dialog.initialFolder;
    const bool bOpen = dialog.bOpen;
    OPENFILENAMEW ofn{};
    // The older layout, without the fields that Windows 2000 added.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = dialog.pszFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = chosen.data();
    ofn.nMaxFile = DIALOG_UNITS;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = dialog.pszDefaultExtension;
    ofn.Flags = bOpen ? OPEN_FLAGS : SAVE_FLAGS;
    const BOOL bChosen = bOpen ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    if (!bChosen)
        return ::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL ? EChoice::PathTooLong : EChoice::Cancelled;
    chosen.back() = L'\0';
    const size_t nLength = std::wcslen(chosen.data());
    if (nLength >= PATH_UNITS)
        return EChoice::PathTooLong;
    std::copy(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(nLength) + 1, szPath);
    return EChoice::Chosen;
}

std::wstring CDocumentFile::Format(UINT nId, std::initializer_list<std::wstring> args)
{
    // Plain substitution: paths may hold '%' and printf's wide "%ls" is not
    // read alike by every C runtime.
    const std::wstring pattern = g_Module.LoadString(nId);
    std::wstring out;
    auto it = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 3, L"%ls") == 0 && it != args.end()) {
            out += *it++;
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::wstring CDocumentFile::SaveFailure(UINT nId, const wchar_t* pszPath, const CSafeFile::SResult& r)
{
    UINT nReason = IDS_SAVE_CANNOT_CREATE;
    switch (r.status) {
    case CSafeFile::EStatus::NotRegularFile: nReason = IDS_SAVE_NOT_REGULAR; break;
    case CSafeFile::EStatus::WriteFailed: nReason = IDS_SAVE_WRITE_FAILED; break;
    case CSafeFile::EStatus::CannotReplace: nReason = IDS_SAVE_CANNOT_REPLACE; break;
    case CSafeFile::EStatus::KeptAside: nReason = IDS_SAVE_KEPT_BESIDE; break;
    default: break;
    }
    // A kept-aside file is the only copy of the new content: name it.
    const std::wstring reason = r.status == CSafeFile::EStatus::KeptAside
                                    ? Format(nReason, {r.kept.wstring()})
                                    : g_Module.LoadString(nReason);
    const std::wstring system = r.nSystemError ? SystemReason(static_cast<DWORD>(r.nSystemError)) : std::wstring();
    return Format(nId, {pszPath, reason, system});
}

std::wstring CDocumentFile::SystemReason(DWORD dwError)
{
    wchar_t* pszText = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, dwError, 0, reinterpret_cast<wchar_t*>(&pszText), 0, nullptr);
    std::wstring text;
    if (n > 0 && pszText)
        text.assign(pszText, n);
    if (pszText)
        ::LocalFree(pszText);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) {
        wchar_t sz[40];
        std::swprintf(sz, 40, L"(error %lu)", static_cast<unsigned long>(dwError));
        text = sz;
    }
    return text;
}
