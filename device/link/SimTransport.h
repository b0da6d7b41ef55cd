#pragma once
// Transport to a simulated unit in this process: the named unit of the
// simulator's registry (created on first use and kept for the whole run, so
// it keeps its settings while the link is closed), reached through a port
// that models the line (or takes no time in instant mode).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "device/link/LinkTransport.h"
#include "device/usbxp/DeviceList.h"
#include "sim/SimPort.h"

class CSimTransport : public ILinkTransport {
public:
    // Applies the entry's options to the unit (line timing, hardware without
    // Left/Right Center) and starts the port.
    explicit CSimTransport(const SDeviceEntry& entry);
    ~CSimTransport() override;

    int Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs) override;
    bool Write(const std::uint8_t* pBytes, int cbBytes) override;

private:
    void OnReceive(const std::uint8_t* pBytes, std::size_t n);

    std::unique_ptr<CSimPort> m_pPort;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::uint8_t> m_inbox;
};
