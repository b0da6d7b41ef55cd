// Fuzzes the simulated unit's request handling: the byte-stream front end
// and whole packets (with the checksum repaired so every handler is reached).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "protocol/QVRSCP.h"
#include "sim/SimUnit.h"

namespace {

CSimUnit& Unit()
{
    static CSimUnit* pUnit = new CSimUnit(CSimUnit::Options{false, 1, ESimTiming::Instant});
    return *pUnit;
}

bool IsReplyType(std::uint8_t b)
{
    return b == SCP_TYPE_ACK || b == SCP_TYPE_NACK || b == SCP_TYPE_DATA || b == SCP_TYPE_REPLY;
}

// Without injected faults every reply is one sound 16-byte packet.
void CheckReplies(const std::vector<SimReply>& replies, std::size_t nExpected)
{
    if (replies.size() != nExpected)
        std::abort();
    for (const SimReply& r : replies)
        if (r.bytes.size() != SCP_PACKET_SIZE || !IsReplyType(r.bytes[0]) ||
            !SCP_IsValidChecksum(r.bytes.data(), r.bytes[15]))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CSimUnit& unit = Unit();
    unit.FactoryReset();
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    if (mode & 1) {
        // Stream front end: arbitrary chunks and gaps.
        auto t = CSimUnit::Clock::now();
        std::size_t pos = 0;
        while (pos < size) {
            const std::size_t chunk = 1 + (data[pos] % 29);
            const std::size_t n = chunk < size - pos ? chunk : size - pos;
            t += std::chrono::milliseconds(data[pos] >> 4);
            const auto replies = unit.Receive(data + pos, n, t);
            for (const SimReply& r : replies)
                if (r.bytes.size() != SCP_PACKET_SIZE || !SCP_IsValidChecksum(r.bytes.data(), r.bytes[15]))
                    std::abort();
            pos += n;
        }
    } else {
        // Whole packets; the type byte is steered to the three requests.
        static const std::uint8_t types[4] = {SCP_TYPE_GET, SCP_TYPE_SET, SCP_TYPE_RAW, 0x00};
        for (std::size_t pos = 0; pos + SCP_PACKET_SIZE <= size; pos += SCP_PACKET_SIZE) {
            std::uint8_t packet[SCP_PACKET_SIZE];
            std::memcpy(packet, data + pos, SCP_PACKET_SIZE);
            if (mode & 2)
                packet[0] = types[packet[0] & 3];
            if (mode & 4)
                packet[2] = static_cast<std::uint8_t>(packet[2] % 16); // mostly real channels / commands
            packet[15] = SCP_BuildChecksum(packet);
            const bool bRequest = packet[0] == SCP_TYPE_GET || packet[0] == SCP_TYPE_SET || packet[0] == SCP_TYPE_RAW;
            const auto replies = unit.Process(packet, SCP_PACKET_SIZE);
            CheckReplies(replies, bRequest ? 1 : 0);
            // A raw read after a write sees at most the bits written.
            if (bRequest && packet[0] == SCP_TYPE_RAW && packet[2] == 4 && SCP_IsCommandReply(replies[0].bytes.data())) {
                const auto word = unit.ReadMemory(SCP_GetWord(packet, 7));
                if (!word || (*word & ~SCP_GetWord(packet, 11)) != 0)
                    std::abort();
            }
        }
    }
    return 0;
}
