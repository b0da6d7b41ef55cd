#include "editor/HandleStream.h"

#include <algorithm>

namespace {
constexpr std::size_t CHUNK = 0x40000000; // ReadFile and WriteFile take 32-bit counts
}

std::int64_t CHandleStream::Read(void* pBuffer, std::size_t cb)
{
    auto* p = static_cast<BYTE*>(pBuffer);
    std::int64_t nTotal = 0;
    while (cb > 0) {
        DWORD dwRead = 0;
        const DWORD dwWant = static_cast<DWORD>(std::min(cb, CHUNK));
        if (!::ReadFile(m_hFile, p, dwWant, &dwRead, nullptr))
            return -1;
        if (dwRead == 0)
            break; // end of the file
        p += dwRead;
        cb -= dwRead;
        nTotal += dwRead;
    }
    return nTotal;
}

bool CHandleStream::Write(const void* pData, std::size_t cb)
{
    auto* p = static_cast<const BYTE*>(pData);
    while (cb > 0) {
        DWORD dwWritten = 0;
        const DWORD dwWant = static_cast<DWORD>(std::min(cb, CHUNK));
        if (!::WriteFile(m_hFile, p, dwWant, &dwWritten, nullptr) || dwWritten == 0)
            return false;
        p += dwWritten;
        cb -= dwWritten;
    }
    return true;
}
