#pragma once
// Transport over a TCP connection to a unit served by another process
// (qvr500-sim --tcp): the byte stream of the line, unchanged.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "device/link/LinkTransport.h"

class CTcpTransport : public ILinkTransport {
public:
    CTcpTransport();
    ~CTcpTransport() override;
    CTcpTransport(const CTcpTransport&) = delete;
    CTcpTransport& operator=(const CTcpTransport&) = delete;

    // Connects within nTimeoutMs; false when the host does not take the connection.
    bool Connect(const std::string& host, std::uint16_t nPort, DWORD nTimeoutMs);

    // Waits for bytes without a time-out, until Interrupt.
    int Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs) override;
    bool Write(const std::uint8_t* pBytes, int cbBytes) override;
    void Interrupt() override;

private:
    bool m_bStarted = false; // WSAStartup succeeded
    SOCKET m_socket = INVALID_SOCKET;
};
