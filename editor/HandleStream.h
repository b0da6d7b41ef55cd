#pragma once
// The configuration file's byte stream over an open Win32 file handle (the
// document commands open the file; the handle stays theirs).

#include <windows.h>

#include "files/ByteStream.h"

class CHandleStream : public IByteStream {
public:
    explicit CHandleStream(HANDLE hFile) : m_hFile(hFile) {}

    std::int64_t Read(void* pBuffer, std::size_t cb) override;
    bool Write(const void* pData, std::size_t cb) override;

private:
    HANDLE m_hFile;
};
