// Serial port in plain (not overlapped) mode: reads never block, so a read
// in progress never holds up a write on the same handle, and the receive
// thread waits for data in short sleeps.  (Overlapped reads of a serial port
// on a pseudo-terminal never complete under Wine.)
#include "device/link/SerialTransport.h"

namespace {
constexpr DWORD WRITE_TIMEOUT_MS = 250; // 16 bytes need 1.4 ms at 115200 baud
constexpr DWORD POLL_MS = 1;
} // namespace

CSerialTransport::CSerialTransport() = default;

CSerialTransport::~CSerialTransport() = default;

bool CSerialTransport::Open(const std::string& port, const QVRCOMM_SETTINGS& settings)
{
    const std::string path = "\\\\.\\" + port;
    m_hPort.Reset(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!m_hPort)
        return false;
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!::GetCommState(m_hPort, &dcb))
        return false;
    dcb.BaudRate = settings.dwBaudRate;
    dcb.ByteSize = settings.bByteSize;
    dcb.Parity = settings.bParity;
    dcb.StopBits = settings.bStopBits;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.bParity != NOPARITY;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(m_hPort, &dcb))
        return false;

    // A read returns at once with what has arrived, possibly nothing.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = WRITE_TIMEOUT_MS;
    ::SetCommTimeouts(m_hPort, &timeouts);
    ::PurgeComm(m_hPort, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

int CSerialTransport::Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        DWORD dwGot = 0;
        if (!::ReadFile(m_hPort, pBuffer, static_cast<DWORD>(cbBuffer), &dwGot, nullptr)) {
            // A line error (framing, overrun) is cleared and survived; a
            // port that vanished (bridge unplugged) is not.
            DWORD dwErrors = 0;
            if (!::ClearCommError(m_hPort, &dwErrors, nullptr))
                return -1;
            dwGot = 0;
        }
        if (dwGot > 0)
            return static_cast<int>(dwGot);
        if (::GetTickCount() - dwStart >= nTimeoutMs)
            return 0;
        ::Sleep(POLL_MS);
    }
}

bool CSerialTransport::Write(const std::uint8_t* pBytes, int cbBytes)
{
    DWORD dwDone = 0;
    if (!::WriteFile(m_hPort, pBytes, static_cast<DWORD>(cbBytes), &dwDone, nullptr)) {
        DWORD dwErrors = 0;
        ::ClearCommError(m_hPort, &dwErrors, nullptr);
        return false;
    }
    return dwDone == static_cast<DWORD>(cbBytes);
}
