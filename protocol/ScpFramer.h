#pragma once
// Reassembles 16-byte packets from a byte stream the way the unit does:
// bytes that do not start a valid packet are dropped one by one until a
// packet with a known type and a valid checksum lines up, and a partial
// packet is discarded when the next byte arrives after a gap.  The link
// library's reply framing (CPacketFramer, device/link) is deliberately
// stricter - it checks each reply's fields and prefers the later of two
// overlapping packets - so the simulated unit keeps the unit's own, simpler
// rule here.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/QVRSCP.h"

class CScpFramer {
public:
    using Clock = std::chrono::steady_clock;
    using Packet = std::array<std::uint8_t, SCP_PACKET_SIZE>;
    enum class EAccept { Requests, Replies };

    static constexpr std::chrono::milliseconds DEFAULT_GAP{10};

    explicit CScpFramer(EAccept accept, std::chrono::microseconds gap = DEFAULT_GAP);

    // Append n bytes that arrived at time t; returns the packets completed.
    std::vector<Packet> Feed(const std::uint8_t* pBytes, std::size_t n, Clock::time_point t);
    void Reset();

    // Bytes thrown away so far (resynchronisation and stale partial packets).
    std::uint64_t DroppedBytes() const { return m_nDropped; }
    std::size_t PendingBytes() const { return m_pending.size(); }

    // True when the 16 bytes are a request (GET, SET, raw command) or a reply
    // (ACK, NACK, DATA, command reply) with a valid checksum.
    static bool IsValidRequest(const std::uint8_t* pPacket);
    static bool IsValidReply(const std::uint8_t* pPacket);

private:
    EAccept m_accept;
    std::chrono::microseconds m_gap;
    std::vector<std::uint8_t> m_pending;
    Clock::time_point m_tLast{};
    std::uint64_t m_nDropped = 0;
};
