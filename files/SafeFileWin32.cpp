// CSafeFile on Windows: the path is resolved through any link to the file it
// names, the new content goes to a temporary file in that file's folder, and
// ReplaceFileW puts it in place, keeping the old file's attributes, security
// and creation time.  ReplaceFileW can fail after it has taken the old file
// away (errors 1176 and 1177): the temporary file is then the only copy of
// the new content, and is moved into place or kept, never deleted.
#include "files/SafeFile.h"

#include <windows.h>

#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class CPlatformSystem : public CSafeFile::ISystem {
public:
    unsigned long Write(void* hFile, const void* pData, std::size_t cb) override
    {
        const auto* p = static_cast<const std::uint8_t*>(pData);
        while (cb > 0) {
            const DWORD dwChunk = cb > 0x10000000 ? 0x10000000 : static_cast<DWORD>(cb);
            DWORD dwDone = 0;
            if (!::WriteFile(static_cast<HANDLE>(hFile), p, dwChunk, &dwDone, nullptr) || dwDone == 0)
                return ::GetLastError() ? ::GetLastError() : ERROR_WRITE_FAULT;
            p += dwDone;
            cb -= dwDone;
        }
        return 0;
    }
    unsigned long Flush(void* hFile) override
    {
        return ::FlushFileBuffers(static_cast<HANDLE>(hFile)) ? 0 : ::GetLastError();
    }
    unsigned long Replace(const fs::path& target, const fs::path& temp) override
    {
        // No backup name: the failures that took the old file away
        // (ERROR_UNABLE_TO_MOVE_REPLACEMENT, ..._2) are mended by the caller.
        return ::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                              nullptr)
                   ? 0
                   : ::GetLastError();
    }
    unsigned long Move(const fs::path& from, const fs::path& to) override
    {
        return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : ::GetLastError();
    }
};

class CWin32Stream : public IByteStream {
public:
    CSafeFile::ISystem* pSystem = nullptr;
    HANDLE hFile = INVALID_HANDLE_VALUE;
    DWORD dwError = 0;
    std::int64_t Read(void*, std::size_t) override { return -1; }
    bool Write(const void* pData, std::size_t cb) override
    {
        if (dwError != 0)
            return false;
        dwError = pSystem->Write(hFile, pData, cb);
        return dwError == 0;
    }
};

// "\\?\C:\x" -> "C:\x", "\\?\UNC\s\x" -> "\\s\x" (kept long when it has to be).
std::wstring PlainPath(std::wstring s)
{
    if (s.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\" + s.substr(7);
    if (s.rfind(L"\\\\?\\", 0) == 0 && s.size() < MAX_PATH + 4)
        return s.substr(4);
    return s;
}

} // namespace

struct CSafeFile::SImpl {
    CWin32Stream stream;
    std::wstring tempPath;
    bool bExists = false;
    DWORD dwAttributes = 0; // of the file replaced
};

CSafeFile::ISystem& CSafeFile::PlatformSystem()
{
    static CPlatformSystem s_system;
    return s_system;
}

CSafeFile::CSafeFile() = default;
CSafeFile::~CSafeFile() { Abandon(); }

