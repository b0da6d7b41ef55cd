// CSafeFile on Windows: the path is resolved through any link to the file it
// names, the new content goes to a temporary file in that file's folder, and
// ReplaceFileW puts it in place, keeping the old file's attributes, security
// and creation time.
#include "files/SafeFile.h"

#include <windows.h>

#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class CWin32Stream : public IByteStream {
public:
    HANDLE hFile = INVALID_HANDLE_VALUE;
    DWORD dwError = 0;
    std::int64_t Read(void*, std::size_t) override { return -1; }
    bool Write(const void* pData, std::size_t cb) override
    {
        const auto* p = static_cast<const std::uint8_t*>(pData);
        while (cb > 0) {
            const DWORD dwChunk = cb > 0x10000000 ? 0x10000000 : static_cast<DWORD>(cb);
            DWORD dwDone = 0;
            if (!::WriteFile(hFile, p, dwChunk, &dwDone, nullptr) || dwDone == 0) {
                dwError = ::GetLastError() ? ::GetLastError() : ERROR_WRITE_FAULT;
                return false;
            }
            p += dwDone;
            cb -= dwDone;
        }
        return true;
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
        return {EStatus::WriteFailed, dwError};
    }
    const HANDLE hFile = impl.stream.hFile;
    impl.stream.hFile = INVALID_HANDLE_VALUE;
    const BOOL bFlushed = ::FlushFileBuffers(hFile);
    const DWORD dwFlushError = bFlushed ? 0 : ::GetLastError();
    const BOOL bClosed = ::CloseHandle(hFile);
    if (!bFlushed || !bClosed) {
        ::DeleteFileW(impl.tempPath.c_str());
        m_pImpl.reset();
        return {EStatus::WriteFailed, dwFlushError ? dwFlushError : ERROR_WRITE_FAULT};
    }
    BOOL bDone;
    DWORD dwError = 0;
    if (impl.bExists) {
        // A file that another program holds open, or that is read-only, is
        // not replaced: asked first, so that no replacement is half begun.
        HANDLE hCheck = ::CreateFileW(m_target.c_str(), GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
        bDone = hCheck != INVALID_HANDLE_VALUE;
        if (bDone) {
            ::CloseHandle(hCheck);
            bDone = ::ReplaceFileW(m_target.c_str(), impl.tempPath.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                   nullptr, nullptr);
        }
        dwError = bDone ? 0 : ::GetLastError();
        // The replaced file's attributes stay (where the platform's
        // replacement does not keep them itself).
        const DWORD dwKept = impl.dwAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (bDone && (::GetFileAttributesW(m_target.c_str()) & dwKept) != dwKept)
            ::SetFileAttributesW(m_target.c_str(), ::GetFileAttributesW(m_target.c_str()) | dwKept);
    } else {
        bDone = ::MoveFileExW(impl.tempPath.c_str(), m_target.c_str(), MOVEFILE_WRITE_THROUGH);
        dwError = bDone ? 0 : ::GetLastError();
    }
    if (!bDone) {
        ::DeleteFileW(impl.tempPath.c_str());
        m_pImpl.reset();
        return {EStatus::CannotReplace, dwError};
    }
    m_pImpl.reset();
    return {};
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
