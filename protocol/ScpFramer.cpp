// Byte-stream framing of 16-byte packets with resynchronisation.
#include "protocol/ScpFramer.h"

#include <algorithm>

CScpFramer::CScpFramer(EAccept accept, std::chrono::microseconds gap) : m_accept(accept), m_gap(gap) {}

bool CScpFramer::IsValidRequest(const std::uint8_t* p)
{
    const bool bType = p[0] == SCP_TYPE_GET || p[0] == SCP_TYPE_SET || p[0] == SCP_TYPE_RAW;
    return bType && SCP_IsValidChecksum(p, p[15]);
}

bool CScpFramer::IsValidReply(const std::uint8_t* p)
{
    const bool bType = p[0] == SCP_TYPE_ACK || p[0] == SCP_TYPE_NACK || p[0] == SCP_TYPE_DATA ||
                       p[0] == SCP_TYPE_REPLY;
    return bType && SCP_IsValidChecksum(p, p[15]);
}

void CScpFramer::Reset()
{
    m_nDropped += m_pending.size();
    m_pending.clear();
}

std::vector<CScpFramer::Packet> CScpFramer::Feed(const std::uint8_t* pBytes, std::size_t n, Clock::time_point t)
{
    std::vector<Packet> out;
    if (n == 0)
        return out;
    if (!m_pending.empty() && t - m_tLast > m_gap)
        Reset(); // the rest of that packet is not coming
    m_tLast = t;
    m_pending.insert(m_pending.end(), pBytes, pBytes + n);

    std::size_t pos = 0;
    while (m_pending.size() - pos >= SCP_PACKET_SIZE) {
        const std::uint8_t* p = m_pending.data() + pos;
        const bool bValid = m_accept == EAccept::Requests ? IsValidRequest(p) : IsValidReply(p);
        if (bValid) {
            Packet packet;
            std::copy(p, p + SCP_PACKET_SIZE, packet.begin());
            out.push_back(packet);
            pos += SCP_PACKET_SIZE;
        } else {
            ++m_nDropped;
            ++pos;
        }
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(pos));
    return out;
}
