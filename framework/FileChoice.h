#pragma once
// CFileChoice: a common file dialog (open or save) whose chosen path is
// never cut.  The dialog gets room for much more than the program keeps, so
// that a path too long for it comes back whole and is refused, never cut
// (some dialogs crash on a path longer than their buffer instead of
// reporting it); the caller tells the user with the program's message about
// too long paths.

#include <windows.h>
#include <commdlg.h>

#include <string>

class CFileChoice {
public:
    static constexpr int PATH_UNITS = MAX_PATH; // 260, with the terminator
    static constexpr int DIALOG_UNITS = 32768;  // what the dialog may hand back

    enum class EResult { Chosen, Cancelled, PathTooLong };
    // ofn is set up by the caller but for the path buffer (lpstrFile and
    // nMaxFile, which are the chooser's; it starts with proposedName, cut to
    // what the program keeps).  On Chosen the full path is in szPath.
    static EResult Run(OPENFILENAMEW ofn, bool bOpen, wchar_t (&szPath)[PATH_UNITS],
                       const std::wstring& proposedName = std::wstring());
};