CSafeFile::SResult CSafeFile::Begin(const fs::path& path)
{
    Abandon();
    auto pImpl = std::make_unique<SImpl>();
    m_target = path;
    // Opened for nothing but its name and type, sharing everything: a file
    // that another program holds open is still found (its replacement then
    // fails cleanly instead).
    HANDLE hProbe = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hProbe != INVALID_HANDLE_VALUE) {
        const DWORD dwType = ::GetFileType(hProbe);
        BY_HANDLE_FILE_INFORMATION info{};
        const bool bInfo = ::GetFileInformationByHandle(hProbe, &info) != FALSE;
        if (dwType != FILE_TYPE_DISK || !bInfo || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::CloseHandle(hProbe);
            return {EStatus::NotRegularFile, 0};
        }
        std::vector<wchar_t> final(32768);
        const DWORD n = ::GetFinalPathNameByHandleW(hProbe, final.data(), static_cast<DWORD>(final.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n > 0 && n < final.size())
            m_target = PlainPath(std::wstring(final.data(), n));
        ::CloseHandle(hProbe);
        pImpl->bExists = true;
        pImpl->dwAttributes = info.dwFileAttributes;
    } else {
        const DWORD dwError = ::GetLastError();
        if (dwError != ERROR_FILE_NOT_FOUND)
            return {EStatus::CannotCreate, dwError};
    }

    fs::path dir = m_target.parent_path();
    if (dir.empty())
        dir = L".";
    wchar_t szTemp[MAX_PATH] = {};
    if (!::GetTempFileNameW(dir.c_str(), L"qvr", 0, szTemp))
        return {EStatus::CannotCreate, ::GetLastError()};
    pImpl->tempPath = szTemp;
    pImpl->stream.pSystem = &System();
    pImpl->stream.hFile =
        ::CreateFileW(szTemp, GENERIC_ALL, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (pImpl->stream.hFile == INVALID_HANDLE_VALUE) {
        const DWORD dwError = ::GetLastError();
        ::DeleteFileW(szTemp);
        return {EStatus::CannotCreate, dwError};
    }
    m_pImpl = std::move(pImpl);
    return {};
}

IByteStream& CSafeFile::Stream() { return m_pImpl->stream; }

void* CSafeFile::NativeHandle() const { return m_pImpl ? m_pImpl->stream.hFile : INVALID_HANDLE_VALUE; }

CSafeFile::SResult CSafeFile::Commit()
{
    if (!m_pImpl)
        return {EStatus::CannotCreate, ERROR_INVALID_HANDLE};
    SImpl& impl = *m_pImpl;
    if (impl.stream.dwError != 0) {
        const DWORD dwError = impl.stream.dwError;
        Abandon();
        return {EStatus::WriteFailed, dwError, {}};
    }
    const HANDLE hFile = impl.stream.hFile;
    impl.stream.hFile = INVALID_HANDLE_VALUE;
    const DWORD dwFlushError = System().Flush(hFile);
    const BOOL bClosed = ::CloseHandle(hFile);
    if (dwFlushError != 0 || !bClosed) {
        // The old file was never touched: it is as it was.
        ::DeleteFileW(impl.tempPath.c_str());
        m_pImpl.reset();
        return {EStatus::WriteFailed, dwFlushError ? dwFlushError : ERROR_WRITE_FAULT, {}};
    }
    const fs::path temp = impl.tempPath;
    if (!impl.bExists) {
        const DWORD dwError = System().Move(temp, m_target);
        m_pImpl.reset();
        if (dwError != 0) {
            ::DeleteFileW(temp.c_str());
            return {EStatus::CannotReplace, dwError, {}};
        }
        return {};
    }
    // A file that another program holds open, or that is read-only, is not
    // replaced: asked first, so that no replacement is half begun.
    HANDLE hCheck = ::CreateFileW(m_target.c_str(), GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD dwError = hCheck == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    if (hCheck != INVALID_HANDLE_VALUE) {
        ::CloseHandle(hCheck);
        dwError = System().Replace(m_target, temp);
    }
    const DWORD dwAttributes = impl.dwAttributes;
    m_pImpl.reset();
    SResult r;
    if (dwError != 0)
        r = AfterFailedReplace(temp, dwError);
    if (r.Ok()) {
        // The replaced file's attributes stay (where the platform's
        // replacement, or the move that mended it, does not keep them).
        const DWORD dwKept = dwAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                             FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        const DWORD dwNow = ::GetFileAttributesW(m_target.c_str());
        if (dwNow != INVALID_FILE_ATTRIBUTES && (dwNow & dwKept) != dwKept)
            ::SetFileAttributesW(m_target.c_str(), dwNow | dwKept);
    }
    return r;
}

void CSafeFile::Abandon()
{
    if (!m_pImpl)
        return;
    if (m_pImpl->stream.hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_pImpl->stream.hFile);
    ::DeleteFileW(m_pImpl->tempPath.c_str());
    m_pImpl.reset();
}
