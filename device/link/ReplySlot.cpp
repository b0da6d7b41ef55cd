#include "device/link/ReplySlot.h"

#include <cstring>

#include "device/link/ReplyMatch.h"
#include "protocol/QVRSCP.h"

std::uint64_t CReplySlot::Open(const std::uint8_t* pSent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::memcpy(m_bSent, pSent, sizeof m_bSent);
    std::memset(m_bReply, 0, sizeof m_bReply);
    m_bFilled = false;
    m_bOpen = true;
    return ++m_nAttempt;
}

void CReplySlot::Close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bOpen = false;
}

std::uint64_t CReplySlot::Offer(const std::uint8_t* pPacket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bOpen)
        return 0;
    // A late reply to an earlier request (it came after that one's time-out)
    // is not the answer to the request in flight.  A reply whose checksum is
    // bad is passed on: the worker answers it by sending again.
    if (SCP_IsValidChecksum(pPacket, pPacket[15]) && !IsReplyToRequest(pPacket, m_bSent))
        return 0;
    std::memcpy(m_bReply, pPacket, sizeof m_bReply);
    m_bFilled = true;
    m_bOpen = false;
    return m_nAttempt;
}

bool CReplySlot::Take(std::uint64_t nAttempt, std::uint8_t* pReply, bool bClose)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bClose && nAttempt == m_nAttempt)
        m_bOpen = false;
    if (nAttempt != m_nAttempt || !m_bFilled)
        return false;
    std::memcpy(pReply, m_bReply, sizeof m_bReply);
    m_bFilled = false;
    return true;
}

bool CReplySlot::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bOpen;
}
