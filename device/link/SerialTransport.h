#pragma once
// Transport over a serial port (a unit behind a USB-serial bridge appears
// as COMn), set up from the link settings: line rate, data bits, parity and
// stop bits in Win32 encoding, no flow control.

#include <windows.h>

#include <cstdint>
#include <string>

#include "device/link/LinkTransport.h"
#include "device/link/QVRCOMM.h"
#include "framework/Handles.h"

class CSerialTransport : public ILinkTransport {
public:
    CSerialTransport();
    ~CSerialTransport() override;

    // Opens "\\.\<port>" and applies the settings; false when the port is
    // missing, in use, or refuses the settings.
    bool Open(const std::string& port, const QVRCOMM_SETTINGS& settings);

    int Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs) override;
    bool Write(const std::uint8_t* pBytes, int cbBytes) override;

private:
    CFileHandle m_hPort;
};
