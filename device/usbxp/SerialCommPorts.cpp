// Reads HKLM\HARDWARE\DEVICEMAP\SERIALCOMM.
#include "device/usbxp/SerialCommPorts.h"

#include <windows.h>

#include <atomic>

namespace {
constexpr wchar_t SERIALCOMM_KEY[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
// Registry value names are at most 16383 characters.
constexpr DWORD VALUE_NAME_CHARS = 16384;

std::atomic<SerialCommPorts::Source> s_pfnSource{nullptr};

std::vector<std::string> ReadRegistry()
{
    std::vector<std::string> ports;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SERIALCOMM_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return ports;
    std::wstring name(VALUE_NAME_CHARS, L'\0');
    for (DWORD dwIndex = 0; dwIndex < SerialCommPorts::MAX_VALUES; ++dwIndex) {
        DWORD cchName = VALUE_NAME_CHARS;
        DWORD dwType = 0;
        // One unit more than a name may have, and room for a terminator the
        // value may lack.
        wchar_t szData[SerialCommPorts::MAX_NAME_CHARS + 2] = {};
        DWORD cbData = sizeof(szData) - sizeof(wchar_t);
        const LONG nResult = ::RegEnumValueW(hKey, dwIndex, name.data(), &cchName, nullptr, &dwType,
                                             reinterpret_cast<BYTE*>(szData), &cbData);
        if (nResult == ERROR_NO_MORE_ITEMS)
            break;
        if (nResult != ERROR_SUCCESS || dwType != REG_SZ)
            continue; // too long (ERROR_MORE_DATA) or not a name: not a port
        szData[cbData / sizeof(wchar_t)] = L'\0';
        std::string port;
        for (const wchar_t* p = szData; *p && port.size() <= SerialCommPorts::MAX_NAME_CHARS; ++p)
            port += *p < 0x80 ? static_cast<char>(*p) : '?';
        if (port.size() <= SerialCommPorts::MAX_NAME_CHARS)
            ports.push_back(std::move(port));
    }
    ::RegCloseKey(hKey);
    return ports;
}
} // namespace

std::vector<std::string> ReadSerialCommPorts()
{
    const SerialCommPorts::Source pfnSource = s_pfnSource.load();
    return pfnSource ? pfnSource() : ReadRegistry();
}

void SerialCommPorts::SetSource(Source pfnSource)
{
    s_pfnSource = pfnSource;
}
