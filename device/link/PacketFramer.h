#pragma once
// Reply framing of the link library, shared by every transport: turns the
// bytes a transport reads, in whatever pieces they come, into whole 16-byte
// replies.  A window of 16 bytes is accepted only when it is a well-formed
// reply (reply type, the fields the protocol keeps zero are zero, valid
// checksum); otherwise the first byte is dropped and the window slides on.
// A byte that arrives after a gap discards a partial packet, so the rest of
// a packet cut short is never glued to the next one.  When bytes lost in the
// middle of a stream leave no gap, a well-formed window may still be glued
// from the head of one packet and the start of the next; so a window is
// delivered only if no overlapping window among the bytes already in hand
// is a packet too (the later one wins: it is whole).

#include <cstddef>
#include <cstdint>
#include <vector>

class CPacketFramer {
public:
    static constexpr std::size_t PACKET_SIZE = 16;
    // A packet crosses a 115200-baud line in 1.4 ms; a pause this long means
    // the rest of a partial packet is not coming.
    static constexpr std::uint32_t DEFAULT_GAP_MS = 50;

    using Sink = void (*)(void* pContext, const std::uint8_t* pPacket);

    explicit CPacketFramer(std::uint32_t nGapMs = DEFAULT_GAP_MS) : m_nGapMs(nGapMs) {}

    // Appends n bytes that arrived at tMs (any monotonic millisecond clock)
    // and passes every completed reply to pfnSink.  Returns the number of
    // replies delivered.
    std::size_t Feed(const std::uint8_t* pBytes, std::size_t n, std::uint64_t tMs, Sink pfnSink, void* pContext);
    // Forgets a partial packet.
    void Reset();

    std::size_t PendingBytes() const { return m_buffer.size(); }
    std::uint64_t DroppedBytes() const { return m_nDropped; }

    // True for a complete, well-formed reply of the unit with a valid checksum.
    static bool IsWellFormedReply(const std::uint8_t* pPacket);

private:
    std::uint32_t m_nGapMs;
    std::vector<std::uint8_t> m_buffer; // bytes not yet delivered or dropped
    std::uint64_t m_tLastMs = 0;
    std::uint64_t m_nDropped = 0;
};
