#pragma once
// Replacing a file without ever leaving it half written: the new content is
// written to a temporary file beside the file and takes its place only when
// it is complete.  What the user set up stays as it was: a symbolic link stays
// a link (the file it points to is replaced), the replaced file keeps its
// permissions (and on Windows its attributes and security), and a path that
// names something other than a regular file (a directory, a device) is
// refused before anything is written.  Abandoning (or destroying) the object
// before Commit removes the temporary file and leaves the old one untouched.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "files/ByteStream.h"

class CSafeFile {
public:
    enum class EStatus {
        Ok,
        NotRegularFile,  // the path names a directory, a device or another special file
        CannotCreate,    // the temporary file could not be made (folder missing, read-only, full, ...)
        WriteFailed,     // the content did not reach the disk
        CannotReplace,   // the old file could not be replaced (it is in use, read-only, ...): it is as it was
        KeptAside,       // the system took the old file away while failing to replace it, and the new
                         // content could not be put in its place either: it is kept in `kept`
    };
    struct SResult {
        SResult() = default;
        SResult(EStatus s, unsigned long nError, std::filesystem::path keptPath = {})
            : status(s), nSystemError(nError), kept(std::move(keptPath))
        {
        }
        EStatus status = EStatus::Ok;
        // errno (POSIX) or GetLastError() (Windows) of the failing call; 0 when none.
        unsigned long nSystemError = 0;
        // KeptAside: the file that holds the new content (the only copy of it).
        std::filesystem::path kept;
        bool Ok() const { return status == EStatus::Ok; }
    };

    // The platform calls a save is made of that can fail half way.  Each
    // returns 0 or the system's error code.  Tests put their own in place
    // (SetSystem) to make each step fail in turn, leaving behind what the
    // failing call leaves; otherwise the platform's own are used.
    class ISystem {
    public:
        virtual ~ISystem() = default;
        // Writes all of cb bytes to the temporary file.
        virtual unsigned long Write(void* hFile, const void* pData, std::size_t cb) = 0;
        // Puts the written content on the disk (before the handle is closed).
        virtual unsigned long Flush(void* hFile) = 0;
        // Replaces the existing file `target` by `temp` (ReplaceFileW, rename).
        virtual unsigned long Replace(const std::filesystem::path& target, const std::filesystem::path& temp) = 0;
        // Moves `from` to the free name `to` (a new file, or the old file's
        // name after a replacement that took the old file away).
        virtual unsigned long Move(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    };
    static ISystem& PlatformSystem();
    // nullptr: the platform's own again.
    static void SetSystem(ISystem* pSystem);

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
    static ISystem& System();
    // After a failed replacement of an existing file: while the file is
    // still there it is as it was, and the temporary file goes; when the
    // failing call took it away, the temporary file holds the only copy of
    // the new content and is moved into its place, or kept and named.
    SResult AfterFailedReplace(const std::filesystem::path& temp, unsigned long nError);

    struct SImpl;
    std::unique_ptr<SImpl> m_pImpl;
    std::filesystem::path m_target;
};
