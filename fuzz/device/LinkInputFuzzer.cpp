// The link library's two readers of outside input: the reply framing of the
// bytes a unit sends, and the device list of QVR500_DEVICES.  The first byte
// chooses the reader.
#include "device/link/PacketFramer.h"
#include "device/usbxp/DeviceList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct SFramed {
    std::size_t nPackets = 0;
};

void OnPacket(void* pContext, const std::uint8_t* pPacket)
{
    // Only whole, well-formed replies may ever leave the framer.
    if (!CPacketFramer::IsWellFormedReply(pPacket))
        std::abort();
    ++static_cast<SFramed*>(pContext)->nPackets;
}

void FuzzFraming(const std::uint8_t* pData, std::size_t n)
{
    // Chunks: a length byte, a time step byte, then that many line bytes.
    CPacketFramer framer(50);
    SFramed framed;
    std::uint64_t tMs = 0;
    std::size_t nFed = 0;
    while (n >= 2) {
        const std::size_t nChunk = pData[0] % 40;
        tMs += pData[1];
        pData += 2;
        n -= 2;
        const std::size_t nTake = nChunk < n ? nChunk : n;
        framer.Feed(pData, nTake, tMs, OnPacket, &framed);
        nFed += nTake;
        pData += nTake;
        n -= nTake;
        if (framer.PendingBytes() > nFed)
            std::abort();
    }
    // Every delivered packet used 16 of the bytes fed.
    if (framed.nPackets * CPacketFramer::PACKET_SIZE > nFed)
        std::abort();
}

void FuzzDeviceList(const std::uint8_t* pData, std::size_t n)
{
    const CDeviceList list = CDeviceList::Parse(std::string_view(reinterpret_cast<const char*>(pData), n));
    for (const SDeviceEntry& e : list.Entries()) {
        if (e.description.size() > CDeviceList::MAX_TEXT || e.serial.size() > CDeviceList::MAX_TEXT)
            std::abort();
        if (e.description.find_first_of(":;") != std::string::npos || e.serial.find_first_of(":;") != std::string::npos)
            std::abort();
    }
    for (std::size_t i = 0; i < list.Entries().size(); ++i)
        if (list.Find(static_cast<std::int64_t>(i)) != &list.Entries()[i])
            std::abort();
    if (list.Find(-1) || list.Find(static_cast<std::int64_t>(list.Entries().size())))
        std::abort();
}

// The machine's serial port names (the same bytes split at ';'), appended
// after the entries: only ports COM1..COM255, each once, in order.
void FuzzSerialPorts(const std::uint8_t* pData, std::size_t n)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), n);
    CDeviceList list = CDeviceList::Parse(text);
    const std::size_t nEntries = list.Entries().size();
    std::vector<std::string> names;
    std::size_t nStart = 0;
    for (std::size_t i = 0; i <= n; ++i)
        if (i == n || text[i] == ';') {
            names.emplace_back(text.substr(nStart, i - nStart));
            nStart = i + 1;
        }
    list.AppendSerialPorts(names);
    int nLast = 0;
    for (std::size_t i = nEntries; i < list.Entries().size(); ++i) {
        const SDeviceEntry& e = list.Entries()[i];
        if (e.transport != ETransport::Com || e.address.rfind("COM", 0) != 0 || e.serial != e.address)
            std::abort();
        const int nPort = std::atoi(e.address.c_str() + 3);
        if (nPort <= nLast || nPort > 255)
            std::abort();
        nLast = nPort;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t n)
{
    if (n == 0)
        return 0;
    if (pData[0] & 1)
        FuzzFraming(pData + 1, n - 1);
    else if (pData[0] & 2)
        FuzzSerialPorts(pData + 1, n - 1);
    else
        FuzzDeviceList(pData + 1, n - 1);
    return 0;
}
