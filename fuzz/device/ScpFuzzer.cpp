// Fuzzes the packet classifier and the stream framer with arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "protocol/QVRSCP.h"
#include "protocol/ScpFramer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Every 16-byte window: at most one class, checksum consistent.
    for (std::size_t i = 0; i + SCP_PACKET_SIZE <= size; ++i) {
        const unsigned char* p = data + i;
        const int nClasses = !!SCP_IsAck(p) + !!SCP_IsNack(p) + !!SCP_IsData(p) + !!SCP_IsCommandReply(p);
        if (nClasses > 1)
            std::abort();
        if (!!SCP_IsValidChecksum(p, p[15]) != (SCP_BuildChecksum(p) == p[15]))
            std::abort();
        volatile float f = SCP_GetData(p);
        (void)f;
        unsigned char fixed[SCP_PACKET_SIZE];
        std::memcpy(fixed, p, SCP_PACKET_SIZE);
        fixed[15] = SCP_BuildChecksum(fixed);
        if (!SCP_IsValidChecksum(fixed, fixed[15]))
            std::abort();
    }
    if (size == 0)
        return 0;
    // The framers on the same bytes, in chunks and with gaps chosen by the input.
    CScpFramer requests(CScpFramer::EAccept::Requests), replies(CScpFramer::EAccept::Replies);
    auto t = CScpFramer::Clock::now();
    std::size_t pos = 1;
    while (pos < size) {
        const std::size_t chunk = 1 + data[pos - 1] % 23;
        const std::size_t n = chunk < size - pos ? chunk : size - pos;
        t += std::chrono::milliseconds(data[pos - 1] >> 5); // 0..7 ms, sometimes beyond the gap
        for (const auto& packet : requests.Feed(data + pos, n, t))
            if (!CScpFramer::IsValidRequest(packet.data()))
                std::abort();
        for (const auto& packet : replies.Feed(data + pos, n, t))
            if (!CScpFramer::IsValidReply(packet.data()))
                std::abort();
        if (requests.PendingBytes() >= SCP_PACKET_SIZE || replies.PendingBytes() >= SCP_PACKET_SIZE)
            std::abort();
        pos += n;
    }
    return 0;
}
