#include "shell/DocumentFile.h"

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
    const std::wstring& folder = dialog.initialFolder;
    OPENFILENAMEW ofn{};
    // The older layout, without the fields that Windows 2000 added.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = dialog.pszFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = dialog.pszDefaultExtension;
    ofn.Flags = dialog.bOpen ? OPEN_FLAGS : SAVE_FLAGS;
    return CFileChoice::Run(ofn, dialog.bOpen, szPath, dialog.proposedName);
}

std::wstring CDocumentFile::Format(UINT nId, std::initializer_list<std::wstring> args)
{
    return g_Module.FormatString(nId, args);
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
