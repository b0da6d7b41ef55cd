#pragma once
// Replacing a file without ever leaving it half written: the new content is
// written to a temporary file beside the file and takes its place only when
// it is complete.  What the user set up stays as it was: a symbolic link stays
// a link (the file it points to is replaced), the replaced file keeps its
// permissions (and on Windows its attributes and security), and a path that
// names something other than a regular file (a directory, a device) is
// refused before anything is written.  Abandoning (or destroying) the object
// before Commit removes the temporary file and leaves the old one untouched.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "files/ByteStream.h"

class CSafeFile {
public:
    enum class EStatus {
        Ok,
        NotRegularFile,  // the path names a directory, a device or another special file
        CannotCreate,    // the temporary file could not be made (folder missing, read-only, full, ...)
        WriteFailed,     // the content did not reach the disk
        CannotReplace,   // the old file could not be replaced (it is in use, read-only, ...)
    };
    struct SResult {
        EStatus status = EStatus::Ok;
        // errno (POSIX) or GetLastError() (Windows) of the failing call; 0 when none.
        unsigned long nSystemError = 0;
        bool Ok() const { return status == EStatus::Ok; }
    };

    CSafeFile();
    ~CSafeFile();
    CSafeFile(const CSafeFile&) = delete;
    CSafeFile& operator=(const CSafeFile&) = delete;

    // Checks the path and creates the temporary file beside the file it names.
    SResult Begin(const std::filesystem::path& path);
    // The temporary file, to write the new content into (after a successful Begin).
    IByteStream& Stream();
    // The operating system's handle of the temporary file (a HANDLE on Windows,
    // a file descriptor cast to a pointer elsewhere).
    void* NativeHandle() const;
    // Puts the complete content in place of the file.
    SResult Commit();
    // Removes the temporary file; the file stays as it was.
    void Abandon();

    // The file that Commit replaces (the target of a link).
    const std::filesystem::path& Target() const { return m_target; }
    // A short English text for a status (the system's reason is separate).
    static const char* StatusText(EStatus status);

private:
    struct SImpl;
    std::unique_ptr<SImpl> m_pImpl;
    std::filesystem::path m_target;
};
