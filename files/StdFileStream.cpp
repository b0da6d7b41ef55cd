#include "files/StdFileStream.h"

CStdFileStream::~CStdFileStream()
{
    if (m_bOwn && m_pFile)
        std::fclose(m_pFile);
}

std::int64_t CStdFileStream::Read(void* pBuffer, std::size_t cb)
{
    if (m_pFile == nullptr)
        return -1;
    const std::size_t n = std::fread(pBuffer, 1, cb, m_pFile);
    if (n < cb && std::ferror(m_pFile))
        return -1;
    return static_cast<std::int64_t>(n);
}

bool CStdFileStream::Write(const void* pData, std::size_t cb)
{
    return m_pFile != nullptr && std::fwrite(pData, 1, cb, m_pFile) == cb;
}

bool CStdFileStream::Close()
{
    if (m_pFile == nullptr)
        return false;
    bool bOk = std::fflush(m_pFile) == 0 && !std::ferror(m_pFile);
    if (m_bOwn)
        bOk = std::fclose(m_pFile) == 0 && bOk;
    m_pFile = nullptr;
    return bOk;
}
