// In-process simulated unit behind the line model of CSimPort.
#include "device/link/SimTransport.h"

#include "sim/SimRegistry.h"

CSimTransport::CSimTransport(const SDeviceEntry& entry) : m_unit(GetSharedSimUnit(entry.address))
{
    m_unit.SetTiming(entry.bInstant ? ESimTiming::Instant : ESimTiming::Wire);
    m_unit.SetNoLeftRightCenter(entry.bNoLcr);
    m_pPort = std::make_unique<CSimPort>(m_unit);
}

CSimTransport::~CSimTransport() { StopDelivery(); }

bool CSimTransport::StartDelivery(Receiver pfnReceiver, void* pContext)
{
    return m_pPort->Start([pfnReceiver, pContext](const std::uint8_t* pBytes, std::size_t n) {
        pfnReceiver(pContext, pBytes, n);
    });
}

void CSimTransport::StopDelivery()
{
    // Joins the port's thread: the receiver is never called afterwards.
    m_pPort->Close();
}

int CSimTransport::Read(std::uint8_t* /*pBuffer*/, int /*cbBuffer*/, DWORD nTimeoutMs)
{
    // Bytes arrive through the receiver only.
    ::Sleep(nTimeoutMs);
    return 0;
}

bool CSimTransport::Write(const std::uint8_t* pBytes, int cbBytes)
{
    // An unplugged unit simply does not hear: the bytes are lost on the line.
    m_pPort->Write(pBytes, static_cast<std::size_t>(cbBytes));
    return true;
}
