#pragma once
// Link library: opens the device named by the settings' device number and
// delivers every received 16-byte packet to a callback on its own thread.
// The device number indexes the device list of QVR500_DEVICES
// (docs/devices.md); the list says how each device is reached.

#include <cstdint>

#pragma pack(push, 1)
struct QVRCOMM_SETTINGS {
    std::int32_t nDevice;     // device index (see SiUSBXp.h), -1 none
    std::uint32_t dwBaudRate; // 115200
    std::uint8_t bByteSize;   // 8
    std::uint8_t bParity;     // 0 = none (Win32 NOPARITY)
    std::uint8_t bStopBits;   // 0 = one stop bit (Win32 ONESTOPBIT)
    std::uint8_t bReserved;   // 0
};
#pragma pack(pop)
static_assert(sizeof(QVRCOMM_SETTINGS) == 12, "settings record is 12 bytes");

typedef std::uintptr_t QVRCOMM_HANDLE; // 0: not open

// Status values.
constexpr unsigned long QVRCOMM_SUCCESS = 0;
constexpr unsigned long QVRCOMM_NO_DEVICE = 1;      // the device number is not in the device list
constexpr unsigned long QVRCOMM_BAD_SETTINGS = 2;   // line settings out of range
constexpr unsigned long QVRCOMM_OPEN_FAILED = 3;    // port missing or connection refused
constexpr unsigned long QVRCOMM_IN_USE = 4;         // the device is already open
constexpr unsigned long QVRCOMM_BAD_HANDLE = 5;     // not an open link
constexpr unsigned long QVRCOMM_WRITE_FAILED = 6;   // the device is gone or did not take the bytes
constexpr unsigned long QVRCOMM_BAD_ARGUMENT = 7;   // null pointer or length 0

// Receive callback: (reserved, packet, length, context, trace flag).  The
// first argument is always null; the length is always 16; the trace flag is
// 1 when the device entry has the "trace" option.  Called on the link's own
// receive thread, one packet at a time; it may block for up to 1000 ms.
typedef void (*QVRCOMM_CALLBACK)(void* pReserved, const unsigned char* pPacket, unsigned long nLength,
                                 void* pContext, int nTrace);

extern "C" {
// Returns the link handle, 0 when *pStatus is not QVRCOMM_SUCCESS.
QVRCOMM_HANDLE OpenComm(QVRCOMM_SETTINGS settings, QVRCOMM_CALLBACK pfnCallback, void* pContext,
                        unsigned long* pStatus);
// Sends the bytes; non-zero when they went out.
int WriteCommBuf(QVRCOMM_HANDLE hComm, const unsigned char* pBytes, unsigned long nLength, unsigned long* pStatus);
// Ends the link: once it returns the callback is not called any more.  Never
// blocks for long, also when the device has vanished.
int CloseComm(QVRCOMM_HANDLE hComm, unsigned long* pStatus);
}
