#include "editor/measurements/MeasurementFiles.h"

#include <algorithm>

#include "framework/Handles.h"

bool CMeasurementFiles::ReadBounded(const std::wstring& path, std::size_t cbMax, std::string& out, DWORD& dwError)
{
    out.clear();
    dwError = 0;
    CFileHandle hFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) {
        dwError = ::GetLastError();
        return false;
    }
    // Read in chunks up to one byte past the limit: the size the system
    // reports may change while the file is read.
    const std::size_t cbWanted = cbMax + 1;
    std::size_t cbGot = 0;
    for (;;) {
        const std::size_t cbChunk = std::min<std::size_t>(cbWanted - cbGot, 1u << 20);
        if (cbChunk == 0)
            break;
        out.resize(cbGot + cbChunk);
        DWORD dwRead = 0;
        if (!::ReadFile(hFile, out.data() + cbGot, static_cast<DWORD>(cbChunk), &dwRead, nullptr)) {
            dwError = ::GetLastError();
            out.clear();
            return false;
        }
        cbGot += dwRead;
        if (dwRead == 0)
            break;
    }
    out.resize(cbGot);
    return true;
}

CSafeFile::SResult CMeasurementFiles::WriteSafely(const std::wstring& path, const std::string& bytes)
{
    CSafeFile file;
    CSafeFile::SResult r = file.Begin(std::filesystem::path(path));
    if (r.Ok() && !file.Stream().Write(bytes.data(), bytes.size()))
        r = CSafeFile::SResult{CSafeFile::EStatus::WriteFailed, 0};
    if (r.Ok())
        r = file.Commit();
    return r;
}

std::string CMeasurementFiles::ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                              nullptr);
    return out;
}

std::wstring CMeasurementFiles::FromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    // Invalid sequences become U+FFFD rather than failing the whole text.
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::wstring CMeasurementFiles::FileName(const std::wstring& path)
{
    const std::size_t n = path.find_last_of(L"\\/");
    return n == std::wstring::npos ? path : path.substr(n + 1);
}
