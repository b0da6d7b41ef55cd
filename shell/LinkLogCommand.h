#pragma once
// Help > Save Link Log...: the queue engine's link log written as a text file
// chosen in a Save As dialog, for support.  The log lives in memory only and
// is lost when the program ends.

#include <windows.h>

#include <string>

#include "device/RXQueue.h"
#include "shell/DlgSplash.h"

class CLinkLogCommand {
public:
    // The Save As dialog (*.txt, a name with today's date), then the file;
    // a file that cannot be written is reported and left as it was.
    static void Save(HWND hOwner);
    // The program and its version as the log's first lines name them.
    static std::string ProgramText()
    {
        return "QVR500 " + std::to_string(CDlgSplash::VERSION_MAJOR) + "." +
               std::to_string(CDlgSplash::VERSION_MINOR) + "." + std::to_string(CDlgSplash::VERSION_PATCH) +
               " Build " + std::to_string(CDlgSplash::VERSION_BUILD);
    }
    // A firmware revision reply (command 10): kept for the log's header.
    static void NoteFirmwareRevision(const utRXQueue& record);
};
