#pragma once
// Device enumeration library (the USB bridge driver's API, by ordinal).
// The device list comes from the environment variable QVR500_DEVICES
// (docs/devices.md); no device is listed when it is unset or empty.

#include <cstdint>

constexpr int SI_SUCCESS = 0;
constexpr int SI_DEVICE_NOT_FOUND = 1;  // no device at that index
constexpr int SI_INVALID_PARAMETER = 2; // null pointer or unknown selector
constexpr int SI_RETURN_SERIAL_NUMBER = 0;
constexpr int SI_RETURN_DESCRIPTION = 1;
constexpr unsigned SI_MAX_STRING = 256; // product string buffer, terminator included

extern "C" {
// Ordinal 1: number of attached devices.
int SI_GetNumDevices(std::uint32_t* pNumDevices);
// Ordinal 2: description (selector 1) or serial number (selector 0) of a
// device as a NUL-terminated ANSI string in a 256-byte buffer.
int SI_GetProductString(std::uint32_t nDevice, char* pBuffer, std::uint32_t nSelector);
}
