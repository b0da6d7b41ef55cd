#pragma once
// IByteStream over a C stdio file.

#include <cstdio>

#include "files/ByteStream.h"

class CStdFileStream : public IByteStream {
public:
    // Wraps an open file; with bOwn the file is closed by the destructor.
    explicit CStdFileStream(std::FILE* pFile, bool bOwn = false) : m_pFile(pFile), m_bOwn(bOwn) {}
    CStdFileStream(const CStdFileStream&) = delete;
    CStdFileStream& operator=(const CStdFileStream&) = delete;
    ~CStdFileStream() override;

    std::int64_t Read(void* pBuffer, std::size_t cb) override;
    bool Write(const void* pData, std::size_t cb) override;

    // Flushes and closes an owned file; false if either failed.
    bool Close();
    std::FILE* File() const { return m_pFile; }

private:
    std::FILE* m_pFile;
    bool m_bOwn;
};
