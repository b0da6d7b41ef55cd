#include "CommHarness.h"

#include <chrono>

#include <gtest/gtest.h>

#include "model/ParameterMap.h"
#include "device/usbxp/SerialCommPorts.h"
#include "sim/SimRegistry.h"

namespace {
// The device lists of these tests are the ones they set: the machine's own
// serial ports (Wine lists a COM1 of its own) would join every one of them.
const bool s_bNoMachinePorts = (SerialCommPorts::SetSource([] { return std::vector<std::string>{}; }), true);
} // namespace

void SetDeviceList(const std::string& text) { ::SetEnvironmentVariableA("QVR500_DEVICES", text.c_str()); }

CCommHarness::CCommHarness(const std::string& unitName, bool bWire) : unit(GetSharedSimUnit(unitName))
{
    unit.FactoryReset();
    SetDeviceList("sim:" + unitName + (bWire ? "" : ",instant") + ":USBXpress Device:SN-" + unitName);
    comm.SetDeviceNumber(0);
    comm.SetPolling(false);
    HANDLE hRead = INVALID_HANDLE_VALUE;
    HANDLE hWrite = INVALID_HANDLE_VALUE;
    ::CreatePipe(&hRead, &hWrite, nullptr, 0);
    m_hRead.Reset(hRead);
    m_hWrite.Reset(hWrite);
    comm.SetWritePipe(hWrite);
    m_reader = std::thread(&CCommHarness::ReadLoop, this);
}

CCommHarness::~CCommHarness()
{
    comm.DetachWritePipe();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_reader.join();
}

void CCommHarness::ReadLoop()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bStop)
                return;
        }
        DWORD dwWaiting = 0;
        if (!::PeekNamedPipe(m_hRead, nullptr, 0, nullptr, &dwWaiting, nullptr) || dwWaiting < sizeof(utRXQueue)) {
            ::Sleep(1);
            continue;
        }
        utRXQueue record;
        DWORD dwRead = 0;
        if (::ReadFile(m_hRead, &record, sizeof(record), &dwRead, nullptr) && dwRead == sizeof(record)) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_records.push_back(record);
            }
            m_cv.notify_all();
        }
    }
}

bool CCommHarness::Next(utRXQueue& record, DWORD nTimeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] { return !m_records.empty(); }))
        return false;
    record = m_records.front();
    m_records.pop_front();
    return true;
}

std::vector<utRXQueue> CCommHarness::Take(std::size_t n, DWORD nTimeoutMs)
{
    std::vector<utRXQueue> records;
    utRXQueue record;
    while (records.size() < n && Next(record, nTimeoutMs))
        records.push_back(record);
    return records;
}

bool CCommHarness::NothingBeforeFence()
{
    constexpr BYTE FENCE_CHANNEL = 0xFE;
    comm.QueueRequest(false, FENCE_CHANNEL, PARAMETER_MARKER, 0.0f);
    std::vector<utRXQueue> before;
    if (!UntilMarker(FENCE_CHANNEL, before))
        return false;
    for (const utRXQueue& r : before)
        ADD_FAILURE() << "a record of kind " << int(r.bKind) << " came before the fence";
    return before.empty();
}

bool CCommHarness::UntilMarker(BYTE bChannel, std::vector<utRXQueue>& before, DWORD nTimeoutMs)
{
    utRXQueue record;
    while (Next(record, nTimeoutMs)) {
        if (record.bKind == RX_MARKER && record.bChannel == bChannel)
            return true;
        before.push_back(record);
    }
    return false;
}
