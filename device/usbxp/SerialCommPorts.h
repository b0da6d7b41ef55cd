#pragma once
// The serial ports of the machine, as Windows lists them under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (one value per port, its data the port
// name).  A unit behind a USB-serial bridge appears there as COMn.

#include <string>
#include <vector>

// The port names listed (unchecked: CDeviceList::AppendSerialPorts keeps the
// ones that are ports).  Bounded: at most MAX_VALUES values are read, each
// name up to MAX_NAME_CHARS characters; values that are not strings or are
// longer are left out.  Empty when the key is missing.
std::vector<std::string> ReadSerialCommPorts();

namespace SerialCommPorts {
constexpr unsigned MAX_VALUES = 1024;
constexpr unsigned MAX_NAME_CHARS = 32;

// Tests replace the machine's list (nullptr restores it): the key is the
// machine's, shared by every process of the prefix.
using Source = std::vector<std::string> (*)();
void SetSource(Source pfnSource);
} // namespace SerialCommPorts
