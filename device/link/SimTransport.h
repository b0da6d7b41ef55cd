#pragma once
// Transport to a simulated unit in this process: the named unit of the
// simulator's registry (created on first use and kept for the whole run, so
// it keeps its settings while the link is closed), reached through a port
// that models the line (or takes no time in instant mode).

#include <cstdint>
#include <memory>

#include "device/link/LinkTransport.h"
#include "device/usbxp/DeviceList.h"
#include "sim/SimPort.h"

class CSimTransport : public ILinkTransport {
public:
    // Applies the entry's options to the unit (line timing, hardware without
    // Left/Right Center) and starts the port.
    explicit CSimTransport(const SDeviceEntry& entry);
    ~CSimTransport() override;

    // The port's pump thread delivers the unit's replies as they leave the
    // line: no further thread stands between the unit and the link.
    bool StartDelivery(Receiver pfnReceiver, void* pContext) override;
    int Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs) override;
    bool Write(const std::uint8_t* pBytes, int cbBytes) override;

private:
    CSimUnit& m_unit;
    std::unique_ptr<CSimPort> m_pPort;
};
