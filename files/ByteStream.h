#pragma once
// A minimal byte stream for the configuration file reader and writer, so
// that the format code does not depend on how the file was opened.

#include <cstddef>
#include <cstdint>

class IByteStream {
public:
    virtual ~IByteStream() = default;
    // Reads up to cb bytes.  Returns the number read (fewer only at the end
    // of the data) or -1 when the underlying read failed.
    virtual std::int64_t Read(void* pBuffer, std::size_t cb) = 0;
    // Writes cb bytes; false when not all of them could be written.
    virtual bool Write(const void* pData, std::size_t cb) = 0;
};
