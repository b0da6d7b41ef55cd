#pragma once
// The document commands' dealings with the platform: the file dialogs set up
// as the program always shows them, and the texts of the messages about
// configuration files.

#include <windows.h>

#include <initializer_list>
#include <string>

#include "framework/FileChoice.h"

class CDocumentFile {
public:
    static constexpr int PATH_UNITS = CFileChoice::PATH_UNITS; // 260, with the terminator

    using EChoice = CFileChoice::EResult;
    // The open (bOpen) or save dialog owned by hOwner, starting in the
    // program's folder with no name proposed.  On Chosen the full path is in
    // szPath; a path that does not fit is never cut: PathTooLong.
    static EChoice Choose(HWND hOwner, bool bOpen, wchar_t (&szPath)[PATH_UNITS]);

    // String nId with its %ls fields filled in, in order.
    static std::wstring Format(UINT nId, std::initializer_list<std::wstring> args);
    // The system's own text for an error code, on one line.
    static std::wstring SystemReason(DWORD dwError);
    // The folder that holds the program, without a trailing backslash.
    static std::wstring ProgramFolder();
};
