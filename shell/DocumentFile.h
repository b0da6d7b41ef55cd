#pragma once
// The document commands' dealings with the platform: the file dialogs set up
// as the program always shows them, and the texts of the messages about
// configuration files.

#include <windows.h>

#include <initializer_list>
#include <string>

#include "files/SafeFile.h"
#include "framework/FileChoice.h"

class CDocumentFile {
public:
    static constexpr int PATH_UNITS = CFileChoice::PATH_UNITS; // 260, with the terminator

    using EChoice = CFileChoice::EResult;
    // The open (bOpen) or save dialog for configuration files owned by
    // hOwner, starting in the start folder (CStartFolder) with no name
    // proposed.  On Chosen the full path is in szPath; a path that does not
    // fit is never cut: PathTooLong.
    static EChoice Choose(HWND hOwner, bool bOpen, wchar_t (&szPath)[PATH_UNITS]);

    // A file dialog of another kind of file.
    struct SDialog {
        bool bOpen = false;
        const wchar_t* pszFilter = nullptr;   // pairs of NUL-terminated texts, ending in an empty one
        const wchar_t* pszDefaultExtension = nullptr;
        std::wstring proposedName;            // save: the name offered
        std::wstring initialFolder;
    };
    static EChoice Choose(HWND hOwner, const SDialog& dialog, wchar_t (&szPath)[PATH_UNITS]);

    // String nId with its %ls fields filled in, in order.
    static std::wstring Format(UINT nId, std::initializer_list<std::wstring> args);
    // The message of a failed safe save: string nId (fields: the path, the
    // reason and the system's reason) filled in for result r.
    static std::wstring SaveFailure(UINT nId, const wchar_t* pszPath, const CSafeFile::SResult& r);
    // The system's own text for an error code, on one line.
    static std::wstring SystemReason(DWORD dwError);
    // The folder that holds the program, without a trailing backslash.
    static std::wstring ProgramFolder();
};
