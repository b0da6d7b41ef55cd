#pragma once
// Link library: opens the device named by the settings' device number and
// delivers every received 16-byte packet to a callback on its own thread.

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

// Receive callback: (reserved, packet, length, context, trace flag).
// May block for up to 1000 ms.
typedef void (*QVRCOMM_CALLBACK)(void* pReserved, const unsigned char* pPacket, unsigned long nLength,
                                 void* pContext, int nTrace);

extern "C" {
QVRCOMM_HANDLE OpenComm(QVRCOMM_SETTINGS settings, QVRCOMM_CALLBACK pfnCallback, void* pContext,
                        unsigned long* pStatus);
int WriteCommBuf(QVRCOMM_HANDLE hComm, const unsigned char* pBytes, unsigned long nLength, unsigned long* pStatus);
int CloseComm(QVRCOMM_HANDLE hComm, unsigned long* pStatus);
}
