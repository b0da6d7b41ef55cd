// The link library's entry points and its table of open links.  Handles are
// serial numbers, never reused, so a stale handle is refused rather than
// taken for another link.
#include "device/link/QVRCOMM.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "device/link/Link.h"
#include "device/link/SerialTransport.h"
#include "device/link/SimTransport.h"
#include "device/link/TcpTransport.h"
#include "device/usbxp/DeviceEnvironment.h"

namespace {
constexpr DWORD TCP_CONNECT_TIMEOUT_MS = 2000;

struct SOpenLink {
    std::shared_ptr<CLink> pLink;
    std::string key; // the device, so that it is opened once at a time
};

struct SLinkTable {
    std::mutex mutex;
    std::map<QVRCOMM_HANDLE, SOpenLink> links;
    QVRCOMM_HANDLE hNext = 1;
};

SLinkTable& Table()
{
    // Built on first use, also during static initialisation, and never
    // destroyed: the queue's destructors close links while the program ends,
    // after a table built later would already be gone.
    static SLinkTable& s_table = *new SLinkTable;
    return s_table;
}

void SetStatus(unsigned long* pStatus, unsigned long nStatus)
{
    if (pStatus != nullptr)
        *pStatus = nStatus;
}

std::string DeviceKey(const SDeviceEntry& entry)
{
    switch (entry.transport) {
    case ETransport::Sim:
        return "sim:" + entry.address;
    case ETransport::Tcp:
        return "tcp:" + entry.address + ":" + std::to_string(entry.nPort);
    case ETransport::Com:
        return "com:" + entry.address;
    }
    return {};
}

bool ValidSettings(const QVRCOMM_SETTINGS& settings)
{
    return settings.dwBaudRate >= 110 && settings.dwBaudRate <= 4000000 && settings.bByteSize >= 5 &&
           settings.bByteSize <= 8 && settings.bParity <= SPACEPARITY && settings.bStopBits <= TWOSTOPBITS;
}

std::unique_ptr<ILinkTransport> OpenTransport(const SDeviceEntry& entry, const QVRCOMM_SETTINGS& settings)
{
    switch (entry.transport) {
    case ETransport::Sim:
        return std::make_unique<CSimTransport>(entry);
    case ETransport::Tcp: {
        auto pTcp = std::make_unique<CTcpTransport>();
        if (!pTcp->Connect(entry.address, entry.nPort, TCP_CONNECT_TIMEOUT_MS))
            return nullptr;
        return pTcp;
    }
    case ETransport::Com: {
        auto pSerial = std::make_unique<CSerialTransport>();
        if (!pSerial->Open(entry.address, settings))
            return nullptr;
        return pSerial;
    }
    }
    return nullptr;
}
} // namespace

QVRCOMM_HANDLE OpenComm(QVRCOMM_SETTINGS settings, QVRCOMM_CALLBACK pfnCallback, void* pContext,
                        unsigned long* pStatus)
{
    if (pfnCallback == nullptr) {
        SetStatus(pStatus, QVRCOMM_BAD_ARGUMENT);
        return 0;
    }
    if (!ValidSettings(settings)) {
        SetStatus(pStatus, QVRCOMM_BAD_SETTINGS);
        return 0;
    }
    const CDeviceList list = ReadAttachedDevices();
    const SDeviceEntry* pEntry = list.Find(settings.nDevice);
    if (pEntry == nullptr) {
        SetStatus(pStatus, QVRCOMM_NO_DEVICE);
        return 0;
    }
    const std::string key = DeviceKey(*pEntry);

    SLinkTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (const auto& open : table.links) {
        if (open.second.key == key) {
            SetStatus(pStatus, QVRCOMM_IN_USE);
            return 0;
        }
    }
    std::unique_ptr<ILinkTransport> pTransport = OpenTransport(*pEntry, settings);
    if (!pTransport) {
        SetStatus(pStatus, QVRCOMM_OPEN_FAILED);
        return 0;
    }
    auto pLink = std::make_shared<CLink>(std::move(pTransport), pfnCallback, pContext, pEntry->bTrace);
    if (!CLink::Start(pLink)) {
        SetStatus(pStatus, QVRCOMM_OPEN_FAILED);
        return 0;
    }
    const QVRCOMM_HANDLE hComm = table.hNext++;
    table.links.emplace(hComm, SOpenLink{pLink, key});
    SetStatus(pStatus, QVRCOMM_SUCCESS);
    return hComm;
}

int WriteCommBuf(QVRCOMM_HANDLE hComm, const unsigned char* pBytes, unsigned long nLength, unsigned long* pStatus)
{
    if (pBytes == nullptr || nLength == 0 || nLength > 0x7FFFFFFF) {
        SetStatus(pStatus, QVRCOMM_BAD_ARGUMENT);
        return 0;
    }
    std::shared_ptr<CLink> pLink;
    {
        SLinkTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        const auto it = table.links.find(hComm);
        if (it != table.links.end())
            pLink = it->second.pLink;
    }
    if (!pLink) {
        SetStatus(pStatus, QVRCOMM_BAD_HANDLE);
        return 0;
    }
    const bool bSent = pLink->Write(pBytes, static_cast<int>(nLength));
    SetStatus(pStatus, bSent ? QVRCOMM_SUCCESS : QVRCOMM_WRITE_FAILED);
    return bSent ? 1 : 0;
}

int CloseComm(QVRCOMM_HANDLE hComm, unsigned long* pStatus)
{
    std::shared_ptr<CLink> pLink;
    {
        SLinkTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        const auto it = table.links.find(hComm);
        if (it != table.links.end()) {
            pLink = std::move(it->second.pLink);
            table.links.erase(it);
        }
    }
    if (!pLink) {
        SetStatus(pStatus, QVRCOMM_BAD_HANDLE);
        return 0;
    }
    pLink->Stop();
    SetStatus(pStatus, QVRCOMM_SUCCESS);
    return 1;
}
