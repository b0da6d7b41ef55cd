#pragma once
// The measurements' dealings with files on Windows: reading a file the user
// names (bounded: nothing from outside is read whole without a limit),
// writing one with the configuration's safe replacement, and the texts
// between the system's UTF-16 and the documents' UTF-8.

#include <windows.h>

#include <cstddef>
#include <string>

#include "files/SafeFile.h"

class CMeasurementFiles {
public:
    // Reads at most cbMax bytes of the file into out (a longer file gives
    // its first cbMax + 1 bytes, so that the reader can say it is too
    // large).  False with the system's error code when it cannot be read.
    static bool ReadBounded(const std::wstring& path, std::size_t cbMax, std::string& out, DWORD& dwError);
    // Replaces (or creates) the file with bytes through CSafeFile.
    static CSafeFile::SResult WriteSafely(const std::wstring& path, const std::string& bytes);

    static std::string ToUtf8(const std::wstring& text);
    static std::wstring FromUtf8(const std::string& text);
    // The last part of a path (the file's name).
    static std::wstring FileName(const std::wstring& path);
};
