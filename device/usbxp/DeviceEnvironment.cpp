// Reads QVR500_DEVICES through the process environment block (so a change
// made with SetEnvironmentVariable is seen at once).
#include "device/usbxp/DeviceEnvironment.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "device/usbxp/SerialCommPorts.h"

namespace {
constexpr char DEVICE_VARIABLE[] = "QVR500_DEVICES";

void ReportErrors(const std::string& text, const CDeviceList& list)
{
    // Function-local statics: safe to use during static initialisation.
    static std::mutex s_mutex;
    static std::string s_lastReported;
    std::lock_guard<std::mutex> lock(s_mutex);
    if (list.Errors().empty() || text == s_lastReported)
        return;
    s_lastReported = text;
    for (const std::string& error : list.Errors()) {
        const std::string line = error + "\n";
        ::OutputDebugStringA(line.c_str());
    }
}
} // namespace

CDeviceList ReadDeviceEnvironment()
{
    std::string text;
    const DWORD cchNeeded = ::GetEnvironmentVariableA(DEVICE_VARIABLE, nullptr, 0);
    if (cchNeeded > 1) {
        text.resize(cchNeeded);
        const DWORD cchGot = ::GetEnvironmentVariableA(DEVICE_VARIABLE, text.data(), cchNeeded);
        text.resize(cchGot < cchNeeded ? cchGot : 0);
    }
    CDeviceList list = CDeviceList::Parse(text);
    ReportErrors(text, list);
    return list;
}

CDeviceList ReadAttachedDevices()
{
    CDeviceList list = ReadDeviceEnvironment();
    list.AppendSerialPorts(ReadSerialCommPorts());
    return list;
}
