#pragma once
// One way of reaching a unit's byte stream: an in-process simulated unit, a
// serial port or a TCP connection.  Read is called by the link's receive
// thread only, Write by the sending thread only; the two may run at once.

#include <windows.h>
#include <cstdint>

class ILinkTransport {
public:
    virtual ~ILinkTransport() = default;
    // Waits up to nTimeoutMs for bytes.  Returns the number read (0 when none
    // came), or -1 once the device is gone for good.
    virtual int Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs) = 0;
    // Sends every byte; false when they could not be sent.
    virtual bool Write(const std::uint8_t* pBytes, int cbBytes) = 0;
};
