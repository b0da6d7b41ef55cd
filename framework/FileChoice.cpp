#include "framework/FileChoice.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <vector>

CFileChoice::EResult CFileChoice::Run(OPENFILENAMEW ofn, bool bOpen, wchar_t (&szPath)[PATH_UNITS],
                                      const std::wstring& proposedName)
{
    szPath[0] = L'\0';
    std::vector<wchar_t> chosen(DIALOG_UNITS, L'\0');
    const std::wstring proposed = proposedName.substr(0, PATH_UNITS - 1);
    std::copy(proposed.begin(), proposed.end(), chosen.begin());
    ofn.lpstrFile = chosen.data();
    ofn.nMaxFile = DIALOG_UNITS;
    const BOOL bChosen = bOpen ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    if (!bChosen)
        return ::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL ? EResult::PathTooLong : EResult::Cancelled;
    chosen.back() = L'\0';
    const std::size_t nLength = std::wcslen(chosen.data());
    if (nLength >= PATH_UNITS)
        return EResult::PathTooLong;
    std::copy(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(nLength) + 1, szPath);
    return EResult::Chosen;
}
