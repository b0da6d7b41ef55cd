// In-process simulated unit behind the line model of CSimPort.
#include "device/link/SimTransport.h"

#include "sim/SimRegistry.h"

namespace {
using NtDelayExecutionFn = LONG(NTAPI*)(BOOLEAN bAlertable, PLARGE_INTEGER pInterval);

NtDelayExecutionFn FindNtDelayExecution()
{
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    if (hNtdll == nullptr)
        return nullptr;
    return reinterpret_cast<NtDelayExecutionFn>(reinterpret_cast<void*>(::GetProcAddress(hNtdll, "NtDelayExecution")));
}

// Sleep takes whole milliseconds; the system's own delay takes 100 ns units.
// Under Wine a non-alertable delay is a plain sleep of the host, fine to a
// few tens of microseconds; on Windows it is as coarse as the system timer,
// which the line model learns and allows for.
void FineSleep(std::chrono::nanoseconds d)
{
    static const NtDelayExecutionFn s_pfnDelay = FindNtDelayExecution();
    if (s_pfnDelay == nullptr) {
        ::Sleep(static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()));
        return;
    }
    LARGE_INTEGER interval;
    interval.QuadPart = -static_cast<LONGLONG>(d.count() / 100); // relative
    if (interval.QuadPart < 0)
        s_pfnDelay(FALSE, &interval);
}
} // namespace

CSimTransport::CSimTransport(const SDeviceEntry& entry) : m_unit(GetSharedSimUnit(entry.address))
{
    m_unit.SetTiming(entry.bInstant ? ESimTiming::Instant : ESimTiming::Wire);
    m_unit.SetNoLeftRightCenter(entry.bNoLcr);
    m_pPort = std::make_unique<CSimPort>(m_unit, &FineSleep);
}

CSimTransport::~CSimTransport()
{
    // Joins the port's thread: the receiver is never called afterwards.
    m_pPort->Close();
}

bool CSimTransport::StartDelivery(Receiver pfnReceiver, void* pContext)
{
    return m_pPort->Start([pfnReceiver, pContext](const std::uint8_t* pBytes, std::size_t n) {
        pfnReceiver(pContext, pBytes, n);
    });
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
