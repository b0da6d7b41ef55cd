#include "files/MemoryStream.h"

#include <algorithm>
#include <cstring>

CMemoryStream::CMemoryStream(const void* pData, std::size_t cb)
    : m_data(static_cast<const std::uint8_t*>(pData), static_cast<const std::uint8_t*>(pData) + cb)
{
}

std::int64_t CMemoryStream::Read(void* pBuffer, std::size_t cb)
{
    if (m_bFailReads)
        return -1;
    const std::size_t n = std::min(cb, m_data.size() - m_nPos);
    if (n)
        std::memcpy(pBuffer, m_data.data() + m_nPos, n);
    m_nPos += n;
    return static_cast<std::int64_t>(n);
}

bool CMemoryStream::Write(const void* pData, std::size_t cb)
{
    std::size_t n = cb;
    if (m_bLimited) {
        n = std::min(cb, m_cbWriteLimit);
        m_cbWriteLimit -= n;
    }
    const auto* p = static_cast<const std::uint8_t*>(pData);
    m_data.insert(m_data.end(), p, p + n);
    return n == cb;
}
