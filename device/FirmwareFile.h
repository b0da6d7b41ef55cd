#pragma once
// CFirmwareFile: a firmware file opened for a download, checked whole, and
// held so that nobody can change it while the download runs: read only,
// others may read it but not write it.  The dialog and `qvrtool firmware`
// open images through this one class, so that they accept the same files
// and tell the same reasons.
//
// The check cannot see a file cut on a record boundary (the format has no
// end mark): the image's extent, its word count and address range, is what
// shows it, and both front ends show it before the erase and at the end.

#include <windows.h>

#include <cstdint>
#include <string>

#include "device/firmware/FirmwareImage.h"
#include "framework/Handles.h"

class CFirmwareFile {
public:
    // Opens and checks the file; false when it cannot be used (FailureText
    // then says why).  A file opened before is let go first.
    bool Open(const wchar_t* pszPath);
    // Lets the file go (the download has ended).
    void Close() { m_hFile.Reset(); }
    bool IsOpen() const { return static_cast<bool>(m_hFile); }

    const CFirmwareImage& Image() const { return m_Image; }

    // Why the last Open failed: one of the file-check reasons, without the
    // leading "Failed to open the selected firmware file.".
    const std::wstring& FailureText() const { return m_failure; }
    // The image's extent with a string-table format taking the word count,
    // the first word's address and the last word's address.
    std::wstring ExtentText(unsigned nFormatId) const;

    // A string-table text with printf arguments (the table's formats are ASCII).
    static std::wstring Format(unsigned nFormatId, ...);

private:
    CFileHandle m_hFile;
    CFirmwareImage m_Image;
    std::wstring m_failure;
};
