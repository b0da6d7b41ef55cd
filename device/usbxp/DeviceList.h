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

    CDeviceList() = default;
    // Parses the value of QVR500_DEVICES; an empty text is an empty list.
    static CDeviceList Parse(std::string_view text);

    const std::vector<SDeviceEntry>& Entries() const { return m_entries; }
    // One text per rejected entry, naming the entry and the reason.
    const std::vector<std::string>& Errors() const { return m_errors; }
    // Entry nIndex, or nullptr when there is none.
    const SDeviceEntry* Find(std::int64_t nIndex) const;

private:
    static bool ParseEntry(std::string_view entry, SDeviceEntry& out, std::string& reason);

    std::vector<SDeviceEntry> m_entries;
    std::vector<std::string> m_errors;
};
