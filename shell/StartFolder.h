#pragma once
// CStartFolder: where the file dialogs start.  The folder of the file last
// opened or saved (remembered per user, also for the next start); the first
// time, the program's folder when the user may write there, else the user's
// Documents folder.  Installed under Program Files the program's folder is
// not writable for a standard user, and offering it to save into only ends
// in an error.

#include <windows.h>

#include <string>

class CStartFolder {
public:
    // The remembered folder under the program's settings key.
    static constexpr const wchar_t* SETTING = L"LastFolder";

    static std::wstring Get();
    // Remembers the folder of pszFilePath (a full path as the dialogs give it).
    static void Remember(const wchar_t* pszFilePath);

    // Whether a file can be created in folder: one is made and deleted.
    // (Asking the file system, not reading permissions: only the attempt
    // tells, whatever grants or denies it.)
    static bool IsWritable(const std::wstring& folder);
    // Tests replace the check (nullptr restores it): Wine grants everything.
    using WritableCheck = bool (*)(const std::wstring& folder);
    static void SetWritableCheck(WritableCheck pfnCheck);

    // The user's Documents folder; empty when the system names none.
    static std::wstring DocumentsFolder();
};
