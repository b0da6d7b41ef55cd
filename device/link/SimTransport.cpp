// In-process simulated unit behind the line model of CSimPort.
#include "device/link/SimTransport.h"

#include <algorithm>
#include <chrono>

#include "sim/SimRegistry.h"

CSimTransport::CSimTransport(const SDeviceEntry& entry)
{
    CSimUnit& unit = GetSharedSimUnit(entry.address);
    unit.SetTiming(entry.bInstant ? ESimTiming::Instant : ESimTiming::Wire);
    unit.SetNoLeftRightCenter(entry.bNoLcr);
    m_pPort = std::make_unique<CSimPort>(unit);
    m_pPort->Start([this](const std::uint8_t* pBytes, std::size_t n) { OnReceive(pBytes, n); });
}

CSimTransport::~CSimTransport()
{
    // The port's thread is joined here: it never calls OnReceive afterwards.
    m_pPort->Close();
}

void CSimTransport::OnReceive(const std::uint8_t* pBytes, std::size_t n)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inbox.insert(m_inbox.end(), pBytes, pBytes + n);
    }
    m_cv.notify_one();
}

int CSimTransport::Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] { return !m_inbox.empty(); });
    const std::size_t n = std::min(m_inbox.size(), static_cast<std::size_t>(cbBuffer));
    std::copy_n(m_inbox.begin(), n, pBuffer);
    m_inbox.erase(m_inbox.begin(), m_inbox.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int>(n);
}

bool CSimTransport::Write(const std::uint8_t* pBytes, int cbBytes)
{
    // An unplugged unit simply does not hear: the bytes are lost on the line.
    m_pPort->Write(pBytes, static_cast<std::size_t>(cbBytes));
    return true;
}
