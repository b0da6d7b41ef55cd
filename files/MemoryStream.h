#pragma once
// IByteStream over a byte buffer in memory: reads from the start, writes
// append.  Used by the tests, the fuzzer and the tool.

#include <cstdint>
#include <vector>

#include "files/ByteStream.h"

class CMemoryStream : public IByteStream {
public:
    CMemoryStream() = default;
    explicit CMemoryStream(std::vector<std::uint8_t> data) : m_data(std::move(data)) {}
    CMemoryStream(const void* pData, std::size_t cb);

    std::int64_t Read(void* pBuffer, std::size_t cb) override;
    bool Write(const void* pData, std::size_t cb) override;

    const std::vector<std::uint8_t>& Data() const { return m_data; }
    // Makes every later Read fail (to test the unreadable case).
    void FailReads(bool bFail) { m_bFailReads = bFail; }
    // Makes Write accept at most cbLimit more bytes in total.
    void LimitWrites(std::size_t cbLimit) { m_bLimited = true; m_cbWriteLimit = cbLimit; }

private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_nPos = 0;
    bool m_bFailReads = false;
    bool m_bLimited = false;
    std::size_t m_cbWriteLimit = 0;
};
