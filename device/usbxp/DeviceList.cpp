// Parser of the QVR500_DEVICES device list.
#include "device/usbxp/DeviceList.h"

#include <algorithm>
#include <cctype>

namespace {
std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char cSeparator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t nPos = s.find(cSeparator);
        if (nPos == std::string_view::npos) {
            parts.push_back(s);
            return parts;
        }
        parts.push_back(s.substr(0, nPos));
        s.remove_prefix(nPos + 1);
    }
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool AllOf(std::string_view s, bool (*pred)(unsigned char))
{
    for (char c : s)
        if (!pred(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool IsNameChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '-' || c == '.'; }
bool IsHostChar(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsTextChar(unsigned char c) { return c >= 0x20 && c != 0x7F; }

// Parses 1..nMax from decimal digits.
bool ParseNumber(std::string_view s, unsigned long nMax, unsigned long& nOut)
{
    if (s.empty() || s.size() > 6 || !AllOf(s, IsDigit))
        return false;
    unsigned long n = 0;
    for (char c : s)
        n = n * 10 + static_cast<unsigned long>(c - '0');
    if (n < 1 || n > nMax)
        return false;
    nOut = n;
    return true;
}

// An entry as it is quoted in a reason: long ones are shortened (the
// variable may hold up to 32767 characters).
std::string Quote(std::string_view s)
{
    constexpr std::size_t QUOTED_CHARS = 80;
    if (s.size() > QUOTED_CHARS)
        return "\"" + std::string(s.substr(0, QUOTED_CHARS)) + "...\"";
    return "\"" + std::string(s) + "\"";
}

bool CheckText(std::string_view s, const char* pszWhat, std::string& reason)
{
    if (s.empty()) {
        reason = std::string("the ") + pszWhat + " is empty";
        return false;
    }
    if (s.size() > CDeviceList::MAX_TEXT) {
        reason = std::string("the ") + pszWhat + " is longer than 255 characters";
        return false;
    }
    if (!AllOf(s, IsTextChar)) {
        reason = std::string("the ") + pszWhat + " holds a control character";
        return false;
    }
    return true;
}
} // namespace

CDeviceList CDeviceList::Parse(std::string_view text)
{
    CDeviceList list;
    int nNumber = 0;
    for (std::string_view entry : Split(text, ';')) {
        entry = Trim(entry);
        if (entry.empty())
            continue;
        ++nNumber;
        SDeviceEntry parsed;
        std::string reason;
        if (ParseEntry(entry, parsed, reason))
            list.m_entries.push_back(std::move(parsed));
        else
            list.m_errors.push_back("QVR500_DEVICES: entry " + std::to_string(nNumber) + " " + Quote(entry) +
                                    " skipped: " + reason);
    }
    return list;
}

std::string CDeviceList::CanonicalPort(std::string_view name)
{
    if (name.size() > 4 && name.substr(0, 4) == "\\\\.\\")
        name.remove_prefix(4);
    unsigned long nCom = 0;
    if (name.size() < 4 || !EqualsNoCase(name.substr(0, 3), "COM") || !ParseNumber(name.substr(3), 255, nCom))
        return {};
    return "COM" + std::to_string(nCom);
}

void CDeviceList::AppendSerialPorts(const std::vector<std::string>& portNames)
{
    // Port numbers, sorted and unique: the machine's list may hold a port
    // twice (two drivers) or in any order.
    std::vector<int> ports;
    for (const std::string& name : portNames) {
        if (ports.size() >= MAX_SERIAL_PORTS)
            break;
        const std::string port = CanonicalPort(Trim(name));
        if (port.empty())
            continue;
        const int nPort = std::stoi(port.substr(3));
        const bool bListed = std::any_of(m_entries.begin(), m_entries.end(), [&](const SDeviceEntry& e) {
            return e.transport == ETransport::Com && e.address == port;
        });
        if (!bListed && std::find(ports.begin(), ports.end(), nPort) == ports.end())
            ports.push_back(nPort);
    }
    std::sort(ports.begin(), ports.end());
    for (const int nPort : ports) {
        SDeviceEntry entry;
        entry.transport = ETransport::Com;
        entry.address = "COM" + std::to_string(nPort);
        entry.description = SERIAL_PORT_DESCRIPTION;
        entry.serial = entry.address;
        m_entries.push_back(std::move(entry));
    }
}

std::string CDeviceList::AddressText(const SDeviceEntry& entry)
{
    std::string text;
    switch (entry.transport) {
    case ETransport::Sim: text = "sim:" + entry.address; break;
    case ETransport::Tcp: text = "tcp:" + entry.address + ":" + std::to_string(entry.nPort); break;
    case ETransport::Com: text = "com:" + entry.address; break;
    }
    return text + (entry.bInstant ? ",instant" : "") + (entry.bNoLcr ? ",nolcr" : "") + (entry.bTrace ? ",trace" : "");
}

std::string CDeviceList::Describe(const SDeviceEntry& entry)
{
    return AddressText(entry) + " \"" + entry.description + "\" " + entry.serial;
}

const SDeviceEntry* CDeviceList::Find(std::int64_t nIndex) const
{
    if (nIndex < 0 || nIndex >= static_cast<std::int64_t>(m_entries.size()))
        return nullptr;
    return &m_entries[static_cast<std::size_t>(nIndex)];
}

bool CDeviceList::ParseEntry(std::string_view entry, SDeviceEntry& out, std::string& reason)
{
    const std::vector<std::string_view> fields = Split(entry, ':');
    const std::string_view kind = fields[0];
    std::size_t nAddressFields = 0;
    if (EqualsNoCase(kind, "sim")) {
        out.transport = ETransport::Sim;
        nAddressFields = 1;
    } else if (EqualsNoCase(kind, "tcp")) {
        out.transport = ETransport::Tcp;
        nAddressFields = 2;
    } else if (EqualsNoCase(kind, "com")) {
        out.transport = ETransport::Com;
        nAddressFields = 1;
    } else {
        reason = "unknown transport " + Quote(kind) + " (expected sim, tcp or com)";
        return false;
    }
    const std::size_t nExpected = 1 + nAddressFields + 2;
    if (fields.size() != nExpected) {
        reason = "expected " + std::to_string(nExpected) + " fields separated by ':' (" +
                 (out.transport == ETransport::Tcp ? "tcp:HOST:PORT:DESCRIPTION:SERIAL"
                                                   : std::string(kind) + ":ADDRESS:DESCRIPTION:SERIAL") +
                 "), found " + std::to_string(fields.size());
        return false;
    }

    // Options follow the last address field after commas.
    const std::vector<std::string_view> lastParts = Split(fields[nAddressFields], ',');
    const std::string_view last = lastParts[0];
    bool bWire = false;
    for (std::size_t i = 1; i < lastParts.size(); ++i) {
        const std::string_view option = Trim(lastParts[i]);
        const bool bSimOption = EqualsNoCase(option, "instant") || EqualsNoCase(option, "wire") ||
                                EqualsNoCase(option, "nolcr");
        if (bSimOption && out.transport != ETransport::Sim) {
            reason = "option " + Quote(option) + " applies to sim devices only";
            return false;
        }
        if (EqualsNoCase(option, "instant"))
            out.bInstant = true;
        else if (EqualsNoCase(option, "wire"))
            bWire = true;
        else if (EqualsNoCase(option, "nolcr"))
            out.bNoLcr = true;
        else if (EqualsNoCase(option, "trace"))
            out.bTrace = true;
        else {
            reason = "unknown option " + Quote(option) + " (expected instant, wire, nolcr or trace)";
            return false;
        }
    }
    if (out.bInstant && bWire) {
        reason = "options \"instant\" and \"wire\" contradict each other";
        return false;
    }

    switch (out.transport) {
    case ETransport::Sim:
        if (last.empty() || last.size() > 64 || !AllOf(last, IsNameChar)) {
            reason = "unit name " + Quote(last) + " must be 1 to 64 letters, digits, '_', '-' or '.'";
            return false;
        }
        out.address = std::string(last);
        break;
    case ETransport::Tcp: {
        const std::string_view host = fields[1];
        if (host.empty() || host.size() > 253 || !AllOf(host, IsHostChar)) {
            reason = "host " + Quote(host) + " must be a host name or an IPv4 address";
            return false;
        }
        unsigned long nPort = 0;
        if (!ParseNumber(last, 65535, nPort)) {
            reason = "port " + Quote(last) + " is not a number from 1 to 65535";
            return false;
        }
        out.address = std::string(host);
        out.nPort = static_cast<std::uint16_t>(nPort);
        break;
    }
    case ETransport::Com:
        out.address = CanonicalPort(last);
        if (out.address.empty()) {
            reason = "serial port " + Quote(last) + " must be COM1 to COM255";
            return false;
        }
        break;
    }

    const std::string_view description = fields[nAddressFields + 1];
    const std::string_view serial = Trim(fields[nAddressFields + 2]);
    if (!CheckText(description, "description", reason) || !CheckText(serial, "serial number", reason))
        return false;
    out.description = std::string(description);
    out.serial = std::string(serial);
    return true;
}
