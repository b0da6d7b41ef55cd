#pragma once
// CLinkLogFile: the link log of a queue engine as the text file support asks
// for.  First lines: the program and its version, the unit's firmware
// revision when a reply told it, the device entry and its line settings;
// then the events.  Written through the safe replacement (never half a file).

#include <windows.h>

#include <string>

#include "files/SafeFile.h"

class CComm;

class CLinkLogFile {
public:
    // The whole text; pszProgram names the program and its version.
    static std::string Compose(CComm& comm, const std::string& program);
    // Writes text to path (replacing a file there only when complete).
    static CSafeFile::SResult Write(const std::wstring& path, const std::string& text);
    // The name proposed for a log saved now: "QVR500 link log YYYY-MM-DD.txt".
    static std::wstring DefaultName();
};
