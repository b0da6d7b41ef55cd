// Sliding-window framing of the unit's replies.
#include "device/link/PacketFramer.h"

#include <algorithm>
#include <cstring>

#include "protocol/QVRSCP.h"
#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"

namespace {
bool AllZero(const std::uint8_t* p, std::size_t nFrom, std::size_t nTo)
{
    for (std::size_t i = nFrom; i <= nTo; ++i)
        if (p[i] != 0)
            return false;
    return true;
}
} // namespace

bool CPacketFramer::IsWellFormedReply(const std::uint8_t* p)
{
    bool bShape = false;
    switch (p[0]) {
    case SCP_TYPE_ACK:
    case SCP_TYPE_DATA:
        // Channel and parameter of an accepted request; value; zero tail.
        bShape = p[1] == 0 && p[2] < CHANNEL_COUNT && p[3] < PARAMETER_COUNT && AllZero(p, 8, 14);
        break;
    case SCP_TYPE_NACK:
        // Reason, the request's type, channel or command, parameter; zero tail.
        bShape = p[1] != 0 && (p[2] == SCP_TYPE_GET || p[2] == SCP_TYPE_SET || p[2] == SCP_TYPE_RAW) &&
                 AllZero(p, 5, 14);
        break;
    case SCP_TYPE_REPLY:
        bShape = p[1] == 0;
        break;
    default:
        break;
    }
    return bShape && SCP_IsValidChecksum(p, p[15]) != 0;
}

void CPacketFramer::Reset()
{
    m_nDropped += m_buffer.size();
    m_buffer.clear();
}

std::size_t CPacketFramer::Feed(const std::uint8_t* pBytes, std::size_t n, std::uint64_t tMs, Sink pfnSink,
                                void* pContext)
{
    if (n == 0)
        return 0;
    if (!m_buffer.empty() && tMs - m_tLastMs > m_nGapMs)
        Reset(); // the rest of that packet is not coming
    m_tLastMs = tMs;
    m_buffer.insert(m_buffer.end(), pBytes, pBytes + n);

    std::size_t nDelivered = 0;
    std::size_t nPos = 0;
    while (m_buffer.size() - nPos >= PACKET_SIZE) {
        const std::uint8_t* pWindow = m_buffer.data() + nPos;
        if (!IsWellFormedReply(pWindow)) {
            ++nPos; // not aligned on a packet: slide by one byte
            ++m_nDropped;
            continue;
        }
        // A packet that starts inside this window means the window was
        // glued from two packets: skip to the later one.
        const std::size_t nLookahead = std::min<std::size_t>(PACKET_SIZE - 1, m_buffer.size() - nPos - PACKET_SIZE);
        std::size_t nOverlap = 1;
        while (nOverlap <= nLookahead && !IsWellFormedReply(pWindow + nOverlap))
            ++nOverlap;
        if (nOverlap <= nLookahead) {
            nPos += nOverlap;
            m_nDropped += nOverlap;
            continue;
        }
        std::uint8_t bPacket[PACKET_SIZE];
        std::memcpy(bPacket, pWindow, PACKET_SIZE);
        nPos += PACKET_SIZE;
        ++nDelivered;
        if (pfnSink != nullptr)
            pfnSink(pContext, bPacket);
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(nPos));
    return nDelivered;
}
