// Serial port with overlapped reads and writes, so that a pending read never
// holds up a write.
#include "device/link/SerialTransport.h"

namespace {
constexpr DWORD WRITE_TIMEOUT_MS = 250; // 16 bytes need 1.4 ms at 115200 baud
constexpr DWORD READ_WAIT_MS = 20;      // a read without data ends after this long
}

CSerialTransport::CSerialTransport()
    : m_hReadEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hWriteEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

CSerialTransport::~CSerialTransport()
{
    if (m_hPort)
        ::CancelIo(m_hPort);
}

bool CSerialTransport::Open(const std::string& port, const QVRCOMM_SETTINGS& settings)
{
    if (!m_hReadEvent || !m_hWriteEvent)
        return false;
    const std::string path = "\\\\.\\" + port;
    m_hPort.Reset(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr));
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

    // A read returns what has arrived at once, or waits for the first byte
    // for up to READ_WAIT_MS.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = READ_WAIT_MS;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = WRITE_TIMEOUT_MS;
    ::SetCommTimeouts(m_hPort, &timeouts);
    ::PurgeComm(m_hPort, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

int CSerialTransport::Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs)
{
    OVERLAPPED ov{};
    ov.hEvent = m_hReadEvent;
    ::ResetEvent(m_hReadEvent);
    DWORD dwGot = 0;
    if (::ReadFile(m_hPort, pBuffer, static_cast<DWORD>(cbBuffer), &dwGot, &ov))
        return static_cast<int>(dwGot);
    if (::GetLastError() != ERROR_IO_PENDING) {
        DWORD dwErrors = 0;
        // A line error (framing, overrun) is survivable; a vanished port is not.
        if (::ClearCommError(m_hPort, &dwErrors, nullptr))
            return 0;
        return -1;
    }
    // The port's own time-out ends the read; this bound only guards
    // against a driver that ignores it.
    if (::WaitForSingleObject(m_hReadEvent, nTimeoutMs + READ_WAIT_MS + 100) != WAIT_OBJECT_0)
        ::CancelIo(m_hPort);
    if (!::GetOverlappedResult(m_hPort, &ov, &dwGot, TRUE)) {
        const DWORD dwError = ::GetLastError();
        if (dwError == ERROR_OPERATION_ABORTED)
            return 0;
        DWORD dwErrors = 0;
        return ::ClearCommError(m_hPort, &dwErrors, nullptr) ? 0 : -1;
    }
    return static_cast<int>(dwGot);
}

bool CSerialTransport::Write(const std::uint8_t* pBytes, int cbBytes)
{
    OVERLAPPED ov{};
    ov.hEvent = m_hWriteEvent;
    ::ResetEvent(m_hWriteEvent);
    DWORD dwDone = 0;
    if (!::WriteFile(m_hPort, pBytes, static_cast<DWORD>(cbBytes), &dwDone, &ov)) {
        if (::GetLastError() != ERROR_IO_PENDING)
            return false;
        if (::WaitForSingleObject(m_hWriteEvent, WRITE_TIMEOUT_MS * 2) != WAIT_OBJECT_0)
            ::CancelIo(m_hPort);
        if (!::GetOverlappedResult(m_hPort, &ov, &dwDone, TRUE))
            return false;
    }
    return dwDone == static_cast<DWORD>(cbBytes);
}
