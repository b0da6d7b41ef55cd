#pragma once
// The device list of the environment variable QVR500_DEVICES: which units
// the device enumeration library reports and how the link library reaches
// each of them.  Syntax (docs/devices.md):
//
//   entry[;entry...]            entries separated by ';', blanks around them ignored
//   sim:NAME[,opt...]:DESCRIPTION:SERIAL
//   tcp:HOST:PORT[,opt...]:DESCRIPTION:SERIAL
//   com:COMn[,opt...]:DESCRIPTION:SERIAL
//
// Options: instant (sim only: no line timing), wire (sim only, the default),
// nolcr (sim only: a unit without Left Center and Right Center), trace (the
// link reports its trace flag).  A malformed entry is skipped and its reason
// kept in Errors(); the device index counts the accepted entries only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class ETransport { Sim, Tcp, Com };

struct SDeviceEntry {
    ETransport transport = ETransport::Sim;
    std::string address;     // sim: unit name; tcp: host; com: "COMn"
    std::uint16_t nPort = 0; // tcp only
    std::string description; // reported as the product description
    std::string serial;      // reported as the serial number
    bool bInstant = false;   // sim: no modelled line time
    bool bNoLcr = false;     // sim: hardware without Left Center / Right Center
    bool bTrace = false;     // the link passes a set trace flag to its callback
};

class CDeviceList {
public:
    // Longest description or serial number: the enumeration API returns them
    // in 256-byte buffers with a terminator.
    static constexpr std::size_t MAX_TEXT = 255;
    // What a serial port of the machine is reported as: a unit behind a
    // USB-serial bridge, listed by Select Device and never taken by the
    // automatic lookup (nothing is sent to a port the user did not choose).
    static constexpr const char* SERIAL_PORT_DESCRIPTION = "QVR500 USB";
    // The most serial ports taken from the machine (COM1 to COM255).
    static constexpr std::size_t MAX_SERIAL_PORTS = 255;

    CDeviceList() = default;
    // Parses the value of QVR500_DEVICES; an empty text is an empty list.
    static CDeviceList Parse(std::string_view text);

    const std::vector<SDeviceEntry>& Entries() const { return m_entries; }
    // One text per rejected entry, naming the entry and the reason.
    const std::vector<std::string>& Errors() const { return m_errors; }
    // Appends the machine's serial ports after the entries: each name that is
    // a port COM1..COM255 (also written \\.\COMn, any case) becomes a com
    // entry with the description SERIAL_PORT_DESCRIPTION and the port name
    // as its serial number, in port-number order.  Ports already listed as
    // com entries, repeated names and anything else are left out.
    void AppendSerialPorts(const std::vector<std::string>& portNames);

    // An entry as a support log names it, e.g.
    // "com:COM5 \"QVR500 USB\" COM5" or "tcp:127.0.0.1:5500 \"USBXpress Device\" SN0002".
    static std::string Describe(const SDeviceEntry& entry);
    // The transport, address and options of an entry as the list writes
    // them, e.g. "tcp:127.0.0.1:5500" or "sim:hall,instant".
    static std::string AddressText(const SDeviceEntry& entry);

    // Entry nIndex, or nullptr when there is none.
    const SDeviceEntry* Find(std::int64_t nIndex) const;

private:
    // "COMn" for a port name COM1..COM255 (or \\.\COMn), else empty.
    static std::string CanonicalPort(std::string_view name);
    static bool ParseEntry(std::string_view entry, SDeviceEntry& out, std::string& reason);

    std::vector<SDeviceEntry> m_entries;
    std::vector<std::string> m_errors;
};
