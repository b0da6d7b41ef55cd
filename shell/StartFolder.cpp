#include "shell/StartFolder.h"

#include <shlobj.h>

#include <cwchar>

#include "framework/AppSettings.h"
#include "shell/DocumentFile.h"

namespace {
CStartFolder::WritableCheck s_pfnWritable = &CStartFolder::IsWritable;

bool IsFolder(const std::wstring& path)
{
    const DWORD dwAttributes = ::GetFileAttributesW(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
} // namespace

std::wstring CStartFolder::Get()
{
    // The remembered value is outside input: a folder the dialogs could not
    // start in (too long, gone, not a folder) is passed over.
    const std::wstring remembered = CAppSettings::ReadString(SETTING).value_or(L"");
    if (!remembered.empty() && remembered.size() < static_cast<size_t>(CDocumentFile::PATH_UNITS) &&
        IsFolder(remembered))
        return remembered;
    const std::wstring program = CDocumentFile::ProgramFolder();
    if (!program.empty() && s_pfnWritable(program))
        return program;
    const std::wstring documents = DocumentsFolder();
    return documents.empty() ? program : documents;
}

void CStartFolder::Remember(const wchar_t* pszFilePath)
{
    const std::wstring path(pszFilePath);
    const size_t nSlash = path.find_last_of(L"\\/");
    if (nSlash == std::wstring::npos || nSlash == 0)
        return;
    // "C:\file.qvr" lives in "C:\", not in "C:".
    const std::wstring folder = path.substr(0, path[nSlash - 1] == L':' ? nSlash + 1 : nSlash);
    CAppSettings::WriteString(SETTING, folder);
}

bool CStartFolder::IsWritable(const std::wstring& folder)
{
    wchar_t szName[64];
    std::swprintf(szName, 64, L"\\~qvr500-write-check-%lu-%lu.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                  static_cast<unsigned long>(::GetTickCount()));
    const std::wstring probe = folder + szName;
    const HANDLE hFile = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                       nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(hFile); // deletes it
    return true;
}

void CStartFolder::SetWritableCheck(WritableCheck pfnCheck)
{
    s_pfnWritable = pfnCheck ? pfnCheck : &CStartFolder::IsWritable;
}

std::wstring CStartFolder::DocumentsFolder()
{
    wchar_t szPath[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, szPath)))
        return {};
    szPath[MAX_PATH - 1] = L'\0';
    return szPath;
}
