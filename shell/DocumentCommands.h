#pragma once
// CDocumentCommands: File New, Open, Save and Save As, and the name of the
// current file.  The configuration goes to and from files through the form
// (its channel set, working copy and profile); the measurements' sidecar
// follows the configuration file (CMeasurementCommands).  A file is written
// through a temporary that replaces the old one only when complete; a file
// is read whole and judged (COpenApproval) before anything of it reaches the
// screen or the unit.  Only a file that was written or opened becomes the
// one Save writes to.
//
// The frame keeps the gate (the commands wait until the screen shows what
// the unit holds) and calls one method per command.  What the commands ask
// of the world around them (the file dialog, the error messages, the
// queue's meter polling) goes through IHost, so a test can answer the
// dialogs and record every question; the program's own host shows the
// dialogs and boxes owned by the frame.

#include <windows.h>

#include <memory>
#include <string>

#include "shell/DocumentFile.h"

class CDlgCrossover;
class CMeasurementCommands;

class CDocumentCommands {
public:
    class IHost {
    public:
        virtual ~IHost() = default;
        // The open (bOpen) or save dialog for configuration files.
        virtual CDocumentFile::EChoice ChooseFile(HWND hOwner, bool bOpen,
                                                  wchar_t (&szPath)[CDocumentFile::PATH_UNITS]) = 0;
        // A message with the error icon and the program's caption.
        virtual void ShowError(HWND hOwner, const std::wstring& text) = 0;
        // The queue's polling of the meters: off while New or Open has a
        // file dialog up or a file on its way to the unit.
        virtual void SetPolling(bool bOn) = 0;
    };
    // The program's host: CDocumentFile's dialogs, message boxes, the queue.
    static IHost& WindowsHost();

    CDocumentCommands(CMeasurementCommands& measurements, IHost& host);

    // The window that owns the dialogs and messages, and the form the
    // commands act on (nullptr once it has gone: the commands do nothing).
    void Attach(HWND hOwner, CDlgCrossover* pForm);

    // Asks for a file name, writes the factory defaults there and opens the
    // file like any other (a connected unit receives what changed).  A file
    // that cannot be written or read back changes nothing.
    void New();
    void Open();
    // Writes to the current file, or asks for a name while it is "Untitled".
    void Save();
    void SaveAs();

    // The path of the current file, or "Untitled" (PATH_UNITS units).
    const wchar_t* GetFileName() const { return m_pszFileName.get(); }

private:
    // Writes the configuration (factory defaults with bReset) to szPath
    // through a temporary file that replaces the old one only when complete;
    // tells the user and returns false when it cannot.
    bool SaveTo(const wchar_t* pszPath, bool bReset);
    // Reads a configuration file; tells the user and returns false when the
    // file cannot be opened or is refused (nothing is then changed).
    bool OpenFrom(const wchar_t* pszPath);
    void TakeFileName(const wchar_t* pszPath);
    void ShowMessage(UINT nStringId);

    CMeasurementCommands& m_measurements;
    IHost& m_host;
    HWND m_hWnd = nullptr;
    CDlgCrossover* m_pdlgCrossoverForm = nullptr;
    std::unique_ptr<wchar_t[]> m_pszFileName;
};
